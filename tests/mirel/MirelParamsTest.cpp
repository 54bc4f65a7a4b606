#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "mirel/Mirel.h"

namespace {

struct Row {
  int index;
  const char* name;
  ParamKind kind;
  double def, min, max, step;
  const char* label;
  double shape;
  int precision;
};

// The parameter table as users and stored projects know it. Units are part
// of each value's text, so no parameter has a label.
const Row kRows[] = {
    {kInput, "Input", ParamKind::Continuous, 0, 0, 80, 0.01, "", 1, 2},
    {kOutput, "Output", ParamKind::Continuous, 0, -30, 30, 0.01, "", 1, 2},
    {kAttack, "Attack", ParamKind::Continuous, 0.0004, 0.0001, 0.0011, 0.001, "", 2, 3},
    {kRelease, "Release", ParamKind::Continuous, 0.4, 0.02, 0.85, 0.01, "", 2, 2},
    {kRatio, "Ratio", ParamKind::Stepped, 0, 0, 3, 1, "", 1, 0},
    {kHpf, "Sidechain", ParamKind::Continuous, 20, 20, 500, 0.01, "", 1, 2},
    {kMix, "Mix", ParamKind::Continuous, 100, 0, 100, 0.01, "", 1, 2},
    {kMidFreq, "Mid Freq", ParamKind::Continuous, 500, 500, 10000, 0.01, "", 1, 2},
    {kMidGain, "Mid Gain", ParamKind::Continuous, 0, -6, 6, 0.01, "", 1, 2},
    {kHf, "HF", ParamKind::Continuous, 0, -16, 0, 0.01, "", 1, 2},
    {kBypass, "Bypass", ParamKind::Stepped, 0, 0, 1, 1, "", 1, 0},
    {kInterstage, "Interstage", ParamKind::Stepped, 0, 0, 1, 1, "", 1, 0},
    {kOversample, "Oversample", ParamKind::Stepped, 0, 0, 1, 1, "", 1, 0},
    {kSidechain, "Sidechain", ParamKind::Stepped, 1, 0, 1, 1, "", 1, 0},
};

}  // namespace

TEST(MirelParams, IdentityAndChannels) {
  Mirel m;
  EXPECT_STREQ(m.EffectName(), "Mirel");
  EXPECT_STREQ(m.ProductName(), "");
  EXPECT_STREQ(m.MakerName(), "Qentworks");
  EXPECT_EQ(m.Version(), 0x00040100);
  EXPECT_EQ(static_cast<std::uint32_t>(m.UniqueId()), FourCC("Mrl1"));
  EXPECT_EQ(static_cast<std::uint32_t>(m.MakerId()), FourCC("Qent"));
  EXPECT_EQ(m.Latency(), 0);
  EXPECT_EQ(m.NParams(), 14);
  EXPECT_EQ(m.NInChannels(), 4);
  EXPECT_EQ(m.NOutChannels(), 2);
  EXPECT_TRUE(m.LegalIO(2, 2));
  EXPECT_TRUE(m.LegalIO(4, 2));
  EXPECT_FALSE(m.LegalIO(1, 1));
}

TEST(MirelParams, EveryParameterMatchesTheTable) {
  Mirel m;
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.index);
    const IParamDef* p = m.GetParam(r.index);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->Name(), r.name);
    EXPECT_EQ(p->Kind(), r.kind);
    EXPECT_EQ(p->DefaultValue(), r.def);
    EXPECT_EQ(p->Value(), r.def);
    EXPECT_EQ(p->MinValue(), r.min);
    EXPECT_EQ(p->MaxValue(), r.max);
    EXPECT_EQ(p->Step(), r.step);
    EXPECT_STREQ(p->Label(), r.label);
    EXPECT_EQ(p->Shape(), r.shape);
    EXPECT_EQ(p->DisplayPrecision(), r.precision);
    EXPECT_STREQ(p->Group(), "");
    EXPECT_TRUE(p->CanAutomate());
    EXPECT_FALSE(p->NegateDisplay());
    // Stepped parameters name every step.
    EXPECT_EQ(p->NDisplayTexts(), r.kind == ParamKind::Stepped ? static_cast<int>(r.max - r.min) + 1 : 0);
  }
}

