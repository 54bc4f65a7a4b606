#include "vst3/sdk/FObject.h"

namespace Steinberg {

uint32 PLUGIN_API FObject::addRef() {
  return static_cast<uint32>(refCount_.fetch_add(1, std::memory_order_relaxed) + 1);
}

uint32 PLUGIN_API FObject::release() {
  // The value after the decrement comes from the atomic operation itself, so
  // exactly one caller sees 0.
  const int32 now = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (now == 0) {
    delete this;
    return 0;
  }
  return static_cast<uint32>(now);
}

tresult PLUGIN_API FObject::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (IidEqual(queryIid, FUnknown::iid)) {
    *obj = static_cast<FUnknown*>(this);
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

bool FObject::isTypeOf(const char* name, bool askBaseClass) const {
  if (!name) return false;
  if (std::strcmp(name, isA()) == 0) return true;
  return askBaseClass && classChainHas(name);
}

}  // namespace Steinberg
