// The argument reductions and polynomial coefficients below follow fdlibm,
// which carries this notice:
//
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//   Developed at SunPro, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this software is freely
//   granted, provided that this notice is preserved.

#include "dsp/DetMath.h"

#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <limits>

#include "dsp/Lanes.h"

namespace detmath {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint32_t HighWord(double x) { return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) >> 32); }
std::uint32_t LowWord(double x) { return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x)); }
double FromWords(std::uint32_t hi, std::uint32_t lo) {
  return std::bit_cast<double>((static_cast<std::uint64_t>(hi) << 32) | lo);
}
double WithHighWord(double x, std::uint32_t hi) { return FromWords(hi, LowWord(x)); }
double WithZeroLowWord(double x) { return FromWords(HighWord(x), 0); }

// 2^k as a double, for -1022 <= k <= 1023.
double TwoPow(int k) { return FromWords(static_cast<std::uint32_t>(k + 1023) << 20, 0); }

// y * 2^k without a library call; handles results in the subnormal range.
double Scale(double y, int k) {
  if (k > 1023) return y * TwoPow(1023) * TwoPow(k - 1023);
  if (k < -1021) return y * TwoPow(k + 1000) * TwoPow(-1000);
  return y * TwoPow(k);
}

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

// e^(xh + xl) where |xl| is tiny against xh (a double-double argument).
double ExpDD(double xh, double xl) {
  if (xh != xh) return xh;
  if (xh > kExpOverflow) return kInf;
  if (xh < kExpUnderflow) return 0.0;
  const double ax = xh < 0 ? -xh : xh;
  if (ax < 0x1p-28) return 1.0 + xh;
  // Reduce: x = k ln2 + r, |r| <= ln2 / 2, r carried as hi - lo.
  int k = 0;
  double hi = xh;
  double lo = -xl;
  if (ax > 0.5 * kLn2Hi) {  // |x| > ln2 / 2
    k = static_cast<int>(kInvLn2 * xh + (xh < 0 ? -0.5 : 0.5));
    const double t = k;
    hi = xh - t * kLn2Hi;
    lo = t * kLn2Lo - xl;
  }
  const double r = hi - lo;
  const double t = r * r;
  const double c = r - t * (kP1 + t * (kP2 + t * (kP3 + t * (kP4 + t * kP5))));
  const double y = 1.0 - ((lo - (r * c) / (2.0 - c)) - hi);
  return k == 0 ? y : Scale(y, k);
}

// ---- log ------------------------------------------------------------------
constexpr double kLg1 = 0x1.5555555555593p-1;
constexpr double kLg2 = 0x1.999999997fa04p-2;
constexpr double kLg3 = 0x1.2492494229359p-2;
constexpr double kLg4 = 0x1.c71c51d8e78afp-3;
constexpr double kLg5 = 0x1.7466496cb03dep-3;
constexpr double kLg6 = 0x1.39a09d078c69fp-3;
constexpr double kLg7 = 0x1.2f112df3e5244p-3;

// ---- sin, cos, tan kernels on [-pi/4, pi/4], argument x + y ----------------
constexpr double kS1 = -0x1.5555555555549p-3;
constexpr double kS2 = 0x1.111111110f8a6p-7;
constexpr double kS3 = -0x1.a01a019c161d5p-13;
constexpr double kS4 = 0x1.71de357b1fe7dp-19;
constexpr double kS5 = -0x1.ae5e68a2b9cebp-26;
constexpr double kS6 = 0x1.5d93a5acfd57cp-33;

double KernelSin(double x, double y) {
  const double z = x * x;
  const double v = z * x;
  const double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)));
  return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}

constexpr double kC1 = 0x1.555555555554cp-5;
constexpr double kC2 = -0x1.6c16c16c15177p-10;
constexpr double kC3 = 0x1.a01a019cb1590p-16;
constexpr double kC4 = -0x1.27e4f809c52adp-22;
constexpr double kC5 = 0x1.1ee9ebdb4b1c4p-29;
constexpr double kC6 = -0x1.8fae9be8838d4p-37;

