// Linux platform half of the graphics object. Resource pictures come from the bundle named by
// mBundleID; the editor opens as an X11 child window of the host's parent window (OpenX11View),
// when the build has X11. There are no Cocoa or Carbon views here.
//
// Threads: the view entries (OpenX11View, OnHostIdle, CloseView) run on the editor's thread, the
// host's GUI thread, with no plug-in lock held; see IGraphicsX11View.
#pragma once

#include "core/WDL_String.h"
#include "graphics/IGraphics.h"

class IGraphicsX11View;

class IGraphicsLinux : public IGraphics
{
public:
  IGraphicsLinux(IPlugBase* plug, int width, int height, int fps);
  ~IGraphicsLinux() override;

  // Copies the screen bitmap for the open view; false without one.
  bool PresentToScreen(const IRECT& rect) override;
  // Opens the view's text prompt; nothing happens without a view.
  void PromptUserInput(IControl* control, IParam* param) override;
  void* OpenCocoaView(void* parentView) override;
  void* OpenCarbonView(void* window, void* parentControl) override;
  void CloseView() override;
  // Ignores id; LoadBitmapFromBundle(mBundleID, name).
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;
  // parentWindow: the X11 Window id the host hands to effEditOpen. Closes any open view first;
  // returns the view, or null when none could be opened (no display, no such window, no X11).
  void* OpenX11View(void* parentWindow) override;
  // Events and a due frame of the open view; nothing without one.
  void OnHostIdle() override;
  // The open view's factor. With none open, the factor is decided once per opening, here or by
  // OpenX11View, whichever comes first, and kept until the view closes: so the size a host asks
  // for before opening (VST effEditGetRect) is the size of the window that opens. Deciding may
  // connect to the display for its Xft.dpi; a display that cannot be reached decides nothing yet
  // (the answer is 1 until it can). A new host factor (SetHostScale) is decided afresh. 1 without
  // X11.
  int ViewScale() override;

  // Reverse-DNS identifier of the bundle holding the pictures (kTarvexVstBundleID for the VST
  // build).
  void SetBundleID(const char* bundleID) { mBundleID.Set(bundleID ? bundleID : ""); }
  const char* GetBundleID() const { return mBundleID.Get(); }
  IGraphicsX11View* GetX11View() const { return mView; }

protected:
  IGraphicsX11View* mView = nullptr; // the open view, owned; null when none is open
  // The factor decided for the next opening (0: none yet) and the host factor it was decided with.
  int mNextScale = 0;
  double mNextScaleHostScale = 0.0;
  WDL_String mBundleID;
};
