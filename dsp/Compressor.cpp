// The compressor's signal path: the per-block process and the reset.

#include "Compressor.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "Ballistics.h"
#include "Curves.h"
#include "DetMath.h"
#include "InterstageWide.h"
#include "DetectorStages.h"
#include "PairCurves.h"
#include "WideLanes.h"

namespace {
std::atomic<bool> preferPairKernel{false};
}  // namespace

bool interstage::WideAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

Compressor::Compressor()
    : detectorCurveGain_(detmath::Pow10(0.55)),
      makeUp_(detmath::Pow10(0.2)),
      interstageDrive_(detmath::Pow10(-0.5)),  // the saturation sees the signal 10 dB down
      interstageMix_(detmath::Pow10(-1.0)) {
  if (!preferPairKernel.load() && interstage::WideAvailable()) {
    wideScratch_ = std::make_unique<double[]>(interstage::kScratchDoubles);
  }
}

void Compressor::PreferPairKernel(bool prefer) { preferPairKernel.store(prefer); }

void Compressor::Reset() {
  up_.Clear();
  down_.Clear();
}

void Compressor::DesignDetectorSections(const CompressorSettings& set, double fs) {
  auto normalised = [fs](double hz) {
    const double f = hz / fs;
    return f > kMaxSectionFreq ? kMaxSectionFreq : f;
  };
  for (BiquadSection* s : {&hpfL_, &hpfR_}) {
    s->type = HighPass;
    s->q = 1.0;
    s->gainDb = 1.0;  // not used by the type
    s->freq = normalised(set.hpfHz);
    s->Design();
  }
  for (BiquadSection* s : {&shelfL_, &shelfR_}) {
    s->type = HighShelf;
    s->q = 1.0;
    s->freq = normalised(10000.0);
    s->gainDb = -set.hfDb;  // the shelf boosts the detector's highs by 0..16 dB
    s->Design();
  }
  for (BiquadSection* s : {&peakL_, &peakR_}) {
    s->type = Peak;
    s->q = 0.7;
    s->freq = normalised(set.midFreqHz);
    s->gainDb = set.midGainDb;
    s->Design();
  }
}

