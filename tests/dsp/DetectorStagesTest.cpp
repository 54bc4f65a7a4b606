// The detector levels are formed with the sections' non-finite check done
// once per run, and the run repeated with the check on every update when it
// met a non-finite state: the levels and the states must be those of the
// check on every update, whatever the input, in the pair form and the wide one.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "tests/dsp/CommonRates.h"
#include "dsp/Compressor.h"
#include "dsp/DetectorStages.h"
#include "dsp/InterstageWide.h"

TEST(DetectorStages, LevelsAndStatesAreThoseOfTheCheckOnEveryUpdate) {
  for (const double fs : kCommonRates) {
    BiquadSection hpf, peak, shelf;
    hpf.type = HighPass, hpf.q = 1.0, hpf.freq = 40.0 / fs;
    peak.type = Peak, peak.q = 0.7, peak.freq = 900.0 / fs, peak.gainDb = 4.0;
    shelf.type = HighShelf, shelf.q = 1.0, shelf.freq = 10000.0 / fs, shelf.gainDb = -8.0;
    for (BiquadSection* s : {&hpf, &peak, &shelf}) s->Design();
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300, 5e3}) {
      for (const std::size_t at : {std::size_t{20}, std::size_t{60}})
      for (const bool shape : {false, true})
      for (const bool wide : {false, interstage::WideAvailable()}) {
        std::vector<double> left(61), right(61);
        for (std::size_t i = 0; i < left.size(); ++i) {
          left[i] = 0.3 * static_cast<double>((i * 7919) % 13) / 13.0 - 0.1;
          right[i] = -0.5 * left[i];
        }
        left[at] = bad;  // one channel only, mid-run or the run's last sample
        StereoDetector once(hpf, hpf, peak, peak, shelf, shelf), every = once;
        const LevelParams p = {shape, 3.548133892335755, LevelShapingCoefficient(fs)};
        std::vector<double> fast(61), checked(61);
        DetectorLevels(once, left.data(), right.data(), 61, p, fast.data(), wide);
        ASSERT_TRUE(RawLevels<true>(every, left.data(), right.data(), 61, p, checked.data()));
        for (double& lvl : checked) lvl = ShapeLevel(lvl, p.c);
        for (std::size_t i = 0; i < fast.size(); ++i)
          ASSERT_EQ(std::bit_cast<std::uint64_t>(fast[i]), std::bit_cast<std::uint64_t>(checked[i]))
              << fs << " Hz, " << bad << " " << at << " " << i << " " << wide;
        BiquadSection s[12];
        once.Store(s[0], s[1], s[2], s[3], s[4], s[5]);
        every.Store(s[6], s[7], s[8], s[9], s[10], s[11]);
        for (int k = 0; k < 6; ++k) {
          EXPECT_EQ(std::bit_cast<std::uint64_t>(s[k].s1), std::bit_cast<std::uint64_t>(s[k + 6].s1));
          EXPECT_EQ(std::bit_cast<std::uint64_t>(s[k].s2), std::bit_cast<std::uint64_t>(s[k + 6].s2));
        }
      }
    }
  }
}

// The sections' designs and the rate's constants are kept from block to block
// and formed again when a value they come from changes: a changed setting or
// sample rate takes effect in the next block, exactly as a fresh design.
TEST(DetectorStages, DesignsFollowSettingsAndRateFromBlockToBlock) {
  Compressor comp;
  CompressorSettings set;
  set.inputDb = 20.0, set.outputGain = 1.0, set.ratio = 4.0, set.hpfHz = 40.0, set.midFreqHz = 900.0;
  set.attackSec = 0.0004, set.releaseSec = 0.2;
  std::vector<double> in(64, 0.25), out(64);
  double* ins[4] = {in.data(), in.data(), nullptr, nullptr};
  double* outs[2] = {out.data(), out.data()};
  // Two blocks at each rate: the first changes the rate alone, the second
  // the frequency alone.
  constexpr int kBlocks = 2 * static_cast<int>(std::size(kCommonRates));
  for (int block = 0; block < kBlocks; ++block) {
    const double fs = kCommonRates[block / 2];
    set.hpfHz = (block + 1) / 2 % 2 == 0 ? 40.0 : 200.0;
    comp.ProcessBlock(set, fs, ins, outs, 64, false);
    BiquadSection fresh;
    fresh.type = HighPass, fresh.q = 1.0, fresh.gainDb = 1.0, fresh.freq = set.hpfHz / fs;
    fresh.Design();
    EXPECT_EQ(comp.HighPassSection(0).ff0, fresh.ff0) << block;
    EXPECT_EQ(comp.HighPassSection(1).fb1, fresh.fb1) << block;
  }
}

