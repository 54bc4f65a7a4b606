#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugbase/IEffectBase.h"

namespace {

class ThreeParams : public IEffectBase {
 public:
  explicit ThreeParams(int nPresets = 1)
      : IEffectBase(3, "2-2", nPresets, "Three", "", "", 1, 1, 1) {
    GetParam(0)->DefineContinuous("A", 1.5, -30, 30, 0.01, "", "", 1);
    GetParam(1)->DefineStepped("B", 2, 0, 3, 1, "", "", 1);
    GetParam(2)->DefineContinuous("C", 0.25, 0, 1, 0.01, "", "", 1);
  }
  void ParamChanged(int index) override { changed.push_back(index); }
  void NotifyPresetChanged() override { ++presetNotices; }
  std::vector<int> changed;
  int presetNotices = 0;
};

// A, B and C as they are now, compared in one check that prints all three.
std::vector<double> Values(ThreeParams& fx) {
  return {fx.GetParam(0)->Value(), fx.GetParam(1)->Value(), fx.GetParam(2)->Value()};
}

StateChunk ChunkOf(const std::vector<double>& values) {
  StateChunk c;
  for (double v : values) c.AppendDouble(v);
  return c;
}

}  // namespace

TEST(StateChunk, WordsAreLittleEndianTagsReadAsTheirLettersAndReadsStopShort) {
  StateChunk c;
  EXPECT_EQ(c.AppendDouble(1.0), 8);
  EXPECT_EQ(c.AppendDouble(-2.5), 16);
  const unsigned char one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  EXPECT_EQ(std::memcmp(c.Data(), one, 8), 0);
  const unsigned char minus[8] = {0, 0, 0, 0, 0, 0, 0x04, 0xC0};
  EXPECT_EQ(std::memcmp(c.Data() + 8, minus, 8), 0);

  double x = 42.0;
  EXPECT_EQ(c.ReadDouble(8, x), 16);
  EXPECT_EQ(x, -2.5);
  x = 42.0;
  EXPECT_EQ(c.ReadDouble(9, x), -1);
  EXPECT_EQ(c.ReadDouble(-1, x), -1);
  EXPECT_EQ(c.ReadDouble(16, x), -1);
  EXPECT_EQ(x, 42.0);  // untouched on failure

  // 32-bit integers likewise; a four-character code reads as its letters.
  StateChunk words;
  EXPECT_EQ(words.AppendInt32(1), 4);
  EXPECT_EQ(words.AppendInt32(-2), 8);
  EXPECT_EQ(words.AppendTag(FourCC("zoom")), 12);
  const unsigned char expected[12] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 'z', 'o', 'o', 'm'};
  EXPECT_EQ(std::memcmp(words.Data(), expected, 12), 0);
  std::int32_t n = 42;
  EXPECT_EQ(words.ReadInt32(4, n), 8);
  EXPECT_EQ(n, -2);
  std::uint32_t tag = 0;
  EXPECT_EQ(words.ReadTag(8, tag), 12);
  EXPECT_EQ(tag, FourCC("zoom"));
  n = 42;
  tag = 7;
  EXPECT_EQ(words.ReadInt32(9, n), -1);
  EXPECT_EQ(words.ReadTag(-1, tag), -1);
  EXPECT_EQ(words.ReadTag(12, tag), -1);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(tag, 7u);
}

TEST(State, SerializeWritesEveryValueInIndexOrder) {
  ThreeParams fx;
  StateChunk c;
  ASSERT_TRUE(fx.SerializeParams(c));
  ASSERT_EQ(c.Size(), 24);
  std::vector<double> v(3);
  std::memcpy(v.data(), c.Data(), 24);
  EXPECT_EQ(v, (std::vector<double>{1.5, 2.0, 0.25}));
}

TEST(State, RestoreClampsAndCallsParamChangedForAll) {
  ThreeParams fx;
  StateChunk c = ChunkOf({1000.0, -7.0, 0.75});
  EXPECT_EQ(fx.UnserializeParams(c, 0), 24);
  EXPECT_EQ(Values(fx), (std::vector<double>{30.0, 0.0, 0.75}));
  EXPECT_EQ(fx.changed, (std::vector<int>{0, 1, 2}));
}

