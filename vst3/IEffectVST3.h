#pragma once

// The VST3 adapter: joins the host-independent plug-in core (IEffectBase) to
// the host's component, processor and edit-controller interfaces, as one
// single-component effect. A concrete plug-in derives from it. The definitions
// are split by concern: IEffectVST3.cpp (life cycle and buses),
// IEffectVST3Process.cpp, IEffectVST3State.cpp, IEffectVST3Controller.cpp.
// Every host entry point runs its body through HostCall (HostCall.h).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugbase/AdapterParamIds.h"
#include "plugbase/HostBlock.h"
#include "plugbase/IEffectBase.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "vst3/sdk/SingleComponentEffect.h"

class IEffectVST3View;

class IEffectVST3 : public IEffectBase, public Steinberg::Vst::SingleComponentEffect {
  MIREL_FOBJECT_CHAIN(IEffectVST3, SingleComponentEffect)
 public:
  using tresult = Steinberg::tresult;
  using TBool = Steinberg::TBool;
  using int32 = Steinberg::int32;
  using uint32 = Steinberg::uint32;
  using ParamID = Steinberg::Vst::ParamID;
  using ParamValue = Steinberg::Vst::ParamValue;

  // Host-visible ids of the two parameters the adapter adds.
  static constexpr ParamID kBypassParamId = kBypassParamCodeId;
  static constexpr ParamID kPresetParamId = kPresetParamCodeId;

  IEffectVST3(int nParams, const char* channelIOText, int nPresets, const char* effectName,
              const char* productName, const char* makerName, std::int32_t version,
              std::int32_t uniqueId, std::int32_t makerId);
  ~IEffectVST3() override;

  // ---- IPluginBase (host's set-up thread) ----------------------------------
  tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  tresult PLUGIN_API terminate() override;

  // ---- IComponent (set-up thread) --------------------------------------------
  tresult PLUGIN_API setActive(TBool state) override;
  // State of the whole plug-in: the parameter chunk, then the host-bypass flag
  // as a little-endian int32. One operation for IComponent and IEditController;
  // any thread, under the plug-in's mutex.
  tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
  tresult PLUGIN_API getState(Steinberg::IBStream* state) override;

  // ---- IAudioProcessor --------------------------------------------------------
  // Set-up thread.
  tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, int32 numIns,
                                        Steinberg::Vst::SpeakerArrangement* outputs,
                                        int32 numOuts) override;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
  uint32 PLUGIN_API getLatencySamples() override;
  tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  // Audio thread, under the plug-in's mutex; always kResultOk.
  tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  uint32 PLUGIN_API getTailSamples() override;

  // ---- IEditController (host's UI thread) -------------------------------------
  // The program change parameter also reads its presets' names (any case).
  tresult PLUGIN_API getParamValueByString(ParamID id, Steinberg::Vst::TChar* string,
                                           ParamValue& valueNormalized) override;
  tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                           Steinberg::Vst::String128 string) override;
  ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  ParamValue PLUGIN_API getParamNormalized(ParamID id) override;
  tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // ---- IUnitInfo (UI thread) -----------------------------------------------------
  int32 PLUGIN_API getUnitCount() override;
  tresult PLUGIN_API getUnitInfo(int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
  int32 PLUGIN_API getProgramListCount() override;
  tresult PLUGIN_API getProgramListInfo(int32 listIndex, Steinberg::Vst::ProgramListInfo& info) override;
  tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                    Steinberg::Vst::String128 name) override;

  tresult PLUGIN_API queryInterface(const Steinberg::TUID queryIid, void** obj) override;
  MIREL_REFCOUNT_FROM(Steinberg::FObject)

  // ---- IEffectBase operations the adapter supplies --------------------------------
  bool IsRenderingOffline() override;
  std::int32_t HostSamplePos() override;
  double HostTempo() override;
  void HostTimeSig(std::int32_t& numerator, std::int32_t& denominator) override;
  void HostTransport(TransportInfo& info) override;
  void SetLatency(int samples) override;
  bool SendMidiToHost(const MidiMessage& msg) override;
  // Editor gestures, forwarded to the host's component handler (window thread).
  void PopupHostParamMenu(int index, int x, int y) override;
  void BeginEditNotify(int index) override;
  void PerformEditNotify(int index, double normalised) override;
  void EndEditNotify(int index) override;
  // The editor asks the host, through the attached view's frame, to give
  // the view this size. Window thread.
  void ResizeEditor(int width, int height) override;
  // Takes a dying view off the list of open views; the others stay. Window thread.
  void ForgetOpenView(const IEffectVST3View* view) { std::erase(openViews_, view); }
  // The open view showing the editor (attached and not removed); null when none does.
  IEffectVST3View* AttachedView() const;
  // How many views are open (created and not yet released).
  std::size_t OpenViewCount() const { return openViews_.size(); }

  // Host bypass as last set by process, setParamNormalized or setState.
  bool HostBypass() const { return hostBypass_; }
  // The preset a value of the program change parameter selects: its steps
  // k / (presets - 1) are the presets in order, the nearest one wins.
  int PresetIndexFor(ParamValue valueNormalized) const;

 protected:
  // Channels of the sidechain input; 0 means no sidechain bus.
  int32 sidechainChannels_ = 2;

 private:
  void BuildBuses();
  void BuildParameters();
  int MainInputCount() const;
  // The unit of a group name: 0 for none, else 1 + its place in the unit table.
  int32 UnitForGroup(const std::string& group);
  // The name of the program the "prst" value selects.
  std::string PresetNameAt(ParamValue valueNormalized);
  // Applies the last value of each queue; true when a preset was loaded.
  bool ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes);
  // Tells the host every parameter's value through the block's output
  // changes: a preset loaded inside process changed them all behind its back.
  void ReportValuesToHost(Steinberg::Vst::IParameterChanges* out);
  void ApplyMidi(Steinberg::Vst::IEventList* events);
  void ConnectInputs(const Steinberg::Vst::ProcessData& data);
  void ConnectOutputs(const Steinberg::Vst::ProcessData& data);
  void SilenceHostOutputs(const Steinberg::Vst::ProcessData& data);

  bool sidechainActive_ = false;
  // True once setupProcessing has sized the buffers and reset the signal state.
  bool processingReady_ = false;
  Steinberg::Vst::ProcessContext processContext_{};
  // Every view created, in creation order; the attached one takes resize
  // requests and host context menus. Not referenced: a dying view leaves it.
  std::vector<IEffectVST3View*> openViews_;
  // This block's host buffers per channel, of the block's sample size.
  HostBlock hostBlock_{*this};
};
