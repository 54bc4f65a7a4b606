#pragma once

// The saturation curve on a pair of doubles (left and right), shared by the
// oversampler's kernels. Everything here has internal linkage on purpose:
// each kernel's translation unit gets its own copy, compiled for the
// instruction set that kernel is built for, and no copy can stand in for
// another at link time.

#include <emmintrin.h>

#include "Curves.h"
#include "Oversampler.h"

// Saturate, compiled once in an ordinary translation unit: the kernels call
// this rather than the inline function, whose copy in a kernel built for a
// wider instruction set could otherwise be the one the linker keeps.
double SaturateOutOfLine(double v);

namespace {

using Pair = StereoSample;
typedef long long PairBits __attribute__((vector_size(16)));

// Saturate on both lanes, with the same operations as CurveLookup on each:
// p = |w| * scale (the table's origin is 0), i = p truncated, f = p - i,
// values[i] (1 - f) + values[i + 1] f, and the sign of w copied on. A lane
// outside the table's interior (or NaN) takes the scalar path.
[[gnu::always_inline]] inline Pair SaturatePair(Pair w) {
  const PairBits signBit = {static_cast<long long>(0x8000000000000000ULL), static_cast<long long>(0x8000000000000000ULL)};
  const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairBits>(w) & ~signBit);
  const double scale = static_cast<double>(kSaturationCurve.scale);
  const double last = static_cast<double>(kSaturationCurve.count - 1);
  const Pair p = (a - Pair{0.0, 0.0}) * Pair{scale, scale};
  if (_mm_movemask_pd(reinterpret_cast<__m128d>(p < Pair{last, last})) != 3) [[unlikely]]
    return Pair{SaturateOutOfLine(w[0]), SaturateOutOfLine(w[1])};
  const __m128i i = _mm_cvttpd_epi32(reinterpret_cast<__m128d>(p));
  const Pair f = p - reinterpret_cast<Pair>(_mm_cvtepi32_pd(i));
  const int i0 = _mm_cvtsi128_si32(i);
  const int i1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, 1));
  // values[i] and values[i + 1] of each lane, widened together.
  // (An unaligned 8-byte load: the entries are only 4-byte aligned.)
  const __m128d pairL = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kSaturationCurve.values + i0))));
  const __m128d pairR = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kSaturationCurve.values + i1))));
  const Pair lo = reinterpret_cast<Pair>(_mm_unpacklo_pd(pairL, pairR));
  const Pair hi = reinterpret_cast<Pair>(_mm_unpackhi_pd(pairL, pairR));
  const Pair r = lo * (Pair{1.0, 1.0} - f) + hi * f;
  return reinterpret_cast<Pair>((reinterpret_cast<PairBits>(r) & ~signBit) | (reinterpret_cast<PairBits>(w) & signBit));
}

}  // namespace
