#pragma once

// The module's class factory: the factory information, the registered
// classes with their create functions, and createInstance.

#include <atomic>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"

namespace Steinberg {

// Returns a new object with one reference (an interface pointer of it), or null.
using CreateFunction = FUnknown* (*)(void* context);

class CPluginFactory : public IPluginFactory3 {
 public:
  explicit CPluginFactory(const PFactoryInfo& info);
  virtual ~CPluginFactory();
  CPluginFactory(const CPluginFactory&) = delete;
  CPluginFactory& operator=(const CPluginFactory&) = delete;

  // Registration (module load). The extended 8-bit record also yields the
  // UTF-16 copy. False when the class could not be stored.
  bool registerClass(const PClassInfo2& info, CreateFunction create, void* context = nullptr);
  bool registerClass(const PClassInfoW& info, CreateFunction create, void* context = nullptr);
  bool isClassRegistered(const FUID& cid) const;

  // Host-facing; any thread.
  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;
  uint32 PLUGIN_API addRef() override;
  uint32 PLUGIN_API release() override;
  // Any thread. Adds a reference unless the count has already reached 0 (the
  // factory is on its way out); for a shared pointer that can race with the
  // last release.
  bool addRefIfAlive();
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override;
  int32 PLUGIN_API countClasses() override;
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override;
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override;
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override;
  tresult PLUGIN_API createInstance(FIDString cid, FIDString interfaceId, void** obj) override;
  tresult PLUGIN_API setHostContext(FUnknown* context) override;

  // Called when the count reaches 0, just before the factory is destroyed;
  // the factory stays valid until the hook returns.
  using ReleaseHook = void (*)(CPluginFactory* factory);
  void setReleaseHook(ReleaseHook hook) { releaseHook_ = hook; }

 private:
  struct Entry {
    PClassInfo2 info8{};
    PClassInfoW info16{};
    CreateFunction create = nullptr;
    void* context = nullptr;
    bool isUnicode = false;
  };

  std::atomic<int32> refCount_{1};
  PFactoryInfo factoryInfo_{};
  std::vector<Entry> classes_;
  ReleaseHook releaseHook_ = nullptr;
};

// The UTF-16 copy of an 8-bit extended class record, character by character.
PClassInfoW WidenClassInfo(const PClassInfo2& info);

}  // namespace Steinberg
