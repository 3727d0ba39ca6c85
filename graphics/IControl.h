// Controls: rectangles of the editor that draw into the screen bitmap, take mouse events and may be
// bound to one plug-in parameter by index.
//
// Threads: the editor's thread. SetValueFromPlugin may also arrive from the plug-in core while the
// host changes a parameter; a control takes no lock. Values are normalised (0 to 1); every change
// of mValue goes through MarkDirty, which clamps it.
#pragma once

#include "graphics/IGraphicsStructs.h"

class IGraphics;
class IPlugBase;

class IControl
{
public:
  // plug is not owned and may be null (the control then never pushes values nor prompts).
  IControl(IPlugBase* plug, const IRECT& rect, int paramIdx = -1);

  // ---- virtual operations, in slot order ----
  virtual ~IControl() {}
  // Base: a right click opens the text prompt for the bound parameter.
  virtual void OnMouseDown(int x, int y, const IMouseState& mods);
  virtual void OnMouseUp(int x, int y, const IMouseState& mods);
  virtual void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mods);
  // Base: restores the default value (the first value the plug-in pushed), if there is one.
  virtual void OnMouseDoubleClick(int x, int y, const IMouseState& mods);
  // Base: steps the value by delta x 0.01 (x 0.001 with shift or ctrl), clamps and pushes it.
  virtual void OnMouseWheel(int x, int y, const IMouseState& mods, int delta);
  virtual void OnMouseOver(int x, int y, const IMouseState& mods);
  virtual void OnMouseOut();
  // Draws into graphics->GetDrawBitmap().
  virtual void Draw(IGraphics* graphics) = 0;
  virtual void SetValueFromPlugin(double value);
  virtual void Hide(bool hide);
  virtual void GrayOut(bool gray);
  virtual bool HitTest(int x, int y);
  // Clamps the value and marks the control for drawing; with pushToPlugin a bound control sends its
  // value to the plug-in (SetParameterFromGUI).
  virtual void MarkDirty(bool pushToPlugin = true);
  // Dirty stays set for one more pass when mRedrawAgain was set.
  virtual void MarkClean();
  virtual bool IsDirty() { return mDirty; }

  // A user edit: ignored when equal to the current value (compared before clamping).
  void SetValueFromUser(double value);
  // Asks the graphics object to open a text prompt for the bound parameter.
  void PromptUserInput();

  int GetParamIdx() const { return mParamIdx; }
  void SetParamIdx(int paramIdx) { mParamIdx = paramIdx; }
  const IRECT& GetRect() const { return mRect; }
  const IRECT& GetHitRect() const { return mHitRect; }
  double GetValue() const { return mValue; }
  double GetDefaultValue() const { return mDefaultValue; }
  // The value a double-click restores (negative: none).
  void SetDefaultValue(double value) { mDefaultValue = value; }
  bool IsHidden() const { return mHidden; }
  bool IsGrayed() const { return mGrayedOut; }
  bool DoubleClickAsDown() const { return mDoubleClickAsDown; }
  void SetDoubleClickAsDown(bool asDown) { mDoubleClickAsDown = asDown; }
  void SetRedrawAgain() { mRedrawAgain = true; }
  void SetClamp(double low, double high)
  {
    mClampLow = low;
    mClampHigh = high;
  }
  const IChannelBlend& GetBlend() const { return mBlend; }
  IPlugBase* GetPlug() const { return mPlug; }

protected:
  IPlugBase* mPlug;
  IRECT mRect;
  IRECT mHitRect;
  int mParamIdx;
  double mValue = 0.0;
  double mDefaultValue = -1.0; // negative: none known yet
  double mClampLow = 0.0;
  double mClampHigh = 1.0;
  bool mDirty = true;
  bool mHidden = false;
  bool mGrayedOut = false;
  bool mRedrawAgain = false;
  bool mDoubleClickAsDown = false;
  IChannelBlend mBlend;
};

// Drag-to-turn control. direction 0: vertical (up raises the value), otherwise horizontal. gearing:
// how many control heights (or widths) a drag must cover to sweep the whole range; x10 with shift
// or ctrl.
class IKnobControl : public IControl
{
public:
  IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int direction = 0,
               double gearing = 4.0);

  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mods) override;
  // Invisible by default; product controls paint themselves.
  void Draw(IGraphics*) override {}

  int GetDirection() const { return mDirection; }
  double GetGearing() const { return mGearing; }

protected:
  int mDirection;
  double mGearing;
};
