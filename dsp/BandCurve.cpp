#include "dsp/BandCurve.h"

#include <cmath>
#include <cstring>

namespace
{
// Amplitude per curve dB in the linear tail below -60 dB: 0.001 * ln 10 / 20.
constexpr double kTailAmpPerDb = 0.00011512925464970229;
// Inverse of kTailAmpPerDb, used by CurveDbFromDb.
constexpr double kTailDbPerAmp = 8685.889638065037;
// 1 / (60 - kCurveDbFloor): reciprocal of the display's dB span.
constexpr double kRowsPerDbSpan = 0.007770859748590508;
constexpr double kRowsPerAmpInTail = 67.49683016913897;
constexpr double kDbSpan = 128.68588963806505;
// log2(1000) / 3: a third of one unit of x, in octaves.
constexpr double kThirdOctavesPerX = 3.321928094887362;

double ClampParam(double v, double lo, double hi)
{
  if (v >= lo && v <= hi) return v;
  if (v > hi) return hi;
  return lo; // below, or NaN
}
} // namespace

double AmpFromCurveDb(double c)
{
  if (c > kCurveDbCeiling) return 1000.0;
  if (c >= -60.0) return std::pow(10.0, 0.05 * c);
  if (c >= kCurveDbFloor) return (c - kCurveDbFloor) * kTailAmpPerDb;
  return 0.0;
}

double CurveDbFromDb(double d)
{
  if (d >= -60.0) return d;
  if (d >= -160.0) return std::pow(10.0, 0.05 * d) * kTailDbPerAmp + kCurveDbFloor;
  return kCurveDbFloor;
}

double DbFromCurveDb(double c)
{
  if (c >= -60.0) return c;
  return 20.0 * std::log10((c - kCurveDbFloor) * kTailAmpPerDb);
}

double RowFromCurveDb(double c, int rows, bool clamp)
{
  double row = (rows - 1) * (c - kCurveDbFloor) * kRowsPerDbSpan;
  if (clamp)
  {
    if (row >= rows) row = rows - 1; // same as the truncated value being >= rows
    if (!(row > 0.0)) row = 0.0;
  }
  return row;
}

double CurveDbFromRow(double row, int rows)
{
  return kDbSpan * row / (rows - 1) + kCurveDbFloor;
}

double RowFromAmp(double a, int rows, int mode)
{
  double row;
  if (a >= 0.001)
    row = (20.0 * std::log10(a) - kCurveDbFloor) * (rows - 1) * kRowsPerDbSpan;
  else
    row = (rows - 1) * a * kRowsPerAmpInTail;
  if (mode == 1)
  {
    if (row >= rows) row = rows - 1;
    if (!(row > 0.0)) row = 0.0;
  }
  else if (mode == 2)
  {
    if (row >= rows + 6) row = rows + 5; // truncated value exceeds rows + 5
    if (!(row > -5.0)) row = -5.0;
  }
  return row;
}

double LogPos(double a, double b, double c)
{
  return (std::log(a) - std::log(b)) / (std::log(c) - std::log(b));
}

double LogInterp(double t, double b, double c)
{
  return b * std::pow(10.0, (std::log10(c) - std::log10(b)) * t);
}

void BandsFromParamValues(const double* paramValues, BandPoint* bandTable)
{
  const double transpose = paramValues[kParamTranspose];
  const double overallGain = paramValues[kParamOverallGain];
  const double gainScale = paramValues[kParamGainScale];
  const double freqFactor = std::pow(2.0, transpose / 12.0);
  for (int i = 0; i < kBandCount; ++i)
  {
    BandPoint& band = bandTable[i];
    band.on = paramValues[kParamBandOn + i] < 0.5 ? 0 : 1;
    double gain =
        CurveDbFromDb(DbFromCurveDb(paramValues[kParamBandGain + i]) * gainScale + overallGain);
    if (!(gain <= kCurveDbCeiling)) gain = kCurveDbCeiling;
    band.gain = gain;
    band.freq = paramValues[kParamBandFreq + i] * freqFactor;
    band.slope = paramValues[kParamBandSlope + i] * gainScale;
  }
}

