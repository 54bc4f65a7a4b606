#include "vst3/sdk/EditController.h"

#include <algorithm>

#include "vst3/sdk/VstString.h"

namespace Steinberg::Vst {

EditController::~EditController() = default;

tresult PLUGIN_API EditController::terminate() {
  // The component handler stays until the host replaces it (or the object ends).
  parameters.removeAll();
  return ComponentBase::terminate();
}

tresult PLUGIN_API EditController::setComponentState(IBStream*) { return kNotImplemented; }
tresult PLUGIN_API EditController::setState(IBStream*) { return kNotImplemented; }
tresult PLUGIN_API EditController::getState(IBStream*) { return kNotImplemented; }

int32 PLUGIN_API EditController::getParameterCount() { return parameters.getParameterCount(); }

tresult PLUGIN_API EditController::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  const Parameter* p = parameters.getParameterByIndex(paramIndex);
  if (!p) return kResultFalse;
  info = p->getInfo();
  return kResultOk;
}

tresult PLUGIN_API EditController::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                         String128 string) {
  const Parameter* p = parameters.getParameter(id);
  if (!p || !string) return kResultFalse;
  p->toString(valueNormalized, string);
  return kResultOk;
}

tresult PLUGIN_API EditController::getParamValueByString(ParamID id, TChar* string,
                                                         ParamValue& valueNormalized) {
  const Parameter* p = parameters.getParameter(id);
  if (!p || !string) return kResultFalse;
  return p->fromString(string, valueNormalized) ? kResultOk : kResultFalse;
}

ParamValue PLUGIN_API EditController::normalizedParamToPlain(ParamID id, ParamValue v) {
  const Parameter* p = parameters.getParameter(id);
  return p ? p->toPlain(v) : v;
}

ParamValue PLUGIN_API EditController::plainParamToNormalized(ParamID id, ParamValue plain) {
  const Parameter* p = parameters.getParameter(id);
  return p ? p->toNormalized(plain) : plain;
}

ParamValue PLUGIN_API EditController::getParamNormalized(ParamID id) {
  const Parameter* p = parameters.getParameter(id);
  return p ? p->getNormalized() : 0.0;
}

tresult PLUGIN_API EditController::setParamNormalized(ParamID id, ParamValue value) {
  Parameter* p = parameters.getParameter(id);
  if (!p) return kResultFalse;
  p->setNormalized(value);
  return kResultOk;
}

tresult PLUGIN_API EditController::setComponentHandler(IComponentHandler* handler) {
  if (handler == componentHandler_.get()) return kResultOk;
  componentHandler_ = handler;
  componentHandler2_ = nullptr;
  if (handler) {
    IComponentHandler2* h2 = nullptr;
    if (handler->queryInterface(IComponentHandler2::iid, reinterpret_cast<void**>(&h2)) == kResultOk && h2) {
      componentHandler2_ = owned(h2);
    }
  }
  return kResultOk;
}

IPlugView* PLUGIN_API EditController::createView(FIDString) { return nullptr; }

tresult PLUGIN_API EditController::setKnobMode(KnobMode) { return kResultOk; }
tresult PLUGIN_API EditController::openHelp(TBool) { return kResultFalse; }
tresult PLUGIN_API EditController::openAboutBox(TBool) { return kResultFalse; }

tresult EditController::beginEdit(ParamID id) {
  return componentHandler_ ? componentHandler_->beginEdit(id) : kResultFalse;
}

tresult EditController::performEdit(ParamID id, ParamValue valueNormalized) {
  return componentHandler_ ? componentHandler_->performEdit(id, valueNormalized) : kResultFalse;
}

tresult EditController::endEdit(ParamID id) {
  return componentHandler_ ? componentHandler_->endEdit(id) : kResultFalse;
}

tresult EditController::startGroupEdit() {
  return componentHandler2_ ? componentHandler2_->startGroupEdit() : kNotImplemented;
}

tresult EditController::finishGroupEdit() {
  return componentHandler2_ ? componentHandler2_->finishGroupEdit() : kNotImplemented;
}

tresult PLUGIN_API EditController::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (QueryAs<IEditController>(this, queryIid, obj)) return kResultOk;
  if (QueryAs<IEditController2>(this, queryIid, obj)) return kResultOk;
  return ComponentBase::queryInterface(queryIid, obj);
}

tresult PLUGIN_API EditControllerEx1::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kResultFalse;
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  WidenInto(info.name, std::size(info.name), "Root Unit");
  info.programListId = kNoProgramListId;
  return kResultOk;
}

tresult PLUGIN_API EditControllerEx1::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (QueryAs<IUnitInfo>(this, queryIid, obj)) return kResultOk;
  return EditController::queryInterface(queryIid, obj);
}

}  // namespace Steinberg::Vst
