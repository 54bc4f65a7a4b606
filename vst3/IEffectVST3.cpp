#include "IEffectVST3.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "IEffectParameter.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "sdk/VstString.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Scratch buffers never grow beyond this many frames: longer blocks, whatever
// the host announced, are rendered in slices of at most this size.
constexpr int kMaxScratchFrames = 16384;

// The speaker arrangement for a channel count.
SpeakerArrangement ArrangementFor(int n) {
  switch (n) {
    case 1: return 0x80000;  // mono
    case 2: return 0x3;      // left, right
    case 3: return 0x103;
    case 4: return 0x33;
    case 5: return 0x37;
    case 6: return 0x3F;
    default: return 0;
  }
}

int CountBits(SpeakerArrangement arr) {
  int n = 0;
  for (auto bits = static_cast<std::uint64_t>(arr); bits != 0; bits &= bits - 1) ++n;
  return n;
}

// Reads up to size bytes, going on while a stream that delivers in pieces
// still makes progress. Returns the bytes read (0..size).
int32 ReadFully(IBStream* stream, std::uint8_t* dst, int32 size) {
  int32 total = 0;
  while (total < size) {
    int32 got = 0;
    const tresult r = stream->read(dst + total, size - total, &got);
    if (got <= 0) break;
    total += std::min(got, size - total);
    if (r != kResultOk) break;
  }
  return total;
}

AudioBus* AudioBusAt(BusList& list, int32 index) { return dynamic_cast<AudioBus*>(list.at(index)); }

struct WideName {
  String128 text{};
  explicit WideName(const std::string& s) { WidenInto(text, 128, s.c_str()); }
  explicit WideName(const char* s) { WidenInto(text, 128, s); }
};

}  // namespace

std::int32_t IdentifyHost(const char* hostName) {
  static constexpr std::array<std::pair<const char*, std::int32_t>, 26> kHosts{{
      {"cubase", 3},      {"reaper", 1},     {"nuendo", 4},    {"cakewalk", 5},
      {"samplitude", 8},  {"fruity", 7},     {"live", 9},      {"melodyne", 12},
      {"vstmanlib", 13},  {"aulab", 14},     {"garageband", 22}, {"forte", 15},
      {"chainer", 16},    {"audition", 17},  {"orion", 18},    {"sawstudio", 20},
      {"logic", 21},      {"digital", 23},   {"audiomulch", 25}, {"presonus", 26},
      {"vst3plugintesthost", 27}, {"protools", 2}, {"ardour", 28}, {"openmpt", 30},
      {"renoise", 29},    {"standalone", 24},
  }};
  if (!hostName) return 0;
  std::string lower(hostName);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const auto& [name, code] : kHosts) {
    if (lower.find(name) != std::string::npos) return code;
  }
  return 0;
}

IEffectVST3::IEffectVST3(int nParams, const char* channelIOText, int nPresets,
                         const char* effectName, const char* productName, const char* makerName,
                         std::int32_t version, std::int32_t uniqueId, std::int32_t makerId)
    : IEffectBase(nParams, channelIOText, nPresets, effectName, productName, makerName, version,
                  uniqueId, makerId) {
  for (int i = 0; i < NInChannels(); ++i) GetInChannel(i).connected = true;
  for (int i = 0; i < NOutChannels(); ++i) GetOutChannel(i).connected = true;
  if (NInChannels() > 0) {
    latencyDelay_ = std::make_unique<LatencyDelay>();
    latencyDelay_->inputCount = NInChannels();
    latencyDelay_->outputCount = NOutChannels();
  }
  inputBusLabels_.assign(1, "Main Input");
  if (sidechainChannels_ != 0) inputBusLabels_.push_back("Aux Input");
  outputBusLabels_.clear();
  if (isInstrument_) {
    for (int i = 0; i < NOutChannels() / 2; ++i) outputBusLabels_.push_back("Output " + std::to_string(i + 1));
  } else {
    outputBusLabels_.push_back("Output");
  }
  processContext_ = ProcessContext{};
  inHost_.assign(static_cast<std::size_t>(NInChannels()), nullptr);
  outHost_.assign(static_cast<std::size_t>(NOutChannels()), nullptr);
}