namespace {

// One sample's N steps of the four oversampling filters (up and down, left
// and right) in the interstage order, with the same arithmetic as
// AllPoleStep. Left and right run as the two lanes of a Pair: each lane is an
// ordinary IEEE double multiply or add (SSE2, part of every x86-64 target),
// so every lane gives the same bits as the scalar arithmetic. The histories
// are extended in place (StereoAllPoleWindow) instead of being shifted.
template <int N>
struct InterstageKernel {
  // Output j from input x: v[10 + j] from v[j .. 9 + j], where v[9] is the
  // latest output before this sample; summed as AllPoleStep does. With
  // kExact the flush rule is applied here; without it the step only records
  // the smallest magnitude in least, and RunInterstage checks the sample
  // afterwards.
  template <bool kExact>
  [[gnu::always_inline]] static inline Pair Step(Pair* __restrict v, int j, Pair x, const Pair* fb, Pair gain,
                                                 __m128d& least) {
    Pair y = fb[1] * v[9 + j] + gain * x;
    y += fb[2] * v[8 + j];
    y += fb[3] * v[7 + j];
    y += fb[4] * v[6 + j];
    y += fb[5] * v[5 + j];
    y += fb[6] * v[4 + j];
    y += fb[7] * v[3 + j];
    y += fb[8] * v[2 + j];
    y += fb[9] * v[1 + j];
    y += fb[10] * v[j];
    const PairBits magnitudeBits = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(y) & magnitudeBits);
    if constexpr (kExact) {
      // Flush rule: keep y only where 2^-54 <= |y| <= DBL_MAX (NaN fails both).
      const PairBits keep = (a >= Pair{0x1p-54, 0x1p-54}) & (a <= Pair{0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+1023});
      if (!(keep[0] & keep[1])) [[unlikely]] y = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(y) & keep);
    } else {
      // A NaN magnitude leaves least as it was (MINPD returns its second
      // operand then); a NaN or infinity is caught at the end of the sample.
      least = _mm_min_pd(reinterpret_cast<__m128d>(a), least);
    }
    v[10 + j] = y;
    return y;
  }

  // One sample's steps from the histories that end at up[9] and down[9].
  // Without kExact, returns false when some output would have been flushed:
  // one smaller than 2^-54 in magnitude, or a NaN or infinity, which stays
  // non-finite through every later step of its filter within the sample (and
  // the up filter's reaches the down filter only through the saturation,
  // whose output is finite). The caller then repeats the sample with kExact
  // from the same histories, which the steps have not changed.
  template <bool kExact>
  [[gnu::always_inline]] static inline bool Steps(Pair* __restrict up, Pair* __restrict down, const Pair* fb,
                                                  Pair gain, Pair dry, double d) {
    const Pair gainN = {static_cast<double>(N), static_cast<double>(N)};  // restores the level lost by zero stuffing
    const Pair drive = {d, d};
    __m128d least = _mm_set1_pd(1.0);
    // The up filter runs one sub-sample ahead of the down filter in program
    // order (the two are independent until the saturation joins them), so
    // that the processor can overlap the two chains of additions.
    Pair upOut[N];
    upOut[0] = Step<kExact>(up, 0, dry, fb, gain, least);
#pragma GCC unroll 16
    for (int k = 0; k < N; ++k) {
      if (k + 1 < N) upOut[k + 1] = Step<kExact>(up, k + 1, Pair{0.0, 0.0}, fb, gain, least);  // zero stuffing
      Step<kExact>(down, k, SaturatePair(gainN * upOut[k] * drive), fb, gain, least);
    }
    if constexpr (kExact) {
      return true;
    } else {
      const PairBits magnitudeBits = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
      const Pair lastUp = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(up[9 + N]) & magnitudeBits);
      const Pair lastDown = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(down[9 + N]) & magnitudeBits);
      const Pair maxFinite = {0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+1023};
      const PairBits ok = (reinterpret_cast<Pair>(least) >= Pair{0x1p-54, 0x1p-54}) & (lastUp <= maxFinite) &
                          (lastDown <= maxFinite);
      return (ok[0] & ok[1]) != 0;
    }
  }

  // The interstage loop for one sample at N times the rate, both channels:
  // zero-stuffed up filter, saturation 10 dB down, down filter, decimation.
  // exact carries from sample to sample: once a sample needed the flush
  // rule (silence does on every step), the following samples apply it
  // directly until one passes without it.
  static void RunInterstage(StereoAllPoleWindow& upWin, StereoAllPoleWindow& downWin, const Pair* fb,
                            Pair gain, Pair dry, double d, double& outL, double& outR, bool& exact) {
    upWin.Reserve(N);
    downWin.Reserve(N);
    Pair* __restrict up = upWin.v + upWin.end - 10;
    Pair* __restrict down = downWin.v + downWin.end - 10;
    if (exact) {
      Steps<true>(up, down, fb, gain, dry, d);
      // Leave the exact path when this sample would not have needed it.
      const PairBits magnitudeBits = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
      const Pair lastDown = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(down[9 + N]) & magnitudeBits);
      const Pair lastUp = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(up[9 + N]) & magnitudeBits);
      const PairBits loud = (lastDown >= Pair{0x1p-40, 0x1p-40}) & (lastUp >= Pair{0x1p-40, 0x1p-40});
      exact = !(loud[0] & loud[1]);
    } else if (!Steps<false>(up, down, fb, gain, dry, d)) [[unlikely]] {
      Steps<true>(up, down, fb, gain, dry, d);
      exact = true;
    }
    outL = down[10][0];  // decimation keeps sub-sample 0
    outR = down[10][1];
    upWin.end += N;
    downWin.end += N;
  }
};

}  // namespace

namespace {

// The ballistics, the output and the meter ballistics of one sample.
struct OutputStage {
  const double* in0;
  const double* in1;
  double* out0;
  double* out1;
  BallisticsLaw law;
  double interstageMix, makeUp, wetAmount, dryAmount, outputGain;
  bool bypass;

  // The gain after a sample with the given target, from the gain g before
  // it; with metering, the meter ballistics too.
  [[gnu::always_inline]] inline double Ballistics(double target, double g, double& meterValue) const {
    return NextGain(law, target, g, meterValue);
  }

