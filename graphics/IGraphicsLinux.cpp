#include "graphics/IGraphicsLinux.h"

#include <cstdint>

#include "core/IPlugBase.h"

#ifdef TARVEX_HAVE_X11
#include "graphics/linux/IGraphicsX11View.h"
#endif

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps)
{
}

IGraphicsLinux::~IGraphicsLinux()
{
  CloseView();
}

bool IGraphicsLinux::PresentToScreen(const IRECT& rect)
{
#ifdef TARVEX_HAVE_X11
  if (mView) return mView->Present(rect);
#else
  (void)rect;
#endif
  return false;
}

void IGraphicsLinux::PromptUserInput(IControl* control, IParam* param)
{
#ifdef TARVEX_HAVE_X11
  if (mView) mView->OpenPrompt(control, param);
#else
  (void)control;
  (void)param;
#endif
}

void* IGraphicsLinux::OpenCocoaView(void*)
{
  return nullptr;
}

void* IGraphicsLinux::OpenCarbonView(void*, void*)
{
  return nullptr;
}

void* IGraphicsLinux::OpenX11View(void* parentWindow)
{
#ifdef TARVEX_HAVE_X11
  // The factor decided since the last close (by ViewScale, or the view this one replaces) for the
  // host factor of now; 0 lets the view decide on its own connection.
  int scale = mView ? mView->Scale() : mNextScale;
  if (mNextScaleHostScale != HostScale()) scale = 0;
  delete mView;
  mView = nullptr; // the new view's first frame is drawn before it is known here
  const unsigned long window =
      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parentWindow));
  mView = IGraphicsX11View::Open(this, mPlug ? mPlug->GetMutex() : nullptr, window, scale);
  mNextScale = 0;
  mNextScaleHostScale = HostScale();
  return mView;
#else
  CloseView();
  (void)parentWindow;
  return nullptr;
#endif
}

void IGraphicsLinux::OnHostIdle()
{
#ifdef TARVEX_HAVE_X11
  if (mView) mView->Idle();
#endif
}

int IGraphicsLinux::ViewScale()
{
#ifdef TARVEX_HAVE_X11
  if (mView) return mView->Scale();
  if (mNextScale && mNextScaleHostScale == HostScale()) return mNextScale;
  bool settled = true;
  const int scale = IGraphicsX11View::PredictScale(HostScale(), &settled).mFactor;
  mNextScale = settled ? scale : 0;
  mNextScaleHostScale = HostScale();
  return scale;
#else
  return 1;
#endif
}

void IGraphicsLinux::CloseView()
{
#ifdef TARVEX_HAVE_X11
  delete mView; // frees its X resources
#endif
  mView = nullptr;
  mNextScale = 0; // the next opening decides afresh
}

LICE_IBitmap* IGraphicsLinux::LoadPlatformBitmap(int, const char* name)
{
  return LoadBitmapFromBundle(mBundleID.Get(), name);
}
