// The Cocoa editor view: a thin NSView over the shared view half. The class name differs between
// builds (TARVEX_COCOA_VIEW_CLASS: "Tarvex" for VST, "TarvexAU" for the Audio Unit) so that two
// builds loaded in one process do not clash.
#pragma once

#import <Cocoa/Cocoa.h>

#include "graphics/mac/IGraphicsMac.h"

class IControl;
class IParam;

#ifndef TARVEX_COCOA_VIEW_CLASS
#define TARVEX_COCOA_VIEW_CLASS Tarvex
#endif

@interface TARVEX_COCOA_VIEW_CLASS : NSView <NSTextFieldDelegate>
{
@public
  IGraphicsMac* mGraphics; // not owned; cleared when the view is detached
  NSTimer* mTimer;
  NSControl* mParamEditView; // the open NSTextField or NSComboBox
  IControl* mEdControl;
  IParam* mEdParam;
}
- (id)initWithIGraphics:(IGraphicsMac*)graphics;
- (void)onTimer:(NSTimer*)timer;
- (void)killTimer;
- (void)promptUserInput:(IControl*)control param:(IParam*)param;
- (void)closePrompt;
@end
