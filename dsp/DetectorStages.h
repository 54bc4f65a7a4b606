#pragma once

// Stages of the compressor's per-sample path that run a chunk of samples at
// a time ahead of the oversampler: the detector levels and the ratio law.
// Used by Compressor.cpp and measured stage by stage by the benchmark.
// Internal linkage throughout: every including file has its own copy.

#include <immintrin.h>

#include <algorithm>
#include <cmath>

#include "dsp/BiquadSection.h"
#include "dsp/Curves.h"
#include "dsp/DetMath.h"
#include "dsp/Lanes.h"
#include "dsp/LevelRules.h"
#include "dsp/PairCurves.h"

namespace {

using lanes::Quad;
using lanes::QuadBits;
using lanes::Splat;

// The hard-knee ratio law (RatioTarget) on levels in place, four at a time;
// each lane's operations are RatioTarget's, in its order, and the samples
// after the last whole quad take RatioTarget itself. For processors with
// AVX2 only.
__attribute__((target("avx2"))) inline void RatioLawWide(double* levels, int count, double threshold, double t,
                                                         double invR) {
  const Quad one = Splat(1.0);
  const Quad scale = Splat(kLevelScale);
  const Quad ts = Splat(t);
  const Quad limit = Splat(threshold);
  const int grouped = count & ~3;
  // Lanes at or below the threshold take the law at 1 and drop the result.
  alignas(32) double x[64];
  alignas(32) double v[64];
  for (int done = 0; done < grouped; done += 64) {
    const int n = grouped - done < 64 ? grouped - done : 64;
    double* lv = levels + done;
    for (int j = 0; j < n; j += 4) {
      const Quad lvl = reinterpret_cast<Quad>(_mm256_loadu_pd(lv + j));
      _mm256_store_pd(x + j, reinterpret_cast<__m256d>(lvl > limit ? lvl : one));
    }
    detmath::Log4(x, v, n);
    for (int j = 0; j < n; j += 4) {
      const Quad ld = scale * reinterpret_cast<Quad>(_mm256_load_pd(v + j));
      const Quad od = (ld - ts) * Splat(invR) + ts;
      _mm256_store_pd(v + j, reinterpret_cast<__m256d>(od / scale));
    }
    detmath::Exp4(v, v, n);
    for (int j = 0; j < n; j += 4) {
      const Quad lvl = reinterpret_cast<Quad>(_mm256_loadu_pd(lv + j));
      const QuadBits above = lvl > limit;
      const Quad target = reinterpret_cast<Quad>(_mm256_load_pd(v + j)) / reinterpret_cast<Quad>(_mm256_load_pd(x + j));
      _mm256_storeu_pd(lv + j, reinterpret_cast<__m256d>(above ? target : one));
    }
  }
  for (int j = grouped; j < count; ++j) levels[j] = RatioTarget(levels[j], threshold, t, invR);
}

// The hard-knee ratio law (RatioTarget) on levels in place, two at a time
// with SSE2 (the path without AVX2); each lane's operations are
// RatioTarget's, in its order, and an odd last sample takes RatioTarget
// itself. Lanes at or below the threshold take the law at 1.5 and drop the
// result: 1 would send the lane to the scalar functions (on a branch the
// signal decides, often mispredicted), and the branch of RatioTarget itself
// is what this form leaves out.
inline void RatioLawPairs(double* levels, int count, double threshold, double t, double invR) {
  const Pair limit = {threshold, threshold};
  const Pair stand = {1.5, 1.5};
  const Pair one = {1.0, 1.0};
  const Pair scale = {kLevelScale, kLevelScale};
  const Pair ts = {t, t};
  const Pair inv = {invR, invR};
  const int paired = count & ~1;
  double x[64];
  double v[64];
  for (int done = 0; done < paired; done += 64) {
    const int n = paired - done < 64 ? paired - done : 64;
    double* lv = levels + done;
    for (int j = 0; j < n; j += 2) {
      const Pair lvl = reinterpret_cast<Pair>(_mm_loadu_pd(lv + j));
      _mm_storeu_pd(x + j, reinterpret_cast<__m128d>(lvl > limit ? lvl : stand));
    }
    detmath::LogPairs(x, v, n);
    for (int j = 0; j < n; j += 2) {
      const Pair ld = scale * reinterpret_cast<Pair>(_mm_loadu_pd(v + j));
      const Pair od = (ld - ts) * inv + ts;
      _mm_storeu_pd(v + j, reinterpret_cast<__m128d>(od / scale));
    }
    detmath::ExpPairs(v, v, n);
    for (int j = 0; j < n; j += 2) {
      const Pair lvl = reinterpret_cast<Pair>(_mm_loadu_pd(lv + j));
      const PairBits above = lvl > limit;
      const Pair target = reinterpret_cast<Pair>(_mm_loadu_pd(v + j)) / reinterpret_cast<Pair>(_mm_loadu_pd(x + j));
      _mm_storeu_pd(lv + j, reinterpret_cast<__m128d>(above ? target : one));
    }
  }
  if (paired < count) levels[paired] = RatioTarget(levels[paired], threshold, t, invR);
}

// |DetectorShape(v)| on both lanes, with the same operations as CurveLookup
// on each at w = |v| / (|v| + 3). The sign DetectorShape copies on does not
// reach the magnitude. A lane outside the table's interior (or infinite, or
// NaN) takes the scalar path.
[[gnu::always_inline]] inline Pair DetectorShapeMagnitudePair(Pair v) {
  const Pair a = lanes::Magnitude(v);
  Pair r;
  if (!LookupInteriorPair(kDetectorCurve, a / (a + Pair{3.0, 3.0}), r)) [[unlikely]]
    return Pair{DetectorShapeMagnitude(v[0]), DetectorShapeMagnitude(v[1])};
  return lanes::Magnitude(r);
}

// One detector section for both channels, left in lane 0 and right in lane
// 1, with BiquadSection::Process's arithmetic on each lane: the input widened
// from single precision, BiquadStep, the output rounded to single precision.
struct StereoSection {
  Pair ff0, ff1, ff2, fb1, fb2, s1, s2;

