#pragma once

// One object that is at once the audio component, the audio processor and the
// edit controller. Keeps the four bus lists and the processing set-up.

#include "vst3/sdk/Bus.h"
#include "vst3/sdk/EditController.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace Steinberg::Vst {

class SingleComponentEffect : public EditControllerEx1, public IComponent, public IAudioProcessor {
  MIREL_FOBJECT_CHAIN(SingleComponentEffect, EditControllerEx1)
 public:
  SingleComponentEffect();
  ~SingleComponentEffect() override;

  // IPluginBase (set-up thread). terminate empties the parameters and buses.
  tresult PLUGIN_API initialize(FUnknown* context) override;
  tresult PLUGIN_API terminate() override;

  // IComponent (set-up thread).
  tresult PLUGIN_API getControllerClassId(TUID classId) override;
  tresult PLUGIN_API setIoMode(IoMode mode) override;
  int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override;
  tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override;
  tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
  tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override;
  tresult PLUGIN_API setActive(TBool state) override;
  // One state for both IComponent and IEditController (the signatures are
  // the same function in a single-component effect).
  tresult PLUGIN_API setState(IBStream* state) override;
  tresult PLUGIN_API getState(IBStream* state) override;

  // IAudioProcessor.
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                        SpeakerArrangement* outputs, int32 numOuts) override;
  tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
  uint32 PLUGIN_API getLatencySamples() override { return 0; }
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override;
  tresult PLUGIN_API setProcessing(TBool state) override;
  tresult PLUGIN_API process(ProcessData& data) override;
  uint32 PLUGIN_API getTailSamples() override { return 0; }

  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(FObject)

 protected:
  // The list for a media type and direction, or null.
  BusList* getBusList(MediaType type, BusDirection dir);
  AudioBus* addAudioInput(const TChar* name, SpeakerArrangement arr, BusType type, int32 flags);
  AudioBus* addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType type, int32 flags);
  EventBus* addEventInput(const TChar* name, int32 channels, BusType type, int32 flags);

  BusList audioInputs{kAudio, kInput};
  BusList audioOutputs{kAudio, kOutput};
  BusList eventInputs{kEvent, kInput};
  BusList eventOutputs{kEvent, kOutput};
  ProcessSetup processSetup{};
};

}  // namespace Steinberg::Vst
