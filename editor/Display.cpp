#include "editor/Display.h"

#include <cmath>
#include <cstring>

#include "dsp/Analysis.h"
#include "dsp/SemLock.h"
#include "dsp/SharedFlags.h"
#include "editor/BitmapFont.h"
#include "editor/EditorViewState.h"
#include "editor/Panel.h"
#include "editor/Raster.h"
#include "editor/SpectrumField.h"
#include "engine/InstanceState.h"
#include "engine/Prefs.h"

namespace
{
constexpr int kLast = kPlotSize - 1; // 511

// Response dashes: 12 pixels on, 12 off; the phase wraps by a multiple of the period.
constexpr double kDashLength = 12.0;
constexpr double kDashPeriod = 24.0;
constexpr double kDashPhaseWrap = 5040.0;
constexpr double kResponseArcLimit = 25000.0;

// Grid blend weight at full strength; 258 * 255 = 65790 makes a full-weight pixel the grid's own.
constexpr int32_t kGridFullWeight = 258;
constexpr int32_t kGridWeightTotal = 65790;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kLevelLineGrey = 0x404040C0u; // red, green and blue 0x40

uint32_t WithAlpha(uint32_t colour, int32_t alpha)
{
  return (colour & 0xFFFFFF00u) | static_cast<uint32_t>(alpha & 0xFF);
}

bool HasEngine(const InstanceState& s)
{
  return s.drawLock && s.dspLock && s.curveLock && s.displayCurve && s.displayCurveCopy &&
         s.kernelColumns && s.spectrumColumns[2];
}
} // namespace

bool IsInPlot(const EditorViewState& view, int x, int y)
{
  return x >= view.plotLeft && x < view.plotLeft + kPlotSize && y >= view.plotTop &&
         y < view.plotTop + kPlotSize;
}

double PlotXFromLogPos(const EditorViewState& view, double logPos)
{
  return view.plotLeftX + kLast * logPos;
}

double PlotYFromCurveDb(const EditorViewState& view, double curveDb)
{
  return view.plotTopY + kLast - RowFromCurveDb(curveDb, kPlotSize, false);
}

double FreqFromPlotX(const EditorViewState& view, int x)
{
  return LogInterp((x - view.plotLeft) * kPlotColumnStep, 20.0, 20000.0);
}

double CurveDbFromPlotY(const EditorViewState& view, int y)
{
  return CurveDbFromRow(kLast - (y - view.plotTop), kPlotSize);
}

void BuildGridPicture(EditorViewState& view)
{
  uint8_t* grid = view.gridPicture;
  if (!grid) return;
  std::memset(grid, 0, static_cast<size_t>(kPlotSize) * kPlotSize * 4);

  // Frequency lines at 30 .. 90, 100 .. 900, 1000 .. 9000 and 10000 Hz, weighted by the leading
  // digit d with sqrt(1 / d).
  for (double decade : {10.0, 100.0, 1000.0, 10000.0})
  {
    for (int d = decade == 10.0 ? 3 : 1; d <= (decade == 10000.0 ? 1 : 9); ++d)
    {
      const double f = d * decade;
      const double w = std::sqrt(1.0 / d);
      const double x = kLast * LogPos(f, 20.0, 20000.0);
      const uint32_t rg = static_cast<uint32_t>(64.0 * w);
      const uint32_t b = static_cast<uint32_t>(80.0 * w);
      DrawLineAA(grid, kPlotSize, kPlotSize, x, kLast, x, 0.0, 1.0, PackColour(rg, rg, b, 0),
                 kLineAdd);
    }
  }

  // Level lines every 12 dB from +48 to -84: dashes on 0 dB, dots elsewhere.
  for (int level = 48; level >= -84; level -= 12)
  {
    const double y = kLast - RowFromCurveDb(CurveDbFromDb(level), kPlotSize, false);
    const bool zero = level == 0;
    const int count = zero ? 84 : 125;
    const double start = zero ? 0.003 : 0.002;
    const double end = zero ? 0.009 : 0.006;
    const double step = zero ? 0.012 : 0.008;
    for (int k = 0; k < count; ++k)
      DrawLineSpanAA(grid, kPlotSize, kPlotSize, kLast, y, 0.0, y, start + step * k, end + step * k,
                     1.0, kLevelLineGrey, kLineBlend);
  }

  // Into a blending picture: alpha from green, colour normalised by blue.
  for (size_t i = 0; i < static_cast<size_t>(kPlotSize) * kPlotSize; ++i)
  {
    uint8_t* p = grid + i * 4;
    const int32_t r = p[1], g = p[2], b = p[3];
    p[0] = static_cast<uint8_t>(g);
    if (b != 0)
    {
      p[1] = static_cast<uint8_t>(r * 255 / b);
      p[2] = static_cast<uint8_t>(g * 255 / b);
      p[3] = 255;
    }
    else
      p[1] = p[2] = p[3] = 0;
  }
}

