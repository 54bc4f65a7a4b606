// The wide oversampler kernel. This file alone is compiled for AVX2 (see
// CMakeLists.txt), so it must not call any inline function with external
// linkage from another header: the linker could keep this file's copy of it
// for callers on processors without AVX2. It reaches the curve, the lane
// helpers and the ballistics through PairCurves.h, Lanes.h and Ballistics.h
// (internal linkage) and the intrinsics only; a test checks that its object
// defines no weak symbol.
//
// Lanes of a vector: 0 up left, 1 up right, 2 down left, 3 down right. The
// down lanes run kLag sub-steps behind the up lanes, so entry 10 + t of the
// scratch holds up(t) in lanes 0 and 1 and down(t - kLag) in lanes 2 and 3,
// where t counts the run's sub-steps from 0 and negative t is the history
// the run starts from. One step of all four filters reads the ten entries
// before its own, lane by lane with the scalar step's arithmetic.

#include <immintrin.h>

#include "dsp/InterstageWide.h"
#include "dsp/Lanes.h"
#include "dsp/PairCurves.h"

namespace interstage {
namespace {

using lanes::Quad;
using lanes::QuadBits;
using lanes::Splat;

[[gnu::always_inline]] inline Quad Load(const double* p) { return reinterpret_cast<Quad>(_mm256_loadu_pd(p)); }
[[gnu::always_inline]] inline void Store(double* p, Quad v) { _mm256_storeu_pd(p, reinterpret_cast<__m256d>(v)); }

using lanes::kLargest;
using lanes::Magnitude;

template <int N, int kLag>
struct Kernel {
  double* w;  // the scratch, entry e at w + 4 e
  Quad fb[11];
  Quad gain;
  Quad levelN;  // N: restores the level lost by zero stuffing
  Quad drive;
  const double* storedDown;  // down(-kLag .. -1), left and right interleaved

  // One step of all four filters at sub-step t, given the previous entry's
  // values (prev) and the inputs x; the sum is formed one addition at a time
  // in index order, as AllPoleStep does.
  template <bool kExact>
  [[gnu::always_inline]] inline Quad Step(int t, Quad prev, Quad x, Quad& least) const {
    double* e = w + 4 * (10 + t);
    Quad y = fb[1] * prev + gain * x;
    y += fb[2] * Load(e - 8);
    y += fb[3] * Load(e - 12);
    y += fb[4] * Load(e - 16);
    y += fb[5] * Load(e - 20);
    y += fb[6] * Load(e - 24);
    y += fb[7] * Load(e - 28);
    y += fb[8] * Load(e - 32);
    y += fb[9] * Load(e - 36);
    y += fb[10] * Load(e - 40);
    const Quad a = Magnitude(y);
    if constexpr (kExact) {
      // Flush rule: keep y only where 2^-54 <= |y| <= DBL_MAX (NaN fails both).
      const QuadBits keep = (a >= Splat(kFlushBelow)) &
                            (a <= Splat(kLargest));
      y = reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(y) & keep);
    } else {
      // A NaN magnitude leaves least as it was (MINPD returns its second
      // operand then); NaN and infinity are caught at the end of the sample.
      least = reinterpret_cast<Quad>(_mm256_min_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(least)));
    }
    Store(e, y);
    return y;
  }

