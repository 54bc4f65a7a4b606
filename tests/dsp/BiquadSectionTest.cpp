#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "dsp/BiquadSection.h"
#include "tests/support/BiquadFormulas.h"

namespace {

using Cx = std::complex<double>;
constexpr double kPi = 3.141592653589793;

BiquadSection Designed(int type, double freq, double q, double gainDb) {
  BiquadSection s;
  s.type = type;
  s.freq = freq;
  s.q = q;
  s.gainDb = gainDb;
  s.Design();
  return s;
}

// H(z) = (ff0 + ff1 z^-1 + ff2 z^-2) / (1 + fb1 z^-1 + fb2 z^-2) at frequency f (cycles per sample).
Cx Response(const BiquadSection& s, double f) {
  const Cx zi = std::polar(1.0, -2.0 * kPi * f);
  return (s.ff0 + s.ff1 * zi + s.ff2 * zi * zi) / (1.0 + s.fb1 * zi + s.fb2 * zi * zi);
}

}  // namespace

TEST(BiquadSection, ConstructedSectionPassesItsInputRoundedToFloat) {
  BiquadSection s;
  EXPECT_EQ(s.type, LowPass);
  EXPECT_EQ(s.freq, 0.5);
  EXPECT_EQ(s.q, 0.707);
  for (float x : {0.0f, 1.0f, -0.3f, 1e-30f, 3.4e38f}) EXPECT_EQ(s.Process(x), x);
  EXPECT_EQ(s.s1, 0.0);
  EXPECT_EQ(s.s2, 0.0);
}

TEST(BiquadSection, EveryTypeMatchesTheDesignTable) {
  const double freqs[] = {0.0004, 0.01, 0.1, 0.2083, 0.45};
  const double qs[] = {0.7, 1.0, 3.0};
  const double gains[] = {-16.0, -3.0, 0.0, 1.0, 6.0};
  for (int type = LowPass; type <= HighShelf; ++type)
    for (double f : freqs)
      for (double q : qs)
        for (double g : gains) {
          SCOPED_TRACE(::testing::Message() << "type " << type << " f " << f << " q " << q << " g " << g);
          const BiquadSection s = Designed(type, f, q, g);
          const testsupport::BiquadCoeffs e = testsupport::BiquadFormula(type, f, q, g);
          const double tol = 1e-12;
          EXPECT_NEAR(s.ff0, e.ff0, tol * (1 + std::fabs(e.ff0)));
          EXPECT_NEAR(s.ff1, e.ff1, tol * (1 + std::fabs(e.ff1)));
          EXPECT_NEAR(s.ff2, e.ff2, tol * (1 + std::fabs(e.ff2)));
          EXPECT_NEAR(s.fb1, e.fb1, tol * (1 + std::fabs(e.fb1)));
          EXPECT_NEAR(s.fb2, e.fb2, tol * (1 + std::fabs(e.fb2)));
        }
}

TEST(BiquadSection, ResponsesHaveTheirShapes) {
  // High-pass: nothing at DC, unity at Nyquist.
  const BiquadSection hp = Designed(HighPass, 100.0 / 48000.0, 1.0, 1.0);
  EXPECT_NEAR(std::abs(Response(hp, 0.0)), 0.0, 1e-12);
  EXPECT_NEAR(std::abs(Response(hp, 0.5)), 1.0, 1e-9);
  // Peak: V at its centre either way, unity far from it.
  for (double g : {6.0, -6.0}) {
    const BiquadSection pk = Designed(Peak, 0.05, 0.7, g);
    EXPECT_NEAR(20 * std::log10(std::abs(Response(pk, 0.05))), g, 1e-9);
    EXPECT_NEAR(std::abs(Response(pk, 0.0)), 1.0, 1e-12);
  }
  // High shelf: unity at DC, V at Nyquist; low shelf the other way round.
  const BiquadSection hs = Designed(HighShelf, 10000.0 / 48000.0, 1.0, 16.0);
  EXPECT_NEAR(std::abs(Response(hs, 0.0)), 1.0, 1e-12);
  EXPECT_NEAR(20 * std::log10(std::abs(Response(hs, 0.5))), 16.0, 1e-9);
  const BiquadSection ls = Designed(LowShelf, 0.01, 1.0, -9.0);
  EXPECT_NEAR(20 * std::log10(std::abs(Response(ls, 0.0))), -9.0, 1e-9);
  EXPECT_NEAR(std::abs(Response(ls, 0.5)), 1.0, 1e-12);
}

