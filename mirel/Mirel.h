#pragma once

// The Mirel stereo compressor: the one class that knows it is a compressor.
// It is written once over the host adapter it sits on (MirelOn<Adapter>):
// Mirel is the VST3 effect, MirelClap (mirel/MirelClap.h) the CLAP one. The
// adapters share one constructor and the base's operations, so both
// instances are the same product; Mirel.cpp instantiates both.

#include "dsp/Compressor.h"
#include "mirel/EditorLayout.h"
#include "mirel/MirelParams.h"
#include "vst3/IEffectVST3.h"

class PlugValueFeed;

template <class Adapter>
class MirelOn : public Adapter {
 public:
  // The base's operations the class body uses, named for its template.
  using Adapter::GetParam;
  using Adapter::Graphics;
  using Adapter::Mutex;

  // The editor's size in pixels and redraws per second, from the layout table.
  static constexpr int kEditorWidth = mirel::layout::kEditorWidth;
  static constexpr int kEditorHeight = mirel::layout::kEditorHeight;
  static constexpr int kEditorFrameRate = mirel::layout::kFrameRate;

  // Builds and attaches the editor unless withEditor is false (the signal
  // path's own tests run without one).
  explicit MirelOn(bool withEditor = true);
  ~MirelOn() override;

  // Clears the oversampler's filter histories. Set-up thread, under the mutex.
  void Reset() override;
  // Converts parameter index's new plain value into the processing members.
  // Any thread; takes the mutex.
  void ParamChanged(int index) override;
  // The compressor: inputs 0/1 main left/right, 2/3 sidechain left/right;
  // outputs 0/1. Audio thread, with the mutex held by the caller.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;

  // Index of the meter in the editor's control list (15 with the layout),
  // recorded by the editor layout; -1 while there is none.
  int MeterControl() const { return meterControl_; }
  // The feed the meter readings go through while the layout's editor is
  // attached (null otherwise, also once the base has released that editor):
  // the latest reading of each block, which the editor's timer tick applies
  // to the meter control.
  PlugValueFeed* MeterFeed() const { return Graphics() == editorWithFeed_ ? meterFeed_ : nullptr; }
  // Another editor replacing the layout's one also ends its meter feed.
  void AttachGraphics(std::unique_ptr<IEditorLink> graphics) override;

  // Read-only views of the processing state, for inspection and tests.
  const CompressorSettings& Settings() const { return settings_; }
  const Compressor& Signal() const { return compressor_; }
  double GainState() const { return compressor_.GainState(); }
  double MeterValue() const { return compressor_.MeterValue(); }
  double OutputGain() const { return settings_.outputGain; }
  double Ratio() const { return settings_.ratio; }
  int OversampleFactor() const { return settings_.oversampleFactor; }
  AllPoleHistory UpHistory(int channel) const { return compressor_.UpHistory(channel); }
  AllPoleHistory DownHistory(int channel) const { return compressor_.DownHistory(channel); }
  const BesselLowpass& OversampleCoeffs() const { return compressor_.OversampleCoeffs(); }
  const BiquadSection& HighPassSection(int channel) const { return compressor_.HighPassSection(channel); }
  const BiquadSection& PeakSection(int channel) const { return compressor_.PeakSection(channel); }
  const BiquadSection& ShelfSection(int channel) const { return compressor_.ShelfSection(channel); }

  static constexpr double kMaxSectionFreq = Compressor::kMaxSectionFreq;

 private:
  void DefineParameters();
  // Each value's text in real units, and the entries of the stepped parameters.
  void SetValueTexts();
  // Fills the preset slots from the factory preset table, "Default" first.
  void CaptureFactoryPresets();
  // Builds the editor of the layout table and attaches it (MirelEditor.cpp).
  void BuildEditor();

  // Parameter-derived values (written by ParamChanged; the switches are read
  // from their parameters at each block).
  CompressorSettings settings_;
  int meterControl_ = -1;
  // The meter's feed, owned by the attached editor editorWithFeed_.
  PlugValueFeed* meterFeed_ = nullptr;
  const IEditorLink* editorWithFeed_ = nullptr;
  Compressor compressor_;
};

extern template class MirelOn<IEffectVST3>;
// The VST3 effect, the class the VST3 module makes.
using Mirel = MirelOn<IEffectVST3>;
