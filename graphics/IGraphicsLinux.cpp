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
  CloseView();
#ifdef TARVEX_HAVE_X11
  const unsigned long window =
      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parentWindow));
  mView = IGraphicsX11View::Open(this, mPlug ? mPlug->GetMutex() : nullptr, window);
  return mView;
#else
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

void IGraphicsLinux::CloseView()
{
#ifdef TARVEX_HAVE_X11
  delete mView; // frees its X resources
#endif
  mView = nullptr;
}

LICE_IBitmap* IGraphicsLinux::LoadPlatformBitmap(int, const char* name)
{
  return LoadBitmapFromBundle(mBundleID.Get(), name);
}
