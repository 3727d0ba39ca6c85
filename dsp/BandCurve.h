// The equaliser curve: its two scales (normalised log frequency, curve decibels), the band points
// shared by the engine and the display, and the piecewise cubic through the enabled points.
//
// Curve decibels: c >= -60 means c dB; below -60 the scale is linear in amplitude down to silence
// at kCurveDbFloor. Normalised log frequency: x = ln(f / 20) / ln(1000), 0 at 20 Hz, 1 at 20 kHz.
// All functions are pure arithmetic on doubles and may run on any thread; the band arrays are
// guarded by the caller (the engine's dsp lock).
#pragma once

#include <cstdint>

#include "dsp/ParamIndex.h"

// -(60 + 20 / ln 10): amplitude 0 on the curve scale, shown as "-INF".
constexpr double kCurveDbFloor = -68.68588963806504;
constexpr double kCurveDbCeiling = 60.0;

// Left end point, up to four bands, right end point.
constexpr int kSortedPointCount = kBandCount + 2;

double AmpFromCurveDb(double c);
double CurveDbFromDb(double d);
double DbFromCurveDb(double c);
double RowFromCurveDb(double c, int rows, bool clamp);
double CurveDbFromRow(double row, int rows);
// mode 1 clamps as RowFromCurveDb does, mode 2 to -5 .. rows + 5, any other mode not at all.
double RowFromAmp(double a, int rows, int mode);
// Position of a between b and c on a logarithmic axis (0 at b, 1 at c).
double LogPos(double a, double b, double c);
// Inverse of LogPos.
double LogInterp(double t, double b, double c);

struct BandPoint
{
  int32_t on;  // 1 when the band takes part in the curve
  double freq; // Hz, Transpose applied
  double
      resetFreq; // frequency the band's knob returns to on double-click; -1 while the band is off
  double logPos; // x of freq, written by SortBandPoints
  double gain;   // curve dB
  double slope;  // dB per octave, positive rising towards high frequencies
  double rightX, rightY;             // right control point (x, curve dB)
  double leftX, leftY;               // left control point (x, curve dB)
  double pointScreenX, pointScreenY; // display-owned handle positions
  double rightHandleX, rightHandleY;
  double leftHandleX, leftHandleY;
  int32_t bandIndex; // 0 .. 3 for bands A .. D
};

// Writes on, freq, gain and slope of the four records from the kCurveParamCount parameter values
// (indexed as in ParamIndex.h).
void BandsFromParamValues(const double* paramValues, BandPoint* bandTable);

// Inverse mapping after an edit in the display: writes the 16 band parameter values, each clamped
// to [paramMin[i], paramMax[i]] (NaN gives the minimum). May lower a record's freq to 20 kHz before
// Transpose. Globals (Transpose, Overall Gain, Gain Scale) are read from paramValues. With Gain
// Scale 0 the gain and slope values in paramValues are left as they are.
void ParamValuesFromBands(BandPoint* bandTable, double* paramValues, const double* paramMin,
                          const double* paramMax);

// Fills entries 0 .. n + 1 of sortedPoints (kSortedPointCount records) and returns n, the number of
// bands that are on. Entries beyond n + 1 keep their contents. Only the curve's fields are taken
// from the table (on, freq, resetFreq, logPos, gain, slope, bandIndex): the display writes its
// screen positions there meanwhile, and they are neither read nor copied.
int SortBandPoints(BandPoint* bandTable, BandPoint* sortedPoints);

// Fills the control points of entries 0 .. n + 1 and the two end levels.
void SetControlPoints(BandPoint* sortedPoints, int n);

// Curve dB at x on segment i (entry i to entry i + 1), 0 <= i <= n. Not limited to the scale.
double EvalCurve(const BandPoint* sortedPoints, int i, double x);
