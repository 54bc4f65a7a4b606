// The edit-controller side of the built module: parameter list, value texts,
// conversions, units and the program list.

#include <cmath>
#include <utility>

#include "mirel/MirelParams.h"
#include "tests/integration/PlugFixture.h"
#include "tests/support/ParamTexts.h"
#include "tests/support/StartedPlug.h"
#include "tests/support/ViewSize.h"
#include "pluginterfaces/gui/iplugview.h"

namespace mirel::test {
namespace {

constexpr int kNumPresets = mirel::kNumPresets;
using testsupport::ReadValueText;
using testsupport::ValueText;
using testsupport::WidthHeight;

// An initialised instance, stopped when the test ends (also after a failed
// assertion).
class Controller : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(p.Initialize(), kResultOk); }
  void TearDown() override { p.Stop(); }
  // The rest of a host's start: arrangement, set-up and activation.
  void Activate() {
    ASSERT_EQ(p.Arrange(), kResultOk);
    ASSERT_EQ(p.Setup(48000.0, 512), kResultOk);
    ASSERT_EQ(p.component->setActive(true), kResultOk);
  }

  Plug p;
  IEditController* c = p.controller.get();
};


// How the host sees one parameter. The titles are written here (what a host
// shows and stores automation under); step counts, flags and defaults
// follow from the product's table by the host's rules.
struct Expected {
  ParamID id;
  const char* title;
  int32 stepCount;
  int32 flags;
  double defaultNormalized;
};

// A parameter of the table as the host sees it: a stepped one is a list of
// its steps, every one can be automated; the default normalised with
// ((default - min) / (max - min))^(1 / shape).
Expected FromTable(ParamID id, const char* title) {
  const mirel::ParamRow& r = mirel::kParamTable[id];
  const bool stepped = r.kind == ParamKind::Stepped;
  return {id, title, stepped ? static_cast<int32>((r.maxValue - r.minValue) / r.step) : 0, stepped ? 9 : 1,
          std::pow((r.defaultValue - r.minValue) / (r.maxValue - r.minValue), 1.0 / r.shape)};
}

TEST_F(Controller, ParameterListAsTheHostSeesIt) {
  ASSERT_EQ(c->getParameterCount(), 16);
  // Units live in the value texts, so no units field is set.
  const Expected expected[] = {
      {kPrst, "Preset", kNumPresets - 1, 0x8008, 0.0},
      {kBpas, "Bypass", 1, 0x10009, 0.0},
      FromTable(kIdInput, "Input"),
      FromTable(kIdOutput, "Output"),
      FromTable(kIdAttack, "Attack"),
      FromTable(kIdRelease, "Release"),
      FromTable(kIdRatio, "Ratio"),
      FromTable(kIdHpf, "Sidechain"),
      FromTable(kIdMix, "Mix"),
      FromTable(kIdMidFreq, "Mid Freq"),
      FromTable(kIdMidGain, "Mid Gain"),
      FromTable(kIdHf, "HF"),
      FromTable(kIdBypass, "Bypass"),
      FromTable(kIdInterstage, "Interstage"),
      FromTable(kIdOversample, "Oversample"),
      FromTable(kIdSidechain, "Sidechain"),
  };
  for (int32 i = 0; i < 16; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(c->getParameterInfo(i, info), kResultOk);
    const Expected& e = expected[i];
    SCOPED_TRACE(e.title);
    EXPECT_EQ(info.id, e.id);
    EXPECT_EQ(host::ToUtf8(info.title), e.title);
    EXPECT_EQ(host::ToUtf8(info.shortTitle), "");
    EXPECT_EQ(host::ToUtf8(info.units), "");
    EXPECT_EQ(info.stepCount, e.stepCount);
    EXPECT_EQ(info.flags, e.flags);
    EXPECT_NEAR(info.defaultNormalizedValue, e.defaultNormalized, 1e-15);
    EXPECT_EQ(info.unitId, 0);
  }
  // The stepped parameters as lists: "Ratio" has four settings, the switches two.
  EXPECT_EQ(expected[2 + kIdRatio].stepCount, 3);
  for (ParamID id : {kIdBypass, kIdInterstage, kIdOversample, kIdSidechain}) EXPECT_EQ(expected[2 + id].stepCount, 1);
  ParameterInfo info{};
  EXPECT_EQ(c->getParameterInfo(16, info), kResultFalse);
  EXPECT_EQ(c->getParameterInfo(-1, info), kResultFalse);
}

