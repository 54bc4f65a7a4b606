#pragma once

// Shared helpers of the engine tests: a ready-to-run compressor (with or
// without the layout's editor), seeded signals, the meter readings the
// editor's feed receives, and a bit hash.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

#include "gui/IPanel.h"
#include "mirel/Mirel.h"
#include "tests/support/SeededRandom.h"

namespace enginetest {

enum class Editor { kNone, kLayout };

// A compressor as a host leaves it after set-up: every parameter delivered
// once (as a state restore does), histories reset; with Editor::kLayout the
// layout's editor is attached, so the meter runs and feeds its control.
class ReadyMirel : public Mirel {
 public:
  explicit ReadyMirel(double sampleRate = 48000.0, Editor editor = Editor::kNone)
      : Mirel(editor == Editor::kLayout) {
    sampleRate_ = sampleRate;
    for (int i = 0; i < kNumParams; ++i) ParamChanged(i);
    Reset();
  }
  void Set(int index, double plain) {
    GetParam(index)->SetClamped(plain);
    ParamChanged(index);
  }
  void Set(std::initializer_list<std::pair<int, double>> values) {
    for (const auto& [index, plain] : values) Set(index, plain);
  }
  void SetSampleRate(double fs) { sampleRate_ = fs; }
};

// Stereo main plus stereo sidechain input, and a stereo output.
struct Buffers {
  explicit Buffers(int n) : in(4, std::vector<double>(static_cast<std::size_t>(n), 0.0)),
                            out(2, std::vector<double>(static_cast<std::size_t>(n), 0.0)) {}
  std::vector<std::vector<double>> in;
  std::vector<std::vector<double>> out;
  int Frames() const { return static_cast<int>(in[0].size()); }
};

// Runs frames [start, start + n) of the buffers through the compressor as one block.
inline void Run(Mirel& m, Buffers& b, int start, int n) {
  double* in[4] = {b.in[0].data() + start, b.in[1].data() + start, b.in[2].data() + start,
                   b.in[3].data() + start};
  double* out[2] = {b.out[0].data() + start, b.out[1].data() + start};
  m.ProcessBlock(in, out, n);
}
inline void RunAll(Mirel& m, Buffers& b) { Run(m, b, 0, b.Frames()); }

using testsupport::Fnv1a;
using testsupport::Rng;

// Runs frames [start, start + n) one sample per block and returns what the
// editor's meter feed holds after each: every reading the audio side hands
// to the meter control (the result does not depend on the block size). NaN
// where nothing was posted.
inline std::vector<double> RunReadingMeter(Mirel& m, Buffers& b, int start, int n) {
  std::vector<double> readings;
  readings.reserve(static_cast<std::size_t>(n));
  const PlugValueFeed* feed = m.MeterFeed();
  for (int i = 0; i < n; ++i) {
    Run(m, b, start + i, 1);
    readings.push_back(feed ? feed->Latest() : std::numeric_limits<double>::quiet_NaN());
  }
  return readings;
}

}  // namespace enginetest
