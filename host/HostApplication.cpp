#include "host/HostApplication.h"

#include "host/HostStrings.h"

namespace mirel::host {

Steinberg::tresult PLUGIN_API HostApplication::getName(Steinberg::Vst::String128 name) {
  if (name == nullptr) return Steinberg::kInvalidArgument;
  ToUtf16(name_, name, 128);
  return Steinberg::kResultOk;
}

Steinberg::tresult PLUGIN_API HostApplication::createInstance(Steinberg::TUID, Steinberg::TUID,
                                                              void** obj) {
  if (obj != nullptr) *obj = nullptr;
  return Steinberg::kResultFalse;
}

}  // namespace mirel::host
