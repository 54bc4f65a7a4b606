// The module file as a host first meets it: exported functions, factory and
// class information, instance creation.

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "mirel/MirelParams.h"
#include "tests/integration/PlugFixture.h"
#include "pluginterfaces/vst/ivstmessage.h"

namespace mirel::test {
namespace {

// A second handle on the already loaded module file, for its raw exports.
class RawModule {
 public:
  RawModule() {
    const std::string file = host::Module::ResolveModuleFile(MIREL_MODULE_PATH);
#if defined(_WIN32)
    handle_ = LoadLibraryA(file.c_str());
#else
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~RawModule() {
    if (!handle_) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
  }
  RawModule(const RawModule&) = delete;
  RawModule& operator=(const RawModule&) = delete;

  void* Proc(const char* name) const {
    if (!handle_) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
  }

 private:
  void* handle_ = nullptr;
};

TEST(Module, ExportsTheEntryPointsAndOneSharedFactory) {
  LoadedModule();
  RawModule raw;
  using FactoryProc = IPluginFactory*(PLUGIN_API*)();
  auto getFactory = reinterpret_cast<FactoryProc>(raw.Proc("GetPluginFactory"));
  ASSERT_NE(getFactory, nullptr);
#if defined(_WIN32)
  EXPECT_NE(raw.Proc("InitDll"), nullptr);
  EXPECT_NE(raw.Proc("ExitDll"), nullptr);
#else
  EXPECT_NE(raw.Proc("ModuleEntry"), nullptr);
  EXPECT_NE(raw.Proc("ModuleExit"), nullptr);
#endif
  // The host's loader already holds references; two more calls give the
  // same object with two more.
  IPluginFactory* held = LoadedModule().Factory();
  const uint32 before = held->addRef() - 1;
  held->release();
  IPluginFactory* a = getFactory();
  IPluginFactory* b = getFactory();
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, held);
  EXPECT_EQ(a->addRef(), before + 3);
  EXPECT_EQ(a->release(), before + 2);
  a->release();
  EXPECT_EQ(b->release(), before);
}

TEST(Module, FactoryInfoAndInterfaces) {
  IPluginFactory* f = LoadedModule().Factory();
  PFactoryInfo info{};
  ASSERT_EQ(f->getFactoryInfo(&info), kResultOk);
  EXPECT_EQ(host::FixedField(info.vendor, PFactoryInfo::kNameSize), mirel::kMakerName);
  EXPECT_EQ(info.flags, 16);
  EXPECT_FALSE(host::FixedField(info.url, PFactoryInfo::kURLSize).empty());
  EXPECT_FALSE(host::FixedField(info.email, PFactoryInfo::kEmailSize).empty());
  EXPECT_EQ(f->getFactoryInfo(nullptr), kResultOk);

  for (const FUID* iid : {&IPluginFactory2::iid, &IPluginFactory3::iid, &FUnknown::iid}) {
    void* obj = nullptr;
    ASSERT_EQ(f->queryInterface(*iid, &obj), kResultOk);
    static_cast<FUnknown*>(obj)->release();
  }
  void* obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(f->queryInterface(IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
}

TEST(Module, ClassInfoInAllThreeForms) {
  IPluginFactory* f = LoadedModule().Factory();
  ASSERT_EQ(f->countClasses(), 1);

  // The class id's words: 0xF2AEE70D, 0x00DE4F4E, "Qent", "Mrl1".
#if COM_COMPATIBLE
  const std::uint8_t expected[16] = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                     0x51, 0x65, 0x6E, 0x74, 0x4D, 0x72, 0x6C, 0x31};
#else
  const std::uint8_t expected[16] = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                     0x51, 0x65, 0x6E, 0x74, 0x4D, 0x72, 0x6C, 0x31};
#endif
  PClassInfo basic{};
  ASSERT_EQ(f->getClassInfo(0, &basic), kResultOk);
  EXPECT_EQ(std::memcmp(basic.cid, expected, 16), 0);
  // Hosts store this text form; it must read the same on every system.
  char text[33] = {};
  FUID::fromTUID(basic.cid).toString(text);
  EXPECT_STREQ(text, "F2AEE70D00DE4F4E51656E744D726C31");
  EXPECT_EQ(host::FixedField(basic.category, PClassInfo::kCategorySize), "Audio Module Class");
  EXPECT_EQ(host::FixedField(basic.name, PClassInfo::kNameSize), mirel::kEffectName);
  EXPECT_EQ(basic.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(f->getClassInfo(1, &basic), kInvalidArgument);
  EXPECT_EQ(f->getClassInfo(-1, &basic), kInvalidArgument);
  EXPECT_EQ(f->getClassInfo(0, nullptr), kInvalidArgument);

  IPtr<IPluginFactory2> f2;
  ASSERT_EQ(f->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&f2)), kResultOk);
  f2 = owned(f2.take());
  PClassInfo2 info2{};
  ASSERT_EQ(f2->getClassInfo2(0, &info2), kResultOk);
  EXPECT_EQ(std::memcmp(info2.cid, expected, 16), 0);
  EXPECT_EQ(host::FixedField(info2.subCategories, PClassInfo2::kSubCategoriesSize), "Fx|Dynamics");
  EXPECT_EQ(host::FixedField(info2.version, PClassInfo2::kVersionSize), mirel::kVersionText);
  EXPECT_EQ(host::FixedField(info2.sdkVersion, PClassInfo2::kVersionSize), "VST 3.6.12");
  EXPECT_EQ(host::FixedField(info2.vendor, PClassInfo2::kVendorSize), "");
  EXPECT_EQ(info2.classFlags, 2u);
  EXPECT_EQ(f2->getClassInfo2(1, &info2), kInvalidArgument);

