#include "vst3/sdk/ComponentBase.h"

namespace Steinberg::Vst {

tresult PLUGIN_API ComponentBase::initialize(FUnknown* context) {
  if (initialized_) return kResultFalse;
  initialized_ = true;
  hostContext_ = context;
  return kResultOk;
}

tresult PLUGIN_API ComponentBase::terminate() {
  hostContext_ = nullptr;
  initialized_ = false;
  return kResultOk;
}

tresult PLUGIN_API ComponentBase::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (QueryAs<IPluginBase>(this, queryIid, obj)) return kResultOk;
  return FObject::queryInterface(queryIid, obj);
}

}  // namespace Steinberg::Vst
