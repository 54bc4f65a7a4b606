#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "plugbase/HostIdentity.h"
#include "plugbase/IEffectBase.h"

namespace {

// A small effect with four parameters that records what the base calls.
class TestEffect : public IEffectBase {
 public:
  explicit TestEffect(const char* io = "2-2 4-2", int nPresets = 1)
      : IEffectBase(4, io, nPresets, "Test", "", "Maker", 0x00010203, FourCC("Tst1"), FourCC("Mkr1")) {
    GetParam(0)->DefineContinuous("Gain", 0, -10, 10, 0.1, "dB", "", 1);
    GetParam(1)->DefineStepped("Mode", 1, 0, 3, 1, "", "", 1);
    GetParam(2)->DefineContinuous("Time", 0.5, 0.1, 1.1, 0.01, "s", "", 2);
    GetParam(3)->DefineStepped("Switch", 0, 0, 1, 1, "", "", 1);
  }

  void ParamChanged(int index) override {
    PlugLock lock(Mutex());  // re-enters when the caller already holds it
    log.push_back("changed " + std::to_string(index));
  }
  void PerformEditNotify(int index, double normalised) override {
    // The host is told with no lock of the plug-in held: another thread
    // takes the mutex at once.
    const bool free = std::async(std::launch::async, [this] {
                        if (!Mutex().TryEnter()) return false;
                        Mutex().Leave();
                        return true;
                      }).get();
    log.push_back(std::string(free ? "" : "locked ") + "perform " + std::to_string(index) + " " +
                  std::to_string(normalised));
  }
  void NotifyPresetChanged() override { log.push_back("preset"); }

  std::vector<std::string> log;
};

class RecordingEditor : public IEditorLink {
 public:
  struct Call {
    int index;
    double value;
  };
  explicit RecordingEditor(std::vector<Call>* calls, bool* prepared) : calls_(calls), prepared_(prepared) {}
  void SetParameterFromPlug(int paramIndex, double value) override { calls_->push_back({paramIndex, value}); }
  void PrepareDraw() override { *prepared_ = true; }

 private:
  std::vector<Call>* calls_;
  bool* prepared_;
};

}  // namespace

TEST(ChannelIO, ParsesPairsSeparatedByBlanks) {
  // The parsed configurations as (inputs, outputs) pairs, comparable in one check.
  const auto parsed = [](const char* text) {
    std::vector<std::pair<int, int>> pairs;
    for (const ChannelIOConfig& c : ParseChannelIO(text)) pairs.emplace_back(c.inputs, c.outputs);
    return pairs;
  };
  using Pairs = std::vector<std::pair<int, int>>;
  EXPECT_EQ(parsed("2-2 4-2"), (Pairs{{2, 2}, {4, 2}}));
  EXPECT_EQ(parsed("x"), (Pairs{{0, 0}}));
  EXPECT_EQ(parsed("1 0-6"), (Pairs{{1, 0}, {0, 6}}));
  EXPECT_EQ(ParseChannelIO(nullptr).size(), 1u);
}

TEST(EffectBase, IdentityAndChannelRecords) {
  TestEffect fx;
  EXPECT_STREQ(fx.EffectName(), "Test");
  EXPECT_STREQ(fx.MakerName(), "Maker");
  EXPECT_EQ(fx.UniqueId(), 0x54737431);
  EXPECT_EQ(fx.Version(), 0x00010203);
  EXPECT_EQ(fx.GetHostId(), -1);
  EXPECT_EQ(fx.GetApiCode(), 1);  // VST3
  EXPECT_TRUE(fx.HostOffersParamMenu());
  EXPECT_TRUE(fx.HostSizesEditorWindow());
  EXPECT_EQ(fx.SampleRate(), 44100.0);
  EXPECT_EQ(fx.BlockSize(), 0);
  EXPECT_EQ(fx.NIOConfigs(), 2);
  EXPECT_EQ(fx.NInChannels(), 4);
  EXPECT_EQ(fx.NOutChannels(), 2);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(fx.GetInChannel(i).slot, fx.InputPointers() + i);
    EXPECT_FALSE(fx.GetInChannel(i).connected);
  }
  EXPECT_EQ(fx.GetOutChannel(1).slot, fx.OutputPointers() + 1);
  EXPECT_EQ(fx.GetParam(-1), nullptr);
  EXPECT_EQ(fx.GetParam(4), nullptr);
  ASSERT_NE(fx.GetParam(3), nullptr);
}

TEST(EffectBase, LegalIO) {
  TestEffect fx;
  // Against "2-2 4-2"; -1 stands for any count.
  const struct {
    int inputs, outputs;
    bool legal;
  } cases[] = {{2, 2, true},  {4, 2, true},  {4, -1, true}, {-1, 2, true},
               {1, 1, false}, {2, 4, false}, {3, 2, false}, {-1, 3, false}};
  for (const auto& c : cases) EXPECT_EQ(fx.LegalIO(c.inputs, c.outputs), c.legal) << c.inputs << "-" << c.outputs;
}

