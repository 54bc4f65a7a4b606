#pragma once

// The Mirel stereo compressor: the one class that knows it is a compressor.

#include "BiquadSection.h"
#include "IEffectVST3.h"
#include "MirelParams.h"
#include "Oversampler.h"

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
  double GainState() const { return gainState_; }
  double MeterValue() const { return meterValue_; }
  double OutputGain() const { return outputGain_; }
  double Ratio() const { return ratio_; }
  int OversampleFactor() const { return oversampleFactor_; }
  AllPoleHistory UpHistory(int channel) const { return up_.History(channel); }
  AllPoleHistory DownHistory(int channel) const { return down_.History(channel); }
  const BesselLowpass& OversampleCoeffs() const { return osCoeffL_; }
  const BiquadSection& HighPassSection(int channel) const { return channel == 0 ? hpfL_ : hpfR_; }
  const BiquadSection& PeakSection(int channel) const { return channel == 0 ? peakL_ : peakR_; }
  const BiquadSection& ShelfSection(int channel) const { return channel == 0 ? shelfL_ : shelfR_; }

  // The detector sections never see a normalised frequency above this, so the
  // fixed 10 kHz shelf and the peak stay below the tangent's pole at sample
  // rates of 20.4 kHz and below. At 22.05 kHz and above no setting reaches it.
  static constexpr double kMaxSectionFreq = 0.49;

 private:
  void DefineParameters();
  void DesignDetectorSections(double fs);
  // The per-sample oversampling loop: sets interstageL_, interstageR_. fb and
  // gain are the coefficient sets with left and right side by side.

  // Parameter-derived members (written by ParamChanged); the constructor's
  // values are not usable for processing until every index has been delivered.
  double inputDb_ = -10.0;  // threshold is -inputDb_ scaled decibels
  double outputGain_ = 0.0;
  double attackSec_ = 0.0;
  double releaseSec_ = 0.0;
  double ratio_ = 0.0;
  double gainState_ = 1.0;  // linear gain shared by both channels
  double hpfHz_ = 0.0;
  double mixPercent_ = 0.0;
  double hfDb_ = 0.0;
  double midFreqHz_ = 0.0;
  double midGainDb_ = 0.0;
  int meterControl_ = -1;
  double meterValue_ = 1.0;  // VU ballistics state; runs only while an editor is attached

  // Detector sections, per channel: high-pass, then peak, then high shelf.
  BiquadSection hpfL_, hpfR_;
  BiquadSection peakL_, peakR_;
  BiquadSection shelfL_, shelfR_;

  // Oversampler: factor N (4 or 16), filter coefficients (left and right are
  // the same design), histories of the up- and down-sampling filters, left
  // and right side by side.
  double interstageL_ = 0.0;
  double interstageR_ = 0.0;
  int oversampleFactor_ = 4;
  BesselLowpass osCoeffL_, osCoeffR_;
  StereoAllPoleWindow up_, down_;
};
