// The processor side of the built module: life cycle, buses, processing on
// both sample sizes, host parameter changes, host bypass and state.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "pluginterfaces/gui/iplugview.h"
#include "tests/integration/PlugFixture.h"
#include "tests/support/StartedPlug.h"
#include "tests/support/ParamTexts.h"
#include "tests/support/StateBytes.h"
#include "tests/support/ViewSize.h"

namespace mirel::test {
namespace {

using testsupport::ValueText;
using testsupport::WidthHeight;

std::string BusName(IComponent* c, MediaType t, BusDirection d, int32 i) {
  BusInfo info{};
  if (c->getBusInfo(t, d, i, info) != kResultOk) return "<none>";
  return host::ToUtf8(info.name);
}

void ExpectMirelBuses(IComponent* c) {
  ASSERT_EQ(c->getBusCount(kAudio, kInput), 2);
  ASSERT_EQ(c->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
  EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
  BusInfo info{};
  ASSERT_EQ(c->getBusInfo(kAudio, kInput, 0, info), kResultOk);
  EXPECT_EQ(host::ToUtf8(info.name), "Main Input");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
  EXPECT_EQ(info.mediaType, kAudio);
  EXPECT_EQ(info.direction, kInput);
  ASSERT_EQ(c->getBusInfo(kAudio, kInput, 1, info), kResultOk);
  EXPECT_EQ(host::ToUtf8(info.name), "Aux Input");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kAux);
  EXPECT_EQ(info.flags, 0u);
  ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, info), kResultOk);
  EXPECT_EQ(host::ToUtf8(info.name), "Output");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(c->getBusInfo(kAudio, kInput, 2, info), kInvalidArgument);
  EXPECT_EQ(c->getBusInfo(kEvent, kInput, 0, info), kInvalidArgument);
}