TEST_F(Controller, ValueTextsAndConversionsBothWays) {
  // What the host shows for a value, a row each.
  const struct {
    ParamID id;
    double normalized;
    const char* text;
  } shown[] = {
      {kIdInput, 0.5, "-40.0 dB"},  // the threshold
      {kIdInput, 0.0, "off"},
      {kIdOutput, 0.0, "-30.0 dB"},
      {kIdOutput, 0.6, "+6.0 dB"},
      {kIdAttack, 0.0, "0.10 ms"},
      {kIdRelease, 1.0, "850 ms"},
      {kIdHpf, 0.2, "116 Hz"},
      {kIdMix, 0.25, "25 %"},
      {kIdMidFreq, 0.0, "500 Hz"},
      {kIdMidFreq, 0.5, "5.25 kHz"},
      {kIdMidFreq, 1.0, "10.0 kHz"},
      {kIdHf, 0.75, "-4.0 dB"},
      {kIdRatio, 0.5, "8:1"},  // 1.5 acts as the step 2
      {kIdRatio, 1.0, "12:1"},
      {kIdBypass, 1.0, "on"},
      {kIdInterstage, 0.0, "off"},
      {kIdOversample, 1.0, "16x"},
      {kIdSidechain, 0.0, "EXT"},
      {kIdSidechain, 1.0, "INT"},
  };
  for (const auto& r : shown) EXPECT_EQ(ValueText(*c, r.id, r.normalized), r.text) << r.id << " " << r.normalized;
  String128 s{};
  EXPECT_EQ(c->getParamStringByValue(12345, 0.0, s), kResultFalse);

  // What a typed text sets. A bare number is in the shown unit; beyond the
  // range it is bounded.
  const struct {
    ParamID id;
    const char* text;
    double normalized;
  } typed[] = {
      {kIdInput, "-40", 0.5},
      {kIdInput, "-1000", 1.0},
      {kIdOutput, "-15.5", (-15.5 + 30.0) / 60.0},
      {kBpas, "on", 1.0},
  };
  for (const auto& r : typed) {
    ParamValue v = -1.0;
    EXPECT_EQ(ReadValueText(*c, r.id, r.text, v), kResultOk) << r.text;
    EXPECT_DOUBLE_EQ(v, r.normalized) << r.text;
  }
  ParamValue v = 0;
  EXPECT_EQ(ReadValueText(*c, 777, "40", v), kResultFalse);

  EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(kIdRelease, 0.5), 0.02 + (0.85 - 0.02) * 0.25);
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(kIdRelease, 0.02 + (0.85 - 0.02) * 0.25), 0.5);
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(kIdInput, -5.0), 0.0);
  EXPECT_DOUBLE_EQ(c->plainParamToNormalized(kBpas, 0.7), 0.7);

  // Stepped values round to the nearest step and never pass the maximum.
  ASSERT_EQ(c->setParamNormalized(kIdRatio, 0.4), kResultOk);  // 1.2 -> 1
  EXPECT_DOUBLE_EQ(c->getParamNormalized(kIdRatio), 1.0 / 3.0);
  ASSERT_EQ(c->setParamNormalized(kIdRatio, 1.0), kResultOk);
  EXPECT_DOUBLE_EQ(c->getParamNormalized(kIdRatio), 1.0);
  ASSERT_EQ(c->setParamNormalized(kIdMix, 0.3), kResultOk);
  EXPECT_DOUBLE_EQ(c->getParamNormalized(kIdMix), 0.3);
  EXPECT_EQ(c->setParamNormalized(kPrst, 1.0), kResultFalse);
  EXPECT_EQ(c->getParamNormalized(kPrst), 0.0);
}

