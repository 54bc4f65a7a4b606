// The CLAP module's entry point, its plug-in factory and its one plug-in:
// the Mirel effect.

#include <cstring>
#include <mutex>

#include "entry.h"
#include "mirel/MirelClap.h"
#include "plugbase/ModuleHandle.h"
#include "plugin-factory.h"
#include "version.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_COMPRESSOR,
                                 CLAP_PLUGIN_FEATURE_STEREO, nullptr};

const clap_plugin_descriptor_t kDescriptor{
    CLAP_VERSION_INIT,
    "com.qentworks.mirel",
    mirel::kEffectName,
    mirel::kMakerName,
    "https://www.qentworks.com",
    "",
    "",
    mirel::kVersionText,
    "Stereo compressor with a filtered detector, sidechain input, interstage saturation and dry/wet mix",
    const_cast<const char**>(kFeatures),
};

// Serialises instance construction across the process.
std::mutex& CreationLock() {
  static std::mutex lock;
  return lock;
}

std::uint32_t FactoryCount(const clap_plugin_factory_t* /*factory*/) { return 1; }

const clap_plugin_descriptor_t* FactoryDescriptor(const clap_plugin_factory_t* /*factory*/, std::uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}

// Main thread. An unknown id, or a host of an older CLAP, gets no plug-in.
const clap_plugin_t* FactoryCreate(const clap_plugin_factory_t* /*factory*/, const clap_host_t* host,
                                   const char* pluginId) {
  if (!host || !pluginId || !clap_version_is_compatible(host->clap_version)) return nullptr;
  if (std::strcmp(pluginId, kDescriptor.id) != 0) return nullptr;
  try {
    std::lock_guard<std::mutex> guard(CreationLock());
    auto* effect = new MirelClap();
    return effect->Attach(&kDescriptor, host);
  } catch (...) {
    return nullptr;
  }
}

constexpr clap_plugin_factory_t kFactory{&FactoryCount, &FactoryDescriptor, &FactoryCreate};

#if defined(_WIN32)
void* gLoadedInstance = nullptr;
#endif

bool EntryInit(const char* /*pluginPath*/) {
#if defined(_WIN32)
  SetModuleInstance(gLoadedInstance);
#endif
  return true;
}

void EntryDeinit() {}

const void* EntryFactory(const char* factoryId) {
  return factoryId && std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

}  // namespace

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) gLoadedInstance = instance;
  return TRUE;
}
#endif

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry{CLAP_VERSION_INIT, &EntryInit, &EntryDeinit,
                                                            &EntryFactory};
