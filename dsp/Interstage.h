#pragma once

// The oversampled interstage stage, run a chunk of samples at a time by one
// of two kernels: the wide one (InterstageWide.h, AVX2) where the processor
// has it, else the pair one (InterstagePair.h, SSE2). Both give the same
// bits: every lane is AllPoleStep's and Saturate's IEEE arithmetic, in the
// same order, without fused multiply-adds.

#include "dsp/Ballistics.h"
#include "dsp/Oversampler.h"

namespace interstage {

// Sub-steps (samples times the factor) per run at the most.
inline constexpr int kMaxRunSteps = 1024;

// Samples per run at the most at a factor: 256 at 4x, 64 at 16x. The wide
// kernel spends a few sub-steps on each run's end (its down lanes' lag), so
// fewer, longer runs cost less.
constexpr int MaxRunAt(int factor) { return kMaxRunSteps / factor; }

// Samples per run at the most at any factor.
inline constexpr int kMaxRun = MaxRunAt(4);

struct Run {
  const StereoSample* fb = nullptr;  // fb[1..10], left in lane 0, right in lane 1
  StereoSample gain = {0.0, 0.0};
  double drive = 0.0;  // the saturation sees N up * drive
  const double* dryL = nullptr;
  const double* dryR = nullptr;
  int count = 0;  // 1 .. MaxRunAt(factor)
  // When set, the gain ballistics of the run's samples, one sample's step
  // after each sample's filter steps: their chain then runs beside the
  // filters' instead of before or after them.
  GainRun* gains = nullptr;
};

// The flush rule (AllPoleStep) is checked after a sample's steps, and the
// sample repeated with it applied on every step when some output needed it.
// Once one did, the following samples apply it directly until one ends with
// every filter's last output at this magnitude or more.
inline constexpr double kLeaveExactAt = 0x1p-40;

// True when this processor and system can run the wide kernel.
bool WideAvailable();

}  // namespace interstage