int32_t CountGridPixels(const EditorViewState& view)
{
  int32_t count = 0;
  if (!view.gridPicture) return 0;
  for (size_t i = 0; i < static_cast<size_t>(kPlotSize) * kPlotSize; ++i)
    count += view.gridPicture[i * 4] != 0;
  return count;
}

void ListGridPixels(const EditorViewState& view, GridPixel* pixels)
{
  if (!view.gridPicture) return;
  for (int y = 0; y < kPlotSize; ++y)
    for (int x = 0; x < kPlotSize; ++x)
    {
      const uint8_t* g = view.gridPicture + (static_cast<size_t>(y) * kPlotSize + x) * 4;
      if (g[0] == 0) continue;
      *pixels++ =
          GridPixel{static_cast<uint16_t>(x), static_cast<uint16_t>(y), g[0], g[1], g[2], g[3], 0};
    }
}

void ClearCanvas(InstanceState& s)
{
  EditorViewState& v = *s.view;
  if (!v.canvasPixels) return;
  std::memset(v.canvasPixels, IsLightScheme(LoadFlag(s.colourScheme)) ? 255 : 0,
              static_cast<size_t>(v.canvasWidth) * v.canvasHeight * 4);
}

void TakeNewCurve(InstanceState& s)
{
  if (!LoadFlag(s.curveChanged)) return;
  SemLockAcquire(s.curveLock);
  StoreFlag(s.curveChanged, 0);
  std::memcpy(s.displayCurveCopy, s.displayCurve, sizeof(double) * kPlotSize);
  std::memcpy(static_cast<void*>(s.displayPointsCopy), s.displayPoints, sizeof(s.displayPoints));
  s.displayPointCountCopy = s.displayPointCount;
  SemLockRelease(s.curveLock);
  for (int i = 0; i < kPlotSize; ++i)
    s.displayCurveCopy[i] = RowFromAmp(s.displayCurveCopy[i], kPlotSize, 0);
  for (int c = 0; c < kPlotSize; ++c)
  {
    // Rows far outside the plot (silence is about -15000) stay comparable as integers.
    double row = std::trunc(s.displayCurveCopy[kLast - c] + 0.5);
    if (!(row > -1e6)) row = -1e6;
    if (row > 1e6) row = 1e6;
    s.view->curveRows[c] = static_cast<int32_t>(row);
  }
}

void DrawSpectrumLayer(InstanceState& s)
{
  // The realised response line reads kernelColumns whatever Colour Gain is; only the colour field
  // and the input analysis that feeds nothing else are skipped at 0.
  if (LoadFlag(s.kernelChanged)) KernelResponseColumns(s, kPlotSize);
  if (LoadShared(s.colourGain) == 0.0) return;
  if (LoadFlag(s.captureChanged)) AnalyseCapture(s, kPlotSize);
  DrawSpectrumField(s, kPlotSize, LoadFlag(s.colourScheme));
}

void BlendGridPicture(InstanceState& s)
{
  EditorViewState& v = *s.view;
  const double t = LoadShared(s.revealTimer);
  if (!(t < 2.0) || !v.gridPixels || !v.canvasPixels) return;
  const int32_t a = static_cast<int32_t>(std::exp(-t * t) * kGridFullWeight + 0.5);
  const bool light = IsLightScheme(LoadFlag(s.colourScheme));
  const size_t stride = static_cast<size_t>(v.canvasWidth) * 4;
  uint8_t* origin = v.canvasPixels + v.plotTop * stride + static_cast<size_t>(v.plotLeft) * 4;
  const int32_t invert = light ? 255 : 0;
  // Only the grid's own pixels (listed at creation); the others would keep their colour anyway.
  const GridPixel* list = v.gridPixels;
  for (int32_t k = 0; k < v.gridPixelCount; ++k)
  {
    const GridPixel& g = list[k];
    uint8_t* p = origin + g.y * stride + static_cast<size_t>(g.x) * 4;
    const int32_t f = a * g.alpha;
    const int32_t w = kGridWeightTotal - f;
    p[1] = static_cast<uint8_t>((p[1] * w + (g.red ^ invert) * f) >> 16);
    p[2] = static_cast<uint8_t>((p[2] * w + (g.green ^ invert) * f) >> 16);
    p[3] = static_cast<uint8_t>((p[3] * w + (g.blue ^ invert) * f) >> 16);
  }
}

