#pragma once

// Turns --set and --set-normalized into host parameter values, resolving
// names, indices, ids and value texts against the plug-in's own list.

#include <string>
#include <vector>

#include "EffectInstance.h"

namespace mirel::render {

// One parameter value to deliver in the first process call.
struct Setting {
  Steinberg::Vst::ParamID id = 0;
  std::string title;
  double normalized = 0;
};

// The plug-in's value text for a normalised value, or empty.
std::string ValueText(Steinberg::Vst::IEditController* c, Steinberg::Vst::ParamID id, double normalized);
// The adapter's own parameters (program change, bypass) rather than the plug-in's.
bool IsHostOnly(const mirel::host::HostParameter& p);
// "bpas", "prst" or the id's number.
std::string IdText(Steinberg::Vst::ParamID id);
// A plug-in parameter by name (case-insensitive) or index. Throws Failure.
const mirel::host::HostParameter& ResolveName(const std::vector<mirel::host::HostParameter>& params,
                                              const std::string& name);
// --set NAME=VALUE: a plain value in range, or a value text the plug-in reads back. Throws Failure.
Setting ResolveSet(mirel::host::EffectInstance& fx, const std::vector<mirel::host::HostParameter>& params,
                   const std::string& name, const std::string& valueText);
// --set-normalized ID=N. Throws Failure.
Setting ResolveNormalized(const std::vector<mirel::host::HostParameter>& params, const std::string& idText,
                          const std::string& valueText);

}  // namespace mirel::render