TEST_F(Controller, UnitsProgramListAndSmallAnswers) {
  IPtr<IUnitInfo> units = p.U<IUnitInfo>();
  ASSERT_TRUE(units);
  EXPECT_EQ(units->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
  EXPECT_EQ(unit.id, 0);
  EXPECT_EQ(unit.parentUnitId, -1);
  EXPECT_EQ(unit.programListId, static_cast<ProgramListID>(kPrst));  // the presets
  EXPECT_EQ(host::ToUtf8(unit.name), "Root Unit");
  EXPECT_EQ(units->getUnitInfo(1, unit), kResultFalse);
  EXPECT_EQ(units->getProgramListCount(), 1);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.id, static_cast<ProgramListID>(kPrst));
  EXPECT_EQ(host::ToUtf8(list.name), "Factory Presets");
  EXPECT_EQ(list.programCount, kNumPresets);
  EXPECT_EQ(units->getProgramListInfo(1, list), kResultFalse);
  String128 name{};
  ASSERT_EQ(units->getProgramName(kPrst, kNumPresets, name), kResultOk);
  EXPECT_EQ(host::ToUtf8(name), "");
  EXPECT_EQ(units->getProgramName(1234, 0, name), kResultFalse);
  EXPECT_EQ(units->getSelectedUnit(), 0);
  EXPECT_EQ(units->selectUnit(0), kNotImplemented);

  IPtr<IEditController2> c2 = p.U<IEditController2>();
  ASSERT_TRUE(c2);
  EXPECT_EQ(c2->setKnobMode(kLinearMode), kResultOk);
  EXPECT_EQ(c2->openHelp(false), kResultFalse);
  EXPECT_EQ(c2->openAboutBox(false), kResultFalse);
  EXPECT_EQ(c->setComponentState(nullptr), kNotImplemented);
  // A view for the name "editor" only.
  IPtr<IPlugView> view = owned(c->createView("editor"));
  EXPECT_TRUE(view);
  EXPECT_EQ(c->createView("Editor"), nullptr);
  view = nullptr;

  auto handler = host::MakeHostObject<host::RecordingComponentHandler>();
  EXPECT_EQ(c->setComponentHandler(handler.get()), kResultOk);
  EXPECT_EQ(c->setComponentHandler(handler.get()), kResultOk);
  EXPECT_EQ(handler->RefCount(), 2u);  // ours and the plug-in's one reference
}

// The size a host's resize handle gave the editor travels with the state: a
// new instance's view has it before it opens, and a state without it gives
// the editor its own size again.
TEST_F(Controller, TheSizeFromAHostsResizeHandleTravelsWithTheState) {
  Activate();
  const std::vector<std::uint8_t> before = p.State();
  IPtr<IPlugView> view = owned(c->createView("editor"));
  ASSERT_TRUE(view);
  ViewRect r{0, 0, 1257, 368};
  ASSERT_EQ(view->onSize(&r), kResultOk);
  EXPECT_EQ(WidthHeight(*view), (std::pair{1257, 368}));
  view = nullptr;
  const std::vector<std::uint8_t> saved = p.State();

  StartedPlug b;
  auto in = host::MakeHostObject<host::MemoryStream>(saved);
  ASSERT_EQ(b.component->setState(in.get()), kResultOk);
  view = owned(b.controller->createView("editor"));
  EXPECT_EQ(WidthHeight(*view), (std::pair{1257, 368}));
  auto old = host::MakeHostObject<host::MemoryStream>(before);
  ASSERT_EQ(b.component->setState(old.get()), kResultOk);
  EXPECT_EQ(WidthHeight(*view), (std::pair{838, 245}));
  EXPECT_EQ(b.State(), before);
  view = nullptr;
}

