// The oversampler's pair kernel. Compiled for the baseline instruction set
// like the rest of the library; it also decides whether the wide kernel may
// run.

#include "dsp/InterstagePair.h"

#include <emmintrin.h>

#include "dsp/Lanes.h"
#include "dsp/PairCurves.h"

bool interstage::WideAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

namespace interstage {
namespace {

using lanes::kLargest;

// One sample's N steps of the four oversampling filters (up and down, left
// and right) in the interstage order, with the same arithmetic as
// AllPoleStep. Left and right run as the two lanes of a Pair: each lane is an
// ordinary IEEE double multiply or add, so every lane gives the same bits as
// the scalar arithmetic. The histories are extended in place
// (StereoAllPoleWindow) instead of being shifted.
template <int N>
struct Kernel {
  // Output j from input x: v[10 + j] from v[j .. 9 + j], where v[9] is the
  // latest output before this sample; summed as AllPoleStep does. `prev` is
  // v[9 + j], the step before's output, handed on in a register: read back
  // from memory it would add a store's forwarding time to every step of
  // the chain. With kExact the flush rule is applied here; without it the
  // step only records the smallest magnitude in least, and the caller
  // checks the samples afterwards.
  template <bool kExact>
  [[gnu::always_inline]] static inline Pair Step(Pair* __restrict v, int j, Pair prev, Pair x, const Pair* fb,
                                                 Pair gain, __m128d& least) {
    Pair y = fb[1] * prev + gain * x;
    y += fb[2] * v[8 + j];
    y += fb[3] * v[7 + j];
    y += fb[4] * v[6 + j];
    y += fb[5] * v[5 + j];
    y += fb[6] * v[4 + j];
    y += fb[7] * v[3 + j];
    y += fb[8] * v[2 + j];
    y += fb[9] * v[1 + j];
    y += fb[10] * v[j];
    const Pair a = lanes::Magnitude(y);
    if constexpr (kExact) {
      // Flush rule: keep y only where 2^-54 <= |y| <= DBL_MAX (NaN fails both).
      const PairBits keep = lanes::AtLeast(a, kFlushBelow) & lanes::AtMost(a, kLargest);
      if (!lanes::BothSet(keep)) [[unlikely]] y = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(y) & keep);
    } else {
      // A NaN magnitude leaves least as it was (MINPD returns its second
      // operand then); a NaN or infinity is caught at the end of the sample.
      least = _mm_min_pd(reinterpret_cast<__m128d>(a), least);
    }
    v[10 + j] = y;
    return y;
  }

  // One sample's steps from the histories that end at up[9] and down[9].
  // Without kExact, the outputs' smallest magnitude is taken into least
  // instead of the flush rule being applied.
  template <bool kExact>
  [[gnu::always_inline]] static inline void Steps(Pair* __restrict up, Pair* __restrict down, const Pair* fb,
                                                  Pair gain, Pair dry, double d, __m128d& least) {
    const Pair gainN = {static_cast<double>(N), static_cast<double>(N)};  // restores the level lost by zero stuffing
    const Pair drive = {d, d};
    // The up filter runs one sub-sample ahead of the down filter in program
    // order (the two are independent until the saturation joins them), so
    // that the processor can overlap the two chains of additions.
    Pair upOut[N];
    upOut[0] = Step<kExact>(up, 0, up[9], dry, fb, gain, least);
    Pair downOut = down[9];
#pragma GCC unroll 16
    for (int k = 0; k < N; ++k) {
      if (k + 1 < N) upOut[k + 1] = Step<kExact>(up, k + 1, upOut[k], Pair{0.0, 0.0}, fb, gain, least);  // zero stuffing
      downOut = Step<kExact>(down, k, downOut, SaturatePair(gainN * upOut[k] * drive), fb, gain, least);
    }
  }

  // Whether steps without the flush rule gave what the rule would have: no
  // output smaller than 2^-54 in magnitude (least), and no NaN or infinity,
  // which stays non-finite through every later step of its filter (the up
  // filter's reaches the down filter only through the saturation, whose
  // output is finite), so that the filters' last outputs show it.
  [[gnu::always_inline]] static inline bool NoFlushNeeded(__m128d least, Pair upLast, Pair downLast) {
    const PairBits ok =
        lanes::AtLeast(reinterpret_cast<Pair>(least), kFlushBelow) & lanes::FiniteLanes(upLast) & lanes::FiniteLanes(downLast);
    return lanes::BothSet(ok);
  }