  IPtr<IPluginFactory3> f3;
  ASSERT_EQ(f->queryInterface(IPluginFactory3::iid, reinterpret_cast<void**>(&f3)), kResultOk);
  f3 = owned(f3.take());
  PClassInfoW w{};
  ASSERT_EQ(f3->getClassInfoUnicode(0, &w), kResultOk);
  EXPECT_EQ(std::memcmp(w.cid, expected, 16), 0);
  EXPECT_EQ(host::ToUtf8(w.name, PClassInfo::kNameSize), mirel::kEffectName);
  EXPECT_EQ(host::FixedField(w.category, PClassInfo::kCategorySize), "Audio Module Class");
  EXPECT_EQ(host::FixedField(w.subCategories, PClassInfoW::kSubCategoriesSize), "Fx|Dynamics");
  EXPECT_EQ(host::ToUtf8(w.version, PClassInfoW::kVersionSize), mirel::kVersionText);
  EXPECT_EQ(host::ToUtf8(w.sdkVersion, PClassInfoW::kVersionSize), "VST 3.6.12");
  EXPECT_EQ(host::ToUtf8(w.vendor, PClassInfoW::kVendorSize), "");
  EXPECT_EQ(w.classFlags, 2u);
  EXPECT_EQ(w.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(f3->getClassInfoUnicode(1, &w), kInvalidArgument);
  EXPECT_EQ(f3->setHostContext(nullptr), kNotImplemented);
}

TEST(Module, CreateInstanceReachesOneObjectThroughEveryInterface) {
  TUID cid;
  EffectClassId(cid);
  IPluginFactory* f = LoadedModule().Factory();
  for (const FUID* iid : {&IComponent::iid, &IAudioProcessor::iid, &IEditController::iid}) {
    FUnknown* obj = nullptr;
    ASSERT_EQ(f->createInstance(cid, *iid, reinterpret_cast<void**>(&obj)), kResultOk);
    ASSERT_NE(obj, nullptr);
    // All interfaces of one instance lead to the same identity.
    FUnknown* identity = nullptr;
    ASSERT_EQ(obj->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&identity)), kResultOk);
    for (const FUID* other : {&IComponent::iid, &IAudioProcessor::iid, &IEditController::iid,
                              &IEditController2::iid, &IUnitInfo::iid, &IPluginBase::iid}) {
      FUnknown* o = nullptr;
      ASSERT_EQ(obj->queryInterface(*other, reinterpret_cast<void**>(&o)), kResultOk);
      FUnknown* id2 = nullptr;
      ASSERT_EQ(o->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&id2)), kResultOk);
      EXPECT_EQ(id2, identity);
      id2->release();
      o->release();
    }
    void* cp = reinterpret_cast<void*>(1);
    EXPECT_EQ(obj->queryInterface(IConnectionPoint::iid, &cp), kNoInterface);
    EXPECT_EQ(cp, nullptr);
    identity->release();
    // The creation reference is the only one left.
    EXPECT_EQ(obj->release(), 0u);
  }

  TUID other;
  std::memcpy(other, cid, sizeof other);
  other[15] ^= 0x01;
  void* obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(f->createInstance(other, IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(f->createInstance(cid, IConnectionPoint::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
}

}  // namespace
}  // namespace mirel::test
