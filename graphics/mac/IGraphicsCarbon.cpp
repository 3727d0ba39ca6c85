#include "graphics/mac/IGraphicsCarbon.h"

#if defined(__APPLE__) && !defined(__LP64__)

#include <Carbon/Carbon.h>

#include "core/IParam.h"
#include "graphics/IControl.h"
#include "graphics/IGraphicsView.h"
#include "graphics/mac/IGraphicsMac.h"

namespace
{
constexpr UInt32 kCompositedPaneFeatures = 0x12000026;
constexpr UInt32 kPaneFeatures = 38;
constexpr OptionBits kComboAttributes = 11;
constexpr int kPromptTextBytes = 1000;

void SetPromptFont(ControlRef control)
{
  ControlFontStyleRec style = {};
  style.flags = kControlUseFontMask | kControlUseSizeMask | kControlUseJustMask;
  style.font = FMGetFontFamilyFromName(reinterpret_cast<ConstStr255Param>("\005Arial"));
  style.size = 11;
  style.just = teCenter;
  SetControlFontStyle(control, &style);
}

pascal OSStatus TextEntryHandler(EventHandlerCallRef, EventRef event, void* user)
{
  IGraphicsCarbon* view = static_cast<IGraphicsCarbon*>(user);
  const UInt32 kind = GetEventKind(event);
  if (kind != kEventRawKeyDown && kind != kEventRawKeyRepeat) return eventNotHandledErr;
  char c = 0;
  GetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, nullptr, sizeof(c), nullptr, &c);
  if (c != 13) return eventNotHandledErr; // the text control takes every other key
  view->EndUserInput(true);
  return noErr;
}

pascal OSStatus ControlHandler(EventHandlerCallRef, EventRef event, void* user)
{
  IGraphicsCarbon* view = static_cast<IGraphicsCarbon*>(user);
  IGraphicsMac* graphics = view->mGraphics;
  switch (GetEventKind(event))
  {
  case kEventControlDraw:
  {
    IRECT rect(0, 0, graphics->Width(), graphics->Height());
    RgnHandle region = nullptr;
    if (GetEventParameter(event, kEventParamRgnHandle, typeQDRgnHandle, nullptr, sizeof(region),
                          nullptr, &region) == noErr &&
        region)
    {
      Rect bounds;
      GetRegionBounds(region, &bounds);
      rect = IRECT(bounds.left, bounds.top, bounds.right, bounds.bottom);
    }
    CGContextRef context = nullptr;
    CGrafPtr port = nullptr;
    if (view->mIsComposited)
    {
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof(context),
                        nullptr, &context);
      if (context)
      {
        CGContextTranslateCTM(context, 0, graphics->Height());
        CGContextScaleCTM(context, 1.0, -1.0);
      }
    }
    else
    {
      view->mOffsetY = (rect.B - rect.T) - graphics->Height();
      GetEventParameter(event, kEventParamGrafPort, typeGrafPtr, nullptr, sizeof(port), nullptr,
                        &port);
      if (port) QDBeginCGContext(port, &context);
      rect = IRECT();
      graphics->CollectDirtyRect(&rect);
    }
    view->mContext = context;
    graphics->Draw(rect);
    if (port && context)
    {
      CGContextFlush(context);
      QDEndCGContext(port, &context);
    }
    view->mContext = nullptr;
    return noErr;
  }
  case kEventControlDispose:
  case kEventControlBoundsChanged:
    return noErr;
  default:
    return eventNotHandledErr;
  }
}

