#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "DetMath.h"
#include "EngineTestSupport.h"

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
  double (*reference)(double);
  double (*argument)(enginetest::Rng&);
};

double StdPow10(double x) { return std::pow(10.0, x); }
double StdExp(double x) { return std::exp(x); }
double StdLog(double x) { return std::log(x); }
double StdSin(double x) { return std::sin(x); }
double StdCos(double x) { return std::cos(x); }
double StdTan(double x) { return std::tan(x); }

}  // namespace

// Against the C library over the whole useful range and, more densely, over
// the ranges the signal path uses. Each must be within 1 ulp.
TEST(DetMath, WithinOneUlpOfTheCLibrary) {
  const Case cases[] = {
      {"Exp", detmath::Exp, StdExp, [](enginetest::Rng& r) { return 740.0 * r.Uniform(); }},
      {"Exp small", detmath::Exp, StdExp, [](enginetest::Rng& r) { return 0.01 * r.Uniform(); }},
      {"Log", detmath::Log, StdLog,
       [](enginetest::Rng& r) { return std::ldexp(1.5 + 0.5 * r.Uniform(), static_cast<int>(r.Next() % 2000) - 1000); }},
      {"Log near 1", detmath::Log, StdLog, [](enginetest::Rng& r) { return 1.0 + 1e-3 * r.Uniform(); }},
      {"Pow10", detmath::Pow10, StdPow10, [](enginetest::Rng& r) { return 300.0 * r.Uniform(); }},
      {"Pow10 dB", detmath::Pow10, StdPow10, [](enginetest::Rng& r) { return 1.6 * r.Uniform(); }},
      {"Sin", detmath::Sin, StdSin, [](enginetest::Rng& r) { return 100.0 * r.Uniform(); }},
      {"Sin small", detmath::Sin, StdSin, [](enginetest::Rng& r) { return 0.8 * r.Uniform(); }},
      {"Cos", detmath::Cos, StdCos, [](enginetest::Rng& r) { return 100.0 * r.Uniform(); }},
      {"Cos small", detmath::Cos, StdCos, [](enginetest::Rng& r) { return 0.8 * r.Uniform(); }},
      {"Tan", detmath::Tan, StdTan, [](enginetest::Rng& r) { return 100.0 * r.Uniform(); }},
      {"Tan to pi/2", detmath::Tan, StdTan, [](enginetest::Rng& r) { return 1.5707963 * r.Uniform(); }},
  };
  for (const Case& c : cases) {
    enginetest::Rng rng(0x9e3779b97f4a7c15ull);
    int worst = 0;
    double worstArg = 0;
    for (int i = 0; i < 200000; ++i) {
      const double x = c.argument(rng);
      const auto d = UlpDistance(c.ours(x), c.reference(x));
      if (d > worst) {
        worst = static_cast<int>(d);
        worstArg = x;
      }
    }
    EXPECT_LE(worst, 1) << c.name << " at " << worstArg;
  }
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
