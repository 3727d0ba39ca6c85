// Linux platform half of the graphics object. Resource pictures come from the bundle named by
// mBundleID; there are no views yet, so the view operations answer "no view".
#pragma once

#include "core/WDL_String.h"
#include "graphics/IGraphics.h"

class IGraphicsLinux : public IGraphics
{
public:
  IGraphicsLinux(IPlugBase* plug, int width, int height, int fps);
  ~IGraphicsLinux() override;

  // No view: nothing to present to, false.
  bool PresentToScreen(const IRECT& rect) override;
  // No view to host the prompt: nothing happens.
  void PromptUserInput(IControl* control, IParam* param) override;
  void* OpenCocoaView(void* parentView) override;
  void* OpenCarbonView(void* window, void* parentControl) override;
  void CloseView() override;
  // Ignores id; LoadBitmapFromBundle(mBundleID, name).
  LICE_IBitmap* LoadPlatformBitmap(int id, const char* name) override;

  // Reverse-DNS identifier of the bundle holding the pictures (kTarvexVstBundleID for the VST
  // build).
  void SetBundleID(const char* bundleID) { mBundleID.Set(bundleID ? bundleID : ""); }
  const char* GetBundleID() const { return mBundleID.Get(); }

protected:
  void* mView = nullptr; // the open view; always null until Linux views exist
  WDL_String mBundleID;
};
