// The per-block compressor on plain buffers, driven by a settings record alone.

#include <gtest/gtest.h>

#include <vector>

#include "dsp/Compressor.h"
#include "tests/support/SeededRandom.h"

namespace {

CompressorSettings Loud() {
  CompressorSettings s;
  s.inputDb = 40.0;  // threshold -40
  s.outputGain = 1.0;
  s.attackSec = 0.0002;
  s.releaseSec = 0.1;
  s.ratio = 8.0;
  s.hpfHz = 20.0;
  s.mixPercent = 100.0;
  s.midFreqHz = 1000.0;
  return s;
}

TEST(Compressor, PlainBuffersInPlaceBypassSidechainAndMeter) {
  constexpr int kN = 256;
  testsupport::Rng rng(5);
  std::vector<double> l(kN), r(kN);
  for (int i = 0; i < kN; ++i) {
    l[i] = 0.8 * rng.Uniform();
    r[i] = 0.8 * rng.Uniform();
  }

  // Separate output buffers and outputs written over the inputs agree.
  Compressor a, b;
  std::vector<double> outL(kN), outR(kN), inL = l, inR = r;
  double* inA[4] = {l.data(), r.data(), nullptr, nullptr};
  double* outA[2] = {outL.data(), outR.data()};
  a.ProcessBlock(Loud(), 48000.0, inA, outA, kN, false);
  double* inB[4] = {inL.data(), inR.data(), nullptr, nullptr};
  double* outB[2] = {inL.data(), inR.data()};
  b.ProcessBlock(Loud(), 48000.0, inB, outB, kN, true);
  EXPECT_EQ(inL, outL);
  EXPECT_EQ(inR, outR);
  EXPECT_LT(a.GainState(), 0.5);
  // The meter's ballistics run only with metering on; the gain is the same.
  EXPECT_EQ(a.MeterValue(), 1.0);
  EXPECT_NE(b.MeterValue(), 1.0);
  EXPECT_EQ(a.GainState(), b.GainState());

  // Bypassed, the input comes back bit for bit while the detector still runs.
  CompressorSettings bypassed = Loud();
  bypassed.bypass = true;
  Compressor c;
  c.ProcessBlock(bypassed, 48000.0, inA, outA, kN, false);
  EXPECT_EQ(outL, l);
  EXPECT_EQ(outR, r);
  EXPECT_LT(c.GainState(), 0.5);

  // Listening to an absent sidechain: silence, so no reduction.
  CompressorSettings sidechain = Loud();
  sidechain.detectFromMain = false;
  Compressor d;
  d.ProcessBlock(sidechain, 48000.0, inA, outA, kN, false);
  EXPECT_EQ(d.GainState(), 1.0);
}

}  // namespace
