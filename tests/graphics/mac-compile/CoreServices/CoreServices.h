// Stand-in for the few CoreServices and CoreGraphics declarations the Cocoa view uses, so that it
// compiles against GNUstep's AppKit on Linux. Compile-only: nothing here is ever linked or run.
#pragma once

#include <cstdint>

typedef int32_t SInt32;
typedef int16_t OSErr;
enum
{
  gestaltSystemVersion = 0x73797376 // 'sysv'
};
OSErr Gestalt(uint32_t selector, SInt32* response);

typedef double CGFloat;
struct CGPoint
{
  CGFloat x, y;
};
struct CGSize
{
  CGFloat width, height;
};
struct CGRect
{
  CGPoint origin;
  CGSize size;
};
typedef struct CGContext* CGContextRef;
typedef struct CGImage* CGImageRef;
CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h);
CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy);
CGImageRef CGBitmapContextCreateImage(CGContextRef context);
void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);
void CGImageRelease(CGImageRef image);

// AppKit's declaration on Apple; GNUstep's AppKit has none.
#include <objc/objc.h>
extern "C" BOOL NSApplicationLoad(void);
