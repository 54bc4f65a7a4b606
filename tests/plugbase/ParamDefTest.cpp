#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "IParamDef.h"

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
  // Continuous: not rounded to the step.
  EXPECT_DOUBLE_EQ(attack.Value(), 0.0001 + 0.001 * 0.25);
  EXPECT_EQ(attack.Value(), 0.0001 + (0.0011 - 0.0001) * (0.5 * 0.5));
  EXPECT_NEAR(attack.ToNormalised(0.0004), 0.5477, 1e-4);
  EXPECT_EQ(attack.ToNormalised(0.0004), std::sqrt((0.0004 - 0.0001) / (0.0011 - 0.0001)));

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
