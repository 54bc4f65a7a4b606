#pragma once

// Stages of the compressor's per-sample path that run a chunk of samples at
// a time ahead of the oversampler: the detector levels and the ratio law.
// Used by Compressor.cpp and measured stage by stage by the benchmark.
// Internal linkage throughout: every including file has its own copy.

#include <immintrin.h>

#include <algorithm>
#include <cmath>

#include "BiquadSection.h"
#include "Curves.h"
#include "DetMath.h"
#include "PairCurves.h"
#include "WideLanes.h"

namespace {

// Converts between the natural log of a level and the detector's decibel-like
// scale. Deliberately 8.65617025, not 20 / ln 10: stored projects depend on it.
constexpr double kLevelScale = 8.65617025;

// The hard-knee ratio law on levels in place, four at a time: above the
// threshold, target = exp(((s log lvl - t) / ratio + t) / s) / lvl with the
// decibel-like scale s; elsewhere 1. Each lane's operations are the
// sample-by-sample law's, in its order. For processors with AVX2 only.
__attribute__((target("avx2"))) inline void RatioLawWide(double* levels, int count, double threshold, double t,
                                                         double invR) {
  using Quad = lanes::Quad;
  using QuadBits = lanes::QuadBits;
  const Quad one = {1.0, 1.0, 1.0, 1.0};
  const Quad scale = {kLevelScale, kLevelScale, kLevelScale, kLevelScale};
  const Quad ts = {t, t, t, t};
  const Quad limit = {threshold, threshold, threshold, threshold};
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
      const Quad od = (ld - ts) * Quad{invR, invR, invR, invR} + ts;
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
  for (int j = grouped; j < count; ++j) {
    const double lvl = levels[j];
    double target = 1.0;
    if (lvl > threshold) {
      const double ld = kLevelScale * detmath::Log(lvl);
      const double od = (ld - t) * invR + t;
      target = detmath::Exp(od / kLevelScale) / lvl;
    }
    levels[j] = target;
  }
}

// |DetectorShape(v)| on both lanes, with the same operations as CurveLookup
// on each: w = |v| / (|v| + 3), p = w * scale (the table's origin is 0),
// i = p truncated, f = p - i, values[i] (1 - f) + values[i + 1] f. The sign
// DetectorShape copies on does not reach the magnitude. A lane outside the
// table's interior (or infinite, or NaN) takes the scalar path.
[[gnu::always_inline]] inline Pair DetectorShapeMagnitudePair(Pair v) {
  const PairBits signBit = {static_cast<long long>(0x8000000000000000ULL), static_cast<long long>(0x8000000000000000ULL)};
  const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) & ~signBit);
  const double scale = static_cast<double>(kDetectorCurve.scale);
  const double last = static_cast<double>(kDetectorCurve.count - 1);
  const Pair w = a / (a + Pair{3.0, 3.0});
  const Pair p = (w - Pair{0.0, 0.0}) * Pair{scale, scale};
  if (_mm_movemask_pd(reinterpret_cast<__m128d>(p < Pair{last, last})) != 3) [[unlikely]]
    return Pair{std::fabs(DetectorShape(v[0])), std::fabs(DetectorShape(v[1]))};
  const Pair r = InterpolatePair(kDetectorCurve.values, p);
  return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(r) & ~signBit);
}

// One detector section for both channels, left in lane 0 and right in lane
// 1, with BiquadSection::Process's arithmetic on each lane: the input widened
// from single precision, y = ff0 x + s1, s1 = ff1 x + s2 - fb1 y,
// s2 = ff2 x - fb2 y, the output rounded to single precision.
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
    const Pair y = ff0 * x + s1;
    s1 = ff1 * x + s2 - fb1 * y;
    s2 = ff2 * x - fb2 * y;
    if constexpr (kSettle) {
      s1 = KeepFinite(s1);
      s2 = KeepFinite(s2);
    }
    return RoundToFloat(y);
  }

  [[gnu::always_inline]] static inline Pair KeepFinite(Pair v) {
    const PairBits magnitudeBits = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) & magnitudeBits);
    const PairBits finite = a <= Pair{0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+1023};  // NaN fails
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) & finite);
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

  // The raw source sample pair to the pair of detector outputs.
  template <bool kSettle>
  [[gnu::always_inline]] inline Pair Process(Pair src) {
    const Pair x = StereoSection::RoundToFloat(src);
    return shelf.Process<kSettle>(peak.Process<kSettle>(hpf.Process<kSettle>(x)));
  }

  // Zero in both lanes while every state is finite; NaN once one is not, or
  // (rarely, and harmlessly: the caller then takes the exact path) when the
  // sum of finite states overflows. A non-finite term makes the sum non-finite
  // and the product with zero NaN.
  [[gnu::always_inline]] inline Pair FiniteProbe() const {
    return (((hpf.s1 + hpf.s2) + (peak.s1 + peak.s2)) + (shelf.s1 + shelf.s2)) * Pair{0.0, 0.0};
  }
};