  StereoSection(const BiquadSection& l, const BiquadSection& r)
      : ff0{l.ff0, r.ff0}, ff1{l.ff1, r.ff1}, ff2{l.ff2, r.ff2}, fb1{l.fb1, r.fb1}, fb2{l.fb2, r.fb2},
        s1{l.s1, r.s1}, s2{l.s2, r.s2} {}

  void Store(BiquadSection& l, BiquadSection& r) const {
    l.s1 = s1[0];
    r.s1 = s1[1];
    l.s2 = s2[0];
    r.s2 = s2[1];
  }

  // Takes and returns single-precision values held in double lanes.
  // With kSettle, BiquadSection::SettleNonFinite on each lane: a non-finite
  // state is 0. Without it the states are left as they are (the caller
  // checks them).
  template <bool kSettle>
  [[gnu::always_inline]] inline Pair Process(Pair x) {
    const Pair y = BiquadStep(x, ff0, ff1, ff2, fb1, fb2, s1, s2);
    if constexpr (kSettle) {
      s1 = KeepFinite(s1);
      s2 = KeepFinite(s2);
    }
    return RoundToFloat(y);
  }

  [[gnu::always_inline]] static inline Pair KeepFinite(Pair v) {
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) & lanes::FiniteLanes(v));
  }

  [[gnu::always_inline]] static inline Pair RoundToFloat(Pair v) {
    return reinterpret_cast<Pair>(_mm_cvtps_pd(_mm_cvtpd_ps(reinterpret_cast<__m128d>(v))));
  }
};

// The three detector sections in series (high-pass, peak, shelf).
struct StereoDetector {
  StereoSection hpf, peak, shelf;

  StereoDetector(const BiquadSection& hpfL, const BiquadSection& hpfR, const BiquadSection& peakL,
                 const BiquadSection& peakR, const BiquadSection& shelfL, const BiquadSection& shelfR)
      : hpf(hpfL, hpfR), peak(peakL, peakR), shelf(shelfL, shelfR) {}

  void Store(BiquadSection& hpfL, BiquadSection& hpfR, BiquadSection& peakL, BiquadSection& peakR,
             BiquadSection& shelfL, BiquadSection& shelfR) const {
    hpf.Store(hpfL, hpfR);
    peak.Store(peakL, peakR);
    shelf.Store(shelfL, shelfR);
  }