TEST(State, ShortChunkRestoresWhatArrivedAndZeroesTheFirstMissing) {
  ThreeParams fx;
  StateChunk c = ChunkOf({5.0, 1.0, 0.5});
  // From offset 8 only two values remain: A reads 1.0, B reads 0.5 (restored
  // values are bounded, not re-rounded), and C, which finds no bytes, reads 0.
  EXPECT_EQ(fx.UnserializeParams(c, 8), -1);
  EXPECT_EQ(Values(fx), (std::vector<double>{1.0, 0.5, 0.0}));
  EXPECT_EQ(fx.changed.size(), 3u);

  ThreeParams empty;
  empty.GetParam(1)->SetClamped(3.0);
  EXPECT_EQ(empty.UnserializeParams(StateChunk{}, 0), -1);
  // A reads 0 (bounded into -30..30); the rest keep their values.
  EXPECT_EQ(Values(empty), (std::vector<double>{0.0, 3.0, 0.25}));
  EXPECT_EQ(empty.changed.size(), 3u);
}

TEST(State, LongChunkIgnoresTheExtraBytes) {
  ThreeParams fx;
  StateChunk c = ChunkOf({1, 2, 0.5, 99, 98});
  EXPECT_EQ(fx.UnserializeParams(c, 0), 24);
  EXPECT_EQ(fx.GetParam(2)->Value(), 0.5);
}

TEST(Presets, DefaultPresetCapturesAndRestores) {
  ThreeParams fx;
  EXPECT_EQ(fx.NPresets(), 1);
  EXPECT_EQ(fx.GetPreset(0)->name, "empty");
  fx.CaptureDefaultPreset();
  EXPECT_TRUE(fx.GetPreset(0)->initialised);
  EXPECT_EQ(fx.GetPreset(0)->name, "-");
  EXPECT_EQ(fx.GetPreset(0)->chunk.Size(), 24);
  fx.CaptureDefaultPreset();  // no free slot: nothing happens
  EXPECT_EQ(fx.GetPreset(0)->chunk.Size(), 24);

  fx.GetParam(0)->SetClamped(-12.0);
  fx.GetParam(1)->SetClamped(0.0);
  EXPECT_TRUE(fx.LoadPreset(0));
  EXPECT_EQ(Values(fx), (std::vector<double>{1.5, 2.0, 0.25}));
  EXPECT_EQ(fx.CurrentPreset(), 0);
  EXPECT_EQ(fx.presetNotices, 1);

  EXPECT_FALSE(fx.LoadPreset(1));
  EXPECT_FALSE(fx.LoadPreset(-1));
  EXPECT_EQ(fx.presetNotices, 1);
}

TEST(Presets, EmptySlotCapturesTheCurrentValuesAsAUserPreset) {
  ThreeParams fx(3);
  fx.CaptureDefaultPreset();
  fx.GetParam(0)->SetClamped(-3.0);
  fx.changed.clear();
  EXPECT_TRUE(fx.LoadPreset(2));
  EXPECT_EQ(fx.GetPreset(2)->name, "user preset 1");
  EXPECT_EQ(fx.GetParam(0)->Value(), -3.0);  // values unchanged
  EXPECT_TRUE(fx.changed.empty());
  EXPECT_EQ(fx.CurrentPreset(), 2);
  EXPECT_TRUE(fx.LoadPreset(1));
  EXPECT_EQ(fx.GetPreset(1)->name, "user preset 2");
  EXPECT_EQ(fx.CurrentPreset(), 1);

  const double values[3] = {-3.0, 2.0, 0.25};
  EXPECT_TRUE(fx.ParamsEqual(values, 0));
  const double shifted[4] = {0, -3.0, 2.0, 0.250001};
  EXPECT_TRUE(fx.ParamsEqual(shifted, 1));
  const double off[3] = {-3.0, 2.0, 0.2501};
  EXPECT_FALSE(fx.ParamsEqual(off, 0));
}

TEST(Presets, ShortPresetChunkFailsAndKeepsTheCurrentPreset) {
  ThreeParams fx(2);
  fx.CaptureDefaultPreset();
  EXPECT_TRUE(fx.LoadPreset(1));
  EXPECT_EQ(fx.CurrentPreset(), 1);
  // A slot whose chunk is short restores partially and reports failure.
  const_cast<PresetSlot*>(fx.GetPreset(0))->chunk.Resize(12);
  EXPECT_FALSE(fx.LoadPreset(0));
  EXPECT_EQ(fx.CurrentPreset(), 1);
}
