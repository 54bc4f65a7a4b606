#pragma once

// What mirel-render reports about the levels it saw: peak and RMS, the
// largest gain reduction, and the spread between loud and quiet moments.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace mirel::render {

// Peak and RMS over every sample of every channel.
class LevelMeter {
 public:
  void Add(const double* interleaved, std::size_t count);
  double Peak() const { return peak_; }
  double Rms() const;

 private:
  double peak_ = 0;
  double sum_ = 0;
  std::size_t count_ = 0;
};

// The largest drop of output level against input level over 10 ms windows
// whose input is above -60 dBFS, in dB (0 when the output never drops). The
// host sees only levels: the plug-in's make-up and output gain are in it, so
// a compressor with its output turned up shows less here than on its meter.
class GainReductionMeter {
 public:
  explicit GainReductionMeter(int rate);
  // One stereo frame of input and output.
  void Add(const double* in, const double* out);
  // Includes a last, partial window.
  double Largest();

 private:
  void Flush();
  int window_;
  int n_ = 0;
  double si_ = 0;
  double so_ = 0;
  double largest_ = 0;
};

// How far apart the loud and the quiet moments are, in and out: the spread
// between the 95th and the 10th percentile of 50 ms window RMS levels (dB),
// over the windows whose input is above -60 dBFS. A compressor narrows it
// whatever its make-up or output gain, which the gain reduction above counts.
class LevelRange {
 public:
  explicit LevelRange(int rate);
  // One stereo frame of input and output.
  void Add(const double* in, const double* out);
  // The spread in dB, or nothing when no window counted (or one is silent).
  std::optional<double> Input() const { return Spread(in_); }
  std::optional<double> Output() const { return Spread(out_); }

 private:
  static std::optional<double> Spread(std::vector<double> levels);
  int window_;
  int n_ = 0;
  double si_ = 0;
  double so_ = 0;
  std::vector<double> in_;
  std::vector<double> out_;
};

// A linear level in dBFS with three decimals, or "null" for silence.
std::string Db(double linear);

}  // namespace mirel::render
