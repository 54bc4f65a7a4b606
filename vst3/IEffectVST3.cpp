// The adapter's life cycle and buses: construction, initialize and terminate,
// activation, the bus layout and its arrangements.

#include <algorithm>
#include <string>

#include "vst3/AdapterShared.h"
#include "vst3/HostCall.h"
#include "plugbase/HostIdentity.h"
#include "vst3/IEffectVST3.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace adapter;

namespace adapter {

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

}  // namespace adapter

IEffectVST3::IEffectVST3(int nParams, const char* channelIOText, int nPresets,
                         const char* effectName, const char* productName, const char* makerName,
                         std::int32_t version, std::int32_t uniqueId, std::int32_t makerId)
    : IEffectBase(nParams, channelIOText, nPresets, effectName, productName, makerName, version,
                  uniqueId, makerId) {
  PrepareHostChannels();
  inputBusLabels_.assign(1, "Main Input");
  if (sidechainChannels_ != 0) inputBusLabels_.push_back("Aux Input");
  outputBusLabels_.clear();
  if (isInstrument_) {
    for (int i = 0; i < NOutChannels() / 2; ++i) outputBusLabels_.push_back("Output " + std::to_string(i + 1));
  } else {
    outputBusLabels_.push_back("Output");
  }
  processContext_ = ProcessContext{};
}

IEffectVST3::~IEffectVST3() {
  // The editor goes while the host can still hear the end of an edit it had
  // open.
  ReleaseGraphics();
  openViews_.clear();
}

// Set-up thread.
tresult PLUGIN_API IEffectVST3::initialize(FUnknown* context) {
  // A second initialize without terminate changes nothing at all: it neither
  // re-identifies the host nor reloads preset 0, which would silently throw
  // away the settings of a plug-in that is already running.
  if (isInitialized()) return kResultFalse;
  const tresult result = HostCall([&]() -> tresult {
    PlugLock lock(Mutex());
    const tresult base = SingleComponentEffect::initialize(context);
    if (base != kResultOk) return base;
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
  });
  // A failed initialize leaves nothing half built.
  if (result == kResultFalse && isInitialized()) HostCall([&] { return SingleComponentEffect::terminate(); });
  return result;
}

// Set-up thread.
tresult PLUGIN_API IEffectVST3::terminate() {
  return HostCall([&] {
    PlugLock lock(Mutex());
    paramGroups_.clear();
    sidechainActive_ = false;
    return SingleComponentEffect::terminate();
  });
}

// Set-up thread.
tresult PLUGIN_API IEffectVST3::setActive(TBool state) {
  return HostCall([&] {
    ActiveChanged(state != 0);
    return kResultOk;
  });
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

// Set-up thread.
tresult PLUGIN_API IEffectVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
  return HostCall([&]() -> tresult {
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
  });
}

// Any thread.
tresult PLUGIN_API IEffectVST3::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  return HostCall([&] { return SingleComponentEffect::queryInterface(queryIid, obj); });
}

// ---- Base operations supplied by the adapter ------------------------------------------

void IEffectVST3::SetLatency(int samples) {
  IEffectBase::SetLatency(samples);
  if (IComponentHandler* handler = getComponentHandler()) handler->restartComponent(kLatencyChanged);
}

bool IEffectVST3::SendMidiToHost(const MidiMessage&) { return false; }
