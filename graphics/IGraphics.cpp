#include "graphics/IGraphics.h"

#include "core/HostLayer.h"
#include "core/IParam.h"
#include "core/IPlugBase.h"
#include "graphics/IControl.h"
#include "graphics/LICE_Bitmap.h"

#include <cstdlib>

namespace
{
constexpr int kDefaultFPS = 24;
constexpr int kControlListGranularity = 4096; // bytes
} // namespace

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : mControls(kControlListGranularity), mPlug(plug), mWidth(width), mHeight(height),
      mFPS(fps < 1 ? kDefaultFPS : fps)
{
  mPendingCount = plug ? plug->NParams() : 0;
  if (mPendingCount > 0) mPendingValues.reset(new PendingValue[mPendingCount]);
}

void* IGraphics::OpenCarbonView(void*, void*)
{
  return nullptr;
}

void* IGraphics::OpenX11View(void*)
{
  return nullptr;
}

IGraphics::~IGraphics()
{
  mControls.Empty(true); // last attached first
  delete mDrawBitmap;
}

void IGraphics::PrepareDrawing()
{
  if (mDrawBitmap) return; // created once; a second call keeps the pixels the display already holds
  mDrawBitmap = new LICE_SysBitmap(mWidth, mHeight);
}

int IGraphics::AddControl(IControl* control)
{
  if (!control) return -1;
  if (!mControls.Add(control))
  {
    delete control;
    return -1;
  }
  return mControls.GetSize() - 1;
}

void IGraphics::SetRectDrivenDrawing(bool rectDriven)
{
  mRectDriven = rectDriven;
  MarkAllControlsDirty();
}

void IGraphics::MarkAllControlsDirty()
{
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->MarkDirty(false);
}

IBitmapRef IGraphics::LoadBitmapResource(int id, const char* name, int frames)
{
  bool cached = false;
  LICE_IBitmap* bitmap = LookupCachedBitmap(id, &cached);
  if (!cached)
  {
    bitmap = LoadPlatformBitmap(id, name);
    StoreCachedBitmap(bitmap, id); // a failure is remembered too, so it is not retried every call
  }
  // A missing picture yields an empty ref (null bitmap, 0 x 0); every user draws nothing for it.
  IBitmapRef ref;
  ref.mBitmap = bitmap;
  ref.mW = bitmap ? bitmap->Width() : 0;
  ref.mH = bitmap ? bitmap->Height() : 0;
  ref.mFrames = frames;
  return ref;
}

void IGraphics::SetParameterFromPlugin(int paramIdx, double value, bool normalized)
{
  if (paramIdx < 0 || paramIdx >= mPendingCount) return;
  if (!normalized)
  {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->ToNormalised(value);
  }
  PendingValue& slot = mPendingValues[paramIdx];
  slot.value.store(value, std::memory_order_relaxed);
  slot.pending.store(true, std::memory_order_release);
  mAnyPending.store(true, std::memory_order_release);
}

bool IGraphics::ApplyParameterValues()
{
  if (!mAnyPending.exchange(false, std::memory_order_acquire)) return false;
  bool moved = false;
  for (int paramIdx = 0; paramIdx < mPendingCount; ++paramIdx)
  {
    PendingValue& slot = mPendingValues[paramIdx];
    if (!slot.pending.exchange(false, std::memory_order_acquire)) continue;
    const double value = slot.value.load(std::memory_order_relaxed);
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
      IControl* control = mControls.Get(i);
      if (control->GetParamIdx() == paramIdx) control->SetValueFromPlugin(value);
    }
    moved = true;
  }
  return moved;
}

void IGraphics::ApplyPromptText(IControl* control, IParam* param, const char* text)
{
  if (!control || !param || !text) return;
  double value = 0.0;
  if (!ParamValueFromText(*param, text, &value)) return; // a typing slip changes nothing
  control->SetValueFromUser(param->ToNormalised(value));
}

