#include "editor/Panel.h"

#include <cmath>
#include <cstdio>

#include "core/IParam.h"
#include "core/IPlugBase.h"
#include "editor/BitmapFont.h"
#include "editor/Display.h"
#include "editor/EditorViewState.h"
#include "editor/Raster.h"
#include "engine/InstanceState.h"
#include "engine/TarvexParams.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE_Bitmap.h"

const KnobLayout kKnobLayout[kPanelControlCount - 1] = {
    {kControlBandGain, kParamBandGain, 584, 76},
    {kControlBandFreq, kParamBandFreq, 648, 76},
    {kControlBandSlope, kParamBandSlope, 712, 76},
    {kControlColour, kParamColour, 584, 506},
    {kControlColourGain, kParamColourGain, 648, 506},
    {kControlTranspose, kParamTranspose, 584, 162},
    {kControlOverallGain, kParamOverallGain, 648, 162},
    {kControlGainScale, kParamGainScale, 712, 162},
    {kControlResolution, kParamResolution, 584, 248},
    {kControlInputBufferSize, kParamInputBufferSize, 648, 248},
    {kControlLimiter, kParamLimiter, 584, 334},
};

int ControlParam(int control, int band)
{
  if (control <= kControlDisplay || control >= kPanelControlCount) return -1;
  const int param = kKnobLayout[control - 1].paramIdx;
  return control <= kControlBandSlope ? param + band : param;
}

namespace
{
constexpr uint32_t kLightTint = 0xFFF0C0FFu;   // red 192, green 240, blue 255
constexpr uint32_t kVersionGrey = 0x989898FFu; // red, green and blue 0x98
constexpr const char* kSchemeNames[4] = {"RGB", "CMY", "CMYW", "RGBW"};

RasterCanvas CanvasOf(const EditorViewState& v)
{
  return RasterCanvas{v.canvasPixels, v.canvasWidth, v.canvasHeight};
}

bool HasPixels(const IBitmapRef& ref)
{
  return ref.mBitmap && ref.mBitmap->PixelData() && ref.mW > 0 && ref.mH > 0;
}

// Frame k of the knob strip, centred at (x, y), added to the canvas.
void DrawKnobFrame(const EditorViewState& v, double normalised, int32_t x, int32_t y)
{
  const EditorResources& r = TheEditorResources();
  if (!HasPixels(r.knobStrip) || r.knobFrameHeight <= 0) return;
  LICE_IBitmap* strip = r.knobStrip.mBitmap;
  const int32_t span = strip->RowSpan();
  const uint8_t* frame = strip->PixelData() +
                         static_cast<size_t>(KnobFrame(normalised)) * r.knobFrameHeight * span * 4;
  BlitImage(CanvasOf(v), frame, r.knobStrip.mW, r.knobFrameHeight, span, x, y, kBlitAdditive);
}

BitmapFont* BuildFont(IGraphics& g, int glyphId, const char* glyphName, int limitsId,
                      const char* limitsName, int spacing)
{
  IBitmapRef limits = g.LoadBitmapResource(limitsId, limitsName, 1);
  IBitmapRef glyphs = g.LoadBitmapResource(glyphId, glyphName, 1);
  return BuildBitmapFontFromSheets(glyphs.mBitmap, limits.mBitmap, spacing);
}

double ParamValue(const IPlugBase* plug, int index)
{
  const IParam* p = plug ? plug->GetParam(index) : nullptr;
  return p ? p->Value() : 0.0;
}

double ParamNormalised(const IPlugBase* plug, int index)
{
  const IParam* p = plug ? plug->GetParam(index) : nullptr;
  return p ? p->ToNormalised() : 0.0;
}
} // namespace

EditorResources& TheEditorResources()
{
  static EditorResources resources{}; // process-wide, never freed
  return resources;
}

void LoadEditorResources(IGraphics& g)
{
  EditorResources& r = TheEditorResources();
  if (!r.font10)
    r.font10 = BuildFont(g, 100, "img/font/font10.png", 101, "img/font/font10_limits.png", -2);
  if (!r.font11)
    r.font11 = BuildFont(g, 102, "img/font/font11.png", 103, "img/font/font11_limits.png", -3);
  if (!r.font12)
    r.font12 = BuildFont(g, 104, "img/font/font12.png", 105, "img/font/font12_limits.png", -3);
  if (!r.knobLoaded)
  {
    r.knobStrip = g.LoadBitmapResource(106, "img/black_knob.png", 1);
    r.knobFrameHeight = r.knobStrip.mH / kKnobStripFrames;
    r.knobLoaded = HasPixels(r.knobStrip);
  }
  if (!r.backgroundLoaded)
  {
    r.background = g.LoadBitmapResource(107, "img/layoutfree.png", 1);
    r.backgroundLoaded = HasPixels(r.background);
    if (r.backgroundLoaded && r.font12 && r.background.mW == kEditorWidth &&
        r.background.mH == kEditorHeight && r.background.mBitmap->RowSpan() == kEditorWidth)
    {
      TextLine stamp{};
      stamp.font = r.font12;
      stamp.x = 749;
      stamp.y = 561;
      stamp.flags = kTextAlignRight;
      SetTextLineText(&stamp, kVersionStamp);
      DrawTextLine(&stamp, r.background.mBitmap->PixelData(), kVersionGrey, kEditorWidth,
                   kEditorHeight);
    }
  }
  if (!r.buttonLoaded)
  {
    r.button = g.LoadBitmapResource(108, "img/button.png", 2);
    r.buttonFrameHeight = r.button.mH / 2;
    r.buttonLoaded = HasPixels(r.button);
  }
  if (!r.lightLoaded)
  {
    r.light = g.LoadBitmapResource(109, "img/light.png", 1);
    r.lightLoaded = HasPixels(r.light);
  }
}

