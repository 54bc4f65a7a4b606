#include "vst3/IEffectParameter.h"

#include <cmath>

#include "vst3/sdk/VstString.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string ParamValueText(const IParamDef& def, double normalized) {
  return def.FormatDisplay(def.PlainFromNormalised(normalized));
}

bool IsList(const IParamDef& def) {
  if (def.Kind() == ParamKind::Continuous || def.NDisplayTexts() == 0 || def.Step() != 1.0) return false;
  const double steps = def.MaxValue() - def.MinValue();
  if (!(steps >= 1.0 && steps <= 1024.0) || std::floor(def.MinValue()) != def.MinValue()) return false;
  for (double v = def.MinValue(); v <= def.MaxValue(); v += 1.0) {
    const char* text = def.GetDisplayText(TruncToInt32(v));
    if (!text || !*text) return false;
  }
  return true;
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
  if (IsList(*def)) info_.flags |= ParameterInfo::kIsList;
  valueNormalized_ = info_.defaultNormalizedValue;
  precision_ = def->DisplayPrecision();
}

void IEffectParameter::toString(ParamValue valueNormalized, String128 text) const {
  WidenInto(text, 128, ParamValueText(*def_, valueNormalized).c_str());
}

bool IEffectParameter::fromString(const TChar* text, ParamValue& valueNormalized) const {
  if (!text) return false;
  double plain = 0.0;
  if (!def_->ParseDisplay(Narrow(text, 128, 127), plain)) return false;
  valueNormalized = def_->ToNormalised(plain);
  return true;
}

ParamValue IEffectParameter::toPlain(ParamValue valueNormalized) const {
  return def_->FromNormalisedUnrounded(valueNormalized);
}

ParamValue IEffectParameter::toNormalized(ParamValue plainValue) const {
  return def_->ToNormalised(plainValue);
}
