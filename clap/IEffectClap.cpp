// The adapter's plug-in object and life cycle: the C function table the host
// calls, init and destroy, activation and processing start and stop, the
// extensions offered, and the host's thread check.

#include "clap/IEffectClap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugbase/HostCall.h"
#include "clap/ClapTimerRunLoop.h"
#include "ext/audio-ports.h"
#include "ext/gui.h"
#include "ext/latency.h"
#include "ext/params.h"
#include "ext/state.h"
#include "ext/timer-support.h"
#include "plugbase/HostIdentity.h"

namespace {

// Scratch buffers never grow beyond this many frames: longer blocks are
// rendered in slices of at most this size (as the VST3 adapter does).
constexpr int kMaxScratchFrames = 16384;

IEffectClap* Self(const clap_plugin_t* plugin) { return IEffectClap::From(plugin); }

bool PluginInit(const clap_plugin_t* plugin) {
  IEffectClap* self = Self(plugin);
  return self && HostCall(false, [&] { return self->Init(); });
}

void PluginDestroy(const clap_plugin_t* plugin) {
  // The instance goes as a whole; nothing of it may throw back into the host.
  HostCallVoid([&] { delete Self(plugin); });
}

bool PluginActivate(const clap_plugin_t* plugin, double rate, std::uint32_t minFrames, std::uint32_t maxFrames) {
  IEffectClap* self = Self(plugin);
  return self && HostCall(false, [&] { return self->Activate(rate, minFrames, maxFrames); });
}

void PluginDeactivate(const clap_plugin_t* plugin) {
  if (IEffectClap* self = Self(plugin)) HostCallVoid([&] { self->Deactivate(); });
}

bool PluginStartProcessing(const clap_plugin_t* plugin) {
  IEffectClap* self = Self(plugin);
  return self && HostCall(false, [&] { return self->StartProcessing(); });
}

void PluginStopProcessing(const clap_plugin_t* plugin) {
  if (IEffectClap* self = Self(plugin)) HostCallVoid([&] { self->StopProcessing(); });
}

void PluginReset(const clap_plugin_t* plugin) {
  if (IEffectClap* self = Self(plugin)) HostCallVoid([&] { self->ResetSignal(); });
}

clap_process_status PluginProcess(const clap_plugin_t* plugin, const clap_process_t* process) {
  IEffectClap* self = Self(plugin);
  if (!self) return CLAP_PROCESS_ERROR;
  return HostCall(clap_process_status{CLAP_PROCESS_ERROR}, [&] { return self->Process(process); });
}

const void* PluginExtension(const clap_plugin_t* plugin, const char* id) {
  IEffectClap* self = Self(plugin);
  if (!self || !id) return nullptr;
  return HostCall(static_cast<const void*>(nullptr), [&] { return self->Extension(id); });
}

void PluginOnMainThread(const clap_plugin_t* /*plugin*/) {}

// ---- The extensions' tables ------------------------------------------------------

std::uint32_t PortsCount(const clap_plugin_t* plugin, bool isInput) {
  IEffectClap* self = Self(plugin);
  return self ? HostCall(std::uint32_t{0}, [&] { return self->PortCount(isInput); }) : 0;
}

bool PortsGet(const clap_plugin_t* plugin, std::uint32_t index, bool isInput, clap_audio_port_info_t* info) {
  IEffectClap* self = Self(plugin);
  return self && info && HostCall(false, [&] { return self->PortInfo(index, isInput, info); });
}

constexpr clap_plugin_audio_ports_t kAudioPorts{&PortsCount, &PortsGet};

std::uint32_t ParamsCount(const clap_plugin_t* plugin) {
  IEffectClap* self = Self(plugin);
  return self ? HostCall(std::uint32_t{0}, [&] { return self->ParamCount(); }) : 0;
}

bool ParamsInfo(const clap_plugin_t* plugin, std::uint32_t index, clap_param_info_t* info) {
  IEffectClap* self = Self(plugin);
  return self && info && HostCall(false, [&] { return self->ParamInfo(index, info); });
}

bool ParamsValue(const clap_plugin_t* plugin, clap_id id, double* value) {
  IEffectClap* self = Self(plugin);
  return self && value && HostCall(false, [&] { return self->ParamValue(id, value); });
}

bool ParamsValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* display, std::uint32_t size) {
  IEffectClap* self = Self(plugin);
  return self && display && size > 0 &&
         HostCall(false, [&] { return self->ParamValueToText(id, value, display, size); });
}

bool ParamsTextToValue(const clap_plugin_t* plugin, clap_id id, const char* display, double* value) {
  IEffectClap* self = Self(plugin);
  return self && display && value && HostCall(false, [&] { return self->ParamTextToValue(id, display, value); });
}

void ParamsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out) {
  if (IEffectClap* self = Self(plugin)) HostCallVoid([&] { self->ParamFlush(in, out); });
}

constexpr clap_plugin_params_t kParams{&ParamsCount,       &ParamsInfo,        &ParamsValue,
                                       &ParamsValueToText, &ParamsTextToValue, &ParamsFlush};

bool StateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
  IEffectClap* self = Self(plugin);
  return self && stream && stream->write && HostCall(false, [&] { return self->SaveState(stream); });
}

bool StateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
  IEffectClap* self = Self(plugin);
  return self && stream && stream->read && HostCall(false, [&] { return self->LoadState(stream); });
}

constexpr clap_plugin_state_t kState{&StateSave, &StateLoad};

std::uint32_t LatencyGet(const clap_plugin_t* plugin) {
  IEffectClap* self = Self(plugin);
  return self ? HostCall(std::uint32_t{0}, [&] { return static_cast<std::uint32_t>(std::max(self->Latency(), 0)); })
              : 0;
}

constexpr clap_plugin_latency_t kLatency{&LatencyGet};

// The gui extension: each entry through HostCall, refused for a null plug-in
// or out-pointer.
template <class Body>
bool Gui(const clap_plugin_t* plugin, Body&& body) {
  IEffectClap* self = Self(plugin);
  return self && HostCall(false, [&] { return body(*self); });
}

constexpr clap_plugin_gui_t kGui{
    [](const clap_plugin_t* p, const char* api, bool floating) {
      return Gui(p, [&](IEffectClap& s) { return s.GuiApiSupported(api, floating); });
    },
    [](const clap_plugin_t* p, const char** api, bool* floating) {
      return api && floating && Gui(p, [&](IEffectClap& s) {
               *api = CLAP_WINDOW_API_X11;
#if defined(_WIN32)
               *api = CLAP_WINDOW_API_WIN32;
#endif
               *floating = false;
               return s.GuiApiSupported(*api, false);
             });
    },
    [](const clap_plugin_t* p, const char* api, bool floating) {
      return Gui(p, [&](IEffectClap& s) { return s.GuiCreate(api, floating); });
    },
    [](const clap_plugin_t* p) {
      Gui(p, [](IEffectClap& s) {
        s.GuiDestroy();
        return true;
      });
    },
    [](const clap_plugin_t* p, double scale) { return Gui(p, [&](IEffectClap& s) { return s.GuiSetScale(scale); }); },
    [](const clap_plugin_t* p, std::uint32_t* w, std::uint32_t* h) {
      return w && h && Gui(p, [&](IEffectClap& s) { return s.GuiSize(*w, *h); });
    },
    [](const clap_plugin_t* p) { return Gui(p, [](IEffectClap& s) { return s.GuiCanResize(); }); },
    [](const clap_plugin_t* p, clap_gui_resize_hints_t* hints) {
      return hints && Gui(p, [&](IEffectClap& s) { return s.GuiResizeHints(*hints); });
    },
    [](const clap_plugin_t* p, std::uint32_t* w, std::uint32_t* h) {
      return w && h && Gui(p, [&](IEffectClap& s) { return s.GuiAdjustSize(*w, *h); });
    },
    [](const clap_plugin_t* p, std::uint32_t w, std::uint32_t h) {
      return Gui(p, [&](IEffectClap& s) { return s.GuiSetSize(w, h); });
    },
    [](const clap_plugin_t* p, const clap_window_t* window) {
      return Gui(p, [&](IEffectClap& s) { return s.GuiSetParent(window); });
    },
    // Embedded only: no transient window, no title, shown while parented.
    [](const clap_plugin_t*, const clap_window_t*) { return false; },
    [](const clap_plugin_t*, const char*) {},
    [](const clap_plugin_t* p) { return Gui(p, [](IEffectClap& s) { return s.GuiCanShow(); }); },
    [](const clap_plugin_t* p) { return Gui(p, [](IEffectClap& s) { return s.GuiCanShow(); }); },
};

constexpr clap_plugin_timer_support_t kTimers{[](const clap_plugin_t* p, clap_id id) {
  Gui(p, [&](IEffectClap& s) {
    s.OnTimer(id);
    return true;
  });
}};

}  // namespace

IEffectClap::IEffectClap(int nParams, const char* channelIOText, int nPresets, const char* effectName,
                         const char* productName, const char* makerName, std::int32_t version,
                         std::int32_t uniqueId, std::int32_t makerId)
    : IEffectBase(nParams, channelIOText, nPresets, effectName, productName, makerName, version, uniqueId,
                  makerId) {
  PrepareHostChannels();
  inputBusLabels_ = {"Main Input", "Aux Input"};
  outputBusLabels_ = {"Output"};
  pendingEdits_.reserve(1024);
}

