#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plugbase/IParamDef.h"

namespace {

IParamDef Continuous(double def, double min, double max, double step, double shape = 1.0) {
  IParamDef p;
  p.DefineContinuous("P", def, min, max, step, "%", "group", shape);
  return p;
}

IParamDef Stepped(double def, double min, double max, double step = 1.0) {
  IParamDef p;
  p.DefineStepped("S", def, min, max, step, "", "", 1.0);
  return p;
}

}  // namespace

TEST(ParamDef, DefinitionStoresFieldsAndKind) {
  IParamDef p;
  EXPECT_EQ(p.Kind(), ParamKind::None);
  p.DefineContinuous("Release", 0.4, 0.02, 0.85, 0.01, "%", "ignored group", 2.0);
  EXPECT_EQ(p.Kind(), ParamKind::Continuous);
  EXPECT_STREQ(p.Name(), "Release");
  EXPECT_STREQ(p.Label(), "%");
  EXPECT_STREQ(p.Group(), "");
  EXPECT_EQ(p.Value(), 0.4);
  EXPECT_EQ(p.DefaultValue(), 0.4);
  EXPECT_EQ(p.MinValue(), 0.02);
  EXPECT_EQ(p.MaxValue(), 0.85);
  EXPECT_EQ(p.Shape(), 2.0);
  EXPECT_TRUE(p.CanAutomate());

  // A kind set before the definition is kept.
  IParamDef q;
  q.SetKind(ParamKind::Enumeration);
  q.DefineStepped("E", 0, 0, 3, 1, "", "", 1);
  EXPECT_EQ(q.Kind(), ParamKind::Enumeration);
  EXPECT_EQ(Stepped(0, 0, 3).Kind(), ParamKind::Stepped);
}

TEST(ParamDef, MaxIsRaisedToMinPlusStepAndDefaultIsNotClamped) {
  IParamDef p = Continuous(7.0, 2.0, 2.0, 0.5);
  EXPECT_EQ(p.MaxValue(), 2.5);
  EXPECT_EQ(p.Value(), 7.0);
  EXPECT_EQ(p.DefaultValue(), 7.0);
}

TEST(ParamDef, ZeroShapeKeepsTheStoredExponent) {
  IParamDef p;
  p.SetExponent(3.0);
  p.DefineContinuous("P", 0, 0, 1, 0.1, "", "", 0.0);
  EXPECT_EQ(p.Shape(), 3.0);
}

TEST(ParamDef, DisplayPrecisionFollowsTheStep) {
  EXPECT_EQ(Continuous(0, 0, 1, 0.01).DisplayPrecision(), 2);
  EXPECT_EQ(Continuous(0, 0, 1, 0.001).DisplayPrecision(), 3);
  EXPECT_EQ(Continuous(0, 0, 10, 1).DisplayPrecision(), 0);
  EXPECT_EQ(Continuous(0, 0, 10, 0.5).DisplayPrecision(), 1);
  EXPECT_EQ(Continuous(0, 0, 1, 0.0000001).DisplayPrecision(), 6);  // capped, not 7
}

TEST(ParamDef, NormalisedToPlainWithShape) {
  IParamDef attack = Continuous(0.0004, 0.0001, 0.0011, 0.001, 2.0);
  attack.SetFromNormalised(0.5);
  // Continuous: not rounded to the step (0.00035 with a step of 0.001).
  EXPECT_EQ(attack.Value(), 0.0001 + (0.0011 - 0.0001) * (0.5 * 0.5));
  EXPECT_EQ(attack.ToNormalised(0.0004), std::sqrt((0.0004 - 0.0001) / (0.0011 - 0.0001)));  // about 0.5477

  IParamDef lin = Continuous(0, -30, 30, 0.01);
  lin.SetFromNormalised(0.25);
  EXPECT_EQ(lin.Value(), -15.0);
}

TEST(ParamDef, SteppedRoundsHalfUpFromZero) {
  IParamDef ratio = Stepped(0, 0, 3);
  ratio.SetFromNormalised(1.0);
  EXPECT_EQ(ratio.Value(), 3.0);
  ratio.SetFromNormalised(0.5);
  EXPECT_EQ(ratio.Value(), 2.0);  // 1.5 rounds up
  ratio.SetFromNormalised(0.49);
  EXPECT_EQ(ratio.Value(), 1.0);

  // Steps count from zero, not from the minimum: 0.3 + 0.25 * 1 = 0.55 -> 0.5 with step 0.5.
  IParamDef offset = Stepped(0.3, 0.3, 1.3, 0.5);
  offset.SetFromNormalised(0.25);
  EXPECT_EQ(offset.Value(), 0.5);
  // Rounding up past the maximum is bounded by it.
  offset.SetFromNormalised(1.0);
  EXPECT_EQ(offset.Value(), 1.3);
}

