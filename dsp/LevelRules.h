#pragma once

// The detector level's rules for one sample: the level shaping and the
// hard-knee ratio law. Every path calls these for its single samples (the
// pair path for all of them, the wide path for the tail of a run); the
// four-lane forms in DetectorStages.h do each lane's operations in the same
// order. Internal linkage, as in Lanes.h.

#include <cmath>

#include "dsp/Curves.h"
#include "dsp/DetMath.h"

namespace {

// Converts between the natural log of a level and the detector's decibel-like
// scale. Deliberately 8.65617025, not 20 / ln 10: stored projects depend on it.
constexpr double kLevelScale = 8.65617025;

// The level-shaping coefficient c at sample rate fs: exp(-2 pi 10 Hz / fs).
inline double LevelShapingCoefficient(double fs) { return detmath::Exp(-62.83185307 / fs); }

// Level shaping: peaks above 1 - c pass; below, sqrt(lvl (1 - c^2)), formed
// as sqrt(u + c u) with u = lvl (1 - c). The comparison is lvl > sqrt(u).
[[gnu::always_inline]] inline double ShapeLevel(double lvl, double c) {
  const double u = lvl * (1.0 - c);
  return lvl > std::sqrt(u) ? lvl : std::sqrt(u + c * u);
}

// The hard-knee ratio law: above the threshold, the target gain is
// exp(((s log lvl - t) invR + t) / s) / lvl with the decibel-like scale s
// and t = -inputDb; elsewhere (NaN included) 1.
[[gnu::always_inline]] inline double RatioTarget(double lvl, double threshold, double t, double invR) {
  double target = 1.0;
  if (lvl > threshold) {
    const double ld = kLevelScale * detmath::Log(lvl);
    const double od = (ld - t) * invR + t;
    target = detmath::Exp(od / kLevelScale) / lvl;
  }
  return target;
}

// The magnitude of the detector curve at v: the sign DetectorShape gives
// the curve does not reach the level.
inline double DetectorShapeMagnitude(double v) { return std::fabs(DetectorShape(v)); }

}  // namespace
