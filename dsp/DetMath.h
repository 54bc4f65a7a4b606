#pragma once

// Elementary functions that give the same bits on every platform we build for.
//
// The C libraries of our two targets (glibc on Linux, mingw-w64's on Windows)
// differ in the last bit for exp, log, pow, sin, cos and tan on a fraction of
// arguments, which would make a stored project render differently on the two
// systems. Everything on the signal path therefore uses these instead: plain
// double arithmetic only (the build forbids contraction into fused
// multiply-adds), the classic argument reductions and minimax polynomials of
// the freely distributable fdlibm family. Each result is within 1 ulp of the
// exact value, so it is within 1 ulp of a good C library's result as well.
// sqrt needs no replacement: it is correctly rounded by IEEE 754 everywhere.

namespace detmath {

// e^x. Overflows to +inf above about 709.78, underflows to 0 below -745.13.
double Exp(double x);

// Natural logarithm. Log(0) = -inf, Log(x < 0) = NaN, Log(+inf) = +inf.
double Log(double x);

// 10^x. The product x * ln 10 is formed in double-double precision before
// the exponential, so the result keeps the accuracy of Exp.
double Pow10(double x);

// Trigonometric functions of an angle in radians. The argument reduction by
// pi/2 is accurate for |x| < 2^19 * pi/2 (about 823550); the signal path only
// evaluates them for |x| < pi/2.
double Sin(double x);
double Cos(double x);
double Tan(double x);

// Log and Exp of count arguments (a multiple of four), four at a time, each
// result the same bits as the one-argument function's; out may be the same
// array as in. For processors with AVX2 only (the caller checks).
void Log4(const double* in, double* out, int count);
void Exp4(const double* in, double* out, int count);

// The same two at a time (count a multiple of two), with SSE2 alone: every
// x86-64 processor runs them.
void LogPairs(const double* in, double* out, int count);
void ExpPairs(const double* in, double* out, int count);

}  // namespace detmath