TEST(ParamDef, NormalisedInputOutsideZeroToOneIsBounded) {
  IParamDef attack = Continuous(0.0004, 0.0001, 0.0011, 0.001, 2.0);
  attack.SetFromNormalised(-0.5);  // would square to 0.25 without the bound
  EXPECT_EQ(attack.Value(), 0.0001);
  attack.SetFromNormalised(1.7);
  EXPECT_EQ(attack.Value(), 0.0011);
  attack.SetFromNormalised(std::nan(""));
  EXPECT_EQ(attack.Value(), 0.0001);
}

TEST(ParamDef, ToNormalisedClampsAndInvertsTheShape) {
  IParamDef p = Continuous(0, 10, 20, 0.1, 2.0);
  EXPECT_EQ(p.ToNormalised(-100), 0.0);
  EXPECT_EQ(p.ToNormalised(100), 1.0);
  for (double n : {0.0, 0.1, 0.37, 0.5, 0.99, 1.0}) {
    p.SetFromNormalised(n);
    EXPECT_NEAR(p.ToNormalised(p.Value()), n, 1e-12) << n;
  }
}

TEST(ParamDef, SetClampedBoundsBothEnds) {
  IParamDef p = Continuous(0, -30, 30, 0.01);
  p.SetClamped(1000.0);
  EXPECT_EQ(p.Value(), 30.0);
  p.SetClamped(-1000.0);
  EXPECT_EQ(p.Value(), -30.0);
  p.SetClamped(12.5);
  EXPECT_EQ(p.Value(), 12.5);
  p.SetClamped(std::nan(""));  // a corrupt state must not reach the signal path
  EXPECT_EQ(p.Value(), -30.0);
}

TEST(ParamDef, FormatDisplay) {
  EXPECT_EQ(Continuous(0, -100, 100, 0.01).FormatDisplay(12.3456), "12.35");
  EXPECT_EQ(Continuous(0, -100, 100, 0.01).FormatDisplay(-3.0), "-3.00");
  EXPECT_EQ(Continuous(0, 0, 1, 0.001).FormatDisplay(0.0004), "0.000");
  EXPECT_EQ(Continuous(0, 0, 1, 0.001).FormatDisplay(0.0011), "0.001");
  EXPECT_EQ(Stepped(0, 0, 3).FormatDisplay(-0.5), "0");  // truncation toward zero
  EXPECT_EQ(Stepped(0, 0, 3).FormatDisplay(2.9), "2");
  EXPECT_EQ(Stepped(0, 0, 3).FormatDisplay(1e300), "2147483647");

  IParamDef neg = Continuous(0, 0, 10, 0.1);
  neg.SetNegateDisplay(true);
  EXPECT_EQ(neg.FormatDisplay(2.5), "-2.5");

  char small[4];
  Continuous(0, 0, 1000, 0.01).FormatDisplay(123.456, small, sizeof small);
  EXPECT_STREQ(small, "123");
}

TEST(ParamDef, DisplayTextsFirstMatchWinsAndEmptyFallsThrough) {
  IParamDef p = Stepped(0, 0, 3);
  p.AddDisplayText(1, "one");
  p.AddDisplayText(1, "uno");
  p.AddDisplayText(2, "");
  EXPECT_EQ(p.FormatDisplay(1.0), "one");
  EXPECT_EQ(p.FormatDisplay(1.9), "one");  // matched after truncation
  EXPECT_EQ(p.FormatDisplay(2.0), "2");    // empty text: the number
  EXPECT_EQ(p.FormatDisplay(3.0), "3");    // no entry
  EXPECT_EQ(p.NDisplayTexts(), 3);
}

TEST(ParamDef, LongNamesAreTruncatedTo31Characters) {
  IParamDef p;
  const std::string longName(40, 'x');
  p.DefineContinuous(longName.c_str(), 0, 0, 1, 0.1, longName.c_str(), "", 1);
  EXPECT_EQ(std::string(p.Name()).size(), 31u);
  EXPECT_EQ(std::string(p.Label()).size(), 31u);
}