void DrawBandPoints(InstanceState& s)
{
  EditorViewState& v = *s.view;
  uint8_t* px = v.canvasPixels;
  const int32_t W = v.canvasWidth, H = v.canvasHeight;
  const bool light = IsLightScheme(LoadFlag(s.colourScheme));

  v.ripplePhase += 0.0001;
  if (v.ripplePhase > 1.0) v.ripplePhase -= 1.0;
  const double half = LoadShared(s.revealTimer) / 2.0;
  const int32_t handleAlpha = static_cast<int32_t>(std::exp(-half * half) * 255.0 + 0.5);
  const uint32_t leftColour = PackColour(255, 64, 96, handleAlpha);
  const uint32_t rightColour = PackColour(32, 96, 224, handleAlpha);
  const uint32_t pointColour = light ? PackColour(255, 128, 0) : PackColour(255, 224, 0);

  int n = s.displayPointCountCopy;
  if (n > kBandCount) n = kBandCount;
  for (int i = 1; i <= n; ++i)
  {
    const BandPoint& sp = s.displayPointsCopy[i];
    const int b = sp.bandIndex;
    if (b < 0 || b >= kBandCount) continue;
    BandPoint& band = s.bandTable[b];
    const double Px = PlotXFromLogPos(v, sp.logPos), Py = PlotYFromCurveDb(v, sp.gain);
    const double Rx = PlotXFromLogPos(v, sp.rightX), Ry = PlotYFromCurveDb(v, sp.rightY);
    const double Lx = PlotXFromLogPos(v, sp.leftX), Ly = PlotYFromCurveDb(v, sp.leftY);
    band.pointScreenX = Px;
    band.pointScreenY = Py;
    band.rightHandleX = Rx;
    band.rightHandleY = Ry;
    band.leftHandleX = Lx;
    band.leftHandleY = Ly;
    band.rightX = sp.rightX;
    band.leftX = sp.leftX;

    const int hovered = v.hoverActive && v.hoverBand == b ? v.hoverPart : -1;

    DrawLineAA(px, W, H, Px, Py, Lx, Ly, 1.0, leftColour, kLineBlendAlpha);
    if (hovered == kPartLeftHandle)
      DrawDiscAA(px, W, H, Lx, Ly, 5.8, 1.0, leftColour);
    else
      DrawRingAA(px, W, H, Lx, Ly, 5.0, 1.0, leftColour, kLineBlendAlpha);

    DrawLineAA(px, W, H, Px, Py, Rx, Ry, 1.0, rightColour, kLineBlendAlpha);
    if (hovered == kPartRightHandle)
      DrawDiscAA(px, W, H, Rx, Ry, 5.8, 1.0, rightColour);
    else
      DrawRingAA(px, W, H, Rx, Ry, 5.0, 1.0, rightColour, kLineBlendAlpha);

    if (b == s.selectedBand)
    {
      for (int j = 0; j < 4; ++j)
      {
        const double phase = j * 0.25 + v.ripplePhase;
        const double G = 1.0 - (phase - std::floor(phase));
        const int32_t alpha = static_cast<int32_t>(G * G * 255.0 + 0.5);
        DrawRingAA(px, W, H, Px, Py, (1.0 - G) * 20.0, 1.0, WithAlpha(pointColour, alpha),
                   kLineBlendAlpha);
      }
    }

    if (hovered == kPartPoint)
      DrawRingAA(px, W, H, Px, Py, 5.0, 1.0, pointColour, kLineBlend);
    else
      DrawDiscAA(px, W, H, Px, Py, 5.8, 1.0, pointColour);
  }

  // The equaliser curve through the column rows of the last curve copy.
  const int32_t mode = light ? kLineSubtract : kLineAdd;
  const double* rows = s.displayCurveCopy;
  for (int c = 0; c < kLast; ++c)
  {
    DrawLineAA(px, W, H, v.plotLeftX + c, v.plotTopY + kLast - rows[kLast - c], v.plotLeftX + c + 1,
               v.plotTopY + kLast - rows[kLast - c - 1], 1.0, kWhite, mode);
  }
}

