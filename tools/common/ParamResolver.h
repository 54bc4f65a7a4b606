#pragma once

// Reads the parameter settings a person types on a tool's command line
// (--set NAME=VALUE, --set-normalized ID=N) against a plug-in's own parameter
// list, as the plug-in reports it (ParamSource: its VST3 edit controller or
// its CLAP params extension). The host's bypass and program
// change parameters are recognised by their flags; on the command line they
// are written "bpas" and "prst".

#include <limits>
#include <string>
#include <vector>

#include "host/EffectInstance.h"
#include "tools/common/ParamSource.h"

namespace mirel::tools {

// A parameter text that cannot be read: a usage mistake (exit status 2).
struct ParamTextError {
  std::string message;
};

// One parameter value to hand to the plug-in.
struct ParamSetting {
  Steinberg::Vst::ParamID id = 0;
  std::string title;
  double normalized = 0;
  // The plain value typed as a bare number; NaN when the value came otherwise.
  double plain = std::numeric_limits<double>::quiet_NaN();
};

class ParamResolver {
 public:
  // Reads the plug-in's parameter list; the source must outlive this.
  explicit ParamResolver(const ParamSource& source);

  const std::vector<host::HostParameter>& Parameters() const { return params_; }
  // The host's bypass or program change parameter rather than the plug-in's own.
  static bool IsHostOnly(const host::HostParameter& p);
  // "bpas" or "prst" for the host's two, otherwise the id's number.
  std::string IdText(Steinberg::Vst::ParamID id) const;
  // The plug-in's value text for a normalised value, or empty.
  std::string ValueText(Steinberg::Vst::ParamID id, double normalized) const;

  // One of the plug-in's own parameters by name (any case) or index.
  const host::HostParameter& ByName(const std::string& name) const;
  // --set NAME=VALUE: a bare number is the plain value in the parameter's own
  // unit and must lie in its range; any other text is read as a host reads
  // it (a unit, a list entry).
  ParamSetting Set(const std::string& name, const std::string& value) const;
  // --set-normalized KEY=N: KEY is "bpas", "prst", an id or a name; N is 0..1.
  ParamSetting SetNormalized(const std::string& key, const std::string& value) const;

 private:
  const host::HostParameter* ByFlag(Steinberg::int32 flag) const;
  std::string AcceptedForms(const host::HostParameter& p, double lo, double hi) const;

  const ParamSource& source_;
  std::vector<host::HostParameter> params_;
};

}  // namespace mirel::tools
