#pragma once

// The parameters of a CLAP plug-in, through its params extension. CLAP
// values are plain values over each parameter's range; their normalised
// form here is linear over that range, as a CLAP host's own controls are.
// The host bypass and the preset selector carry VST3's flags for them, so
// that the tools find them as they find a VST3 plug-in's.

#include "host/ClapPlugin.h"
#include "tools/common/ParamSource.h"

namespace mirel::tools {

class ClapParamSource : public ParamSource {
 public:
  // The plug-in must outlive this. Reads its parameter list now.
  explicit ClapParamSource(host::ClapPlugin& plugin);
  std::vector<host::HostParameter> List() const override { return list_; }
  std::string Text(Steinberg::Vst::ParamID id, double normalized) const override;
  double ToPlain(Steinberg::Vst::ParamID id, double normalized) const override;
  double ToNormalized(Steinberg::Vst::ParamID id, double plain) const override;
  bool FromText(Steinberg::Vst::ParamID id, const std::string& text, double& normalized) const override;
  double Current(Steinberg::Vst::ParamID id) const override;

 private:
  struct Range {
    clap_id id;
    double min;
    double max;
  };
  const Range* RangeOf(Steinberg::Vst::ParamID id) const;

  host::ClapPlugin& plugin_;
  std::vector<host::HostParameter> list_;
  std::vector<Range> ranges_;
};

}  // namespace mirel::tools