IEffectClap::~IEffectClap() {
  // A host that destroys the plug-in with its editor still open.
  CloseGuiWindow();
  ReleaseGraphics();
}

const clap_plugin_t* IEffectClap::Attach(const clap_plugin_descriptor_t* descriptor, const clap_host_t* host) {
  host_ = host;
  plugin_.desc = descriptor;
  plugin_.plugin_data = this;
  plugin_.init = &PluginInit;
  plugin_.destroy = &PluginDestroy;
  plugin_.activate = &PluginActivate;
  plugin_.deactivate = &PluginDeactivate;
  plugin_.start_processing = &PluginStartProcessing;
  plugin_.stop_processing = &PluginStopProcessing;
  plugin_.reset = &PluginReset;
  plugin_.process = &PluginProcess;
  plugin_.get_extension = &PluginExtension;
  plugin_.on_main_thread = &PluginOnMainThread;
  return &plugin_;
}

IEffectClap* IEffectClap::From(const clap_plugin_t* plugin) {
  return plugin ? static_cast<IEffectClap*>(plugin->plugin_data) : nullptr;
}

// A host without the thread check is trusted; one with it is asked.
bool IEffectClap::OnMainThread() const {
  return !threadCheck_ || !threadCheck_->is_main_thread || threadCheck_->is_main_thread(host_);
}

bool IEffectClap::OnAudioThread() const {
  return !threadCheck_ || !threadCheck_->is_audio_thread || threadCheck_->is_audio_thread(host_);
}

// Main thread, once. The host's extensions may be asked for from here on.
bool IEffectClap::Init() {
  if (initialised_) return false;
  if (host_ && host_->get_extension) {
    threadCheck_ = static_cast<const clap_host_thread_check_t*>(host_->get_extension(host_, CLAP_EXT_THREAD_CHECK));
    hostParams_ = static_cast<const clap_host_params_t*>(host_->get_extension(host_, CLAP_EXT_PARAMS));
  }
  if (!OnMainThread()) {
    threadCheck_ = nullptr;
    hostParams_ = nullptr;
    return false;
  }
  PlugLock lock(Mutex());
  hostId_ = IdentifyHost(host_ && host_->name ? host_->name : "");
  hostVersion_ = 0;
  HostIdentified();
  LoadPreset(0);
  initialised_ = true;
  return true;
}

// Main thread, while inactive: sizes the buffers and clears the signal state.
bool IEffectClap::Activate(double sampleRate, std::uint32_t /*minFrames*/, std::uint32_t maxFrames) {
  if (!initialised_ || active_ || !OnMainThread()) return false;
  // A rate or block size no signal path can run at is refused, nothing changed.
  if (!std::isfinite(sampleRate) || !(sampleRate > 0.0) || maxFrames == 0) return false;
  PlugLock lock(Mutex());
  sampleRate_ = sampleRate;
  SetBlockSize(static_cast<int>(std::min<std::uint32_t>(maxFrames, kMaxScratchFrames)));
  Reset();
  sidechainActive_ = false;
  active_ = true;
  ActiveChanged(true);
  return true;
}

// Main thread; a no-op while inactive.
void IEffectClap::Deactivate() {
  if (!active_ || !OnMainThread()) return;
  PlugLock lock(Mutex());
  processing_ = false;
  active_ = false;
  ActiveChanged(false);
}

// Audio thread, while active.
bool IEffectClap::StartProcessing() {
  if (!active_ || !OnAudioThread()) return false;
  processing_ = true;
  return true;
}

void IEffectClap::StopProcessing() {
  if (!active_ || !OnAudioThread()) return;
  processing_ = false;
}

// Audio thread, while active: the signal state only, not the parameters.
void IEffectClap::ResetSignal() {
  if (!active_ || !OnAudioThread()) return;
  PlugLock lock(Mutex());
  Reset();
}

// Any thread.
const void* IEffectClap::Extension(const char* id) {
  if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
  if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
  if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
  // The editor only where the plug-in has one.
  if (Graphics() && std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
  if (Graphics() && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &kTimers;
  return nullptr;
}

void IEffectClap::SetLatency(int samples) {
  const bool changed = samples != Latency();
  IEffectBase::SetLatency(samples);
  if (!changed || !host_ || !host_->get_extension || !initialised_ || !OnMainThread()) return;
  const auto* latency = static_cast<const clap_host_latency_t*>(host_->get_extension(host_, CLAP_EXT_LATENCY));
  if (latency && latency->changed) latency->changed(host_);
}
