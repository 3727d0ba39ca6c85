#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "dsp/BandCurve.h"

namespace
{
constexpr int kParams = kCurveParamCount;

struct CurveParams
{
  double v[kParams];
  double lo[kParams];
  double hi[kParams];
  CurveParams()
  {
    const double freqs[4] = {80, 370, 1700, 8000};
    for (int i = 0; i < 4; ++i)
    {
      v[kParamBandOn + i] = 1, lo[kParamBandOn + i] = 0, hi[kParamBandOn + i] = 1;
      v[kParamBandGain + i] = 1e-6, lo[kParamBandGain + i] = kCurveDbFloor,
                         hi[kParamBandGain + i] = 60;
      v[kParamBandFreq + i] = freqs[i], lo[kParamBandFreq + i] = 0, hi[kParamBandFreq + i] = 20000;
      v[kParamBandSlope + i] = 0, lo[kParamBandSlope + i] = -100, hi[kParamBandSlope + i] = 100;
    }
    v[kParamTranspose] = 0, lo[kParamTranspose] = -120, hi[kParamTranspose] = 120;
    v[kParamOverallGain] = 0, lo[kParamOverallGain] = -60, hi[kParamOverallGain] = 60;
    v[kParamGainScale] = 1, lo[kParamGainScale] = -4, hi[kParamGainScale] = 4;
  }
};

struct Curve
{
  BandPoint table[kBandCount] = {};
  BandPoint sorted[kSortedPointCount] = {};
  int n = 0;

  void Build(const CurveParams& p)
  {
    BandsFromParamValues(p.v, table);
    Rebuild();
  }
  void Rebuild()
  {
    n = SortBandPoints(table, sorted);
    SetControlPoints(sorted, n);
  }
  // Curve dB at frequency f, picking the segment the way the kernel synthesis does.
  double At(double f) const
  {
    if (f < sorted[0].freq) return sorted[0].gain;
    if (f >= sorted[n + 1].freq) return sorted[n + 1].gain;
    for (int i = 0; i <= n; ++i)
      if (f >= sorted[i].freq && f < sorted[i + 1].freq)
        return EvalCurve(sorted, i, LogPos(f, 20, 20000));
    return NAN;
  }
};
} // namespace

TEST(CurveScale, ConversionsMeetAtMinus60AndHaveTheirLimits)
{
  // Both branches of the scale meet at -60 dB with amplitude 0.001 (to rounding of the constants).
  EXPECT_NEAR(AmpFromCurveDb(-60.0), 0.001, 1e-15);
  EXPECT_NEAR(AmpFromCurveDb(-60.0 - 1e-9), 0.001, 1e-12);
  EXPECT_EQ(AmpFromCurveDb(kCurveDbFloor), 0.0);
  EXPECT_EQ(AmpFromCurveDb(kCurveDbFloor - 1), 0.0);
  EXPECT_EQ(AmpFromCurveDb(NAN), 0.0);
  EXPECT_EQ(AmpFromCurveDb(60.5), 1000.0);
  EXPECT_DOUBLE_EQ(AmpFromCurveDb(20.0), 10.0);

  EXPECT_EQ(CurveDbFromDb(-3.0), -3.0);
  EXPECT_EQ(CurveDbFromDb(NAN), kCurveDbFloor);
  EXPECT_EQ(CurveDbFromDb(-200.0), kCurveDbFloor);
  EXPECT_EQ(CurveDbFromDb(-INFINITY), kCurveDbFloor);
  EXPECT_TRUE(std::isinf(DbFromCurveDb(kCurveDbFloor)) && DbFromCurveDb(kCurveDbFloor) < 0);
  // In the tail the two conversions invert each other to rounding (1e-9 dB is far below audibility
  // and far above the double rounding of one log and one power).
  for (double d = -150; d < -60; d += 7.3) EXPECT_NEAR(DbFromCurveDb(CurveDbFromDb(d)), d, 1e-9);
  EXPECT_NEAR(RowFromCurveDb(60, 512, false), 511, 1e-9);
  EXPECT_EQ(RowFromCurveDb(100, 512, true), 511);
  EXPECT_EQ(RowFromCurveDb(-100, 512, true), 0);
  EXPECT_NEAR(CurveDbFromRow(511, 512), 60, 1e-12);
  EXPECT_NEAR(RowFromAmp(1.0, 512, 0), RowFromCurveDb(0, 512, false), 1e-9);
  EXPECT_EQ(RowFromAmp(1e9, 512, 2), 517);
  EXPECT_NEAR(LogInterp(LogPos(440, 20, 20000), 20, 20000), 440, 1e-9);
}

TEST(BandCurve, DefaultParametersGiveAFlatCurve)
{
  Curve c;
  c.Build(CurveParams());
  ASSERT_EQ(c.n, 4);
  for (double f : {5.0, 20.0, 100.0, 1000.0, 5000.0, 19999.0, 22000.0})
    EXPECT_NEAR(c.At(f), 1e-6, 1e-12);
  EXPECT_EQ(c.sorted[0].freq, 20.0);
  EXPECT_EQ(c.sorted[5].freq, 20000.0);
}

