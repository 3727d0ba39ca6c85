// The platform-neutral half of the editor views: everything a window system view (X11 here, Cocoa
// and Carbon on macOS) hands to the graphics object apart from the window calls themselves.
// Coordinate conversions, IMouseState from each platform's modifier bits, the wheel delta, the
// frame clock that turns dirty controls into a redraw, double-clicks by timing, the text prompt's
// geometry, editing and result, and the scale factor for high-density screens with the pixel and
// pointer conversions it needs.
//
// Threads: plain value code; the functions that take an IGraphics run on the editor's thread (the
// host's GUI thread), the only thread that touches the graphics object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/IGraphicsStructs.h"

class IControl;
class IGraphics;
class IParam;

// A rectangle as x, y, width, height in a view's own coordinates.
struct IViewRect
{
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const IViewRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// ---- coordinates ----
// Cocoa views are not flipped: origin bottom-left. height is the editor height. Each coordinate is
// truncated towards zero before the arithmetic.
void CocoaPointToEditor(double px, double py, int height, int* x, int* y);
IRECT CocoaRectToEditor(double x, double y, double w, double h, int height);
IViewRect EditorRectToCocoa(const IRECT& rect, int height);
// Views with a top-left origin (X11, the Carbon pane): the same pixels.
IViewRect EditorRectToTopLeft(const IRECT& rect);

// ---- scale factor ----
// A view may show the graphics object's picture (always drawn at Width() x Height()) at a whole
// scale factor: 1, or 2 with each editor pixel a 2 x 2 block of window pixels. Factors above 2 are
// treated as 2; fractional ones go to the nearer of 1 and 2 (1.5 to 2).
constexpr int kMaxViewScale = 2;

// Where a view's factor came from, in the order the sources are asked.
enum EViewScaleSource
{
  kViewScaleHost,     // the host's factor (LV2 ui:scaleFactor; a setter for other wrappers)
  kViewScaleGdkScale, // the GDK_SCALE environment variable
  kViewScaleXftDpi,   // the X resource Xft.dpi
  kViewScaleDefault,  // none of them: 1
};

struct IViewScale
{
  int mFactor = 1;
  EViewScaleSource mSource = kViewScaleDefault;
};

// A factor as a view shows it: 1 below 1.5, else 2 (infinity included); 0 for "none" (NaN, zero
// or negative).
int WholeViewScale(double factor);
// GDK_SCALE's value: a whole decimal number of at least 1 (blanks around it allowed), as
// WholeViewScale takes it; 0 for null, empty, or anything else ("abc", "0", "-1", "2.6", "+2").
int ViewScaleFromGdkScale(const char* value);
// Xft.dpi in an X resource manager string (lines "name:<blanks>value", as
// XResourceManagerString gives them); the last such line counts. The value is a decimal number
// with an optional fraction ("144", "96.5"), read the same in every locale. 0 when the string is
// null, has no such line, or the value is not a positive number.
double XftDpiFromResources(const char* resources);
// 96 dpi is factor 1: WholeViewScale(dpi / 96), so 2 from 144 dpi up; 0 when dpi is not positive.
int ViewScaleFromDpi(double dpi);
// The decision, first source that gives a factor wins: hostScale (0, negative or NaN: the host
// gives none), then gdkScale (GDK_SCALE's value, null when unset), then Xft.dpi in resources (null
// when there are none), else 1.
IViewScale ChooseViewScale(double hostScale, const char* gdkScale, const char* resources);

// A window coordinate at scale (1 or 2) to the editor's: floor division, so that -1, left of the
// window, stays left of the editor.
int WindowToEditor(int v, int scale);
// An editor rectangle in window pixels.
IRECT EditorToWindow(const IRECT& rect, int scale);

// Copies width x height pixels of a LICE bitmap (alpha, red, green, blue bytes; rows srcRowSpan
// pixels apart) into an image of little-endian 32-bit 0x00RRGGBB words (the X11 view's 24- and
// 32-bit TrueColor visuals), or'ing opaqueBits into each (the alpha of a 32-bit visual). Each
// pixel becomes a scale x scale block (1 or 2; below 1 is taken as 1, above 2 as 2). dst is the
// image's top row, rows dstBytesPerLine apart, each at least 4 * width * scale bytes; bytes past
// that are not written. Four pixels at a time with SSE2 where the build has it; at scale 2 each
// pixel is converted once and stored twice in both rows of its block, past the caches when rows
// start on 16-byte boundaries (an X shared image's do).
void ExpandBitmapToXrgb(const unsigned char* src, int srcRowSpan, int width, int height, int scale,
                        uint32_t opaqueBits, unsigned char* dst, int dstBytesPerLine);

// ---- mouse state ----
// Cocoa modifierFlags: shift bit 17, control bit 18, option bit 19, command bit 20. For the
// primary-button methods (and moves and the wheel) `left` is set and command turns on `right`; the
// right-button methods give left false, right true.
IMouseState MouseStateFromCocoa(uint64_t modifierFlags, bool rightButtonEvent);
// Carbon keyboard modifiers: shift bit 9, option bit 11, control bit 12, command bit 8. `left` is
// always set; button 2, or button 1 with command, sets `right`.
IMouseState MouseStateFromCarbon(uint32_t modifiers, int button);
// X11 state mask (ShiftMask 1, ControlMask 4, Mod1Mask 8 for alt). rightButton: the event comes
// from button 3 (or a drag with only button 3 held): left false, right true; every other event has
// left set, as the Cocoa view gives.
IMouseState MouseStateFromX11(unsigned state, bool rightButton);
// A scroll's delta truncated towards zero (0.9 gives 0, -1.7 gives -1); NaN and out-of-range
// values give 0 or the int limits.
int WheelDeltaFromScroll(double deltaY);

// ---- redraw timer ----
// Frame clock at the graphics object's rate. Times are monotonic nanoseconds. A late tick does not
// queue up missed frames: the next deadline is one interval after the late one.
class IFrameClock
{
public:
  explicit IFrameClock(int fps = 60);
  void Start(int64_t nowNs);
  // True when a frame is due at now; advances the deadline.
  bool Due(int64_t nowNs);
  // Nanoseconds until the next frame, 0 when due.
  int64_t WaitNs(int64_t nowNs) const;
  int64_t IntervalNs() const { return mIntervalNs; }

private:
  int64_t mIntervalNs;
  int64_t mNextNs = 0;
};

// One timer tick: the union of every dirty control's rectangle (from an all-zero start) into
// *dirty; true when there is something to redraw.
bool CollectRedraw(IGraphics* graphics, IRECT* dirty);

// Monotonic clock in nanoseconds.
int64_t MonotonicNs();

// Counts clicks of one button at one place, for window systems that give no click count (X11).
// A press within kIntervalMs of the previous press of the same button and within kSlopPixels of it
// in both directions makes a double-click; a third press starts over.
class IClickCounter
{
public:
  static constexpr int64_t kIntervalMs = 400; // common desktop default
  static constexpr int kSlopPixels = 4;
  // Returns the click count of this press: 1 or 2.
  int Press(int button, int x, int y, int64_t timeMs);
  void Reset() { mCount = 0; }

private:
  int mButton = 0;
  int mX = 0, mY = 0;
  int64_t mTimeMs = 0;
  int mCount = 0;
};

// ---- text prompt ----
enum EPromptKind
{
  kPromptTextField, // a one-line text field
  kPromptList,      // a combo box: the parameter's display texts, or typed text
};

enum EPromptPlatform
{
  kPromptCocoa, // also the rules of the X11 view
  kPromptCarbon,
};

// Where and what the prompt for a control's parameter shows.
struct IPromptLayout
{
  EPromptKind mKind = kPromptTextField;
  IRECT mRect;                     // in editor coordinates (top-left origin)
  IViewRect mViewRect;             // the platform's frame (Cocoa: bottom-left origin)
  std::string mText;               // the parameter's current display text
  std::vector<std::string> mItems; // display texts in order (list only)
  int mSelected = -1;              // last item equal to mText, -1 for none
};

// False (layout untouched) for a null control or parameter. height is the editor height.
bool LayoutPrompt(const IControl* control, const IParam* param, int height,
                  EPromptPlatform platform, IPromptLayout* layout);

// What a mouse press does while a prompt is open.
struct IPromptClick
{
  bool mClose = false;    // the prompt closes
  bool mApply = false;    // ... applying its text first
  bool mDispatch = false; // the press then goes on to the graphics object
};
// insidePrompt: the press is on the prompt itself. rightButton: the secondary button (or command
// with the primary one).
IPromptClick DecidePromptClick(EPromptPlatform platform, bool insidePrompt, bool rightButton);

// The open prompt of a view: layout, the text being edited and the selection. Keys reach only this;
// the graphics object never receives key events.
class IPromptEditor
{
public:
  // Opens for control and param unless one is open or either is null; false when it did not open.
  bool Open(IControl* control, IParam* param, int height, EPromptPlatform platform);
  void Close();
  bool IsOpen() const { return mControl != nullptr; }

