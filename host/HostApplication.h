#pragma once
// The host context handed to IPluginBase::initialize.

#include <string>

#include "host/HostObject.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

namespace mirel::host {

class HostApplication : public HostObject<Steinberg::Vst::IHostApplication> {
 public:
  explicit HostApplication(std::string name = "mirel-render") : name_(std::move(name)) {}

  // Any thread: the name, UTF-16, truncated to 127 units and terminated.
  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
  // Any thread: this host creates no objects for the plug-in (no messages,
  // no attribute lists); the out-pointer is set to null.
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                               void** obj) override;

 private:
  std::string name_;
};

}  // namespace mirel::host
