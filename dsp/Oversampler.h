#pragma once

// The 10th-order all-pole Bessel low-pass that band-limits the oversampled
// interstage signal: its design and its per-sample step.

#include <cmath>

// Coefficient set: the input gain and the feedback coefficients fb[1]..fb[10]
// (fb[0] is unused, so the indices read as in the filter equation).
struct BesselLowpass {
  double gain = 0.0;
  double fb[11] = {};
};

// y[0] is the latest output, y[1]..y[10] the ten outputs before it.
struct AllPoleHistory {
  double y[11] = {};
};

// A left and a right value side by side: element 0 left, element 1 right.
typedef double StereoSample __attribute__((vector_size(16)));

// The left and right histories of one filter kept side by side and oldest
// first, so that a run of steps extends them in place instead of shifting
// eleven values per step. Element [ch] of each entry is channel ch. Holds
// the same values as two AllPoleHistory records: y[m] is v[end - 1 - m][ch].
struct StereoAllPoleWindow {
  static constexpr int kHistory = 11;
  // Entries kept when the window moves to the front: more than one step
  // needs, so that a run may restart the down filter a few steps back.
  static constexpr int kKeep = 18;
  static constexpr int kCapacity = kKeep + 16 * 32;  // room for 32 samples at 16x
  StereoSample v[kCapacity] = {};
  int end = kKeep;

  // The history of one channel in AllPoleHistory's order.
  AllPoleHistory History(int channel) const {
    AllPoleHistory h;
    for (int m = 0; m < kHistory; ++m) h.y[m] = v[end - 1 - m][channel];
    return h;
  }
  // Sets every history value to 0.
  void Clear() {
    for (StereoSample& s : v) s = StereoSample{0.0, 0.0};
    end = kKeep;
  }
  // Makes room for n more entries, moving the history to the front when the
  // end is near (every 32 samples at the most).
  void Reserve(int n) {
    if (end + n <= kCapacity) return;
    for (int m = 0; m < kKeep; ++m) v[m] = v[end - kKeep + m];
    end = kKeep;
  }
};

// Designs the filter for cutoff fc in cycles per sample of the rate the filter
// runs at: the analogue prototype's poles s map to z = exp(s * 2 pi fc).
void DesignBesselLowpass(BesselLowpass& coeffs, double fc);

// Filter outputs smaller than this in magnitude are flushed to 0.
inline constexpr double kFlushBelow = 0x1p-54;

// One step of the filter; the result is also left in history.y[0]. The sum is
// formed one addition at a time in index order, which fixes its rounding. An
// output that is not finite, or smaller than 2^-54 in magnitude, is stored and
// returned as 0, so neither a NaN nor a denormal tail stays in the history.
inline double AllPoleStep(AllPoleHistory& h, double x, const BesselLowpass& c) {
  for (int m = 10; m > 0; --m) h.y[m] = h.y[m - 1];
  double y = c.fb[1] * h.y[1] + c.gain * x;
  y += c.fb[2] * h.y[2];
  y += c.fb[3] * h.y[3];
  y += c.fb[4] * h.y[4];
  y += c.fb[5] * h.y[5];
  y += c.fb[6] * h.y[6];
  y += c.fb[7] * h.y[7];
  y += c.fb[8] * h.y[8];
  y += c.fb[9] * h.y[9];
  y += c.fb[10] * h.y[10];
  const double a = std::fabs(y);
  // NaN fails both comparisons; 2^-54 is a biased exponent of 969.
  if (!(a >= kFlushBelow && a <= 0x1.fffffffffffffp+1023)) y = 0.0;
  h.y[0] = y;
  return y;
}