TEST(BandCurve, HermiteSegmentsPassThroughPointsWithTheirSlopes)
{
  CurveParams p;
  p.v[kParamBandGain + 1] = 6, p.v[kParamBandSlope + 1] = 3;
  p.v[kParamBandGain + 2] = -12, p.v[kParamBandSlope + 2] = -2;
  Curve c;
  c.Build(p);
  EXPECT_NEAR(c.At(370), 6, 1e-9);
  EXPECT_NEAR(c.At(1700), -12, 1e-9);
  // Slope in dB per octave by one-sided differences over 1e-6 octave on each side of the point (the
  // curvature jumps at a point, so both sides are checked): truncation ~ 1e-6 * curvature (< 1e-4
  // here), rounding ~ 1e-16 * 10 dB / 1e-6 = 1e-9, so 1e-3 dB/oct leaves a wide margin yet catches
  // a wrong tangent.
  const double h = 1e-6;
  auto rightSlope = [&](double f) { return (c.At(f * std::pow(2, h)) - c.At(f)) / h; };
  auto leftSlope = [&](double f) { return (c.At(f) - c.At(f * std::pow(2, -h))) / h; };
  EXPECT_NEAR(rightSlope(370), 3, 1e-3);
  EXPECT_NEAR(leftSlope(370), 3, 1e-3);
  EXPECT_NEAR(rightSlope(1700), -2, 1e-3);
  EXPECT_NEAR(leftSlope(1700), -2, 1e-3);
  auto slopeAt = rightSlope;
  // Flat at the ends.
  EXPECT_NEAR(slopeAt(21), 0, 1e-3);
}

TEST(BandCurve, SilentBandUnderGainScales)
{
  CurveParams p;
  p.v[kParamBandGain + 1] = kCurveDbFloor;
  p.v[kParamOverallGain] = 5;
  Curve c;
  c.Build(p);
  EXPECT_EQ(AmpFromCurveDb(c.table[1].gain), 0.0);

  p.v[kParamGainScale] = 0;
  c.Build(p);
  EXPECT_EQ(c.table[1].gain, kCurveDbFloor); // -inf * 0 is NaN: stays at the floor
  EXPECT_EQ(c.table[0].gain, 5.0);           // other bands go to Overall Gain
  EXPECT_EQ(c.table[0].slope, 0.0);

  p.v[kParamGainScale] = -1;
  c.Build(p);
  EXPECT_EQ(c.table[1].gain, 60.0);
}

TEST(BandCurve, NegativeGainScaleMirrorsGainsAndSlopes)
{
  CurveParams p;
  p.v[kParamBandGain + 2] = 9, p.v[kParamBandSlope + 2] = 4;
  p.v[kParamBandGain + 3] = -20;
  p.v[kParamGainScale] = -1;
  Curve c;
  c.Build(p);
  EXPECT_EQ(c.table[2].gain, -9);
  EXPECT_EQ(c.table[2].slope, -4);
  EXPECT_EQ(c.table[3].gain, 20);
  p.v[kParamGainScale] = 1;
  p.v[kParamOverallGain] = -4;
  c.Build(p);
  EXPECT_EQ(c.table[2].gain, 5);
  EXPECT_EQ(c.table[3].gain, -24);
}

TEST(BandCurve, TransposePastTwentyKilohertzMovesTheRightEnd)
{
  CurveParams p;
  p.v[kParamTranspose] = 12;
  p.v[kParamBandFreq + 3] = 15000;
  Curve c;
  c.Build(p);
  EXPECT_DOUBLE_EQ(c.table[0].freq, 160);
  EXPECT_DOUBLE_EQ(c.table[3].freq, 30000);
  EXPECT_DOUBLE_EQ(c.sorted[5].freq, 31000);
}

TEST(BandCurve, TiesAndZeroHertzBandsKeepTheListLength)
{
  CurveParams p;
  p.v[kParamBandFreq + 1] = 1700; // B ties with C
  p.v[kParamBandGain + 1] = 3;
  p.v[kParamBandGain + 2] = -3;
  Curve c;
  c.Build(p);
  ASSERT_EQ(c.n, 4);
  EXPECT_EQ(c.sorted[1].bandIndex, c.table[0].bandIndex);
  EXPECT_EQ(c.sorted[1].freq, 80);
  EXPECT_EQ(c.sorted[2].freq, 1700);
  EXPECT_EQ(c.sorted[2].gain, 3); // the lower band index wins the tie
  EXPECT_EQ(c.sorted[3].freq, 8000);
  EXPECT_EQ(c.sorted[4].freq, 8000); // the highest chosen record repeated
  EXPECT_NEAR(c.At(1700), 3, 1e-9);
  EXPECT_TRUE(std::isfinite(c.At(8000)));

  // Every band at 0 Hz: nothing is chosen, band A's record fills the list.
  CurveParams z;
  for (int i = 0; i < 4; ++i) z.v[kParamBandFreq + i] = 0;
  z.v[kParamBandGain + 0] = 7;
  for (int i = 0; i < 4; ++i) c.table[i].bandIndex = i;
  c.Build(z);
  ASSERT_EQ(c.n, 4);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(c.sorted[k].bandIndex, 0);
  EXPECT_EQ(c.sorted[0].freq, 20.0); // an end point at 0 Hz would sit at minus infinity
  EXPECT_TRUE(std::isfinite(c.sorted[0].logPos));
}