TEST_F(Controller, EveryValueTextCarriesItsUnitAndReadsBackToItsValue) {
  for (int32 i = 0; i < c->getParameterCount(); ++i) {
    ParameterInfo info{};
    ASSERT_EQ(c->getParameterInfo(i, info), kResultOk);
    if (info.id >= kIdCount) continue;
    SCOPED_TRACE(host::ToUtf8(info.title) + " " + std::to_string(info.id));
    // The ends, the default, every step of a list and a spread between.
    std::vector<double> values = {0.0, 1.0, info.defaultNormalizedValue, 0.13, 0.5, 0.77};
    for (int32 k = 1; k < info.stepCount; ++k) values.push_back(static_cast<double>(k) / info.stepCount);
    for (double v : values) {
      const std::string t = ValueText(*c, info.id, v);
      SCOPED_TRACE(t);
      // A unit or a word, never a bare number.
      EXPECT_NE(t.find_first_not_of("0123456789.+- "), std::string::npos);
      ParamValue back = -1.0;
      ASSERT_EQ(ReadValueText(*c, info.id, t, back), kResultOk);
      EXPECT_EQ(ValueText(*c, info.id, back), t);
      const bool exact = v == 0.0 || v == 1.0 || v == info.defaultNormalizedValue || info.stepCount > 0;
      if (exact && info.stepCount > 0) {
        EXPECT_EQ(std::floor(back * info.stepCount + 0.5), std::floor(v * info.stepCount + 0.5));
      } else if (exact) {
        EXPECT_NEAR(back, v, 1e-9);
      }
    }
    // A stepped value between steps (an automation ramp's 0.9997, a host's
    // 1.6 of 3) is shown as the step it acts as.
    for (int32 j = 0; info.stepCount > 0 && j <= 16 * info.stepCount; ++j) {
      const double v = j == 16 * info.stepCount ? 0.9997 : static_cast<double>(j) / (16 * info.stepCount);
      ASSERT_EQ(c->setParamNormalized(info.id, v), kResultOk);
      EXPECT_EQ(ValueText(*c, info.id, v), ValueText(*c, info.id, c->getParamNormalized(info.id))) << v;
    }
    // Unknown texts are refused and leave the value alone.
    for (const char* bad : {"", "loud", "12 parsecs", "nan", "inf dB"}) {
      ParamValue v = -1.0;
      EXPECT_EQ(ReadValueText(*c, info.id, bad, v), kResultFalse) << bad;
      EXPECT_EQ(v, -1.0);
    }
  }
}

TEST_F(Controller, TypedFormsReadAsAPersonMeansThem) {
  struct Case {
    ParamID id;
    const char* text;
    double plain;
  };
  const Case cases[] = {
      {kIdInput, "-30", 30},          {kIdInput, "-30dB", 30},        {kIdInput, " -30 DB ", 30},
      {kIdInput, "OFF", 0},           {kIdOutput, "+6", 6},           {kIdOutput, "6 db", 6},
      {kIdAttack, "0.4", 0.0004},     {kIdAttack, "0.4ms", 0.0004},   {kIdAttack, "0.0004 s", 0.0004},
      {kIdRelease, "0.1s", 0.1},      {kIdRelease, "250 MS", 0.25},   {kIdRatio, "8", 2},
      {kIdRatio, "8:1", 2},           {kIdRatio, "12:1", 3},          {kIdHpf, "0.12k", 120},
      {kIdMix, "90%", 90},            {kIdMix, "90 %", 90},           {kIdMidFreq, "2k", 2000},
      {kIdMidFreq, "2 kHz", 2000},    {kIdMidFreq, "2000hz", 2000},   {kIdMidGain, "-3", -3},
      {kIdHf, "-4 dB", -4},           {kIdBypass, "On", 1},           {kIdInterstage, "on", 1},
      {kIdOversample, "16", 1},       {kIdOversample, "16X", 1},      {kIdOversample, "4x", 0},
      {kIdSidechain, "ext", 0},       {kIdSidechain, "Int", 1},
  };
  for (const Case& k : cases) {
    ParamValue v = -1.0;
    ASSERT_EQ(ReadValueText(*c, k.id, k.text, v), kResultOk) << k.text;
    EXPECT_NEAR(v, c->plainParamToNormalized(k.id, k.plain), 1e-12) << k.text;
  }
  // A number naming no list entry, or the wrong unit, is refused.
  const std::pair<ParamID, const char*> refused[] = {
      {kIdRatio, "3"},        {kIdRatio, "5:1"},   {kIdOversample, "8x"}, {kIdAttack, "0.4 dB"},
      {kIdInput, "-30 Hz"},   {kIdBypass, "maybe"}, {kIdMidFreq, "2 MHz"}, {kIdSidechain, "side"},
      {kIdMix, "\u0139\u0130"},  // letters beyond Latin-1 whose low bytes are the digits "90"
  };
  for (const auto& [id, text] : refused) {
    ParamValue v = -1.0;
    EXPECT_EQ(ReadValueText(*c, id, text, v), kResultFalse) << text;
  }
}