double KernelCos(double x, double y) {
  const double z = x * x;
  const double w = z * z;
  const double r = z * (kC1 + z * (kC2 + z * kC3)) + w * w * (kC4 + z * (kC5 + z * kC6));
  const double hz = 0.5 * z;
  const double v = 1.0 - hz;
  return v + (((1.0 - v) - hz) + (z * r - x * y));
}

constexpr double kT[13] = {
    0x1.5555555555563p-2,  0x1.111111110fe7ap-3,  0x1.ba1ba1bb341fep-5, 0x1.664f48406d637p-6,
    0x1.226e3e96e8493p-7,  0x1.d6d22c9560328p-9,  0x1.7dbc8fee08315p-10, 0x1.344d8f2f26501p-11,
    0x1.026f71a8d1068p-12, 0x1.47e88a03792a6p-14, 0x1.2b80f32f0a7e9p-14, -0x1.375cbdb605373p-16,
    0x1.b2a7074bf7ad4p-16};
constexpr double kPio4 = 0x1.921fb54442d18p-1;
constexpr double kPio4Lo = 0x1.1a62633145c07p-55;

// tan(x + y) when odd is false, -1 / tan(x + y) when odd is true.
double KernelTan(double x, double y, bool odd) {
  const std::uint32_t hx = HighWord(x);
  const std::uint32_t ix = hx & 0x7fffffffu;
  if (ix < 0x3e300000u) {  // |x| < 2^-28: tan x = x to within rounding
    if (!odd) return x;
    if (x == 0.0) return -1.0 / x;  // +-inf with the sign of x, negated
  }
  const bool big = ix >= 0x3FE59428u;  // |x| >= 0.6744: use tan(pi/4 - x)
  const bool negative = (hx >> 31) != 0;
  if (big) {
    if (negative) {
      x = -x;
      y = -y;
    }
    const double z = kPio4 - x;
    const double w = kPio4Lo - y;
    x = z + w;
    y = 0.0;
  }
  const double z = x * x;
  double w = z * z;
  // Odd and even terms of the polynomial are summed separately.
  double r = kT[1] + w * (kT[3] + w * (kT[5] + w * (kT[7] + w * (kT[9] + w * kT[11]))));
  const double v = z * (kT[2] + w * (kT[4] + w * (kT[6] + w * (kT[8] + w * (kT[10] + w * kT[12])))));
  const double s = z * x;
  r = y + z * (s * (r + v) + y);
  r += kT[0] * s;
  w = x + r;
  if (big) {
    const double sv = odd ? -1.0 : 1.0;
    const double res = sv - 2.0 * (x - (w * w / (w + sv) - r));
    return negative ? -res : res;
  }
  if (!odd) return w;
  // -1 / (x + r), computed with a split quotient for accuracy.
  const double zh = WithZeroLowWord(w);
  const double vv = r - (zh - x);
  const double a = -1.0 / w;
  const double t = WithZeroLowWord(a);
  const double ss = 1.0 + t * zh;
  return t + a * (ss + t * vv);
}

// ---- reduction by pi/2 (Cody-Waite in three steps) -------------------------
constexpr double kInvPio2 = 0x1.45f306dc9c883p-1;
constexpr double kPio2_1 = 0x1.921fb54400000p+0;
constexpr double kPio2_1t = 0x1.0b4611a626331p-34;
constexpr double kPio2_2 = 0x1.0b4611a600000p-34;
constexpr double kPio2_2t = 0x1.3198a2e037073p-69;
constexpr double kPio2_3 = 0x1.3198a2e000000p-69;
constexpr double kPio2_3t = 0x1.b839a252049c1p-104;

