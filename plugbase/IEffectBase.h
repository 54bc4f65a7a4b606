#pragma once

// The host-independent core of an effect plug-in: identity, channel
// configurations, parameters, presets, per-channel buffers, the attached
// editor and the one re-entrant lock. A host adapter derives from it and
// supplies the host-facing operations; the concrete plug-in overrides
// Reset, ParamChanged and ProcessBlock.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugbase/FourCC.h"
#include "plugbase/EditPort.h"
#include "plugbase/EditorLink.h"
#include "plugbase/IParamDef.h"
#include "plugbase/PlugMutex.h"
#include "plugbase/StateChunk.h"
#include "plugbase/StateSections.h"

struct ChannelIOConfig {
  std::int32_t inputs = 0;
  std::int32_t outputs = 0;
};

// One input channel. slot is this channel's entry in the input pointer
// array; it points at scratch or at a host buffer while a block runs.
struct InChannel {
  bool connected = false;
  double** slot = nullptr;
  std::vector<double> scratch;
};

struct OutChannel {
  bool connected = false;
  double** slot = nullptr;
  float* hostBuffer = nullptr;  // the host's single-precision buffer while a block runs
  std::vector<double> scratch;
};

// Delay line for latency-compensated pass-through: length samples for each
// input channel, interleaved by frame.
struct LatencyDelay {
  std::vector<double> buffer;
  std::int32_t writePos = 0;
  std::int32_t inputCount = 0;
  std::int32_t outputCount = 0;
  std::int32_t length = 0;
};

struct PresetSlot {
  static constexpr std::size_t kNameMax = 255;
  bool initialised = false;
  std::string name = "empty";
  StateChunk chunk;
};

// The host's transport, as the adapter last received it.
struct TransportInfo {
  double tempo = 0.0;
  double samplePos = 0.0;
  double ppqPos = 0.0;
  double lastBar = 0.0;
  double cycleStart = 0.0;
  double cycleEnd = 0.0;
  std::int32_t numerator = 0;
  std::int32_t denominator = 0;
  bool playing = false;
  bool cycling = false;
};

struct MidiMessage {
  std::int32_t offset = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
};

class IEffectBase : public IEditPort {
 public:
  static constexpr std::size_t kNameMax = 127;
  // Code of the plug-in interface in use (GetApiCode): this base serves VST3 hosts.
  static constexpr std::int32_t kApiVst3 = 1;

  IEffectBase(int nParams, const char* channelIOText, int nPresets, const char* effectName,
              const char* productName, const char* makerName, std::int32_t version,
              std::int32_t uniqueId, std::int32_t makerId);
  ~IEffectBase() override;
  IEffectBase(const IEffectBase&) = delete;
  IEffectBase& operator=(const IEffectBase&) = delete;

  // ---- Overridden by the plug-in -------------------------------------------
  // Clears the signal state. Set-up thread (setupProcessing, activation).
  virtual void Reset();
  // Reacts to a parameter's new value. Any thread, under the mutex.
  virtual void ParamChanged(int index);
  // Renders one block. Audio thread, under the mutex. The default copies
  // input i to output i and zeroes outputs without an input.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);

  // ---- Hooks with empty defaults -------------------------------------------
  virtual void EditorOpened() {}
  virtual void EditorClosing() {}
  virtual void ActiveChanged(bool active);
  virtual void MidiReceived(const MidiMessage& msg) { SendMidiToHost(msg); }
  virtual void EditorResized() {}
  virtual void HostIdentified() {}
  virtual void NotifyPresetChanged() {}

