#pragma once

// One second-order recursive filter section (biquad) that carries its design
// parameters, its five coefficients and its two state values. Designed by the
// bilinear transform with frequency pre-warping; runs in transposed direct
// form II with double-precision state behind a single-precision interface.
// A plain value object: no heap memory, no virtual operations, copyable.

#include <cmath>
#include <cstdint>

enum BiquadType : std::int32_t {
  LowPass = 0,
  HighPass = 1,
  BandPass = 2,
  Notch = 3,
  Peak = 4,
  LowShelf = 5,
  HighShelf = 6,
};

// The section's update in transposed direct form II on a value x, or on each
// lane of a vector of them: y = ff0 x + s1, s1 = ff1 x + s2 - fb1 y,
// s2 = ff2 x - fb2 y; returns y.
template <class V>
[[gnu::always_inline]] inline V BiquadStep(V x, V ff0, V ff1, V ff2, V fb1, V fb2, V& s1, V& s2) {
  const V y = ff0 * x + s1;
  s1 = ff1 * x + s2 - fb1 * y;
  s2 = ff2 * x - fb2 * y;
  return y;
}

struct BiquadSection {
  std::int32_t type = LowPass;
  double ff0 = 1.0;  // feed-forward, current input
  double ff1 = 0.0;  // feed-forward, first state path
  double ff2 = 0.0;  // feed-forward, second state path
  double fb1 = 0.0;  // feedback, first state path (subtracted)
  double fb2 = 0.0;  // feedback, second state path (subtracted)
  double freq = 0.5;  // cycles per sample
  double q = 0.707;
  double gainDb = 0.0;  // peak and shelf types only
  double s1 = 0.0;
  double s2 = 0.0;

  // Recomputes the five coefficients from type, freq, q and gainDb; the state
  // is kept, so a running filter continues smoothly. An unknown type leaves
  // the coefficients as they were. Meaningful for 0 < freq < 0.5 only.
  void Design();

  // One sample through the section. The state update uses the unrounded
  // double output; only the returned value is rounded to single precision.
  float Process(float in) { return static_cast<float>(BiquadStep<double>(in, ff0, ff1, ff2, fb1, fb2, s1, s2)); }

  // Returns a non-finite state value to rest (0). Finite states are untouched,
  // so for finite signals this changes nothing.
  void SettleNonFinite() {
    if (!std::isfinite(s1)) s1 = 0.0;
    if (!std::isfinite(s2)) s2 = 0.0;
  }
};