TEST(Processor, LifeCycleAndBuses) {
  Plug p;
  EXPECT_EQ(p.component->getBusCount(kAudio, kInput), 0);
  ASSERT_EQ(p.Initialize(), kResultOk);
  ExpectMirelBuses(p.component.get());
  EXPECT_EQ(p.controller->getParameterCount(), 16);
  // A second initialize is refused and builds nothing twice.
  EXPECT_EQ(p.Initialize(), kResultFalse);
  ExpectMirelBuses(p.component.get());
  EXPECT_EQ(p.controller->getParameterCount(), 16);

  TUID cid{};
  EXPECT_EQ(p.component->getControllerClassId(cid), kNotImplemented);
  EXPECT_EQ(p.processor->canProcessSampleSize(kSample32), kResultOk);
  EXPECT_EQ(p.processor->canProcessSampleSize(kSample64), kResultOk);
  EXPECT_EQ(p.processor->canProcessSampleSize(2), kResultFalse);
  EXPECT_EQ(p.processor->getLatencySamples(), 0u);
  EXPECT_EQ(p.processor->getTailSamples(), 0u);

  // Sidechain effects need both input arrangements.
  SpeakerArrangement in1[1] = {0x3};
  SpeakerArrangement out1[1] = {0x3};
  EXPECT_EQ(p.processor->setBusArrangements(in1, 1, out1, 1), kResultFalse);
  ASSERT_EQ(p.Arrange(), kResultOk);
  SpeakerArrangement arr = 0;
  ASSERT_EQ(p.processor->getBusArrangement(kInput, 1, arr), kResultOk);
  EXPECT_EQ(arr, 0x3u);
  EXPECT_EQ(p.processor->getBusArrangement(kOutput, 1, arr), kInvalidArgument);
  // The buses built by initialize keep their names.
  EXPECT_EQ(BusName(p.component.get(), kAudio, kInput, 1), "Aux Input");
  // A mono sidechain rebuilds the input buses under the set-up names.
  ASSERT_EQ(p.Arrange(0x3, 0x80000, 0x3), kResultOk);
  EXPECT_EQ(BusName(p.component.get(), kAudio, kInput, 0), "Input");
  EXPECT_EQ(BusName(p.component.get(), kAudio, kInput, 1), "Sidechain Input");
  ASSERT_EQ(p.Arrange(), kResultOk);

  EXPECT_EQ(p.Setup(48000.0, 256, 3), kResultFalse);
  ASSERT_EQ(p.Setup(48000.0, 256), kResultOk);
  ASSERT_EQ(p.component->activateBus(kAudio, kInput, 1, true), kResultOk);
  EXPECT_EQ(p.component->activateBus(kAudio, kInput, 5, true), kInvalidArgument);
  ASSERT_EQ(p.component->setActive(true), kResultOk);
  host::ProcessBuffers b(kSample32, 256, 2, 2, 2);
  FillInputs(b, 256, 7);
  b.SetNumSamples(256);
  EXPECT_EQ(p.processor->process(b.Data()), kResultOk);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(std::isfinite(b.Output(0, i)) && std::isfinite(b.Output(1, i)));
  EXPECT_EQ(p.component->setActive(false), kResultOk);
  EXPECT_EQ(p.component->terminate(), kResultOk);
  EXPECT_EQ(p.component->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(p.controller->getParameterCount(), 0);

  // Terminate, then initialize again: as good as new.
  ASSERT_EQ(p.Initialize(), kResultOk);
  ExpectMirelBuses(p.component.get());
  EXPECT_EQ(p.controller->getParameterCount(), 16);
  ParameterInfo info{};
  ASSERT_EQ(p.controller->getParameterInfo(15, info), kResultOk);
  EXPECT_EQ(info.id, static_cast<ParamID>(kIdSidechain));
  p.Stop();
}

// Renders the same seeded signal on one road; returns output channel 0 and 1.
std::vector<double> Render(int32 sampleSize, bool sidechainActive) {
  StartedPlug p(44100.0, 300, sampleSize);
  if (sidechainActive) p.component->activateBus(kAudio, kInput, 1, true);
  p.SendParam(kIdRatio, 1.0);
  p.SendParam(kIdInput, 0.4);
  std::vector<double> out;
  host::ProcessBuffers b(sampleSize, 300, 2, 2, 2);
  std::uint32_t seed = 99;
  for (int block = 0; block < 6; ++block) {
    const int n = 300 - 37 * block;
    for (int ch = 0; ch < 2; ++ch) {
      for (int i = 0; i < n; ++i) {
        b.SetInput(0, ch, i, Noise(seed));
        b.SetInput(1, ch, i, Noise(seed) * 0.5f);
      }
    }
    b.SetNumSamples(n);
    EXPECT_EQ(p.processor->process(b.Data()), kResultOk);
    for (int i = 0; i < n; ++i) {
      out.push_back(b.Output(0, i));
      out.push_back(b.Output(1, i));
    }
  }
  return out;
}

TEST(Processor, SingleAndDoublePrecisionAgreeUpToFloatRounding) {
  for (bool sidechain : {false, true}) {
    const std::vector<double> a = Render(kSample32, sidechain);
    const std::vector<double> d = Render(kSample64, sidechain);
    ASSERT_EQ(a.size(), d.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      ASSERT_TRUE(std::isfinite(d[i])) << i;
      // The 32-bit road differs only by narrowing the output to float.
      ASSERT_EQ(a[i], static_cast<double>(static_cast<float>(d[i]))) << "sample " << i;
    }
  }
}

TEST(Processor, OnlyTheLastPointOfAQueueApplies) {
  StartedPlug p;
  auto changes = host::MakeHostObject<host::ParameterChanges>();
  changes->Add(kIdRatio, 0.9, 0);
  changes->Add(kIdRatio, 0.1, 20);
  changes->Add(kIdRatio, 0.5, 40);  // 1.5 steps rounds half up to 2 of 3
  changes->Add(kIdMix, 0.25, 3);
  changes->Add(9999, 0.7, 0);       // unknown ids are ignored
  host::ProcessBuffers b(kSample32, 64, 2, 2, 2);
  b.SetNumSamples(64);
  b.SetParameterChanges(changes.get());
  ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
  EXPECT_DOUBLE_EQ(p.controller->getParamNormalized(kIdRatio), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(p.controller->getParamNormalized(kIdMix), 0.25);
}

TEST(Processor, HostBypassThresholdAndPassThrough) {
  StartedPlug p(48000.0, 128);
  p.component->activateBus(kAudio, kInput, 1, true);
  host::ProcessBuffers b(kSample32, 128, 2, 2, 2);
  FillInputs(b, 128, 3);
  b.SetNumSamples(128);

  p.SendParam(kBpas, 0.5);
  EXPECT_EQ(p.controller->getParamNormalized(kBpas), 0.0);
  p.SendParam(kBpas, 0.51);
  EXPECT_EQ(p.controller->getParamNormalized(kBpas), 1.0);
  b.FillOutputs(7.0);
  ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < 128; ++i) ASSERT_EQ(b.Output(ch, i), b.Input(0, ch, i));
  }
  // A new set-up keeps the host bypass.
  ASSERT_EQ(p.Setup(48000.0, 128), kResultOk);
  EXPECT_EQ(p.controller->getParamNormalized(kBpas), 1.0);
}

