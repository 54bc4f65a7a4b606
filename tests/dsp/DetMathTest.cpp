#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "dsp/DetMath.h"
#include "tests/support/SeededRandom.h"

namespace {

// Distance in units in the last place between two finite doubles.
std::int64_t UlpDistance(double a, double b) {
  auto ordered = [](double d) {
    const auto u = std::bit_cast<std::int64_t>(d);
    return u < 0 ? std::numeric_limits<std::int64_t>::min() - u : u;
  };
  const std::int64_t d = ordered(a) - ordered(b);
  return d < 0 ? -d : d;
}

struct Case {
  const char* name;
  double (*ours)(double);
  double (*library)(double);
  long double (*precise)(long double);
  double (*argument)(testsupport::Rng&);
};

double StdPow10(double x) { return std::pow(10.0, x); }
double StdExp(double x) { return std::exp(x); }
double StdLog(double x) { return std::log(x); }
double StdSin(double x) { return std::sin(x); }
double StdCos(double x) { return std::cos(x); }
double StdTan(double x) { return std::tan(x); }
long double LongPow10(long double x) { return std::pow(10.0L, x); }
long double LongExp(long double x) { return std::exp(x); }
long double LongLog(long double x) { return std::log(x); }
long double LongSin(long double x) { return std::sin(x); }
long double LongCos(long double x) { return std::cos(x); }
long double LongTan(long double x) { return std::tan(x); }

}  // namespace

// Against the C library over the whole useful range and, more densely, over
// the ranges the signal path uses: within 1 ulp of glibc's long double
// functions (64-bit significands, so their rounding to double is the exact
// value's but for the rarest cases) and of its double functions. Elsewhere
// the comparison is only printed: mingw-w64's functions differ from glibc's
// in the last bit (the reason these functions exist), and its x87-based
// sin, cos and tan lose many bits near their zeros and poles. That our
// results are the same bits on every platform is the next test.
TEST(DetMath, WithinOneUlpOfTheCLibrary) {
  const Case cases[] = {
      {"Exp", detmath::Exp, StdExp, LongExp, [](testsupport::Rng& r) { return 740.0 * r.Uniform(); }},
      {"Exp small", detmath::Exp, StdExp, LongExp, [](testsupport::Rng& r) { return 0.01 * r.Uniform(); }},
      {"Log", detmath::Log, StdLog, LongLog,
       [](testsupport::Rng& r) { return std::ldexp(1.5 + 0.5 * r.Uniform(), static_cast<int>(r.Next() % 2000) - 1000); }},
      {"Log near 1", detmath::Log, StdLog, LongLog, [](testsupport::Rng& r) { return 1.0 + 1e-3 * r.Uniform(); }},
      {"Pow10", detmath::Pow10, StdPow10, LongPow10, [](testsupport::Rng& r) { return 300.0 * r.Uniform(); }},
      {"Pow10 dB", detmath::Pow10, StdPow10, LongPow10, [](testsupport::Rng& r) { return 1.6 * r.Uniform(); }},
      {"Sin", detmath::Sin, StdSin, LongSin, [](testsupport::Rng& r) { return 100.0 * r.Uniform(); }},
      {"Sin small", detmath::Sin, StdSin, LongSin, [](testsupport::Rng& r) { return 0.8 * r.Uniform(); }},
      {"Cos", detmath::Cos, StdCos, LongCos, [](testsupport::Rng& r) { return 100.0 * r.Uniform(); }},
      {"Cos small", detmath::Cos, StdCos, LongCos, [](testsupport::Rng& r) { return 0.8 * r.Uniform(); }},
      {"Tan", detmath::Tan, StdTan, LongTan, [](testsupport::Rng& r) { return 100.0 * r.Uniform(); }},
      {"Tan to pi/2", detmath::Tan, StdTan, LongTan, [](testsupport::Rng& r) { return 1.5707963 * r.Uniform(); }},
  };
  for (const Case& c : cases) {
    testsupport::Rng rng(0x9e3779b97f4a7c15ull);
    std::int64_t worstPrecise = 0, worstLibrary = 0, libraryVsPrecise = 0;
    double worstArg = 0;
    for (int i = 0; i < 100000; ++i) {
      const double x = c.argument(rng);
      const double ours = c.ours(x);
      const double precise = static_cast<double>(c.precise(x));
      const std::int64_t d = UlpDistance(ours, precise);
      if (d > worstPrecise) {
        worstPrecise = d;
        worstArg = x;
      }
      worstLibrary = std::max(worstLibrary, UlpDistance(ours, c.library(x)));
      libraryVsPrecise = std::max(libraryVsPrecise, UlpDistance(c.library(x), precise));
    }
#if defined(__GLIBC__)
    EXPECT_LE(worstPrecise, 1) << c.name << " at " << worstArg;
    EXPECT_LE(worstLibrary, 1) << c.name;
#else
    (void)worstArg;
#endif
    std::printf("%-12s ours vs long double %lld ulp, vs C library %lld ulp; C library vs long double %lld ulp\n", c.name,
                static_cast<long long>(worstPrecise), static_cast<long long>(worstLibrary),
                static_cast<long long>(libraryVsPrecise));
  }
}

