#pragma once

// The stereo compressor's signal path on plain buffers: detector sections,
// level shaping, hard-knee ratio law, ballistics, the oversampled interstage
// stage and the output mix. It knows no plug-in framework: the settings come
// in as a record, the buffers as plain arrays.

#include <memory>

#include "dsp/BiquadSection.h"
#include "dsp/Oversampler.h"

// The processing values derived from the parameters. The defaults are not
// usable for processing until every value has been set from its parameter.
struct CompressorSettings {
  double inputDb = -10.0;  // threshold is -inputDb scaled decibels; 0 switches compression off
  double outputGain = 0.0;  // linear
  double attackSec = 0.0;
  double releaseSec = 0.0;
  double ratio = 0.0;
  double hpfHz = 0.0;
  double mixPercent = 0.0;
  double hfDb = 0.0;
  double midFreqHz = 0.0;
  double midGainDb = 0.0;
  int oversampleFactor = 4;  // 4 or 16
  bool bypass = false;
  bool interstage = false;
  bool detectFromMain = true;  // false: the detector listens to inputs 2/3
};

class Compressor {
 public:
  // The detector sections never see a normalised frequency above this, so the
  // fixed 10 kHz shelf and the peak stay below the tangent's pole at sample
  // rates of 20.4 kHz and below. At 22.05 kHz and above no setting reaches it.
  static constexpr double kMaxSectionFreq = 0.49;

  // Picks the oversampler's kernel once, from the processor: the wide one
  // where it can run, else the pair kernel. Both give the same bits.
  Compressor();

  // Makes compressors constructed from now on use the pair kernel even where
  // the wide one could run (for comparing the two); false restores the choice
  // by processor. Process-wide; the plug-in itself never sets it. Starts as
  // true when the environment has MIREL_KERNEL=pair (for benchmarks of the
  // built module).
  static void PreferPairKernel(bool prefer);
  bool UsesWideKernel() const { return wideScratch_ != nullptr; }

  // Clears the oversampler's filter histories.
  void Reset();

  // One block: inputs 0/1 main left/right, 2/3 sidechain left/right (either
  // may be null: silence); outputs 0/1. Outputs may share the inputs' memory.
  // With metering on, the meter ballistics run (MeterValue holds the latest
  // reading). Allocates nothing, makes no system call.
  void ProcessBlock(const CompressorSettings& settings, double sampleRate, double** inputs, double** outputs,
                    int nFrames, bool metering);

  // Read-only views of the processing state, for inspection and tests.
  double GainState() const { return gainState_; }
  double MeterValue() const { return meterValue_; }
  AllPoleHistory UpHistory(int channel) const { return up_.History(channel); }
  AllPoleHistory DownHistory(int channel) const { return down_.History(channel); }
  const BesselLowpass& OversampleCoeffs() const { return osCoeff_; }
  const BiquadSection& HighPassSection(int channel) const { return channel == 0 ? hpfL_ : hpfR_; }
  const BiquadSection& PeakSection(int channel) const { return channel == 0 ? peakL_ : peakR_; }
  const BiquadSection& ShelfSection(int channel) const { return channel == 0 ? shelfL_ : shelfR_; }

 private:
  struct Block;  // one block's settings in the form its samples use

  // The named steps of ProcessBlock.
  void PrepareOversampler(int factor);
  void PrepareRateValues(const CompressorSettings& s, double fs);
  void PrepareSections(const CompressorSettings& s, double fs);
  void DesignDetectorSections(const CompressorSettings& s, double fs);
  void ProcessRun(Block& b, int base, int count);
  void TargetGains(Block& b, int base, int count, double* targets);
  const double* Interstage(Block& b, int base, int count, double* gains, double* pairOutputs, int& stride);

  double gainState_ = 1.0;  // linear gain shared by both channels
  double meterValue_ = 1.0;  // VU ballistics state; runs only while metering

  // Detector sections, per channel: high-pass, then peak, then high shelf.
  BiquadSection hpfL_, hpfR_;
  BiquadSection peakL_, peakR_;
  BiquadSection shelfL_, shelfR_;

  // Oversampler: filter coefficients (one design serves both channels) and
  // the histories of the up- and down-sampling filters, left and right side
  // by side.
  BesselLowpass osCoeff_;
  StereoAllPoleWindow up_, down_;
  // The wide kernel's working entries; null when the pair kernel runs.
  std::unique_ptr<double[]> wideScratch_;

  // The per-block preparation is kept from block to block and formed again
  // only when a value it is formed from changes (compared bit for bit); the
  // same inputs give the same bits, so this saves time and changes nothing.
  struct Prepared {
    int factor = 0;  // oversampling factor the coefficients are designed for; 0: none yet
    double rateKey[4] = {};  // fs, inputDb, attackSec, releaseSec
    double sectionKey[5] = {};  // fs, hpfHz, hfDb, midFreqHz, midGainDb
    bool rateValid = false;
    bool sectionsValid = false;
    double c = 0.0, threshold = 0.0, a = 0.0, r = 0.0, meterK = 0.0;
  };
  Prepared prepared_;
  // Fixed gains of the signal path.
  double detectorCurveGain_ = 0.0, makeUp_ = 0.0, interstageDrive_ = 0.0, interstageMix_ = 0.0;
};
