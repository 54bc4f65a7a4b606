#pragma once

// One base parameter as the host's edit controller sees it. Ranges, shape and
// texts come from the plug-in's IParamDef; this keeps no copy of its value.

#include "plugbase/IParamDef.h"
#include "vst3/sdk/Parameter.h"

class IEffectParameter : public Steinberg::Vst::Parameter {
  MIREL_FOBJECT_CHAIN(IEffectParameter, Parameter)
 public:
  IEffectParameter(const IParamDef* def, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unitId);

  // The value text of a normalised value (display text, or the number).
  void toString(Steinberg::Vst::ParamValue valueNormalized,
                Steinberg::Vst::String128 text) const override;
  // Reads a value text (IParamDef::ParseDisplay), bounds it to the range and
  // normalises it; false, leaving the value alone, for a text it cannot read.
  bool fromString(const Steinberg::Vst::TChar* text,
                  Steinberg::Vst::ParamValue& valueNormalized) const override;
  // v^shape * (max - min) + min, without step rounding.
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const override;
  // ((clamp(p) - min) / (max - min))^(1 / shape).
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plainValue) const override;

 private:
  const IParamDef* def_;  // owned by the plug-in base, which outlives the container
};

// The host-facing value text of a parameter for a normalised value, 8-bit.
std::string ParamValueText(const IParamDef& def, double normalized);
// True for a stepped parameter with a display text for every step: hosts are
// told it is a list, to show a menu or a switch.
bool IsList(const IParamDef& def);