// The levels of `count` samples. Detector chains, left and right in the two
// lanes of a pair: the sections take and pass single-precision samples, and
// each lane is the scalar section's arithmetic. A non-finite input would
// leave a section's state non-finite forever; such a state returns to rest
// instead (finite signals are unaffected). Then the level: the larger channel
// magnitude (one gain for both channels), bent by the detector curve when
// `shape` is set, and its shaping. The sections run on a local copy, so that
// their states stay in registers rather than being reloaded after every
// store to `levels`. A missing source channel reads silence.
struct LevelParams {
  bool shape;
  double curveGain;
  double c;  // level shaping, exp(-2 pi 10 Hz / fs)
};

// The raw levels of a run with the sections' states checked for non-finite
// values once for the whole run (kSettle false; false returned when one was
// met, `detector` then unchanged) or on every update (kSettle true).
template <bool kSettle>
bool RawLevels(StereoDetector& detector, const double* srcL, const double* srcR, int count, const LevelParams& p,
               double* levels) {
  StereoDetector d = detector;
  // Without kSettle, the states are checked once, after the run: a
  // non-finite state (or a non-finite input) leaves its section's next y, and
  // through fb1 y and the sum its next s1, non-finite, and so every later
  // s1; the states entering the run are finite. So some state was
  // non-finite after some update exactly when one is at the end.
  const bool shape = p.shape;
  const double curveGain = p.curveGain;
  // The three sections run a sample apart: in step j the high-pass takes
  // sample j, the peak sample j - 1 and the shelf sample j - 2, each from
  // what the section before it gave in the step before. A step's three
  // updates then do not wait on one another, and the processor overlaps
  // them instead of waiting on one sample's whole chain; each section still
  // sees its samples in order, with the same arithmetic.
  Pair toPeak = {0.0, 0.0};
  Pair toShelf = {0.0, 0.0};
  // With the detector curve, the shelf's outputs are kept and bent in a pass
  // of their own, whose samples do not wait on one another.
  Pair shelfOut[64];
  const bool keep = shape && count <= 64;
  auto level = [&](int j, Pair det) __attribute__((always_inline)) {
    if (keep) {
      shelfOut[j] = det;
    } else if (shape) {
      const Pair shaped = DetectorShapeMagnitudePair(det);
      levels[j] = std::max(shaped[1], shaped[0]) * curveGain;
    } else {
      levels[j] = std::max(std::fabs(det[1]), std::fabs(det[0]));
    }
  };
  auto input = [&](int j) __attribute__((always_inline)) {
    return StereoSection::RoundToFloat(Pair{srcL ? srcL[j] : 0.0, srcR ? srcR[j] : 0.0});
  };
  if (count >= 2) {
    toPeak = d.hpf.Process<kSettle>(input(0));
    toShelf = d.peak.Process<kSettle>(toPeak);
    toPeak = d.hpf.Process<kSettle>(input(1));
    for (int j = 2; j < count; ++j) {
      const Pair fromHpf = d.hpf.Process<kSettle>(input(j));
      const Pair fromPeak = d.peak.Process<kSettle>(toPeak);
      level(j - 2, d.shelf.Process<kSettle>(toShelf));
      toPeak = fromHpf;
      toShelf = fromPeak;
    }
    const Pair fromPeak = d.peak.Process<kSettle>(toPeak);
    level(count - 2, d.shelf.Process<kSettle>(toShelf));
    level(count - 1, d.shelf.Process<kSettle>(fromPeak));
  } else {
    for (int j = 0; j < count; ++j) level(j, d.Process<kSettle>(Pair{srcL ? srcL[j] : 0.0, srcR ? srcR[j] : 0.0}));
  }
  if constexpr (!kSettle) {
    const Pair probe = d.FiniteProbe();
    if (!(probe[0] == 0.0 && probe[1] == 0.0)) return false;
  }
  if (keep) {
    for (int j = 0; j < count; ++j) {
      const Pair shaped = DetectorShapeMagnitudePair(shelfOut[j]);
      levels[j] = std::max(shaped[1], shaped[0]) * curveGain;
    }
  }
  detector = d;
  return true;
}

// The wide (AVX2) form of RawLevels<false> followed by the level shaping,
// for runs of 2 .. 64 samples: the sections run as there (packing two of
// them into one vector of four lanes measured slower), and the levels, the
// detector curve and the shaping take two or four samples per vector. Every lane's operations
// are the pair form's, in its order. Returns false, with `detector`
// unchanged, when a state met a non-finite value: the caller then takes the
// per-update rule.
using DetQuad = lanes::Quad;

