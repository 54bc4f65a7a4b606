#pragma once

// Shared helpers of the engine tests: a ready-to-run compressor, seeded
// signals, a stand-in editor that records meter values, and a bit hash.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "plugbase/EditorLink.h"
#include "mirel/MeterLink.h"
#include "mirel/Mirel.h"
#include "tests/support/SeededRandom.h"

namespace enginetest {

// A compressor as a host leaves it after set-up: every parameter delivered
// once (as a state restore does), histories reset.
class ReadyMirel : public Mirel {
 public:
  explicit ReadyMirel(double sampleRate = 48000.0) : Mirel(false) {
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

// An editor with a control list of the given size that records the values
// the audio side sends to its controls.
class FakeEditor : public IEditorLink, public IMeterLink {
 public:
  explicit FakeEditor(int nControls) : nControls_(nControls) {}
  void SetParameterFromPlug(int, double) override {}
  void PrepareDraw() override {}
  int NControls() const override { return nControls_; }
  void ApplyPlugValue(int controlIndex, double value) override {
    lastControl = controlIndex;
    values.push_back(value);
  }
  int lastControl = -1;
  std::vector<double> values;

 private:
  int nControls_;
};

}  // namespace enginetest
