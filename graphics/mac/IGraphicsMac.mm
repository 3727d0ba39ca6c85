#import "graphics/mac/IGraphicsCocoa.h"

#include <CoreServices/CoreServices.h>

#include "core/IPlugBase.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/mac/IGraphicsCarbon.h"

IGraphicsMac::IGraphicsMac(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps)
{
  NSApplicationLoad();
}

IGraphicsMac::~IGraphicsMac()
{
  CloseView();
}

bool IGraphicsMac::PresentToScreen(const IRECT& rect)
{
  (void)rect; // the whole bitmap is drawn; the platform clips to the invalidated area
  CGContextRef destination = nullptr;
  CGRect area = CGRectMake(0, 0, mWidth, mHeight);
  if (mCarbonView)
  {
    destination = static_cast<CGContextRef>(mCarbonView->Context());
    area = CGRectOffset(area, mCarbonView->OffsetX(), mCarbonView->OffsetY());
  }
  else if (mCocoaView)
  {
    NSGraphicsContext* current = [NSGraphicsContext currentContext];
    NSGraphicsContext* flipped =
        [NSGraphicsContext graphicsContextWithGraphicsPort:[current graphicsPort] flipped:YES];
    destination = static_cast<CGContextRef>([flipped graphicsPort]);
  }
  if (!destination || !mDrawBitmap) return false;
  CGContextRef source = static_cast<CGContextRef>(mDrawBitmap->DrawingContext());
  if (!source) return false;
  CGImageRef image = CGBitmapContextCreateImage(source);
  if (!image) return false;
  CGContextDrawImage(destination, area, image);
  CGImageRelease(image);
  return true;
}

void IGraphicsMac::PromptUserInput(IControl* control, IParam* param)
{
  if (mCocoaView)
    [(TARVEX_COCOA_VIEW_CLASS*)mCocoaView promptUserInput:control param:param];
  else if (mCarbonView)
    mCarbonView->PromptUserInput(control, param);
}

void* IGraphicsMac::OpenCocoaView(void* parentView)
{
  CloseView();
  TARVEX_COCOA_VIEW_CLASS* view = [[TARVEX_COCOA_VIEW_CLASS alloc] initWithIGraphics:this];
  mCocoaView = view;
  if (parentView) [(NSView*)parentView addSubview:view];
  return view;
}

void* IGraphicsMac::OpenCarbonView(void* window, void* parentControl)
{
  CloseView();
  mCarbonView = IGraphicsCarbon::Create(this, window, parentControl);
  return mCarbonView ? mCarbonView->View() : nullptr;
}

void IGraphicsMac::CloseView()
{
  if (mCarbonView)
  {
    delete mCarbonView;
    mCarbonView = nullptr;
    return;
  }
  if (!mCocoaView) return;
  TARVEX_COCOA_VIEW_CLASS* view = (TARVEX_COCOA_VIEW_CLASS*)mCocoaView;
  [view killTimer];
  mCocoaView = nullptr;
  if (view->mGraphics)
  {
    view->mGraphics = nullptr;
    [view removeFromSuperview];
  }
  [view release];
}

LICE_IBitmap* IGraphicsMac::LoadPlatformBitmap(int, const char* name)
{
  return LoadBitmapFromBundle(mBundleID.Get(), name);
}

int IGraphicsMac::GetUserOSVersion()
{
  SInt32 version = 0;
  Gestalt(gestaltSystemVersion, &version);
  TraceHook("GetUserOSVersion", __LINE__, "%x", static_cast<int>(version));
  return static_cast<int>(version);
}
