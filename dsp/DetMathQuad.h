#pragma once

// Log and Exp on four lanes (AVX2), each lane the same bits as the
// one-argument function: the same operations in the same order; where the
// scalar code branches, both sides are formed and the lane takes the one its
// branch would. Lanes in the rare cases (special arguments, results needing a
// second scaling step) are redone by the scalar function. Also the constants
// the scalar functions share with them.
//
// Internal linkage throughout, and no calls into other headers' inline
// functions: the wide oversampler's translation unit, built for AVX2,
// includes this, and its copies must never stand in for anyone else's.

#include <immintrin.h>

#include "DetMath.h"
#include "WideLanes.h"

namespace detmath {
namespace {

// ---- exp ------------------------------------------------------------------
constexpr double kLn2Hi = 0x1.62e42fee00000p-1;  // upper bits of ln 2; k * kLn2Hi is exact
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;
constexpr double kInvLn2 = 0x1.71547652b82fep+0;
constexpr double kP1 = 0x1.555555555553ep-3;
constexpr double kP2 = -0x1.6c16c16bebd93p-9;
constexpr double kP3 = 0x1.1566aaf25de2cp-14;
constexpr double kP4 = -0x1.bbd41c5d26bf1p-20;
constexpr double kP5 = 0x1.6376972bea4d0p-25;
constexpr double kExpOverflow = 7.09782712893383973096e+02;   // ln(DBL_MAX)
constexpr double kExpUnderflow = -7.45133219101941108420e+02;  // ln of half the least subnormal

// ---- log ------------------------------------------------------------------
constexpr double kLg1 = 0x1.5555555555593p-1;
constexpr double kLg2 = 0x1.999999997fa04p-2;
constexpr double kLg3 = 0x1.2492494229359p-2;
constexpr double kLg4 = 0x1.c71c51d8e78afp-3;
constexpr double kLg5 = 0x1.7466496cb03dep-3;
constexpr double kLg6 = 0x1.39a09d078c69fp-3;
constexpr double kLg7 = 0x1.2f112df3e5244p-3;

using lanes::Quad;
using lanes::QuadBits;

__attribute__((target("avx2"))) constexpr Quad Splat(double v) { return Quad{v, v, v, v}; }
__attribute__((target("avx2"))) constexpr QuadBits SplatBits(long long v) { return QuadBits{v, v, v, v}; }

// The lanes marked in `redo` replaced by the scalar function of the argument.
__attribute__((target("avx2"), noinline)) inline Quad RedoLanes(Quad result, Quad args, QuadBits redo,
                                                                 double (*scalar)(double)) {
  for (int lane = 0; lane < 4; ++lane) {
    if (redo[lane] != 0) result[lane] = scalar(args[lane]);
  }
  return result;
}

__attribute__((target("avx2"), always_inline)) inline Quad LogQuad(Quad x) {
  const QuadBits bits = reinterpret_cast<QuadBits>(x);
  const QuadBits hxFull = reinterpret_cast<QuadBits>(_mm256_srli_epi64(reinterpret_cast<__m256i>(bits), 32));
  // Scalar path: zero, subnormal, negative, infinite or NaN.
  QuadBits special = ~((x >= Splat(0x1p-1022)) & (x <= Splat(0x1.fffffffffffffp+1023)));
  QuadBits k = reinterpret_cast<QuadBits>(_mm256_srli_epi64(reinterpret_cast<__m256i>(hxFull), 20)) - SplatBits(1023);
  const QuadBits hx = hxFull & SplatBits(0x000fffff);
  const QuadBits i = (hx + SplatBits(0x95f64)) & SplatBits(0x100000);
  const QuadBits newHigh = hx | (i ^ SplatBits(0x3ff00000));
  const Quad xr = reinterpret_cast<Quad>((bits & SplatBits(0xffffffffLL)) |
                                         reinterpret_cast<QuadBits>(_mm256_slli_epi64(reinterpret_cast<__m256i>(newHigh), 32)));
  k += reinterpret_cast<QuadBits>(_mm256_srli_epi64(reinterpret_cast<__m256i>(i), 20));
  // Scalar path too: -2^-20 <= f < 2^-20.
  special |= ((SplatBits(0x000fffff) & (SplatBits(2) + hx)) < SplatBits(3));
  const Quad f = xr - Splat(1.0);
  const __m256i kLow = _mm256_permutevar8x32_epi32(reinterpret_cast<__m256i>(k), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
  const Quad dk = reinterpret_cast<Quad>(_mm256_cvtepi32_pd(_mm256_castsi256_si128(kLow)));
  const QuadBits kZero = k == SplatBits(0);
  const Quad s = f / (Splat(2.0) + f);
  const Quad z = s * s;
  const Quad w = z * z;
  const Quad t1 = w * (Splat(kLg2) + w * (Splat(kLg4) + w * Splat(kLg6)));
  const Quad t2 = z * (Splat(kLg1) + w * (Splat(kLg3) + w * (Splat(kLg5) + w * Splat(kLg7))));
  const Quad r = t2 + t1;
  const QuadBits sel = (hx - SplatBits(0x6147a)) | (SplatBits(0x6b851) - hx);
  const Quad hfsq = Splat(0.5) * f * f;
  const Quad a0 = f - (hfsq - s * (hfsq + r));
  const Quad a1 = dk * Splat(kLn2Hi) - ((hfsq - (s * (hfsq + r) + dk * Splat(kLn2Lo))) - f);
  const Quad b0 = f - s * (f - r);
  const Quad b1 = dk * Splat(kLn2Hi) - ((s * (f - r) - dk * Splat(kLn2Lo)) - f);
  const Quad result = sel > SplatBits(0) ? (kZero ? a0 : a1) : (kZero ? b0 : b1);
  if (_mm256_movemask_pd(reinterpret_cast<__m256d>(special)) == 0) [[likely]] return result;
  return RedoLanes(result, x, special, Log);
}

__attribute__((target("avx2"), always_inline)) inline Quad ExpQuad(Quad xh) {
  const Quad ax = reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(xh) & SplatBits(0x7fffffffffffffffLL));
  // Scalar path: NaN, overflow, underflow and |x| < 2^-28.
  QuadBits special = ~((xh <= Splat(kExpOverflow)) & (xh >= Splat(kExpUnderflow)) & (ax >= Splat(0x1p-28)));
  const QuadBits big = ax > Splat(0.5 * kLn2Hi);
  const Quad rounded = Splat(kInvLn2) * xh + (xh < Splat(0.0) ? Splat(-0.5) : Splat(0.5));
  const __m128i k32 = _mm256_cvttpd_epi32(reinterpret_cast<__m256d>(rounded));
  const QuadBits k = reinterpret_cast<QuadBits>(_mm256_cvtepi32_epi64(k32)) & big;
  const Quad t = reinterpret_cast<Quad>(_mm256_cvtepi32_pd(k32));
  const Quad hi = big ? xh - t * Splat(kLn2Hi) : xh;
  const Quad lo = big ? t * Splat(kLn2Lo) - Splat(0.0) : Splat(-0.0);
  const Quad r = hi - lo;
  const Quad tt = r * r;
  const Quad c = r - tt * (Splat(kP1) + tt * (Splat(kP2) + tt * (Splat(kP3) + tt * (Splat(kP4) + tt * Splat(kP5)))));
  const Quad y = Splat(1.0) - ((lo - (r * c) / (Splat(2.0) - c)) - hi);
  // Scalar path too: a k that Scale takes in two steps. Otherwise y 2^k,
  // which for k = 0 is y itself.
  special |= (k > SplatBits(1023)) | (k < SplatBits(-1021));
  const Quad scale = reinterpret_cast<Quad>(
      reinterpret_cast<QuadBits>(_mm256_slli_epi64(reinterpret_cast<__m256i>(k + SplatBits(1023)), 52)));
  const Quad result = y * scale;
  if (_mm256_movemask_pd(reinterpret_cast<__m256d>(special)) == 0) [[likely]] return result;
  return RedoLanes(result, xh, special, Exp);
}

}  // namespace
}  // namespace detmath