pascal OSStatus WindowHandler(EventHandlerCallRef next, EventRef event, void* user)
{
  IGraphicsCarbon* view = static_cast<IGraphicsCarbon*>(user);
  IGraphicsMac* graphics = view->mGraphics;
  HIPoint point;
  GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof(point),
                    nullptr, &point);
  HIPointConvert(&point, kHICoordSpaceWindow, static_cast<WindowRef>(view->mWindow),
                 kHICoordSpaceView, static_cast<HIViewRef>(view->mView));
  const int x = static_cast<int>(point.x), y = static_cast<int>(point.y);
  UInt32 modifiers = 0;
  GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof(modifiers), nullptr,
                    &modifiers);
  EventMouseButton button = 0;
  GetEventParameter(event, kEventParamMouseButton, typeMouseButton, nullptr, sizeof(button),
                    nullptr, &button);
  const IMouseState mods = MouseStateFromCarbon(modifiers, button);

  switch (GetEventKind(event))
  {
  case kEventMouseDown:
  {
    if (view->mTextEntryView)
    {
      HIRect frame;
      HIViewGetFrame(static_cast<HIViewRef>(view->mTextEntryView), &frame);
      const bool inside = CGRectContainsPoint(frame, point);
      const IPromptClick click = DecidePromptClick(kPromptCarbon, inside, mods.right);
      if (click.mClose) view->EndUserInput(click.mApply);
      if (!click.mDispatch) return eventNotHandledErr;
    }
    CallNextEventHandler(next, event);
    UInt32 clicks = 0;
    GetEventParameter(event, kEventParamClickCount, typeUInt32, nullptr, sizeof(clicks), nullptr,
                      &clicks);
    if (clicks > 1)
      graphics->OnMouseDoubleClick(x, y, mods);
    else
      graphics->OnMouseDown(x, y, mods);
    return noErr;
  }
  case kEventMouseUp:
    graphics->OnMouseUp(x, y, mods);
    return noErr;
  case kEventMouseMoved:
    graphics->OnMouseOver(x, y, mods);
    return noErr;
  case kEventMouseDragged:
    graphics->OnMouseDrag(x, y, mods);
    return noErr;
  case kEventMouseWheelMoved:
  {
    EventMouseWheelAxis axis = 0;
    GetEventParameter(event, kEventParamMouseWheelAxis, typeMouseWheelAxis, nullptr, sizeof(axis),
                      nullptr, &axis);
    if (axis != kEventMouseWheelAxisY) return eventNotHandledErr;
    SInt32 delta = 0;
    GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof(delta),
                      nullptr, &delta);
    graphics->OnMouseWheel(x, y, mods, static_cast<int>(delta));
    return noErr;
  }
  default:
    return eventNotHandledErr;
  }
}

pascal void TimerHandler(EventLoopTimerRef, void* user)
{
  IGraphicsCarbon* view = static_cast<IGraphicsCarbon*>(user);
  IRECT dirty;
  if (!CollectRedraw(view->mGraphics, &dirty)) return;
  if (view->mIsComposited)
  {
    const CGRect r = CGRectMake(dirty.L, dirty.T, dirty.W(), dirty.H());
    HIViewSetNeedsDisplayInRect(static_cast<HIViewRef>(view->mView), &r, true);
  }
  else
    UpdateControls(static_cast<WindowRef>(view->mWindow), nullptr);
}
} // namespace

IGraphicsCarbon* IGraphicsCarbon::Create(IGraphicsMac* graphics, void* windowRef,
                                         void* parentControl)
{
  if (!graphics || !windowRef) return nullptr;
  IGraphicsCarbon* view = new IGraphicsCarbon;
  WindowRef window = static_cast<WindowRef>(windowRef);
  view->mGraphics = graphics;
  view->mWindow = window;
  WindowAttributes attributes = 0;
  GetWindowAttributes(window, &attributes);
  view->mIsComposited = (attributes & kWindowCompositingAttribute) != 0;

  Rect empty = {0, 0, 0, 0};
  ControlRef pane = nullptr;
  CreateUserPaneControl(window, &empty,
                        view->mIsComposited ? kCompositedPaneFeatures : kPaneFeatures, &pane);
  view->mView = pane;

  const EventTypeSpec controlEvents[] = {{kEventClassControl, kEventControlDraw},
                                         {kEventClassControl, kEventControlDispose},
                                         {kEventClassControl, kEventControlBoundsChanged}};
  InstallControlEventHandler(pane, NewEventHandlerUPP(ControlHandler),
                             GetEventTypeCount(controlEvents), controlEvents, view,
                             reinterpret_cast<EventHandlerRef*>(&view->mControlHandler));
  const EventTypeSpec mouseEvents[] = {{kEventClassMouse, kEventMouseDown},
                                       {kEventClassMouse, kEventMouseUp},
                                       {kEventClassMouse, kEventMouseMoved},
                                       {kEventClassMouse, kEventMouseDragged},
                                       {kEventClassMouse, kEventMouseWheelMoved}};
  InstallWindowEventHandler(window, NewEventHandlerUPP(WindowHandler),
                            GetEventTypeCount(mouseEvents), mouseEvents, view,
                            reinterpret_cast<EventHandlerRef*>(&view->mWindowHandler));
  InstallEventLoopTimer(GetMainEventLoop(), 0.0, 1.0 / graphics->FPS(),
                        NewEventLoopTimerUPP(TimerHandler), view,
                        reinterpret_cast<EventLoopTimerRef*>(&view->mTimer));

  OSStatus status;
  if (view->mIsComposited)
  {
    HIViewRef parent = static_cast<HIViewRef>(parentControl);
    if (!parent) HIViewFindByID(HIViewGetRoot(window), kHIViewWindowContentID, &parent);
    status = HIViewAddSubview(parent, pane);
  }
  else
  {
    ControlRef parent = static_cast<ControlRef>(parentControl);
    if (!parent && GetRootControl(window, &parent) != noErr) CreateRootControl(window, &parent);
    status = EmbedControl(pane, parent);
  }
  if (status == noErr) SizeControl(pane, graphics->Width(), graphics->Height());
  return view;
}

