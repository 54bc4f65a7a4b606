#pragma once

// The two fixed transfer curves of the compressor, as single-precision tables
// read by linear interpolation: the saturation curve (interstage colouring
// and gain shaping) and the detector curve ("Interstage" level bending).
// Both curves are odd-symmetric in their input: the negative half uses the
// same values as the positive half, with the sign restored afterwards.

#include <cstdint>

struct CurveTable {
  float origin;  // coordinate of entry 0
  float scale;   // entries per unit of the coordinate
  std::int32_t count;
  const float* values;  // count entries at origin + j / scale
};

extern const CurveTable kSaturationCurve;  // 200 entries over 0 .. 1.4, ends at 0.8333206
extern const CurveTable kDetectorCurve;    // 100 entries over 0 .. 0.97087, ends at 0.35217863

// Linear interpolation at coordinate w, in double with the table values
// widened. A coordinate at or beyond the last entry (infinity included)
// holds the last entry; a NaN coordinate, or one a whole entry or more
// before the first, gives entry 0.
double CurveLookup(const CurveTable& table, double w);

// The saturation curve at |v|, carrying the sign of v (bit-wise, so -0.0
// gives -0.0).
double Saturate(double v);

// The detector curve at |v| / (|v| + 3), carrying the sign of -v. An
// infinite v reads the curve's end, as the coordinate's limit 1 would.
double DetectorShape(double v);
