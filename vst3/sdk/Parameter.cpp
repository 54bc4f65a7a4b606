#include "vst3/sdk/Parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "vst3/sdk/VstString.h"

namespace Steinberg::Vst {

namespace {

double Clamp01(double v) {
  if (std::isnan(v)) return 0.0;
  return std::clamp(v, 0.0, 1.0);
}

}  // namespace

Parameter::Parameter(const ParameterInfo& info) : info_(info), valueNormalized_(info.defaultNormalizedValue) {}

Parameter::Parameter(const char* title, ParamID id, const char* units,
                     ParamValue defaultNormalized, int32 stepCount, int32 flags, UnitID unitId) {
  info_.id = id;
  WidenInto(info_.title, std::size(info_.title), title);
  WidenInto(info_.shortTitle, std::size(info_.shortTitle), "");
  WidenInto(info_.units, std::size(info_.units), units);
  info_.stepCount = stepCount;
  info_.defaultNormalizedValue = defaultNormalized;
  info_.unitId = unitId;
  info_.flags = flags;
  valueNormalized_ = defaultNormalized;
}

bool Parameter::setNormalized(ParamValue v) {
  v = Clamp01(v);
  if (v == valueNormalized_) return false;
  valueNormalized_ = v;
  return true;
}

void Parameter::toString(ParamValue valueNormalized, String128 text) const {
  char buf[128];
  if (info_.stepCount > 0) {
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(toPlain(valueNormalized)));
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(precision_), Clamp01(valueNormalized));
  }
  WidenInto(text, 128, buf);
}

bool Parameter::fromString(const TChar* text, ParamValue& valueNormalized) const {
  const std::string s = Narrow(text, 128, 127);
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(v)) return false;
  valueNormalized = toNormalized(v);
  return true;
}

ParamValue Parameter::toPlain(ParamValue valueNormalized) const {
  if (info_.stepCount > 0) {
    const double steps = static_cast<double>(info_.stepCount);
    return std::min(steps, std::floor(Clamp01(valueNormalized) * (steps + 1.0)));
  }
  return valueNormalized;
}

ParamValue Parameter::toNormalized(ParamValue plainValue) const {
  if (info_.stepCount > 0) return Clamp01(plainValue / static_cast<double>(info_.stepCount));
  return Clamp01(plainValue);
}

StringListParameter::StringListParameter(const char* title, ParamID id, const char* units,
                                         int32 flags, UnitID unitId)
    : Parameter(title, id, units, 0.0, -1, flags | ParameterInfo::kIsList, unitId) {}

void StringListParameter::appendString(const char* text) {
  std::vector<TChar> entry(128, 0);
  WidenInto(entry.data(), entry.size(), text);
  strings_.push_back(std::move(entry));
  ++info_.stepCount;
}

void StringListParameter::toString(ParamValue valueNormalized, String128 text) const {
  const auto index = static_cast<std::size_t>(toPlain(valueNormalized));
  if (index < strings_.size()) {
    std::copy(strings_[index].begin(), strings_[index].end(), text);
  } else {
    WidenInto(text, 128, "");
  }
}

bool StringListParameter::fromString(const TChar* text, ParamValue& valueNormalized) const {
  if (!text) return false;
  for (std::size_t k = 0; k < strings_.size(); ++k) {
    const std::size_t n = WideLength(strings_[k].data(), 128);
    if (WideLength(text, 128) == n && std::equal(text, text + n, strings_[k].data())) {
      valueNormalized = toNormalized(static_cast<double>(k));
      return true;
    }
  }
  return false;
}

ParamValue StringListParameter::toPlain(ParamValue valueNormalized) const {
  if (info_.stepCount <= 0) return 0.0;
  const double steps = static_cast<double>(info_.stepCount);
  return std::min(steps, std::floor(Clamp01(valueNormalized) * (steps + 1.0)));
}

ParamValue StringListParameter::toNormalized(ParamValue plainValue) const {
  if (info_.stepCount <= 0) return 0.0;
  return Clamp01(plainValue / static_cast<double>(info_.stepCount));
}

ParameterContainer::~ParameterContainer() { removeAll(); }

Parameter* ParameterContainer::addParameter(Parameter* p) {
  if (!p) return nullptr;
  if (byId_.count(p->getInfo().id) != 0) {
    p->release();
    return nullptr;
  }
  byId_.emplace(p->getInfo().id, params_.size());
  params_.push_back(p);
  return p;
}

Parameter* ParameterContainer::getParameter(ParamID id) const {
  const auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : params_[it->second];
}

Parameter* ParameterContainer::getParameterByIndex(int32 index) const {
  if (index < 0 || index >= getParameterCount()) return nullptr;
  return params_[static_cast<std::size_t>(index)];
}

void ParameterContainer::removeAll() {
  byId_.clear();
  while (!params_.empty()) {
    Parameter* p = params_.back();
    params_.pop_back();
    p->release();
  }
}

}  // namespace Steinberg::Vst
