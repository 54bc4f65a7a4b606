#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

#include "dsp/Oversampler.h"
#include "tests/support/SeededRandom.h"

namespace {

using Cx = std::complex<double>;

// |H| at f cycles per sample: gain / |1 - sum fb[m] z^-m|.
double Magnitude(const BesselLowpass& c, double f) {
  Cx den = 1.0;
  for (int m = 1; m <= 10; ++m) den -= c.fb[m] * std::polar(1.0, -2.0 * 3.141592653589793 * f * m);
  return c.gain / std::abs(den);
}

double Db(double x) { return 20.0 * std::log10(x); }

}  // namespace

TEST(Oversampler, DesignMatchesTheBesselPolesExpandedIndependently) {
  const double re[5] = {-1.927619691324482, -1.8421962445659017, -1.6618102413500957, -1.3606922783857325,
                        -0.8657569017089488};
  const double im[5] = {0.2416234709451774, 0.7272575977534836, 1.221100218591516, 1.73350574265843,
                        2.2926048309837426};
  for (int n : {4, 16}) {
    BesselLowpass c;
    DesignBesselLowpass(c, 0.2 / n);
    const double w = 6.283185307179586 * 0.2 / n;
    Cx a[11] = {1.0};
    int order = 0;
    for (int k = 0; k < 5; ++k)
      for (double s : {1.0, -1.0}) {
        const Cx z = std::exp(Cx(re[k] * w, s * im[k] * w));
        ++order;
        for (int m = order; m > 0; --m) a[m] -= z * a[m - 1];
      }
    Cx sum = 0.0;
    for (const Cx& x : a) sum += x;
    for (int m = 1; m <= 10; ++m) EXPECT_NEAR(c.fb[m], -a[m].real(), 1e-12 * std::fabs(a[m].real())) << n << " " << m;
    // S = A(1) is a small difference of coefficients of size up to about 250
    // (about 9e-9 at 16x), so ulp-level differences in the poles move it by
    // a few parts in a million.
    EXPECT_NEAR(c.gain, std::abs(sum), 1e-5 * std::abs(sum)) << n;
  }
}

TEST(Oversampler, UnityAtDcAndTheStatedStopBand) {
  for (int n : {4, 16}) {
    SCOPED_TRACE(n);
    BesselLowpass c;
    DesignBesselLowpass(c, 0.2 / n);
    // The filter itself, run on a constant, settles to the constant.
    AllPoleHistory h;
    double y = 0;
    for (int i = 0; i < 50 * n * 10; ++i) y = AllPoleStep(h, 1.0, c);
    // Up to rounding, which the ill-conditioned sum A(1) amplifies (above).
    EXPECT_NEAR(y, 1.0, 1e-5);
    EXPECT_NEAR(Magnitude(c, 0.0), 1.0, 1e-5);
    // About -3 dB near 0.2 of the base rate, and the stated attenuation at
    // the base rate's Nyquist frequency.
    EXPECT_NEAR(Db(Magnitude(c, 0.2 / n)), -3.0, 0.7);
    EXPECT_NEAR(Db(Magnitude(c, 0.5 / n)), n == 4 ? -20.0 : -22.0, 1.0);
  }
}

TEST(Oversampler, PolesInsideTheUnitCircle) {
  for (int n : {4, 16}) {
    BesselLowpass c;
    DesignBesselLowpass(c, 0.2 / n);
    // A stable all-pole filter's impulse response dies out. (Rounding and
    // the flush rule leave a residue that wanders around 1e-15 and, at 16x,
    // briefly up to about 1e-10, far below any signal.)
    AllPoleHistory h;
    const double impulse = 1.0 / c.gain;  // scaled so that the response peaks near 1
    double early = std::fabs(AllPoleStep(h, impulse, c));
    for (int i = 0; i < 200 * n; ++i) early = std::max(early, std::fabs(AllPoleStep(h, 0.0, c)));
    double late = 0;
    for (int i = 0; i < 40000; ++i) late = std::max(late, std::fabs(AllPoleStep(h, 0.0, c)));
    EXPECT_GT(early, 0.01) << n;
    EXPECT_LT(late, 1e-8 * early) << n;
  }
}

TEST(Oversampler, StepSumsInTheStatedOrder) {
  testsupport::Rng rng(42);
  BesselLowpass c;
  c.gain = rng.Uniform();
  for (int m = 1; m <= 10; ++m) c.fb[m] = 3.0 * rng.Uniform();
  AllPoleHistory h;
  for (double& y : h.y) y = rng.Uniform();
  const AllPoleHistory before = h;
  const double x = rng.Uniform();
  double y = c.fb[1] * before.y[0] + c.gain * x;
  for (int m = 2; m <= 10; ++m) y = y + c.fb[m] * before.y[m - 1];
  EXPECT_EQ(AllPoleStep(h, x, c), y);
  EXPECT_EQ(h.y[0], y);
  for (int m = 1; m <= 10; ++m) EXPECT_EQ(h.y[m], before.y[m - 1]) << m;
}

TEST(Oversampler, StepFlushesTinyAndNonFiniteOutputs) {
  BesselLowpass pass;  // y = x: gain 1, no feedback
  pass.gain = 1.0;
  const double tiny = 0x1p-54;
  const double max = std::numeric_limits<double>::max();
  struct {
    double in, out;
  } cases[] = {
      {tiny, tiny},
      {-tiny, -tiny},
      {std::nextafter(tiny, 0.0), 0.0},
      {-std::nextafter(tiny, 0.0), 0.0},
      {std::numeric_limits<double>::denorm_min(), 0.0},
      {max, max},
      {std::numeric_limits<double>::infinity(), 0.0},
      {-std::numeric_limits<double>::infinity(), 0.0},
      {std::numeric_limits<double>::quiet_NaN(), 0.0},
      {0.5, 0.5},
  };
  for (const auto& c : cases) {
    AllPoleHistory h;
    EXPECT_EQ(AllPoleStep(h, c.in, pass), c.out) << c.in;
    EXPECT_EQ(h.y[0], c.out) << c.in;
    EXPECT_FALSE(std::signbit(h.y[0]) && c.out == 0.0) << c.in;
  }
  // A NaN does not stay in the history of a real filter either.
  BesselLowpass c;
  DesignBesselLowpass(c, 0.05);
  AllPoleHistory h;
  AllPoleStep(h, 0.3, c);
  AllPoleStep(h, std::nan(""), c);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(std::isfinite(AllPoleStep(h, 0.3, c)));
}
