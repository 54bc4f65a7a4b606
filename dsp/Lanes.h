#pragma once

// Two and four double lanes in one vector: a pair (left and right, SSE2,
// part of every x86-64 target) and a quad (AVX2 only). Each lane does the
// scalar operations in the scalar order, so the vector paths give the same
// bits as the sample-by-sample ones. The sign and magnitude masks of both
// are here and nowhere else.
//
// Internal linkage throughout: a file built for AVX2 includes this too, and
// its copy of a pair helper must never stand in for anyone else's.

#include <emmintrin.h>

#include "dsp/Oversampler.h"

namespace lanes {
namespace {

// Left in lane 0, right in lane 1.
using Pair = StereoSample;
typedef long long PairBits __attribute__((vector_size(16)));
typedef double Quad __attribute__((vector_size(32)));
typedef long long QuadBits __attribute__((vector_size(32)));

inline constexpr long long kSignBit = static_cast<long long>(0x8000000000000000ULL);
inline constexpr long long kMagnitudeBits = 0x7fffffffffffffffLL;
// The largest finite double: a magnitude at or below it is finite (NaN fails).
inline constexpr double kLargest = 0x1.fffffffffffffp+1023;

// |v| on both lanes: the sign bit cleared, as fabs does.
[[gnu::always_inline]] inline Pair Magnitude(Pair v) {
  return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) & PairBits{kMagnitudeBits, kMagnitudeBits});
}

// |magnitude| with the sign of `sign` on both lanes, as copysign does.
[[gnu::always_inline]] inline Pair CopySign(Pair magnitude, Pair sign) {
  const PairBits signBit = {kSignBit, kSignBit};
  return reinterpret_cast<Pair>((reinterpret_cast<PairBits>(magnitude) & ~signBit) |
                                (reinterpret_cast<PairBits>(sign) & signBit));
}

// Masks of pair lanes are formed with the comparison intrinsics: the vector
// extensions' comparison results, once combined with &, are taken through
// the integer registers lane by lane (SSE2 cannot compare 64-bit integers
// with zero).

// All-ones on the lanes where lo <= v (NaN: zero).
[[gnu::always_inline]] inline PairBits AtLeast(Pair v, double lo) {
  return reinterpret_cast<PairBits>(_mm_cmpge_pd(reinterpret_cast<__m128d>(v), _mm_set1_pd(lo)));
}

// All-ones on the lanes where v <= hi (NaN: zero).
[[gnu::always_inline]] inline PairBits AtMost(Pair v, double hi) {
  return reinterpret_cast<PairBits>(_mm_cmple_pd(reinterpret_cast<__m128d>(v), _mm_set1_pd(hi)));
}

// All-ones on the lanes where lo < v, and where v < hi (NaN: zero).
[[gnu::always_inline]] inline PairBits Above(Pair v, double lo) {
  return reinterpret_cast<PairBits>(_mm_cmpgt_pd(reinterpret_cast<__m128d>(v), _mm_set1_pd(lo)));
}
[[gnu::always_inline]] inline PairBits Below(Pair v, double hi) {
  return reinterpret_cast<PairBits>(_mm_cmplt_pd(reinterpret_cast<__m128d>(v), _mm_set1_pd(hi)));
}

// All-ones on the lanes whose value is finite.
[[gnu::always_inline]] inline PairBits FiniteLanes(Pair v) { return AtMost(Magnitude(v), kLargest); }

// a where the mask's lane is all ones, b where it is zero. (A ?: on 64-bit
// lanes would compare the mask with zero first, which SSE2 cannot do
// either.)
[[gnu::always_inline]] inline Pair Select(PairBits mask, Pair a, Pair b) {
  const __m128d m = reinterpret_cast<__m128d>(mask);
  return reinterpret_cast<Pair>(_mm_or_pd(_mm_and_pd(m, reinterpret_cast<__m128d>(a)), _mm_andnot_pd(m, reinterpret_cast<__m128d>(b))));
}

// True when both lanes of a mask are set.
[[gnu::always_inline]] inline bool BothSet(PairBits mask) { return _mm_movemask_pd(reinterpret_cast<__m128d>(mask)) == 3; }

// The quad forms of the same, and v on every lane. For processors with AVX2
// only.
__attribute__((target("avx2"), always_inline)) inline Quad Splat(double v) { return Quad{v, v, v, v}; }

__attribute__((target("avx2"), always_inline)) inline Quad Magnitude(Quad v) {
  const long long m = kMagnitudeBits;
  return reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(v) & QuadBits{m, m, m, m});
}

__attribute__((target("avx2"), always_inline)) inline Quad CopySign(Quad magnitude, Quad sign) {
  const long long s = kSignBit;
  const QuadBits signBit{s, s, s, s};
  return reinterpret_cast<Quad>((reinterpret_cast<QuadBits>(magnitude) & ~signBit) |
                                (reinterpret_cast<QuadBits>(sign) & signBit));
}

}  // namespace
}  // namespace lanes
