#include "IEffectParameter.h"

#include <charconv>

#include "sdk/VstString.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string ParamValueText(const IParamDef& def, double normalized) {
  return def.FormatDisplay(def.FromNormalisedUnrounded(normalized));
}

IEffectParameter::IEffectParameter(const IParamDef* def, ParamID id, UnitID unitId) : def_(def) {
  info_.id = id;
  WidenInto(info_.title, std::size(info_.title), def->Name());
  WidenInto(info_.shortTitle, std::size(info_.shortTitle), "");
  const char* shown = def->GetDisplayText(TruncToInt32(def->Value()));
  WidenInto(info_.units, std::size(info_.units), (shown && shown[0] != '\0') ? "" : def->Label());
  info_.stepCount = def->Kind() == ParamKind::Continuous
                        ? 0
                        : TruncToInt32(def->MaxValue() - def->MinValue());
  info_.defaultNormalizedValue = def->ToNormalised(def->DefaultValue());
  info_.unitId = unitId;
  info_.flags = def->CanAutomate() ? ParameterInfo::kCanAutomate : 0;
  valueNormalized_ = info_.defaultNormalizedValue;
  precision_ = def->DisplayPrecision();
}

void IEffectParameter::toString(ParamValue valueNormalized, String128 text) const {
  WidenInto(text, 128, ParamValueText(*def_, valueNormalized).c_str());
}

bool IEffectParameter::fromString(const TChar* text, ParamValue& valueNormalized) const {
  const std::string s = Narrow(text, 128, 127);
  // Locale-independent; a text that does not start with a number reads as 0.
  std::size_t start = 0;
  while (start < s.size() && (s[start] == ' ' || s[start] == '\t')) ++start;
  if (start < s.size() && s[start] == '+') ++start;
  double plain = 0.0;
  if (std::from_chars(s.data() + start, s.data() + s.size(), plain).ec != std::errc{}) plain = 0.0;
  valueNormalized = def_->ToNormalised(plain);
  return true;
}

ParamValue IEffectParameter::toPlain(ParamValue valueNormalized) const {
  return def_->FromNormalisedUnrounded(valueNormalized);
}

ParamValue IEffectParameter::toNormalized(ParamValue plainValue) const {
  return def_->ToNormalised(plainValue);
}
