// macOS platform half of the graphics object: the Cocoa view (every build) and the Carbon view
// (32-bit builds only), the blit of the screen bitmap into the view's context and the bundle
// resource loader. Built only with Apple's SDK.
//
// Threads: the host's main thread, where both views run their events, timers and drawing.
#pragma once

#include "core/WDL_String.h"
#include "graphics/IGraphics.h"

class IGraphicsCarbon;

class IGraphicsMac : public IGraphics
{
public:
  IGraphicsMac(IPlugBase* plug, int width, int height, int fps);
  ~IGraphicsMac() override;

  // Draws the whole screen bitmap into the open view's current context; false without one.
  bool PresentToScreen(const IRECT& rect) override;
  void PromptUserInput(IControl* control, IParam* param) override;
  // Returns the new NSView (added to parentView when given).
  void* OpenCocoaView(void* parentView) override;
  // Returns the user-pane control (ControlRef); null in 64-bit builds, which have no Carbon.
  void* OpenCarbonView(void* window, void* parentControl) override;
  void CloseView() override;
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;

  void SetBundleID(const char* bundleID) { mBundleID.Set(bundleID ? bundleID : ""); }
  const char* GetBundleID() const { return mBundleID.Get(); }
  // The system version, 0x1050 for 10.5.0 and so on.
  int GetUserOSVersion();

  // Called by a Cocoa view that is taken out of its window before CloseView.
  void ForgetCocoaView() { mCocoaView = nullptr; }

protected:
  IGraphicsCarbon* mCarbonView = nullptr; // owned
  void* mCocoaView = nullptr;             // the Cocoa view object, retained while open
  WDL_String mBundleID;
};
