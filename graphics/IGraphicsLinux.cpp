#include "graphics/IGraphicsLinux.h"

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps)
{
}

IGraphicsLinux::~IGraphicsLinux()
{
  CloseView();
}

bool IGraphicsLinux::PresentToScreen(const IRECT&)
{
  return mView != nullptr;
}

void IGraphicsLinux::PromptUserInput(IControl*, IParam*) {}

void* IGraphicsLinux::OpenCocoaView(void*)
{
  return nullptr;
}

void* IGraphicsLinux::OpenCarbonView(void*, void*)
{
  return nullptr;
}

void IGraphicsLinux::CloseView()
{
  mView = nullptr;
}

LICE_IBitmap* IGraphicsLinux::LoadPlatformBitmap(int, const char* name)
{
  return LoadBitmapFromBundle(mBundleID.Get(), name);
}