TEST(Processor, HostBypassIsAParameterOfTheController) {
  StartedPlug p(48000.0, 64);
  for (double v : {0.51, 0.5, 1.0, 0.0}) {
    ASSERT_EQ(p.controller->setParamNormalized(kBpas, v), kResultOk);
    EXPECT_EQ(p.controller->getParamNormalized(kBpas), v > 0.5 ? 1.0 : 0.0) << v;
  }
  EXPECT_EQ(p.controller->setParamNormalized(kBpas, std::nan("")), kResultFalse);
  EXPECT_EQ(p.controller->getParamNormalized(kBpas), 0.0);
  EXPECT_EQ(ValueText(*p.controller, kBpas, 1.0), "on");
  EXPECT_EQ(ValueText(*p.controller, kBpas, 0.5), "off");
  EXPECT_EQ(p.controller->getParamStringByValue(kBpas, 0.0, nullptr), kInvalidArgument);
}

TEST(Processor, RestoredHostBypassOutlivesANewSetUp) {
  Plug a;
  a.Start();
  a.SendParam(kIdInput, 0.5);  // compresses, so a bypass failure shows
  a.SendParam(kBpas, 1.0);
  const std::vector<std::uint8_t> state = a.State();
  a.Stop();

  Plug p;
  ASSERT_EQ(p.Initialize(), kResultOk);
  ASSERT_EQ(p.Arrange(), kResultOk);
  auto stream = host::MakeHostObject<host::MemoryStream>(state);
  ASSERT_EQ(p.component->setState(stream.get()), kResultOk);
  ASSERT_EQ(p.Setup(44100.0, 256), kResultOk);
  ASSERT_EQ(p.component->setActive(true), kResultOk);
  host::ProcessBuffers b(kSample32, 256, 2, 2, 2);
  FillInputs(b, 256, 11);
  b.SetNumSamples(256);
  ASSERT_EQ(p.processor->process(b.Data()), kResultOk);
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < 256; ++i) ASSERT_EQ(b.Output(ch, i), b.Input(0, ch, i)) << ch << " " << i;
  }
  p.Stop();
}

TEST(Processor, StateRoundTripWithHostBypassThroughBothInterfaces) {
  StartedPlug a;
  a.SendParam(kIdInput, 0.5);   // 40 (range 0..80)
  a.SendParam(kIdRatio, 1.0);   // 3
  a.SendParam(kIdAttack, 0.5);  // 0.0001 + 0.001 * 0.25
  a.SendParam(kIdOutput, 0.75); // -30 + 60 * 0.75
  a.SendParam(kBpas, 1.0);
  const std::vector<std::uint8_t> state = a.State();
  ASSERT_EQ(state.size(), 14u * 8u + 4u);
  EXPECT_EQ(LittleEndianDouble(state, 8 * kIdInput), 40.0);
  EXPECT_EQ(LittleEndianDouble(state, 8 * kIdRatio), 3.0);
  EXPECT_EQ(LittleEndianDouble(state, 8 * kIdAttack), 0.0001 + (0.0011 - 0.0001) * 0.25);
  EXPECT_EQ(LittleEndianDouble(state, 8 * kIdOutput), -30.0 + 60.0 * 0.75);
  EXPECT_EQ(LittleEndianDouble(state, 8 * kIdMix), 100.0);
  EXPECT_EQ(std::vector<std::uint8_t>(state.end() - 4, state.end()),
            (std::vector<std::uint8_t>{1, 0, 0, 0}));

  // The edit controller's getState carries the same bytes.
  auto viaController = host::MakeHostObject<host::MemoryStream>();
  ASSERT_EQ(a.controller->getState(viaController.get()), kResultOk);
  EXPECT_EQ(viaController->Data(), state);

  for (bool throughComponent : {true, false}) {
    StartedPlug b;
    auto stream = host::MakeHostObject<host::MemoryStream>(state);
    const tresult r = throughComponent ? b.component->setState(stream.get())
                                       : b.controller->setState(stream.get());
    ASSERT_EQ(r, kResultOk);
    for (ParamID id = 0; id < kIdCount; ++id) {
      EXPECT_EQ(b.controller->getParamNormalized(id), a.controller->getParamNormalized(id)) << id;
    }
    EXPECT_EQ(b.controller->getParamNormalized(kBpas), 1.0);
    EXPECT_EQ(b.State(), state);
  }
}