IEffectVST3::~IEffectVST3() { openViews_.clear(); }

// ---- IPluginBase -------------------------------------------------------------

tresult PLUGIN_API IEffectVST3::initialize(FUnknown* context) {
  // A second initialize without terminate changes nothing at all: it neither
  // re-identifies the host nor reloads preset 0, which would silently throw
  // away the settings of a plug-in that is already running.
  if (isInitialized()) return kResultFalse;
  try {
    PlugLock lock(Mutex());
    const tresult result = SingleComponentEffect::initialize(context);
    if (result != kResultOk) return result;
    if (context) {
      IHostApplication* answer = nullptr;
      if (context->queryInterface(IHostApplication::iid, reinterpret_cast<void**>(&answer)) == kResultOk &&
          answer) {
        const IPtr<IHostApplication> app = owned(answer);
        // A host that answers but cannot give its name counts as an unnamed
        // host (no known host), not as the host of an earlier initialize.
        String128 name{};
        if (app->getName(name) != kResultOk) name[0] = 0;
        hostId_ = IdentifyHost(Narrow(name, 128, 127).c_str());
        hostVersion_ = 0;
      }
    }
    BuildBuses();
    BuildParameters();
    HostIdentified();
    LoadPreset(0);
    return kResultOk;
  } catch (...) {
    SingleComponentEffect::terminate();
    return kResultFalse;
  }
}

tresult PLUGIN_API IEffectVST3::terminate() {
  PlugLock lock(Mutex());
  paramGroups_.clear();
  sidechainActive_ = false;
  return SingleComponentEffect::terminate();
}

int IEffectVST3::MainInputCount() const {
  return std::max(NInChannels() - std::clamp(sidechainChannels_, 0, 2), 0);
}

void IEffectVST3::BuildBuses() {
  const SpeakerArrangement mainIn = ArrangementFor(MainInputCount());
  if (mainIn != 0) {
    addAudioInput(WideName(inputBusLabels_.at(0)).text, mainIn, kMain, BusInfo::kDefaultActive);
  }
  if (isInstrument_) {
    for (int i = 0; i < NOutChannels() / 2 && i < static_cast<int>(outputBusLabels_.size()); ++i) {
      addAudioOutput(WideName(outputBusLabels_[static_cast<std::size_t>(i)]).text, ArrangementFor(2), kMain,
                     BusInfo::kDefaultActive);
    }
  } else {
    addAudioOutput(WideName(outputBusLabels_.at(0)).text, ArrangementFor(NOutChannels()), kMain,
                   BusInfo::kDefaultActive);
  }
  if (sidechainChannels_ != 0) {
    sidechainChannels_ = std::min(sidechainChannels_, 2);
    const std::string label = inputBusLabels_.size() > 1 ? inputBusLabels_[1] : "Aux Input";
    addAudioInput(WideName(label).text, ArrangementFor(sidechainChannels_), kAux, 0);
  }
  if (takesMidi_) addEventInput(WideName("MIDI Input").text, 16, kMain, BusInfo::kDefaultActive);
}

int32 IEffectVST3::UnitForGroup(const std::string& group) {
  if (group.empty()) return kRootUnitId;
  for (std::size_t k = 0; k < paramGroups_.size(); ++k) {
    if (paramGroups_[k] == group) return static_cast<int32>(k + 1);
  }
  paramGroups_.push_back(group);
  return static_cast<int32>(paramGroups_.size());
}