  // Samples 0 .. count - 1 through the three sections: input(j) gives
  // sample j's pair rounded to single precision, out(j, y) takes the
  // shelf's output for it. The sections run a sample apart: in step j the
  // high-pass takes sample j, the peak sample j - 1 and the shelf sample
  // j - 2, each from what the section before it gave in the step before. A
  // step's three updates then do not wait on one another, and the processor
  // overlaps them instead of waiting on one sample's whole chain; each
  // section still sees its samples in order, with the same arithmetic.
  template <bool kSettle, class Input, class Out>
  [[gnu::always_inline]] inline void Run(int count, Input input, Out out) {
    if (count < 2) {
      if (count == 1) out(0, shelf.Process<kSettle>(peak.Process<kSettle>(hpf.Process<kSettle>(input(0)))));
      return;
    }
    Pair toPeak = hpf.Process<kSettle>(input(0));
    Pair toShelf = peak.Process<kSettle>(toPeak);
    toPeak = hpf.Process<kSettle>(input(1));
    for (int j = 2; j < count; ++j) {
      const Pair fromHpf = hpf.Process<kSettle>(input(j));
      const Pair fromPeak = peak.Process<kSettle>(toPeak);
      out(j - 2, shelf.Process<kSettle>(toShelf));
      toPeak = fromHpf;
      toShelf = fromPeak;
    }
    const Pair fromPeak = peak.Process<kSettle>(toPeak);
    out(count - 2, shelf.Process<kSettle>(toShelf));
    out(count - 1, shelf.Process<kSettle>(fromPeak));
  }

  // Zero in both lanes while every state is finite; NaN once one is not, or
  // (rarely, and harmlessly: the caller then takes the exact path) when the
  // sum of finite states overflows. A non-finite term makes the sum non-finite
  // and the product with zero NaN.
  [[gnu::always_inline]] inline Pair FiniteProbe() const {
    return (((hpf.s1 + hpf.s2) + (peak.s1 + peak.s2)) + (shelf.s1 + shelf.s2)) * Pair{0.0, 0.0};
  }
};

// How the detector outputs become a level: the larger channel magnitude
// (one gain for both channels), bent by the detector curve when `shape` is
// set, then shaped with the coefficient c.
struct LevelParams {
  bool shape;
  double curveGain;
  double c;  // level shaping, LevelShapingCoefficient(fs)
};

// The unshaped level of one sample from its detector outputs: the larger
// magnitude as std::max(right, left) picks it (NaN included), through the
// detector curve and its gain when set.
[[gnu::always_inline]] inline double SampleLevel(Pair det, const LevelParams& p) {
  if (p.shape) {
    const Pair shaped = DetectorShapeMagnitudePair(det);
    return std::max(shaped[1], shaped[0]) * p.curveGain;
  }
  const Pair a = lanes::Magnitude(det);
  return std::max(a[1], a[0]);
}

// The source sample pair of index j, rounded to single precision; a missing
// channel reads silence.
[[gnu::always_inline]] inline Pair RoundedSource(const double* srcL, const double* srcR, int j) {
  return StereoSection::RoundToFloat(Pair{srcL ? srcL[j] : 0.0, srcR ? srcR[j] : 0.0});
}

// The unshaped levels of `count` samples, the sections' states checked for
// non-finite values once for the whole run (kSettle false; false returned
// when one was met, `detector` then unchanged) or on every update (kSettle
// true: a non-finite input would otherwise leave a section's state
// non-finite forever; such a state returns to rest instead, and finite
// signals are unaffected). The sections run on a local copy, so that their
// states stay in registers rather than being reloaded after every store to
// `levels`.
template <bool kSettle>
bool RawLevels(StereoDetector& detector, const double* srcL, const double* srcR, int count, const LevelParams& p,
               double* levels) {
  StereoDetector d = detector;
  // Without kSettle, the states are checked once, after the run: a
  // non-finite state (or a non-finite input) leaves its section's next y, and
  // through fb1 y and the sum its next s1, non-finite, and so every later
  // s1; the states entering the run are finite. So some state was
  // non-finite after some update exactly when one is at the end.
  //
  // With the detector curve, the shelf's outputs are kept and bent in a pass
  // of their own, whose samples do not wait on one another.
  Pair shelfOut[64];
  const bool keep = p.shape && count <= 64;
  d.Run<kSettle>(
      count, [&](int j) __attribute__((always_inline)) { return RoundedSource(srcL, srcR, j); },
      [&](int j, Pair det) __attribute__((always_inline)) {
        if (keep) {
          shelfOut[j] = det;
        } else {
          levels[j] = SampleLevel(det, p);
        }
      });
  if constexpr (!kSettle) {
    const Pair probe = d.FiniteProbe();
    if (!(probe[0] == 0.0 && probe[1] == 0.0)) return false;
  }
  if (keep) {
    for (int j = 0; j < count; ++j) levels[j] = SampleLevel(shelfOut[j], p);
  }
  detector = d;
  return true;
}