  // The saturated up outputs that sub-steps t and t + 1 feed to the down
  // lanes, those of sub-steps t - kLag and t + 1 - kLag: left and right of
  // the first in lanes 0 and 1, of the second in lanes 2 and 3. Two
  // sub-steps share one pass of the curve.
  [[gnu::always_inline]] inline Quad SaturatedTwo(int t) const {
    const double* first = w + 4 * (10 + t - kLag);
    const __m256d up = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(first)), _mm_loadu_pd(first + 4), 1);
    return SaturateQuad(levelN * reinterpret_cast<Quad>(up) * drive);
  }

  // Inputs of sub-steps t and t + 1: the up lanes take upIn and then 0, the
  // down lanes the saturated up outputs (SaturatedTwo).
  [[gnu::always_inline]] static inline Quad FirstInput(Pair upIn, Quad saturated) {
    // Low half upIn, high half the saturated lanes 0 and 1.
    return reinterpret_cast<Quad>(_mm256_insertf128_pd(_mm256_castpd128_pd256(reinterpret_cast<__m128d>(upIn)),
                                                        _mm256_castpd256_pd128(reinterpret_cast<__m256d>(saturated)), 1));
  }
  [[gnu::always_inline]] static inline Quad SecondInput(Quad saturated) {
    // Low half zero, high half the saturated lanes 2 and 3.
    return reinterpret_cast<Quad>(_mm256_permute2f128_pd(reinterpret_cast<__m256d>(saturated),
                                                         reinterpret_cast<__m256d>(saturated), 0x18));
  }

  // The N sub-steps of sample j (or, with kTail, the kLag sub-steps after
  // the last sample, which only the down lanes need). Without kExact, the
  // outputs' smallest magnitude is taken into least instead of the flush
  // rule being applied.
  template <bool kExact, bool kFirst, bool kTail>
  [[gnu::always_inline]] inline void Steps(int j, Pair dry, Quad& prev, Quad& least) const {
    constexpr int kSteps = kTail ? kLag : N;
    Quad y = prev;
    // Two sub-steps share one saturation pass: the second's input, the up
    // output of sub-step t + 1 - kLag, must be final by sub-step t, and
    // with lags of six and more it is well before.
    static_assert(kSteps % 2 == 0 && kLag >= 6, "sub-steps go in twos");
    auto keepStoredDown = [&](int t) __attribute__((always_inline)) {
      if (kFirst && t < kLag) {
        // The down lanes of the run's first sub-steps finish the previous
        // run's last sample: they keep the values that run stored.
        const Pair down = {storedDown[2 * t], storedDown[2 * t + 1]};
        y = reinterpret_cast<Quad>(_mm256_insertf128_pd(reinterpret_cast<__m256d>(y), reinterpret_cast<__m128d>(down), 1));
        Store(w + 4 * (10 + t), y);
      }
    };
#pragma GCC unroll 8
    for (int k = 0; k < kSteps; k += 2) {
      const int t = j * N + k;
      const Quad saturated = SaturatedTwo(t);
      y = Step<kExact>(t, y, FirstInput(!kTail && k == 0 ? dry : Pair{0.0, 0.0}, saturated), least);
      keepStoredDown(t);
      y = Step<kExact>(t + 1, y, SecondInput(saturated), least);
      keepStoredDown(t + 1);
    }
    prev = y;
  }

  // Whether steps without the flush rule gave what the rule would have:
  // no output smaller than 2^-54 in magnitude (least), and no NaN or
  // infinity, which stays non-finite in every later step of its filter
  // (the saturation's output is finite), so that the last outputs (y) show
  // it.
  [[gnu::always_inline]] static inline bool NoFlushNeeded(Quad least, Quad y) {
    const QuadBits ok = (least >= Splat(kFlushBelow)) & (Magnitude(y) <= Splat(kLargest));
    return _mm256_movemask_pd(reinterpret_cast<__m256d>(ok)) == 15;
  }

  // A sample in the carried flush mode; updates the mode as the pair kernel
  // does: once a sample needed the flush rule, the following ones apply it
  // directly until one ends with every filter at 2^-40 or more. Without the
  // rule, a sample that needed it is repeated with it from the same entries.
  template <bool kFirst, bool kTail>
  [[gnu::always_inline]] inline void SampleInMode(int j, Pair dry, Quad& prev, bool& exact) const {
    Quad least = Splat(1.0);
    if (exact) {
      Steps<true, kFirst, kTail>(j, dry, prev, least);
      const double loud = kLeaveExactAt;
      const QuadBits isLoud = Magnitude(prev) >= Splat(loud);
      exact = _mm256_movemask_pd(reinterpret_cast<__m256d>(isLoud)) != 15;
    } else {
      const Quad start = prev;
      Steps<false, kFirst, kTail>(j, dry, prev, least);
      if (!NoFlushNeeded(least, prev)) [[unlikely]] {
        prev = start;
        Steps<true, kFirst, kTail>(j, dry, prev, least);
        exact = true;
      }
    }
  }

  // Samples j .. end - 1 of the run's middle, with the ballistics beside.
  // Outside the flush mode the samples run without the rule and are checked
  // once, together: when one needed it, they are repeated one by one in the
  // carried mode from the same entries (the ballistics, which do not depend
  // on the filters, are not repeated). Either way every output is the one
  // the sample-by-sample mode gives.
  template <bool kGains>
  [[gnu::always_inline]] inline void Group(const Run& run, int j, int end, Quad& prev, GainRun& gains, bool& exact) const {
    auto dry = [&run](int i) __attribute__((always_inline)) { return Pair{run.dryL[i], run.dryR[i]}; };
    if (!exact) {
      const Quad start = prev;
      Quad least = Splat(1.0);
      for (int i = j; i < end; ++i) {
        Steps<false, false, false>(i, dry(i), prev, least);
        if constexpr (kGains) StepGains(gains, i);
      }
      if (NoFlushNeeded(least, prev)) [[likely]] return;
      prev = start;
      for (int i = j; i < end; ++i) SampleInMode<false, false>(i, dry(i), prev, exact);
      return;
    }
    for (int i = j; i < end; ++i) {
      SampleInMode<false, false>(i, dry(i), prev, exact);
      if constexpr (kGains) StepGains(gains, i);
    }
  }

  template <bool kGains>
  void RunAll(const Run& run, bool& exact) const {
    // The ballistics' state lives here during the run (in registers, not
    // reloaded after every store).
    GainRun gains;
    if constexpr (kGains) gains = *run.gains;
    Quad prev = Load(w + 4 * 9);
    SampleInMode<true, false>(0, Pair{run.dryL[0], run.dryR[0]}, prev, exact);
    if constexpr (kGains) StepGains(gains, 0);
    int j = 1;
    if constexpr (kLag > N) {
      // The lag reaches into the second sample too.
      if (run.count > 1) {
        SampleInMode<true, false>(1, Pair{run.dryL[1], run.dryR[1]}, prev, exact);
        if constexpr (kGains) StepGains(gains, 1);
        j = 2;
      }
    }
    if constexpr (N == 16) {
      // A sample's sixteen sub-steps already share the check's cost here;
      // groups measured slower.
      for (; j < run.count; ++j) {
        SampleInMode<false, false>(j, Pair{run.dryL[j], run.dryR[j]}, prev, exact);
        if constexpr (kGains) StepGains(gains, j);
      }
    } else {
      // Groups of 64 sub-steps: the check's cost is shared by 16 samples,
      // and a group that needed the rule repeats no more than that.
      constexpr int kGroup = 64 / N;
      for (; j < run.count; j += kGroup)
        Group<kGains>(run, j, j + kGroup < run.count ? j + kGroup : run.count, prev, gains, exact);
    }
    // (A one-sample run's tail may still hold sub-steps inside the lag.)
    SampleInMode<(kLag > N), true>(run.count, Pair{0.0, 0.0}, prev, exact);
    if constexpr (kGains) *run.gains = gains;
  }
};