// x = n * pi/2 + (y0 + y1); returns n.
int ReducePio2(double x, double& y0, double& y1) {
  const double toInt = 0x1.8p52;  // adding and removing it rounds to an integer
  const double fn = (x * kInvPio2 + toInt) - toInt;
  const int n = static_cast<int>(fn);
  double r = x - fn * kPio2_1;
  double w = fn * kPio2_1t;
  const int j = static_cast<int>((HighWord(x) >> 20) & 0x7ff);
  y0 = r - w;
  int i = j - static_cast<int>((HighWord(y0) >> 20) & 0x7ff);
  if (i > 16) {  // cancellation: a second step with more bits of pi/2
    double t = r;
    w = fn * kPio2_2;
    r = t - w;
    w = fn * kPio2_2t - ((t - r) - w);
    y0 = r - w;
    i = j - static_cast<int>((HighWord(y0) >> 20) & 0x7ff);
    if (i > 49) {  // and a third
      t = r;
      w = fn * kPio2_3;
      r = t - w;
      w = fn * kPio2_3t - ((t - r) - w);
      y0 = r - w;
    }
  }
  y1 = (r - y0) - w;
  return n;
}

// Splits a into hi + lo with hi holding at most 26 significant bits.
void Split(double a, double& hi, double& lo) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  hi = c - (c - a);
  lo = a - hi;
}

}  // namespace

double Exp(double x) { return ExpDD(x, 0.0); }

double Log(double x) {
  std::uint32_t hx = HighWord(x);
  const std::uint32_t lx = LowWord(x);
  int k = 0;
  if (hx < 0x00100000u || (hx >> 31) != 0) {  // zero, subnormal or negative
    if (((hx & 0x7fffffffu) | lx) == 0) return -kInf;
    if ((hx >> 31) != 0) return (x - x) / 0.0;  // NaN
    k -= 54;
    x *= 0x1p54;
    hx = HighWord(x);
  }
  if (hx >= 0x7ff00000u) return x + x;  // inf or NaN
  k += static_cast<int>(hx >> 20) - 1023;
  hx &= 0x000fffffu;
  const std::uint32_t i = (hx + 0x95f64u) & 0x100000u;
  x = WithHighWord(x, hx | (i ^ 0x3ff00000u));  // x or x/2, in [sqrt(2)/2, sqrt(2))
  k += static_cast<int>(i >> 20);
  const double f = x - 1.0;
  const double dk = k;
  if ((0x000fffffu & (2 + hx)) < 3) {  // -2^-20 <= f < 2^-20
    if (f == 0.0) {
      if (k == 0) return 0.0;
      return dk * kLn2Hi + dk * kLn2Lo;
    }
    const double r = f * f * (0.5 - 0.33333333333333333 * f);
    if (k == 0) return f - r;
    return dk * kLn2Hi - ((r - dk * kLn2Lo) - f);
  }
  const double s = f / (2.0 + f);
  const double z = s * s;
  const double w = z * z;
  const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
  const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
  const double r = t2 + t1;
  const int sel = static_cast<int>(hx - 0x6147au) | static_cast<int>(0x6b851u - hx);
  if (sel > 0) {
    const double hfsq = 0.5 * f * f;
    if (k == 0) return f - (hfsq - s * (hfsq + r));
    return dk * kLn2Hi - ((hfsq - (s * (hfsq + r) + dk * kLn2Lo)) - f);
  }
  if (k == 0) return f - s * (f - r);
  return dk * kLn2Hi - ((s * (f - r) - dk * kLn2Lo) - f);
}

