#include "host/ClapPlugin.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "host/ClapStreams.h"

namespace mirel::host {

namespace {

ClapPlugin* Self(const clap_host_t* host) { return static_cast<ClapPlugin*>(host->host_data); }

}  // namespace

std::unique_ptr<ClapPlugin> ClapPlugin::Create(const ClapModule& module, const std::string& id,
                                               const Options& options, std::string& error) {
  std::unique_ptr<ClapPlugin> p(new ClapPlugin);
  p->options_ = options;
  clap_host_t& h = p->host_;
  h.clap_version = CLAP_VERSION;
  h.host_data = p.get();
  h.name = p->options_.hostName.c_str();
  h.vendor = "Qentworks";
  h.url = "";
  h.version = "1.0";
  h.get_extension = [](const clap_host_t* host, const char* ext) -> const void* {
    ClapPlugin* self = Self(host);
    if (std::strcmp(ext, CLAP_EXT_THREAD_CHECK) == 0) return self->options_.threadCheck ? &self->threadCheck_ : nullptr;
    if (std::strcmp(ext, CLAP_EXT_PARAMS) == 0) return &self->hostParams_;
    if (std::strcmp(ext, CLAP_EXT_TIMER_SUPPORT) == 0) return &self->hostTimers_;
    if (std::strcmp(ext, CLAP_EXT_GUI) == 0) return &self->hostGui_;
    return nullptr;
  };
  h.request_restart = [](const clap_host_t*) {};
  h.request_process = [](const clap_host_t*) {};
  h.request_callback = [](const clap_host_t*) {};
  p->threadCheck_.is_main_thread = [](const clap_host_t* host) { return !Self(host)->IsAudioThread(); };
  p->threadCheck_.is_audio_thread = [](const clap_host_t* host) { return Self(host)->IsAudioThread(); };
  p->hostParams_.rescan = [](const clap_host_t* host, clap_param_rescan_flags) { ++Self(host)->rescans_; };
  p->hostParams_.clear = [](const clap_host_t*, clap_id, clap_param_clear_flags) {};
  p->hostParams_.request_flush = [](const clap_host_t* host) { ++Self(host)->flushRequests_; };
  p->hostTimers_.register_timer = [](const clap_host_t* host, std::uint32_t, clap_id* timer) {
    ClapPlugin* self = Self(host);
    if (!timer) return false;
    *timer = self->nextTimer_++;
    self->timers_.push_back(*timer);
    return true;
  };
  p->hostTimers_.unregister_timer = [](const clap_host_t* host, clap_id timer) {
    ClapPlugin* self = Self(host);
    const auto before = self->timers_.size();
    std::erase(self->timers_, timer);
    return self->timers_.size() != before;
  };
  p->hostGui_.resize_hints_changed = [](const clap_host_t*) {};
  p->hostGui_.request_resize = [](const clap_host_t* host, std::uint32_t width, std::uint32_t height) {
    Self(host)->resizeRequests_.emplace_back(width, height);
    return true;
  };
  p->hostGui_.request_show = [](const clap_host_t*) { return true; };
  p->hostGui_.request_hide = [](const clap_host_t*) { return true; };
  p->hostGui_.closed = [](const clap_host_t*, bool) {};

  const clap_plugin_factory_t& factory = module.Factory();
  std::string wanted = id;
  if (wanted.empty()) {
    const clap_plugin_descriptor_t* first =
        factory.get_plugin_count(&factory) > 0 ? factory.get_plugin_descriptor(&factory, 0) : nullptr;
    if (!first || !first->id) {
      error = "the module '" + module.FilePath() + "' offers no plug-in";
      return nullptr;
    }
    wanted = first->id;
  }
  p->plugin_ = factory.create_plugin(&factory, &p->host_, wanted.c_str());
  if (!p->plugin_) {
    error = "the module '" + module.FilePath() + "' did not create the plug-in '" + wanted + "'";
    return nullptr;
  }
  return p;
}

ClapPlugin::~ClapPlugin() {
  if (!plugin_) return;
  Deactivate();
  plugin_->destroy(plugin_);
}

bool ClapPlugin::IsAudioThread() const {
  return audioDepth_.load() > 0 || std::this_thread::get_id() != mainThread_;
}

bool ClapPlugin::Init() {
  if (!plugin_->init(plugin_)) return false;
  auto ext = [&](const char* id) { return plugin_->get_extension(plugin_, id); };
  params_ = static_cast<const clap_plugin_params_t*>(ext(CLAP_EXT_PARAMS));
  state_ = static_cast<const clap_plugin_state_t*>(ext(CLAP_EXT_STATE));
  ports_ = static_cast<const clap_plugin_audio_ports_t*>(ext(CLAP_EXT_AUDIO_PORTS));
  latency_ = static_cast<const clap_plugin_latency_t*>(ext(CLAP_EXT_LATENCY));
  return true;
}

bool ClapPlugin::Activate(double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames) {
  if (active_) return false;
  if (!plugin_->activate(plugin_, sampleRate, minFrames, maxFrames)) return false;
  active_ = true;
  AudioScope audio(*this);
  return plugin_->start_processing(plugin_);
}

void ClapPlugin::Deactivate() {
  if (!active_) return;
  {
    AudioScope audio(*this);
    plugin_->stop_processing(plugin_);
  }
  plugin_->deactivate(plugin_);
  active_ = false;
}

clap_process_status ClapPlugin::Process(const clap_process_t* process) {
  ClapInputEvents noInput;
  ClapOutputEvents noOutput;
  clap_process_t p = *process;
  if (!p.in_events) p.in_events = noInput.List();
  if (!p.out_events) p.out_events = noOutput.List();
  AudioScope audio(*this);
  return plugin_->process(plugin_, &p);
}

void ClapPlugin::Flush(const ClapInputEvents& in, ClapOutputEvents& out) {
  if (!params_) return;
  if (active_) {
    AudioScope audio(*this);
    params_->flush(plugin_, in.List(), out.List());
  } else {
    params_->flush(plugin_, in.List(), out.List());
  }
}

bool ClapPlugin::SaveState(std::vector<std::uint8_t>& out, std::size_t piece) {
  if (!state_) return false;
  ClapWriteStream stream(piece);
  if (!state_->save(plugin_, stream.Stream())) return false;
  out = stream.Bytes();
  return true;
}

bool ClapPlugin::LoadState(const std::vector<std::uint8_t>& bytes, std::size_t piece) {
  if (!state_) return false;
  ClapReadStream stream(bytes, piece);
  return state_->load(plugin_, stream.Stream());
}

void ClapPlugin::RunTimers() {
  const auto* timers =
      static_cast<const clap_plugin_timer_support_t*>(plugin_->get_extension(plugin_, CLAP_EXT_TIMER_SUPPORT));
  if (!timers) return;
  const std::vector<clap_id> now = timers_;
  for (clap_id id : now) timers->on_timer(plugin_, id);
}

double ClapPlugin::Value(clap_id id) const {
  double v = 0.0;
  if (!params_ || !params_->get_value(plugin_, id, &v)) return std::numeric_limits<double>::quiet_NaN();
  return v;
}

}  // namespace mirel::host
