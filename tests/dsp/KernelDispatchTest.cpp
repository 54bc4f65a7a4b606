// The oversampler's two kernels (wide, where the processor has AVX2, and
// pair) must give the same bits on every input, including the flush rule's
// cases: silence, tiny tails, NaN and infinity, and a factor switched
// between blocks, at every common sample rate.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tests/dsp/CommonRates.h"
#include "dsp/Compressor.h"
#include "dsp/InterstageWide.h"

namespace {

struct Render {
  std::vector<double> out[2];
  std::vector<double> histories;
  std::vector<double> meter;  // the meter state after every block
  double gain = 0;
};

// Blocks of varying length (1 up to more than one run of the wide kernel)
// over a signal with loud, quiet, silent and non-finite stretches; the
// factor and the switches change every few blocks.
Render RenderWith(bool preferPair, double fs, bool interstage, bool sidechain) {
  Compressor::PreferPairKernel(preferPair);
  Compressor comp;
  Compressor::PreferPairKernel(false);
  constexpr int kFrames = 6000;
  std::vector<double> in[4];
  std::uint64_t s = 0x9e3779b97f4a7c15ull;
  for (int ch = 0; ch < 4; ++ch) {
    in[ch].resize(kFrames);
    for (int i = 0; i < kFrames; ++i) {
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      const double u = static_cast<double>(s >> 11) * 0x1p-53 * 2.0 - 1.0;
      const int part = i / 500;
      double v = part % 4 == 0 ? u : part % 4 == 1 ? 1e-3 * u : part % 4 == 2 ? 0.0 : 3.0 * u;
      if (i >= 4400 && i < 4600) v = 1e-300 * u;  // tails the flush rule cuts
      v = i == 5200 ? std::numeric_limits<double>::quiet_NaN() : i == 5300 ? HUGE_VAL : v;
      in[ch][static_cast<std::size_t>(i)] = v;
    }
  }
  Render r;
  r.out[0].resize(kFrames);
  r.out[1].resize(kFrames);
  CompressorSettings set{.inputDb = 30.0, .outputGain = 1.0, .attackSec = 0.0004, .releaseSec = 0.2, .ratio = 4.0,
                         .hpfHz = 40.0, .mixPercent = 80.0, .midFreqHz = 900.0, .interstage = interstage,
                         .detectFromMain = !sidechain};
  const int lengths[] = {1, 63, 64, 65, 200, 7, 128, 300};
  int block = 0;
  for (int pos = 0; pos < kFrames; ++block) {
    const int n = std::min(lengths[block % 8], kFrames - pos);
    set.oversampleFactor = (block / 3) % 2 == 0 ? 4 : 16;
    double* ins[4] = {in[0].data() + pos, in[1].data() + pos, in[2].data() + pos, in[3].data() + pos};
    double* outs[2] = {r.out[0].data() + pos, r.out[1].data() + pos};
    // The meter ballistics run (as with an editor open) on every other
    // stretch of blocks.
    comp.ProcessBlock(set, fs, ins, outs, n, (block / 5) % 2 == 1);
    r.meter.push_back(comp.MeterValue());
    pos += n;
  }
  for (int ch = 0; ch < 2; ++ch) {
    const AllPoleHistory u = comp.UpHistory(ch), d = comp.DownHistory(ch);
    r.histories.insert(r.histories.end(), u.y, u.y + 11);
    r.histories.insert(r.histories.end(), d.y, d.y + 11);
  }
  r.gain = comp.GainState();
  return r;
}

void ExpectSameBits(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(a[i]), std::bit_cast<std::uint64_t>(b[i]))
        << what << " differs at " << i << ": " << a[i] << " vs " << b[i];
  }
}

}  // namespace

TEST(KernelDispatch, PreferPairKernelTakesEffectPerInstance) {
  Compressor::PreferPairKernel(true);
  Compressor pair;
  Compressor::PreferPairKernel(false);
  Compressor chosen;
  EXPECT_FALSE(pair.UsesWideKernel());
  EXPECT_EQ(chosen.UsesWideKernel(), interstage::WideAvailable());
}

TEST(KernelDispatch, WideAndPairKernelsGiveTheSameBits) {
  if (!interstage::WideAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  for (const double fs : kCommonRates)
  for (int variant = 0; variant < 4; ++variant) {
    const bool interstage = (variant & 1) != 0, sidechain = (variant & 2) != 0;
    SCOPED_TRACE(::testing::Message() << fs << " Hz, interstage " << interstage << ", sidechain " << sidechain);
    const Render wide = RenderWith(false, fs, interstage, sidechain);
    const Render pair = RenderWith(true, fs, interstage, sidechain);
    ExpectSameBits(wide.out[0], pair.out[0], "left output");
    ExpectSameBits(wide.out[1], pair.out[1], "right output");
    ExpectSameBits(wide.histories, pair.histories, "histories");
    ExpectSameBits(wide.meter, pair.meter, "meter");
    EXPECT_EQ(std::bit_cast<std::uint64_t>(wide.gain), std::bit_cast<std::uint64_t>(pair.gain));
  }
}
