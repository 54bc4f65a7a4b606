// The module's entry points and its one class: the Mirel effect.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "mirel/Mirel.h"
#include "plugbase/ModuleHandle.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "vst3/sdk/CPluginFactory.h"
#include "vst3/sdk/VstString.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace Steinberg;

namespace {

// The processor class id. On Windows this gives the COM byte layout
// 0D E7 AE F2 DE 00 4E 4F 51 65 6E 74 4D 72 6C 31; elsewhere the same four
// words in that platform's layout, so the id's text form is the same on both.
const TUID kMirelClassId = INLINE_UID(0xF2AEE70D, 0x00DE4F4E, static_cast<std::uint32_t>(mirel::kMakerId),
                                      static_cast<std::uint32_t>(mirel::kUniqueId));

PFactoryInfo MakeFactoryInfo() {
  PFactoryInfo info{};
  CopyFixed(info.vendor, sizeof info.vendor, mirel::kMakerName);
  CopyFixed(info.url, sizeof info.url, "https://www.qentworks.com");
  CopyFixed(info.email, sizeof info.email, "mailto:info@qentworks.com");
  info.flags = PFactoryInfo::kUnicode;
  return info;
}

PClassInfo2 MakeClassInfo() {
  PClassInfo2 info{};
  std::memcpy(info.cid, kMirelClassId, sizeof(TUID));
  info.cardinality = PClassInfo::kManyInstances;
  CopyFixed(info.category, sizeof info.category, kVstAudioEffectClass);
  CopyFixed(info.name, sizeof info.name, mirel::kEffectName);
  info.classFlags = 2;  // simple mode supported, not distributable
  CopyFixed(info.subCategories, sizeof info.subCategories, Vst::PlugType::kFxDynamics);
  CopyFixed(info.vendor, sizeof info.vendor, "");
  CopyFixed(info.version, sizeof info.version, mirel::kVersionText);
  CopyFixed(info.sdkVersion, sizeof info.sdkVersion, "VST 3.6.12");
  return info;
}

// Serialises instance construction across the process.
std::mutex& CreationLock() {
  static std::mutex lock;
  return lock;
}

FUnknown* CreateMirel(void* /*context*/) {
  std::lock_guard<std::mutex> guard(CreationLock());
  try {
    auto* effect = new Mirel();
    return static_cast<Vst::IAudioProcessor*>(effect);
  } catch (...) {
    return nullptr;
  }
}

std::atomic<CPluginFactory*> gFactory{nullptr};
// Guards gFactory between GetPluginFactory and the factory's last release.
std::mutex gFactoryLock;

// Runs when the factory's count has reached 0, before it is destroyed. Under
// the lock, so GetPluginFactory either sees the pointer cleared or still finds
// the dying factory alive (and then refuses it, see there).
void FactoryReleased(CPluginFactory* factory) {
  std::lock_guard<std::mutex> guard(gFactoryLock);
  CPluginFactory* expected = factory;
  gFactory.compare_exchange_strong(expected, nullptr);
}

#if defined(_WIN32)
void* gLoadedInstance = nullptr;
#endif

}  // namespace

// Any thread; the host calls it once after loading the module.
IPluginFactory* PLUGIN_API GetPluginFactory() {
  // Two threads asking at once must not build two factories.
  std::lock_guard<std::mutex> guard(gFactoryLock);
  // A factory whose last reference is being released on another thread is
  // not handed out again; a new one takes its place.
  if (CPluginFactory* f = gFactory.load(); f && f->addRefIfAlive()) return f;
  static const PFactoryInfo factoryInfo = MakeFactoryInfo();
  CPluginFactory* factory = nullptr;
  try {
    factory = new CPluginFactory(factoryInfo);
  } catch (...) {
    return nullptr;
  }
  factory->setReleaseHook(&FactoryReleased);
  static const PClassInfo2 classInfo = MakeClassInfo();
  factory->registerClass(classInfo, &CreateMirel);
  gFactory.store(factory);
  return factory;
}

#if defined(_WIN32)

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) gLoadedInstance = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) bool InitDll() {
  SetModuleInstance(gLoadedInstance);
  return true;
}

extern "C" __declspec(dllexport) bool ExitDll() { return true; }

#else

extern "C" __attribute__((visibility("default"))) bool ModuleEntry(void* sharedLibraryHandle) {
  SetModuleInstance(sharedLibraryHandle);
  return true;
}

extern "C" __attribute__((visibility("default"))) bool ModuleExit() { return true; }

#endif
