#import "graphics/mac/IGraphicsCocoa.h"

#include "core/IParam.h"
#include "graphics/IControl.h"
#include "graphics/IGraphicsView.h"

@implementation TARVEX_COCOA_VIEW_CLASS

- (id)initWithIGraphics:(IGraphicsMac*)graphics
{
  mGraphics = graphics;
  NSRect frame = NSMakeRect(0, 0, graphics->Width(), graphics->Height());
  self = [super initWithFrame:frame];
  if (!self) return nil;
  mParamEditView = nil;
  mEdControl = nullptr;
  mEdParam = nullptr;
  mTimer = [NSTimer timerWithTimeInterval:1.0 / graphics->FPS()
                                   target:self
                                 selector:@selector(onTimer:)
                                 userInfo:nil
                                  repeats:YES];
  [[NSRunLoop currentRunLoop] addTimer:mTimer forMode:NSRunLoopCommonModes];
  return self;
}

- (BOOL)isOpaque
{
  return mGraphics ? YES : NO;
}

- (BOOL)acceptsFirstResponder
{
  return YES;
}

- (BOOL)acceptsFirstMouse:(NSEvent*)event
{
  return YES;
}

- (void)viewDidMoveToWindow
{
  NSWindow* window = [self window];
  if (!window) return;
  [window makeFirstResponder:self];
  [window setAcceptsMouseMovedEvents:YES];
}

- (void)onTimer:(NSTimer*)timer
{
  if (timer != mTimer || !mGraphics) return;
  IRECT dirty;
  if (!CollectRedraw(mGraphics, &dirty)) return;
  const IViewRect r = EditorRectToCocoa(dirty, mGraphics->Height());
  [self setNeedsDisplayInRect:NSMakeRect(r.x, r.y, r.w, r.h)];
}

- (void)drawRect:(NSRect)rect
{
  if (!mGraphics) return;
  mGraphics->Draw(CocoaRectToEditor(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height,
                                    mGraphics->Height()));
}

- (void)getMouseXY:(NSEvent*)event x:(int*)x y:(int*)y
{
  const NSPoint p = [self convertPoint:[event locationInWindow] fromView:nil];
  CocoaPointToEditor(p.x, p.y, mGraphics->Height(), x, y);
}

// Primary-button events, moves and the wheel.
static IMouseState PrimaryMods(NSEvent* event)
{
  return MouseStateFromCocoa([event modifierFlags], false);
}

static IMouseState RightMods(NSEvent* event)
{
  return MouseStateFromCocoa([event modifierFlags], true);
}

- (void)mouseDown:(NSEvent*)event
{
  if (!mGraphics) return;
  if (mParamEditView) [self closePrompt]; // not applied; the press goes on
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  if ([event clickCount] < 2)
    mGraphics->OnMouseDown(x, y, PrimaryMods(event));
  else
    mGraphics->OnMouseDoubleClick(x, y, PrimaryMods(event));
}

- (void)mouseUp:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseUp(x, y, PrimaryMods(event));
}

- (void)mouseDragged:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseDrag(x, y, PrimaryMods(event));
}

- (void)mouseMoved:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseOver(x, y, PrimaryMods(event));
}

- (void)rightMouseDown:(NSEvent*)event
{
  if (!mGraphics) return;
  if (mParamEditView)
  {
    [self closePrompt]; // not applied, and nothing else happens
    return;
  }
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseDown(x, y, RightMods(event));
}

- (void)rightMouseUp:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseUp(x, y, RightMods(event));
}

- (void)rightMouseDragged:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseDrag(x, y, RightMods(event));
}

- (void)scrollWheel:(NSEvent*)event
{
  if (!mGraphics) return;
  int x, y;
  [self getMouseXY:event x:&x y:&y];
  mGraphics->OnMouseWheel(x, y, PrimaryMods(event), WheelDeltaFromScroll([event deltaY]));
}

- (void)killTimer
{
  [mTimer invalidate];
  mTimer = nil;
}

- (void)removeFromSuperview
{
  if (mParamEditView) [self closePrompt];
  if (mGraphics)
  {
    IGraphicsMac* graphics = mGraphics;
    mGraphics = nullptr;
    graphics->CloseView();
  }
  [super removeFromSuperview];
}

- (void)promptUserInput:(IControl*)control param:(IParam*)param
{
  if (!control || !param || mParamEditView || !mGraphics) return;
  IPromptLayout layout;
  if (!LayoutPrompt(control, param, mGraphics->Height(), kPromptCocoa, &layout)) return;
  const NSRect frame =
      NSMakeRect(layout.mViewRect.x, layout.mViewRect.y, layout.mViewRect.w, layout.mViewRect.h);
  NSFont* font = [NSFont fontWithName:@"Arial" size:11];
  if (layout.mKind == kPromptList)
  {
    NSComboBox* combo = [[NSComboBox alloc] initWithFrame:frame];
    [combo setFont:font];
    [combo setNumberOfVisibleItems:static_cast<NSInteger>(layout.mItems.size())];
    for (const std::string& item : layout.mItems)
      [combo addItemWithObjectValue:[NSString stringWithUTF8String:item.c_str()]];
    [combo selectItemAtIndex:layout.mSelected];
    mParamEditView = combo;
  }
  else
  {
    NSTextField* field = [[NSTextField alloc] initWithFrame:frame];
    [field setFont:font];
    [field setAlignment:NSCenterTextAlignment];
    [[field cell] setLineBreakMode:static_cast<NSLineBreakMode>(4)]; // truncate at the tail
    [field setStringValue:[NSString stringWithUTF8String:layout.mText.c_str()]];
    mParamEditView = field;
  }
  [(NSTextField*)mParamEditView setDelegate:self];
  [self addSubview:mParamEditView];
  NSWindow* window = [self window];
  [window makeKeyAndOrderFront:nil];
  [window makeFirstResponder:mParamEditView];
  mEdControl = control;
  mEdParam = param;
}

- (void)controlTextDidEndEditing:(NSNotification*)notification
{
  if (!mParamEditView) return;
  const char* text = [[mParamEditView stringValue] UTF8String];
  NSInteger selected = -1;
  if ([mParamEditView respondsToSelector:@selector(indexOfSelectedItem)])
    selected = [(NSComboBox*)mParamEditView indexOfSelectedItem];
  if (selected != -1)
    mEdControl->SetValueFromUser(mEdParam->ToNormalised(static_cast<double>(selected)));
  else if (mGraphics)
    mGraphics->ApplyPromptText(mEdControl, mEdParam, text ? text : "");
  [self closePrompt];
  [self setNeedsDisplay:YES];
}

- (void)closePrompt
{
  if (!mParamEditView) return;
  [(NSTextField*)mParamEditView setDelegate:nil];
  [mParamEditView removeFromSuperview];
  [mParamEditView release];
  mParamEditView = nil;
  mEdControl = nullptr;
  mEdParam = nullptr;
}

@end
