#pragma once

// The compressor's whole signal path written out once more, for tests that
// compare the plug-in with it bit for bit.

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/Curves.h"
#include "dsp/DetMath.h"
#include "dsp/Oversampler.h"
#include "mirel/Mirel.h"
#include "tests/mirel/EngineTestSupport.h"
#include "tests/support/BiquadFormulas.h"

namespace enginetest {

// The whole signal path written out once more, sample by sample in the stated
// order, without the per-block hoisting, the paired lanes or the in-place
// filter windows of the plug-in. Only the elementary functions (the portable
// ones every build uses) and the curve tables are shared with the code under
// test; the biquad designs (tests/support/BiquadFormulas.h), the curve lookup
// and the filter steps are restated from their formulas.
struct LiteralCompressor {
  struct Section {
    double ff0 = 1, ff1 = 0, ff2 = 0, fb1 = 0, fb2 = 0, s1 = 0, s2 = 0;
    float Run(float in) {
      const double x = in;
      const double y = ff0 * x + s1;
      s1 = ff1 * x + s2 - fb1 * y;
      s2 = ff2 * x - fb2 * y;
      return static_cast<float>(y);
    }
  };
  // The sections' designs from the formulas of the design table.
  static void Design(Section& s, int type, double freq, double q, double gainDb) {
    const testsupport::BiquadCoeffs c = testsupport::BiquadFormula(type, freq, q, gainDb);
    s.ff0 = c.ff0, s.ff1 = c.ff1, s.ff2 = c.ff2, s.fb1 = c.fb1, s.fb2 = c.fb2;
  }
  // Inside the table only (the signals here never leave it but at the flat end).
  static double Lookup(const CurveTable& t, double w) {
    const double p = w * static_cast<double>(t.scale);
    if (p >= t.count - 1) return static_cast<double>(t.values[t.count - 1]);
    const int i = static_cast<int>(p);
    const double f = p - i;
    return static_cast<double>(t.values[i]) * (1 - f) + static_cast<double>(t.values[i + 1]) * f;
  }
  static double Sat(double v) { return std::copysign(Lookup(kSaturationCurve, std::fabs(v)), v); }
  static double Det(double v) { return std::copysign(Lookup(kDetectorCurve, std::fabs(v) / (std::fabs(v) + 3)), -v); }
  static double Step(double (&y)[11], double x, const BesselLowpass& c) {
    for (int m = 10; m > 0; --m) y[m] = y[m - 1];
    double out = c.fb[1] * y[1] + c.gain * x;
    for (int m = 2; m <= 10; ++m) out += c.fb[m] * y[m];
    if (!std::isfinite(out) || std::fabs(out) < std::ldexp(1.0, -54)) out = 0;
    return y[0] = out;
  }

  double fs = 0, inputDb = 0, outputGain = 0, attackSec = 0, releaseSec = 0, ratio = 0, hpfHz = 0, mixPercent = 0;
  double hfDb = 0, midFreqHz = 0, midGainDb = 0, gain = 1, meterValue = 1;
  int bypass = 0, interstage = 0, sidechain = 1, n = 4;
  Section hpf[2], peak[2], shelf[2];
  double up[2][11] = {}, down[2][11] = {};
  std::vector<double> meter;

  // The plug-in's current parameter values in the reference's own terms.
  void TakeSettings(const Mirel& m) {
    inputDb = m.GetParam(kInput)->Value();
    outputGain = detmath::Pow10(m.GetParam(kOutput)->Value() / 20.0);
    attackSec = m.GetParam(kAttack)->Value();
    releaseSec = m.GetParam(kRelease)->Value();
    const double ratios[] = {2, 4, 8, 12};
    ratio = ratios[static_cast<int>(m.GetParam(kRatio)->Value())];
    hpfHz = m.GetParam(kHpf)->Value();
    mixPercent = m.GetParam(kMix)->Value();
    midFreqHz = m.GetParam(kMidFreq)->Value();
    midGainDb = m.GetParam(kMidGain)->Value();
    hfDb = m.GetParam(kHf)->Value();
    bypass = static_cast<int>(m.GetParam(kBypass)->Value());
    interstage = static_cast<int>(m.GetParam(kInterstage)->Value());
    sidechain = static_cast<int>(m.GetParam(kSidechain)->Value());
    n = m.GetParam(kOversample)->Value() != 0 ? 16 : 4;
  }

  void Block(const Buffers& b, std::vector<double> (&out)[2], int start, int frames) {
    BesselLowpass os;
    DesignBesselLowpass(os, 0.2 / n);  // checked against its own formulas by the oversampler tests
    for (int i = start; i < start + frames; ++i) {
      const auto at = [&](int ch) { return b.in[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)]; };
      const double c = detmath::Exp(-62.83185307 / fs);
      const double t = -inputDb, T = detmath::Exp(t / 8.65617025), invR = 1 / ratio;
      const double a = attackSec != 0 ? detmath::Exp(-1 / (attackSec * fs)) : 0;
      const double r = releaseSec != 0 ? detmath::Exp(-1 / (releaseSec * fs)) : 0;
      double det[2];
      for (int ch = 0; ch < 2; ++ch) {
        Design(hpf[ch], HighPass, hpfHz / fs, 1.0, 0.0);
        Design(shelf[ch], HighShelf, 10000 / fs, 0.707, -hfDb);
        Design(peak[ch], Peak, midFreqHz / fs, 0.7, midGainDb);
        const double x = sidechain == 1 ? at(ch) : at(2 + ch);
        det[ch] = shelf[ch].Run(peak[ch].Run(hpf[ch].Run(static_cast<float>(x))));
      }
      double lvl = interstage == 1 ? std::max(std::fabs(Det(det[1])), std::fabs(Det(det[0]))) * detmath::Pow10(0.55)
                                   : std::max(std::fabs(det[1]), std::fabs(det[0]));
      const double u = lvl * (1 - c);
      if (!(lvl > std::sqrt(u))) lvl = std::sqrt(u + c * u);
      double P = 1;
      if (lvl > T) P = detmath::Exp(((8.65617025 * detmath::Log(lvl) - t) * invR + t) / 8.65617025) / lvl;
      double g = gain > P ? std::max(P, gain * a) : std::min(gain / r, P);
      if (inputDb == 0) g = 1;
      gain = g;
      const double wetAmount = mixPercent / 100, dryAmount = 1 - mixPercent / 100;
      double inter[2] = {};
      for (int ch = 0; ch < 2; ++ch) {
        double w = at(ch);
        for (int k = 0; k < n; ++k) {
          w = Step(up[ch], k > 0 ? 0.0 : w, os);
          w = Sat(n * w * detmath::Pow10(-0.5));
          w = Step(down[ch], w, os);
          if (k == 0) inter[ch] = w;
        }
      }
      for (int ch = 0; ch < 2; ++ch) {
        const double wet = Sat(g) * (detmath::Pow10(-1) * inter[ch] + at(ch)) * detmath::Pow10(0.2);
        out[ch][static_cast<std::size_t>(i)] = bypass ? at(ch) : (wet * wetAmount + dryAmount * at(ch)) * outputGain;
      }
      const double m = std::fabs(1 - g);
      const double target = m > meterValue ? m * 1.0125 : m * 0.9875;
      meterValue = (meterValue - target) * detmath::Exp(-4.60517018599 / (fs * 0.3)) + target;
      meter.push_back(meterValue);
    }
  }
};


}  // namespace enginetest
