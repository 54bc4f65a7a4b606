// Our VST3 base classes on their own: reference counting, type chain, buses,
// parameters, the factory and the controller's edit forwarding.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/HostStrings.h"
#include "vst3/sdk/Bus.h"
#include "vst3/sdk/CPluginFactory.h"
#include "vst3/sdk/EditController.h"
#include "vst3/sdk/FObject.h"
#include "vst3/sdk/Parameter.h"
#include "vst3/sdk/VstString.h"
#include "tests/support/VstOwner.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using testsupport::MakeVstOwner;

namespace {

// Counts destructions so tests can see when an object really ends.
struct Tracked : FObject {
  explicit Tracked(std::atomic<int>& deaths) : deaths_(deaths) {}
  ~Tracked() override { ++deaths_; }
  std::atomic<int>& deaths_;
};

TEST(FObject, CountsAcrossThreadsAndDestroysAtZero) {
  std::atomic<int> deaths{0};
  auto* obj = new Tracked(deaths);
  EXPECT_EQ(obj->getRefCount(), 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([obj] {
      for (int i = 0; i < 20000; ++i) {
        obj->addRef();
        obj->release();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(deaths.load(), 0);
  EXPECT_EQ(obj->addRef(), 2u);
  EXPECT_EQ(obj->release(), 1u);
  EXPECT_EQ(obj->release(), 0u);
  EXPECT_EQ(deaths.load(), 1);
}

TEST(FObject, AnswersFUnknownOnlyAndKnowsItsClassChain) {
  auto bus = MakeVstOwner<AudioBus>(nullptr, kMain, BusInfo::kDefaultActive, 0x3);
  void* obj = nullptr;
  ASSERT_EQ(bus->queryInterface(FUnknown::iid, &obj), kResultOk);
  EXPECT_EQ(bus->getRefCount(), 2);
  static_cast<FUnknown*>(obj)->release();
  obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(bus->queryInterface(IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);

  EXPECT_STREQ(bus->isA(), "Vst::AudioBus");
  EXPECT_TRUE(bus->isA("Vst::AudioBus"));
  EXPECT_TRUE(bus->isA("Bus"));
  EXPECT_TRUE(bus->isA("FObject"));
  EXPECT_FALSE(bus->isA("Parameter"));
  EXPECT_FALSE(bus->isTypeOf("Bus", false));
  EXPECT_FALSE(bus->isA(nullptr));

  auto list = MakeVstOwner<StringListParameter>("L", 1, "", 0, 0);
  EXPECT_TRUE(list->isA("StringListParameter"));
  EXPECT_TRUE(list->isA("Parameter"));
}

TEST(Bus, InfoActivationAndOwningList) {
  String128 name{};
  WidenInto(name, 128, "Side");
  BusList list(kAudio, kInput);
  list.append(new AudioBus(name, kAux, 0, 0x33));
  list.append(new AudioBus(name, kMain, BusInfo::kDefaultActive, 0x80000));
  ASSERT_EQ(list.size(), 2);
  EXPECT_EQ(list.at(2), nullptr);
  EXPECT_EQ(list.at(-1), nullptr);
  EXPECT_FALSE(list.at(0)->isActive());  // no default-active flag: off until activated
  EXPECT_TRUE(list.at(1)->isActive());
  BusInfo info{};
  ASSERT_TRUE(list.at(0)->getInfo(info));
  EXPECT_EQ(info.channelCount, 4);
  EXPECT_EQ(info.busType, kAux);
  EXPECT_EQ(mirel::host::ToUtf8(info.name), "Side");
  ASSERT_TRUE(list.at(1)->getInfo(info));
  EXPECT_EQ(info.channelCount, 1);

  Bus* kept = list.at(0);
  kept->addRef();
  list.removeAll();
  EXPECT_EQ(list.size(), 0);
  EXPECT_EQ(kept->release(), 0u);  // the list had released its reference
}

TEST(Parameter, StringListStepsTextsAndConversions) {
  auto p = MakeVstOwner<StringListParameter>("Mode", 7, "", ParameterInfo::kCanAutomate, 0);
  EXPECT_EQ(p->getInfo().stepCount, -1);
  p->appendString("off");
  EXPECT_EQ(p->getInfo().stepCount, 0);
  p->appendString("on");
  p->appendString("auto");
  EXPECT_EQ(p->getInfo().stepCount, 2);
  EXPECT_EQ(p->getInfo().flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsList);
  String128 text{};
  p->toString(0.0, text);
  EXPECT_EQ(mirel::host::ToUtf8(text), "off");
  p->toString(0.5, text);
  EXPECT_EQ(mirel::host::ToUtf8(text), "on");
  p->toString(1.0, text);
  EXPECT_EQ(mirel::host::ToUtf8(text), "auto");
  ParamValue v = -1;
  WidenInto(text, 128, "auto");
  ASSERT_TRUE(p->fromString(text, v));
  EXPECT_EQ(v, 1.0);
  WidenInto(text, 128, "au");
  EXPECT_FALSE(p->fromString(text, v));
  EXPECT_EQ(p->toPlain(0.5), 1.0);
  EXPECT_EQ(p->toNormalized(1.0), 0.5);
  EXPECT_TRUE(p->setNormalized(2.0));  // clamped into 0..1
  EXPECT_EQ(p->getNormalized(), 1.0);
  EXPECT_FALSE(p->setNormalized(1.0));
}

TEST(Parameter, ContainerFindsByIdAndIndexAndRefusesDuplicates) {
  ParameterContainer c;
  Parameter* a = c.addParameter(new Parameter("A", 100, "dB", 0.25, 0, 1, 0));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(c.addParameter(new Parameter("B", 5, "", 0.0, 4, 0, 0)), nullptr);
  EXPECT_EQ(c.addParameter(new Parameter("C", 100, "", 0.0, 0, 0, 0)), nullptr);
  EXPECT_EQ(c.addParameter(nullptr), nullptr);
  ASSERT_EQ(c.getParameterCount(), 2);
  EXPECT_EQ(c.getParameter(100), a);
  EXPECT_EQ(c.getParameterByIndex(0), a);
  EXPECT_EQ(c.getParameterByIndex(1)->getInfo().id, 5u);
  EXPECT_EQ(c.getParameter(6), nullptr);
  EXPECT_EQ(c.getParameterByIndex(2), nullptr);
  EXPECT_EQ(mirel::host::ToUtf8(a->getInfo().title), "A");
  EXPECT_EQ(mirel::host::ToUtf8(a->getInfo().units), "dB");
  EXPECT_EQ(a->getNormalized(), 0.25);
  // A stepped plain parameter: four steps over 0..1.
  const Parameter* b = c.getParameter(5);
  EXPECT_EQ(b->toPlain(0.5), 2.0);
  EXPECT_EQ(b->toPlain(1.0), 4.0);
  EXPECT_EQ(b->toNormalized(3.0), 0.75);
  String128 text{};
  b->toString(0.6, text);
  EXPECT_EQ(mirel::host::ToUtf8(text), "3");
  c.removeAll();
  EXPECT_EQ(c.getParameterCount(), 0);
  EXPECT_EQ(c.getParameter(100), nullptr);
}

TEST(VstString, WidenNarrowAndFixedFieldsTruncate) {
  char16 wide[4];
  WidenInto(wide, 4, "abcdef");
  EXPECT_EQ(wide[2], u'c');
  EXPECT_EQ(wide[3], 0);
  EXPECT_EQ(Narrow(wide, 4, 2), "ab");
  const char16 high[] = {0x00E9, 0x0141, 0};
  EXPECT_EQ(Narrow(high, 3, 127), std::string("\xE9\x41"));
  char8 field[5];
  std::memset(field, 'x', sizeof field);
  CopyFixed(field, sizeof field, "Mirel!");
  EXPECT_EQ(std::string(field), "Mire");
  CopyFixed(field, sizeof field, "ab");
  EXPECT_EQ(field[3], 0);
}

// ---- Factory ------------------------------------------------------------------

struct FactoryFixture : testing::Test {
  static inline std::atomic<int> deaths{0};
  static FUnknown* MakeTracked(void*) { return static_cast<FObject*>(new Tracked(deaths)); }
  static FUnknown* MakeNothing(void*) { return nullptr; }

  static PClassInfo2 Info(std::uint8_t idByte, const char* name) {
    PClassInfo2 info{};
    std::memset(info.cid, idByte, sizeof(TUID));
    CopyFixed(info.category, sizeof info.category, "Test Class");
    CopyFixed(info.name, sizeof info.name, name);
    CopyFixed(info.version, sizeof info.version, "1.2.3");
    info.cardinality = PClassInfo::kManyInstances;
    return info;
  }
};

TEST_F(FactoryFixture, ClassInfoInBothFormsAndUnicodeOnlyEntries) {
  PFactoryInfo fi{};
  CopyFixed(fi.vendor, sizeof fi.vendor, "V");
  auto f = MakeVstOwner<CPluginFactory>(fi);
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(f->registerClass(Info(static_cast<std::uint8_t>(i + 1), "C"), &MakeTracked));
  PClassInfoW w = WidenClassInfo(Info(0x77, "Wide"));
  ASSERT_TRUE(f->registerClass(w, &MakeTracked));
  EXPECT_EQ(f->countClasses(), 13);

  PClassInfo2 info2{};
  ASSERT_EQ(f->getClassInfo2(3, &info2), kResultOk);
  EXPECT_EQ(static_cast<std::uint8_t>(info2.cid[0]), 4);
  PClassInfoW wide{};
  ASSERT_EQ(f->getClassInfoUnicode(3, &wide), kResultOk);
  EXPECT_EQ(mirel::host::ToUtf8(wide.version), "1.2.3");
  EXPECT_EQ(mirel::host::ToUtf8(wide.name), "C");

  // An entry registered in UTF-16 has no 8-bit record: zero-filled, kResultFalse.
  PClassInfo basic;
  std::memset(static_cast<void*>(&basic), 0xAB, sizeof basic);
  EXPECT_EQ(f->getClassInfo(12, &basic), kResultFalse);
  EXPECT_EQ(basic.name[0], 0);
  EXPECT_EQ(basic.cardinality, 0);
  ASSERT_EQ(f->getClassInfoUnicode(12, &wide), kResultOk);
  EXPECT_EQ(mirel::host::ToUtf8(wide.name), "Wide");
  EXPECT_EQ(f->getClassInfoUnicode(13, &wide), kInvalidArgument);
}

TEST_F(FactoryFixture, CreateInstanceReleasesWhatItCannotHandOut) {
  auto* f = new CPluginFactory(PFactoryInfo{});
  static std::atomic<int> released{0};
  f->setReleaseHook([](CPluginFactory*) { ++released; });
  ASSERT_TRUE(f->registerClass(Info(1, "Obj"), &MakeTracked));
  ASSERT_TRUE(f->registerClass(Info(2, "Null"), &MakeNothing));
  TUID id1, id2, id3;
  std::memset(id1, 1, sizeof id1);
  std::memset(id2, 2, sizeof id2);
  std::memset(id3, 3, sizeof id3);

  deaths = 0;
  void* obj = nullptr;
  ASSERT_EQ(f->createInstance(id1, FUnknown::iid, &obj), kResultOk);
  EXPECT_EQ(static_cast<FObject*>(static_cast<FUnknown*>(obj))->getRefCount(), 1);
  static_cast<FUnknown*>(obj)->release();
  EXPECT_EQ(deaths.load(), 1);
  // The object does not answer the asked interface: it is destroyed at once.
  obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(f->createInstance(id1, IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(deaths.load(), 2);
  EXPECT_EQ(f->createInstance(id2, FUnknown::iid, &obj), kNoInterface);
  EXPECT_EQ(f->createInstance(id3, FUnknown::iid, &obj), kNoInterface);
  EXPECT_EQ(f->createInstance(id1, FUnknown::iid, nullptr), kInvalidArgument);

  EXPECT_EQ(f->addRef(), 2u);
  EXPECT_EQ(f->release(), 1u);
  EXPECT_EQ(released.load(), 0);
  EXPECT_EQ(f->release(), 0u);
  EXPECT_EQ(released.load(), 1);
}

TEST_F(FactoryFixture, ADyingFactoryGivesNoNewReference) {
  static std::atomic<int> revived{-1};
  auto* f = new CPluginFactory(PFactoryInfo{});
  ASSERT_TRUE(f->addRefIfAlive());
  EXPECT_EQ(f->release(), 1u);
  // The module's shared pointer may still name the factory while its last
  // reference goes; from then on it must not be handed out again.
  f->setReleaseHook([](CPluginFactory* dying) { revived = dying->addRefIfAlive() ? 1 : 0; });
  EXPECT_EQ(f->release(), 0u);
  EXPECT_EQ(revived.load(), 0);
}

// ---- Edit controller -------------------------------------------------------------

struct Controller : EditController {
  using EditController::parameters;
};

TEST(EditController, ForwardsEditsToTheHandlerInOrder) {
  auto c = MakeVstOwner<Controller>();
  EXPECT_EQ(c->beginEdit(3), kResultFalse);  // no handler yet: dropped
  EXPECT_EQ(c->startGroupEdit(), kNotImplemented);
  auto handler = mirel::host::MakeHostObject<mirel::host::RecordingComponentHandler>();
  ASSERT_EQ(c->setComponentHandler(handler.get()), kResultOk);
  EXPECT_EQ(c->beginEdit(3), kResultOk);
  EXPECT_EQ(c->performEdit(3, 0.25), kResultOk);
  EXPECT_EQ(c->performEdit(3, 0.5), kResultOk);
  EXPECT_EQ(c->endEdit(3), kResultOk);
  using K = mirel::host::HandlerCall::Kind;
  const std::vector<mirel::host::HandlerCall> expected = {
      {K::kBegin, 3, 0, 0}, {K::kPerform, 3, 0.25, 0}, {K::kPerform, 3, 0.5, 0}, {K::kEnd, 3, 0, 0}};
  EXPECT_EQ(handler->Calls(), expected);
  // This handler has no IComponentHandler2.
  EXPECT_EQ(c->finishGroupEdit(), kNotImplemented);

  c->parameters.addParameter(new Parameter("P", 9, "", 0.5, 0, 1, 0));
  EXPECT_EQ(c->getParameterCount(), 1);
  EXPECT_EQ(c->getParamNormalized(9), 0.5);
  EXPECT_EQ(c->setParamNormalized(9, 0.75), kResultOk);
  EXPECT_EQ(c->getParamNormalized(9), 0.75);
  EXPECT_EQ(c->setParamNormalized(10, 0.75), kResultFalse);
  EXPECT_EQ(c->normalizedParamToPlain(10, 0.3), 0.3);

  // initialize keeps the context; a second one is refused; terminate drops the
  // context and the parameters.
  ASSERT_EQ(c->initialize(handler.get()), kResultOk);
  EXPECT_EQ(c->initialize(handler.get()), kResultFalse);
  EXPECT_EQ(c->getHostContext(), handler.get());
  ASSERT_EQ(c->terminate(), kResultOk);
  EXPECT_EQ(c->getParameterCount(), 0);
  EXPECT_EQ(c->getHostContext(), nullptr);
  EXPECT_EQ(handler->RefCount(), 2u);  // still the component handler
  EXPECT_EQ(c->beginEdit(1), kResultOk);
  ASSERT_EQ(c->setComponentHandler(nullptr), kResultOk);
  EXPECT_EQ(handler->RefCount(), 1u);
  EXPECT_EQ(c->initialize(nullptr), kResultOk);
}

}  // namespace