int IGraphics::ControlIndexAt(int x, int y)
{
  if (mMouseCapture >= 0) return mMouseCapture;
  for (int i = mControls.GetSize() - 1; i >= 0; --i)
  {
    IControl* control = mControls.Get(i);
    if (!control->IsHidden() && !control->IsGrayed() && control->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseState& mods)
{
  ApplyParameterValues(); // a knob starts from the value the host set last, even between frames
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
  const int i = ControlIndexAt(x, y);
  IControl* control = mControls.Get(i);
  if (!control) return;
  mMouseCapture = i;
  mMouseX = x;
  mMouseY = y;
  control->OnMouseDown(x, y, mods);
  // The control may have rebound itself in OnMouseDown; the gesture is for the binding it has now.
  const int paramIdx = control->GetParamIdx();
  if (paramIdx >= 0 && mPlug)
  {
    // A press that follows a lost release first closes the gesture left open.
    if (mGestureParamIdx >= 0) mPlug->EndInformHostOfParamChange(mGestureParamIdx);
    mGestureParamIdx = paramIdx;
    mPlug->BeginInformHostOfParamChange(paramIdx);
  }
}

void IGraphics::OnMouseUp(int x, int y, const IMouseState& mods)
{
  const int i = ControlIndexAt(x, y); // before the capture is released: the pressed control gets it
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
  IControl* control = mControls.Get(i);
  if (control) control->OnMouseUp(x, y, mods);
  // Only a gesture that a press began is ended, and for the parameter it began with, even when the
  // control was rebound meanwhile or the release comes after a double-click that began none.
  if (mGestureParamIdx >= 0 && mPlug) mPlug->EndInformHostOfParamChange(mGestureParamIdx);
  mGestureParamIdx = -1;
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseState& mods)
{
  IControl* control = mControls.Get(mMouseCapture);
  if (!control) return;
  const int dX = x - mMouseX;
  const int dY = y - mMouseY;
  if (dX == 0 && dY == 0) return;
  mMouseX = x;
  mMouseY = y;
  control->OnMouseDrag(x, y, dX, dY, mods);
}

bool IGraphics::OnMouseDoubleClick(int x, int y, const IMouseState& mods)
{
  ApplyParameterValues();
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
  const int i = ControlIndexAt(x, y);
  IControl* control = mControls.Get(i);
  if (!control) return false;
  if (control->DoubleClickAsDown())
  {
    // Captured like a press, but no host gesture is begun.
    mMouseCapture = i;
    mMouseX = x;
    mMouseY = y;
    control->OnMouseDown(x, y, mods);
    return true;
  }
  control->OnMouseDoubleClick(x, y, mods);
  return false;
}

bool IGraphics::OnMouseOver(int x, int y, const IMouseState& mods)
{
  if (!mHandleMouseOver) return false;
  const int i = ControlIndexAt(x, y);
  IControl* control = mControls.Get(i);
  if (control)
  {
    mMouseX = x;
    mMouseY = y;
    control->OnMouseOver(x, y, mods);
    IControl* previous = mControls.Get(mMouseOver);
    if (previous && mMouseOver != i) previous->OnMouseOut();
    mMouseOver = i;
  }
  return mHandleMouseOver;
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseState& mods, int delta)
{
  ApplyParameterValues();
  IControl* control = mControls.Get(ControlIndexAt(x, y));
  if (control) control->OnMouseWheel(x, y, mods, delta);
}

bool IGraphics::CollectDirtyRect(IRECT* rect)
{
  if (!rect) return false;
  ApplyParameterValues();
  bool dirty = false;
  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* control = mControls.Get(i);
    if (control->IsDirty())
    {
      *rect = rect->Union(control->GetRect());
      dirty = true;
    }
  }
  return dirty;
}

bool IGraphics::Draw(const IRECT& rect)
{
  ApplyParameterValues();
  const int n = mControls.GetSize();
  if (n == 0) return true;

  if (mRectDriven)
  {
    mDrawRect = rect;
    for (int i = 0; i < n; ++i)
    {
      IControl* control = mControls.Get(i);
      if (!control->IsHidden() && rect.Intersects(control->GetRect())) control->Draw(this);
      control->MarkClean();
    }
  }
  else if (mControls.Get(0)->IsDirty())
  {
    mDrawRect = mControls.Get(0)->GetRect();
    for (int i = 0; i < n; ++i)
    {
      IControl* control = mControls.Get(i);
      if (i == 0 || !control->IsHidden())
      {
        control->Draw(this);
        control->MarkClean();
      }
    }
  }
  else
  {
    for (int i = 1; i < n; ++i)
    {
      IControl* dirty = mControls.Get(i);
      if (!dirty->IsDirty()) continue;
      mDrawRect = dirty->GetRect();
      for (int j = 0; j < n; ++j)
      {
        IControl* control = mControls.Get(j);
        if (!control->IsHidden() && (j == i || control->GetRect().Intersects(mDrawRect)))
          control->Draw(this);
      }
      dirty->MarkClean(); // controls drawn only because they overlap stay as they were
    }
  }
  return PresentToScreen(rect);
}
