#include "vst3/sdk/SingleComponentEffect.h"

namespace Steinberg::Vst {

SingleComponentEffect::SingleComponentEffect() {
  processSetup.processMode = kRealtime;
  processSetup.symbolicSampleSize = kSample32;
  processSetup.maxSamplesPerBlock = 1024;
  processSetup.sampleRate = 44100.0;
}

SingleComponentEffect::~SingleComponentEffect() = default;

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context) {
  return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API SingleComponentEffect::terminate() {
  audioInputs.removeAll();
  audioOutputs.removeAll();
  eventInputs.removeAll();
  eventOutputs.removeAll();
  return EditControllerEx1::terminate();
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID) { return kNotImplemented; }
tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode) { return kNotImplemented; }
tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo&, RoutingInfo&) {
  return kNotImplemented;
}

BusList* SingleComponentEffect::getBusList(MediaType type, BusDirection dir) {
  if (type == kAudio) return dir == kInput ? &audioInputs : dir == kOutput ? &audioOutputs : nullptr;
  if (type == kEvent) return dir == kInput ? &eventInputs : dir == kOutput ? &eventOutputs : nullptr;
  return nullptr;
}

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir) {
  const BusList* list = getBusList(type, dir);
  return list ? list->size() : 0;
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                     BusInfo& info) {
  BusList* list = getBusList(type, dir);
  const Bus* bus = list ? list->at(index) : nullptr;
  if (!bus) return kInvalidArgument;
  info.mediaType = type;
  info.direction = dir;
  return bus->getInfo(info) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index,
                                                      TBool state) {
  BusList* list = getBusList(type, dir);
  Bus* bus = list ? list->at(index) : nullptr;
  if (!bus) return kInvalidArgument;
  bus->setActive(state != 0);
  return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool) { return kResultOk; }
tresult PLUGIN_API SingleComponentEffect::setState(IBStream*) { return kNotImplemented; }
tresult PLUGIN_API SingleComponentEffect::getState(IBStream*) { return kNotImplemented; }

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement*, int32,
                                                             SpeakerArrangement*, int32) {
  return kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index,
                                                            SpeakerArrangement& arr) {
  BusList* list = getBusList(kAudio, dir);
  Bus* bus = list ? list->at(index) : nullptr;
  if (!bus) return kInvalidArgument;
  auto* audio = dynamic_cast<AudioBus*>(bus);
  if (!audio) return kResultFalse;
  arr = audio->getArrangement();
  return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup) {
  processSetup = setup;
  return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool) { return kNotImplemented; }
tresult PLUGIN_API SingleComponentEffect::process(ProcessData&) { return kNotImplemented; }

AudioBus* SingleComponentEffect::addAudioInput(const TChar* name, SpeakerArrangement arr,
                                               BusType type, int32 flags) {
  auto* bus = new AudioBus(name, type, flags, arr);
  audioInputs.append(bus);
  return bus;
}

AudioBus* SingleComponentEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr,
                                                BusType type, int32 flags) {
  auto* bus = new AudioBus(name, type, flags, arr);
  audioOutputs.append(bus);
  return bus;
}

EventBus* SingleComponentEffect::addEventInput(const TChar* name, int32 channels, BusType type,
                                               int32 flags) {
  auto* bus = new EventBus(name, type, flags, channels);
  eventInputs.append(bus);
  return bus;
}

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (QueryAs<IComponent>(this, queryIid, obj)) return kResultOk;
  if (QueryAs<IAudioProcessor>(this, queryIid, obj)) return kResultOk;
  // IPluginBase and FUnknown come from the controller's side of the object.
  return EditControllerEx1::queryInterface(queryIid, obj);
}

}  // namespace Steinberg::Vst
