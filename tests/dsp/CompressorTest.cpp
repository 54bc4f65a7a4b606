// The per-block compressor on plain buffers, driven by a settings record alone:
// what it keeps from block to block. (Its sound, bypass, sidechain and meter
// are checked at the plug-in's process call.)

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "dsp/Compressor.h"
#include "dsp/Interstage.h"
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

// A block is processed in runs of the oversampler's longest run at its
// factor, and the detector inside a run in pieces of its own; where a block
// is cut must not show. Each row's blocks of one length give the bits that
// blocks of one sample (which no run or piece splits) give, with either
// kernel (the kernel comparison alone would miss a fault in the splitting,
// which both kernels share).
TEST(Compressor, BlocksCutAroundTheRunsGiveTheBitsOfSampleBySample) {
  struct Row {
    int factor;
    int length;
    const char* why;
  };
  const Row rows[] = {
      {4, interstage::MaxRunAt(4), "one whole run at 4x"},
      {4, interstage::MaxRunAt(4) + 1, "a run and one sample"},
      {4, 2 * interstage::MaxRunAt(4) + 65, "two runs and more than one detector piece"},
      {4, 65, "more than one detector piece in a run"},
      {16, interstage::MaxRunAt(16), "one whole run at 16x"},
      {16, interstage::MaxRunAt(16) + 1, "a run and one sample"},
      {16, 3 * interstage::MaxRunAt(16) + 7, "several runs"},
  };
  constexpr int kN = 700;
  testsupport::Rng rng(0x5eedull);
  std::vector<double> l(kN), r(kN);
  for (int i = 0; i < kN; ++i) {
    l[i] = 0.9 * rng.Uniform();
    r[i] = 0.9 * rng.Uniform();
  }
  auto render = [&](bool pair, int factor, int length) {
    Compressor::PreferPairKernel(pair);
    Compressor c;
    Compressor::PreferPairKernel(false);
    CompressorSettings s = Loud();
    s.oversampleFactor = factor;
    s.interstage = true;
    std::vector<double> outL(kN), outR(kN);
    for (int pos = 0; pos < kN; pos += length) {
      const int n = std::min(length, kN - pos);
      double* in[4] = {l.data() + pos, r.data() + pos, nullptr, nullptr};
      double* out[2] = {outL.data() + pos, outR.data() + pos};
      c.ProcessBlock(s, 48000.0, in, out, n, true);
    }
    outL.insert(outL.end(), outR.begin(), outR.end());
    outL.push_back(c.GainState());
    outL.push_back(c.MeterValue());
    std::vector<std::uint64_t> bits;
    for (double v : outL) bits.push_back(std::bit_cast<std::uint64_t>(v));
    return bits;
  };
  for (const Row& row : rows) {
    for (const bool pair : {false, true}) {
      EXPECT_EQ(render(pair, row.factor, row.length), render(pair, row.factor, 1))
          << row.why << " (" << row.length << " samples at " << row.factor << "x, " << (pair ? "pair" : "chosen")
          << " kernel)";
    }
  }
}

}  // namespace
