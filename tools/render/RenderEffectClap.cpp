// mirel-render's CLAP road: the module through its clap_entry, blocks
// through host/'s ClapProcessBuffers (the sidechain port given only when a
// sidechain file is), settings as parameter events: a flush before
// processing and the first block's events.

#include <cmath>
#include <memory>

#include "host/ClapEvents.h"
#include "host/ClapModule.h"
#include "host/ClapPlugin.h"
#include "host/ClapProcessBuffers.h"
#include "tools/common/ClapParamSource.h"
#include "tools/render/RenderEffect.h"

namespace mirel::render {

namespace {

class ClapEffect : public RenderEffect {
 public:
  ClapEffect(std::unique_ptr<host::ClapModule> module, std::unique_ptr<host::ClapPlugin> plugin)
      : module_(std::move(module)), plugin_(std::move(plugin)), source_(*plugin_) {}

  const tools::ParamSource& Params() const override { return source_; }

  bool Prepare(int precision, int maxBlock, double sampleRate, bool sidechain, std::string& error) override {
    host::ClapProcessBuffers::Layout layout;
    layout.is64 = precision == 64;
    layout.sidechain = sidechain;
    if (!plugin_->Activate(sampleRate, 1, static_cast<std::uint32_t>(maxBlock))) {
      error = "the plug-in refused to activate at " + std::to_string(sampleRate) + " Hz";
      return false;
    }
    sidechain_ = sidechain;
    buffers_ = std::make_unique<host::ClapProcessBuffers>(layout, static_cast<std::uint32_t>(maxBlock));
    return true;
  }

  bool SetState(const std::vector<std::uint8_t>& blob) override { return plugin_->LoadState(blob); }
  bool GetState(std::vector<std::uint8_t>& out) override { return plugin_->SaveState(out); }

  void ApplySettings(const std::vector<tools::ParamSetting>& settings) override {
    host::ClapInputEvents now;
    firstBlock_.Clear();
    for (const auto& s : settings) {
      // A plain value typed goes as it is; others through the range.
      const double value = std::isfinite(s.plain) ? s.plain : source_.ToPlain(s.id, s.normalized);
      now.Add(s.id, value);
      firstBlock_.Add(s.id, value);
    }
    host::ClapOutputEvents ignored;
    plugin_->Flush(now, ignored);
  }

  bool HasSidechain() const override { return sidechain_; }
  void SetInput(int input, int channel, int frame, double value) override {
    buffers_->SetInput(input, channel, static_cast<std::uint32_t>(frame), value);
  }
  double Output(int channel, int frame) const override {
    return buffers_->Output(channel, static_cast<std::uint32_t>(frame));
  }

  bool Process(int frames, long long /*done*/, double /*sampleRate*/, std::string& error) override {
    host::ClapOutputEvents out;
    const clap_process_status status =
        plugin_->Process(buffers_->Process(static_cast<std::uint32_t>(frames), firstBlock_.List(), out.List()));
    firstBlock_.Clear();  // later blocks carry no events
    if (status == CLAP_PROCESS_ERROR) {
      error = "(CLAP_PROCESS_ERROR)";
      return false;
    }
    return true;
  }

 private:
  std::unique_ptr<host::ClapModule> module_;
  std::unique_ptr<host::ClapPlugin> plugin_;
  tools::ClapParamSource source_;
  std::unique_ptr<host::ClapProcessBuffers> buffers_;
  host::ClapInputEvents firstBlock_;
  bool sidechain_ = false;
};

}  // namespace

std::unique_ptr<RenderEffect> OpenClapEffect(const std::string& path, const std::string& hostName,
                                             std::string& error) {
  auto module = host::ClapModule::Load(path, error);
  if (!module) return nullptr;
  host::ClapPlugin::Options options;
  options.hostName = hostName;
  auto plugin = host::ClapPlugin::Create(*module, "", options, error);
  if (!plugin) return nullptr;
  if (!plugin->Init()) {
    error = "the plug-in in '" + path + "' refused init";
    return nullptr;
  }
  return std::make_unique<ClapEffect>(std::move(module), std::move(plugin));
}

}  // namespace mirel::render
