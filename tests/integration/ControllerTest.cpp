// The edit-controller side of the built module: parameter list, value texts,
// conversions, units and the program list.

#include <cmath>

#include "PlugFixture.h"
#include "pluginterfaces/gui/iplugview.h"

namespace mirel::test {
namespace {

struct Expected {
  ParamID id;
  const char* title;
  const char* units;
  int32 stepCount;
  int32 flags;
  double defaultNormalized;
};

TEST(Controller, ParameterListAsTheHostSeesIt) {
  Plug p;
  ASSERT_EQ(p.Initialize(), kResultOk);
  ASSERT_EQ(p.controller->getParameterCount(), 16);
  // Defaults normalised with ((default - min) / (max - min))^(1 / shape).
  const Expected expected[] = {
      {kPrst, "Preset", "", 1, 0x8000, 0.0},
      {kBpas, "Bypass", "", 1, 0x10009, 0.0},
      {kIdInput, "Input", "%", 0, 1, 0.0},
      {kIdOutput, "Output", "%", 0, 1, (0.0 + 30.0) / 60.0},
      {kIdAttack, "Attack", "%", 0, 1, std::sqrt((0.0004 - 0.0001) / (0.0011 - 0.0001))},
      {kIdRelease, "Release", "%", 0, 1, std::sqrt((0.4 - 0.02) / (0.85 - 0.02))},
      {kIdRatio, "Ratio", "", 3, 1, 0.0},
      {kIdHpf, "Sidechain", "%", 0, 1, 0.0},
      {kIdMix, "Mix", "%", 0, 1, 1.0},
      {kIdMidFreq, "Mid Freq", "%", 0, 1, 0.0},
      {kIdMidGain, "Mid Gain", "%", 0, 1, 0.5},
      {kIdHf, "HF", "%", 0, 1, 1.0},
      {kIdBypass, "Bypass", "", 1, 1, 0.0},
      {kIdInterstage, "Interstage", "", 1, 1, 0.0},
      {kIdOversample, "Oversample", "", 1, 1, 0.0},
      {kIdSidechain, "Sidechain", "", 1, 1, 1.0},
  };
  for (int32 i = 0; i < 16; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(p.controller->getParameterInfo(i, info), kResultOk);
    const Expected& e = expected[i];
    SCOPED_TRACE(e.title);
    EXPECT_EQ(info.id, e.id);
    EXPECT_EQ(host::ToUtf8(info.title), e.title);
    EXPECT_EQ(host::ToUtf8(info.shortTitle), "");
    EXPECT_EQ(host::ToUtf8(info.units), e.units);
    EXPECT_EQ(info.stepCount, e.stepCount);
    EXPECT_EQ(info.flags, e.flags);
    EXPECT_NEAR(info.defaultNormalizedValue, e.defaultNormalized, 1e-15);
    EXPECT_EQ(info.unitId, 0);
  }
  ParameterInfo info{};
  EXPECT_EQ(p.controller->getParameterInfo(16, info), kResultFalse);
  EXPECT_EQ(p.controller->getParameterInfo(-1, info), kResultFalse);
  p.Stop();
}

TEST(Controller, ValueTextsAndConversionsBothWays) {
  Plug p;
  ASSERT_EQ(p.Initialize(), kResultOk);
  auto text = [&](ParamID id, double v) {
    String128 s{};
    EXPECT_EQ(p.controller->getParamStringByValue(id, v, s), kResultOk);
    return host::ToUtf8(s);
  };
  EXPECT_EQ(text(kIdInput, 0.5), "40.00");
  EXPECT_EQ(text(kIdOutput, 0.0), "-30.00");
  EXPECT_EQ(text(kIdMix, 0.25), "25.00");
  EXPECT_EQ(text(kIdRatio, 0.5), "1");       // 1.5 truncated, no step rounding
  EXPECT_EQ(text(kIdBypass, 1.0), "1");
  String128 s{};
  EXPECT_EQ(p.controller->getParamStringByValue(12345, 0.0, s), kResultFalse);

  auto value = [&](ParamID id, const char* t) {
    String128 in{};
    host::ToUtf16(t, in);
    ParamValue v = -1.0;
    EXPECT_EQ(p.controller->getParamValueByString(id, in, v), kResultOk) << t;
    return v;
  };
  EXPECT_DOUBLE_EQ(value(kIdInput, "40"), 0.5);
  EXPECT_DOUBLE_EQ(value(kIdInput, "1000"), 1.0);
  EXPECT_DOUBLE_EQ(value(kIdInput, "loud"), 0.0);  // not a number: 0
  EXPECT_DOUBLE_EQ(value(kIdOutput, "-15.5"), (-15.5 + 30.0) / 60.0);
  EXPECT_DOUBLE_EQ(value(kBpas, "on"), 1.0);
  String128 in{};
  host::ToUtf16("40", in);
  ParamValue v = 0;
  EXPECT_EQ(p.controller->getParamValueByString(777, in, v), kResultFalse);

  EXPECT_DOUBLE_EQ(p.controller->normalizedParamToPlain(kIdRelease, 0.5), 0.02 + (0.85 - 0.02) * 0.25);
  EXPECT_DOUBLE_EQ(p.controller->normalizedParamToPlain(777, 0.3), 0.3);
  EXPECT_DOUBLE_EQ(p.controller->plainParamToNormalized(kIdRelease, 0.02 + (0.85 - 0.02) * 0.25), 0.5);
  EXPECT_DOUBLE_EQ(p.controller->plainParamToNormalized(kIdInput, -5.0), 0.0);
  EXPECT_DOUBLE_EQ(p.controller->plainParamToNormalized(kBpas, 0.7), 0.7);

  // Stepped values round to the nearest step and never pass the maximum.
  ASSERT_EQ(p.controller->setParamNormalized(kIdRatio, 0.4), kResultOk);  // 1.2 -> 1
  EXPECT_DOUBLE_EQ(p.controller->getParamNormalized(kIdRatio), 1.0 / 3.0);
  ASSERT_EQ(p.controller->setParamNormalized(kIdRatio, 1.0), kResultOk);
  EXPECT_DOUBLE_EQ(p.controller->getParamNormalized(kIdRatio), 1.0);
  ASSERT_EQ(p.controller->setParamNormalized(kIdMix, 0.3), kResultOk);
  EXPECT_DOUBLE_EQ(p.controller->getParamNormalized(kIdMix), 0.3);
  EXPECT_EQ(p.controller->setParamNormalized(kPrst, 1.0), kResultFalse);
  EXPECT_EQ(p.controller->getParamNormalized(kPrst), 0.0);
  p.Stop();
}

TEST(Controller, UnitsProgramListAndSmallAnswers) {
  Plug p;
  ASSERT_EQ(p.Initialize(), kResultOk);
  IPtr<IUnitInfo> units = p.U<IUnitInfo>();
  ASSERT_TRUE(units);
  EXPECT_EQ(units->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
  EXPECT_EQ(unit.id, 0);
  EXPECT_EQ(unit.parentUnitId, -1);
  EXPECT_EQ(unit.programListId, -1);
  EXPECT_EQ(host::ToUtf8(unit.name), "Root Unit");
  EXPECT_EQ(units->getUnitInfo(1, unit), kResultFalse);
  EXPECT_EQ(units->getProgramListCount(), 0);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.id, static_cast<ProgramListID>(kPrst));
  EXPECT_EQ(host::ToUtf8(list.name), "Factory Presets");
  EXPECT_EQ(list.programCount, 1);
  EXPECT_EQ(units->getProgramListInfo(1, list), kResultFalse);
  String128 name{};
  ASSERT_EQ(units->getProgramName(kPrst, 0, name), kResultOk);
  EXPECT_EQ(host::ToUtf8(name), "-");
  ASSERT_EQ(units->getProgramName(kPrst, 5, name), kResultOk);
  EXPECT_EQ(host::ToUtf8(name), "");
  EXPECT_EQ(units->getProgramName(1234, 0, name), kResultFalse);
  EXPECT_EQ(units->getSelectedUnit(), 0);
  EXPECT_EQ(units->selectUnit(0), kNotImplemented);

  IPtr<IEditController2> c2 = p.U<IEditController2>();
  ASSERT_TRUE(c2);
  EXPECT_EQ(c2->setKnobMode(kLinearMode), kResultOk);
  EXPECT_EQ(c2->openHelp(false), kResultFalse);
  EXPECT_EQ(c2->openAboutBox(false), kResultFalse);
  EXPECT_EQ(p.controller->setComponentState(nullptr), kNotImplemented);
  // A view for the name "editor" only.
  IPtr<IPlugView> view = owned(p.controller->createView("editor"));
  EXPECT_TRUE(view);
  EXPECT_EQ(p.controller->createView("Editor"), nullptr);
  view = nullptr;

  auto handler = host::MakeHostObject<host::RecordingComponentHandler>();
  EXPECT_EQ(p.controller->setComponentHandler(handler.get()), kResultOk);
  EXPECT_EQ(p.controller->setComponentHandler(handler.get()), kResultOk);
  EXPECT_EQ(handler->RefCount(), 2u);  // ours and the plug-in's one reference
  EXPECT_EQ(p.controller->setComponentHandler(nullptr), kResultOk);
  EXPECT_EQ(handler->RefCount(), 1u);

  // The preset parameter restores the default preset.
  p.SendParam(kIdMix, 0.2);
  p.SendParam(kPrst, 0.0);
  EXPECT_DOUBLE_EQ(p.controller->getParamNormalized(kIdMix), 1.0);
  p.Stop();
}

}  // namespace
}  // namespace mirel::test