  // ---- State ----------------------------------------------------------------
  // Appends every parameter's value, in index order. Any thread; takes the mutex.
  virtual bool SerializeParams(StateChunk& chunk);
  // Restores values from start on, bounded into each range, then calls
  // ParamChanged for every parameter. Returns the offset after the last value
  // read, or -1 when the chunk ran short. Any thread; takes the mutex.
  virtual int UnserializeParams(const StateChunk& chunk, int start);
  // True when every value matches values[start + i] to 0.00001 in single precision.
  virtual bool ParamsEqual(const double* values, int start) const;
  // The whole state a host stores (layout in IEffectBaseState.cpp): the
  // values, the host-bypass word and the later fields. Any thread; takes the mutex.
  bool SerializeState(StateChunk& chunk);
  // The most bytes of a stored state UnserializeState looks at (0 when the
  // values cannot be written); an adapter reads the host's stream up to it.
  int MaxStateSize();
  // The fewest bytes a stored state UnserializeState accepts: the values and
  // the host-bypass word (0 when the values cannot be written).
  int MinStateSize();
  // Restores a stored state from the bytes that arrived of it, then redraws
  // the editor's controls. A value the bytes end inside keeps its current
  // value; false (the values that arrived restored, nothing else) when they
  // end before the host-bypass word. Any thread; takes the mutex.
  bool UnserializeState(const StateChunk& chunk);
  // Fields a plug-in adds to its state: each is a section of its own, written
  // only when it differs from its default. Reading gets every section the
  // state carried (none for a state from before them, or a damaged block), and
  // a field without its section takes its default. Under the mutex.
  virtual void WriteStateSections(StateSections& /*sections*/) {}
  virtual void ReadStateSections(const StateSections& /*sections*/) {}

  // ---- Editor -----------------------------------------------------------------
  // ---- The editor's edit port (window thread) ---------------------------------
  // The host hears begin, perform and end with no lock of the plug-in held:
  // a host handler that waits for the audio thread cannot deadlock with it.
  void BeginEdit(int index) override;
  // Sets the parameter and calls ParamChanged under the mutex, then tells the
  // host the new value after releasing it.
  void PerformEdit(int index, double normalised) override;
  void EndEdit(int index) override;
  int NEditParams() const override { return NParams(); }
  const IParamDef* ParamDescription(int index) const override { return GetParam(index); }
  double ParamNormalised(int index) override;
  double ParamPlain(int index) override;
  std::string ParamDisplayText(int index) override;
  // A VST3 host offers a menu per parameter and sizes the editor's window.
  bool HostOffersParamMenu() const override { return true; }
  void PopupParamMenu(int index, int x, int y) override { PopupHostParamMenu(index, x, y); }
  bool HostSizesEditorWindow() const override { return true; }
  void RequestEditorSize(int width, int height) override { ResizeEditor(width, height); }
  // Hands the editor to the base, which owns it from then on. Null is ignored.
  virtual void AttachGraphics(std::unique_ptr<IEditorLink> graphics);
  // Brings every control up to its parameter's current value.
  virtual void RedrawParamControls();
  // The user's zoom of the editor (the size a host's resize handle gave it,
  // relative to the display scale), kept with the instance and its state;
  // 1 until the editor is resized. Any thread. A zoom outside
  // kEditorZoomMin to kEditorZoomMax is refused (false, nothing changed); a
  // new one is told to the attached editor (EditorZoomChanged).
  double EditorZoom() const override { return editorZoom_.load(std::memory_order_relaxed); }
  bool SetEditorZoom(double zoom) override;
  // Destroys the attached editor now (an adapter does it while it can still
  // hear the edits the editor ends on its way out).
  void ReleaseGraphics() { graphics_.reset(); }

  // ---- Supplied by the host adapter (defaults for a base without a host) ----
  virtual void PopupHostParamMenu(int /*index*/, int /*x*/, int /*y*/) {}
  virtual void BeginEditNotify(int /*index*/) {}
  virtual void PerformEditNotify(int /*index*/, double /*normalised*/) {}
  virtual void EndEditNotify(int /*index*/) {}
  virtual bool IsRenderingOffline() { return false; }
  virtual std::int32_t HostSamplePos() { return 0; }
  virtual double HostTempo() { return 0.0; }
  virtual void HostTimeSig(std::int32_t& numerator, std::int32_t& denominator) {
    numerator = 0;
    denominator = 0;
  }
  virtual void HostTransport(TransportInfo& info) { info = TransportInfo{}; }
  virtual void ResizeEditor(int /*width*/, int /*height*/) {}
  virtual bool SendMidiToHost(const MidiMessage& /*msg*/) { return false; }
  virtual std::int32_t GetHostId() { return hostId_; }
  virtual std::int32_t GetApiCode() { return kApiVst3; }
  // Stores the latency and resets the delay line; the adapter also tells the host.
  virtual void SetLatency(int samples);
  // Resizes and zeroes every scratch buffer when the size changes. Set-up thread.
  virtual void SetBlockSize(int frames);

