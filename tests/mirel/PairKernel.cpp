// Linked into a second build of engine tests: every compressor they create
// runs the oversampler's pair kernel, even where the wide one could run, so
// the same expectations hold the fallback to the same bits.

#include "dsp/Compressor.h"

namespace {
[[maybe_unused]] const bool pairKernel = (Compressor::PreferPairKernel(true), true);
}  // namespace
