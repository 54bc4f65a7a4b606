// The per-block compressor on plain buffers, driven by a settings record alone:
// what it keeps from block to block. (Its sound, bypass, sidechain and meter
// are checked at the plug-in's process call.)

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

// What a compressor keeps between blocks (coefficients, designs) follows
// every input it was made from: after one silent sample (which leaves the
// signal state as it was), a block at changed settings or rate gives the
// bits a compressor that saw only those settings gives.
TEST(Compressor, WhatItKeepsBetweenBlocksFollowsEachSettingAndTheRate) {
  struct Row {
    const char* why;
    void (*change)(CompressorSettings&, double&);
  };
  const Row rows[] = {
      {"the sample rate", [](CompressorSettings&, double& fs) { fs = 96000.0; }},
      {"the input (threshold)", [](CompressorSettings& s, double&) { s.inputDb = 20.0; }},
      {"the attack", [](CompressorSettings& s, double&) { s.attackSec = 0.01; }},
      {"the release", [](CompressorSettings& s, double&) { s.releaseSec = 0.5; }},
      {"the high-pass", [](CompressorSettings& s, double&) { s.hpfHz = 300.0; }},
      {"the high shelf", [](CompressorSettings& s, double&) { s.hfDb = 9.0; }},
      {"the mid frequency", [](CompressorSettings& s, double&) { s.midFreqHz = 3000.0; }},
      {"the mid gain", [](CompressorSettings& s, double&) { s.midGainDb = -9.0; }},
      {"the oversampling", [](CompressorSettings& s, double&) { s.oversampleFactor = 16; }},
  };
  constexpr int kN = 512;
  testsupport::Rng rng(9);
  std::vector<double> l(kN), r(kN);
  for (int i = 0; i < kN; ++i) {
    l[i] = 0.8 * rng.Uniform() - 0.4;
    r[i] = 0.8 * rng.Uniform() - 0.4;
  }
  auto run = [&](const CompressorSettings& first, double firstFs, const CompressorSettings& then, double fs) {
    Compressor c;
    double silence[2] = {0.0, 0.0}, out[2] = {0.0, 0.0};
    double* in1[4] = {&silence[0], &silence[1], nullptr, nullptr};
    double* out1[2] = {&out[0], &out[1]};
    c.ProcessBlock(first, firstFs, in1, out1, 1, false);
    std::vector<double> inL = l, inR = r;
    double* in2[4] = {inL.data(), inR.data(), nullptr, nullptr};
    c.ProcessBlock(then, fs, in2, in2, kN, false);
    return inL;
  };
  for (const Row& row : rows) {
    CompressorSettings changed = Loud();
    changed.hfDb = 3.0;
    changed.midGainDb = 3.0;
    double fs = 44100.0;
    row.change(changed, fs);
    CompressorSettings before = Loud();
    before.hfDb = 3.0;
    before.midGainDb = 3.0;
    EXPECT_EQ(run(before, 44100.0, changed, fs), run(changed, fs, changed, fs)) << row.why;
  }
}

}  // namespace
