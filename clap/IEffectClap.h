#pragma once

// The CLAP adapter: joins the host-independent plug-in core (IEffectBase) to
// a CLAP host as one clap_plugin with the audio-ports, params, state, latency
// extensions. A concrete plug-in derives from it, exactly as it would from the
// VST3 adapter (the constructor takes the same arguments). The definitions are
// split by concern: IEffectClap.cpp (the plugin object, life cycle, threads),
// IEffectClapProcess.cpp (ports and processing), IEffectClapParams.cpp,
// IEffectClapState.cpp. Every host entry point runs its body through
// HostCall (plugbase/HostCall.h) and first checks that the host calls it on the thread CLAP names for it:
// a call on the wrong thread, or out of order, is refused.

#include <cstdint>
#include <memory>
#include <vector>

#include "plugbase/AdapterParamIds.h"
#include "plugbase/HostBlock.h"
#include "plugbase/IEffectBase.h"
#include "events.h"
#include "ext/gui.h"
#include "ext/thread-check.h"
#include "host.h"
#include "plugin.h"

struct clap_host_params;
class ClapTimerRunLoop;

class IEffectClap : public IEffectBase {
 public:
  // Host-visible ids of the two parameters the adapter adds, the same as the
  // VST3 adapter's, so automation and mappings are the same in both formats.
  static constexpr clap_id kBypassParamId = kBypassParamCodeId;
  static constexpr clap_id kPresetParamId = kPresetParamCodeId;
  static constexpr std::int32_t kApiClap = 2;

  IEffectClap(int nParams, const char* channelIOText, int nPresets, const char* effectName,
              const char* productName, const char* makerName, std::int32_t version,
              std::int32_t uniqueId, std::int32_t makerId);
  ~IEffectClap() override;

  // The plug-in object a factory hands to the host; its destroy deletes this.
  // Call once, right after construction, with the descriptor and host the
  // factory was given.
  const clap_plugin_t* Attach(const clap_plugin_descriptor_t* descriptor, const clap_host_t* host);
  // The adapter behind a plug-in object the host passes back (null for null).
  static IEffectClap* From(const clap_plugin_t* plugin);

  std::int32_t GetApiCode() override { return kApiClap; }
  bool HostBypass() const { return hostBypass_; }
  bool IsActive() const { return active_; }
  bool IsProcessing() const { return processing_; }

  // ---- The host's calls (thread as CLAP names it) -------------------------------
  bool Init();                                                          // main
  bool Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames);  // main
  void Deactivate();                                                    // main
  bool StartProcessing();                                               // audio
  void StopProcessing();                                                // audio
  void ResetSignal();                                                   // audio
  clap_process_status Process(const clap_process_t* process);           // audio
  const void* Extension(const char* id);                                // any

  // Audio ports (main thread): main stereo in and out as an in-place pair,
  // and the stereo sidechain input.
  std::uint32_t PortCount(bool isInput);
  bool PortInfo(std::uint32_t index, bool isInput, struct clap_audio_port_info* info);

  // Parameters (main thread; Flush on the audio thread while active). The
  // plug-in's own parameters have ids 0..n-1 in index order, then the host
  // bypass and the preset selector. Values are plain values, in the
  // parameter's own unit and range (a stepped one's an integer step).
  std::uint32_t ParamCount();
  bool ParamInfo(std::uint32_t index, struct clap_param_info* info);
  bool ParamValue(clap_id id, double* value);
  bool ParamValueToText(clap_id id, double value, char* display, std::uint32_t size);
  bool ParamTextToValue(clap_id id, const char* display, double* value);
  void ParamFlush(const clap_input_events_t* in, const clap_output_events_t* out);

  // State (main thread): the base's state bytes, unchanged.
  bool SaveState(const struct clap_ostream* stream);
  bool LoadState(const struct clap_istream* stream);

  // The editor (IEffectClapGui.cpp; main thread): created and destroyed,
  // parented in the host's window, scaled (Windows) and sized.
  bool GuiApiSupported(const char* api, bool floating) const;
  bool GuiCreate(const char* api, bool floating);
  void GuiDestroy();
  bool GuiSetScale(double scale);
  bool GuiSize(std::uint32_t& width, std::uint32_t& height) const;
  bool GuiCanResize() const;
  bool GuiResizeHints(clap_gui_resize_hints_t& hints) const;
  bool GuiAdjustSize(std::uint32_t& width, std::uint32_t& height) const;
  bool GuiSetSize(std::uint32_t width, std::uint32_t height);
  bool GuiSetParent(const clap_window_t* window);
  // show and hide: the embedded editor shows while it has a parent.
  bool GuiCanShow() const { return guiCreated_; }
  // The host's timer, which drives the X11 editor window.
  void OnTimer(clap_id id);

  // ---- IEffectBase operations the adapter supplies ------------------------------------
  // Stores the latency; the host hears of a change (main thread, while inactive).
  void SetLatency(int samples) override;
  // The editor's gestures (window thread): queued for the next block or
  // flush, which the host is asked for when it is not processing.
  void BeginEditNotify(int index) override;
  void PerformEditNotify(int index, double normalised) override;
  void EndEditNotify(int index) override;
  // The editor asks the host for this window size (window thread).
  void ResizeEditor(int width, int height) override;

 private:
  bool OnMainThread() const;
  bool OnAudioThread() const;
  // Applies each parameter event of the list in order (the block takes the
  // last value of each parameter); a preset loaded among them is reported
  // to the host as every parameter's new value through out.
  void ApplyEvents(const clap_input_events_t* in, const clap_output_events_t* out);
  void ApplyParamValue(clap_id id, double value, bool& presetLoaded);
  void ReportValuesToHost(const clap_output_events_t* out);
  void QueueEdit(std::uint16_t type, int index, double value);
  // The queued edits as gesture and value events; under the mutex.
  void SendEdits(const clap_output_events_t* out);
  void CloseGuiWindow();
  void ConnectBuffers(const clap_process_t* process);

  clap_plugin_t plugin_{};
  const clap_host_t* host_ = nullptr;
  const clap_host_thread_check_t* threadCheck_ = nullptr;
  const clap_host_params* hostParams_ = nullptr;
  bool initialised_ = false;
  bool active_ = false;
  bool processing_ = false;
  // True while the sidechain port had buffers in the last block.
  bool sidechainActive_ = false;
  // This block's host buffers per channel.
  HostBlock hostBlock_{*this};
  // The editor: created by the host, the window it opened in the host's
  // window (guiParent_), and the host's timer as its run loop on Linux.
  bool guiCreated_ = false;
  void* guiParent_ = nullptr;
  void* guiWindow_ = nullptr;
  std::unique_ptr<ClapTimerRunLoop> runLoop_;
  struct PendingEdit {
    std::uint16_t type;
    clap_id id;
    double value;
  };
  // Under the mutex; room reserved once, so the audio thread only clears it.
  std::vector<PendingEdit> pendingEdits_;
};
