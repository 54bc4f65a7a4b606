// Processing: set-up, the per-block call, parameter changes and MIDI from the
// host, the host's buffers in and out, and the host's transport.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "vst3/AdapterShared.h"
#include "vst3/HostCall.h"
#include "vst3/IEffectVST3.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

// Set-up thread.
tresult PLUGIN_API IEffectVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return HostCall([&] {
    return (symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64) ? kResultOk : kResultFalse;
  });
}

// Set-up thread.
uint32 PLUGIN_API IEffectVST3::getLatencySamples() {
  return HostCall(uint32{0}, [&] { return static_cast<uint32>(std::max(Latency(), 0)); });
}

// Set-up thread.
uint32 PLUGIN_API IEffectVST3::getTailSamples() {
  return HostCall(uint32{0}, [&] { return static_cast<uint32>(std::max(tailSamples_, 0)); });
}

// Set-up thread.
tresult PLUGIN_API IEffectVST3::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize > kSample64 || setup.symbolicSampleSize < kSample32) return kResultFalse;
  // A rate or block size no signal path can run at is refused, nothing changed.
  if (!std::isfinite(setup.sampleRate) || !(setup.sampleRate > 0.0) || setup.maxSamplesPerBlock <= 0) {
    return kResultFalse;
  }
  return HostCall([&] {
    // Taken so that a host calling this while a block runs cannot resize the
    // buffers under it.
    PlugLock lock(Mutex());
    processingReady_ = false;
    sampleRate_ = setup.sampleRate;
    // The host bypass is the host's setting, not processing state: it
    // survives a new set-up (a restored project calls setState first).
    SetBlockSize(std::min(setup.maxSamplesPerBlock, adapter::kMaxScratchFrames));
    Reset();
    processSetup = setup;
    processingReady_ = true;
    return kResultOk;
  });
}

bool IEffectVST3::ApplyParameterChanges(IParameterChanges* changes) {
  if (!changes) return false;
  bool presetLoaded = false;
  const int32 count = changes->getParameterCount();
  for (int32 q = 0; q < count; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (!queue) continue;
    const int32 points = queue->getPointCount();
    if (points <= 0) continue;
    int32 offset = 0;
    ParamValue v = 0.0;
    // The block takes the queue's last value; changes are not sample-accurate.
    if (queue->getPoint(points - 1, offset, v) != kResultOk) continue;
    if (std::isnan(v)) continue;
    v = std::clamp(v, 0.0, 1.0);
    const ParamID id = queue->getParameterId();
    if (id == kBypassParamId) {
      hostBypass_ = v > 0.5;
    } else if (id == kPresetParamId) {
      presetLoaded = LoadPreset(PresetIndexFor(v)) || presetLoaded;
    } else if (id < static_cast<ParamID>(NParams())) {
      ApplyHostValue(static_cast<int>(id), v);
    }
  }
  return presetLoaded;
}

void IEffectVST3::ReportValuesToHost(IParameterChanges* out) {
  if (!out) return;
  for (int i = 0; i < NParams(); ++i) {
    int32 index = 0;
    IParamValueQueue* queue = out->addParameterData(static_cast<ParamID>(i), index);
    if (!queue) continue;
    const IParamDef* p = GetParam(i);
    int32 point = 0;
    queue->addPoint(0, p->ToNormalised(p->Value()), point);
  }
}

void IEffectVST3::ApplyMidi(IEventList* events) {
  if (!takesMidi_ || !events) return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count; ++i) {
    Event e{};
    if (events->getEvent(i, e) != kResultOk) continue;
    MidiMessage msg;
    msg.offset = e.sampleOffset;
    if (e.type == Event::kNoteOnEvent) {
      msg.status = static_cast<std::uint8_t>(0x90 | (e.noteOn.channel & 0x0F));
      msg.data1 = static_cast<std::uint8_t>(e.noteOn.pitch & 0x7F);
      msg.data2 = static_cast<std::uint8_t>(TruncToInt32(std::clamp(e.noteOn.velocity, 0.0f, 1.0f) * 127.0f));
    } else if (e.type == Event::kNoteOffEvent) {
      msg.status = static_cast<std::uint8_t>(0x80 | (e.noteOff.channel & 0x0F));
      msg.data1 = static_cast<std::uint8_t>(e.noteOff.pitch & 0x7F);
      msg.data2 = 0;
    } else {
      continue;
    }
    MidiReceived(msg);
  }
}

namespace {

// The host buffer of channel k of a bus, or null when the bus has none.
void* HostChannelData(const AudioBusBuffers& bus, int k, bool is64) {
  if (k < 0 || k >= bus.numChannels) return nullptr;
  if (is64) return bus.channelBuffers64 ? bus.channelBuffers64[k] : nullptr;
  return bus.channelBuffers32 ? bus.channelBuffers32[k] : nullptr;
}

}  // namespace