TEST(BandCurve, NoBandOnKeepsTheEarlierLevel)
{
  CurveParams p;
  for (int i = 0; i < 4; ++i) p.v[kParamBandOn + i] = 0;
  Curve fresh;
  fresh.Build(p);
  ASSERT_EQ(fresh.n, 0);
  // A list never filled: flat at 0 curve dB, with finite end points.
  EXPECT_EQ(fresh.sorted[0].freq, 20.0);
  EXPECT_NEAR(fresh.At(1000), 0.0, 1e-12);
  EXPECT_NEAR(fresh.At(10), 0.0, 1e-12);

  CurveParams q;
  q.v[kParamBandGain + 0] = -20;
  q.v[kParamOverallGain] = 0;
  Curve c;
  c.Build(q);
  ASSERT_EQ(c.n, 4);
  const double earlier = c.sorted[1].gain;
  p.v[kParamOverallGain] = 30; // has no effect with no band on
  c.Build(p);
  EXPECT_EQ(c.n, 0);
  EXPECT_NEAR(c.At(1000), earlier, 1e-12);
  EXPECT_NEAR(c.At(30), earlier, 1e-12);
}

TEST(BandCurve, LowFirstBandMovesTheLeftEndBelowTwentyHertz)
{
  CurveParams p;
  p.v[kParamBandFreq + 0] = 10;
  Curve c;
  c.Build(p);
  EXPECT_EQ(c.sorted[0].freq, 5);
  EXPECT_LT(c.sorted[0].logPos, 0);
}

TEST(BandMapping, ParamsFromBandsInvertsBandsFromParams)
{
  CurveParams p;
  p.v[kParamBandGain + 1] = -65; // in the tail
  p.v[kParamBandGain + 2] = 12;
  p.v[kParamBandSlope + 3] = -7;
  p.v[kParamTranspose] = -5;
  p.v[kParamOverallGain] = 2;
  p.v[kParamGainScale] = 1.5;
  p.v[kParamBandOn + 2] = 0;
  BandPoint table[4] = {};
  BandsFromParamValues(p.v, table);
  CurveParams back = p;
  ParamValuesFromBands(table, back.v, p.lo, p.hi);
  // Round trip through one power, one log and a scale: 1e-9 in dB or Hz is far above rounding.
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(back.v[i], p.v[i], 1e-9) << i;
}

TEST(BandMapping, DragAboveTwentyKilohertzAndGainScaleZero)
{
  CurveParams p;
  p.v[kParamTranspose] = 12;
  BandPoint table[4] = {};
  BandsFromParamValues(p.v, table);
  table[2].freq = 50000;
  ParamValuesFromBands(table, p.v, p.lo, p.hi);
  EXPECT_DOUBLE_EQ(table[2].freq, 40000);
  EXPECT_DOUBLE_EQ(p.v[kParamBandFreq + 2], 20000);

  CurveParams z;
  z.v[kParamGainScale] = 0;
  z.v[kParamOverallGain] = 3;
  BandsFromParamValues(z.v, table);
  table[0].gain = 10, table[0].slope = 5;
  table[1].gain = 3, table[1].slope = 0;
  table[2].gain = -10, table[2].slope = -5;
  table[3].gain = NAN, table[3].slope = NAN;
  // Gain Scale 0 flattens every band: the curve says nothing about gains and slopes, which keep
  // their values instead of being divided by zero into the bounds.
  const CurveParams before = z;
  ParamValuesFromBands(table, z.v, z.lo, z.hi);
  for (int i = 0; i < kBandCount; ++i)
  {
    EXPECT_EQ(z.v[kParamBandGain + i], before.v[kParamBandGain + i]);
    EXPECT_EQ(z.v[kParamBandSlope + i], before.v[kParamBandSlope + i]);
  }
}

TEST(BandCurve, GarbageParameterValuesGiveAFiniteBoundedCurve)
{
  CurveParams p;
  p.v[kParamBandGain + 0] = NAN;
  p.v[kParamBandFreq + 1] = NAN;
  p.v[kParamBandSlope + 2] = INFINITY;
  p.v[kParamBandFreq + 3] = 1e300;
  Curve c;
  c.Build(p);
  for (double f = 10; f < 30000; f *= 1.1)
  {
    const double a = AmpFromCurveDb(c.At(f));
    EXPECT_TRUE(a >= 0 && a <= 1000) << f;
  }
}
