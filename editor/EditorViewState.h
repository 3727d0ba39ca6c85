// The display's own fields. The display control keeps them for as long as the plug-in object lives
// (so they survive closing and reopening the editor) and the instance's InstanceState points to
// them. Zero when the display is made; CreateEditor sets every field.
//
// Threads: the editor thread only. The buffers the pointers name (canvas, grid picture, text lines)
// are owned by the editor's graphics object and its display control, not by the slot.
#pragma once

#include <cstdint>

struct TextLine;
class IGraphics;

constexpr int32_t kEditorWidth = 752;
constexpr int32_t kEditorHeight = 576;
constexpr int32_t kPlotSize = 512;  // plot columns and rows
constexpr int32_t kPlotOrigin = 32; // window x and y of the plot's top-left pixel
constexpr int32_t kControlPositionCount = 12;

// Centres of knobs, which are also the anchors of their readouts, in window pixels. Entry 0 of
// controlPositions holds the three band knobs (gain, frequency, slope); the others use index 0.
struct ControlPosition
{
  int32_t x[3];
  int32_t y[3];
};

// Parts of a band that the mouse can grab.
enum BandPart
{
  kPartPoint = 0,
  kPartRightHandle = 1, // "top"
  kPartLeftHandle = 2,  // "bottom"
};

// One pixel of the grid picture with its blend weight (alpha) and colour.
struct GridPixel
{
  uint16_t x, y; // in the plot
  uint8_t alpha, red, green, blue;
  uint8_t unused;
};

struct EditorViewState
{
  TextLine* labelLine;   // font12 at (230, 16), left-aligned; text mirrored from labelLineText
  TextLine* readoutLine; // font11, centred; reused for every readout
  TextLine* spareLine;   // font12 at (0, 0); never drawn
  uint8_t* canvasPixels; // the screen bitmap, canvasWidth x canvasHeight, rows canvasWidth apart
  int32_t canvasWidth;
  int32_t canvasHeight;
  int32_t plotLeft;
  int32_t plotTop;
  double plotLeftX; // plotLeft and plotTop as doubles
  double plotTopY;
  int32_t curveRows[kPlotSize]; // curve height above the plot's bottom row, column order
  double dashPhase;             // realised-response dashes, -5064 .. -24
  double ripplePhase;           // rings around the selected point, 0 .. 1
  int32_t dragState;            // 1 while a point or handle is grabbed
  int32_t dragBand;
  int32_t dragPart; // BandPart
  // Band parameters whose host gesture the current plot drag began (-1: none); its release ends
  // them.
  int32_t gestureParams[2];
  int32_t hoverActive;
  int32_t hoverBand;
  int32_t hoverPart;
  uint8_t* gridPicture; // kPlotSize x kPlotSize blending picture (alpha = grid weight)
  // The picture's pixels whose alpha is not 0, row by row, so the blend skips the empty ones.
  const struct GridPixel* gridPixels;
  int32_t gridPixelCount;
  ControlPosition controlPositions[kControlPositionCount];
};