TEST(ParamDef, ValueFormatShowsRealUnits) {
  IParamDef level = Continuous(0, -30, 30, 0.01);
  level.SetValueFormat({1.0, 1, false, true, "dB", "", {}});
  EXPECT_EQ(level.FormatDisplay(6.0), "+6.0 dB");
  EXPECT_EQ(level.FormatDisplay(-4.04), "-4.0 dB");
  EXPECT_EQ(level.FormatDisplay(0.0), "0.0 dB");
  EXPECT_EQ(level.FormatDisplay(-0.04), "0.0 dB");  // no sign on a zero

  IParamDef threshold = Continuous(0, 0, 80, 0.01);
  threshold.SetValueFormat({-1.0, 1, false, false, "dB", "off", {}});
  EXPECT_EQ(threshold.FormatDisplay(30.0), "-30.0 dB");
  EXPECT_EQ(threshold.FormatDisplay(0.0), "off");
  EXPECT_EQ(threshold.FormatDisplay(0.04), "off");  // reads as zero

  IParamDef time = Continuous(0.0004, 0.0001, 0.0011, 0.001, 2.0);
  time.SetValueFormat({1000.0, 2, false, false, "ms", "", {{"s", 1000.0}}});
  EXPECT_EQ(time.FormatDisplay(0.0004), "0.40 ms");

  // Three significant digits, thousands with "k".
  IParamDef freq = Continuous(500, 20, 20000, 0.01);
  freq.SetValueFormat({1.0, 3, true, false, "Hz", "", {}});
  EXPECT_EQ(freq.FormatDisplay(20.0), "20.0 Hz");
  EXPECT_EQ(freq.FormatDisplay(120.0), "120 Hz");
  EXPECT_EQ(freq.FormatDisplay(999.9), "1.00 kHz");  // the rounding carries
  EXPECT_EQ(freq.FormatDisplay(2000.0), "2.00 kHz");
  EXPECT_EQ(freq.FormatDisplay(9999.0), "10.0 kHz");
  EXPECT_EQ(freq.FormatDisplay(20000.0), "20.0 kHz");

  // A display text still wins over the format.
  IParamDef list = Stepped(0, 0, 1);
  list.SetValueFormat({1.0, 0, false, false, "x", "", {}});
  list.AddDisplayText(0, "4x");
  EXPECT_EQ(list.FormatDisplay(0.0), "4x");
  EXPECT_EQ(list.FormatDisplay(1.0), "1 x");
}

TEST(ParamDef, ParseDisplayReadsPrintedAndTypedTexts) {
  auto read = [](const IParamDef& p, const char* text) {
    double v = -12345.0;
    return p.ParseDisplay(text, v) ? v : -12345.0;
  };
  IParamDef threshold = Continuous(0, 0, 80, 0.01);
  threshold.SetValueFormat({-1.0, 1, false, false, "dB", "off", {}});
  EXPECT_EQ(read(threshold, "-30.0 dB"), 30.0);
  EXPECT_EQ(read(threshold, "-30dB"), 30.0);
  EXPECT_EQ(read(threshold, "  -30  DB "), 30.0);
  EXPECT_EQ(read(threshold, "Off"), 0.0);
  EXPECT_EQ(read(threshold, "-200"), 80.0);  // bounded
  EXPECT_EQ(read(threshold, "+10"), 0.0);
  for (const char* bad : {"", "dB", "-30 Hz", "loud", "inf", "nan dB", "1e999", "-30 dB!"}) {
    EXPECT_EQ(read(threshold, bad), -12345.0) << bad;
  }

  IParamDef time = Continuous(0.0004, 0.0001, 0.0011, 0.001, 2.0);
  time.SetValueFormat({1000.0, 2, false, false, "ms", "", {{"s", 1000.0}}});
  EXPECT_DOUBLE_EQ(read(time, "0.4"), 0.0004);
  EXPECT_DOUBLE_EQ(read(time, "0.0004s"), 0.0004);
  EXPECT_EQ(read(time, "0.4k"), -12345.0);  // "k" only for significant-digit units

  IParamDef freq = Continuous(500, 20, 20000, 0.01);
  freq.SetValueFormat({1.0, 3, true, false, "Hz", "", {}});
  EXPECT_EQ(read(freq, "2k"), 2000.0);
  EXPECT_EQ(read(freq, "2.5 kHz"), 2500.0);
  EXPECT_EQ(read(freq, "700hz"), 700.0);
  EXPECT_EQ(read(freq, "1e308 kHz"), -12345.0);  // finite as typed, not once scaled

  // Lists: the text in any case, or the number it starts with.
  IParamDef ratio = Stepped(0, 0, 3);
  const char* ratios[] = {"2:1", "4:1", "8:1", "12:1"};
  for (int i = 0; i < 4; ++i) ratio.AddDisplayText(i, ratios[i]);
  EXPECT_EQ(read(ratio, "8:1"), 2.0);
  EXPECT_EQ(read(ratio, "8"), 2.0);
  EXPECT_EQ(read(ratio, "12 :1"), 3.0);
  EXPECT_EQ(read(ratio, "3"), -12345.0);  // no entry reads 3
  EXPECT_EQ(read(ratio, "8:2"), -12345.0);
  IParamDef sw = Stepped(0, 0, 1);
  sw.AddDisplayText(0, "EXT");
  sw.AddDisplayText(1, "INT");
  EXPECT_EQ(read(sw, "int"), 1.0);
  EXPECT_EQ(read(sw, "1"), 1.0);  // words only: a bare number is the value
  EXPECT_EQ(read(sw, "side"), -12345.0);

  // Without a format: a bare number only.
  EXPECT_EQ(read(Continuous(0, 0, 10, 0.1), " 2.5 "), 2.5);
  EXPECT_EQ(read(Continuous(0, 0, 10, 0.1), "2.5 %"), -12345.0);
}
