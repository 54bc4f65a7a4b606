#pragma once
// One CLAP plug-in driven the way a host drives it: created through a
// module's factory with this host's clap_host (which offers the thread
// check), initialised, activated with processing started, processed, its
// parameters flushed and its state saved and loaded; destroyed in reverse.
// The host's main thread is the thread that created it; the audio thread is
// any other thread, or the main thread while it runs a call of this class
// that CLAP gives the audio thread (Process, StartProcessing, a flush while
// active): the thread check answers accordingly.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ext/audio-ports.h"
#include "ext/gui.h"
#include "ext/latency.h"
#include "ext/params.h"
#include "ext/state.h"
#include "ext/thread-check.h"
#include "ext/timer-support.h"
#include "host.h"
#include "host/ClapEvents.h"
#include "host/ClapModule.h"
#include "plugin.h"

namespace mirel::host {

class ClapPlugin {
 public:
  struct Options {
    std::string hostName = "mirel-host";
    // False: the host offers no thread check (a plug-in must then trust it).
    bool threadCheck = true;
  };

  // Creates the plug-in `id` (the factory's first when empty) without
  // initialising it. Null and `error` set when the factory gives none.
  static std::unique_ptr<ClapPlugin> Create(const ClapModule& module, const std::string& id, const Options& options,
                                            std::string& error);
  // Deactivates when active, then destroys the plug-in.
  ~ClapPlugin();
  ClapPlugin(const ClapPlugin&) = delete;
  ClapPlugin& operator=(const ClapPlugin&) = delete;

  const clap_plugin_t* Plugin() const { return plugin_; }
  // init; the extensions below are asked for once it succeeds (null if the
  // plug-in has none).
  bool Init();
  const clap_plugin_params_t* Params() const { return params_; }
  const clap_plugin_state_t* State() const { return state_; }
  const clap_plugin_audio_ports_t* Ports() const { return ports_; }
  const clap_plugin_latency_t* Latency() const { return latency_; }

  // activate, then start_processing on the audio thread.
  bool Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames);
  // stop_processing on the audio thread, then deactivate.
  void Deactivate();
  bool IsActive() const { return active_; }
  // The plug-in's process as the audio thread; null event lists become empty ones.
  clap_process_status Process(const clap_process_t* process);
  // The params extension's flush: as the audio thread while active.
  void Flush(const ClapInputEvents& in, ClapOutputEvents& out);
  // Runs body as the host's audio thread would.
  template <class Body>
  auto AsAudioThread(Body&& body) {
    AudioScope scope(*this);
    return body();
  }

  // The state through the state extension's streams, `piece` bytes per call
  // at most (0: all at once).
  bool SaveState(std::vector<std::uint8_t>& out, std::size_t piece = 0);
  bool LoadState(const std::vector<std::uint8_t>& bytes, std::size_t piece = 0);

  // The parameter's value through get_value (NaN when refused).
  double Value(clap_id id) const;
  // Everything the plug-in asked of the host so far.
  int FlushRequests() const { return flushRequests_; }
  int Rescans() const { return rescans_; }
  const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ResizeRequests() const { return resizeRequests_; }

  // The host's timers (timer-support): how many the plug-in has registered,
  // and one tick of each, as a host's main loop gives it.
  std::size_t TimerCount() const { return timers_.size(); }
  void RunTimers();

 private:
  struct AudioScope {
    explicit AudioScope(ClapPlugin& p) : plugin(p) { plugin.audioDepth_.fetch_add(1); }
    ~AudioScope() { plugin.audioDepth_.fetch_sub(1); }
    ClapPlugin& plugin;
  };
  ClapPlugin() = default;
  bool IsAudioThread() const;

  Options options_;
  clap_host_t host_{};
  clap_host_thread_check_t threadCheck_{};
  clap_host_params_t hostParams_{};
  clap_host_timer_support_t hostTimers_{};
  clap_host_gui_t hostGui_{};
  std::vector<clap_id> timers_;
  clap_id nextTimer_ = 1;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> resizeRequests_;
  std::thread::id mainThread_ = std::this_thread::get_id();
  std::atomic<int> audioDepth_{0};
  const clap_plugin_t* plugin_ = nullptr;
  const clap_plugin_params_t* params_ = nullptr;
  const clap_plugin_state_t* state_ = nullptr;
  const clap_plugin_audio_ports_t* ports_ = nullptr;
  const clap_plugin_latency_t* latency_ = nullptr;
  bool active_ = false;
  int flushRequests_ = 0;
  int rescans_ = 0;
};

}  // namespace mirel::host