// DetectorShapeMagnitudePair on two samples' lanes at once.
__attribute__((target("avx2"), always_inline)) inline DetQuad DetectorShapeMagnitudeQuad(DetQuad v) {
  const DetQuad a = lanes::Magnitude(v);
  const double scale = static_cast<double>(kDetectorCurve.scale);
  const double last = static_cast<double>(kDetectorCurve.count - 1);
  const DetQuad w = a / (a + DetQuad{3.0, 3.0, 3.0, 3.0});
  const DetQuad p = (w - DetQuad{0.0, 0.0, 0.0, 0.0}) * DetQuad{scale, scale, scale, scale};
  if (_mm256_movemask_pd(reinterpret_cast<__m256d>(p < DetQuad{last, last, last, last})) != 15) [[unlikely]]
    return DetQuad{std::fabs(DetectorShape(v[0])), std::fabs(DetectorShape(v[1])), std::fabs(DetectorShape(v[2])),
                   std::fabs(DetectorShape(v[3]))};
  const DetQuad r = InterpolateQuad(kDetectorCurve.values, p);
  return lanes::Magnitude(r);
}

// Level shaping on four levels: peaks above 1 - c pass; below, sqrt(lvl (1 -
// c^2)), formed as sqrt(u + c u) with u = lvl (1 - c); the comparison is
// lvl > sqrt(u). Each lane gives the one-level rule's bits.
struct LevelShapingQuad {
  DetQuad c, oneMinusC;
  // lvl > sqrt(lvl (1 - c)) is lvl > 1 - c, but for the roundings: a level
  // clear of 1 - c by 2^-40 of it decides the comparison as the root would,
  // which spares one or both roots when the four agree. That holds while
  // lvl (1 - c) cannot underflow: 1 - c of at least 2^-500 and levels of 0
  // or at least 2^-500; other quads take the roots.
  bool shortcuts;
  DetQuad passAbove, failBelow;

  __attribute__((target("avx2"))) explicit LevelShapingQuad(double cValue) {
    const double k = 1.0 - cValue;
    c = DetQuad{cValue, cValue, cValue, cValue};
    oneMinusC = DetQuad{k, k, k, k};
    shortcuts = k >= 0x1p-500 && k <= 1.0;
    const double pass = k * (1.0 + 0x1p-40);
    const double fail = k * (1.0 - 0x1p-40);
    passAbove = DetQuad{pass, pass, pass, pass};
    failBelow = DetQuad{fail, fail, fail, fail};
  }

  __attribute__((target("avx2"), always_inline)) inline DetQuad Apply(DetQuad lvl) const {
    const DetQuad u = lvl * oneMinusC;
    if (shortcuts) {
      constexpr double kLargest = 0x1.fffffffffffffp+1023;
      constexpr double kSmallest = 0x1p-500;
      const DetQuad largest = {kLargest, kLargest, kLargest, kLargest};
      const DetQuad smallest = {kSmallest, kSmallest, kSmallest, kSmallest};
      if (_mm256_movemask_pd(reinterpret_cast<__m256d>((lvl > passAbove) & (lvl <= largest))) == 15) return lvl;
      const DetQuad zero = {0.0, 0.0, 0.0, 0.0};
      const auto fails = ((lvl >= smallest) & (lvl < failBelow)) | (lvl == zero);
      if (_mm256_movemask_pd(reinterpret_cast<__m256d>(fails)) == 15)
        return reinterpret_cast<DetQuad>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(u + c * u)));
    }
    const __m256d passes =
        _mm256_cmp_pd(reinterpret_cast<__m256d>(lvl), _mm256_sqrt_pd(reinterpret_cast<__m256d>(u)), _CMP_GT_OQ);
    const __m256d shaped = _mm256_sqrt_pd(reinterpret_cast<__m256d>(u + c * u));
    return reinterpret_cast<DetQuad>(_mm256_blendv_pd(shaped, reinterpret_cast<__m256d>(lvl), passes));
  }
};

__attribute__((target("avx2"), always_inline)) inline DetQuad JoinPairs(Pair low, Pair high) {
  return reinterpret_cast<DetQuad>(_mm256_set_m128d(reinterpret_cast<__m128d>(high), reinterpret_cast<__m128d>(low)));
}

