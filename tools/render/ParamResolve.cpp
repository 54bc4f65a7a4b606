#include "ParamResolve.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "AdapterParamIds.h"
#include "HostStrings.h"
#include "RenderOptions.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using mirel::host::EffectInstance;
using mirel::host::HostParameter;

namespace mirel::render {

namespace {

constexpr ParamID kBypassId = kBypassParamCodeId;
constexpr ParamID kPresetId = kPresetParamCodeId;

}  // namespace

std::string ValueText(IEditController* c, ParamID id, double normalized) {
  String128 text{};
  if (c->getParamStringByValue(id, normalized, text) != kResultOk) return {};
  return mirel::host::ToUtf8(text);
}

bool IsHostOnly(const HostParameter& p) {
  return (p.flags & (ParameterInfo::kIsProgramChange | ParameterInfo::kIsBypass)) != 0;
}

std::string IdText(ParamID id) {
  if (id == kBypassId) return kBypassParamCode;
  if (id == kPresetId) return kPresetParamCode;
  return std::to_string(id);
}

const HostParameter& ResolveName(const std::vector<HostParameter>& params, const std::string& name) {
  std::vector<const HostParameter*> own;
  for (const auto& p : params) {
    if (!IsHostOnly(p)) own.push_back(&p);
  }
  long long index = 0;
  if (ParseInt(name, index)) {
    for (const auto* p : own) {
      if (static_cast<long long>(p->id) == index) return *p;
    }
    throw Failure{"no parameter with index " + Trim(name) + " (indices are " +
                  std::to_string(own.empty() ? 0 : own.front()->id) + " to " +
                  std::to_string(own.empty() ? 0 : own.back()->id) + ")"};
  }
  std::vector<const HostParameter*> hits;
  for (const auto* p : own) {
    if (Lower(p->title) == Lower(Trim(name))) hits.push_back(p);
  }
  if (hits.size() == 1) return *hits.front();
  if (hits.size() > 1) {
    std::string ids;
    for (size_t k = 0; k < hits.size(); ++k) {
      ids += (k == 0 ? "" : (k + 1 == hits.size() ? " and " : ", ")) + std::to_string(hits[k]->id);
    }
    throw Failure{"parameter name '" + name + "' is shared by indices " + ids +
                  "; give the index instead"};
  }
  std::string valid;
  for (const auto* p : own) valid += (valid.empty() ? "" : ", ") + p->title;
  throw Failure{"unknown parameter '" + name + "'; valid names: " + valid + " (or an index)"};
}

Setting ResolveSet(EffectInstance& fx, const std::vector<HostParameter>& params,
                   const std::string& name, const std::string& valueText) {
  const HostParameter& p = ResolveName(params, name);
  IEditController* c = fx.Controller();
  const double a = c->normalizedParamToPlain(p.id, 0.0);
  const double b = c->normalizedParamToPlain(p.id, 1.0);
  const double lo = std::min(a, b);
  const double hi = std::max(a, b);
  double plain = 0;
  Setting s{p.id, p.title, 0};
  if (ParseNumber(valueText, plain)) {
    if (plain < lo || plain > hi) {
      throw Failure{"value " + Trim(valueText) + " for '" + p.title + "' is out of range " +
                    Number(lo) + " to " + Number(hi)};
    }
    s.normalized = c->plainParamToNormalized(p.id, plain);
  } else {
    // A value text: accepted when the plug-in reads it and shows the same text back.
    const std::u16string wide = mirel::host::ToU16(valueText);
    std::vector<TChar> text(wide.begin(), wide.end());
    text.push_back(0);
    double n = 0;
    if (c->getParamValueByString(p.id, text.data(), n) != kResultOk ||
        Lower(Trim(ValueText(c, p.id, n))) != Lower(Trim(valueText))) {
      throw Failure{"cannot read '" + valueText + "' as a value of '" + p.title +
                    "' (give a number from " + Number(lo) + " to " + Number(hi) + ")"};
    }
    s.normalized = n;
  }
  if (!std::isfinite(s.normalized)) {
    throw Failure{"the plug-in gave no normalised value for " + Trim(valueText) + " of '" + p.title + "'"};
  }
  s.normalized = std::clamp(s.normalized, 0.0, 1.0);
  return s;
}

Setting ResolveNormalized(const std::vector<HostParameter>& params, const std::string& idText,
                          const std::string& valueText) {
  const std::string key = Lower(Trim(idText));
  std::optional<ParamID> id;
  long long n = 0;
  if (key == kBypassParamCode) {
    id = kBypassId;
  } else if (key == kPresetParamCode) {
    id = kPresetId;
  } else if (ParseInt(key, n) && n >= 0 && n <= 0xFFFFFFFFLL) {
    id = static_cast<ParamID>(n);
  }
  const HostParameter* found = nullptr;
  for (const auto& p : params) {
    if (id && p.id == *id) found = &p;
  }
  if (found == nullptr) {
    std::string valid;
    for (const auto& p : params) valid += (valid.empty() ? "" : ", ") + IdText(p.id);
    throw Failure{"unknown parameter id '" + idText + "'; valid ids: " + valid};
  }
  double v = 0;
  if (!ParseNumber(valueText, v) || v < 0.0 || v > 1.0) {
    throw Failure{"normalised value for '" + found->title + "' must be a number from 0 to 1, got '" +
                  valueText + "'"};
  }
  return Setting{found->id, found->title, v};
}

}  // namespace mirel::render
