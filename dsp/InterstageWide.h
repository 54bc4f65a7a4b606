#pragma once

// The oversampler's wide kernel: the four filter chains of a sample (up left,
// up right, down left, down right) as the four lanes of one 256-bit vector.
// Built for AVX2 in its own translation unit and used only when the
// processor has it; the pair kernel in Compressor.cpp is the fallback and
// gives the same bits (every lane is the scalar step's IEEE arithmetic, in
// the same order, without fused multiply-adds).

#include "Ballistics.h"
#include "Oversampler.h"

namespace interstage {

// The down lanes run a few sub-steps behind the up lanes (at most kMaxLag),
// so that the saturation of an up output has time to finish before the down
// filter needs it, and the vector's chain is one filter step per sub-step.
inline constexpr int kMaxLag = 8;

// The lag at each factor.
constexpr int LagAt(int factor) { return factor == 16 ? 6 : 8; }

// Samples per run, and the scratch a run needs (doubles).
inline constexpr int kMaxRun = 64;
inline constexpr int kScratchDoubles = 4 * (10 + kMaxRun * 16 + kMaxLag);

struct Run {
  const StereoSample* fb = nullptr;  // fb[1..10], left in lane 0, right in lane 1
  StereoSample gain = {0.0, 0.0};
  double drive = 0.0;  // the saturation sees N up * drive
  const double* dryL = nullptr;
  const double* dryR = nullptr;
  int count = 0;  // 1 .. kMaxRun
  // When set, the gain ballistics of the run's samples, one sample's step
  // after each sample's filter steps: their chain then runs beside the
  // filters' instead of before or after them.
  GainRun* gains = nullptr;
};

// After a run, sample j's interstage outputs (the down filter's output at
// its sub-sample 0) are Outputs(scratch, factor)[j * 4 * factor] (left) and
// the entry after it (right), until the next run.
inline const double* Outputs(const double* scratch, int factor) { return scratch + 4 * (10 + LagAt(factor)) + 2; }

// True when this processor and system can run the wide kernel.
bool WideAvailable();

// The interstage loop of `run.count` samples at `factor` (4 or 16) times the
// rate: the histories continue from `up` and `down` and are left there at
// the end, exactly as the pair kernel leaves them. `exact` carries the flush
// mode from run to run as the pair kernel's does. Only call when
// WideAvailable(); `scratch` holds kScratchDoubles doubles.
void RunWide(int factor, StereoAllPoleWindow& up, StereoAllPoleWindow& down, double* scratch, const Run& run,
             bool& exact);

}  // namespace interstage