TEST_F(Controller, ThePresetsAreTheProgramListAndThePresetParameterLoadsEach) {
  Activate();
  IPtr<IUnitInfo> units = p.U<IUnitInfo>();
  ASSERT_TRUE(units);
  ASSERT_GE(kNumPresets, 6);
  EXPECT_STREQ(mirel::kFactoryPresets[0].name, "Default");
  for (int k = 0; k < kNumPresets; ++k) {
    const mirel::FactoryPreset& preset = mirel::kFactoryPresets[k];
    SCOPED_TRACE(preset.name);
    const double v = static_cast<double>(k) / (kNumPresets - 1);
    String128 name{};
    ASSERT_EQ(units->getProgramName(kPrst, k, name), kResultOk);
    EXPECT_EQ(host::ToUtf8(name), preset.name);
    EXPECT_EQ(ValueText(*c, kPrst, v), preset.name);
    ParamValue back = -1.0;
    ASSERT_EQ(ReadValueText(*c, kPrst, preset.name, back), kResultOk);
    EXPECT_DOUBLE_EQ(back, v);

    auto reported = host::MakeHostObject<host::ParameterChanges>();
    p.SendParam(kIdMix, 0.123, reported.get());  // a value no preset holds
    EXPECT_EQ(reported->getParameterCount(), 0) << "the host's own change is not echoed";
    p.SendParam(kPrst, v, reported.get());
    // The host hears every value the preset set, so its controls follow.
    ASSERT_EQ(reported->getParameterCount(), kIdCount);
    for (ParamID id = 0; id < kIdCount; ++id) {
      EXPECT_DOUBLE_EQ(c->getParamNormalized(id), c->plainParamToNormalized(id, preset.values[id])) << id;
      IParamValueQueue* q = reported->getParameterData(static_cast<int32>(id));
      ASSERT_TRUE(q);
      int32 offset = -1;
      ParamValue told = -1.0;
      ASSERT_EQ(q->getPointCount(), 1);
      ASSERT_EQ(q->getPoint(0, offset, told), kResultOk);
      EXPECT_EQ(q->getParameterId(), id);
      EXPECT_EQ(offset, 0);
      EXPECT_DOUBLE_EQ(told, c->getParamNormalized(id)) << id;
    }
  }
  // "Default" holds the defaults the host is told.
  for (int32 i = 0; i < c->getParameterCount(); ++i) {
    ParameterInfo info{};
    ASSERT_EQ(c->getParameterInfo(i, info), kResultOk);
    if (info.id >= kIdCount) continue;
    EXPECT_NEAR(c->plainParamToNormalized(info.id, mirel::kFactoryPresets[0].values[info.id]),
                info.defaultNormalizedValue, 1e-15) << info.id;
  }
}

}  // namespace
}  // namespace mirel::test