  // Typed printable text: with the whole text selected (as on opening) it replaces it, otherwise it
  // is appended. A typed text leaves the list selection (-1).
  void Type(const char* text);
  void Backspace();
  // List prompts: move the selection by step (clamped to the items), showing the item's text.
  void MoveSelection(int step);
  // A list prompt's item chosen with the mouse.
  void Select(int index);
  // Applies the result and closes: a list's selected item gives the normalised value of its index
  // to the control's SetValueFromUser; otherwise ApplyPromptText with the text.
  void Apply(IGraphics* graphics);

  const IPromptLayout& Layout() const { return mLayout; }
  const std::string& Text() const { return mText; }
  int Selected() const { return mSelected; }
  bool AllSelected() const { return mAllSelected; }
  IControl* Control() const { return mControl; }
  IParam* Param() const { return mParam; }

  // Height of one row of a list prompt's drop-down below its field, in pixels.
  static constexpr int kListRowHeight = 16;
  // Rectangle of list row i under the field (editor coordinates).
  IRECT ListRowRect(int i) const;
  // The list row at (x, y), -1 for none; the field and the rows together are the prompt's area.
  int ListRowAt(int x, int y) const;
  bool Contains(int x, int y) const;

private:
  IControl* mControl = nullptr;
  IParam* mParam = nullptr;
  IPromptLayout mLayout;
  std::string mText;
  int mSelected = -1;
  bool mAllSelected = false;
};