  // ---- Non-virtual operations -------------------------------------------------
  bool LegalIO(int nIn, int nOut) const;
  IParamDef* GetParam(int index);
  const IParamDef* GetParam(int index) const;
  int NParams() const { return static_cast<int>(params_.size()); }
  // Bypass rendering: inputs to outputs (through the delay line when there is latency).
  void PassThrough(int frames);
  // Fills every scratch buffer with blockSize zeros.
  void ZeroScratch();

  // Presets.
  void CaptureDefaultPreset();
  // Fills the first empty preset slot with the current values under `name`;
  // false when every slot is taken.
  bool CapturePreset(const std::string& name);
  bool LoadPreset(int index);
  int NPresets() const { return static_cast<int>(presets_.size()); }
  const PresetSlot* GetPreset(int index) const;
  int CurrentPreset() const { return currentPreset_; }

  // Identity and set-up.
  const char* EffectName() const { return effectName_.c_str(); }
  const char* ProductName() const { return productName_.c_str(); }
  const char* MakerName() const { return makerName_.c_str(); }
  std::int32_t UniqueId() const { return uniqueId_; }
  std::int32_t MakerId() const { return makerId_; }
  std::int32_t Version() const { return version_; }
  std::int32_t HostVersion() const { return hostVersion_; }
  double SampleRate() const { return sampleRate_; }
  int BlockSize() const { return blockSize_; }
  int Latency() const { return latency_; }
  IEditorLink* Graphics() const { return graphics_.get(); }
  PlugMutex& Mutex() { return mutex_; }

  int NInChannels() const { return static_cast<int>(inChannels_.size()); }
  int NOutChannels() const { return static_cast<int>(outChannels_.size()); }
  int NIOConfigs() const { return static_cast<int>(ioConfigs_.size()); }
  const ChannelIOConfig& GetIOConfig(int i) const { return ioConfigs_.at(static_cast<std::size_t>(i)); }
  InChannel& GetInChannel(int i) { return inChannels_.at(static_cast<std::size_t>(i)); }
  OutChannel& GetOutChannel(int i) { return outChannels_.at(static_cast<std::size_t>(i)); }
  double** InputPointers() { return inputPointers_.data(); }
  double** OutputPointers() { return outputPointers_.data(); }

 protected:
  // Where an adapter starts from: every channel connected until the host's
  // first block says otherwise and, with inputs, the bypass's delay line.
  void PrepareHostChannels();

  // A parameter's value from the host's processing call or parameter flush
  // (normalised; an index without a parameter is ignored): the parameter
  // takes it, the open editor is handed it for its next tick, and
  // ParamChanged follows. Under the mutex.
  void ApplyHostValue(int index, double normalised);

  // Fields the host adapter reads and writes.
  std::int32_t hostId_ = -1;
  std::int32_t hostVersion_ = 0;
  double sampleRate_ = 44100.0;
  std::int32_t blockSize_ = 0;
  std::int32_t latency_ = 0;
  std::unique_ptr<LatencyDelay> latencyDelay_;
  std::vector<std::string> inputBusLabels_;
  std::vector<std::string> outputBusLabels_;
  std::vector<std::string> paramGroups_;
  bool isInstrument_ = false;
  bool takesMidi_ = false;
  bool hostBypass_ = false;
  std::int32_t tailSamples_ = 0;

 private:
  std::vector<ChannelIOConfig> ioConfigs_;
  PlugMutex mutex_;
  std::string effectName_;
  std::string productName_;
  std::string makerName_;
  std::int32_t uniqueId_;
  std::int32_t makerId_;
  std::int32_t version_;
  std::int32_t currentPreset_ = 0;
  std::unique_ptr<IEditorLink> graphics_;
  std::atomic<double> editorZoom_{1.0};
  std::vector<IParamDef> params_;
  std::vector<PresetSlot> presets_;
  // The pointer arrays never change size after construction: the channel
  // records keep pointers into them.
  std::vector<double*> inputPointers_;
  std::vector<double*> outputPointers_;
  std::vector<InChannel> inChannels_;
  std::vector<OutChannel> outChannels_;
};

// Parses a channel-configuration text such as "2-2 4-2": pairs "in-out"
// separated by blanks; a missing number reads as 0.
std::vector<ChannelIOConfig> ParseChannelIO(const char* text);
