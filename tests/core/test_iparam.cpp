#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/IParam.h"

static std::string Shown(const IParam& p, double v, bool normalised = false)
{
  char text[128];
  p.FormatValue(v, normalised, text, sizeof(text));
  return text;
}

TEST(IParam, SwitchRoundsWhenSetAndTruncatesWhenShown)
{
  IParam p;
  p.SetupSwitch("Band A on", true);
  EXPECT_EQ(p.mType, IParam::kTypeBool);
  EXPECT_EQ(p.mValue, 1.0);
  EXPECT_EQ(Shown(p, p.mValue), "on");
  p.SetFromNormalised(0.3);
  EXPECT_EQ(p.mValue, 0.0);
  EXPECT_EQ(Shown(p, p.mValue), "off");
  p.SetFromNormalised(0.5); // rounding half up
  EXPECT_EQ(p.mValue, 1.0);
  EXPECT_EQ(Shown(p, 0.7, true), "off"); // display truncates where setting rounds
  int32_t v = -1;
  EXPECT_TRUE(p.ValueForText("on", &v));
  EXPECT_EQ(v, 1);
  v = -1;
  EXPECT_FALSE(p.ValueForText("On", &v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(p.ValueForText(nullptr, &v));
  EXPECT_STREQ(p.TextForValue(5), "");
}

TEST(IParam, ContinuousDisplayPrecisionAndZero)
{
  IParam p;
  p.SetupContinuous("Gain", 1e-6, -68.68588963806504, 60.0, 0.01, "dB");
  EXPECT_EQ(p.mDisplayPrecision, 2);
  EXPECT_EQ(p.mValue, 1e-6); // default stored unchanged, no clamp, no rounding
  EXPECT_EQ(Shown(p, 2.5), "2.50");
  EXPECT_EQ(Shown(p, -0.001), "-0.00");
  EXPECT_EQ(Shown(p, 0.0), "0");
  EXPECT_EQ(Shown(p, 1e-6), "0.00");
  p.mNegateDisplay = true;
  EXPECT_EQ(Shown(p, 2.5), "-2.50");

  IParam i;
  i.SetupInteger("Colour", 0, 0, 3, "");
  EXPECT_EQ(i.mDisplayPrecision, 0);
  EXPECT_EQ(Shown(i, 2.9), "2");

  IParam fine;
  fine.SetupContinuous("Fine", 0, 0, 1, 0.0000001, "");
  EXPECT_EQ(fine.mDisplayPrecision, 6);
  IParam tenth;
  tenth.SetupContinuous("Res", 1, 0.2, 8, 0.1, "x");
  EXPECT_EQ(tenth.mDisplayPrecision, 1);
}

TEST(IParam, SetupKeepsFirstTypeAndWidensEmptyRange)
{
  IParam p;
  p.SetupContinuous("Empty", 0, 0, 0, 1, "");
  EXPECT_EQ(p.mMax, 1.0);
  p.SetupInteger("Again", 2, 0, 5, "");
  EXPECT_EQ(p.mType, IParam::kTypeDouble);
  EXPECT_STREQ(p.NameText(), "Again");
}

TEST(IParam, MappingWithShape)
{
  IParam f;
  f.SetupContinuous("Freq", 80, 0, 20000, 0.01, "Hz");
  f.SetMappingShape(3.0);
  f.SetMappingShape(0.0); // ignored
  EXPECT_EQ(f.mShape, 3.0);
  // Cube-root mapping: 1000 Hz lies at (1/20)^(1/3) = 0.3684, the middle is 20000 / 8 = 2500 Hz.
  EXPECT_NEAR(f.ToNormalised(1000.0), 0.368403, 1e-6);
  f.SetFromNormalised(0.5);
  EXPECT_NEAR(f.mValue, 2500.0, 1e-9);
  EXPECT_EQ(f.ToNormalised(30000.0), 1.0);
  EXPECT_EQ(f.ToNormalised(-5.0), 0.0);

  IParam g;
  g.SetupContinuous("Band gain", 1e-6, -68.68588963806504, 60, 0.01, "dB");
  g.SetFromNormalised(1.0);
  EXPECT_LE(g.mValue, 60.0);
  EXPECT_NEAR(g.mValue, 60.0, 1e-12);
  g.SetFromNormalised(0.0);
  EXPECT_EQ(g.mValue, -68.68588963806504);
}

TEST(IParam, LongTextsAreCutToTheirFields)
{
  const std::string longText(200, 'x');
  IParam p;
  p.SetupContinuous(longText.c_str(), 0, 0, 1, 0.1, longText.c_str());
  EXPECT_EQ(strlen(p.NameText()), 31u);
  EXPECT_EQ(strlen(p.LabelText()), 31u);
  p.AddValueText(3, longText.c_str());
  EXPECT_EQ(strlen(p.TextForValue(3)), 31u);
  char tiny[4];
  p.FormatValue(0.123456, false, tiny, sizeof(tiny)); // output cut, terminated
  EXPECT_EQ(strlen(tiny), 3u);
  p.SetupContinuous(nullptr, 0, 0, 1, 0.1, nullptr);
  EXPECT_STREQ(p.NameText(), "");
}

TEST(IParam, FormatsNonFiniteValuesWithoutUndefinedBehaviour)
{
  IParam i;
  i.SetupInteger("Int", 0, 0, 3, "");
  EXPECT_EQ(Shown(i, 1e300), "2147483647");
  EXPECT_EQ(Shown(i, std::nan("")), "0");
}
