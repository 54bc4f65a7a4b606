#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/Curves.h"

namespace {
constexpr double kSatScale = 142.14300537109375;  // 142.143 in single precision
constexpr double kDetScale = static_cast<double>(101.97f);
constexpr double kSatLast = static_cast<double>(0.8333206f);
constexpr double kDetLast = static_cast<double>(0.35217863f);
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(Curves, TablesHaveTheirShape) {
  EXPECT_EQ(kSaturationCurve.count, 200);
  EXPECT_EQ(kDetectorCurve.count, 100);
  EXPECT_EQ(static_cast<double>(kSaturationCurve.scale), kSatScale);
  EXPECT_EQ(kSaturationCurve.values[0], 0.0f);
  EXPECT_EQ(kSaturationCurve.values[199], 0.8333206f);
  EXPECT_EQ(kDetectorCurve.values[0], 0.0f);
  EXPECT_EQ(kDetectorCurve.values[99], 0.35217863f);
  for (int j = 1; j < 200; ++j) EXPECT_GT(kSaturationCurve.values[j], kSaturationCurve.values[j - 1]) << j;
  for (int j = 1; j < 100; ++j) EXPECT_GT(kDetectorCurve.values[j], kDetectorCurve.values[j - 1]) << j;
}

TEST(Curves, LookupInterpolatesInsideTheTable) {
  const float* v = kSaturationCurve.values;
  // Coordinate 10.25 entries in: a quarter of the way from entry 10 to 11.
  const double w = 10.25 / kSatScale;
  const double p = w * kSatScale;
  const double f = p - 10;
  EXPECT_EQ(CurveLookup(kSaturationCurve, w), static_cast<double>(v[10]) * (1 - f) + static_cast<double>(v[11]) * f);
  EXPECT_NEAR(CurveLookup(kSaturationCurve, w), 0.75 * v[10] + 0.25 * v[11], 1e-9);
  for (int j = 0; j < 199; ++j)
    EXPECT_NEAR(CurveLookup(kSaturationCurve, (j + 0.5) / kSatScale), 0.5 * (v[j] + v[j + 1]), 1e-7) << j;
  EXPECT_EQ(CurveLookup(kSaturationCurve, 0.0), 0.0);
  EXPECT_EQ(CurveLookup(kSaturationCurve, -0.0), 0.0);
  // Less than one entry before the first: the first segment extended, as stated.
  EXPECT_NEAR(CurveLookup(kSaturationCurve, -0.5 / kSatScale), -0.5 * v[1], 1e-12);
}

TEST(Curves, LookupAtAndBeyondBothEnds) {
  EXPECT_EQ(CurveLookup(kSaturationCurve, 199.0 / kSatScale), kSatLast);
  EXPECT_EQ(CurveLookup(kSaturationCurve, 1.5), kSatLast);
  // Beyond the 32-bit integer range and infinity hold the flat end too.
  EXPECT_EQ(CurveLookup(kSaturationCurve, 1e12), kSatLast);
  EXPECT_EQ(CurveLookup(kSaturationCurve, 1e300), kSatLast);
  EXPECT_EQ(CurveLookup(kSaturationCurve, kInf), kSatLast);
  EXPECT_EQ(CurveLookup(kDetectorCurve, 1.0), kDetLast);
  // NaN and a whole entry or more before the first read entry 0.
  EXPECT_EQ(CurveLookup(kSaturationCurve, std::nan("")), 0.0);
  EXPECT_EQ(CurveLookup(kSaturationCurve, -1.0 / kSatScale), 0.0);
  EXPECT_EQ(CurveLookup(kSaturationCurve, -1e300), 0.0);
  EXPECT_EQ(CurveLookup(kSaturationCurve, -kInf), 0.0);
}

TEST(Curves, SaturateIsOddAndFlattens) {
  EXPECT_EQ(Saturate(0.0), 0.0);
  EXPECT_FALSE(std::signbit(Saturate(0.0)));
  EXPECT_TRUE(std::signbit(Saturate(-0.0)));
  for (double x : {1e-6, 0.01, 0.3, 0.7, 1.2, 1.39}) EXPECT_EQ(Saturate(-x), -Saturate(x)) << x;
  for (double x : {1.4, 2.0, 1e10, 1e300, kInf}) {
    EXPECT_EQ(Saturate(x), kSatLast) << x;
    EXPECT_EQ(Saturate(-x), -kSatLast) << x;
  }
  // Slope at the origin: entry 1 over its coordinate.
  EXPECT_NEAR(Saturate(1e-5) / 1e-5, 0.0051002656 * kSatScale, 1e-6);
}

TEST(Curves, DetectorShapeInvertsTheSign) {
  EXPECT_EQ(DetectorShape(1000.0), -kDetLast);
  EXPECT_EQ(DetectorShape(-1000.0), kDetLast);
  EXPECT_EQ(DetectorShape(kInf), -kDetLast);
  EXPECT_EQ(DetectorShape(-kInf), kDetLast);
  EXPECT_TRUE(std::signbit(DetectorShape(0.0)));
  // A small input: the curve's slope at 0 over the coordinate's slope 1/3,
  // about 0.239; times the detector gain 10^0.55 that is about 0.848.
  const double slope = 0.007032952 * kDetScale / 3.0;
  EXPECT_NEAR(DetectorShape(1e-4), -static_cast<double>(0.007032952f) * kDetScale * (1e-4 / (1e-4 + 3)), 1e-15);
  EXPECT_NEAR(DetectorShape(-1e-6) / 1e-6, slope, 1e-6);
  EXPECT_NEAR(slope * 3.548133892335755, 0.848, 0.001);
  // Exactly the stated coordinate.
  const double v = 0.6;
  EXPECT_EQ(DetectorShape(v), -CurveLookup(kDetectorCurve, v / (v + 3)));
}
