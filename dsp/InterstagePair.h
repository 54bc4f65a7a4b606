#pragma once

// The oversampler's pair kernel: the left and right channels of each filter
// as the two lanes of one 128-bit vector (SSE2, part of every x86-64
// target). The fallback where the wide kernel (InterstageWide.h) cannot run;
// both give the same bits.

#include "dsp/Interstage.h"

namespace interstage {

// The interstage loop of `run.count` samples at `factor` (4 or 16) times the
// rate: zero-stuffed up filter, saturation, down filter, decimation. The
// histories continue from `up` and `down` and are left there; `exact`
// carries the flush mode from run to run. Sample j's interstage outputs go
// to outputs[2 j] (left) and outputs[2 j + 1] (right).
void RunPair(int factor, StereoAllPoleWindow& up, StereoAllPoleWindow& down, const Run& run, double* outputs,
             bool& exact);

}  // namespace interstage