void IEffectVST3::ConnectInputs(const ProcessData& data) {
  const int nBuses = data.inputs ? data.numInputs : 0;
  if (nBuses <= 0) return;  // every input reads silence
  const bool is64 = data.symbolicSampleSize == kSample64;
  const int nIn = NInChannels();
  const AudioBusBuffers& main = data.inputs[0];
  if (sidechainChannels_ != 0) {
    const int mainCount = MainInputCount();
    const Bus* scBus = audioInputs.at(1);
    for (int i = 0; i < nIn; ++i) GetInChannel(i).connected = true;
    if (scBus && scBus->isActive()) {
      sidechainActive_ = true;
    } else {
      if (sidechainActive_) {
        ZeroScratch();
        sidechainActive_ = false;
      }
      const int first = std::max(main.numChannels, 0);
      for (int i = first; i < first + mainCount && i < nIn; ++i) GetInChannel(i).connected = false;
    }
    for (int k = 0; k < mainCount && k < nIn; ++k) hostBlock_.In(k) = {HostChannelData(main, k, is64), is64};
    if (nBuses >= 2) {
      for (int k = 0; mainCount + k < nIn; ++k) {
        hostBlock_.In(mainCount + k) = {HostChannelData(data.inputs[1], k, is64), is64};
      }
    }
  } else {
    const int n = std::min(std::max(main.numChannels, 0), nIn);
    for (int i = 0; i < nIn; ++i) GetInChannel(i).connected = i < n;
    for (int k = 0; k < n; ++k) hostBlock_.In(k) = {HostChannelData(main, k, is64), is64};
  }
}

void IEffectVST3::ConnectOutputs(const ProcessData& data) {
  const int nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i) GetOutChannel(i).connected = false;
  const int nBuses = data.outputs ? data.numOutputs : 0;
  const bool is64 = data.symbolicSampleSize == kSample64;
  int e = 0;
  for (int b = 0; b < nBuses && e < nOut; ++b) {
    const AudioBusBuffers& bus = data.outputs[b];
    const int c = std::max(bus.numChannels, 0);
    const Bus* adapterBus = audioOutputs.at(b);
    const bool active = adapterBus && adapterBus->isActive();
    for (int k = 0; k < c && e + k < nOut; ++k) {
      GetOutChannel(e + k).connected = active;
      if (active) hostBlock_.Out(e + k) = {HostChannelData(bus, k, is64), is64};
    }
    e += c;
  }
}

void IEffectVST3::SilenceHostOutputs(const ProcessData& data) {
  if (!data.outputs || data.numSamples <= 0) return;
  const bool is64 = data.symbolicSampleSize == kSample64;
  const auto n = static_cast<std::size_t>(data.numSamples);
  for (int b = 0; b < data.numOutputs; ++b) {
    for (int k = 0; k < data.outputs[b].numChannels; ++k) {
      void* host = HostChannelData(data.outputs[b], k, is64);
      if (!host) continue;
      if (is64) {
        std::fill_n(static_cast<double*>(host), n, 0.0);
      } else {
        std::fill_n(static_cast<float*>(host), n, 0.0f);
      }
    }
  }
}

// Audio thread, under the plug-in's mutex.
tresult PLUGIN_API IEffectVST3::process(ProcessData& data) {
  HostCall([&] {
    PlugLock lock(Mutex());
    if (data.processContext) processContext_ = *data.processContext;
    if (ApplyParameterChanges(data.inputParameterChanges)) ReportValuesToHost(data.outputParameterChanges);
    ApplyMidi(data.inputEvents);
    // A flush (no samples) only delivers parameter changes.
    if (data.numSamples <= 0) return kResultOk;
    if (data.symbolicSampleSize != kSample32 && data.symbolicSampleSize != kSample64) return kResultOk;
    // Before setupProcessing there are no buffers and no signal state: silence.
    if (!processingReady_ || BlockSize() <= 0) {
      SilenceHostOutputs(data);
      return kResultOk;
    }
    // The road follows the block's own sample size rather than the one given
    // to setupProcessing: it names which of the host's buffer arrays is valid,
    // and reading float buffers as doubles would run past their end.
    hostBlock_.Clear();
    ConnectInputs(data);
    ConnectOutputs(data);
    hostBlock_.Render(data.numSamples, hostBypass_);
    return kResultOk;
  });
  // Always kResultOk: a block that threw is simply lost.
  return kResultOk;
}

// Audio thread (the transport of the block being processed).
bool IEffectVST3::IsRenderingOffline() { return processSetup.processMode == kOffline; }

std::int32_t IEffectVST3::HostSamplePos() { return static_cast<std::int32_t>(processContext_.projectTimeSamples); }

double IEffectVST3::HostTempo() { return processContext_.tempo; }

void IEffectVST3::HostTimeSig(std::int32_t& numerator, std::int32_t& denominator) {
  numerator = processContext_.timeSigNumerator;
  denominator = processContext_.timeSigDenominator;
}

void IEffectVST3::HostTransport(TransportInfo& info) {
  const ProcessContext& c = processContext_;
  info.tempo = c.tempo;
  info.samplePos = static_cast<double>(c.projectTimeSamples);
  info.ppqPos = c.projectTimeMusic;
  info.lastBar = c.barPositionMusic;
  info.cycleStart = c.cycleStartMusic;
  info.cycleEnd = c.cycleEndMusic;
  info.numerator = c.timeSigNumerator;
  info.denominator = c.timeSigDenominator;
  info.playing = (c.state & ProcessContext::kPlaying) != 0;
  info.cycling = (c.state & ProcessContext::kCycleActive) != 0;
}
