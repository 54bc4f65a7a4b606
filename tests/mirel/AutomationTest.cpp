// Automation: one parameter alone changing at block boundaries, as a host's
// automation lane sends it, must give the bits of the literal per-sample
// arithmetic run with the same schedule. The plug-in keeps per-block caches
// (filter designs, coefficients) while their inputs do not change; a cache
// that forgets one of its inputs shows here as a difference after the change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "tests/mirel/HostedMirel.h"
#include "tests/mirel/LiteralCompressor.h"

namespace {

namespace vst = Steinberg::Vst;
using enginetest::Buffers;
using enginetest::LiteralCompressor;
using enginetest::Rng;
using Steinberg::int32;

constexpr vst::ParamID kHostBypass = 0x62706173;  // "bpas"
constexpr int kFrames = 4000;
constexpr int kQuietStart = 1000;

// One row: the parameter that changes, its normalised values in the order a
// host sends them (one per block boundary, small and large steps, up and
// down), and why the row is there.
struct Schedule {
  vst::ParamID id;
  std::vector<double> values;
  const char* reason;
};

const Schedule kSchedules[] = {
    {kInput, {0.9, 0.5, 0.52, 0.9, 0.0, 0.3, 0.31},
     "threshold and the gain law's constants, first while the gain is still high; 0 switches compression off"},
    {kOutput, {0.5, 0.51, 1.0, 0.0, 0.7}, "output gain"},
    {kAttack, {0.3, 0.31, 1.0, 0.0, 0.6}, "attack coefficient"},
    {kRelease, {0.3, 0.32, 1.0, 0.0, 0.5}, "release coefficient"},
    {kRatio, {0.0, 1.0 / 3, 1.0, 2.0 / 3, 0.0}, "ratio law, every step"},
    {kHpf, {0.2, 0.21, 1.0, 0.0, 0.6}, "detector high-pass design"},
    {kMix, {0.5, 0.49, 1.0, 0.0, 0.8}, "dry/wet amounts"},
    {kMidFreq, {0.3, 0.31, 1.0, 0.0, 0.55}, "mid peak design (its frequency)"},
    {kMidGain, {0.7, 0.71, 1.0, 0.0, 0.5, 0.2}, "mid peak design (gain sign switches the form)"},
    {kHf, {0.3, 0.31, 1.0, 0.0, 0.6}, "high-shelf design"},
    {kBypass, {1.0, 0.0, 1.0, 0.0}, "the plug-in's own bypass"},
    {kInterstage, {1.0, 0.0, 1.0, 0.0}, "detector curve on and off"},
    {kOversample, {1.0, 0.0, 1.0, 0.0}, "oversampling factor and its filter design"},
    {kSidechain, {0.0, 1.0, 0.0, 1.0}, "detector source"},
    {kHostBypass, {1.0, 0.0, 1.0, 0.0}, "the host's bypass: pass-through, the state frozen"},
};

// Runs one schedule in one sample size; true when every output sample has
// the literal arithmetic's bits.
void RunSchedule(const Schedule& row, int32 sampleSize, double rate, std::uint64_t seed) {
  enginetest::HostedMirel plug(sampleSize, 1024, rate, enginetest::Editor::kNone);
  mirel::host::ProcessBuffers buffers(sampleSize, 1024, 2, 2, 2);
  Buffers in(kFrames);
  Rng rng(seed);
  // A quiet start (where the gain stays high, so that a threshold shows
  // in it), then loud and quiet stretches on the main input, another signal
  // on the sidechain; values a float holds exactly, so both sample sizes see
  // them.
  for (int i = 0; i < kFrames; ++i) {
    const double level = i >= kQuietStart && (i / 350) % 2 == 0 ? 0.8 : 0.05;
    for (int ch = 0; ch < 4; ++ch) {
      const double scale = ch < 2 ? level : 0.6 - level / 2;
      in.in[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)] =
          static_cast<double>(static_cast<float>(scale * rng.Uniform()));
    }
  }
  // Settings under which every parameter acts: compressing, wet, listening to
  // the main input, mid and shelf filters active.
  const std::pair<vst::ParamID, double> base[] = {{kInput, 0.5},   {kRatio, 1.0 / 3}, {kMix, 1.0},
                                                  {kMidGain, 0.7}, {kHf, 0.3},        {kSidechain, 1.0}};
  LiteralCompressor ref;
  ref.fs = rate;
  std::vector<double> expected[2] = {std::vector<double>(kFrames), std::vector<double>(kFrames)};
  std::vector<double> got[2] = {std::vector<double>(kFrames), std::vector<double>(kFrames)};
  bool hostBypass = false;
  std::size_t next = 0;
  for (int pos = 0, block = 0; pos < kFrames; ++block) {
    const int len = std::min(1 + static_cast<int>(rng.Next() % 300), kFrames - pos);
    mirel::host::ParameterChanges changes;
    if (block == 0) {
      for (const auto& [id, v] : base) changes.Add(id, v);
    }
    // The row's parameter changes every other block from the second on.
    if (block % 2 == 1 && next < row.values.size()) {
      changes.Add(row.id, row.values[next]);
      if (row.id == kHostBypass) hostBypass = row.values[next] > 0.5;
      ++next;
    }
    buffers.SetParameterChanges(&changes);
    for (int bus = 0; bus < 2; ++bus) {
      for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < len; ++i) {
          buffers.SetInput(bus, ch, i, in.in[static_cast<std::size_t>(2 * bus + ch)][static_cast<std::size_t>(pos + i)]);
        }
      }
    }
    buffers.SetNumSamples(len);
    ASSERT_EQ(plug.m->process(buffers.Data()), Steinberg::kResultOk);
    for (int ch = 0; ch < 2; ++ch) {
      for (int i = 0; i < len; ++i) got[ch][static_cast<std::size_t>(pos + i)] = buffers.Output(ch, i);
    }
    // The reference takes the values the plug-in now holds and computes the
    // block from them alone; under the host's bypass the input passes and
    // nothing of the signal path moves.
    ref.TakeSettings(*plug.m);
    if (hostBypass) {
      for (int ch = 0; ch < 2; ++ch) {
        for (int i = pos; i < pos + len; ++i) expected[ch][static_cast<std::size_t>(i)] = in.in[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
      }
    } else {
      ref.Block(in, expected, pos, len);
    }
    pos += len;
  }
  ASSERT_EQ(next, row.values.size()) << "the schedule did not fit the signal";
  for (int ch = 0; ch < 2; ++ch) {
    if (sampleSize == vst::kSample32) {
      for (double& v : expected[ch]) v = static_cast<double>(static_cast<float>(v));
    }
    const auto diff = std::mismatch(expected[ch].begin(), expected[ch].end(), got[ch].begin(),
                                    [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; });
    EXPECT_TRUE(diff.first == expected[ch].end())
        << "channel " << ch << " differs first at frame " << (diff.first - expected[ch].begin()) << ": "
        << (diff.first == expected[ch].end() ? 0.0 : *diff.first) << " expected, "
        << (diff.first == expected[ch].end() ? 0.0 : *diff.second) << " processed";
  }
}

TEST(Automation, OneParameterChangingBetweenBlocksGivesTheLiteralArithmetic) {
  std::uint64_t seed = 0x6175746f;
  for (const Schedule& row : kSchedules) {
    for (const int32 size : {vst::kSample64, vst::kSample32}) {
      SCOPED_TRACE(std::string(row.reason) + (size == vst::kSample32 ? ", 32-bit" : ", 64-bit"));
      RunSchedule(row, size, size == vst::kSample32 ? 44100.0 : 96000.0, ++seed);
    }
  }
}

}  // namespace
