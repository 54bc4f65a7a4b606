#include "plugbase/ModuleHandle.h"

#include <atomic>

namespace {
std::atomic<void*> gModuleInstance{nullptr};
}

void* GetModuleInstance() { return gModuleInstance.load(); }
void SetModuleInstance(void* instance) { gModuleInstance.store(instance); }
