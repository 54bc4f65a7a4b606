#include "tools/common/ClapParamSource.h"

#include <cmath>
#include <limits>

#include "pluginterfaces/vst/ivsteditcontroller.h"

using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParameterInfo;

namespace mirel::tools {

ClapParamSource::ClapParamSource(host::ClapPlugin& plugin) : plugin_(plugin) {
  const clap_plugin_params_t* params = plugin_.Params();
  if (!params) return;
  const std::uint32_t n = params->count(plugin_.Plugin());
  for (std::uint32_t i = 0; i < n; ++i) {
    clap_param_info_t info{};
    if (!params->get_info(plugin_.Plugin(), i, &info)) continue;
    host::HostParameter p;
    p.id = info.id;
    p.title = info.name;
    const double span = info.max_value - info.min_value;
    p.stepCount = (info.flags & CLAP_PARAM_IS_STEPPED) != 0 ? static_cast<Steinberg::int32>(span) : 0;
    p.defaultNormalized = span > 0.0 ? (info.default_value - info.min_value) / span : 0.0;
    if ((info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0) p.flags |= ParameterInfo::kCanAutomate;
    if ((info.flags & CLAP_PARAM_IS_BYPASS) != 0) p.flags |= ParameterInfo::kIsBypass;
    // The one stepped parameter a host cannot automate is the preset selector.
    if ((info.flags & (CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE)) == CLAP_PARAM_IS_STEPPED) {
      p.flags |= ParameterInfo::kIsProgramChange;
    }
    list_.push_back(p);
    ranges_.push_back({info.id, info.min_value, info.max_value});
  }
}

const ClapParamSource::Range* ClapParamSource::RangeOf(ParamID id) const {
  for (const Range& r : ranges_) {
    if (r.id == id) return &r;
  }
  return nullptr;
}

double ClapParamSource::ToPlain(ParamID id, double normalized) const {
  const Range* r = RangeOf(id);
  if (!r) return std::numeric_limits<double>::quiet_NaN();
  return normalized <= 0.0 ? r->min : normalized >= 1.0 ? r->max : r->min + (r->max - r->min) * normalized;
}

double ClapParamSource::ToNormalized(ParamID id, double plain) const {
  const Range* r = RangeOf(id);
  if (!r || !(r->max > r->min)) return 0.0;
  return (plain - r->min) / (r->max - r->min);
}

std::string ClapParamSource::Text(ParamID id, double normalized) const {
  char text[CLAP_NAME_SIZE] = {};
  const double plain = ToPlain(id, normalized);
  if (!plugin_.Params() || !plugin_.Params()->value_to_text(plugin_.Plugin(), id, plain, text, sizeof text)) return {};
  return text;
}

bool ClapParamSource::FromText(ParamID id, const std::string& text, double& normalized) const {
  double plain = 0.0;
  if (!plugin_.Params() || !plugin_.Params()->text_to_value(plugin_.Plugin(), id, text.c_str(), &plain)) return false;
  normalized = ToNormalized(id, plain);
  return true;
}

double ClapParamSource::Current(ParamID id) const { return ToNormalized(id, plugin_.Value(id)); }

}  // namespace mirel::tools
