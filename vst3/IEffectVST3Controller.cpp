// The edit controller: the host-visible parameters, their values and texts,
// units and program lists, and the editor's gestures to the host.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "vst3/HostCall.h"
#include "vst3/IEffectParameter.h"
#include "vst3/IEffectVST3.h"
#include "vst3/IEffectVST3View.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "vst3/sdk/VstString.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

int32 IEffectVST3::UnitForGroup(const std::string& group) {
  if (group.empty()) return kRootUnitId;
  for (std::size_t k = 0; k < paramGroups_.size(); ++k) {
    if (paramGroups_[k] == group) return static_cast<int32>(k + 1);
  }
  paramGroups_.push_back(group);
  return static_cast<int32>(paramGroups_.size());
}

void IEffectVST3::BuildParameters() {
  if (parameters.getParameterCount() > 0) return;
  paramGroups_.clear();
  if (NPresets() > 0) {
    // One step per preset after the first (at least one, as with a single preset).
    parameters.addParameter(new Parameter("Preset", kPresetParamId, "", 0.0, std::max(1, NPresets() - 1),
                                          ParameterInfo::kIsProgramChange | ParameterInfo::kIsList,
                                          kRootUnitId));
  }
  if (!isInstrument_) {
    auto* bypass = new StringListParameter("Bypass", kBypassParamId, "",
                                           ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass,
                                           kRootUnitId);
    bypass->appendString("off");
    bypass->appendString("on");
    parameters.addParameter(bypass);
  }
  for (int i = 0; i < NParams(); ++i) {
    const IParamDef* def = GetParam(i);
    parameters.addParameter(new IEffectParameter(def, static_cast<ParamID>(i), UnitForGroup(def->Group())));
  }
}

// UI thread.
tresult PLUGIN_API IEffectVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                      String128 string) {
  return HostCallWithOut(string, [&]() -> tresult {
    if (id == kBypassParamId && !isInstrument_) {
      WidenInto(string, 128, valueNormalized > 0.5 ? "on" : "off");
      return kResultOk;
    }
    if (id == kPresetParamId && NPresets() > 0) {
      WidenInto(string, 128, PresetNameAt(valueNormalized).c_str());
      return kResultOk;
    }
    if (id >= static_cast<ParamID>(NParams())) return kResultFalse;
    WidenInto(string, 128, ParamValueText(*GetParam(static_cast<int>(id)), valueNormalized).c_str());
    return kResultOk;
  });
}

// UI thread.
tresult PLUGIN_API IEffectVST3::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  return HostCall([&]() -> tresult {
    if (!string) return kResultFalse;
    // A character beyond 8 bits would narrow to another one (U+0130 to the
    // digit "0"): no text with one names a value.
    if (!NarrowsWhole(string, 128)) return kResultFalse;
    if (id == kPresetParamId && NPresets() > 0) {
      const std::string wanted = LowerAscii(Narrow(string, 128, 127));
      for (int k = 0; k < NPresets(); ++k) {
        const PresetSlot* preset = GetPreset(k);
        if (preset && LowerAscii(preset->name) == wanted) {
          valueNormalized = NPresets() > 1 ? static_cast<double>(k) / (NPresets() - 1) : 0.0;
          return kResultOk;
        }
      }
    }
    return EditControllerEx1::getParamValueByString(id, string, valueNormalized);
  });
}

// UI thread.
ParamValue PLUGIN_API IEffectVST3::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  return HostCall(plainValue, [&] {
    if (id >= static_cast<ParamID>(NParams())) return plainValue;
    return GetParam(static_cast<int>(id))->ToNormalised(plainValue);
  });
}

// The value reads and writes below take the plug-in's mutex: the audio thread
// reads the same values in process.
// UI thread.
ParamValue PLUGIN_API IEffectVST3::getParamNormalized(ParamID id) {
  return HostCall(0.0, [&] {
    PlugLock lock(Mutex());
    if (id == kBypassParamId) return hostBypass_ ? 1.0 : 0.0;
    if (id >= static_cast<ParamID>(NParams())) return 0.0;
    const IParamDef* p = GetParam(static_cast<int>(id));
    return p->ToNormalised(p->Value());
  });
}

// UI thread.
tresult PLUGIN_API IEffectVST3::setParamNormalized(ParamID id, ParamValue value) {
  return HostCall([&]() -> tresult {
    if (id == kBypassParamId && !isInstrument_) {
      // The host bypass as a parameter: on above one half, as in process.
      if (std::isnan(value)) return kResultFalse;
      PlugLock lock(Mutex());
      hostBypass_ = value > 0.5;
      return kResultOk;
    }
    if (id >= static_cast<ParamID>(NParams())) return kResultFalse;
    PlugLock lock(Mutex());
    IParamDef* p = GetParam(static_cast<int>(id));
    p->SetFromNormalised(value);
    // The editor follows the host's automation at its next timer tick.
    if (IEditorLink* editor = Graphics()) editor->SetParameterFromPlug(static_cast<int>(id), p->ToNormalised(p->Value()));
    return kResultOk;
  });
}

