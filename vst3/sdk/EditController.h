#pragma once

// The edit controller side: the parameter container, the host's component
// handler and the edit notifications forwarded to it. EditControllerEx1
// adds IUnitInfo.

#include "vst3/sdk/ComponentBase.h"
#include "vst3/sdk/Parameter.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace Steinberg::Vst {

class EditController : public ComponentBase, public IEditController, public IEditController2 {
  MIREL_FOBJECT_CHAIN(EditController, ComponentBase)
 public:
  EditController() = default;
  ~EditController() override;

  // All of IEditController runs on the host's controller (UI) thread.
  tresult PLUGIN_API initialize(FUnknown* context) override { return ComponentBase::initialize(context); }
  tresult PLUGIN_API terminate() override;
  tresult PLUGIN_API setComponentState(IBStream* state) override;
  tresult PLUGIN_API setState(IBStream* state) override;
  tresult PLUGIN_API getState(IBStream* state) override;
  int32 PLUGIN_API getParameterCount() override;
  tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
  tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                           String128 string) override;
  tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                           ParamValue& valueNormalized) override;
  ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
  ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  ParamValue PLUGIN_API getParamNormalized(ParamID id) override;
  tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;
  tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) override;
  IPlugView* PLUGIN_API createView(FIDString name) override;

  // IEditController2.
  tresult PLUGIN_API setKnobMode(KnobMode mode) override;
  tresult PLUGIN_API openHelp(TBool onlyCheck) override;
  tresult PLUGIN_API openAboutBox(TBool onlyCheck) override;

  // Forwarded to the component handler; kResultFalse without one. Any thread
  // the editor runs on.
  virtual tresult beginEdit(ParamID id);
  virtual tresult performEdit(ParamID id, ParamValue valueNormalized);
  virtual tresult endEdit(ParamID id);
  // Forwarded to IComponentHandler2; kNotImplemented without one.
  virtual tresult startGroupEdit();
  virtual tresult finishGroupEdit();

  IComponentHandler* getComponentHandler() const { return componentHandler_.get(); }

  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(FObject)

 protected:
  ParameterContainer parameters;
  IPtr<IComponentHandler> componentHandler_;
  IPtr<IComponentHandler2> componentHandler2_;
};

class EditControllerEx1 : public EditController, public IUnitInfo {
  MIREL_FOBJECT_CHAIN(EditControllerEx1, EditController)
 public:
  // The unit and program-list queries; a derived class answers them.
  int32 PLUGIN_API getUnitCount() override { return 1; }
  tresult PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) override;
  int32 PLUGIN_API getProgramListCount() override { return 0; }
  tresult PLUGIN_API getProgramListInfo(int32, ProgramListInfo&) override { return kResultFalse; }
  tresult PLUGIN_API getProgramName(ProgramListID, int32, String128) override { return kResultFalse; }
  tresult PLUGIN_API getProgramInfo(ProgramListID, int32, CString, String128) override {
    return kNotImplemented;
  }
  tresult PLUGIN_API hasProgramPitchNames(ProgramListID, int32) override { return kNotImplemented; }
  tresult PLUGIN_API getProgramPitchName(ProgramListID, int32, int16, String128) override {
    return kNotImplemented;
  }
  UnitID PLUGIN_API getSelectedUnit() override { return 0; }
  tresult PLUGIN_API selectUnit(UnitID) override { return kNotImplemented; }
  tresult PLUGIN_API getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) override {
    return kNotImplemented;
  }
  tresult PLUGIN_API setUnitProgramData(int32, int32, IBStream*) override { return kNotImplemented; }

  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(FObject)
};

}  // namespace Steinberg::Vst
