#pragma once

// Parameters as the edit controller shows them to the host, and the ordered
// container the controller keeps them in.

#include <map>
#include <vector>

#include "vst3/sdk/FObject.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/vsttypes.h"

namespace Steinberg::Vst {

class Parameter : public FObject {
  MIREL_FOBJECT_CHAIN(Parameter, FObject)
 public:
  Parameter() = default;
  explicit Parameter(const ParameterInfo& info);
  // title and units are 8-bit texts, widened.
  Parameter(const char* title, ParamID id, const char* units, ParamValue defaultNormalized,
            int32 stepCount, int32 flags, UnitID unitId);

  const ParameterInfo& getInfo() const { return info_; }
  ParameterInfo& getInfo() { return info_; }

  // Stores v clamped into 0..1; false when the value did not change.
  virtual bool setNormalized(ParamValue v);
  virtual ParamValue getNormalized() const { return valueNormalized_; }

  // The value text for a normalised value (stepped: the step number; else
  // the value with the parameter's precision).
  virtual void toString(ParamValue valueNormalized, String128 text) const;
  // Parses a text into a normalised value; false when it is not a number.
  virtual bool fromString(const TChar* text, ParamValue& valueNormalized) const;
  virtual ParamValue toPlain(ParamValue valueNormalized) const;
  virtual ParamValue toNormalized(ParamValue plainValue) const;

  int32 getPrecision() const { return precision_; }
  void setPrecision(int32 p) { precision_ = p; }

 protected:
  ParameterInfo info_{};
  ParamValue valueNormalized_ = 0.0;
  int32 precision_ = 4;
};

// A list parameter: entry k stands for the normalised value k / stepCount.
class StringListParameter : public Parameter {
  MIREL_FOBJECT_CHAIN(StringListParameter, Parameter)
 public:
  StringListParameter(const char* title, ParamID id, const char* units, int32 flags,
                      UnitID unitId);

  // Appends an 8-bit entry (widened); the step count grows by one, from -1.
  void appendString(const char* text);
  int32 entryCount() const { return static_cast<int32>(strings_.size()); }

  void toString(ParamValue valueNormalized, String128 text) const override;
  bool fromString(const TChar* text, ParamValue& valueNormalized) const override;
  ParamValue toPlain(ParamValue valueNormalized) const override;
  ParamValue toNormalized(ParamValue plainValue) const override;

 private:
  std::vector<std::vector<TChar>> strings_;
};

// Ordered parameters with lookup by id; holds one reference on each.
class ParameterContainer {
 public:
  ParameterContainer() = default;
  ~ParameterContainer();
  ParameterContainer(const ParameterContainer&) = delete;
  ParameterContainer& operator=(const ParameterContainer&) = delete;

  // Takes over the caller's creation reference; a duplicate id is refused
  // (and released). Returns the parameter or null.
  Parameter* addParameter(Parameter* p);
  Parameter* getParameter(ParamID id) const;
  Parameter* getParameterByIndex(int32 index) const;
  int32 getParameterCount() const { return static_cast<int32>(params_.size()); }
  void removeAll();

 private:
  std::vector<Parameter*> params_;
  std::map<ParamID, std::size_t> byId_;
};

}  // namespace Steinberg::Vst