void IEffectVST3::BuildParameters() {
  if (parameters.getParameterCount() > 0) return;
  paramGroups_.clear();
  if (NPresets() > 0) {
    parameters.addParameter(new Parameter("Preset", kPresetParamId, "", 0.0, NPresets(),
                                          ParameterInfo::kIsProgramChange, kRootUnitId));
  }
  if (!isInstrument_) {
    auto* bypass = new StringListParameter("Bypass", kBypassParamId, "",
                                           ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass,
                                           kRootUnitId);
    bypass->appendString("off");
    bypass->appendString("on");
    parameters.addParameter(bypass);
  }
  for (int i = 0; i < NParams(); ++i) {
    const IParamDef* def = GetParam(i);
    parameters.addParameter(new IEffectParameter(def, static_cast<ParamID>(i), UnitForGroup(def->Group())));
  }
}

// ---- IComponent ----------------------------------------------------------------

tresult PLUGIN_API IEffectVST3::setActive(TBool state) {
  try {
    ActiveChanged(state != 0);
  } catch (...) {
    return kResultFalse;
  }
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  try {
    PlugLock lock(Mutex());
    StateChunk chunk;
    if (!SerializeParams(chunk)) return kResultFalse;
    int32 written = 0;
    if (state->write(chunk.Data(), chunk.Size(), &written) != kResultOk || written != chunk.Size()) {
      return kResultFalse;
    }
    // The host-bypass flag, a little-endian int32.
    std::uint8_t flag[4] = {static_cast<std::uint8_t>(hostBypass_ ? 1 : 0), 0, 0, 0};
    written = 0;
    if (state->write(flag, 4, &written) != kResultOk || written != 4) return kResultFalse;
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IEffectVST3::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  try {
    PlugLock lock(Mutex());
    // The current values give the chunk its full size; bytes the stream does
    // not deliver keep the current values.
    StateChunk chunk;
    if (!SerializeParams(chunk)) return kResultFalse;
    const int32 size = chunk.Size();
    if (size <= 0) return kResultFalse;
    StateChunk current = chunk;
    const int32 got = ReadFully(state, chunk.Data(), size);
    // A value cut short by the stream is not half-stored: it keeps its current bytes.
    const int32 whole = got - got % 8;
    std::memcpy(chunk.Data() + whole, current.Data() + whole, static_cast<std::size_t>(size - whole));
    UnserializeParams(chunk, 0);

    std::uint8_t flag[4] = {0, 0, 0, 0};
    if (ReadFully(state, flag, 4) != 4) return kResultFalse;
    const std::uint32_t value = static_cast<std::uint32_t>(flag[0]) | (static_cast<std::uint32_t>(flag[1]) << 8) |
                                (static_cast<std::uint32_t>(flag[2]) << 16) |
                                (static_cast<std::uint32_t>(flag[3]) << 24);
    hostBypass_ = value != 0;
    RedrawParamControls();
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

// ---- IAudioProcessor -------------------------------------------------------------

tresult PLUGIN_API IEffectVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
  try {
    PlugLock lock(Mutex());
    for (int i = 0; i < NInChannels(); ++i) {
      InChannel& c = GetInChannel(i);
      c.connected = false;
      *c.slot = c.scratch.data();
    }
    for (int i = 0; i < NOutChannels(); ++i) {
      OutChannel& c = GetOutChannel(i);
      c.connected = false;
      *c.slot = c.scratch.data();
    }
    const int nIn = (inputs && numIns > 0) ? CountBits(inputs[0]) : 0;
    const int nOut = (outputs && numOuts > 0) ? CountBits(outputs[0]) : 0;
    if (!LegalIO(nIn, nOut)) return kResultFalse;

    if (AudioBus* in0 = AudioBusAt(audioInputs, 0); in0 && CountBits(in0->getArrangement()) != nIn) {
      audioInputs.removeAll();
      addAudioInput(WideName("Input").text, ArrangementFor(nIn), kMain, BusInfo::kDefaultActive);
    }
    if (AudioBus* out0 = AudioBusAt(audioOutputs, 0); out0 && CountBits(out0->getArrangement()) != nOut) {
      audioOutputs.removeAll();
      addAudioOutput(WideName("Output").text, ArrangementFor(nOut), kMain, BusInfo::kDefaultActive);
    }
    if (sidechainChannels_ != 0) {
      if (numIns != 2 || !inputs) return kResultFalse;
      const int nSc = CountBits(inputs[1]);
      AudioBus* in1 = AudioBusAt(audioInputs, 1);
      // A main bus rebuilt above took the sidechain bus with it: rebuild both.
      const bool lostSidechain = !in1 && audioInputs.size() > 0;
      if ((in1 && CountBits(in1->getArrangement()) != nSc) || lostSidechain) {
        audioInputs.removeAll();
        addAudioInput(WideName("Input").text, ArrangementFor(nIn), kMain, BusInfo::kDefaultActive);
        addAudioInput(WideName("Sidechain Input").text, ArrangementFor(nSc), kAux, 0);
      }
      return kResultOk;
    }
    return numIns == 1 ? kResultOk : kResultFalse;
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IEffectVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return (symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64) ? kResultOk : kResultFalse;
}

uint32 PLUGIN_API IEffectVST3::getLatencySamples() { return static_cast<uint32>(std::max(Latency(), 0)); }

uint32 PLUGIN_API IEffectVST3::getTailSamples() { return static_cast<uint32>(std::max(tailSamples_, 0)); }

tresult PLUGIN_API IEffectVST3::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize > kSample64 || setup.symbolicSampleSize < kSample32) return kResultFalse;
  // A rate or block size no signal path can run at is refused, nothing changed.
  if (!std::isfinite(setup.sampleRate) || !(setup.sampleRate > 0.0) || setup.maxSamplesPerBlock <= 0) {
    return kResultFalse;
  }
  try {
    // Taken so that a host calling this while a block runs cannot resize the
    // buffers under it.
    PlugLock lock(Mutex());
    processingReady_ = false;
    sampleRate_ = setup.sampleRate;
    hostBypass_ = false;
    SetBlockSize(std::min(setup.maxSamplesPerBlock, kMaxScratchFrames));
    Reset();
    processSetup = setup;
    processingReady_ = true;
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

void IEffectVST3::ApplyParameterChanges(IParameterChanges* changes) {
  if (!changes) return;
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
      LoadPreset(TruncToInt32(v * NPresets()));
    } else if (id < static_cast<ParamID>(NParams())) {
      const int index = static_cast<int>(id);
      GetParam(index)->SetFromNormalised(v);
      if (IEditorLink* editor = Graphics()) editor->SetParameterFromPlug(index, v, true);
      ParamChanged(index);
    }
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
void* HostChannel(const AudioBusBuffers& bus, int k, bool is64) {
  if (k < 0 || k >= bus.numChannels) return nullptr;
  if (is64) return bus.channelBuffers64 ? bus.channelBuffers64[k] : nullptr;
  return bus.channelBuffers32 ? bus.channelBuffers32[k] : nullptr;
}

}  // namespace

void IEffectVST3::ConnectInputs(const ProcessData& data) {
  std::fill(inHost_.begin(), inHost_.end(), nullptr);
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
    for (int k = 0; k < mainCount && k < nIn; ++k) inHost_[static_cast<std::size_t>(k)] = HostChannel(main, k, is64);
    if (nBuses >= 2) {
      for (int k = 0; mainCount + k < nIn; ++k) {
        inHost_[static_cast<std::size_t>(mainCount + k)] = HostChannel(data.inputs[1], k, is64);
      }
    }
  } else {
    const int n = std::min(std::max(main.numChannels, 0), nIn);
    for (int i = 0; i < nIn; ++i) GetInChannel(i).connected = i < n;
    for (int k = 0; k < n; ++k) inHost_[static_cast<std::size_t>(k)] = HostChannel(main, k, is64);
  }
  // A channel the block does not connect reads silence, not its host buffer.
  for (int i = 0; i < nIn; ++i) {
    if (!GetInChannel(i).connected) inHost_[static_cast<std::size_t>(i)] = nullptr;
  }
}

void IEffectVST3::ConnectOutputs(const ProcessData& data) {
  std::fill(outHost_.begin(), outHost_.end(), nullptr);
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
      if (active) outHost_[static_cast<std::size_t>(e + k)] = HostChannel(bus, k, is64);
    }
    e += c;
  }
}