double Pow10(double x) {
  constexpr double kLn10Hi = 0x1.26bb1bbb55516p+1;
  constexpr double kLn10Lo = -0x1.f48ad494ea3e9p-53;
  if (x != x) return x;
  if (x > 400.0) return kInf;
  if (x < -400.0) return 0.0;
  // x * ln10 as an exact product of doubles (Dekker) plus the low part of ln 10.
  const double p = x * kLn10Hi;
  double xh = 0, xl = 0, yh = 0, yl = 0;
  Split(x, xh, xl);
  Split(kLn10Hi, yh, yl);
  const double err = ((xh * yh - p) + xh * yl + xl * yh) + xl * yl;
  const double lo = err + x * kLn10Lo;
  const double hi = p + lo;
  return ExpDD(hi, lo - (hi - p));
}

double Sin(double x) {
  const std::uint32_t ix = HighWord(x) & 0x7fffffffu;
  if (ix <= 0x3fe921fbu) {  // |x| <= pi/4
    if (ix < 0x3e500000u) return x;  // |x| < 2^-26
    return KernelSin(x, 0.0);
  }
  if (ix >= 0x7ff00000u) return x - x;  // NaN for inf and NaN
  double y0 = 0, y1 = 0;
  const int n = ReducePio2(x, y0, y1);
  switch (n & 3) {
    case 0: return KernelSin(y0, y1);
    case 1: return KernelCos(y0, y1);
    case 2: return -KernelSin(y0, y1);
    default: return -KernelCos(y0, y1);
  }
}

double Cos(double x) {
  const std::uint32_t ix = HighWord(x) & 0x7fffffffu;
  if (ix <= 0x3fe921fbu) {
    if (ix < 0x3e46a09eu) return 1.0;  // |x| < 2^-27 * sqrt(2)
    return KernelCos(x, 0.0);
  }
  if (ix >= 0x7ff00000u) return x - x;
  double y0 = 0, y1 = 0;
  const int n = ReducePio2(x, y0, y1);
  switch (n & 3) {
    case 0: return KernelCos(y0, y1);
    case 1: return -KernelSin(y0, y1);
    case 2: return -KernelCos(y0, y1);
    default: return KernelSin(y0, y1);
  }
}

double Tan(double x) {
  const std::uint32_t ix = HighWord(x) & 0x7fffffffu;
  if (ix <= 0x3fe921fbu) return KernelTan(x, 0.0, false);
  if (ix >= 0x7ff00000u) return x - x;
  double y0 = 0, y1 = 0;
  const int n = ReducePio2(x, y0, y1);
  return KernelTan(y0, y1, (n & 1) != 0);
}

// ---- four lanes at once (AVX2) --------------------------------------------
// Every lane forms the scalar function's values with the same operations in
// the same order; where the scalar code branches, both sides are formed and
// the lane takes the one its branch would. Lanes in the rare cases (special
// arguments, results needing a second scaling step) are redone by the scalar
// function.

