// A small deterministic VST3 effect module used to test mirel-render without
// the real plug-in: a smoothed gain with a sidechain mix-in. Its gain state
// runs across blocks, so block splitting or precision mistakes in a host show.
// One object is component, processor and controller, as in a single-component
// effect.

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

const TUID kClassId = {'F', 'a', 'k', 'e', 'G', 'a', 'i', 'n', 0, 1, 2, 3, 4, 5, 6, 7};

struct ParamDef {
  const char* title;
  double min, max, def;
  int32 steps;
};
// 0: gain in dB, 1: smoothing (0 = instant, towards 1 = slow), 2: sidechain mix in percent.
constexpr ParamDef kParams[] = {
    {"Gain", -24.0, 24.0, 0.0, 0},
    {"Smooth", 0.0, 0.999, 0.5, 0},
    {"Sidechain Mix", 0.0, 100.0, 0.0, 0},
};
constexpr int32 kNumParams = 3;

void Widen(const char* s, TChar* out, int units) {
  int i = 0;
  for (; s[i] != 0 && i < units - 1; ++i) out[i] = static_cast<TChar>(s[i]);
  out[i] = 0;
}

class FakeEffect : public IComponent, public IAudioProcessor, public IEditController {
 public:
  FakeEffect() {
    for (int32 i = 0; i < kNumParams; ++i) normalized_[i] = ToNorm(i, kParams[i].def);
  }
  virtual ~FakeEffect() = default;

