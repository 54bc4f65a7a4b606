#pragma once

// The gain ballistics and the meter's, one sample at a time. Internal
// linkage and no calls into other headers' inline functions: the wide
// oversampler's translation unit, built for AVX2, runs them beside its
// filter steps, and its copy must never stand in for anyone else's.

#include <emmintrin.h>

// The values the ballistics are formed from: plain data, shared by the
// kernels.
struct BallisticsLaw {
  double a = 0.0;  // attack coefficient
  double r = 0.0;  // release coefficient
  double meterK = 0.0;  // meter coefficient
  bool compressionOff = false;  // the gain stays at 1
  bool metering = false;  // the meter ballistics run
};

// The ballistics of a run of samples, stepped one sample at a time beside
// other work: gains[j] from targets[j] (the two may be the same array), the
// gain and the meter state carried from sample to sample.
struct GainRun {
  BallisticsLaw law;
  const double* targets = nullptr;
  double* gains = nullptr;
  double g = 1.0;
  double meterValue = 1.0;
};

namespace {

// The gain after a sample with the given target, from the gain g before it;
// with metering, the meter ballistics too.
[[gnu::always_inline]] inline double NextGain(const BallisticsLaw& law, double target, double g, double& meterValue) {
  // Attack towards more reduction, release towards less. Both candidates
  // are formed and one is picked by a mask, as the comparison follows the
  // signal and a branch would often be mispredicted.
  const double gp = g;
  const double attackCandidate = gp * law.a;
  const double attackGain = target < attackCandidate ? attackCandidate : target;  // the larger; target on NaN
  const double releaseCandidate = gp / law.r;
  const double releaseGain = target < releaseCandidate ? target : releaseCandidate;  // the smaller; the quotient on NaN
  const __m128d attacking = _mm_cmpgt_sd(_mm_set_sd(gp), _mm_set_sd(target));
  double next = _mm_cvtsd_f64(
      _mm_or_pd(_mm_and_pd(attacking, _mm_set_sd(attackGain)), _mm_andnot_pd(attacking, _mm_set_sd(releaseGain))));
  if (law.compressionOff) next = 1.0;  // Input at 0 switches compression off
  if (!__builtin_isfinite(next)) next = 1.0;  // a non-finite gain returns to rest

  // VU meter ballistics on the gain reduction, with overshoot.
  if (law.metering) {
    const double m = __builtin_fabs(1.0 - next);
    const double meterTarget = m > meterValue ? m * 1.0125 : m * 0.9875;
    meterValue = (meterValue - meterTarget) * law.meterK + meterTarget;
  }
  return next;
}

[[gnu::always_inline]] inline void StepGains(GainRun& run, int j) {
  run.g = NextGain(run.law, run.targets[j], run.g, run.meterValue);
  run.gains[j] = run.g;
}

}  // namespace
