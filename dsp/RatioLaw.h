#pragma once

// The hard-knee ratio law: above the threshold, the target gain is
// exp(((s log lvl - t) / ratio + t) / s) / lvl on the detector's decibel-like
// scale s; at or below it, 1. Four samples at a time (AVX2), each lane with
// the one-sample law's operations in its order.
//
// Internal linkage throughout, and no calls into other headers' inline
// functions: the wide oversampler's translation unit, built for AVX2, runs
// the law beside its filter steps, and its copy must never stand in for
// anyone else's.

#include <immintrin.h>

#include "DetMathQuad.h"
#include "WideLanes.h"

// The law's inputs for a run of samples, stepped a quad at a time beside
// other work: targets[j] from levels[j] (the two may be the same array).
struct RatioRun {
  const double* levels = nullptr;
  double* targets = nullptr;
  double threshold = 0.0;  // exp(t / s)
  double t = 0.0;  // threshold on the scale
  double invR = 0.0;  // 1 / ratio
};

namespace {

// Converts between the natural log of a level and the detector's decibel-like
// scale. Deliberately 8.65617025, not 20 / ln 10: stored projects depend on it.
constexpr double kLevelScale = 8.65617025;

// The law on four levels. Lanes at or below the threshold take the law at 1
// and drop the result.
__attribute__((target("avx2"), always_inline)) inline lanes::Quad RatioLawQuad(lanes::Quad lvl, double threshold,
                                                                               double t, double invR) {
  using lanes::Quad;
  const Quad one = {1.0, 1.0, 1.0, 1.0};
  const Quad scale = {kLevelScale, kLevelScale, kLevelScale, kLevelScale};
  const Quad ts = {t, t, t, t};
  const auto above = lvl > Quad{threshold, threshold, threshold, threshold};
  const Quad x = above ? lvl : one;
  const Quad ld = scale * detmath::LogQuad(x);
  const Quad od = (ld - ts) * Quad{invR, invR, invR, invR} + ts;
  const Quad target = detmath::ExpQuad(od / scale) / x;
  return above ? target : one;
}

// Targets first .. first + 3 of a run.
__attribute__((target("avx2"), always_inline)) inline void StepRatio(const RatioRun& run, int first) {
  const lanes::Quad lvl = reinterpret_cast<lanes::Quad>(_mm256_loadu_pd(run.levels + first));
  _mm256_storeu_pd(run.targets + first,
                   reinterpret_cast<__m256d>(RatioLawQuad(lvl, run.threshold, run.t, run.invR)));
}

}  // namespace