__attribute__((target("avx2"))) inline bool DetectorLevelsWide(StereoDetector& detector, const double* srcL,
                                                               const double* srcR, int count, const LevelParams& p,
                                                               double* levels) {
  StereoDetector d = detector;
  StereoSection& hpf = d.hpf;
  StereoSection& peak = d.peak;
  StereoSection& shelf = d.shelf;
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
  for (; k < count; ++k) rounded[k] = StereoSection::RoundToFloat(Pair{srcL ? srcL[k] : 0.0, srcR ? srcR[k] : 0.0});
  auto input = [&](int j) __attribute__((always_inline)) { return rounded[j]; };
  // The sections as in RawLevels: a sample apart, the shelf's outputs kept.
  Pair shelfOut[64];
  Pair toPeak = hpf.Process<false>(input(0));
  Pair toShelf = peak.Process<false>(toPeak);
  toPeak = hpf.Process<false>(input(1));
  for (int j = 2; j < count; ++j) {
    const Pair fromHpf = hpf.Process<false>(input(j));
    const Pair fromPeak = peak.Process<false>(toPeak);
    shelfOut[j - 2] = shelf.Process<false>(toShelf);
    toPeak = fromHpf;
    toShelf = fromPeak;
  }
  const Pair fromPeak = peak.Process<false>(toPeak);
  shelfOut[count - 2] = shelf.Process<false>(toShelf);
  shelfOut[count - 1] = shelf.Process<false>(fromPeak);
  const Pair probe = d.FiniteProbe();  // as in RawLevels, once after the run
  if (!(probe[0] == 0.0 && probe[1] == 0.0)) return false;
  detector = d;

  // Levels: the larger magnitude of each sample's two lanes (bent by the
  // detector curve when set), as std::max(right, left) picks it, then the
  // shaping; four samples per pass, the rest one pair at a time.
  const DetQuad gain = {p.curveGain, p.curveGain, p.curveGain, p.curveGain};
  const LevelShapingQuad shaping(p.c);
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    DetQuad a = reinterpret_cast<DetQuad>(_mm256_loadu_pd(reinterpret_cast<const double*>(shelfOut + j)));      // samples j, j + 1
    DetQuad b = reinterpret_cast<DetQuad>(_mm256_loadu_pd(reinterpret_cast<const double*>(shelfOut + j + 2)));  // samples j + 2, j + 3
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
    DetQuad lvl = reinterpret_cast<DetQuad>(_mm256_permute4x64_pd(_mm256_max_pd(left, right), 0xd8));
    if (p.shape) lvl = lvl * gain;
    _mm256_storeu_pd(levels + j, reinterpret_cast<__m256d>(shaping.Apply(lvl)));
  }
  for (; j < count; ++j) {
    double lvl;
    if (p.shape) {
      const Pair shaped = DetectorShapeMagnitudePair(shelfOut[j]);
      lvl = std::max(shaped[1], shaped[0]) * p.curveGain;
    } else {
      lvl = std::max(std::fabs(shelfOut[j][1]), std::fabs(shelfOut[j][0]));
    }
    const double u = lvl * (1.0 - p.c);
    levels[j] = lvl > std::sqrt(u) ? lvl : std::sqrt(u + p.c * u);
  }
  return true;
}

// `wide`: the AVX2 form may run (the processor has AVX2).
inline void DetectorLevels(StereoDetector& detector, const double* srcL, const double* srcR, int count,
                           const LevelParams& p, double* levels, bool wide = false) {
  if (wide && count >= 2 && count <= 64 && DetectorLevelsWide(detector, srcL, srcR, count, p, levels)) return;
  // Checking the states once per run keeps the check off the sections'
  // feedback paths; a run that met a non-finite state is repeated with the
  // per-update rule (for finite states the two agree).
  if (!RawLevels<false>(detector, srcL, srcR, count, p, levels)) [[unlikely]]
    RawLevels<true>(detector, srcL, srcR, count, p, levels);

  // Level shaping: peaks above 1 - c pass; below, sqrt(lvl (1 - c^2)). Two
  // samples at a time, one in each lane; both roots are formed and one is
  // picked by a mask, as the comparison follows the signal.
  const Pair c = {p.c, p.c};
  const Pair oneMinusC = {1.0 - p.c, 1.0 - p.c};
  int j = 0;
  for (; j + 2 <= count; j += 2) {
    const Pair lvl = {levels[j], levels[j + 1]};
    const Pair u = lvl * oneMinusC;
    const __m128d passes = _mm_cmpgt_pd(reinterpret_cast<__m128d>(lvl), _mm_sqrt_pd(reinterpret_cast<__m128d>(u)));
    const __m128d shaped = _mm_sqrt_pd(reinterpret_cast<__m128d>(u + c * u));
    const __m128d out = _mm_or_pd(_mm_and_pd(passes, reinterpret_cast<__m128d>(lvl)), _mm_andnot_pd(passes, shaped));
    _mm_storeu_pd(levels + j, out);
  }
  for (; j < count; ++j) {
    const double lvl = levels[j];
    const double u = lvl * (1.0 - p.c);
    levels[j] = lvl > std::sqrt(u) ? lvl : std::sqrt(u + p.c * u);
  }
}

}  // namespace
