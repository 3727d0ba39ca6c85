#include "editor/EditorControls.h"

#include "editor/BitmapFont.h"
#include "editor/CurveEditing.h"
#include "editor/Display.h"
#include "editor/Panel.h"
#include "engine/InstanceState.h"

IDrawControl::IDrawControl(IPlugBase* plug, InstanceState* state)
    : IControl(plug, IRECT(0, 0, kEditorWidth, kEditorHeight), -1), mState(state)
{
  if (mState) mState->view = &mView;
}

IDrawControl::~IDrawControl()
{
  // The slot may already belong to another instance: only the buffers are released here.
  FreeTextLine(mLabelLine);
  FreeTextLine(mReadoutLine);
  FreeTextLine(mSpareLine);
}

void IDrawControl::CreateTextLines()
{
  if (!mState) return;
  const EditorResources& r = TheEditorResources();
  FreeTextLine(mLabelLine);
  FreeTextLine(mReadoutLine);
  FreeTextLine(mSpareLine);
  mLabelLine = CreateTextLine(r.font12, 230, 16, kTextAlignLeft);
  mSpareLine = CreateTextLine(r.font12, 0, 0, 0);
  mReadoutLine = CreateTextLine(r.font11, 0, 0, 0);
  mView.labelLine = mLabelLine;
  mView.readoutLine = mReadoutLine;
  mView.spareLine = mSpareLine;
}

void IDrawControl::BuildGrid()
{
  if (!mState || !mGridPicture.empty()) return;
  EditorViewState& v = mView;
  mGridPicture.assign(static_cast<size_t>(kPlotSize) * kPlotSize * 4, 0);
  v.gridPicture = mGridPicture.data();
  BuildGridPicture(v);
  mGridPixels.assign(static_cast<size_t>(CountGridPixels(v)), GridPixel{});
  ListGridPixels(v, mGridPixels.data());
  v.gridPixels = mGridPixels.data();
  v.gridPixelCount = static_cast<int32_t>(mGridPixels.size());
}

void IDrawControl::OnMouseDown(int x, int y, const IMouseState&)
{
  if (mState) PressInPlot(*mState, x, y);
}

void IDrawControl::OnMouseUp(int, int, const IMouseState&)
{
  if (mState) ReleaseInPlot(*mState);
}

void IDrawControl::OnMouseDrag(int x, int y, int, int, const IMouseState&)
{
  if (mState) DragInPlot(*mState, x, y);
}

void IDrawControl::OnMouseDoubleClick(int x, int y, const IMouseState&)
{
  if (mState) DoubleClickInPlot(*mState, x, y);
}

void IDrawControl::OnMouseOver(int x, int y, const IMouseState&)
{
  if (mState) HoverInPlot(*mState, x, y);
}

void IDrawControl::OnMouseOut()
{
  if (mState) LeavePlot(*mState);
}

void IDrawControl::Draw(IGraphics*)
{
  if (!mState) return;
  BuildGrid(); // first frame only
  DrawDisplayFrame(*mState);
}

IKnobInvisibleControl::IKnobInvisibleControl(IPlugBase* plug, const IRECT& rect, int paramIdx,
                                             InstanceState* state, int direction, double gearing)
    : IKnobControl(plug, rect, paramIdx, direction, gearing), mState(state)
{
}

void IKnobInvisibleControl::OnMouseDown(int x, int y, const IMouseState& mods)
{
  IKnobControl::OnMouseDown(x, y, mods);
}

void IKnobInvisibleControl::OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mods)
{
  IKnobControl::OnMouseDrag(x, y, dX, dY, mods);
}
