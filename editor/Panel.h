// The control panel right of the plot: the layout of the twelve controls, the editor's process-wide
// pictures and fonts, and the panel drawing of every frame (background, readouts, knob frames,
// limiter light).
//
// Threads: resources are loaded once per process in CreateEditor (constructions are serialised by
// the factory mutex) and only read afterwards; the drawing runs on the editor thread inside the
// display frame.
#pragma once

#include <cstdint>

#include "graphics/LICE_Resources.h"

struct BitmapFont;
struct InstanceState;
class IGraphics;

// Control indexes in the graphics object: 0 the display, 1 .. 3 the selected band's knobs, then the
// globals in layout order.
enum PanelControl
{
  kControlDisplay = 0,
  kControlBandGain = 1,
  kControlBandFreq = 2,
  kControlBandSlope = 3,
  kControlColour = 4,
  kControlColourGain = 5,
  kControlTranspose = 6,
  kControlOverallGain = 7,
  kControlGainScale = 8,
  kControlResolution = 9,
  kControlInputBufferSize = 10,
  kControlLimiter = 11,
  kPanelControlCount = 12,
};

struct KnobLayout
{
  int32_t control;  // index in the graphics object
  int32_t paramIdx; // bound parameter at creation; band A's for the band knobs
  int32_t x, y;     // knob centre = readout slot
};

// Controls 1 to 11 in the order they are added: the one map from panel controls to parameters.
extern const KnobLayout kKnobLayout[kPanelControlCount - 1];

// Parameter of a knob control (1 .. 11) while band (0 .. 3) is selected: the band knobs show the
// selected band's parameters, the others always their own. -1 for any other control.
int ControlParam(int control, int band);

constexpr int32_t kKnobSize = 50;
constexpr int32_t kKnobStripFrames = 192;
constexpr uint32_t kReadoutColour = 0xFFC040FFu; // red 0x40, green 0xC0, blue 0xFF
constexpr const char* kVersionStamp = "1.0.9";

// Process-wide pictures and fonts; null or empty when a resource is missing (nothing is drawn for
// it).
struct EditorResources
{
  BitmapFont* font10;
  BitmapFont* font11;
  BitmapFont* font12;
  IBitmapRef knobStrip;
  int32_t knobFrameHeight;
  IBitmapRef background;
  IBitmapRef button;
  int32_t buttonFrameHeight;
  IBitmapRef light;
  bool knobLoaded, backgroundLoaded, buttonLoaded, lightLoaded;
};
EditorResources& TheEditorResources();

// Fonts and pictures, each only when not yet had in the process. The background receives the
// version stamp once, when it is first loaded.
void LoadEditorResources(IGraphics& graphics);

// Frame step of the panel (drawLock held).
void DrawPanel(InstanceState& state);
// One global readout with its knob frame at controlPositions[slot].
void DrawReadout(InstanceState& state, int paramIdx, int slot);
// Readout text of a global parameter value: the scheme names for Colour, else "%.1f" / "%.2f".
void FormatReadout(int paramIdx, double value, char* text, int capacity);
// Knob strip frame for a normalised value: trunc(n * 191 + 0.5) limited to 0 .. 191.
int32_t KnobFrame(double normalised);
