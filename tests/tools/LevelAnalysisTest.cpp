// mirel-render's level analysis on signals whose levels are known exactly.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/render/LevelAnalysis.h"

using namespace mirel::render;

namespace {

// Feeds frames stereo frames with both channels at in and out.
template <class Meter>
void Feed(Meter& m, int frames, double in, double out) {
  const double i[2] = {in, -in};
  const double o[2] = {out, out};
  for (int k = 0; k < frames; ++k) m.Add(i, o);
}

TEST(LevelAnalysis, PeakRmsAndDecibelText) {
  LevelMeter m;
  EXPECT_EQ(m.Rms(), 0.0);
  const std::vector<double> s = {0.5, -1.0, 0.0, 0.5};
  m.Add(s.data(), s.size());
  EXPECT_EQ(m.Peak(), 1.0);
  EXPECT_DOUBLE_EQ(m.Rms(), std::sqrt(1.5 / 4.0));
  EXPECT_EQ(Db(0.0), "null");
  EXPECT_EQ(Db(1.0), "0.000");
  EXPECT_EQ(Db(0.5), "-6.021");
}

TEST(LevelAnalysis, GainReductionIsTheLargestDropOverLoudWindows) {
  GainReductionMeter g(1000);  // 10-frame windows
  Feed(g, 10, 0.5, 0.5);       // no drop
  Feed(g, 10, 0.5, 0.125);     // 12.04 dB
  Feed(g, 10, 0.0005, 0.0);    // input below -60 dBFS: not counted
  Feed(g, 10, 0.5, 1.0);       // a rise is no reduction
  Feed(g, 5, 0.5, 0.25);       // partial last window, 6.02 dB
  EXPECT_NEAR(g.Largest(), 20.0 * std::log10(4.0), 1e-12);

  GainReductionMeter quietOnly(1000);
  Feed(quietOnly, 30, 0.0009, 0.00001);
  EXPECT_EQ(quietOnly.Largest(), 0.0);
}

TEST(LevelAnalysis, LevelRangeSpreadsThe95thOverThe10thPercentile) {
  LevelRange r(200);  // 10-frame windows
  EXPECT_FALSE(r.Input().has_value());
  // Twenty windows at 0.01 .. 0.20 in, constant out, plus one quiet window
  // that does not count.
  for (int k = 20; k >= 1; --k) Feed(r, 10, 0.01 * k, 0.1);
  Feed(r, 10, 0.0001, 0.5);
  // Sorted levels: the 10th percentile is index round(1.9) = 2 (0.03), the
  // 95th index round(18.05) = 18 (0.19).
  ASSERT_TRUE(r.Input().has_value());
  EXPECT_NEAR(*r.Input(), 20.0 * std::log10(0.19 / 0.03), 1e-9);
  ASSERT_TRUE(r.Output().has_value());
  EXPECT_NEAR(*r.Output(), 0.0, 1e-12);

  LevelRange silentOut(200);
  Feed(silentOut, 40, 0.5, 0.0);
  EXPECT_FALSE(silentOut.Output().has_value());
  EXPECT_TRUE(silentOut.Input().has_value());
}

}  // namespace