void ParamValuesFromBands(BandPoint* bandTable, double* paramValues, const double* paramMin,
                          const double* paramMax)
{
  const double transpose = paramValues[kParamTranspose];
  const double overallGain = paramValues[kParamOverallGain];
  const double gainScale = paramValues[kParamGainScale];
  const double up = std::pow(2.0, transpose / 12.0);
  const double down = std::pow(2.0, -transpose / 12.0);
  for (int i = 0; i < kBandCount; ++i)
  {
    BandPoint& band = bandTable[i];
    if (band.freq * down > 20000.0) band.freq = 20000.0 * up;
    auto set = [&](int index, double v)
    { paramValues[index] = ClampParam(v, paramMin[index], paramMax[index]); };
    set(kParamBandOn + i, band.on);
    set(kParamBandFreq + i, band.freq * down);
    // Gain Scale 0 flattens every band: gains and slopes cannot be recovered from the curve and
    // keep their parameter values.
    if (gainScale == 0.0) continue;
    set(kParamBandGain + i, CurveDbFromDb((DbFromCurveDb(band.gain) - overallGain) / gainScale));
    set(kParamBandSlope + i, band.slope / gainScale);
  }
}

namespace
{
// The curve's own fields of a band record. The display writes its screen positions into the band
// table while a rebuild on the audio thread sorts it, so those fields are never read here; the
// control points are computed afresh by SetControlPoints.
void CopyCurveFields(BandPoint& to, const BandPoint& from)
{
  to.on = from.on;
  to.freq = from.freq;
  to.resetFreq = from.resetFreq;
  to.logPos = from.logPos;
  to.gain = from.gain;
  to.slope = from.slope;
  to.bandIndex = from.bandIndex;
}
} // namespace

int SortBandPoints(BandPoint* bandTable, BandPoint* sortedPoints)
{
  int n = 0;
  for (int i = 0; i < kBandCount; ++i)
  {
    BandPoint& band = bandTable[i];
    if (band.gain < kCurveDbFloor) band.gain = kCurveDbFloor;
    band.logPos = LogPos(band.freq, 20.0, 20000.0);
    if (band.on) ++n;
  }

  int chosen = 0;
  double previousFreq = 0.0;
  for (int k = 0; k < n; ++k)
  {
    double best = 1e38;
    int found = -1;
    for (int i = 0; i < kBandCount; ++i)
    {
      const BandPoint& band = bandTable[i];
      if (band.on && band.freq > previousFreq && band.freq < best)
      {
        best = band.freq;
        found = i;
      }
    }
    if (found >= 0)
    {
      chosen = found;
      previousFreq = bandTable[found].freq;
    }
    else
    {
      previousFreq = 1e38;
    }
    CopyCurveFields(sortedPoints[k + 1], bandTable[chosen]);
  }

  // The left end sits at 20 Hz, or an octave below a first point at or below 20 Hz. With no band
  // on, entry 1 holds whatever an earlier rebuild left there; a frequency that is not above 0 (a
  // list never filled) must not move the end point to 0 Hz, whose log position is minus infinity.
  BandPoint& left = sortedPoints[0];
  const double firstFreq = sortedPoints[1].freq;
  left.freq = (firstFreq <= 20.0 && firstFreq > 0.0) ? firstFreq * 0.5 : 20.0;
  left.logPos = LogPos(left.freq, 20.0, 20000.0);
  left.slope = 0.0;

  BandPoint& right = sortedPoints[n + 1];
  const double lastFreq = sortedPoints[n].freq;
  right.freq = lastFreq >= 20000.0 ? lastFreq + 1000.0 : 20000.0;
  right.logPos = LogPos(right.freq, 20.0, 20000.0);
  right.slope = 0.0;
  return n;
}

void SetControlPoints(BandPoint* p, int n)
{
  for (int i = 0; i <= n; ++i)
  {
    const double dx = p[i + 1].logPos - p[i].logPos;
    p[i].rightX = p[i].logPos + dx / 3.0;
    p[i].rightY = p[i].gain + dx * p[i].slope * kThirdOctavesPerX;
  }
  for (int i = 1; i <= n + 1; ++i)
  {
    const double dx = p[i].logPos - p[i - 1].logPos;
    p[i].leftX = p[i].logPos - dx / 3.0;
    p[i].leftY = p[i].gain - dx * p[i].slope * kThirdOctavesPerX;
  }
  double leftLevel = p[1].leftY;
  if (!(leftLevel >= kCurveDbFloor)) leftLevel = kCurveDbFloor;
  p[0].gain = leftLevel;
  p[0].rightY = leftLevel;

  double rightLevel = p[n].rightY;
  if (!(rightLevel >= kCurveDbFloor)) rightLevel = kCurveDbFloor;
  p[n + 1].gain = rightLevel;
  p[n + 1].leftY = rightLevel;
}

double EvalCurve(const BandPoint* p, int i, double x)
{
  const double t = (x - p[i].logPos) / (p[i + 1].logPos - p[i].logPos);
  const double u = 1.0 - t;
  return u * u * u * p[i].gain + 3.0 * u * u * t * p[i].rightY + 3.0 * u * t * t * p[i + 1].leftY +
         t * t * t * p[i + 1].gain;
}
