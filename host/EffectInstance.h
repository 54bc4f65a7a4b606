#pragma once
// One instance of a module's audio effect, driven the way a host drives it:
// created through the factory, initialised with a host context, its buses
// arranged, processing set up and activated; torn down in reverse order.

#include <memory>
#include <string>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/HostApplication.h"
#include "host/Module.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace mirel::host {

// A parameter as the controller reports it.
struct HostParameter {
  Steinberg::Vst::ParamID id = 0;
  std::string title;
  std::string units;
  Steinberg::int32 stepCount = 0;
  double defaultNormalized = 0;
  Steinberg::int32 flags = 0;
};

// The parameter list as a controller reports it (empty without one).
std::vector<HostParameter> ListParameters(Steinberg::Vst::IEditController* controller);

// Main thread only, except Process, which is the audio thread's call.
class EffectInstance {
 public:
  ~EffectInstance();
  EffectInstance(const EffectInstance&) = delete;
  EffectInstance& operator=(const EffectInstance&) = delete;

  // Loads the module at `path`, creates its first audio effect class and
  // initialises it with a host context named `hostName`. Null and `error`
  // set (one line: no such file, no GetPluginFactory, no audio effect class,
  // createInstance failed, ...) on failure.
  static std::unique_ptr<EffectInstance> Open(const std::string& path, const std::string& hostName,
                                              std::string& error);

  Steinberg::Vst::IComponent* Component() const { return component_.get(); }
  Steinberg::Vst::IAudioProcessor* Processor() const { return processor_.get(); }
  Steinberg::Vst::IEditController* Controller() const { return controller_.get(); }
  RecordingComponentHandler& Handler() const { return *handler_; }
  const Module& LoadedModule() const { return *module_; }
  const std::string& ClassName() const { return className_; }

  std::vector<HostParameter> Parameters() const;
  int InputBusCount() const;

  // Arranges every audio bus as stereo, activates the second input bus when
  // `sidechain` is set, sets up processing and activates the component.
  // False and `error` set when the plug-in refuses the sample size or setup.
  bool Prepare(Steinberg::int32 sampleSize, Steinberg::int32 maxBlock, double sampleRate,
               bool sidechain, Steinberg::int32 processMode, std::string& error);

  // The state blob a host stores, and restoring it. The component's state
  // interface is asked first; a plug-in that answers it kNotImplemented is
  // asked through its edit controller.
  bool GetState(std::vector<std::uint8_t>& out);
  bool SetState(const std::vector<std::uint8_t>& blob);

  // Deactivates and terminates (also done by the destructor).
  void Shutdown();

 private:
  EffectInstance() = default;

  std::unique_ptr<Module> module_;
  std::string className_;
  Steinberg::IPtr<HostApplication> hostApp_;
  Steinberg::IPtr<RecordingComponentHandler> handler_;
  Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
  Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
  Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
  bool separateController_ = false;
  bool active_ = false;
  bool initialized_ = false;
};

}  // namespace mirel::host