// DetectorShapeMagnitudePair on two samples' lanes at once.
__attribute__((target("avx2"), always_inline)) inline Quad DetectorShapeMagnitudeQuad(Quad v) {
  const Quad a = lanes::Magnitude(v);
  Quad r;
  if (!LookupInteriorQuad(kDetectorCurve, a / (a + lanes::Splat(3.0)), r)) [[unlikely]]
    return Quad{DetectorShapeMagnitude(v[0]), DetectorShapeMagnitude(v[1]), DetectorShapeMagnitude(v[2]),
                DetectorShapeMagnitude(v[3])};
  return lanes::Magnitude(r);
}

// ShapeLevel on four levels; each lane gives ShapeLevel's bits.
struct LevelShapingQuad {
  Quad c, oneMinusC;
  // lvl > sqrt(lvl (1 - c)) is lvl > 1 - c, but for the roundings: a level
  // clear of 1 - c by 2^-40 of it decides the comparison as the root would,
  // which spares one or both roots when the four agree. That holds while
  // lvl (1 - c) cannot underflow: 1 - c of at least 2^-500 and levels of 0
  // or at least 2^-500; other quads take the roots.
  bool shortcuts;
  Quad passAbove, failBelow;

  __attribute__((target("avx2"))) explicit LevelShapingQuad(double cValue) {
    const double k = 1.0 - cValue;
    c = Splat(cValue);
    oneMinusC = Splat(k);
    shortcuts = k >= 0x1p-500 && k <= 1.0;
    const double pass = k * (1.0 + 0x1p-40);
    const double fail = k * (1.0 - 0x1p-40);
    passAbove = Splat(pass);
    failBelow = Splat(fail);
  }

  __attribute__((target("avx2"), always_inline)) inline Quad Apply(Quad lvl) const {
    const Quad u = lvl * oneMinusC;
    if (shortcuts) {
      const Quad largest = Splat(lanes::kLargest);
      const Quad smallest = Splat(0x1p-500);
      if (_mm256_movemask_pd(reinterpret_cast<__m256d>((lvl > passAbove) & (lvl <= largest))) == 15) return lvl;
      const Quad zero = Splat(0.0);
      const auto fails = ((lvl >= smallest) & (lvl < failBelow)) | (lvl == zero);
      if (_mm256_movemask_pd(reinterpret_cast<__m256d>(fails)) == 15)
        return reinterpret_cast<Quad>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(u + c * u)));
    }
    const __m256d passes =
        _mm256_cmp_pd(reinterpret_cast<__m256d>(lvl), _mm256_sqrt_pd(reinterpret_cast<__m256d>(u)), _CMP_GT_OQ);
    const __m256d shaped = _mm256_sqrt_pd(reinterpret_cast<__m256d>(u + c * u));
    return reinterpret_cast<Quad>(_mm256_blendv_pd(shaped, reinterpret_cast<__m256d>(lvl), passes));
  }
};