  // The output of sample i at gain g, given its interstage outputs. Reads
  // the sample's inputs before writing its outputs: outputs may share the
  // inputs' memory.
  [[gnu::always_inline]] inline void Output(int i, double g, double interL, double interR) const {
    const double inL = in0[i];
    const double inR = in1[i];
    if (bypass) {
      out0[i] = inL;
      out1[i] = inR;
    } else {
      const double shapedGain = Saturate(g);
      const double wetL = shapedGain * (interstageMix * interL + inL) * makeUp;
      const double wetR = shapedGain * (interstageMix * interR + inR) * makeUp;
      out0[i] = (wetL * wetAmount + dryAmount * inL) * outputGain;
      out1[i] = (wetR * wetAmount + dryAmount * inR) * outputGain;
    }
  }

  // Output for samples base .. base + count - 1, four at a time (AVX2), with
  // Output's operations on every lane; gains indexed from 0 at base, sample
  // base + j's interstage outputs at inter[j * stride] (left) and the entry
  // after it (right). The four samples' inputs are read before their
  // outputs are written.
  __attribute__((target("avx2"))) void OutputRun(int base, int count, const double* gains, const double* inter,
                                                 int stride) const;
};

using OutQuad = lanes::Quad;

__attribute__((target("avx2"))) void OutputStage::OutputRun(int base, int count, const double* gains,
                                                            const double* inter, int stride) const {
  const OutQuad mix = {interstageMix, interstageMix, interstageMix, interstageMix};
  const OutQuad up = {makeUp, makeUp, makeUp, makeUp};
  const OutQuad wet = {wetAmount, wetAmount, wetAmount, wetAmount};
  const OutQuad dry = {dryAmount, dryAmount, dryAmount, dryAmount};
  const OutQuad gain = {outputGain, outputGain, outputGain, outputGain};
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    const int i = base + j;
    const OutQuad inL = reinterpret_cast<OutQuad>(_mm256_loadu_pd(in0 + i));
    const OutQuad inR = reinterpret_cast<OutQuad>(_mm256_loadu_pd(in1 + i));
    if (bypass) {
      _mm256_storeu_pd(out0 + i, reinterpret_cast<__m256d>(inL));
      _mm256_storeu_pd(out1 + i, reinterpret_cast<__m256d>(inR));
      continue;
    }
    const OutQuad shapedGain = SaturateQuad(reinterpret_cast<OutQuad>(_mm256_loadu_pd(gains + j)));
    // The four samples' left and right interstage outputs: samples 0 and 2
    // in one vector, 1 and 3 in the other, then lefts and rights apart.
    const double* s = inter + j * stride;
    const __m256d even = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(s)), _mm_loadu_pd(s + 2 * stride), 1);
    const __m256d odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(s + stride)), _mm_loadu_pd(s + 3 * stride), 1);
    const OutQuad interL = reinterpret_cast<OutQuad>(_mm256_unpacklo_pd(even, odd));
    const OutQuad interR = reinterpret_cast<OutQuad>(_mm256_unpackhi_pd(even, odd));
    const OutQuad wetL = shapedGain * (mix * interL + inL) * up;
    const OutQuad wetR = shapedGain * (mix * interR + inR) * up;
    _mm256_storeu_pd(out0 + i, reinterpret_cast<__m256d>((wetL * wet + dry * inL) * gain));
    _mm256_storeu_pd(out1 + i, reinterpret_cast<__m256d>((wetR * wet + dry * inR) * gain));
  }
  for (; j < count; ++j) Output(base + j, gains[j], inter[j * stride], inter[j * stride + 1]);
}

}  // namespace