  // The interstage loop for one sample at N times the rate, both channels,
  // in the flush mode `exact` carries from sample to sample: once a sample
  // needed the rule, the following ones apply it directly until one ends
  // with every filter's last output at kLeaveExactAt or more. Without the
  // rule, a sample that needed it is repeated with it from the same
  // histories, which the steps have not changed.
  [[gnu::always_inline]] static inline void Sample(StereoAllPoleWindow& upWin, StereoAllPoleWindow& downWin,
                                                   const Pair* fb, Pair gain, Pair dry, double d, double* out,
                                                   bool& exact) {
    upWin.Reserve(N);
    downWin.Reserve(N);
    Pair* __restrict up = upWin.v + upWin.end - 10;
    Pair* __restrict down = downWin.v + downWin.end - 10;
    __m128d least = _mm_set1_pd(1.0);
    if (exact) {
      Steps<true>(up, down, fb, gain, dry, d, least);
      // Leave the exact path when this sample would not have needed it.
      const PairBits isLoud =
          lanes::AtLeast(lanes::Magnitude(down[9 + N]), kLeaveExactAt) & lanes::AtLeast(lanes::Magnitude(up[9 + N]), kLeaveExactAt);
      exact = !lanes::BothSet(isLoud);
    } else {
      Steps<false>(up, down, fb, gain, dry, d, least);
      if (!NoFlushNeeded(least, up[9 + N], down[9 + N])) [[unlikely]] {
        Steps<true>(up, down, fb, gain, dry, d, least);
        exact = true;
      }
    }
    out[0] = down[10][0];  // decimation keeps sub-sample 0
    out[1] = down[10][1];
    upWin.end += N;
    downWin.end += N;
  }

  // Samples j .. end - 1 (64 sub-steps at the most), with the ballistics
  // beside. Outside the flush mode the samples run without the rule and
  // are checked once, together: when one needed it, they are repeated one
  // by one in the carried mode from the same histories (the ballistics,
  // which do not depend on the filters, are not repeated). Either way every
  // output is the one the sample-by-sample mode gives.
  template <bool kGains>
  [[gnu::always_inline]] static inline void Group(StereoAllPoleWindow& upWin, StereoAllPoleWindow& downWin,
                                                  const Run& run, int j, int end, double* outputs, bool& exact,
                                                  GainRun& gains) {
    auto dry = [&run](int i) __attribute__((always_inline)) { return Pair{run.dryL[i], run.dryR[i]}; };
    if (!exact) {
      // Room for the whole group first: the windows then stay where they
      // are, and a repeat starts from the same entries.
      upWin.Reserve(N * (end - j));
      downWin.Reserve(N * (end - j));
      const int upStart = upWin.end, downStart = downWin.end;
      __m128d least = _mm_set1_pd(1.0);
      for (int i = j; i < end; ++i) {
        Pair* __restrict up = upWin.v + upWin.end - 10;
        Pair* __restrict down = downWin.v + downWin.end - 10;
        Steps<false>(up, down, run.fb, run.gain, dry(i), run.drive, least);
        outputs[2 * i] = down[10][0];
        outputs[2 * i + 1] = down[10][1];
        upWin.end += N;
        downWin.end += N;
        if constexpr (kGains) StepGains(gains, i);
      }
      if (NoFlushNeeded(least, upWin.v[upWin.end - 1], downWin.v[downWin.end - 1])) [[likely]] return;
      upWin.end = upStart;
      downWin.end = downStart;
      for (int i = j; i < end; ++i) Sample(upWin, downWin, run.fb, run.gain, dry(i), run.drive, outputs + 2 * i, exact);
      return;
    }
    for (int i = j; i < end; ++i) {
      Sample(upWin, downWin, run.fb, run.gain, dry(i), run.drive, outputs + 2 * i, exact);
      if constexpr (kGains) StepGains(gains, i);
    }
  }

  template <bool kGains>
  static void RunAll(StereoAllPoleWindow& up, StereoAllPoleWindow& down, const Run& run, double* outputs,
                     bool& exact) {
    // The ballistics' state lives here during the run (in registers, not
    // reloaded after every store).
    GainRun gains;
    if constexpr (kGains) gains = *run.gains;
    constexpr int kGroup = 64 / N;
    for (int j = 0; j < run.count; j += kGroup)
      Group<kGains>(up, down, run, j, j + kGroup < run.count ? j + kGroup : run.count, outputs, exact, gains);
    if constexpr (kGains) *run.gains = gains;
  }

  static void RunFactor(StereoAllPoleWindow& up, StereoAllPoleWindow& down, const Run& run, double* outputs,
                        bool& exact) {
    if (run.gains) {
      RunAll<true>(up, down, run, outputs, exact);
    } else {
      RunAll<false>(up, down, run, outputs, exact);
    }
  }
};

}  // namespace

void RunPair(int factor, StereoAllPoleWindow& up, StereoAllPoleWindow& down, const Run& run, double* outputs,
             bool& exact) {
  if (run.count < 1 || run.count > MaxRunAt(factor == 16 ? 16 : 4)) return;
  if (factor == 16) {
    Kernel<16>::RunFactor(up, down, run, outputs, exact);
  } else {
    Kernel<4>::RunFactor(up, down, run, outputs, exact);
  }
}

}  // namespace interstage