// The same arguments give the same bits on every platform: a hash of many
// results, recorded from the Linux build, checked again under Wine.
TEST(DetMath, SameBitsOnEveryPlatform) {
  testsupport::Rng rng(7);
  std::vector<double> results;
  for (int i = 0; i < 20000; ++i) {
    const double u = rng.Uniform();
    results.push_back(detmath::Exp(700.0 * u));
    results.push_back(detmath::Log(std::ldexp(1.5 + 0.5 * u, static_cast<int>(rng.Next() % 200) - 100)));
    results.push_back(detmath::Pow10(30.0 * u));
    results.push_back(detmath::Sin(10.0 * u));
    results.push_back(detmath::Cos(10.0 * u));
    results.push_back(detmath::Tan(1.5707963 * u));
  }
  const std::uint64_t h = testsupport::Fnv1a(results);
  EXPECT_EQ(h, 0x94ba16ed78c4b9fdull) << "got 0x" << std::hex << h;
}

TEST(DetMath, SpecialValues) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(detmath::Exp(0.0), 1.0);
  EXPECT_EQ(detmath::Exp(-inf), 0.0);
  EXPECT_EQ(detmath::Exp(inf), inf);
  EXPECT_EQ(detmath::Exp(710.0), inf);
  EXPECT_EQ(detmath::Exp(-746.0), 0.0);
  EXPECT_TRUE(std::isnan(detmath::Exp(nan)));
  EXPECT_EQ(detmath::Log(1.0), 0.0);
  EXPECT_EQ(detmath::Log(0.0), -inf);
  EXPECT_EQ(detmath::Log(inf), inf);
  EXPECT_TRUE(std::isnan(detmath::Log(-1.0)));
  EXPECT_TRUE(std::isnan(detmath::Log(nan)));
  EXPECT_EQ(detmath::Log(std::numeric_limits<double>::denorm_min()), std::log(std::numeric_limits<double>::denorm_min()));
  EXPECT_EQ(detmath::Sin(0.0), 0.0);
  EXPECT_EQ(detmath::Cos(0.0), 1.0);
  EXPECT_EQ(detmath::Tan(0.0), 0.0);
  EXPECT_TRUE(std::signbit(detmath::Tan(-0.0)));
  EXPECT_TRUE(std::isnan(detmath::Tan(inf)));
  EXPECT_TRUE(std::isnan(detmath::Sin(nan)));

  // The compressor's fixed powers of ten come out as the nearest doubles.
  EXPECT_EQ(detmath::Pow10(0.55), 3.548133892335755);
  EXPECT_EQ(detmath::Pow10(0.2), 1.5848931924611136);
  EXPECT_EQ(detmath::Pow10(-0.5), 0.31622776601683794);
  EXPECT_EQ(detmath::Pow10(-1.0), 0.1);
  EXPECT_EQ(detmath::Pow10(0.0), 1.0);
  EXPECT_EQ(detmath::Pow10(2.0), 100.0);
  EXPECT_EQ(detmath::Pow10(400.5), inf);
  EXPECT_EQ(detmath::Pow10(-400.5), 0.0);
}

namespace {

// Arguments across every branch of the scalar Log and Exp (both sides of
// each reduction, the special arguments and the two-step scaling), then
// 40000 seeded ones, padded with 1 to a multiple of four.
std::vector<double> LaneArguments() {
  constexpr double inf = std::numeric_limits<double>::infinity();
  std::vector<double> args = {0.0, -0.0, 1.0, -1.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                              0x1p-1074, 0x1p-1022, 0x1.fffffffffffffp+1023, 1.0 + 0x1p-30, 1.0 - 0x1p-30,
                              0x1p-29, -0x1p-29, 0.34657359027997264, 0.3465735902799727, 709.7, 709.79,
                              -708.5, -745.0, -745.2, 0.5, 2.0, 1.4142135623730951, 1.5};
  testsupport::Rng rng(0x2545f4914f6cdd1dull);
  for (int i = 0; i < 40000; ++i) {
    const double u = 0.5 * (rng.Uniform() + 1.0);
    args.push_back(i % 3 == 0 ? std::ldexp(u, i % 120 - 60) : (u - 0.5) * (i % 3 == 1 ? 3.0 : 1500.0));
  }
  while (args.size() % 4 != 0) args.push_back(1.0);
  return args;
}

// The kLanes-lane forms of Log and Exp give each lane the one-argument
// function's bits, also when out is in.
template <int kLanes>
void ExpectLanesGiveTheScalarBits(void (*log)(const double*, double*, int), void (*exp)(const double*, double*, int)) {
  const std::vector<double> args = LaneArguments();
  for (std::size_t i = 0; i < args.size(); i += kLanes) {
    double lanes[kLanes];
    log(&args[i], lanes, kLanes);
    for (int l = 0; l < kLanes; ++l)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(lanes[l]), std::bit_cast<std::uint64_t>(detmath::Log(args[i + l])))
          << "Log(" << args[i + l] << ")";
    std::copy_n(&args[i], kLanes, lanes);
    exp(lanes, lanes, kLanes);
    for (int l = 0; l < kLanes; ++l)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(lanes[l]), std::bit_cast<std::uint64_t>(detmath::Exp(args[i + l])))
          << "Exp(" << args[i + l] << ")";
  }
}

}  // namespace

// The four-lane forms (AVX2) and the two-lane ones (the path without it).
TEST(DetMath, FourLanesGiveTheScalarBits) {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
  ExpectLanesGiveTheScalarBits<4>(detmath::Log4, detmath::Exp4);
}

TEST(DetMath, TwoLanesGiveTheScalarBits) { ExpectLanesGiveTheScalarBits<2>(detmath::LogPairs, detmath::ExpPairs); }