int32_t KnobFrame(double normalised)
{
  const double k = std::trunc(normalised * (kKnobStripFrames - 1) + 0.5);
  if (!(k > 0.0)) return 0;
  return k > kKnobStripFrames - 1 ? kKnobStripFrames - 1 : static_cast<int32_t>(k);
}

void FormatReadout(int paramIdx, double value, char* text, int capacity)
{
  if (paramIdx == kParamColour)
  {
    const double t = std::trunc(value);
    const int scheme = t >= 0.0 && t <= 3.0 ? static_cast<int>(t) : 0;
    std::snprintf(text, capacity, "%s", kSchemeNames[scheme]);
    return;
  }
  const double m = std::fabs(value);
  std::snprintf(text, capacity, m >= 0.999 || value == 0.0 ? "%.1f" : "%.2f", value);
}

void DrawReadout(InstanceState& s, int paramIdx, int slot)
{
  EditorViewState& v = *s.view;
  const ControlPosition& at = v.controlPositions[slot];
  if (TextLine* line = v.readoutLine)
  {
    line->x = at.x[0];
    line->y = at.y[0] - 4;
    FormatReadout(paramIdx, ParamValue(s.plug, paramIdx), line->text, kTextLineCapacity);
    DrawTextLine(line, v.canvasPixels, kReadoutColour, v.canvasWidth, v.canvasHeight);
  }
  DrawKnobFrame(v, ParamNormalised(s.plug, paramIdx), at.x[0], at.y[0]);
}

void DrawPanel(InstanceState& s)
{
  EditorViewState& v = *s.view;
  const EditorResources& r = TheEditorResources();
  const RasterCanvas canvas = CanvasOf(v);
  if (HasPixels(r.background))
    BlitImage(canvas, r.background.mBitmap->PixelData(), r.background.mW, r.background.mH,
              r.background.mBitmap->RowSpan(), 0, 0, kBlitAlphaBlend | kBlitTopLeft);

  // The global knobs' readouts, in layout order; the band knobs' follow below.
  for (const KnobLayout& knob : kKnobLayout)
    if (knob.control > kControlBandSlope) DrawReadout(s, knob.paramIdx, knob.control);

  // Limiter light: raised by the audio thread, decayed here by 10 % per frame.
  double light;
  __atomic_load(&s.limiterLight, &light, __ATOMIC_RELAXED);
  if (light > 0.0)
  {
    if (light > 1.0) light = 1.0;
    const ControlPosition& at = v.controlPositions[kControlLimiter];
    if (HasPixels(r.light))
      BlitImageAddTinted(canvas, r.light.mBitmap->PixelData(), r.light.mW, r.light.mH,
                         r.light.mBitmap->RowSpan(), at.x[0], at.y[0], 0, kLightTint, light);
    light *= 0.9;
    if (light < 1e-6) light = 0.0;
    __atomic_store(&s.limiterLight, &light, __ATOMIC_RELAXED);
  }

  // The selected band: readouts only while it is on, knob frames always.
  const int band = s.selectedBand >= 0 && s.selectedBand < kBandCount ? s.selectedBand : 0;
  const int params[3] = {ControlParam(kControlBandGain, band), ControlParam(kControlBandFreq, band),
                         ControlParam(kControlBandSlope, band)};
  const ControlPosition& knobs = v.controlPositions[0];
  if (ParamValue(s.plug, kParamBandOn + band) >= 0.5 && v.readoutLine)
  {
    char text[3][32];
    const double g = DbFromCurveDb(ParamValue(s.plug, params[0]));
    if (g > -160.0)
      std::snprintf(text[0], sizeof(text[0]), "%.1f", g);
    else
      std::snprintf(text[0], sizeof(text[0]), "-INF");
    std::snprintf(text[1], sizeof(text[1]), "%.0f", ParamValue(s.plug, params[1]));
    const double slope = ParamValue(s.plug, params[2]);
    std::snprintf(text[2], sizeof(text[2]), std::fabs(slope) >= 99.95 ? "%.0f" : "%.1f", slope);
    for (int i = 0; i < 3; ++i)
    {
      v.readoutLine->x = knobs.x[i];
      v.readoutLine->y = knobs.y[i] - 4;
      SetTextLineText(v.readoutLine, text[i]);
      DrawTextLine(v.readoutLine, v.canvasPixels, kReadoutColour, v.canvasWidth, v.canvasHeight);
    }
  }
  for (int i = 0; i < 3; ++i)
    DrawKnobFrame(v, ParamNormalised(s.plug, params[i]), knobs.x[i], knobs.y[i]);
}