namespace {

using lanes::Quad;
using lanes::QuadBits;
using lanes::Splat;

__attribute__((target("avx2"))) constexpr QuadBits SplatBits(long long v) { return QuadBits{v, v, v, v}; }

// The lanes marked in `redo` replaced by the scalar function of the argument.
__attribute__((target("avx2"), noinline)) Quad RedoLanes(Quad result, Quad args, QuadBits redo,
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
  const Quad ax = lanes::Magnitude(xh);
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

// ---- two lanes at once (SSE2) ---------------------------------------------
// LogQuad and ExpQuad on the two lanes of a pair, with the same operations
// in the same order on each lane.

namespace {

using lanes::Pair;
using lanes::PairBits;

constexpr Pair P(double v) { return Pair{v, v}; }
constexpr PairBits PB(long long v) { return PairBits{v, v}; }

[[gnu::noinline]] Pair RedoPairLanes(Pair result, Pair args, PairBits redo, double (*scalar)(double)) {
  for (int lane = 0; lane < 2; ++lane) {
    if (redo[lane] != 0) result[lane] = scalar(args[lane]);
  }
  return result;
}

// Comparisons of 64-bit lanes that hold small integers (within 32 bits,
// sign-extended): SSE2 compares 32-bit lanes only, so the low halves are
// compared and each low half's answer fills its whole lane. A 64-bit
// comparison would take the values through the integer registers one lane
// at a time.
[[gnu::always_inline]] inline PairBits WholeLanes(__m128i lowHalves) {
  return reinterpret_cast<PairBits>(_mm_shuffle_epi32(lowHalves, _MM_SHUFFLE(2, 2, 0, 0)));
}
[[gnu::always_inline]] inline PairBits SmallGreater(PairBits a, PairBits b) {
  return WholeLanes(_mm_cmpgt_epi32(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
}
[[gnu::always_inline]] inline PairBits SmallEqual(PairBits a, PairBits b) {
  return WholeLanes(_mm_cmpeq_epi32(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
}

// The lanes where `inside` is not all ones, and those of `also`: masks
// combined as 128-bit values, so that the compiler keeps them in the vector
// registers.
[[gnu::always_inline]] inline PairBits OutsideOr(PairBits inside, PairBits also) {
  const __m128i in = reinterpret_cast<__m128i>(inside);
  return reinterpret_cast<PairBits>(_mm_or_si128(_mm_andnot_si128(in, _mm_set1_epi32(-1)), reinterpret_cast<__m128i>(also)));
}

// The low 32 bits of each 64-bit lane (a small integer) as a double.
[[gnu::always_inline]] inline Pair LowWordsToDouble(PairBits k) {
  return reinterpret_cast<Pair>(_mm_cvtepi32_pd(_mm_shuffle_epi32(reinterpret_cast<__m128i>(k), _MM_SHUFFLE(3, 1, 2, 0))));
}

[[gnu::always_inline]] inline Pair LogPair(Pair x) {
  const PairBits bits = reinterpret_cast<PairBits>(x);
  const PairBits hxFull = reinterpret_cast<PairBits>(_mm_srli_epi64(reinterpret_cast<__m128i>(bits), 32));
  const PairBits inside = lanes::AtLeast(x, 0x1p-1022) & lanes::AtMost(x, 0x1.fffffffffffffp+1023);
  PairBits k = reinterpret_cast<PairBits>(_mm_srli_epi64(reinterpret_cast<__m128i>(hxFull), 20)) - PB(1023);
  const PairBits hx = hxFull & PB(0x000fffff);
  const PairBits i = (hx + PB(0x95f64)) & PB(0x100000);
  const PairBits newHigh = hx | (i ^ PB(0x3ff00000));
  const Pair xr = reinterpret_cast<Pair>((bits & PB(0xffffffffLL)) |
                                         reinterpret_cast<PairBits>(_mm_slli_epi64(reinterpret_cast<__m128i>(newHigh), 32)));
  k += reinterpret_cast<PairBits>(_mm_srli_epi64(reinterpret_cast<__m128i>(i), 20));
  const PairBits special = OutsideOr(inside, SmallGreater(PB(3), PB(0x000fffff) & (PB(2) + hx)));
  const Pair f = xr - P(1.0);
  const Pair dk = LowWordsToDouble(k);
  const PairBits kZero = SmallEqual(k, PB(0));
  const Pair s = f / (P(2.0) + f);
  const Pair z = s * s;
  const Pair w = z * z;
  const Pair t1 = w * (P(kLg2) + w * (P(kLg4) + w * P(kLg6)));
  const Pair t2 = z * (P(kLg1) + w * (P(kLg3) + w * (P(kLg5) + w * P(kLg7))));
  const Pair r = t2 + t1;
  const PairBits sel = (hx - PB(0x6147a)) | (PB(0x6b851) - hx);
  const Pair hfsq = P(0.5) * f * f;
  const Pair a0 = f - (hfsq - s * (hfsq + r));
  const Pair a1 = dk * P(kLn2Hi) - ((hfsq - (s * (hfsq + r) + dk * P(kLn2Lo))) - f);
  const Pair b0 = f - s * (f - r);
  const Pair b1 = dk * P(kLn2Hi) - ((s * (f - r) - dk * P(kLn2Lo)) - f);
  const Pair result = lanes::Select(SmallGreater(sel, PB(0)), lanes::Select(kZero, a0, a1), lanes::Select(kZero, b0, b1));
  if (_mm_movemask_pd(reinterpret_cast<__m128d>(special)) == 0) [[likely]] return result;
  return RedoPairLanes(result, x, special, Log);
}

[[gnu::always_inline]] inline Pair ExpPair(Pair xh) {
  const Pair ax = lanes::Magnitude(xh);
  const PairBits inside = lanes::AtMost(xh, kExpOverflow) & lanes::AtLeast(xh, kExpUnderflow) & lanes::AtLeast(ax, 0x1p-28);
  const PairBits big = lanes::Above(ax, 0.5 * kLn2Hi);
  const Pair rounded = P(kInvLn2) * xh + lanes::Select(lanes::Below(xh, 0.0), P(-0.5), P(0.5));
  const __m128i k32 = _mm_cvttpd_epi32(reinterpret_cast<__m128d>(rounded));
  // Sign-extended to 64-bit lanes.
  const PairBits k = reinterpret_cast<PairBits>(_mm_unpacklo_epi32(k32, _mm_srai_epi32(k32, 31))) & big;
  const Pair t = reinterpret_cast<Pair>(_mm_cvtepi32_pd(k32));
  const Pair hi = lanes::Select(big, xh - t * P(kLn2Hi), xh);
  const Pair lo = lanes::Select(big, t * P(kLn2Lo) - P(0.0), P(-0.0));
  const Pair r = hi - lo;
  const Pair tt = r * r;
  const Pair c = r - tt * (P(kP1) + tt * (P(kP2) + tt * (P(kP3) + tt * (P(kP4) + tt * P(kP5)))));
  const Pair y = P(1.0) - ((lo - (r * c) / (P(2.0) - c)) - hi);
  const PairBits special = OutsideOr(inside, SmallGreater(k, PB(1023)) | SmallGreater(PB(-1021), k));
  const Pair scale = reinterpret_cast<Pair>(
      reinterpret_cast<PairBits>(_mm_slli_epi64(reinterpret_cast<__m128i>(k + PB(1023)), 52)));
  const Pair result = y * scale;
  if (_mm_movemask_pd(reinterpret_cast<__m128d>(special)) == 0) [[likely]] return result;
  return RedoPairLanes(result, xh, special, Exp);
}

}  // namespace

void LogPairs(const double* in, double* out, int count) {
  for (int j = 0; j + 2 <= count; j += 2) {
    _mm_storeu_pd(out + j, reinterpret_cast<__m128d>(LogPair(reinterpret_cast<Pair>(_mm_loadu_pd(in + j)))));
  }
}

void ExpPairs(const double* in, double* out, int count) {
  for (int j = 0; j + 2 <= count; j += 2) {
    _mm_storeu_pd(out + j, reinterpret_cast<__m128d>(ExpPair(reinterpret_cast<Pair>(_mm_loadu_pd(in + j)))));
  }
}

__attribute__((target("avx2"))) void Log4(const double* in, double* out, int count) {
  for (int j = 0; j + 4 <= count; j += 4) {
    _mm256_storeu_pd(out + j, reinterpret_cast<__m256d>(LogQuad(reinterpret_cast<lanes::Quad>(_mm256_loadu_pd(in + j)))));
  }
}

__attribute__((target("avx2"))) void Exp4(const double* in, double* out, int count) {
  for (int j = 0; j + 4 <= count; j += 4) {
    _mm256_storeu_pd(out + j, reinterpret_cast<__m256d>(ExpQuad(reinterpret_cast<lanes::Quad>(_mm256_loadu_pd(in + j)))));
  }
}

}  // namespace detmath
