#pragma once

// The two fixed transfer curves of the compressor, as single-precision tables
// read by linear interpolation: the saturation curve (interstage colouring
// and gain shaping) and the detector curve ("Interstage" level bending).
// Both curves are odd-symmetric in their input: the negative half uses the
// same values as the positive half, with the sign restored afterwards.

#include <cmath>
#include <cstdint>

struct CurveTable {
  float origin;  // coordinate of entry 0
  float scale;   // entries per unit of the coordinate
  std::int32_t count;
  const float* values;  // count entries at origin + j / scale
};

namespace curvedata {
inline constexpr float kSaturationValues[200] = {
    0.0f, 0.0051002656f, 0.010382984f, 0.015465433f, 0.020715594f, 0.025780076f, 0.030998701f, 0.036045104f, 0.04123315f, 0.046261378f,
    0.05141974f, 0.056429736f, 0.061559256f, 0.06655097f, 0.071652435f, 0.07662585f, 0.081700005f, 0.086655095f, 0.09170263f, 0.09663941f,
    0.10166098f, 0.10657946f, 0.11157567f, 0.11647588f, 0.1214473f, 0.12632927f, 0.13127644f, 0.13614021f, 0.14106365f, 0.14590925f,
    0.1508094f, 0.1556369f, 0.16051424f, 0.16532369f, 0.1701786f, 0.17497006f, 0.17980295f, 0.18457647f, 0.18938772f, 0.19414334f,
    0.19893329f, 0.20367108f, 0.20844004f, 0.21316008f, 0.21790834f, 0.22261068f, 0.22733854f, 0.23202324f, 0.23673096f, 0.24139808f,
    0.24608591f, 0.2507355f, 0.25540367f, 0.26003578f, 0.2646845f, 0.2692992f, 0.27392867f, 0.278526f, 0.28313643f, 0.28771642f,
    0.29230797f, 0.2968707f, 0.30144352f, 0.30598903f, 0.31054327f, 0.31507158f, 0.31960738f, 0.32411852f, 0.32863605f, 0.3331301f,
    0.3376294f, 0.34210634f, 0.34658757f, 0.35104746f, 0.3555107f, 0.35995355f, 0.36439893f, 0.36882472f, 0.37325227f, 0.37766108f,
    0.3820709f, 0.38646272f, 0.39085487f, 0.39522967f, 0.3996042f, 0.40396205f, 0.408319f, 0.41265985f, 0.41699928f, 0.42132315f,
    0.42564508f, 0.429952f, 0.43425646f, 0.43854633f, 0.44283336f, 0.4471062f, 0.4513758f, 0.45563164f, 0.4598838f, 0.46412256f,
    0.46835732f, 0.472579f, 0.47679633f, 0.4810009f, 0.4852008f, 0.4893882f, 0.49357066f, 0.49774086f, 0.50190586f, 0.5060589f,
    0.51020634f, 0.514342f, 0.51847196f, 0.52259034f, 0.52670276f, 0.53080374f, 0.5348985f, 0.53898203f, 0.5430592f, 0.54712516f,
    0.5511846f, 0.55523306f, 0.5592747f, 0.56330544f, 0.5673293f, 0.57134235f, 0.57534826f, 0.5793435f, 0.58333147f, 0.5873088f,
    0.5912787f, 0.59523803f, 0.5991898f, 0.6031311f, 0.6070646f, 0.6109877f, 0.614903f, 0.6188078f, 0.62270457f, 0.626591f,
    0.6304693f, 0.63433725f, 0.6381969f, 0.6420462f, 0.64588714f, 0.64971775f, 0.6535398f, 0.65735155f, 0.66115457f, 0.66494733f,
    0.6687313f, 0.6725049f, 0.6762696f, 0.68002397f, 0.6837693f, 0.68750423f, 0.69123006f, 0.69494545f, 0.69865155f, 0.7023472f,
    0.70603347f, 0.7097093f, 0.71337557f, 0.7170313f, 0.72067744f, 0.72431296f, 0.7279388f, 0.7315539f, 0.73515916f, 0.73875374f,
    0.74233836f, 0.74591213f, 0.74947584f, 0.75302875f, 0.75657135f, 0.76010305f, 0.7636244f, 0.7671347f, 0.7706346f, 0.7741234f,
    0.77760154f, 0.7810685f, 0.78452474f, 0.7879044f, 0.7911321f, 0.7942752f, 0.7973525f, 0.8003727f, 0.80334204f, 0.8062641f,
    0.8091421f, 0.8119781f, 0.8147741f, 0.81753135f, 0.8202513f, 0.8229347f, 0.82558274f, 0.82819587f, 0.8307751f, 0.8333206f,
};
inline constexpr float kDetectorValues[100] = {
    0.0f, 0.007032952f, 0.014065782f, 0.021098359f, 0.02813054f, 0.035162162f, 0.042193025f, 0.049222894f, 0.05625148f, 0.063278414f,
    0.070303254f, 0.077325426f, 0.08434422f, 0.09135875f, 0.09836789f, 0.10537024f, 0.11236404f, 0.11934709f, 0.12631664f, 0.13326928f,
    0.14020078f, 0.14710595f, 0.15397842f, 0.16081046f, 0.16759281f, 0.17431445f, 0.18096258f, 0.18752247f, 0.19397762f, 0.20031011f,
    0.20650098f, 0.21253097f, 0.2183815f, 0.22403549f, 0.22947845f, 0.23469916f, 0.2396903f, 0.2444485f, 0.24897431f, 0.25327173f,
    0.25734764f, 0.26121113f, 0.26487282f, 0.2683442f, 0.27163723f, 0.27476388f, 0.27773592f, 0.28056446f, 0.28326023f, 0.28583306f,
    0.2882923f, 0.29064637f, 0.29290318f, 0.2950699f, 0.2971531f, 0.29915878f, 0.30109248f, 0.30295914f, 0.3047634f, 0.30650946f,
    0.30820107f, 0.3098418f, 0.31143484f, 0.31298316f, 0.3144894f, 0.31595612f, 0.31738558f, 0.31877992f, 0.32014108f, 0.32147083f,
    0.3227709f, 0.32404283f, 0.32528803f, 0.32650787f, 0.3277036f, 0.32887638f, 0.33002725f, 0.3311573f, 0.3322674f, 0.33335853f,
    0.33443144f, 0.33548695f, 0.3365258f, 0.33754867f, 0.3385562f, 0.33954903f, 0.34052774f, 0.34149286f, 0.34244493f, 0.34338441f,
    0.34431177f, 0.34522745f, 0.3461319f, 0.34702548f, 0.34790856f, 0.34878153f, 0.3496447f, 0.3504984f, 0.35134295f, 0.35217863f,
};
}  // namespace curvedata

