// The display: one frame of the editor painted from scratch into the screen bitmap, and the plot's
// coordinate mapping.
//
// Plot: 512 x 512 window pixels from (plotLeft, plotTop). Column c is 20 * 1000^(c / 511) Hz; row r
// (0 at the bottom) is RowFromCurveDb(g, 512, unclamped) of a curve-dB value g, at window y =
// plotTop + 511 - r.
//
// Threads: the editor thread, without the plug-in mutex. DrawDisplayFrame takes drawLock for the
// painting (steps 3 to 14) and, through the analyses and the idle rule, the locks those name
// (dspLock only without waiting, or while the host is not processing); so processing never waits
// for a frame. It never allocates. The frame steps are public so that benchmarks can time each
// layer; they expect drawLock held.
#pragma once

#include <cstdint>

struct InstanceState;
struct EditorViewState;
struct GridPixel;

constexpr double kPlotColumnStep = 0.0019569471624266144; // 1 / 511
constexpr double kRevealTimerStart = 1e-7;
constexpr double kRevealTimerEnd = 6.0;

// ---- plot mapping ----
bool IsInPlot(const EditorViewState& view, int x, int y);
// Window x of a normalised log frequency, window y of a curve-dB value.
double PlotXFromLogPos(const EditorViewState& view, double logPos);
double PlotYFromCurveDb(const EditorViewState& view, double curveDb);
// Values under a window pixel.
double FreqFromPlotX(const EditorViewState& view, int x);
double CurveDbFromPlotY(const EditorViewState& view, int y);

// Packed colour A + R * 2^8 + G * 2^16 + B * 2^24.
constexpr uint32_t PackColour(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255)
{
  return a | (r << 8) | (g << 16) | (b << 24);
}

// The light schemes (Colour 2 and 3) paint on white.
inline bool IsLightScheme(int32_t scheme)
{
  return (scheme & 2) != 0;
}

// Draws the grid into view.gridPicture (kPlotSize x kPlotSize, must exist). Once per editor.
void BuildGridPicture(EditorViewState& view);
// Number of pixels of the grid picture whose alpha is not 0, and those pixels in row order into
// pixels (room for count entries).
int32_t CountGridPixels(const EditorViewState& view);
void ListGridPixels(const EditorViewState& view, GridPixel* pixels);

// One whole frame: preferences debounce, idle rule, then under drawLock every layer. Without an
// engine (no locks or arrays) only the background, the panel and the label are drawn.
void DrawDisplayFrame(InstanceState& state);

// ---- frame steps (drawLock held) ----
void ClearCanvas(InstanceState& state);
// Copies a new curve (under curveLock) and converts it to rows.
void TakeNewCurve(InstanceState& state);
// Runs the kernel response analysis when the kernel changed; with Colour Gain not 0 also the input
// analysis when new audio arrived, then paints the colour field.
void DrawSpectrumLayer(InstanceState& state);
// Blends the grid into the plot, fading with revealTimer.
void BlendGridPicture(InstanceState& state);
// Band handles, rings, points and the equaliser curve; records the window positions of every
// enabled band's point and handles in the band table for the mouse handling.
void DrawBandPoints(InstanceState& state);
// The kernel's realised response, dashed, where it departs from the curve by more than a pixel.
void DrawRealisedResponse(InstanceState& state);
// The label line in black (its text is labelLineText).
void DrawLabelLine(InstanceState& state);