// Everything that depends only on the sample rate and the parameters is
// evaluated once per block at most (and kept while its inputs stay the same):
// none of it can change while the block runs under the lock, so the results
// are the same as evaluating it on every sample.
void Compressor::ProcessBlock(const CompressorSettings& set, double sampleRate, double** inputs, double** outputs,
                              int nFrames, bool metering, MeterSink* meter) {
  const int oversampleFactor = set.oversampleFactor;
  Prepared& pre = prepared_;
  if (pre.factor != oversampleFactor) {
    DesignBesselLowpass(osCoeffL_, 0.2 / static_cast<double>(oversampleFactor));
    DesignBesselLowpass(osCoeffR_, 0.2 / static_cast<double>(oversampleFactor));
    pre.factor = oversampleFactor;
  }
  if (nFrames < 1) return;
  if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;

  const double detectorCurveGain = detectorCurveGain_;
  const double makeUp = makeUp_;
  const double interstageDrive = interstageDrive_;
  const double interstageMix = interstageMix_;

  const double fs = sampleRate;
  auto sameBits = [](const double* a, const double* b, int n) { return std::memcmp(a, b, sizeof(double) * n) == 0; };
  const double rateKey[4] = {fs, set.inputDb, set.attackSec, set.releaseSec};
  if (!pre.rateValid || !sameBits(rateKey, pre.rateKey, 4)) {
    pre.c = detmath::Exp(-62.83185307 / fs);  // level shaping, 2 pi 10 Hz
    pre.threshold = detmath::Exp(-set.inputDb / kLevelScale);
    pre.a = set.attackSec != 0.0 ? detmath::Exp(-1.0 / (set.attackSec * fs)) : 0.0;
    pre.r = set.releaseSec != 0.0 ? detmath::Exp(-1.0 / (set.releaseSec * fs)) : 0.0;
    pre.meterK = detmath::Exp(-4.60517018599 / (fs * 0.3));  // 99 % in 0.3 s
    std::memcpy(pre.rateKey, rateKey, sizeof rateKey);
    pre.rateValid = true;
  }
  const double sectionKey[5] = {fs, set.hpfHz, set.hfDb, set.midFreqHz, set.midGainDb};
  if (!pre.sectionsValid || !sameBits(sectionKey, pre.sectionKey, 5)) {
    DesignDetectorSections(set, fs);
    std::memcpy(pre.sectionKey, sectionKey, sizeof sectionKey);
    pre.sectionsValid = true;
  }
  const double c = pre.c;
  const double t = -set.inputDb;
  const double threshold = pre.threshold;
  const double invR = 1.0 / set.ratio;
  const double a = pre.a;
  const double r = pre.r;
  const double meterK = pre.meterK;

  const bool fromMain = set.detectFromMain;
  const bool interstage = set.interstage;
  const bool bypass = set.bypass;
  // A host may leave the sidechain bus without buffers: it then reads silence.
  const double* scL = fromMain ? nullptr : inputs[2];
  const double* scR = fromMain ? nullptr : inputs[3];

  const bool hasEditor = metering;

  // The oversampler's coefficients, the left set in lane 0 and the right in lane 1.
  StereoSample osFb[11];
  for (int m = 0; m <= 10; ++m) osFb[m] = StereoSample{osCoeffL_.fb[m], osCoeffR_.fb[m]};
  const StereoSample osGain = {osCoeffL_.gain, osCoeffR_.gain};

  const double wetAmount = set.mixPercent / 100.0;
  const double dryAmount = 1.0 - set.mixPercent / 100.0;

  const bool compressionOff = set.inputDb == 0.0;
  StereoDetector detector(hpfL_, hpfR_, peakL_, peakR_, shelfL_, shelfR_);

  // The stages of one sample. Every value is formed by the same operations,
  // whichever order the kernels below run them in.

  // Hard-knee ratio law above the threshold.
  const LevelParams levelParams = {interstage, detectorCurveGain, c};
  const double* srcL = fromMain ? inputs[0] : scL;
  const double* srcR = fromMain ? inputs[1] : scR;
  auto levelsOf = [&](int base, int count, double* levels, bool wide) {
    DetectorLevels(detector, srcL ? srcL + base : nullptr, srcR ? srcR + base : nullptr, count, levelParams, levels,
                   wide);
  };

  auto targetOf = [&](double lvl) __attribute__((always_inline)) {
    double target = 1.0;
    if (lvl > threshold) {
      const double ld = kLevelScale * detmath::Log(lvl);
      const double od = (ld - t) * invR + t;
      target = detmath::Exp(od / kLevelScale) / lvl;
    }
    return target;
  };

  // Ballistics, meter and output (OutputStage). The ballistics of a group of
  // samples work on a copy of the stage and of the states, which then live
  // in registers instead of being reloaded after every store.
  OutputStage stage;
  stage.in0 = inputs[0];
  stage.in1 = inputs[1];
  stage.out0 = outputs[0];
  stage.out1 = outputs[1];
  stage.law.a = a;
  stage.law.r = r;
  stage.interstageMix = interstageMix;
  stage.makeUp = makeUp;
  stage.wetAmount = wetAmount;
  stage.dryAmount = dryAmount;
  stage.outputGain = set.outputGain;
  stage.law.meterK = meterK;
  stage.law.compressionOff = compressionOff;
  stage.bypass = bypass;
  stage.law.metering = hasEditor;
  // The gains of samples first .. end - 1 of a run from their targets
  // (gains may be targets: each gain replaces its target).
  auto ballistics = [&](const double* targetsOfRun, int first, int end, double* gains) __attribute__((always_inline)) {
    const OutputStage st = stage;
    double g = gainState_;
    double meterValue = meterValue_;
    for (int j = first; j < end; ++j) {
      g = st.Ballistics(targetsOfRun[j], g, meterValue);
      gains[j] = g;
      if (meter && hasEditor) {
        gainState_ = g;
        meterValue_ = meterValue;
        meter->Meter(meterValue);
      }
    }
    gainState_ = g;
    meterValue_ = meterValue;
  };

  constexpr int kChunk = interstage::kMaxRun;
  bool exactSteps = false;

  // Wide kernel: the chunk's targets first (the ratio law four samples at a
  // time), then the oversampler's run with its four chains in one vector,
  // the ballistics (a chain of their own) stepping beside its filter steps;
  // the outputs follow, four samples at a time, reading the interstage
  // outputs where the run left them. With a meter to call on every sample,
  // the ballistics run after the oversampler instead.
  double targets[kChunk];
  auto runWide = [&](int base, int count) {
    levelsOf(base, count, targets, true);
    RatioLawWide(targets, count, threshold, t, invR);
    const bool gainsBeside = !(meter && hasEditor);
    GainRun gains;
    gains.law = stage.law;
    gains.targets = targets;
    gains.gains = targets;
    gains.g = gainState_;
    gains.meterValue = meterValue_;
    interstage::Run run;
    run.fb = osFb;
    run.gain = osGain;
    run.drive = interstageDrive;
    run.dryL = inputs[0] + base;
    run.dryR = inputs[1] + base;
    run.count = count;
    if (gainsBeside) run.gains = &gains;
    interstage::RunWide(oversampleFactor, up_, down_, wideScratch_.get(), run, exactSteps);
    if (gainsBeside) {
      gainState_ = gains.g;
      meterValue_ = gains.meterValue;
    } else {
      ballistics(targets, 0, count, targets);
    }
    const double* inter = interstage::Outputs(wideScratch_.get(), oversampleFactor);
    const int stride = 4 * oversampleFactor;
    stage.OutputRun(base, count, targets, inter, stride);
    interstageL_ = inter[(count - 1) * stride];
    interstageR_ = inter[(count - 1) * stride + 1];
  };

  // Pair kernel: the samples run in chunks of two passes. The first takes
  // each sample's detector level to its target gain; the targets of
  // different samples do not depend on one another, so their logarithms and
  // exponentials overlap in the processor instead of waiting behind the
  // oversampling filters. The second runs the ballistics, the oversampler
  // and the output in sample order.
  auto runPairs = [&](auto factor, int base, int count) {
    constexpr int kN = decltype(factor)::value;
    double* levels = targets;
    levelsOf(base, count, levels, false);
    for (int j = 0; j < count; ++j) levels[j] = targetOf(levels[j]);
    for (int j = 0; j < count; ++j) {
      const int i = base + j;
      double inL = 0.0;
      double inR = 0.0;
      InterstageKernel<kN>::RunInterstage(up_, down_, osFb, osGain, Pair{inputs[0][i], inputs[1][i]},
                                          interstageDrive, inL, inR, exactSteps);
      ballistics(levels, j, j + 1, levels);
      stage.Output(i, levels[j], inL, inR);
      interstageL_ = inL;
      interstageR_ = inR;
    }
  };

  for (int base = 0; base < nFrames; base += kChunk) {
    const int count = std::min(kChunk, nFrames - base);
    if (wideScratch_) {
      runWide(base, count);
    } else if (oversampleFactor == 16) {
        runPairs(std::integral_constant<int, 16>{}, base, count);
    } else {
      runPairs(std::integral_constant<int, 4>{}, base, count);
    }
  }
  detector.Store(hpfL_, hpfR_, peakL_, peakR_, shelfL_, shelfR_);
}