void IEffectVST3::RenderSlice(bool is64, int offset, int frames) {
  const auto n = static_cast<std::size_t>(frames);
  const auto off = static_cast<std::size_t>(offset);
  for (int i = 0; i < NInChannels(); ++i) {
    InChannel& c = GetInChannel(i);
    void* host = inHost_[static_cast<std::size_t>(i)];
    if (host && is64) {
      *c.slot = static_cast<double*>(host) + off;
    } else {
      double* s = c.scratch.data();
      if (host) {
        const float* src = static_cast<const float*>(host) + off;
        for (std::size_t f = 0; f < n; ++f) s[f] = static_cast<double>(src[f]);
      } else {
        std::fill_n(s, n, 0.0);
      }
      *c.slot = s;
    }
  }
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel& c = GetOutChannel(i);
    void* host = outHost_[static_cast<std::size_t>(i)];
    c.hostBuffer = nullptr;
    if (host && is64) {
      *c.slot = static_cast<double*>(host) + off;
    } else {
      *c.slot = c.scratch.data();
      if (host) c.hostBuffer = static_cast<float*>(host) + off;
    }
  }
  if (hostBypass_) {
    PassThrough(frames);
  } else {
    ProcessBlock(InputPointers(), OutputPointers(), frames);
  }
  if (!is64) {
    for (int i = 0; i < NOutChannels(); ++i) {
      OutChannel& c = GetOutChannel(i);
      if (!c.connected || !c.hostBuffer) continue;
      const double* s = c.scratch.data();
      for (std::size_t f = 0; f < n; ++f) c.hostBuffer[f] = static_cast<float>(s[f]);
    }
  }
}

