// The parameters a CLAP host sees: the product's table with the same ids as
// the VST3 module, the host bypass and the preset selector, their texts, and
// their events through a flush while inactive.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "mirel/MirelParams.h"
#include "plugbase/AdapterParamIds.h"
#include "tests/clap/ClapFixture.h"

using clap_tests::ClapFixture;

namespace {

std::string Text(mirel::host::ClapPlugin& p, clap_id id, double value) {
  char text[CLAP_NAME_SIZE] = {};
  if (!p.Params()->value_to_text(p.Plugin(), id, value, text, sizeof text)) return "<refused>";
  return text;
}

TEST_F(ClapFixture, ParametersAreTheTableThenBypassAndPreset) {
  auto p = Make();
  const clap_plugin_params_t* params = p->Params();
  ASSERT_NE(params, nullptr);
  ASSERT_EQ(params->count(p->Plugin()), static_cast<std::uint32_t>(kNumParams + 2));
  for (const mirel::ParamRow& row : mirel::kParamTable) {
    SCOPED_TRACE(row.name);
    clap_param_info_t info{};
    ASSERT_TRUE(params->get_info(p->Plugin(), static_cast<std::uint32_t>(row.index), &info));
    EXPECT_EQ(info.id, static_cast<clap_id>(row.index)) << "the VST3 module's id";
    EXPECT_STREQ(info.name, row.name);
    EXPECT_NE(info.flags & CLAP_PARAM_IS_AUTOMATABLE, 0u);
    EXPECT_EQ(info.flags & CLAP_PARAM_IS_BYPASS, 0u);
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, row.kind == ParamKind::Stepped);
    // Plain values, in the parameter's own unit.
    EXPECT_EQ(info.min_value, row.minValue);
    EXPECT_EQ(info.max_value, row.maxValue);
    EXPECT_EQ(info.default_value, row.defaultValue);
    EXPECT_EQ(p->Value(info.id), info.default_value) << "starts at its default";
  }
  clap_param_info_t bypass{};
  ASSERT_TRUE(params->get_info(p->Plugin(), kNumParams, &bypass));
  EXPECT_EQ(bypass.id, kBypassParamCodeId);
  EXPECT_EQ(bypass.flags & (CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED), CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED);
  clap_param_info_t preset{};
  ASSERT_TRUE(params->get_info(p->Plugin(), kNumParams + 1, &preset));
  EXPECT_EQ(preset.id, kPresetParamCodeId);
  EXPECT_EQ(preset.flags, static_cast<clap_param_info_flags>(CLAP_PARAM_IS_STEPPED)) << "stepped, not automatable";
  EXPECT_EQ(preset.max_value, mirel::kNumPresets - 1);
  clap_param_info_t none{};
  EXPECT_FALSE(params->get_info(p->Plugin(), kNumParams + 2, &none));
}

// Every value a host can show reads back to the same text: each step of a
// stepped parameter, a sweep of a continuous one, the bypass and presets.
TEST_F(ClapFixture, EveryValueTextReadsBackToItself) {
  auto p = Make();
  const clap_plugin_params_t* params = p->Params();
  const std::uint32_t n = params->count(p->Plugin());
  for (std::uint32_t index = 0; index < n; ++index) {
    clap_param_info_t info{};
    ASSERT_TRUE(params->get_info(p->Plugin(), index, &info));
    SCOPED_TRACE(info.name);
    const bool stepped = (info.flags & CLAP_PARAM_IS_STEPPED) != 0;
    const int points = stepped ? static_cast<int>(info.max_value - info.min_value) + 1 : 41;
    for (int k = 0; k < points; ++k) {
      const double v = info.min_value + (stepped ? k : (info.max_value - info.min_value) * k / (points - 1));
      const std::string text = Text(*p, info.id, v);
      ASSERT_NE(text, "<refused>") << v;
      double back = -1.0;
      ASSERT_TRUE(params->text_to_value(p->Plugin(), info.id, text.c_str(), &back)) << text;
      EXPECT_EQ(Text(*p, info.id, back), text) << "value " << v;
      if (stepped) {
        EXPECT_EQ(back, v) << text;
      }
    }
  }
}

