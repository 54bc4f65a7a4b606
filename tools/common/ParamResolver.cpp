#include "tools/common/ParamResolver.h"

#include <algorithm>
#include <cmath>

#include "tools/common/CommandLineText.h"
#include "host/HostStrings.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using mirel::host::HostParameter;

namespace mirel::tools {

namespace {

constexpr char kBypassKey[] = "bpas";
constexpr char kProgramKey[] = "prst";

}  // namespace

ParamResolver::ParamResolver(const ParamSource& source) : source_(source), params_(source.List()) {}

bool ParamResolver::IsHostOnly(const HostParameter& p) {
  return (p.flags & (ParameterInfo::kIsProgramChange | ParameterInfo::kIsBypass)) != 0;
}

const HostParameter* ParamResolver::ByFlag(int32 flag) const {
  for (const auto& p : params_) {
    if ((p.flags & flag) != 0) return &p;
  }
  return nullptr;
}

std::string ParamResolver::IdText(ParamID id) const {
  for (const auto& p : params_) {
    if (p.id != id) continue;
    if ((p.flags & ParameterInfo::kIsBypass) != 0) return kBypassKey;
    if ((p.flags & ParameterInfo::kIsProgramChange) != 0) return kProgramKey;
  }
  return std::to_string(id);
}

std::string ParamResolver::ValueText(ParamID id, double normalized) const {
  return source_.Text(id, normalized);
}

const HostParameter& ParamResolver::ByName(const std::string& name) const {
  std::vector<const HostParameter*> own;
  for (const auto& p : params_) {
    if (!IsHostOnly(p)) own.push_back(&p);
  }
  long long index = 0;
  if (ParseInt(name, index)) {
    for (const auto* p : own) {
      if (static_cast<long long>(p->id) == index) return *p;
    }
    throw ParamTextError{"no parameter with index " + Trim(name) + " (indices are " +
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
    for (std::size_t k = 0; k < hits.size(); ++k) {
      ids += (k == 0 ? "" : (k + 1 == hits.size() ? " and " : ", ")) + std::to_string(hits[k]->id);
    }
    throw ParamTextError{"parameter name '" + name + "' is shared by indices " + ids +
                         "; give the index instead"};
  }
  std::string valid;
  for (const auto* p : own) valid += (valid.empty() ? "" : ", ") + p->title;
  throw ParamTextError{"unknown parameter '" + name + "'; valid names: " + valid + " (or an index)"};
}

std::string ParamResolver::AcceptedForms(const HostParameter& p, double lo, double hi) const {
  std::string forms = "give a plain value from " + Number(lo) + " to " + Number(hi);
  // A short list names every entry; otherwise the ends show the texts' form.
  if (p.stepCount > 0 && p.stepCount <= 16) {
    std::string entries;
    for (int32 k = 0; k <= p.stepCount; ++k) {
      const std::string t = ValueText(p.id, static_cast<double>(k) / p.stepCount);
      if (t.empty()) return forms;
      entries += (k == 0 ? "'" : ", '") + t + "'";
    }
    return forms + " or one of " + entries;
  }
  const std::string a = ValueText(p.id, 0.0);
  const std::string b = ValueText(p.id, 1.0);
  if (a.empty() || b.empty()) return forms;
  return forms + " or a value text from '" + a + "' to '" + b + "'";
}

ParamSetting ParamResolver::Set(const std::string& name, const std::string& valueText) const {
  const HostParameter& p = ByName(name);
  const double a = source_.ToPlain(p.id, 0.0);
  const double b = source_.ToPlain(p.id, 1.0);
  const double lo = std::min(a, b);
  const double hi = std::max(a, b);
  ParamSetting s{p.id, p.title, 0};
  double plain = 0;
  if (ParseNumber(valueText, plain)) {
    if (plain < lo || plain > hi) {
      throw ParamTextError{"value " + Trim(valueText) + " for '" + p.title + "' is out of range " + Number(lo) +
                           " to " + Number(hi) + " (" + AcceptedForms(p, lo, hi) + ")"};
    }
    s.normalized = source_.ToNormalized(p.id, plain);
    s.plain = plain;
  } else {
    // Any other text is read as a host reads a typed value.
    double n = 0;
    if (!source_.FromText(p.id, Trim(valueText), n) || !(n >= 0.0 && n <= 1.0)) {
      throw ParamTextError{"cannot read '" + valueText + "' as a value of '" + p.title + "' (" +
                           AcceptedForms(p, lo, hi) + ")"};
    }
    s.normalized = n;
  }
  if (!std::isfinite(s.normalized)) {
    throw ParamTextError{"the plug-in gave no normalised value for " + Trim(valueText) + " of '" + p.title + "'"};
  }
  s.normalized = std::clamp(s.normalized, 0.0, 1.0);
  return s;
}

ParamSetting ParamResolver::SetNormalized(const std::string& key, const std::string& valueText) const {
  const std::string k = Lower(Trim(key));
  const HostParameter* found = nullptr;
  long long n = 0;
  if (k == kBypassKey) {
    found = ByFlag(ParameterInfo::kIsBypass);
  } else if (k == kProgramKey) {
    found = ByFlag(ParameterInfo::kIsProgramChange);
  } else if (ParseInt(k, n)) {
    for (const auto& p : params_) {
      if (static_cast<long long>(p.id) == n) found = &p;
    }
  } else {
    int hits = 0;
    for (const auto& p : params_) {
      if (!IsHostOnly(p) && Lower(p.title) == k) {
        found = &p;
        ++hits;
      }
    }
    if (hits > 1) ByName(key);  // names the indices that share the name
  }
  if (found == nullptr) {
    std::string valid;
    for (const auto& p : params_) valid += (valid.empty() ? "" : ", ") + IdText(p.id);
    throw ParamTextError{"unknown parameter id '" + key + "'; valid ids: " + valid + " (or a name)"};
  }
  double v = 0;
  if (!ParseNormalisedText(valueText, v) || v < 0.0 || v > 1.0) {
    throw ParamTextError{"normalised value for '" + found->title +
                         "' must be a number or a fraction (such as 2/6) from 0 to 1, got '" +
                         valueText + "'"};
  }
  return ParamSetting{found->id, found->title, v, std::numeric_limits<double>::quiet_NaN()};
}

}  // namespace mirel::tools