void DrawRealisedResponse(InstanceState& s)
{
  EditorViewState& v = *s.view;
  uint8_t* px = v.canvasPixels;
  const int32_t W = v.canvasWidth, H = v.canvasHeight;
  const int32_t mode = IsLightScheme(LoadFlag(s.colourScheme)) ? kLineSubtract : kLineAdd;

  v.dashPhase += 1.0;
  if (v.dashPhase > -kDashPeriod) v.dashPhase -= kDashPhaseWrap;
  const double phase = v.dashPhase;

  const double* c = s.displayCurveCopy;
  const double* k = s.kernelColumns;
  auto row = [&](int i) { return RowFromAmp(k[i], kPlotSize, 2); };
  auto windowX = [&](double i) { return v.plotLeftX + kLast - i; };
  auto windowY = [&](double y) { return v.plotTopY + kLast - y; };

  double arc = 0.0;
  double y0 = row(0);
  for (int i = 1; i < kPlotSize && arc < kResponseArcLimit; ++i)
  {
    const double y1 = row(i);
    const double length = std::sqrt(1.0 + (y1 - y0) * (y1 - y0));
    const bool visible = DistanceToLine(i - 1, y0, i, y1, i, c[i]) > 1.0 ||
                         DistanceToLine(i - 1, y0, i, y1, i - 1, c[i - 1]) > 1.0;
    const double s0 = arc;
    arc += length;
    if (visible)
    {
      // Pieces of at most one dash length, so that none crosses two dash boundaries.
      const int pieces =
          length >= kDashLength ? static_cast<int>(std::ceil(length / kDashLength)) : 1;
      for (int p = 0; p < pieces; ++p)
      {
        const double t0 = static_cast<double>(p) / pieces, t1 = static_cast<double>(p + 1) / pieces;
        const double xa = windowX(i - 1 + t0), ya = windowY(y0 + (y1 - y0) * t0);
        const double xb = windowX(i - 1 + t1), yb = windowY(y0 + (y1 - y0) * t1);
        const double a = s0 + length * t0 - phase;
        const double b = s0 + length * t1 - phase;
        const bool startOn = std::fmod(a, kDashPeriod) < kDashLength;
        const bool endOn = std::fmod(b, kDashPeriod) < kDashLength;
        if (std::trunc(a / kDashLength) != std::trunc(b / kDashLength))
        {
          const double span = b - a;
          const double from = startOn ? 0.0 : (std::ceil(a / kDashLength) * kDashLength - a) / span;
          const double to = endOn ? 1.0 : (std::floor(b / kDashLength) * kDashLength - a) / span;
          if (from < to) DrawLineSpanAA(px, W, H, xa, ya, xb, yb, from, to, 1.0, kWhite, mode);
        }
        else if (endOn)
          DrawLineAA(px, W, H, xa, ya, xb, yb, 1.0, kWhite, mode);
      }
    }
    y0 = y1;
  }
}

void DrawLabelLine(InstanceState& s)
{
  EditorViewState& v = *s.view;
  if (!v.labelLine) return;
  SetTextLineText(v.labelLine, s.labelLineText);
  DrawTextLine(v.labelLine, v.canvasPixels, 0, v.canvasWidth, v.canvasHeight);
}

void DrawDisplayFrame(InstanceState& s)
{
  EditorViewState& v = *s.view;
  if (!v.canvasPixels) return;
  TickPrefsDebounce(s);
  if (!HasEngine(s))
  {
    ClearCanvas(s);
    DrawPanel(s);
    DrawLabelLine(s);
    return;
  }
  RunDisplayIdleRule(s);

  SemLockAcquire(s.drawLock);
  const double reveal = LoadShared(s.revealTimer);
  if (reveal > 0.0 && reveal < kRevealTimerEnd) StoreShared(s.revealTimer, reveal + 0.01);
  StoreFlag(s.samplesSinceDraw, 0);
  ClearCanvas(s);
  TakeNewCurve(s);
  DrawSpectrumLayer(s);
  BlendGridPicture(s);
  DrawBandPoints(s);
  DrawRealisedResponse(s);
  DrawPanel(s);
  DrawLabelLine(s);
  SemLockRelease(s.drawLock);
}
