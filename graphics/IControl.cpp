#include "graphics/IControl.h"

#include "core/IPlugBase.h"
#include "graphics/IGraphics.h"

IControl::IControl(IPlugBase* plug, const IRECT& rect, int paramIdx)
    : mPlug(plug), mRect(rect), mHitRect(rect), mParamIdx(paramIdx)
{
}

void IControl::OnMouseDown(int, int, const IMouseState& mods)
{
  if (mods.right) PromptUserInput();
}

void IControl::OnMouseUp(int, int, const IMouseState&) {}

void IControl::OnMouseDrag(int, int, int, int, const IMouseState&) {}

void IControl::OnMouseDoubleClick(int, int, const IMouseState&)
{
  if (mDefaultValue >= 0.0)
  {
    mValue = mDefaultValue;
    MarkDirty(true);
  }
}

void IControl::OnMouseWheel(int, int, const IMouseState& mods, int delta)
{
  const double step = mods.shift || mods.ctrl ? 0.001 : 0.01;
  mValue += delta * step;
  MarkDirty(true);
}

void IControl::OnMouseOver(int, int, const IMouseState&) {}

void IControl::OnMouseOut() {}

void IControl::SetValueFromPlugin(double value)
{
  if (mDefaultValue < 0.0)
    mValue = mDefaultValue =
        value; // the first pushed value becomes the double-click default, unclamped
  else if (value == mValue)
    return;
  else
    mValue = value;
  MarkDirty(false);
  mRedrawAgain = true;
}

void IControl::Hide(bool hide)
{
  mHidden = hide;
  mRedrawAgain = true;
  MarkDirty(false);
}

void IControl::GrayOut(bool gray)
{
  mGrayedOut = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y)
{
  if (mHitRect.Empty()) return false;
  return x >= mHitRect.L && x < mHitRect.R && y >= mHitRect.T && y < mHitRect.B;
}

void IControl::MarkDirty(bool pushToPlugin)
{
  // Written so that NaN also falls to the low bound.
  if (mValue >= mClampLow)
    mValue = mValue < mClampHigh ? mValue : mClampHigh;
  else
    mValue = mClampLow;
  mDirty = true;
  if (pushToPlugin && mPlug && mParamIdx >= 0) mPlug->SetParameterFromGUI(mParamIdx, mValue);
}

void IControl::MarkClean()
{
  mDirty = mRedrawAgain;
  mRedrawAgain = false;
}

void IControl::SetValueFromUser(double value)
{
  if (value == mValue) return;
  mValue = value;
  MarkDirty(true);
  mRedrawAgain = true;
}

void IControl::PromptUserInput()
{
  if (mParamIdx < 0 || !mPlug) return;
  IGraphics* graphics = mPlug->GetGUI();
  IParam* param = mPlug->GetParam(mParamIdx);
  if (!graphics || !param) return;
  graphics->PromptUserInput(this, param);
  mRedrawAgain = true;
}

IKnobControl::IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int direction,
                           double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, const IMouseState& mods)
{
  double gearing = mGearing;
  if (mods.shift || mods.ctrl) gearing *= 10.0;
  // Vertical: the denominator is negative, so moving up (dY < 0) raises the value.
  const double span = mDirection ? gearing * (mRect.R - mRect.L) : gearing * (mRect.T - mRect.B);
  // A zero span (flat rectangle or zero gearing) would turn the step into NaN or infinity and throw
  // the value to a bound; such a drag changes nothing.
  if (span != 0.0) mValue += (mDirection ? dX : dY) / span;
  MarkDirty(true);
}
