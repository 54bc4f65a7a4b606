#include "dsp/Oversampler.h"

#include "dsp/Curves.h"
#include "dsp/DetMath.h"
#include "dsp/PairCurves.h"

namespace {

// Poles of the 10th-order Bessel prototype normalised to -3 dB at 1 rad/s, as
// conjugate pairs re +- j im.
constexpr double kPoleRe[5] = {-1.927619691324482, -1.8421962445659017, -1.6618102413500957,
                               -1.3606922783857325, -0.8657569017089488};
constexpr double kPoleIm[5] = {0.2416234709451774, 0.7272575977534836, 1.221100218591516,
                               1.73350574265843, 2.2926048309837426};

// Complex numbers with the textbook product, spelled out so that no library
// routine decides the rounding.
struct Cx {
  double re;
  double im;
};
Cx Mul(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Cx Sub(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
Cx Add(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }

}  // namespace

void DesignBesselLowpass(BesselLowpass& coeffs, double fc) {
  constexpr double kTwoPi = 6.283185307179586;
  const double w = kTwoPi * fc;

  // A(z) = prod (1 - z_k z^-1) = c[0] + c[1] z^-1 + ... + c[10] z^-10, one
  // factor per pole: each pair with +im, then -im, pairs in table order.
  Cx c[11] = {};
  c[0] = {1.0, 0.0};
  int order = 0;
  for (int pair = 0; pair < 5; ++pair) {
    for (int sign = 0; sign < 2; ++sign) {
      const double im = sign == 0 ? kPoleIm[pair] : -kPoleIm[pair];
      const double radius = detmath::Exp(kPoleRe[pair] * w);
      const Cx z = {radius * detmath::Cos(im * w), radius * detmath::Sin(im * w)};
      ++order;
      for (int m = order; m > 0; --m) c[m] = Sub(c[m], Mul(z, c[m - 1]));
    }
  }

  for (int m = 1; m <= 10; ++m) coeffs.fb[m] = -c[m].re / c[0].re;
  coeffs.fb[0] = 0.0;

  // Gain 1 / |1 / S| with S = A(1), so that the response is 1 at 0 Hz. The
  // reciprocal is conj(S) / |S|^2 and the magnitude a square root, both in
  // plain arithmetic.
  Cx s = c[0];
  for (int m = 1; m <= 10; ++m) s = Add(s, c[m]);
  const double norm2 = s.re * s.re + s.im * s.im;
  const Cx inv = {s.re / norm2, -s.im / norm2};
  coeffs.gain = 1.0 / std::sqrt(inv.re * inv.re + inv.im * inv.im);
}

double SaturateOutOfLine(double v) { return Saturate(v); }
