#pragma once

// A plug-in's parameters as the tools read them, whatever the format that
// loaded it: the list, and conversions and texts in VST3's normalised terms
// (0..1). A VST3 plug-in answers through its edit controller, a CLAP one
// through its params extension.

#include <string>
#include <vector>

#include "host/EffectInstance.h"

namespace mirel::tools {

class ParamSource {
 public:
  virtual ~ParamSource() = default;
  virtual std::vector<host::HostParameter> List() const = 0;
  // The plug-in's text for a normalised value; empty when it gives none.
  virtual std::string Text(Steinberg::Vst::ParamID id, double normalized) const = 0;
  virtual double ToPlain(Steinberg::Vst::ParamID id, double normalized) const = 0;
  virtual double ToNormalized(Steinberg::Vst::ParamID id, double plain) const = 0;
  // Reads a text as the plug-in reads a typed value; false when it cannot.
  virtual bool FromText(Steinberg::Vst::ParamID id, const std::string& text, double& normalized) const = 0;
  // The parameter's current value, normalised.
  virtual double Current(Steinberg::Vst::ParamID id) const = 0;
};

}  // namespace mirel::tools
