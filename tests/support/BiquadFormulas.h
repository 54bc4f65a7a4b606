#pragma once

// The biquad design table written out from its formulas, apart from the code
// under test: the five coefficients of each section type by the bilinear
// transform with pre-warping. The filter tests compare the designs with it;
// the literal reference of the signal path designs its sections with it.

#include <cmath>

#include "dsp/BiquadSection.h"
#include "dsp/DetMath.h"

namespace testsupport {

struct BiquadCoeffs {
  double ff0, ff1, ff2, fb1, fb2;
};

// `freq` in cycles per sample; a gain below 0 dB (or NaN) takes the cut form.
inline BiquadCoeffs BiquadFormula(int type, double freq, double q, double gainDb) {
  const double V = detmath::Pow10(std::fabs(gainDb) / 20.0);
  const double K = detmath::Tan(3.141592653589793 * freq);
  const double r2 = std::sqrt(2.0), r2V = std::sqrt(2.0 * V);
  const bool boost = gainDb >= 0;
  double n = 1.0 / (1.0 + K / q + K * K);
  switch (type) {
    case LowPass: return {K * K * n, 2 * K * K * n, K * K * n, 2 * (K * K - 1) * n, (1 - K / q + K * K) * n};
    case HighPass: return {n, -2 * n, n, 2 * (K * K - 1) * n, (1 - K / q + K * K) * n};
    case BandPass: return {K / q * n, 0, -K / q * n, 2 * (K * K - 1) * n, (1 - K / q + K * K) * n};
    case Notch: return {(1 + K * K) * n, 2 * (K * K - 1) * n, (1 + K * K) * n, 2 * (K * K - 1) * n, (1 - K / q + K * K) * n};
    case Peak:
      if (boost) return {(1 + V * K / q + K * K) * n, 2 * (K * K - 1) * n, (1 - V * K / q + K * K) * n, 2 * (K * K - 1) * n, (1 - K / q + K * K) * n};
      n = 1.0 / (1.0 + V * K / q + K * K);
      return {(1 + K / q + K * K) * n, 2 * (K * K - 1) * n, (1 - K / q + K * K) * n, 2 * (K * K - 1) * n, (1 - V * K / q + K * K) * n};
    case LowShelf:
      if (boost) {
        n = 1.0 / (1 + r2 * K + K * K);
        return {(1 + r2V * K + V * K * K) * n, 2 * (V * K * K - 1) * n, (1 - r2V * K + V * K * K) * n, 2 * (K * K - 1) * n, (1 - r2 * K + K * K) * n};
      }
      n = 1.0 / (1 + r2V * K + V * K * K);
      return {(1 + r2 * K + K * K) * n, 2 * (K * K - 1) * n, (1 - r2 * K + K * K) * n, 2 * (V * K * K - 1) * n, (1 - r2V * K + V * K * K) * n};
    default:  // HighShelf
      if (boost) {
        n = 1.0 / (1 + r2 * K + K * K);
        return {(V + r2V * K + K * K) * n, 2 * (K * K - V) * n, (V - r2V * K + K * K) * n, 2 * (K * K - 1) * n, (1 - r2 * K + K * K) * n};
      }
      n = 1.0 / (V + r2V * K + K * K);
      return {(1 + r2 * K + K * K) * n, 2 * (K * K - 1) * n, (1 - r2 * K + K * K) * n, 2 * (K * K - V) * n, (V - r2V * K + K * K) * n};
  }
}

}  // namespace testsupport