IGraphicsCarbon::~IGraphicsCarbon()
{
  if (mTextEntryView)
  {
    RemoveEventHandler(static_cast<EventHandlerRef>(mTextEntryHandler));
    HIViewRemoveFromSuperview(static_cast<HIViewRef>(mTextEntryView));
  }
  RemoveEventLoopTimer(static_cast<EventLoopTimerRef>(mTimer));
  RemoveEventHandler(static_cast<EventHandlerRef>(mControlHandler));
  RemoveEventHandler(static_cast<EventHandlerRef>(mWindowHandler));
}

void IGraphicsCarbon::PromptUserInput(IControl* control, IParam* param)
{
  if (mTextEntryView || !control || !param) return;
  IPromptLayout layout;
  if (!LayoutPrompt(control, param, mGraphics->Height(), kPromptCarbon, &layout)) return;
  CFStringRef text =
      CFStringCreateWithCString(nullptr, layout.mText.c_str(), kCFStringEncodingUTF8);
  WindowRef window = static_cast<WindowRef>(mWindow);
  ControlRef field = nullptr;
  if (layout.mKind == kPromptList)
  {
    const HIRect bounds =
        CGRectMake(layout.mRect.L, layout.mRect.T, layout.mRect.W(), layout.mRect.H());
    HIComboBoxCreate(&bounds, CFSTR(""), nullptr, nullptr, kComboAttributes, &field);
    for (const std::string& item : layout.mItems)
    {
      CFStringRef s = CFStringCreateWithCString(nullptr, item.c_str(), kCFStringEncodingUTF8);
      HIComboBoxAppendTextItem(field, s, nullptr);
      CFRelease(s);
    }
  }
  else
  {
    Rect bounds = {static_cast<short>(layout.mRect.T), static_cast<short>(layout.mRect.L),
                   static_cast<short>(layout.mRect.B), static_cast<short>(layout.mRect.R)};
    CreateEditUnicodeTextControl(window, &bounds, CFSTR(""), false, nullptr, &field);
  }
  if (!field)
  {
    CFRelease(text);
    return;
  }
  HIViewAddSubview(static_cast<HIViewRef>(mView), field);
  const EventTypeSpec keys[] = {{kEventClassKeyboard, kEventRawKeyDown},
                                {kEventClassKeyboard, kEventRawKeyRepeat}};
  InstallControlEventHandler(field, NewEventHandlerUPP(TextEntryHandler), GetEventTypeCount(keys),
                             keys, this, reinterpret_cast<EventHandlerRef*>(&mTextEntryHandler));
  SetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof(text), &text);
  ControlEditTextSelectionRec all = {0, 32000};
  SetControlData(field, kControlEntireControl, kControlEditTextSelectionTag, sizeof(all), &all);
  CFRelease(text);
  SetPromptFont(field);
  HIViewSetVisible(field, true);
  SetKeyboardFocus(window, field, kControlFocusNextPart);
  SetUserFocusWindow(window);
  mTextEntryView = field;
  mEdControl = control;
  mEdParam = param;
}

void IGraphicsCarbon::EndUserInput(bool apply)
{
  if (!mTextEntryView) return;
  ControlRef field = static_cast<ControlRef>(mTextEntryView);
  RemoveEventHandler(static_cast<EventHandlerRef>(mTextEntryHandler));
  mTextEntryHandler = nullptr;
  if (apply)
  {
    CFStringRef text = nullptr;
    if (GetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof(text),
                       &text, nullptr) == noErr &&
        text)
    {
      char utf8[kPromptTextBytes];
      if (CFStringGetCString(text, utf8, sizeof(utf8), kCFStringEncodingUTF8))
        mGraphics->ApplyPromptText(mEdControl, mEdParam, utf8);
      CFRelease(text);
    }
  }
  HIViewSetVisible(field, false);
  HIViewRemoveFromSuperview(field);
  if (mIsComposited)
    HIViewSetNeedsDisplay(static_cast<HIViewRef>(mView), true);
  else
  {
    mEdControl->MarkDirty(false);
    mEdControl->SetRedrawAgain();
  }
  SetThemeCursor(kThemeArrowCursor);
  SetUserFocusWindow(kUserFocusAuto);
  mTextEntryView = nullptr;
  mEdControl = nullptr;
  mEdParam = nullptr;
}

#else // 64-bit or not Apple: no Carbon view.

IGraphicsCarbon* IGraphicsCarbon::Create(IGraphicsMac*, void*, void*)
{
  return nullptr;
}
IGraphicsCarbon::~IGraphicsCarbon() {}
void IGraphicsCarbon::PromptUserInput(IControl*, IParam*) {}
void IGraphicsCarbon::EndUserInput(bool) {}

#endif
