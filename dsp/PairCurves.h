#pragma once

// The saturation curve on a pair of doubles (left and right), shared by the
// oversampler's kernels. Everything here has internal linkage on purpose:
// each kernel's translation unit gets its own copy, compiled for the
// instruction set that kernel is built for, and no copy can stand in for
// another at link time.

#include <immintrin.h>

#include "Curves.h"
#include "Lanes.h"

// Saturate, compiled once in an ordinary translation unit: the kernels call
// this rather than the inline function, whose copy in a kernel built for a
// wider instruction set could otherwise be the one the linker keeps.
double SaturateOutOfLine(double v);

namespace {

using lanes::Pair;
using lanes::PairBits;

// A curve table's interpolation on both lanes at table positions p, each
// with 0 <= p < count - 1 (the callers check): i = p truncated, f = p - i,
// values[i] (1 - f) + values[i + 1] f.
[[gnu::always_inline]] inline Pair InterpolatePair(const float* values, Pair p) {
  const __m128i i = _mm_cvttpd_epi32(reinterpret_cast<__m128d>(p));
  const Pair f = p - reinterpret_cast<Pair>(_mm_cvtepi32_pd(i));
  const int i0 = _mm_cvtsi128_si32(i);
  const int i1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, 1));
  // values[i] and values[i + 1] of each lane, widened together.
  // (An unaligned 8-byte load: the entries are only 4-byte aligned.)
  const __m128d pairL = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + i0))));
  const __m128d pairR = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + i1))));
  const Pair lo = reinterpret_cast<Pair>(_mm_unpacklo_pd(pairL, pairR));
  const Pair hi = reinterpret_cast<Pair>(_mm_unpackhi_pd(pairL, pairR));
  return lo * (Pair{1.0, 1.0} - f) + hi * f;
}

// InterpolatePair on four lanes. For processors with AVX2 only.
__attribute__((target("avx2"), always_inline)) inline lanes::Quad InterpolateQuad(const float* values, lanes::Quad p) {
  const __m128i i = _mm256_cvttpd_epi32(reinterpret_cast<__m256d>(p));
  const lanes::Quad f = p - reinterpret_cast<lanes::Quad>(_mm256_cvtepi32_pd(i));
  auto entries = [values](int k) {  // values[k] and values[k + 1]
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + k));
  };
  const __m128i i02 = _mm_unpacklo_epi64(entries(_mm_cvtsi128_si32(i)), entries(_mm_extract_epi32(i, 2)));
  const __m128i i13 = _mm_unpacklo_epi64(entries(_mm_extract_epi32(i, 1)), entries(_mm_extract_epi32(i, 3)));
  const __m256d e02 = _mm256_cvtps_pd(_mm_castsi128_ps(i02));  // lo0 hi0 lo2 hi2
  const __m256d e13 = _mm256_cvtps_pd(_mm_castsi128_ps(i13));  // lo1 hi1 lo3 hi3
  const lanes::Quad lo = reinterpret_cast<lanes::Quad>(_mm256_unpacklo_pd(e02, e13));
  const lanes::Quad hi = reinterpret_cast<lanes::Quad>(_mm256_unpackhi_pd(e02, e13));
  return lo * (lanes::Quad{1.0, 1.0, 1.0, 1.0} - f) + hi * f;
}

// Saturate on both lanes, with the same operations as CurveLookup on each:
// p = |w| * scale (the table's origin is 0), i = p truncated, f = p - i,
// values[i] (1 - f) + values[i + 1] f, and the sign of w copied on. A lane
// outside the table's interior (or NaN) takes the scalar path.
[[gnu::always_inline]] inline Pair SaturatePair(Pair w) {
  const Pair a = lanes::Magnitude(w);
  const double scale = static_cast<double>(kSaturationCurve.scale);
  const double last = static_cast<double>(kSaturationCurve.count - 1);
  const Pair p = (a - Pair{0.0, 0.0}) * Pair{scale, scale};
  if (_mm_movemask_pd(reinterpret_cast<__m128d>(p < Pair{last, last})) != 3) [[unlikely]]
    return Pair{SaturateOutOfLine(w[0]), SaturateOutOfLine(w[1])};
  const Pair r = InterpolatePair(kSaturationCurve.values, p);
  return lanes::CopySign(r, w);
}

// Saturate on four lanes, with the same operations as CurveLookup on each
// (see SaturatePair); a lane outside the table's interior takes the scalar
// path. For processors with AVX2 only.
__attribute__((target("avx2"), always_inline)) inline lanes::Quad SaturateQuad(lanes::Quad v) {
  const lanes::Quad a = lanes::Magnitude(v);
  const double scale = static_cast<double>(kSaturationCurve.scale);
  const double last = static_cast<double>(kSaturationCurve.count - 1);
  const lanes::Quad p = (a - lanes::Quad{0.0, 0.0, 0.0, 0.0}) * lanes::Quad{scale, scale, scale, scale};
  if (_mm256_movemask_pd(reinterpret_cast<__m256d>(p < lanes::Quad{last, last, last, last})) != 15) [[unlikely]]
    return lanes::Quad{SaturateOutOfLine(v[0]), SaturateOutOfLine(v[1]), SaturateOutOfLine(v[2]), SaturateOutOfLine(v[3])};
  const lanes::Quad r = InterpolateQuad(kSaturationCurve.values, p);
  return lanes::CopySign(r, v);
}

}  // namespace