// 200 entries over 0 .. 1.4, ending at 0.8333206.
inline constexpr CurveTable kSaturationCurve = {0.0f, 142.143f, 200, curvedata::kSaturationValues};
// 100 entries over 0 .. 0.97087, ending at 0.35217863.
inline constexpr CurveTable kDetectorCurve = {0.0f, 101.97f, 100, curvedata::kDetectorValues};

// Linear interpolation at coordinate w, in double with the table values
// widened. A coordinate at or beyond the last entry (infinity included)
// holds the last entry; a NaN coordinate, or one a whole entry or more
// before the first, gives entry 0. Inline: the pair path's output stage
// calls it (through Saturate) on every sample.
inline double CurveLookup(const CurveTable& table, double w) {
  const double p = (w - static_cast<double>(table.origin)) * static_cast<double>(table.scale);
  const int last = table.count - 1;
  // Only coordinates inside the table reach the integer conversion, so it is
  // always defined; NaN fails both comparisons and reads entry 0.
  if (p >= static_cast<double>(last)) return table.values[last];
  if (!(p > -1.0)) return table.values[0];
  const int i = static_cast<int>(p);  // toward zero
  const double f = p - i;
  return static_cast<double>(table.values[i]) * (1.0 - f) + static_cast<double>(table.values[i + 1]) * f;
}

// The saturation curve at |v|, carrying the sign of v (bit-wise, so -0.0
// gives -0.0).
inline double Saturate(double v) {
  return std::copysign(CurveLookup(kSaturationCurve, std::fabs(v)), v);
}

// The detector curve at |v| / (|v| + 3), carrying the sign of -v. An
// infinite v reads the curve's end, as the coordinate's limit 1 would.
inline double DetectorShape(double v) {
  const double a = std::fabs(v);
  const double w = std::isinf(a) ? 1.0 : a / (a + 3.0);
  return std::copysign(CurveLookup(kDetectorCurve, w), -v);
}