__attribute__((target("avx2"))) void ShapeFour(const LevelShapingQuad& shaping, const double* in, double* out) {
  _mm256_storeu_pd(out, reinterpret_cast<__m256d>(shaping.Apply(reinterpret_cast<lanes::Quad>(_mm256_loadu_pd(in)))));
}

// The level shaping's shortcuts (a level clear of 1 - c passes or fails
// without the roots) must decide every lane as the roots do: levels at and
// around 1 - c by a few units in the last place and by the shortcut's
// margin, zero, subnormals, tiny and huge levels, infinity and NaN, mixed
// within a quad and alone, at the coefficient of every common sample rate
// and at ones that make 1 - c tiny, 0 or large.
TEST(DetectorStages, LevelShapingQuadDecidesAsTheRoots) {
  if (!interstage::WideAvailable()) GTEST_SKIP() << "no AVX2";
  std::vector<double> coefficients = {0.99999, 1.0 - 0x1p-480, 1.0 - 0x1p-52, 1.0, 0.5};
  for (const double fs : kCommonRates) coefficients.push_back(LevelShapingCoefficient(fs));
  for (const double c : coefficients) {
    const double k = 1.0 - c;
    std::vector<double> values = {0.0, 0x1p-1074, 0x1p-1022, 0x1p-501, 0x1p-499, 1e-300, 1e-3, 0.5, 1.0, 8.0,
                                  1e300, std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (const double edge : {k, k * (1.0 + 0x1p-40), k * (1.0 - 0x1p-40)}) {
      double v = edge;
      for (int n = 0; n < 4; ++n) v = std::nextafter(v, 0.0);
      for (int n = 0; n < 9; ++n, v = std::nextafter(v, 2.0)) values.push_back(v);
    }
    const LevelShapingQuad shaping(c);
    // Every value in every lane beside every other value, and in quads of
    // its own.
    for (const double a : values) {
      for (const double b : values) {
        const double in[4] = {a, b, a, a};
        double out[4];
        ShapeFour(shaping, in, out);
        for (int lane = 0; lane < 4; ++lane) {
          EXPECT_EQ(std::bit_cast<std::uint64_t>(out[lane]), std::bit_cast<std::uint64_t>(ShapeLevel(in[lane], c)))
              << "c " << c << " level " << in[lane];
        }
      }
    }
  }
}

// The two-lane ratio law (the path without AVX2) gives RatioTarget's bits on
// every level: the lanes at or below the threshold take 1 whatever their
// stand-in computes, and an odd last level takes the scalar law.
TEST(DetectorStages, RatioLawPairsGivesRatioTargetsBits) {
  struct Row {
    double inputDb, invR;
    const char* why;
  };
  const Row rows[] = {
      {30.0, 0.25, "an ordinary threshold"},
      {0.0, 0.5, "threshold 1 (Input at 0): levels of 1 fall on it"},
      {80.0, 1.0, "the lowest threshold, ratio 1"},
      {1e-9, 0.05, "a threshold a hair below 1"},
  };
  constexpr double inf = std::numeric_limits<double>::infinity();
  for (const Row& row : rows) {
    const double t = -row.inputDb, threshold = detmath::Exp(-row.inputDb / kLevelScale);
    std::vector<double> levels = {0.0, threshold, std::nextafter(threshold, inf), std::nextafter(threshold, 0.0), 1.0,
                                  1.5, 2.0, 1e-300, 1e300, inf, std::numeric_limits<double>::quiet_NaN(), -1.0};
    for (int i = 0; i < 150; ++i) levels.push_back(threshold * std::ldexp(1.0 + i / 150.0, i % 9 - 4));
    levels.push_back(2.0 * threshold);  // an odd count: the last takes RatioTarget
    std::vector<double> paired = levels;
    RatioLawPairs(paired.data(), static_cast<int>(paired.size()), threshold, t, row.invR);
    for (std::size_t i = 0; i < levels.size(); ++i)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(paired[i]),
                std::bit_cast<std::uint64_t>(RatioTarget(levels[i], threshold, t, row.invR)))
          << row.why << ": level " << levels[i];
  }
}