  // FUnknown
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
    if (FUnknownPrivate::iidEqual(queried, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(queried, IPluginBase::iid) ||
        FUnknownPrivate::iidEqual(queried, IComponent::iid)) {
      *obj = static_cast<IComponent*>(this);
    } else if (FUnknownPrivate::iidEqual(queried, IAudioProcessor::iid)) {
      *obj = static_cast<IAudioProcessor*>(this);
    } else if (FUnknownPrivate::iidEqual(queried, IEditController::iid)) {
      *obj = static_cast<IEditController*>(this);
    } else {
      *obj = nullptr;
      return kNoInterface;
    }
    addRef();
    return kResultOk;
  }
  uint32 PLUGIN_API addRef() override { return ++refs_; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IPluginBase
  tresult PLUGIN_API initialize(FUnknown*) override { return kResultOk; }
  tresult PLUGIN_API terminate() override { return kResultOk; }

  // IComponent
  tresult PLUGIN_API getControllerClassId(TUID) override { return kNotImplemented; }
  tresult PLUGIN_API setIoMode(IoMode) override { return kNotImplemented; }
  int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override {
    if (type != kAudio) return 0;
    return dir == kInput ? 2 : 1;
  }
  tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override {
    if (type != kAudio || index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = 2;
    Widen(dir == kOutput ? "Out" : (index == 0 ? "In" : "Side"), bus.name, 128);
    bus.busType = index == 0 ? kMain : kAux;
    bus.flags = index == 0 ? BusInfo::kDefaultActive : 0;
    return kResultOk;
  }
  tresult PLUGIN_API getRoutingInfo(RoutingInfo&, RoutingInfo&) override { return kNotImplemented; }
  tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override {
    if (type != kAudio || index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
    if (dir == kInput && index == 1) sidechainActive_ = state != 0;
    return kResultOk;
  }
  tresult PLUGIN_API setActive(TBool) override { return kResultOk; }
  tresult PLUGIN_API setState(IBStream* stream) override {
    if (stream == nullptr) return kInvalidArgument;
    double values[kNumParams];
    int32 got = 0;
    if (stream->read(values, sizeof values, &got) != kResultOk || got != sizeof values) return kResultFalse;
    for (int32 i = 0; i < kNumParams; ++i) {
      if (!(values[i] >= 0.0 && values[i] <= 1.0)) return kResultFalse;
    }
    std::memcpy(normalized_, values, sizeof values);
    return kResultOk;
  }
  tresult PLUGIN_API getState(IBStream* stream) override {
    if (stream == nullptr) return kInvalidArgument;
    int32 put = 0;
    return stream->write(normalized_, sizeof normalized_, &put) == kResultOk ? kResultOk : kResultFalse;
  }

  // IAudioProcessor
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement*, int32 numIns, SpeakerArrangement*,
                                        int32 numOuts) override {
    return numIns == 2 && numOuts == 1 ? kResultOk : kResultFalse;
  }
  tresult PLUGIN_API getBusArrangement(BusDirection, int32, SpeakerArrangement& arr) override {
    arr = 3;
    return kResultOk;
  }
  tresult PLUGIN_API canProcessSampleSize(int32 size) override {
    return size == kSample32 || size == kSample64 ? kResultOk : kResultFalse;
  }
  uint32 PLUGIN_API getLatencySamples() override { return 0; }
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override {
    sampleSize_ = setup.symbolicSampleSize;
    gain_ = 1.0;
    return kResultOk;
  }
  tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }
  tresult PLUGIN_API process(ProcessData& data) override {
    if (IParameterChanges* changes = data.inputParameterChanges) {
      for (int32 q = 0; q < changes->getParameterCount(); ++q) {
        IParamValueQueue* queue = changes->getParameterData(q);
        int32 offset = 0;
        double v = 0;
        if (queue == nullptr || queue->getPoint(queue->getPointCount() - 1, offset, v) != kResultOk) continue;
        const ParamID id = queue->getParameterId();
        if (id < static_cast<ParamID>(kNumParams)) normalized_[id] = v;
      }
    }
    if (data.numSamples <= 0 || data.numOutputs < 1 || data.numInputs < 1) return kResultOk;
    const double target = std::pow(10.0, ToPlain(0, normalized_[0]) / 20.0);
    const double smooth = ToPlain(1, normalized_[1]);
    const double scMix = ToPlain(2, normalized_[2]) / 100.0;
    const bool useSc = sidechainActive_ && data.numInputs > 1;
    for (int32 i = 0; i < data.numSamples; ++i) {
      gain_ = target + smooth * (gain_ - target);
      for (int32 c = 0; c < 2; ++c) {
        double x = In(data.inputs[0], c, i);
        if (useSc) x += scMix * In(data.inputs[1], c, i);
        const double y = std::tanh(x * gain_);
        if (sampleSize_ == kSample64) {
          data.outputs[0].channelBuffers64[c][i] = y;
        } else {
          data.outputs[0].channelBuffers32[c][i] = static_cast<float>(y);
        }
      }
    }
    return kResultOk;
  }
  uint32 PLUGIN_API getTailSamples() override { return 0; }

  // IEditController
  tresult PLUGIN_API setComponentState(IBStream*) override { return kNotImplemented; }
  int32 PLUGIN_API getParameterCount() override { return kNumParams; }
  tresult PLUGIN_API getParameterInfo(int32 index, ParameterInfo& info) override {
    if (index < 0 || index >= kNumParams) return kResultFalse;
    info = {};
    info.id = static_cast<ParamID>(index);
    Widen(kParams[index].title, info.title, 128);
    Widen(index == 0 ? "dB" : "", info.units, 128);
    info.stepCount = kParams[index].steps;
    info.defaultNormalizedValue = ToNorm(index, kParams[index].def);
    info.flags = ParameterInfo::kCanAutomate;
    return kResultOk;
  }
  tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue v, String128 text) override {
    if (id >= static_cast<ParamID>(kNumParams)) return kResultFalse;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", ToPlain(static_cast<int32>(id), v));
    Widen(buf, text, 128);
    return kResultOk;
  }
  tresult PLUGIN_API getParamValueByString(ParamID id, TChar* text, ParamValue& v) override {
    if (id >= static_cast<ParamID>(kNumParams)) return kResultFalse;
    char buf[128];
    int i = 0;
    for (; text[i] != 0 && i < 127; ++i) buf[i] = static_cast<char>(text[i]);
    buf[i] = 0;
    char* end = nullptr;
    const double plain = std::strtod(buf, &end);
    if (end == buf) return kResultFalse;
    v = ToNorm(static_cast<int32>(id), plain);
    return kResultOk;
  }
  ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue v) override {
    return id < static_cast<ParamID>(kNumParams) ? ToPlain(static_cast<int32>(id), v) : v;
  }
  ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue p) override {
    return id < static_cast<ParamID>(kNumParams) ? ToNorm(static_cast<int32>(id), p) : p;
  }
  ParamValue PLUGIN_API getParamNormalized(ParamID id) override {
    return id < static_cast<ParamID>(kNumParams) ? normalized_[id] : 0.0;
  }
  tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue v) override {
    if (id >= static_cast<ParamID>(kNumParams)) return kResultFalse;
    normalized_[id] = v;
    return kResultOk;
  }
  tresult PLUGIN_API setComponentHandler(IComponentHandler*) override { return kResultOk; }
  IPlugView* PLUGIN_API createView(FIDString) override { return nullptr; }

 private:
  static double ToPlain(int32 i, double v) { return kParams[i].min + v * (kParams[i].max - kParams[i].min); }
  static double ToNorm(int32 i, double p) {
    const double n = (p - kParams[i].min) / (kParams[i].max - kParams[i].min);
    return n < 0 ? 0 : (n > 1 ? 1 : n);
  }
  double In(const AudioBusBuffers& bus, int32 c, int32 i) const {
    if (bus.numChannels <= c) return 0.0;
    return sampleSize_ == kSample64 ? bus.channelBuffers64[c][i] : bus.channelBuffers32[c][i];
  }

  std::atomic<uint32> refs_{1};
  double normalized_[kNumParams] = {};
  double gain_ = 1.0;
  int32 sampleSize_ = kSample32;
  bool sidechainActive_ = false;
};

class FakeFactory : public IPluginFactory {
 public:
  virtual ~FakeFactory() = default;
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
    if (FUnknownPrivate::iidEqual(queried, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(queried, IPluginFactory::iid)) {
      addRef();
      *obj = this;
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++refs_; }
  uint32 PLUGIN_API release() override { return --refs_; }
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
    *info = PFactoryInfo("Fake", "", "", 0);
    return kResultOk;
  }
  int32 PLUGIN_API countClasses() override { return 1; }
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
    if (index != 0) return kInvalidArgument;
    *info = PClassInfo(kClassId, PClassInfo::kManyInstances, "Audio Module Class", "Fake Gain");
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(FIDString cid, FIDString wanted, void** obj) override {
    *obj = nullptr;
    if (!FUnknownPrivate::iidEqual(cid, kClassId)) return kNoInterface;
    auto* effect = new FakeEffect;
    const tresult r = effect->queryInterface(wanted, obj);
    effect->release();
    return r;
  }

 private:
  std::atomic<uint32> refs_{1};
};

FakeFactory gFactory;

}  // namespace

FAKE_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory() {
  gFactory.addRef();
  return &gFactory;
}
