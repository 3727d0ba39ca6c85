// A small VST plug-in for the view tests: four parameters and a graphics object with a drawn
// background, three knobs and a control that counts double-clicks into a parameter. Built as its
// own bundle from the VST wrapper, so the tests drive the view through the VST ABI as a host does.
#include <cstring>

#include "graphics/IControl.h"
#include "graphics/IGraphicsLinux.h"
#include "graphics/LICE_Bitmap.h"
#include "tests/graphics/x11/ViewTestPicture.h"
#include "vst/IPlugVST.h"

#define VIEWTEST_EXPORT extern "C" __attribute__((visibility("default")))

using namespace viewtest;

namespace
{
void FillRect(IGraphics* graphics, const IRECT& area, uint32_t (*pixel)(int, int, const void*),
              const void* context)
{
  LICE_IBitmap* bitmap = graphics->GetDrawBitmap();
  unsigned char* pixels = bitmap ? bitmap->PixelData() : nullptr;
  if (!pixels) return;
  const int l = area.L < 0 ? 0 : area.L, t = area.T < 0 ? 0 : area.T;
  const int r = area.R > bitmap->Width() ? bitmap->Width() : area.R;
  const int b = area.B > bitmap->Height() ? bitmap->Height() : area.B;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
    {
      const uint32_t rgb = pixel(x, y, context);
      unsigned char* p = pixels + 4 * (static_cast<size_t>(y) * bitmap->RowSpan() + x);
      p[LICE_PIXEL_A] = 255;
      p[LICE_PIXEL_R] = static_cast<unsigned char>(rgb >> 16);
      p[LICE_PIXEL_G] = static_cast<unsigned char>(rgb >> 8);
      p[LICE_PIXEL_B] = static_cast<unsigned char>(rgb);
    }
}

class Background : public IControl
{
public:
  Background(IPlugBase* plug) : IControl(plug, IRECT(0, 0, kWidth, kHeight)) {}
  void Draw(IGraphics* graphics) override
  {
    FillRect(
        graphics, graphics->GetDrawRect(),
        [](int x, int y, const void*) { return BackgroundPixel(x, y); }, nullptr);
  }
};

// A knob drawn as one colour from its value.
class Knob : public IKnobControl
{
public:
  Knob(IPlugBase* plug, const IRECT& rect, int paramIdx, uint32_t red)
      : IKnobControl(plug, rect, paramIdx, 0, 4.0), mRed(red)
  {
  }
  void Draw(IGraphics* graphics) override
  {
    const uint32_t rgb = ValuePixel(mValue, mRed);
    FillRect(
        graphics, mRect, [](int, int, const void* c) { return *static_cast<const uint32_t*>(c); },
        &rgb);
  }

private:
  uint32_t mRed;
};

// Counts double-clicks into its parameter (one step each), so the host can read them.
class ClickRecorder : public Knob
{
public:
  using Knob::Knob;
  void OnMouseDoubleClick(int, int, const IMouseState&) override
  {
    IParam* param = mPlug->GetParam(mParamIdx);
    SetValueFromUser(param->ToNormalised(param->mValue + 1.0));
  }
  void OnMouseDrag(int, int, int, int, const IMouseState&) override {}
  // Pointer moves without a button report where they are.
  void OnMouseOver(int x, int, const IMouseState&) override
  {
    mPlug->SetParameterFromGUI(kParamHover,
                               mPlug->GetParam(kParamHover)->ToNormalised(x - mRect.L));
  }
};

class ViewTestPlug : public IPlugVST
{
public:
  explicit ViewTestPlug(audioMasterCallback callback)
      : IPlugVST(InstanceInfo{callback}, kNumParams, "1-1 2-2", 1, "ViewTest", "ViewTest",
                 "Tarvex tests", 0x10000, 0x56774774, 0x54727678, 0, 0, false, false)
  {
    WDL_MutexLock lock(&mMutex);
    GetParam(kParamKnob)->SetupContinuous("Knob", 5.0, 0.0, 10.0, 0.01);
    GetParam(kParamKnob)->mDisplayPrecision = 2;
    IParam* mode = GetParam(kParamMode);
    mode->SetupInteger("Mode", 1, 0, 2);
    mode->mType = IParam::kTypeEnum;
    mode->AddValueText(0, "low");
    mode->AddValueText(1, "mid");
    mode->AddValueText(2, "high");
    GetParam(kParamClicks)->SetupInteger("Clicks", 0, 0, 1000);
    GetParam(kParamGain)->SetupContinuous("Gain", 0.0, -24.0, 24.0, 0.01, "dB");
    GetParam(kParamGain)->mDisplayPrecision = 2;
    GetParam(kParamHover)->SetupInteger("Hover", 0, 0, 1000);

#ifndef VIEWTEST_NO_EDITOR
    IGraphicsLinux* graphics = new IGraphicsLinux(this, kWidth, kHeight, 60);
    graphics->SetHandleMouseOver(true);
    graphics->AddControl(new Background(this));
    graphics->AddControl(new Knob(this, KnobRect(), kParamKnob, 0x20));
    graphics->AddControl(new Knob(this, ModeRect(), kParamMode, 0x40));
    graphics->AddControl(new ClickRecorder(this, RecorderRect(), kParamClicks, 0x60));
    graphics->AddControl(new Knob(this, GainRect(), kParamGain, 0x80));
    AdoptGraphics(graphics);
#endif
  }
};
} // namespace

VIEWTEST_EXPORT AEffect* VSTPluginMain(audioMasterCallback callback)
{
  ViewTestPlug* plug = new ViewTestPlug(callback);
  plug->EnsureOnePreset();
  return plug->GetAEffect();
}
