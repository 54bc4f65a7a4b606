#pragma once

// The Mirel stereo compressor: the one class that knows it is a compressor.

#include "Compressor.h"
#include "IEffectVST3.h"
#include "MirelParams.h"

class Mirel : public IEffectVST3 {
 public:
  Mirel();
  ~Mirel() override;

  // Clears the oversampler's filter histories. Set-up thread, under the mutex.
  void Reset() override;
  // Converts parameter index's new plain value into the processing members.
  // Any thread; takes the mutex.
  void ParamChanged(int index) override;
  // The compressor: inputs 0/1 main left/right, 2/3 sidechain left/right;
  // outputs 0/1. Audio thread, with the mutex held by the caller.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;

  // Index of the meter in the editor's control list, recorded by the editor
  // layout; -1 (the default) sends no meter value.
  void SetMeterControl(int index) { meterControl_ = index; }

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

  // Parameter-derived values (written by ParamChanged; the switches are read
  // from their parameters at each block).
  CompressorSettings settings_;
  int meterControl_ = -1;
  Compressor compressor_;
};