// The wide (AVX2) form of RawLevels<false> followed by the level shaping,
// for runs of 2 .. 64 samples: the sections run as there (packing two of
// them into one vector of four lanes measured slower), and the levels, the
// detector curve and the shaping take two or four samples per vector. Every
// lane's operations are the pair form's, in its order. Returns false, with
// `detector` unchanged, when a state met a non-finite value: the caller then
// takes the per-update rule.
__attribute__((target("avx2"))) inline bool DetectorLevelsWide(StereoDetector& detector, const double* srcL,
                                                               const double* srcR, int count, const LevelParams& p,
                                                               double* levels) {
  StereoDetector d = detector;
  // The inputs rounded to single precision first, four samples of a
  // channel at a time, and interleaved into pairs.
  Pair rounded[64];
  int k = 0;
  if (srcL && srcR) {
    for (; k + 4 <= count; k += 4) {
      const __m256d l = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_loadu_pd(srcL + k)));
      const __m256d r = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_loadu_pd(srcR + k)));
      const __m256d even = _mm256_unpacklo_pd(l, r);  // samples k and k + 2
      const __m256d odd = _mm256_unpackhi_pd(l, r);  // samples k + 1 and k + 3
      double* out = reinterpret_cast<double*>(rounded + k);
      _mm_storeu_pd(out, _mm256_castpd256_pd128(even));
      _mm_storeu_pd(out + 2, _mm256_castpd256_pd128(odd));
      _mm_storeu_pd(out + 4, _mm256_extractf128_pd(even, 1));
      _mm_storeu_pd(out + 6, _mm256_extractf128_pd(odd, 1));
    }
  }
  for (; k < count; ++k) rounded[k] = RoundedSource(srcL, srcR, k);
  // The sections as in RawLevels, the shelf's outputs kept.
  Pair shelfOut[64];
  d.Run<false>(
      count, [&](int j) __attribute__((always_inline)) { return rounded[j]; },
      [&](int j, Pair det) __attribute__((always_inline)) { shelfOut[j] = det; });
  const Pair probe = d.FiniteProbe();  // as in RawLevels, once after the run
  if (!(probe[0] == 0.0 && probe[1] == 0.0)) return false;
  detector = d;

  // Levels: SampleLevel on four samples per pass, then the shaping; the
  // rest one sample at a time.
  const Quad gain = Splat(p.curveGain);
  const LevelShapingQuad shaping(p.c);
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    Quad a = reinterpret_cast<Quad>(_mm256_loadu_pd(reinterpret_cast<const double*>(shelfOut + j)));      // samples j, j + 1
    Quad b = reinterpret_cast<Quad>(_mm256_loadu_pd(reinterpret_cast<const double*>(shelfOut + j + 2)));  // samples j + 2, j + 3
    if (p.shape) {
      a = DetectorShapeMagnitudeQuad(a);
      b = DetectorShapeMagnitudeQuad(b);
    } else {
      a = lanes::Magnitude(a);
      b = lanes::Magnitude(b);
    }
    // Lefts (j, j + 2, j + 1, j + 3) against rights: MAXPD(left, right) is
    // std::max(right, left) on every input, NaN included.
    const __m256d left = _mm256_unpacklo_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(b));
    const __m256d right = _mm256_unpackhi_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(b));
    Quad lvl = reinterpret_cast<Quad>(_mm256_permute4x64_pd(_mm256_max_pd(left, right), 0xd8));
    if (p.shape) lvl = lvl * gain;
    _mm256_storeu_pd(levels + j, reinterpret_cast<__m256d>(shaping.Apply(lvl)));
  }
  for (; j < count; ++j) levels[j] = ShapeLevel(SampleLevel(shelfOut[j], p), p.c);
  return true;
}

// ShapeLevel on levels in place, two at a time (SSE2) with its operations
// on each lane, both roots formed and one picked (no branch on the signal);
// an odd last level takes ShapeLevel itself.
inline void ShapeLevelsPairs(double* levels, int count, double c) {
  const Pair k = {1.0 - c, 1.0 - c};
  const Pair cc = {c, c};
  int j = 0;
  for (; j + 2 <= count; j += 2) {
    const Pair lvl = reinterpret_cast<Pair>(_mm_loadu_pd(levels + j));
    const Pair u = lvl * k;
    const auto passes = reinterpret_cast<PairBits>(_mm_cmpgt_pd(reinterpret_cast<__m128d>(lvl), _mm_sqrt_pd(reinterpret_cast<__m128d>(u))));
    const auto shaped = reinterpret_cast<Pair>(_mm_sqrt_pd(reinterpret_cast<__m128d>(u + cc * u)));
    _mm_storeu_pd(levels + j, reinterpret_cast<__m128d>(lanes::Select(passes, lvl, shaped)));
  }
  if (j < count) levels[j] = ShapeLevel(levels[j], c);
}

// The shaped levels of `count` samples. `wide`: the AVX2 form may run (the
// processor has AVX2).
inline void DetectorLevels(StereoDetector& detector, const double* srcL, const double* srcR, int count,
                           const LevelParams& p, double* levels, bool wide = false) {
  if (wide && count >= 2 && count <= 64 && DetectorLevelsWide(detector, srcL, srcR, count, p, levels)) return;
  // Checking the states once per run keeps the check off the sections'
  // feedback paths; a run that met a non-finite state is repeated with the
  // per-update rule (for finite states the two agree).
  if (!RawLevels<false>(detector, srcL, srcR, count, p, levels)) [[unlikely]]
    RawLevels<true>(detector, srcL, srcR, count, p, levels);
  ShapeLevelsPairs(levels, count, p.c);
}

}  // namespace