template <int N, int kLag>
void RunFactor(StereoAllPoleWindow& up, StereoAllPoleWindow& down, double* scratch, const Run& run, bool& exact) {
  static_assert(kLag <= 2 * N && kLag <= kMaxLag && 10 + kLag <= StereoAllPoleWindow::kKeep);
  double storedDown[2 * kLag];
  for (int k = 0; k < kLag; ++k) {
    storedDown[2 * k] = down.v[down.end - kLag + k][0];
    storedDown[2 * k + 1] = down.v[down.end - kLag + k][1];
  }
  // Entries 0..9: up(-10..-1) and down(-10 - kLag .. -1 - kLag).
  for (int e = 0; e < 10; ++e) {
    const StereoSample u = up.v[up.end - 10 + e];
    const StereoSample d = down.v[down.end - 10 - kLag + e];
    double* p = scratch + 4 * e;
    p[0] = u[0];
    p[1] = u[1];
    p[2] = d[0];
    p[3] = d[1];
  }
  Kernel<N, kLag> k{};
  k.w = scratch;
  for (int m = 1; m <= 10; ++m) k.fb[m] = Quad{run.fb[m][0], run.fb[m][1], run.fb[m][0], run.fb[m][1]};
  k.gain = Quad{run.gain[0], run.gain[1], run.gain[0], run.gain[1]};
  k.levelN = Splat(static_cast<double>(N));
  k.drive = Splat(run.drive);
  k.storedDown = storedDown;
  if (run.gains) {
    k.template RunAll<true>(run, exact);
  } else {
    k.template RunAll<false>(run, exact);
  }

  // The last kKeep outputs of each filter become the histories. A run
  // shorter than the history reaches back past the entries copied into the
  // scratch; those outputs are still in the old windows, at or after the
  // entry being written.
  const int total = run.count * N;
  constexpr int kKeep = StereoAllPoleWindow::kKeep;
  for (int m = 0; m < kKeep; ++m) {
    const int t = total - kKeep + m;  // time of the entry, relative to the run's start
    if (10 + t >= 0) {
      const double* u = scratch + 4 * (10 + t);
      up.v[m] = StereoSample{u[0], u[1]};
    } else {
      up.v[m] = up.v[up.end + t];
    }
    if (10 + t + kLag >= 0) {
      const double* d = scratch + 4 * (10 + t + kLag);
      down.v[m] = StereoSample{d[2], d[3]};
    } else {
      down.v[m] = down.v[down.end + t];
    }
  }
  up.end = kKeep;
  down.end = kKeep;
}

}  // namespace

void RunWide(int factor, StereoAllPoleWindow& up, StereoAllPoleWindow& down, double* scratch, const Run& run,
             bool& exact) {
  if (run.count < 1 || run.count > MaxRunAt(factor == 16 ? 16 : 4)) return;
  // Lags of six and eight sub-steps leave the saturation of two sub-steps'
  // up outputs time to finish together before the down lanes need them.
  if (factor == 16) {
    RunFactor<16, LagAt(16)>(up, down, scratch, run, exact);
  } else {
    RunFactor<4, LagAt(4)>(up, down, scratch, run, exact);
  }
}

}  // namespace interstage
