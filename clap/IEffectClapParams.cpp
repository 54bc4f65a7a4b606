// Parameters for the host: their descriptions, values and texts, and the
// parameter events of a block or a flush. The texts are the plug-in's own
// (IParamDef's formatting and parsing), the same as a VST3 host shows.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "clap/IEffectClap.h"
#include "ext/params.h"

namespace {

bool IsStepped(const IParamDef& def) { return def.Kind() != ParamKind::Continuous; }

// The value a host's plain value sets: the one a VST3 host's normalised form
// of the same plain value sets (bounded into the range, a stepped one
// rounded to its step), so both formats reach the same bits.
double Settled(const IParamDef& def, double plain) { return def.PlainFromNormalised(def.ToNormalised(plain)); }

void CopyText(char* dst, std::size_t size, const std::string& text) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(dst, text.data(), n);
  dst[n] = '\0';
}

int NearestStep(double value, int count) {
  return std::clamp(TruncToInt32(std::floor(value + 0.5)), 0, std::max(count - 1, 0));
}

}  // namespace

// Main thread.
std::uint32_t IEffectClap::ParamCount() {
  if (!OnMainThread()) return 0;
  return static_cast<std::uint32_t>(NParams() + 1 + (NPresets() > 0 ? 1 : 0));
}

// Main thread.
bool IEffectClap::ParamInfo(std::uint32_t index, clap_param_info_t* info) {
  if (!OnMainThread() || index >= ParamCount()) return false;
  *info = clap_param_info_t{};
  const auto n = static_cast<std::uint32_t>(NParams());
  if (index < n) {
    const IParamDef& def = *GetParam(static_cast<int>(index));
    info->id = index;
    CopyText(info->name, sizeof info->name, def.Name());
    CopyText(info->module, sizeof info->module, def.Group());
    if (IsStepped(def)) info->flags |= CLAP_PARAM_IS_STEPPED;
    if (def.CanAutomate()) info->flags |= CLAP_PARAM_IS_AUTOMATABLE;
    info->min_value = def.MinValue();
    info->max_value = def.MaxValue();
    info->default_value = def.DefaultValue();
  } else if (index == n) {
    info->id = kBypassParamId;
    CopyText(info->name, sizeof info->name, "Bypass");
    info->flags = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_AUTOMATABLE;
    info->max_value = 1.0;
  } else {
    // Choosing a preset changes every parameter; the host hears each new
    // value as an output event of the same block or flush. Not automatable:
    // a preset is a user's choice, not a moving value.
    info->id = kPresetParamId;
    CopyText(info->name, sizeof info->name, "Preset");
    info->flags = CLAP_PARAM_IS_STEPPED;
    info->max_value = std::max(NPresets() - 1, 0);
  }
  return true;
}

// Main thread.
bool IEffectClap::ParamValue(clap_id id, double* value) {
  if (!OnMainThread()) return false;
  PlugLock lock(Mutex());
  if (id == kBypassParamId) {
    *value = hostBypass_ ? 1.0 : 0.0;
  } else if (id == kPresetParamId && NPresets() > 0) {
    *value = CurrentPreset();
  } else if (id < static_cast<clap_id>(NParams())) {
    *value = GetParam(static_cast<int>(id))->Value();
  } else {
    return false;
  }
  return true;
}

// Main thread.
bool IEffectClap::ParamValueToText(clap_id id, double value, char* display, std::uint32_t size) {
  if (!OnMainThread() || std::isnan(value)) return false;
  std::string text;
  if (id == kBypassParamId) {
    text = value > 0.5 ? "on" : "off";
  } else if (id == kPresetParamId && NPresets() > 0) {
    const PresetSlot* preset = GetPreset(NearestStep(value, NPresets()));
    text = preset ? preset->name : "";
  } else if (id < static_cast<clap_id>(NParams())) {
    const IParamDef& def = *GetParam(static_cast<int>(id));
    text = def.FormatDisplay(Settled(def, value));
  } else {
    return false;
  }
  CopyText(display, size, text);
  return true;
}

// Main thread. A text that does not read as a value is refused.
bool IEffectClap::ParamTextToValue(clap_id id, const char* display, double* value) {
  if (!OnMainThread()) return false;
  const std::string wanted = LowerAscii(display);
  if (id == kBypassParamId) {
    if (wanted != "on" && wanted != "off") return false;
    *value = wanted == "on" ? 1.0 : 0.0;
    return true;
  }
  if (id == kPresetParamId && NPresets() > 0) {
    for (int k = 0; k < NPresets(); ++k) {
      const PresetSlot* preset = GetPreset(k);
      if (preset && LowerAscii(preset->name) == wanted) {
        *value = k;
        return true;
      }
    }
    return false;
  }
  if (id >= static_cast<clap_id>(NParams())) return false;
  const IParamDef& def = *GetParam(static_cast<int>(id));
  double plain = 0.0;
  if (!def.ParseDisplay(display, plain)) return false;
  *value = Settled(def, plain);
  return true;
}

// Audio thread while active, else main thread: the events apply whether or
// not the plug-in processes.
void IEffectClap::ParamFlush(const clap_input_events_t* in, const clap_output_events_t* out) {
  if (active_ ? !OnAudioThread() : !OnMainThread()) return;
  PlugLock lock(Mutex());
  ApplyEvents(in, out);
}

void IEffectClap::ApplyParamValue(clap_id id, double value, bool& presetLoaded) {
  if (std::isnan(value)) return;
  if (id == kBypassParamId) {
    hostBypass_ = value > 0.5;
  } else if (id == kPresetParamId) {
    if (NPresets() > 0) presetLoaded = LoadPreset(NearestStep(value, NPresets())) || presetLoaded;
  } else if (id < static_cast<clap_id>(NParams())) {
    // CLAP's values are plain; the base takes them normalised.
    const int index = static_cast<int>(id);
    ApplyHostValue(index, GetParam(index)->ToNormalised(value));
  }
}

// Under the plug-in's mutex. The block takes each parameter's last value:
// changes are not sample-accurate, as on the VST3 side.
void IEffectClap::ApplyEvents(const clap_input_events_t* in, const clap_output_events_t* out) {
  // The editor's edits since the last block or flush go first.
  if (!pendingEdits_.empty()) SendEdits(out);
  if (!in || !in->size || !in->get) return;
  bool presetLoaded = false;
  const std::uint32_t count = in->size(in);
  for (std::uint32_t i = 0; i < count; ++i) {
    const clap_event_header_t* header = in->get(in, i);
    if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID || header->type != CLAP_EVENT_PARAM_VALUE ||
        header->size < sizeof(clap_event_param_value_t)) {
      continue;
    }
    const auto* event = reinterpret_cast<const clap_event_param_value_t*>(header);
    ApplyParamValue(event->param_id, event->value, presetLoaded);
  }
  if (presetLoaded) ReportValuesToHost(out);
}

// A preset loaded inside a block or flush changed every value behind the
// host's back: each one goes out as a value event at the block's start.
void IEffectClap::ReportValuesToHost(const clap_output_events_t* out) {
  if (!out || !out->try_push) return;
  for (int i = 0; i < NParams(); ++i) {
    clap_event_param_value_t event{};
    event.header.size = sizeof event;
    event.header.time = 0;
    event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
    event.header.type = CLAP_EVENT_PARAM_VALUE;
    event.param_id = static_cast<clap_id>(i);
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = GetParam(i)->Value();
    out->try_push(out, &event.header);
  }
}
