#pragma once

// The oversampler's wide kernel: the four filter chains of a sample (up left,
// up right, down left, down right) as the four lanes of one 256-bit vector.
// Built for AVX2 in its own translation unit and used only when the
// processor has it; the pair kernel (InterstagePair.h) is the fallback and
// gives the same bits.

#include "dsp/Interstage.h"

namespace interstage {

// The down lanes run a few sub-steps behind the up lanes (at most kMaxLag),
// so that the saturation of an up output has time to finish before the down
// filter needs it, and the vector's chain is one filter step per sub-step.
inline constexpr int kMaxLag = 8;

// The lag at each factor.
constexpr int LagAt(int factor) { return factor == 16 ? 6 : 8; }

// The scratch a run needs (doubles).
inline constexpr int kScratchDoubles = 4 * (10 + kMaxRunSteps + kMaxLag);

// After a run, sample j's interstage outputs (the down filter's output at
// its sub-sample 0) are Outputs(scratch, factor)[j * 4 * factor] (left) and
// the entry after it (right), until the next run.
inline const double* Outputs(const double* scratch, int factor) { return scratch + 4 * (10 + LagAt(factor)) + 2; }

// The interstage loop of `run.count` samples at `factor` (4 or 16) times the
// rate: the histories continue from `up` and `down` and are left there at
// the end, exactly as the pair kernel leaves them. `exact` carries the flush
// mode from run to run as the pair kernel's does. Only call when
// WideAvailable(); `scratch` holds kScratchDoubles doubles.
void RunWide(int factor, StereoAllPoleWindow& up, StereoAllPoleWindow& down, double* scratch, const Run& run,
             bool& exact);

}  // namespace interstage
