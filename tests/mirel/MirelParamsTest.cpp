#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "mirel/Mirel.h"

namespace {

// What a fresh instance stores, by index: the defaults as stored projects and
// hosts know them (written here, not read from the product's table, so that
// a changed default shows).
constexpr double kStoredDefaults[kNumParams] = {0, 0, 0.0004, 0.4, 0, 20, 100, 500, 0, 0, 0, 0, 0, 1};

// Decimals shown by index, from each step (0.01: 2, 0.001: 3, 1: 0).
constexpr int kPrecision[kNumParams] = {2, 2, 3, 2, 0, 2, 2, 2, 2, 2, 0, 0, 0, 0};

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

// Every parameter is defined as its row of the product's table says (the
// values themselves are checked by meaning below and by the host's view).
TEST(MirelParams, EveryParameterIsDefinedAsItsTableRowSays) {
  Mirel m;
  for (int i = 0; i < kNumParams; ++i) {
    const mirel::ParamRow& r = mirel::kParamTable[i];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.index, i);
    const IParamDef* p = m.GetParam(i);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->Name(), r.name);
    EXPECT_EQ(p->Kind(), r.kind);
    EXPECT_EQ(p->DefaultValue(), r.defaultValue);
    EXPECT_EQ(p->Value(), r.defaultValue);
    EXPECT_EQ(p->MinValue(), r.minValue);
    EXPECT_EQ(p->MaxValue(), r.maxValue);
    EXPECT_EQ(p->Step(), r.step);
    EXPECT_EQ(p->Shape(), r.shape);
    EXPECT_EQ(p->DisplayPrecision(), kPrecision[i]);
    // Units are part of each value's text, so no parameter has a label.
    EXPECT_STREQ(p->Label(), "");
    EXPECT_STREQ(p->Group(), "");
    EXPECT_TRUE(p->CanAutomate());
    EXPECT_FALSE(p->NegateDisplay());
    EXPECT_EQ(p->GetValueFormat().unit, r.unit);
    EXPECT_EQ(p->HasValueFormat(), r.unit[0] != '\0');
    // Stepped parameters name every step, in order.
    const int steps = r.kind == ParamKind::Stepped ? static_cast<int>(r.maxValue - r.minValue) + 1 : 0;
    ASSERT_EQ(p->NDisplayTexts(), steps);
    ASSERT_EQ(r.nTexts, steps);
    for (int k = 0; k < steps; ++k) {
      EXPECT_EQ(p->GetDisplayEntry(k).value, k);
      EXPECT_EQ(p->GetDisplayEntry(k).text, r.texts[k]);
    }
  }
  // The two "Sidechain" parameters: the detector's high-pass and its source switch.
  EXPECT_STREQ(m.GetParam(kHpf)->Name(), "Sidechain");
  EXPECT_STREQ(m.GetParam(kSidechain)->Name(), "Sidechain");
  EXPECT_EQ(m.GetParam(kRatio)->Kind(), ParamKind::Stepped);
  EXPECT_EQ(m.GetParam(kAttack)->Shape(), 2.0);
  EXPECT_EQ(m.GetParam(kRelease)->Shape(), 2.0);
}

TEST(MirelParams, DefaultNormalisedValues) {
  Mirel m;
  const double expected[14] = {0,   0.5, std::sqrt(0.3), std::sqrt(0.38 / 0.83), 0, 0, 1,
                               0,   0.5, 1,              0,                      0, 0, 1};
  for (int i = 0; i < 14; ++i) {
    const IParamDef* p = m.GetParam(i);
    EXPECT_NEAR(p->ToNormalised(p->Value()), expected[i], 1e-12) << i;
  }
}

TEST(MirelParams, RatioStepsAndAttackDisplay) {
  Mirel m;
  IParamDef* ratio = m.GetParam(kRatio);
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
  for (int i = 0; i < kNumParams; ++i) {
    double v = 0;
    std::memcpy(&v, c.Data() + 8 * i, 8);
    EXPECT_EQ(v, kStoredDefaults[i]) << i;
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
}