TEST(EffectBase, DefaultProcessCopiesInputsAndZeroesTheRest) {
  TestEffect fx("2-2 4-2 1-3");
  ASSERT_EQ(fx.NOutChannels(), 3);
  std::vector<double> in[4];
  std::vector<double> out[3];
  double* ins[4];
  double* outs[3];
  for (int c = 0; c < 4; ++c) {
    in[c] = {c + 0.25, c + 0.5, c + 0.75};
    ins[c] = in[c].data();
  }
  for (int c = 0; c < 3; ++c) {
    out[c].assign(3, 99.0);
    outs[c] = out[c].data();
  }
  fx.ProcessBlock(ins, outs, 3);
  EXPECT_EQ(out[0], in[0]);
  EXPECT_EQ(out[1], in[1]);
  EXPECT_EQ(out[2], in[2]);  // input 2 exists: copied

  // In place: input and output the same memory.
  std::vector<double> shared = {1, 2, 3};
  double* same[4] = {shared.data(), shared.data(), nullptr, nullptr};
  double* sameOut[3] = {shared.data(), nullptr, out[2].data()};
  fx.ProcessBlock(same, sameOut, 3);
  EXPECT_EQ(shared, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(out[2], (std::vector<double>{0, 0, 0}));  // null input reads silence

  // No frames: nothing is touched.
  out[0].assign(3, 7.0);
  fx.ProcessBlock(ins, outs, 0);
  fx.ProcessBlock(ins, outs, -5);
  EXPECT_EQ(out[0], (std::vector<double>{7, 7, 7}));
}

TEST(EffectBase, PassThroughUsesTheChannelPointers) {
  TestEffect fx;
  std::vector<double> a = {1, 2}, b = {3, 4}, o0(2, 9.0), o1(2, 9.0);
  fx.InputPointers()[0] = a.data();
  fx.InputPointers()[1] = b.data();
  fx.OutputPointers()[0] = o0.data();
  fx.OutputPointers()[1] = o1.data();
  fx.PassThrough(2);
  EXPECT_EQ(o0, a);
  EXPECT_EQ(o1, b);
}

TEST(EffectBase, BlockSizeAndScratch) {
  TestEffect fx;
  fx.SetBlockSize(8);
  EXPECT_EQ(fx.BlockSize(), 8);
  EXPECT_EQ(fx.GetInChannel(3).scratch.size(), 8u);
  EXPECT_EQ(fx.GetOutChannel(1).scratch.size(), 8u);
  fx.GetInChannel(0).scratch[5] = 1.5;
  fx.GetOutChannel(0).scratch[7] = 2.5;
  fx.SetBlockSize(8);  // same size: nothing cleared
  EXPECT_EQ(fx.GetInChannel(0).scratch[5], 1.5);
  fx.ZeroScratch();
  EXPECT_EQ(fx.GetInChannel(0).scratch[5], 0.0);
  EXPECT_EQ(fx.GetOutChannel(0).scratch[7], 0.0);
  EXPECT_EQ(fx.GetOutChannel(0).scratch.size(), 8u);
  fx.GetInChannel(1).scratch[0] = 3.0;
  fx.SetBlockSize(16);  // new size: resized and cleared
  EXPECT_EQ(fx.GetInChannel(1).scratch.size(), 16u);
  EXPECT_EQ(fx.GetInChannel(1).scratch[0], 0.0);
}

TEST(EffectBase, LatencyDelaysPassThroughWhenADelayLineExists) {
  struct DelayEffect : TestEffect {
    DelayEffect() {
      latencyDelay_ = std::make_unique<LatencyDelay>();
      latencyDelay_->inputCount = NInChannels();
      latencyDelay_->outputCount = NOutChannels();
    }
  } fx;
  fx.SetLatency(2);
  EXPECT_EQ(fx.Latency(), 2);
  std::vector<double> a = {1, 2, 3}, b = {4, 5, 6}, o0(3), o1(3);
  fx.InputPointers()[0] = a.data();
  fx.InputPointers()[1] = b.data();
  fx.OutputPointers()[0] = o0.data();
  fx.OutputPointers()[1] = o1.data();
  fx.PassThrough(3);
  EXPECT_EQ(o0, (std::vector<double>{0, 0, 1}));
  EXPECT_EQ(o1, (std::vector<double>{0, 0, 4}));
  fx.PassThrough(3);
  EXPECT_EQ(o0, (std::vector<double>{2, 3, 1}));
}

TEST(EffectBase, PerformEditTellsTheHostAfterParamChangedWithTheLockReleased) {
  TestEffect fx;
  fx.PerformEdit(1, 0.5);
  EXPECT_EQ(fx.GetParam(1)->Value(), 2.0);
  ASSERT_EQ(fx.log.size(), 2u);
  EXPECT_EQ(fx.log[0], "changed 1");
  EXPECT_EQ(fx.log[1].rfind("perform 1", 0), 0u);
  fx.log.clear();
  fx.PerformEdit(42, 0.5);  // unknown index: ignored
  EXPECT_TRUE(fx.log.empty());
}

TEST(EffectBase, AttachGraphicsAndRedrawHandNormalisedValues) {
  TestEffect fx;
  fx.AttachGraphics(nullptr);
  EXPECT_EQ(fx.Graphics(), nullptr);

  std::vector<RecordingEditor::Call> calls;
  bool prepared = false;
  fx.AttachGraphics(std::make_unique<RecordingEditor>(&calls, &prepared));
  EXPECT_NE(fx.Graphics(), nullptr);
  EXPECT_TRUE(prepared);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].index, 0);
  EXPECT_EQ(calls[0].value, 0.5);
  EXPECT_EQ(calls[2].value, std::sqrt(0.4));

  calls.clear();
  fx.RedrawParamControls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].value, 1.0 / 3.0);
}

TEST(HostIdentity, FirstKnownNameInTableOrder) {
  EXPECT_EQ(IdentifyHost("Cubase LiVE 12"), 3);  // first match in table order wins
  EXPECT_EQ(IdentifyHost("REAPER"), 1);
  EXPECT_EQ(IdentifyHost("Ableton Live 11"), 9);
  EXPECT_EQ(IdentifyHost("VST3PluginTestHost"), 27);
  EXPECT_EQ(IdentifyHost("Nothing known"), 0);
  EXPECT_EQ(IdentifyHost(nullptr), 0);
}