TEST(BiquadSection, BoostAndCutAreInverses) {
  for (int type : {Peak, LowShelf, HighShelf}) {
    for (double g : {0.5, 6.0, 16.0}) {
      const BiquadSection up = Designed(type, 0.03, 0.7, g);
      const BiquadSection down = Designed(type, 0.03, 0.7, -g);
      for (double f : {0.0, 0.001, 0.03, 0.1, 0.3, 0.5})
        EXPECT_NEAR(std::abs(Response(up, f) * Response(down, f)), 1.0, 1e-12) << type << " " << g << " " << f;
    }
  }
}

TEST(BiquadSection, ZeroDecibelsIsFlat) {
  for (int type : {Peak, LowShelf, HighShelf}) {
    const BiquadSection s = Designed(type, 0.1, 0.7, 0.0);
    EXPECT_NEAR(s.ff0, 1.0, 4e-16) << type;  // x * (1 / x) may round by one ulp
    EXPECT_EQ(s.ff1, s.fb1) << type;
    EXPECT_EQ(s.ff2, s.fb2) << type;
  }
  // A NaN gain takes the cut form and gives no boost-form numbers.
  const BiquadSection n = Designed(Peak, 0.1, 0.7, std::nan(""));
  EXPECT_TRUE(std::isnan(n.ff0));
}

TEST(BiquadSection, UnknownTypeKeepsCoefficients) {
  BiquadSection s = Designed(Peak, 0.1, 0.7, 3.0);
  const BiquadSection before = s;
  for (int type : {-1, 7, 100}) {
    s.type = type;
    s.freq = 0.2;
    s.Design();
    EXPECT_EQ(s.ff0, before.ff0);
    EXPECT_EQ(s.ff1, before.ff1);
    EXPECT_EQ(s.ff2, before.ff2);
    EXPECT_EQ(s.fb1, before.fb1);
    EXPECT_EQ(s.fb2, before.fb2);
  }
}

TEST(BiquadSection, ProcessIsTransposedDirectFormTwoAndRedesignKeepsState) {
  BiquadSection s = Designed(Peak, 0.02, 0.7, 4.0);
  double s1 = 0, s2 = 0;
  const float xs[] = {1.0f, 0.25f, -0.5f, 0.0f, 0.125f, 0.7f};
  for (int i = 0; i < 6; ++i) {
    if (i == 3) {  // redesign mid-stream: only the coefficients change
      s.gainDb = -2.0;
      s.freq = 0.1;
      s.Design();
      EXPECT_EQ(s.s1, s1);
      EXPECT_EQ(s.s2, s2);
    }
    const double x = xs[i];
    const double y = s.ff0 * x + s1;
    s1 = s.ff1 * x + s2 - s.fb1 * y;
    s2 = s.ff2 * x - s.fb2 * y;
    EXPECT_EQ(s.Process(xs[i]), static_cast<float>(y));
    EXPECT_EQ(s.s1, s1);  // the state keeps the unrounded output
    EXPECT_EQ(s.s2, s2);
  }
}

TEST(BiquadSection, NonFiniteStateSettlesToRest) {
  BiquadSection s = Designed(HighPass, 0.001, 1.0, 1.0);
  s.Process(0.5f);
  const double keep1 = s.s1, keep2 = s.s2;
  s.SettleNonFinite();
  EXPECT_EQ(s.s1, keep1);
  EXPECT_EQ(s.s2, keep2);
  s.Process(std::numeric_limits<float>::infinity());
  EXPECT_FALSE(std::isfinite(s.s1));
  s.SettleNonFinite();
  EXPECT_EQ(s.s1, 0.0);
  EXPECT_EQ(s.s2, 0.0);
}
