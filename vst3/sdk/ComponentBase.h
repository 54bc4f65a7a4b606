#pragma once

// The plug-in side of IPluginBase: keeps the host context with a reference
// from initialize to terminate.

#include "vst3/sdk/FObject.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

namespace Steinberg::Vst {

class ComponentBase : public FObject, public IPluginBase {
  MIREL_FOBJECT_CHAIN(ComponentBase, FObject)
 public:
  ComponentBase() = default;

  // Host's set-up thread. A second initialize without terminate answers
  // kResultFalse and keeps the first context.
  tresult PLUGIN_API initialize(FUnknown* context) override;
  // Host's set-up thread. Releases the host context.
  tresult PLUGIN_API terminate() override;

  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(FObject)

  FUnknown* getHostContext() const { return hostContext_.get(); }
  bool isInitialized() const { return initialized_; }

 protected:
  IPtr<FUnknown> hostContext_;
  // Set by initialize, cleared by terminate (a host may pass a null context).
  bool initialized_ = false;
};

}  // namespace Steinberg::Vst
