// Module files for the loader's tests: a factory whose one class is not an
// audio effect (FAKE_WITH_FACTORY), one whose audio effect cannot be created
// (FAKE_CREATE_FAILS as well), and one that exports nothing a host needs.

#include <atomic>
#include <cstring>

#include "pluginterfaces/base/ipluginbase.h"

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifdef FAKE_WITH_FACTORY
namespace {

#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FakeFactory : public Steinberg::IPluginFactory {
 public:
  virtual ~FakeFactory() = default;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID queried, void** obj) override {
    if (Steinberg::FUnknownPrivate::iidEqual(queried, Steinberg::FUnknown::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(queried, Steinberg::IPluginFactory::iid)) {
      addRef();
      *obj = this;
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs_; }
  Steinberg::uint32 PLUGIN_API release() override { return --refs_; }
  Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override {
    if (info == nullptr) return Steinberg::kInvalidArgument;
    *info = Steinberg::PFactoryInfo("Fake", "", "", 0);
    return Steinberg::kResultOk;
  }
  Steinberg::int32 PLUGIN_API countClasses() override { return 1; }
  Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index,
                                             Steinberg::PClassInfo* info) override {
    if (index != 0 || info == nullptr) return Steinberg::kInvalidArgument;
    const Steinberg::TUID cid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
#ifdef FAKE_CREATE_FAILS
    *info = Steinberg::PClassInfo(cid, Steinberg::PClassInfo::kManyInstances, "Audio Module Class",
                                  "Fake Broken Effect");
#else
    *info = Steinberg::PClassInfo(cid, Steinberg::PClassInfo::kManyInstances,
                                  "Component Controller Class", "Fake Controller");
#endif
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString, Steinberg::FIDString,
                                               void** obj) override {
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }

 private:
  std::atomic<Steinberg::uint32> refs_{1};
};

FakeFactory gFactory;

}  // namespace

FAKE_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  gFactory.addRef();
  return &gFactory;
}
#endif

FAKE_EXPORT int FakeModuleMarker() { return 42; }