void IEffectVST3::SilenceHostOutputs(const ProcessData& data) {
  if (!data.outputs || data.numSamples <= 0) return;
  const bool is64 = data.symbolicSampleSize == kSample64;
  const auto n = static_cast<std::size_t>(data.numSamples);
  for (int b = 0; b < data.numOutputs; ++b) {
    for (int k = 0; k < data.outputs[b].numChannels; ++k) {
      void* host = HostChannel(data.outputs[b], k, is64);
      if (!host) continue;
      if (is64) {
        std::fill_n(static_cast<double*>(host), n, 0.0);
      } else {
        std::fill_n(static_cast<float*>(host), n, 0.0f);
      }
    }
  }
}

tresult PLUGIN_API IEffectVST3::process(ProcessData& data) {
  try {
    PlugLock lock(Mutex());
    if (data.processContext) processContext_ = *data.processContext;
    ApplyParameterChanges(data.inputParameterChanges);
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
    const bool is64 = data.symbolicSampleSize == kSample64;
    ConnectInputs(data);
    ConnectOutputs(data);
    // Blocks longer than the scratch buffers run in slices.
    for (int offset = 0; offset < data.numSamples; offset += BlockSize()) {
      RenderSlice(is64, offset, std::min(BlockSize(), data.numSamples - offset));
    }
    for (int i = 0; i < NOutChannels(); ++i) GetOutChannel(i).hostBuffer = nullptr;
  } catch (...) {
    // Nothing may leave the audio callback; the block is simply lost.
  }
  return kResultOk;
}

// ---- IEditController -------------------------------------------------------------

tresult PLUGIN_API IEffectVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                      String128 string) {
  if (!string || id >= static_cast<ParamID>(NParams())) return kResultFalse;
  try {
    WidenInto(string, 128, ParamValueText(*GetParam(static_cast<int>(id)), valueNormalized).c_str());
  } catch (...) {
    return kResultFalse;
  }
  return kResultOk;
}

