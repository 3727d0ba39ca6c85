// The editor's two control classes: the display over the whole window, and the invisible knobs of
// the panel (their pictures are painted by the display).
//
// Threads: the editor thread, called by the graphics object. Neither owns the instance state.
#pragma once

#include <memory>
#include <vector>

#include "editor/EditorViewState.h"
#include "graphics/IControl.h"

struct InstanceState;
struct TextLine;

// Paints the whole editor every frame and edits the curve with the mouse. Owns the display's view
// state, which the slot points to while the editor exists, and the buffers it points to (grid
// picture, text lines).
class IDrawControl : public IControl
{
public:
  // Rectangle (0, 0, 752, 576), no parameter. Points the slot's view at a zero-filled view state;
  // CreateEditor fills it in.
  IDrawControl(IPlugBase* plug, InstanceState* state);

  ~IDrawControl() override;
  void OnMouseDown(int x, int y, const IMouseState& mods) override;
  void OnMouseUp(int x, int y, const IMouseState& mods) override;
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mods) override;
  void OnMouseDoubleClick(int x, int y, const IMouseState& mods) override;
  void OnMouseOver(int x, int y, const IMouseState& mods) override;
  void OnMouseOut() override;
  void Draw(IGraphics* graphics) override;
  // Always: the display repaints on every redraw pass.
  bool IsDirty() override { return true; }

  // Sets the view state's text lines from the editor's fonts (after they are loaded).
  void CreateTextLines();
  // Draws the grid picture and lists its pixels for the blend, once, at the first frame: an
  // instance whose editor is never shown keeps none of the grid's 1.5 MB. Editor thread.
  void BuildGrid();

private:
  InstanceState* mState;
  EditorViewState mView{};
  std::vector<uint8_t> mGridPicture;
  std::vector<GridPixel> mGridPixels;
  TextLine* mLabelLine = nullptr;
  TextLine* mReadoutLine = nullptr;
  TextLine* mSpareLine = nullptr;
};

// A knob that only takes the mouse: dragging, prompt, double-click and wheel as IKnobControl; draws
// nothing.
class IKnobInvisibleControl : public IKnobControl
{
public:
  IKnobInvisibleControl(IPlugBase* plug, const IRECT& rect, int paramIdx, InstanceState* state,
                        int direction, double gearing);

  ~IKnobInvisibleControl() override {}
  void OnMouseDown(int x, int y, const IMouseState& mods) override;
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState& mods) override;
  void Draw(IGraphics*) override {}

private:
  InstanceState* mState; // not used by the knob itself
};