// Arrangements no configuration lists are refused and leave the buses as
// they were: mono or surround output, mono or surround main input.
TEST(Processor, UnlistedBusArrangementsAreRefused) {
  Plug p;
  ASSERT_EQ(p.Initialize(), kResultOk);
  ASSERT_EQ(p.Arrange(), kResultOk);
  constexpr SpeakerArrangement kMono = 0x80000;
  constexpr SpeakerArrangement kStereo = 0x3;
  constexpr SpeakerArrangement k51 = 0x3F;
  EXPECT_EQ(p.Arrange(kStereo, kStereo, kMono), kResultFalse);
  EXPECT_EQ(p.Arrange(kStereo, kStereo, k51), kResultFalse);
  EXPECT_EQ(p.Arrange(kMono, kStereo, kStereo), kResultFalse);
  EXPECT_EQ(p.Arrange(k51, kStereo, kStereo), kResultFalse);
  EXPECT_EQ(p.Arrange(kMono, kMono, kMono), kResultFalse);
  SpeakerArrangement arr = 0;
  ASSERT_EQ(p.processor->getBusArrangement(kOutput, 0, arr), kResultOk);
  EXPECT_EQ(arr, kStereo);
  ASSERT_EQ(p.processor->getBusArrangement(kInput, 0, arr), kResultOk);
  EXPECT_EQ(arr, kStereo);
  p.Stop();
}

std::vector<std::uint8_t> Fixture(const char* name) {
  std::vector<std::uint8_t> bytes(300);
  std::FILE* f = std::fopen((std::string(MIREL_TEST_DATA "/") + name).c_str(), "rb");
  EXPECT_NE(f, nullptr) << name;
  if (!f) return {};
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return bytes;
}

using testsupport::operator+;

// A later release's section block: tag "sect", version 2, 16 bytes holding
// one section this release does not know ("new!", 8 bytes: 42.0).
std::vector<std::uint8_t> LaterSection() {
  return {'s', 'e', 'c', 't', 2, 0, 0, 0, 16, 0, 0, 0, 'n', 'e', 'w', '!', 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x45, 0x40};
}

// States saved by Mirel 4.1.0 (before value texts and factory presets) and
// by the release that added the zoom restore the same values and zoom, and
// are written back byte for byte; a later section is skipped.
TEST(Processor, StatesOfEarlierReleasesRestoreTheSameValuesAndWriteBackTheSameBytes) {
  const std::vector<std::uint8_t> plain = Fixture("state-4.1.0.bin");
  const std::vector<std::uint8_t> zoomed = Fixture("state-zoom-1.5.bin");
  ASSERT_EQ(plain.size(), 14u * 8u + 4u);
  ASSERT_EQ(zoomed.size(), plain.size() + 12u);
  ASSERT_TRUE(std::equal(plain.begin(), plain.end(), zoomed.begin()));
  const struct {
    const char* reason;
    std::vector<std::uint8_t> saved, writtenBack;
    int width, height;
  } cases[] = {
      {"4.1.0", plain, plain, 838, 245},
      {"with the zoom trailer", zoomed, zoomed, 1257, 368},
      {"with the zoom trailer and a later section", zoomed + LaterSection(), zoomed, 1257, 368},
      {"4.1.0 and a later section", plain + LaterSection(), plain, 838, 245},
  };
  // The values it was saved with (some went through a normalised value).
  const double intended[kIdCount] = {24.5, -3.25, 0.0007, 0.25, 3, 120, 75.5, 2500, 2.5, -4, 0, 1, 1, 0};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    StartedPlug p;
    auto stream = host::MakeHostObject<host::MemoryStream>(c.saved);
    ASSERT_EQ(p.component->setState(stream.get()), kResultOk);
    for (ParamID id = 0; id < kIdCount; ++id) {
      const double plainValue = LittleEndianDouble(c.saved, 8 * id);
      EXPECT_NEAR(plainValue, intended[id], 1e-12) << id;
      EXPECT_EQ(p.controller->getParamNormalized(id), p.controller->plainParamToNormalized(id, plainValue)) << id;
    }
    EXPECT_EQ(ValueText(*p.controller, kIdRatio, p.controller->getParamNormalized(kIdRatio)), "12:1");
    EXPECT_EQ(p.controller->getParamNormalized(kBpas), 0.0);
    IPtr<IPlugView> view = owned(p.controller->createView("editor"));
    ASSERT_TRUE(view);
    EXPECT_EQ(WidthHeight(*view), (std::pair{c.width, c.height}));
    view = nullptr;
    EXPECT_EQ(p.State(), c.writtenBack);
  }
}

}  // namespace
}  // namespace mirel::test
