#pragma once

// The saturation curve on a pair of doubles (left and right), shared by the
// oversampler's kernels. Everything here has internal linkage on purpose:
// each kernel's translation unit gets its own copy, compiled for the
// instruction set that kernel is built for, and no copy can stand in for
// another at link time.

#include <immintrin.h>

#include "dsp/Curves.h"
#include "dsp/Lanes.h"

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

// CurveLookup on both lanes at coordinates w >= 0 inside the table's
// interior: p = (w - origin) * scale, then InterpolatePair. Returns false,
// leaving r unset, when some lane's p is not below count - 1 (NaN
// included); the caller then takes the scalar path for the pair.
[[gnu::always_inline]] inline bool LookupInteriorPair(const CurveTable& table, Pair w, Pair& r) {
  const double origin = static_cast<double>(table.origin);
  const double scale = static_cast<double>(table.scale);
  const double last = static_cast<double>(table.count - 1);
  const Pair p = (w - Pair{origin, origin}) * Pair{scale, scale};
  if (_mm_movemask_pd(reinterpret_cast<__m128d>(p < Pair{last, last})) != 3) [[unlikely]] return false;
  r = InterpolatePair(table.values, p);
  return true;
}

// LookupInteriorPair on four lanes. For processors with AVX2 only.
__attribute__((target("avx2"), always_inline)) inline bool LookupInteriorQuad(const CurveTable& table, lanes::Quad w,
                                                                              lanes::Quad& r) {
  const lanes::Quad p = (w - lanes::Splat(static_cast<double>(table.origin))) * lanes::Splat(static_cast<double>(table.scale));
  const lanes::Quad last = lanes::Splat(static_cast<double>(table.count - 1));
  if (_mm256_movemask_pd(reinterpret_cast<__m256d>(p < last)) != 15) [[unlikely]] return false;
  r = InterpolateQuad(table.values, p);
  return true;
}

// Saturate on both lanes, with the same operations as CurveLookup on each
// at |w|, and the sign of w copied on. A lane outside the table's interior
// (or NaN) takes the scalar path.
[[gnu::always_inline]] inline Pair SaturatePair(Pair w) {
  Pair r;
  if (!LookupInteriorPair(kSaturationCurve, lanes::Magnitude(w), r)) [[unlikely]]
    return Pair{SaturateOutOfLine(w[0]), SaturateOutOfLine(w[1])};
  return lanes::CopySign(r, w);
}

// SaturatePair on four lanes. For processors with AVX2 only.
__attribute__((target("avx2"), always_inline)) inline lanes::Quad SaturateQuad(lanes::Quad v) {
  lanes::Quad r;
  if (!LookupInteriorQuad(kSaturationCurve, lanes::Magnitude(v), r)) [[unlikely]]
    return lanes::Quad{SaturateOutOfLine(v[0]), SaturateOutOfLine(v[1]), SaturateOutOfLine(v[2]), SaturateOutOfLine(v[3])};
  return lanes::CopySign(r, v);
}

}  // namespace
