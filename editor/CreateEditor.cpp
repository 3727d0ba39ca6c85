#include "editor/CreateEditor.h"

#include "core/IPlugBase.h"
#include "editor/Display.h"
#include "editor/EditorControls.h"
#include "editor/Panel.h"
#include "editor/Raster.h"
#include "engine/InstanceState.h"
#include "graphics/IGraphicsLinux.h"
#include "graphics/LICE_Bitmap.h"

namespace
{
constexpr int kKnobDirection = 0; // vertical dragging
constexpr double kKnobGearing = 4.0;
constexpr int kEditorFps = 60;
} // namespace

IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps,
                                const char* bundleID)
{
  IGraphicsLinux* graphics = new IGraphicsLinux(plug, width, height, fps);
  graphics->SetBundleID(bundleID);
  return graphics;
}

void CreateEditor(IPlugBase& plug, InstanceState& s, const char* bundleID)
{
  IGraphics* graphics =
      CreateEditorGraphics(&plug, kEditorWidth, kEditorHeight, kEditorFps, bundleID);
  graphics->SetHandleMouseOver(true);
  graphics->SetRectDrivenDrawing(false);

  // The display keeps the view state, zero-filled, and points the slot at it.
  IDrawControl* display = new IDrawControl(&plug, &s);
  EditorViewState& v = *s.view;
  for (int32_t& index : v.gestureParams) index = -1;
  for (const KnobLayout& knob : kKnobLayout)
  {
    ControlPosition& at = v.controlPositions[knob.control <= kControlBandSlope ? 0 : knob.control];
    const int i = knob.control <= kControlBandSlope ? knob.control - kControlBandGain : 0;
    at.x[i] = knob.x;
    at.y[i] = knob.y;
  }

  graphics->AddControl(display);
  for (const KnobLayout& knob : kKnobLayout)
  {
    const int half = kKnobSize / 2;
    const IRECT rect(knob.x - half, knob.y - half, knob.x + half, knob.y + half);
    graphics->AddControl(
        new IKnobInvisibleControl(&plug, rect, knob.paramIdx, &s, kKnobDirection, kKnobGearing));
  }

  s.graphics = graphics;
  plug.AdoptGraphics(graphics);

  BuildEdgeTable();
  BuildGaussTable();

  LICE_IBitmap* screen = graphics->GetDrawBitmap();
  v.canvasPixels = screen ? screen->PixelData() : nullptr;
  v.canvasWidth = screen ? screen->RowSpan() : 0;
  v.canvasHeight = screen ? screen->Height() : 0;
  v.plotLeft = v.plotTop = kPlotOrigin;
  v.plotLeftX = v.plotTopY = kPlotOrigin;

  LoadEditorResources(*graphics);
  display->CreateTextLines();
}
