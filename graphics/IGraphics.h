// The editor's graphics object: owns the controls and the screen bitmap, dispatches mouse events to
// controls, decides what to redraw, and carries parameter values between controls and the plug-in.
// It knows no window; the platform half (IGraphicsLinux, IGraphicsMac) adds views and resource
// loading.
//
// Threads: every entry runs on the editor's thread (the host's GUI thread, which lends it to the
// view through timers or idle calls), except SetParameterFromPlugin, which any thread may call
// (host automation, preset loads, the engine on the audio thread): it only leaves the value for the
// editor's thread, which moves it into the controls at its next redraw pass. So no control is ever
// touched off the editor's thread. No lock of its own. Ownership: owns its controls (deleted last
// attached first) and its screen bitmap; not the plug-in.
#pragma once

#include <atomic>
#include <memory>

#include "core/WDL_PtrList.h"
#include "graphics/IGraphicsStructs.h"
#include "graphics/LICE_Resources.h"

class IControl;
class IParam;
class IPlugBase;
class LICE_IBitmap;
class LICE_SysBitmap;

class IGraphics
{
public:
  // fps below 1 becomes 24.
  IGraphics(IPlugBase* plug, int width, int height, int fps);

  // ---- virtual operations, in slot order ----
  // Copies the screen bitmap to the open view; false when there is none.
  virtual bool PresentToScreen(const IRECT& rect) = 0;
  // Opens a text entry (or list) for param over control; nothing when no view is open.
  virtual void PromptUserInput(IControl* control, IParam* param) = 0;
  virtual void* OpenCocoaView(void* parentView) = 0;
  virtual void* OpenCarbonView(void* window, void* parentControl);
  virtual void CloseView() = 0;
  virtual ~IGraphics();
  // Decodes the named picture resource; the caller owns the result, null on failure.
  virtual LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) = 0;
  // X11 hosts: opens the editor as a child of the Window whose id is parentWindow; returns the
  // view, or null. Base: no X11 view.
  virtual void* OpenX11View(void* parentWindow);
  // The host's idle call for the editor (X11 hosts), on the editor's thread with no plug-in lock
  // held: the open view handles its window events and draws a frame when one is due. Base: nothing.
  virtual void OnHostIdle() {}
  // Window pixels per editor pixel along each axis: the open view's factor, else the one the next
  // opening will take (the window is Width() x Height() times it). Hosts size their window from
  // it before opening (VST effEditGetRect). Editor's thread. Base: 1 (views whose window system
  // scales for them).
  virtual int ViewScale() { return 1; }

  // ---- set-up ----
  // Creates the screen bitmap (width x height); called once when the plug-in adopts the graphics.
  void PrepareDrawing();
  // Takes ownership; returns the control's index (the first added is the background), -1 for null.
  int AddControl(IControl* control);
  IControl* GetControl(int index) const { return mControls.Get(index); }
  int NControls() const { return mControls.GetSize(); }
  void SetRectDrivenDrawing(bool rectDriven);
  void MarkAllControlsDirty();
  void SetHandleMouseOver(bool handle) { mHandleMouseOver = handle; }

  // The host's scale factor for the editor (LV2 ui:scaleFactor; a CLAP host's set_scale), before
  // opening: it applies from the next opening and comes before every other source (see
  // ChooseViewScale in IGraphicsView.h). 0, a negative value or NaN: the host gives none (the
  // default). Editor's thread.
  void SetHostScale(double factor) { mHostScale = factor > 0.0 ? factor : 0.0; }
  double HostScale() const { return mHostScale; }

  // Resource bitmap by id through the process-wide cache; a resource that fails to load is cached
  // as null and gives a ref with a null bitmap and zero size, for which users draw nothing.
  IBitmapRef LoadBitmapResource(int id, const char* name, int frames = 1);

  // ---- parameter flow ----
  // Any thread, lock-free, no allocation: every control bound to paramIdx is to take the value
  // (converted to normalised first when normalized is false) at the editor thread's next
  // ApplyParameterValues. A later value for the same parameter replaces an earlier one.
  void SetParameterFromPlugin(int paramIdx, double value, bool normalized);
  // Editor thread: moves the values left by SetParameterFromPlugin into their controls. Every
  // redraw pass does this first (CollectDirtyRect and Draw), and so do a press, a double-click and
  // a wheel turn, so a knob never starts from a value the host has replaced. True when any value
  // was moved.
  bool ApplyParameterValues();
  // Text typed into a prompt: a display text of param, else a leading number in param's units
  // (ParamValueFromText); text without a number changes nothing.
  void ApplyPromptText(IControl* control, IParam* param, const char* text);

  // ---- mouse dispatch (editor coordinates) ----
  void OnMouseDown(int x, int y, const IMouseState& mods);
  void OnMouseUp(int x, int y, const IMouseState& mods);
  void OnMouseDrag(int x, int y, const IMouseState& mods);
  bool OnMouseDoubleClick(int x, int y, const IMouseState& mods);
  bool OnMouseOver(int x, int y, const IMouseState& mods);
  void OnMouseWheel(int x, int y, const IMouseState& mods, int delta);
  // The captured control, else the topmost visible, enabled control hit at (x, y), else -1.
  int ControlIndexAt(int x, int y);

  // ---- drawing ----
  // Unites *rect with the rectangle of every dirty control; true when any was dirty.
  bool CollectDirtyRect(IRECT* rect);
  // One redraw pass, then PresentToScreen(rect). True without drawing when there are no controls.
  bool Draw(const IRECT& rect);

  // ---- accessors ----
  LICE_SysBitmap* GetDrawBitmap() const { return mDrawBitmap; }
  const IRECT& GetDrawRect() const { return mDrawRect; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPlugBase* GetPlug() const { return mPlug; }
  int GetMouseCapture() const { return mMouseCapture; }
  int GetMouseOver() const { return mMouseOver; }
  int GetMouseX() const { return mMouseX; }
  int GetMouseY() const { return mMouseY; }
  bool HandlesMouseOver() const { return mHandleMouseOver; }
  bool IsRectDriven() const { return mRectDriven; }

protected:
  WDL_PtrList<IControl> mControls;
  IPlugBase* mPlug;
  IRECT mDrawRect;
  LICE_SysBitmap* mDrawBitmap = nullptr;
  int mWidth, mHeight;
  int mFPS;
  int mMouseCapture = -1;
  int mMouseOver = -1;
  int mMouseX = 0, mMouseY = 0;
  bool mHandleMouseOver = false;
  bool mRectDriven = true;
  double mHostScale = 0.0; // 0: the host gives none
  // Parameter whose host gesture the last press began, -1 for none; the release ends exactly that
  // one.
  int mGestureParamIdx = -1;

private:
  // Values from SetParameterFromPlugin waiting for the editor thread, one slot per parameter of the
  // plug-in at construction: the normalised value, then its flag (release), read in the opposite
  // order (acquire).
  struct PendingValue
  {
    std::atomic<double> value{0.0};
    std::atomic<bool> pending{false};
  };
  std::unique_ptr<PendingValue[]> mPendingValues;
  int mPendingCount = 0;
  std::atomic<bool> mAnyPending{false};
};
