#pragma once

// The parameters of a VST3 plug-in, through its edit controller.

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "tools/common/ParamSource.h"

namespace mirel::tools {

class Vst3ParamSource : public ParamSource {
 public:
  // The controller must outlive this.
  explicit Vst3ParamSource(Steinberg::Vst::IEditController* controller) : controller_(controller) {}
  std::vector<host::HostParameter> List() const override;
  std::string Text(Steinberg::Vst::ParamID id, double normalized) const override;
  double ToPlain(Steinberg::Vst::ParamID id, double normalized) const override;
  double ToNormalized(Steinberg::Vst::ParamID id, double plain) const override;
  bool FromText(Steinberg::Vst::ParamID id, const std::string& text, double& normalized) const override;
  double Current(Steinberg::Vst::ParamID id) const override;

 private:
  Steinberg::Vst::IEditController* controller_;
};

}  // namespace mirel::tools
