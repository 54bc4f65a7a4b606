#include "host/EffectInstance.h"

#include "host/HostStrings.h"
#include "host/MemoryStream.h"

namespace mirel::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::unique_ptr<EffectInstance> EffectInstance::Open(const std::string& path,
                                                     const std::string& hostName,
                                                     std::string& error) {
  std::unique_ptr<EffectInstance> fx(new EffectInstance);
  fx->module_ = Module::Load(path, error);
  if (!fx->module_) return nullptr;
  ModuleClass effect;
  if (!fx->module_->FindAudioEffect(effect)) {
    error = "module '" + fx->module_->FilePath() + "' has no audio effect class";
    return nullptr;
  }
  fx->className_ = effect.name;
  std::string why;
  fx->component_ = fx->module_->Create<IComponent>(effect.cid, why);
  if (!fx->component_) {
    error = "createInstance failed for '" + effect.name + "' in '" + fx->module_->FilePath() + "'";
    return nullptr;
  }
  fx->processor_ = FUnknownPtr<IAudioProcessor>(fx->component_);
  if (!fx->processor_) {
    error = "'" + effect.name + "' is not an audio processor";
    return nullptr;
  }
  fx->hostApp_ = MakeHostObject<HostApplication>(hostName);
  if (fx->component_->initialize(fx->hostApp_.get()) != kResultOk) {
    error = "'" + effect.name + "' refused to initialise";
    return nullptr;
  }
  fx->initialized_ = true;

  // A single-component effect answers the controller interface itself;
  // otherwise the controller is its own class.
  fx->controller_ = FUnknownPtr<IEditController>(fx->component_);
  if (!fx->controller_) {
    TUID controllerId{};
    if (fx->component_->getControllerClassId(controllerId) == kResultOk) {
      fx->controller_ = fx->module_->Create<IEditController>(controllerId, why);
      if (fx->controller_ && fx->controller_->initialize(fx->hostApp_.get()) == kResultOk) {
        fx->separateController_ = true;
      } else {
        fx->controller_ = nullptr;
      }
    }
  }
  if (!fx->controller_) {
    error = "'" + effect.name + "' has no edit controller";
    return nullptr;
  }
  fx->handler_ = MakeHostObject<RecordingComponentHandler>();
  fx->controller_->setComponentHandler(fx->handler_.get());
  return fx;
}

EffectInstance::~EffectInstance() { Shutdown(); }

void EffectInstance::Shutdown() {
  if (active_ && component_) {
    processor_->setProcessing(false);
    component_->setActive(false);
    active_ = false;
  }
  if (controller_) controller_->setComponentHandler(nullptr);
  if (separateController_ && controller_) controller_->terminate();
  if (initialized_ && component_) component_->terminate();
  initialized_ = false;
  separateController_ = false;
  controller_ = nullptr;
  processor_ = nullptr;
  component_ = nullptr;
}

std::vector<HostParameter> EffectInstance::Parameters() const { return ListParameters(controller_.get()); }

std::vector<HostParameter> ListParameters(IEditController* controller) {
  std::vector<HostParameter> out;
  if (!controller) return out;
  const int32 n = controller->getParameterCount();
  for (int32 i = 0; i < n; ++i) {
    ParameterInfo info{};
    if (controller->getParameterInfo(i, info) != kResultOk) continue;
    HostParameter p;
    p.id = info.id;
    p.title = ToUtf8(info.title, 128);
    p.units = ToUtf8(info.units, 128);
    p.stepCount = info.stepCount;
    p.defaultNormalized = info.defaultNormalizedValue;
    p.flags = info.flags;
    out.push_back(p);
  }
  return out;
}

int EffectInstance::InputBusCount() const {
  return component_ ? component_->getBusCount(kAudio, kInput) : 0;
}

bool EffectInstance::Prepare(int32 sampleSize, int32 maxBlock, double sampleRate, bool sidechain,
                             int32 processMode, std::string& error) {
  const int32 nIn = component_->getBusCount(kAudio, kInput);
  const int32 nOut = component_->getBusCount(kAudio, kOutput);
  std::vector<SpeakerArrangement> ins(static_cast<size_t>(nIn > 0 ? nIn : 1), SpeakerArr::kStereo);
  std::vector<SpeakerArrangement> outs(static_cast<size_t>(nOut > 0 ? nOut : 1), SpeakerArr::kStereo);
  // A plug-in that refuses keeps its own arrangement; hosts go on with it.
  processor_->setBusArrangements(ins.data(), nIn, outs.data(), nOut);
  if (sidechain) {
    if (nIn < 2 || component_->activateBus(kAudio, kInput, 1, true) != kResultOk) {
      error = "'" + className_ + "' has no sidechain input bus";
      return false;
    }
  }
  if (processor_->canProcessSampleSize(sampleSize) != kResultOk) {
    error = "'" + className_ + "' cannot process " + (sampleSize == kSample64 ? "64" : "32") +
            "-bit samples";
    return false;
  }
  ProcessSetup setup{processMode, sampleSize, maxBlock, sampleRate};
  if (processor_->setupProcessing(setup) != kResultOk) {
    error = "'" + className_ + "' refused the processing setup (" + std::to_string(sampleRate) +
            " Hz, block " + std::to_string(maxBlock) + ")";
    return false;
  }
  component_->setActive(true);
  processor_->setProcessing(true);  // many plug-ins answer kNotImplemented
  active_ = true;
  return true;
}

bool EffectInstance::GetState(std::vector<std::uint8_t>& out) {
  auto stream = MakeHostObject<MemoryStream>();
  tresult r = component_->getState(stream.get());
  if (r == kNotImplemented && controller_) {
    stream = MakeHostObject<MemoryStream>();
    r = controller_->getState(stream.get());
  }
  if (r != kResultOk) return false;
  out = stream->Data();
  return true;
}

bool EffectInstance::SetState(const std::vector<std::uint8_t>& blob) {
  auto stream = MakeHostObject<MemoryStream>(blob);
  tresult r = component_->setState(stream.get());
  if (r == kNotImplemented && controller_) {
    stream->Rewind();
    r = controller_->setState(stream.get());
  } else if (r == kResultOk && separateController_) {
    stream->Rewind();
    controller_->setComponentState(stream.get());
  }
  return r == kResultOk;
}

}  // namespace mirel::host