TEST(MirelParams, DefaultNormalisedValues) {
  Mirel m;
  const double expected[14] = {0,   0.5, std::sqrt(0.3), std::sqrt(0.38 / 0.83), 0, 0, 1,
                               0,   0.5, 1,              0,                      0, 0, 1};
  for (int i = 0; i < 14; ++i) {
    const IParamDef* p = m.GetParam(i);
    EXPECT_NEAR(p->ToNormalised(p->Value()), expected[i], 1e-12) << i;
  }
  EXPECT_NEAR(m.GetParam(kAttack)->ToNormalised(0.0004), 0.5477, 5e-5);
  EXPECT_NEAR(m.GetParam(kRelease)->ToNormalised(0.4), 0.6766, 5e-5);
}

TEST(MirelParams, RatioStepsAndAttackDisplay) {
  Mirel m;
  IParamDef* ratio = m.GetParam(kRatio);
  ratio->SetFromNormalised(0.5);
  EXPECT_EQ(ratio->Value(), 2.0);
  ratio->SetFromNormalised(0.49);
  EXPECT_EQ(ratio->Value(), 1.0);
  EXPECT_EQ(ratio->FormatDisplay(ratio->Value()), "4:1");

  // Attack tells 0.1 ms from 0.5 ms.
  const IParamDef* attack = m.GetParam(kAttack);
  EXPECT_EQ(attack->FormatDisplay(0.0004), "0.40 ms");
  EXPECT_EQ(attack->FormatDisplay(0.0011), "1.10 ms");
  EXPECT_EQ(m.GetParam(kMidFreq)->FormatDisplay(500), "500 Hz");
  EXPECT_EQ(m.GetParam(kInput)->FormatDisplay(30), "-30.0 dB");
}

TEST(MirelParams, StateChunkIs112BytesOfDefaultsAndTheDefaultPresetRestores) {
  Mirel m;
  StateChunk c;
  ASSERT_TRUE(m.SerializeParams(c));
  ASSERT_EQ(c.Size(), 112);
  for (const Row& r : kRows) {
    double v = 0;
    std::memcpy(&v, c.Data() + 8 * r.index, 8);
    EXPECT_EQ(v, r.def) << r.index;
  }

  const PresetSlot* slot = m.GetPreset(0);
  ASSERT_NE(slot, nullptr);
  EXPECT_TRUE(slot->initialised);
  EXPECT_EQ(slot->name, "Default");
  EXPECT_EQ(m.NPresets(), mirel::kNumPresets);
  EXPECT_EQ(slot->chunk.Size(), 112);

  m.GetParam(kOutput)->SetClamped(12.0);
  m.GetParam(kRatio)->SetClamped(3.0);
  EXPECT_TRUE(m.LoadPreset(0));
  EXPECT_EQ(m.GetParam(kOutput)->Value(), 0.0);
  EXPECT_EQ(m.GetParam(kRatio)->Value(), 0.0);
  EXPECT_FALSE(m.LoadPreset(m.NPresets()));

  // Restoring from offset 8 reads parameters 0..12 from bytes 8..111 and
  // leaves parameter 13 at 0 bounded into its range.
  EXPECT_EQ(m.UnserializeParams(c, 8), -1);
  EXPECT_EQ(m.GetParam(kInput)->Value(), 0.0);     // was Output's 0
  EXPECT_EQ(m.GetParam(kAttack)->Value(), 0.0011);  // Release's 0.4, bounded
  EXPECT_EQ(m.GetParam(kRelease)->Value(), 0.02);   // Ratio's 0, bounded
  EXPECT_EQ(m.GetParam(kSidechain)->Value(), 0.0);
}