// UI thread. Only the exact name "editor" gives a view, whether or not an
// editor is attached (a view without one refuses to open).
IPlugView* PLUGIN_API IEffectVST3::createView(FIDString name) {
  return HostCall(static_cast<IPlugView*>(nullptr), [&]() -> IPlugView* {
    if (!name || std::strcmp(name, ViewType::kEditor) != 0) return nullptr;
    auto* view = new IEffectVST3View(this);
    openViews_.push_back(view);
    return view;
  });
}

int IEffectVST3::PresetIndexFor(ParamValue valueNormalized) const {
  if (NPresets() <= 1) return 0;
  const double v = std::isnan(valueNormalized) ? 0.0 : std::clamp(valueNormalized, 0.0, 1.0);
  return std::clamp(TruncToInt32(std::floor(v * (NPresets() - 1) + 0.5)), 0, NPresets() - 1);
}

std::string IEffectVST3::PresetNameAt(ParamValue valueNormalized) {
  const PresetSlot* preset = GetPreset(PresetIndexFor(valueNormalized));
  return preset ? preset->name : std::string();
}

// ---- IUnitInfo -----------------------------------------------------------------------

// UI thread.
int32 PLUGIN_API IEffectVST3::getUnitCount() {
  return HostCall(int32{1}, [&] { return static_cast<int32>(paramGroups_.size()) + 1; });
}

// UI thread.
tresult PLUGIN_API IEffectVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  return HostCall([&]() -> tresult {
    if (unitIndex == 0) {
      const tresult r = EditControllerEx1::getUnitInfo(0, info);
      // The presets are the root unit's program list.
      if (r == kResultOk && NPresets() > 0) info.programListId = static_cast<ProgramListID>(kPresetParamId);
      return r;
    }
    if (unitIndex < 1 || unitIndex > static_cast<int32>(paramGroups_.size())) return kResultFalse;
    info.id = unitIndex;
    info.parentUnitId = kRootUnitId;
    WidenInto(info.name, 128, paramGroups_[static_cast<std::size_t>(unitIndex - 1)].c_str());
    info.programListId = kNoProgramListId;
    return kResultOk;
  });
}

// UI thread.
int32 PLUGIN_API IEffectVST3::getProgramListCount() {
  return HostCall(int32{0}, [&] { return int32{NPresets() > 0 ? 1 : 0}; });
}

// UI thread.
tresult PLUGIN_API IEffectVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  return HostCall([&]() -> tresult {
    if (listIndex != 0) return kResultFalse;
    info.id = static_cast<ProgramListID>(kPresetParamId);
    WidenInto(info.name, 128, "Factory Presets");
    info.programCount = NPresets();
    return kResultOk;
  });
}

// UI thread.
tresult PLUGIN_API IEffectVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  return HostCallWithOut(name, [&]() -> tresult {
    if (listId != static_cast<ProgramListID>(kPresetParamId)) return kResultFalse;
    const PresetSlot* preset = GetPreset(programIndex);
    WidenInto(name, 128, preset ? preset->name.c_str() : "");
    return kResultOk;
  });
}

// ---- Editor gestures (window thread) ----------------------------------------------------

// A host may keep views open that show nothing (made first and never
// attached, or removed); menus and resizes belong to the one that shows the
// editor.
IEffectVST3View* IEffectVST3::AttachedView() const {
  for (IEffectVST3View* view : openViews_) {
    if (view->getSystemWindow()) return view;
  }
  return nullptr;
}

void IEffectVST3::PopupHostParamMenu(int index, int x, int y) {
  IComponentHandler* handler = getComponentHandler();
  IEffectVST3View* view = AttachedView();
  if (!handler || !view) return;
  IComponentHandler3* h3 = nullptr;
  if (handler->queryInterface(IComponentHandler3::iid, reinterpret_cast<void**>(&h3)) != kResultOk || !h3) return;
  const ParamID id = static_cast<ParamID>(index);
  if (IContextMenu* menu = h3->createContextMenu(view, &id)) {
    menu->popup(x, y);
    menu->release();
  }
  h3->release();
}

void IEffectVST3::ResizeEditor(int width, int height) {
  IEffectVST3View* view = AttachedView();
  if (!Graphics() || !view) return;
  view->ExpectNewSize();
  if (IPlugFrame* frame = view->getFrame()) {
    ViewRect size(0, 0, width, height);
    frame->resizeView(view, &size);
  }
}

void IEffectVST3::BeginEditNotify(int index) { beginEdit(static_cast<ParamID>(index)); }

void IEffectVST3::PerformEditNotify(int index, double normalised) {
  performEdit(static_cast<ParamID>(index), normalised);
}

void IEffectVST3::EndEditNotify(int index) { endEdit(static_cast<ParamID>(index)); }
