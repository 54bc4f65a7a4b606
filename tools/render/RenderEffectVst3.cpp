// mirel-render's VST3 road: the module through host/'s EffectInstance,
// blocks through its ProcessBuffers, settings as the first block's
// parameter changes, a 4/4 transport at 120 BPM.

#include <memory>

#include "host/EffectInstance.h"
#include "host/HostObject.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "tools/common/Vst3ParamSource.h"
#include "tools/render/RenderEffect.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace mirel::render {

namespace {

class Vst3Effect : public RenderEffect {
 public:
  explicit Vst3Effect(std::unique_ptr<host::EffectInstance> fx)
      : fx_(std::move(fx)), source_(fx_->Controller()) {}

  const tools::ParamSource& Params() const override { return source_; }

  bool Prepare(int precision, int maxBlock, double sampleRate, bool sidechain, std::string& error) override {
    const int32 sampleSize = precision == 64 ? kSample64 : kSample32;
    if (!fx_->Prepare(sampleSize, maxBlock, sampleRate, sidechain, kOffline, error)) return false;
    sidechainBus_ = fx_->InputBusCount() > 1;
    buffers_ = std::make_unique<host::ProcessBuffers>(sampleSize, maxBlock, 2, sidechainBus_ ? 2 : 0, 2);
    buffers_->SetProcessMode(kOffline);
    changes_ = host::MakeHostObject<host::ParameterChanges>();
    buffers_->SetParameterChanges(changes_.get());
    ProcessContext& ctx = buffers_->Context();
    ctx.sampleRate = sampleRate;
    ctx.tempo = 120.0;
    ctx.timeSigNumerator = 4;
    ctx.timeSigDenominator = 4;
    ctx.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid |
                ProcessContext::kProjectTimeMusicValid;
    return true;
  }

  bool SetState(const std::vector<std::uint8_t>& blob) override { return fx_->SetState(blob); }
  bool GetState(std::vector<std::uint8_t>& out) override { return fx_->GetState(out); }

  void ApplySettings(const std::vector<tools::ParamSetting>& settings) override {
    // Keep the controller in step, as hosts do; the values themselves reach
    // the processor in the first block's parameter changes.
    for (const auto& s : settings) fx_->Controller()->setParamNormalized(s.id, s.normalized);
    if (changes_) {
      for (const auto& s : settings) changes_->Add(s.id, s.normalized, 0);
    }
  }

  bool HasSidechain() const override { return sidechainBus_; }
  void SetInput(int input, int channel, int frame, double value) override {
    buffers_->SetInput(input, channel, frame, value);
  }
  double Output(int channel, int frame) const override { return buffers_->Output(channel, frame); }

  bool Process(int frames, long long done, double sampleRate, std::string& error) override {
    buffers_->SetNumSamples(frames);
    ProcessContext& ctx = buffers_->Context();
    ctx.projectTimeSamples = done;
    ctx.continousTimeSamples = done;
    ctx.projectTimeMusic = static_cast<double>(done) / sampleRate * ctx.tempo / 60.0;
    const tresult processed = fx_->Processor()->process(buffers_->Data());
    changes_->Clear();  // later blocks carry no changes
    if (processed != kResultOk) {
      error = "(result " + std::to_string(processed) + ")";
      return false;
    }
    return true;
  }

 private:
  std::unique_ptr<host::EffectInstance> fx_;
  tools::Vst3ParamSource source_;
  std::unique_ptr<host::ProcessBuffers> buffers_;
  IPtr<host::ParameterChanges> changes_;
  bool sidechainBus_ = false;
};

}  // namespace

std::unique_ptr<RenderEffect> OpenVst3Effect(const std::string& path, const std::string& hostName,
                                             std::string& error) {
  auto fx = host::EffectInstance::Open(path, hostName, error);
  if (!fx) return nullptr;
  return std::make_unique<Vst3Effect>(std::move(fx));
}

}  // namespace mirel::render