ParamValue PLUGIN_API IEffectVST3::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  if (id >= static_cast<ParamID>(NParams())) return plainValue;
  return GetParam(static_cast<int>(id))->ToNormalised(plainValue);
}

// The value reads and writes below take the plug-in's mutex: the audio thread
// reads the same values in process.
ParamValue PLUGIN_API IEffectVST3::getParamNormalized(ParamID id) {
  PlugLock lock(Mutex());
  if (id == kBypassParamId) return hostBypass_ ? 1.0 : 0.0;
  if (id >= static_cast<ParamID>(NParams())) return 0.0;
  const IParamDef* p = GetParam(static_cast<int>(id));
  return p->ToNormalised(p->Value());
}

tresult PLUGIN_API IEffectVST3::setParamNormalized(ParamID id, ParamValue value) {
  if (id >= static_cast<ParamID>(NParams())) return kResultFalse;
  PlugLock lock(Mutex());
  GetParam(static_cast<int>(id))->SetFromNormalised(value);
  return kResultOk;
}

IPlugView* PLUGIN_API IEffectVST3::createView(FIDString) {
  // No editor is attached to this plug-in yet.
  return nullptr;
}

// ---- IUnitInfo -----------------------------------------------------------------------

int32 PLUGIN_API IEffectVST3::getUnitCount() { return static_cast<int32>(paramGroups_.size()) + 1; }

tresult PLUGIN_API IEffectVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex == 0) return EditControllerEx1::getUnitInfo(0, info);
  if (unitIndex < 1 || unitIndex > static_cast<int32>(paramGroups_.size())) return kResultFalse;
  info.id = unitIndex;
  info.parentUnitId = kRootUnitId;
  WidenInto(info.name, 128, paramGroups_[static_cast<std::size_t>(unitIndex - 1)].c_str());
  info.programListId = kNoProgramListId;
  return kResultOk;
}

int32 PLUGIN_API IEffectVST3::getProgramListCount() { return 0; }

tresult PLUGIN_API IEffectVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0) return kResultFalse;
  info.id = static_cast<ProgramListID>(kPresetParamId);
  WidenInto(info.name, 128, "Factory Presets");
  info.programCount = NPresets();
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != static_cast<ProgramListID>(kPresetParamId) || !name) return kResultFalse;
  const PresetSlot* preset = GetPreset(programIndex);
  WidenInto(name, 128, preset ? preset->name.c_str() : "");
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3::queryInterface(const TUID queryIid, void** obj) {
  return SingleComponentEffect::queryInterface(queryIid, obj);
}

// ---- Base operations supplied by the adapter ------------------------------------------

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

void IEffectVST3::SetLatency(int samples) {
  IEffectBase::SetLatency(samples);
  if (IComponentHandler* handler = getComponentHandler()) handler->restartComponent(kLatencyChanged);
}

bool IEffectVST3::SendMidiToHost(const MidiMessage&) { return false; }

void IEffectVST3::PopupHostParamMenu(int index, int x, int y) {
  IComponentHandler* handler = getComponentHandler();
  if (!handler || openViews_.empty()) return;
  IComponentHandler3* h3 = nullptr;
  if (handler->queryInterface(IComponentHandler3::iid, reinterpret_cast<void**>(&h3)) != kResultOk || !h3) return;
  const ParamID id = static_cast<ParamID>(index);
  if (IContextMenu* menu = h3->createContextMenu(openViews_.front(), &id)) {
    menu->popup(x, y);
    menu->release();
  }
  h3->release();
}

void IEffectVST3::BeginEditNotify(int index) { beginEdit(static_cast<ParamID>(index)); }

void IEffectVST3::PerformEditNotify(int index, double normalised) {
  performEdit(static_cast<ParamID>(index), normalised);
}

void IEffectVST3::EndEditNotify(int index) { endEdit(static_cast<ParamID>(index)); }