TEST_F(ClapFixture, UnknownIdsAndUnreadableTextsAreRefused) {
  auto p = Make();
  const clap_plugin_params_t* params = p->Params();
  double v = 0.0;
  char text[64];
  for (const clap_id id : {static_cast<clap_id>(kNumParams), clap_id{1000}, CLAP_INVALID_ID}) {
    EXPECT_FALSE(params->get_value(p->Plugin(), id, &v)) << id;
    EXPECT_FALSE(params->value_to_text(p->Plugin(), id, 0.5, text, sizeof text)) << id;
    EXPECT_FALSE(params->text_to_value(p->Plugin(), id, "0", &v)) << id;
  }
  struct Row {
    clap_id id;
    const char* text;
  };
  const Row unreadable[] = {{kInput, "loud"}, {kRatio, "3:1"}, {kBypassParamCodeId, "maybe"},
                            {kPresetParamCodeId, "No Such Preset"}, {kHpf, ""}};
  for (const Row& r : unreadable) EXPECT_FALSE(params->text_to_value(p->Plugin(), r.id, r.text, &v)) << r.text;
  EXPECT_FALSE(params->value_to_text(p->Plugin(), kInput, std::nan(""), text, sizeof text));
  // A buffer of one byte still gets a terminated (empty) text.
  char one[1] = {'x'};
  EXPECT_TRUE(params->value_to_text(p->Plugin(), kInput, 0.5, one, sizeof one));
  EXPECT_EQ(one[0], '\0');
}

TEST_F(ClapFixture, FlushWhileInactiveAppliesTheEventsLastValueWinning) {
  auto p = Make();
  mirel::host::ClapInputEvents in;
  mirel::host::ClapOutputEvents out;
  in.Add(kInput, 10.0);
  in.Add(kInput, 40.0);
  in.Add(kRatio, 3.0);
  in.Add(kBypassParamCodeId, 1.0);
  in.Add(kOutput, std::nan(""));
  in.Add(999, 1.0);
  p->Flush(in, out);
  EXPECT_EQ(p->Value(kInput), 40.0);
  EXPECT_EQ(p->Value(kRatio), 3.0);
  EXPECT_EQ(p->Value(kBypassParamCodeId), 1.0);
  EXPECT_EQ(p->Value(kOutput), mirel::kParamTable[kOutput].defaultValue) << "NaN changes nothing";
  EXPECT_EQ(out.Count(), 0) << "nothing to report without a preset";
}

// Choosing a preset loads it (the nearest step to the value) and tells the
// host every new value in the same flush or block, so its parameter list
// follows without a rescan.
TEST_F(ClapFixture, ChoosingAPresetReportsEveryNewValue) {
  for (const bool active : {false, true}) {
    for (int k = 0; k < mirel::kNumPresets; ++k) {
      const mirel::FactoryPreset& preset = mirel::kFactoryPresets[k];
      SCOPED_TRACE(std::string(preset.name) + (active ? ", active" : ", inactive"));
      auto p = Make();
      if (active) {
        ASSERT_TRUE(p->Activate(48000.0, 1, 512));
      }
      mirel::host::ClapInputEvents in;
      mirel::host::ClapOutputEvents out;
      // A value between steps picks the nearest: odd presets come from below.
      in.Add(kPresetParamCodeId, k + (k % 2 == 1 ? -0.4 : 0.4));
      p->Flush(in, out);
      EXPECT_EQ(p->Value(kPresetParamCodeId), k);
      ASSERT_EQ(out.Values().size(), static_cast<std::size_t>(kNumParams));
      for (int i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(out.Values()[static_cast<std::size_t>(i)].id, static_cast<clap_id>(i));
        EXPECT_EQ(out.Values()[static_cast<std::size_t>(i)].value, p->Value(static_cast<clap_id>(i)));
        EXPECT_EQ(p->Value(static_cast<clap_id>(i)), preset.values[i]) << mirel::kParamTable[i].name;
      }
    }
  }
}

}  // namespace
