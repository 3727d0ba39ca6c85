#include "graphics/linux/IGraphicsX11View.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/WDL_Mutex.h"
#include "graphics/IGraphics.h"
#include "graphics/IGraphicsView.h"
#include "graphics/LICE_Bitmap.h"

namespace
{
// Shifts that move an 8-bit channel to the top of a visual's mask.
int MaskShift(unsigned long mask)
{
  int shift = 0;
  while (mask && !(mask & 1))
  {
    mask >>= 1;
    ++shift;
  }
  int bits = 0;
  while (mask & 1)
  {
    mask >>= 1;
    ++bits;
  }
  return shift + bits - 8; // may be negative for narrow channels
}

uint32_t PlaceChannel(uint32_t v8, int shift, unsigned long mask)
{
  const uint32_t v = shift >= 0 ? (v8 << shift) : (v8 >> -shift);
  return v & static_cast<uint32_t>(mask);
}

// A display given as ":N", "unix:N" or a socket path shares memory with us.
bool LocalDisplay(Display* display)
{
  const char* name = DisplayString(display);
  if (!name) return false;
  return name[0] == ':' || name[0] == '/' || !strncmp(name, "unix:", 5);
}
// X errors on the views' own connections (a parent that does not exist, a window the host has
// destroyed under us) must not reach the process-wide handler, whose default exits the process.
// One handler serves every view: it counts errors of the registered connections and passes all
// others to the handler that was installed before it. It is removed again with the last view, if
// nobody installed another one on top of it meanwhile.
struct ErrorTrap
{
  std::mutex lock;
  std::vector<std::pair<Display*, unsigned long>> displays; // connection, errors seen
  XErrorHandler previous = nullptr;
  bool installed = false;
};

ErrorTrap& Trap()
{
  static ErrorTrap* trap = new ErrorTrap; // never destroyed: the handler may run at exit
  return *trap;
}

int TrapErrors(Display* display, XErrorEvent* event)
{
  XErrorHandler previous;
  {
    ErrorTrap& trap = Trap();
    std::lock_guard<std::mutex> guard(trap.lock);
    for (auto& entry : trap.displays)
      if (entry.first == display)
      {
        ++entry.second;
        return 0;
      }
    previous = trap.previous;
  }
  return previous ? previous(display, event) : 0;
}

void TrapDisplay(Display* display)
{
  ErrorTrap& trap = Trap();
  std::lock_guard<std::mutex> guard(trap.lock);
  trap.displays.emplace_back(display, 0);
  if (!trap.installed)
  {
    trap.previous = XSetErrorHandler(TrapErrors);
    trap.installed = true;
  }
}

void ReleaseDisplay(Display* display)
{
  ErrorTrap& trap = Trap();
  std::lock_guard<std::mutex> guard(trap.lock);
  for (size_t i = 0; i < trap.displays.size(); ++i)
    if (trap.displays[i].first == display)
    {
      trap.displays.erase(trap.displays.begin() + static_cast<long>(i));
      break;
    }
  if (trap.installed && trap.displays.empty())
  {
    XErrorHandler current = XSetErrorHandler(trap.previous);
    if (current != TrapErrors)
      XSetErrorHandler(current); // someone else's now: leave it
    else
      trap.installed = false;
  }
}

// Errors seen on a trapped connection so far; call after XSync for the requests in question.
unsigned long ErrorsOn(Display* display)
{
  ErrorTrap& trap = Trap();
  std::lock_guard<std::mutex> guard(trap.lock);
  for (const auto& entry : trap.displays)
    if (entry.first == display) return entry.second;
  return 0;
}

// The view's factor on a connection: the host's, GDK_SCALE, then the display's Xft.dpi (the
// resource string Xlib read from the root window when it connected).
IViewScale ChooseScaleOn(Display* display, double hostScale)
{
  return ChooseViewScale(hostScale, getenv("GDK_SCALE"),
                         display ? XResourceManagerString(display) : nullptr);
}
} // namespace

struct IGraphicsX11View::Impl
{
  IGraphics* graphics = nullptr;
  WDL_Mutex* mutex = nullptr;
  Display* display = nullptr;
  ::Window parent = 0;
  ::Window window = 0;
  GC gc = nullptr;
  XFontStruct* font = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  int width = 0, height = 0; // the editor's size, in editor pixels
  int scale = 1;             // window pixels per editor pixel along each axis
  int windowWidth = 0, windowHeight = 0;

  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  bool useShm = false;
  int shmCompletion = -1;       // the event type of a finished XShmPutImage
  bool putInFlight = false;     // the server may still be reading the shared image
  unsigned long putSerial = 0;  // request number of the last XShmPutImage
  std::vector<char> imageBytes; // XPutImage path: the image's pixels (not owned by the XImage)
  int redShift = 0, greenShift = 0, blueShift = 0;
  bool fastPixels = false; // 32-bit 0x00RRGGBB little-endian visual: no per-channel masks
  uint32_t opaqueBits = 0; // bits outside the colour masks (alpha of a 32-bit visual), all set

  // Editor thread only.
  std::vector<XEvent> events; // one idle call's events, kept to reuse its memory
  bool windowGone = false;    // destroyed with the host's parent: nothing more to show
  bool imageReady = false;    // the image holds a frame to show
  bool needShow = false;      // the window must be repainted from the image
  bool firstFrame = true;     // present once even when nothing is dirty
  IFrameClock clock;
  IClickCounter clicks;
  IPromptEditor prompt;
  unsigned heldButtons = 0; // bit 1 << button of the buttons pressed inside the editor

  bool CreateImage();
  bool CreatePlainImage();
  // The visual's pixel for a 0x00RRGGBB colour.
  unsigned long Pixel(uint32_t rgb) const
  {
    return PlaceChannel((rgb >> 16) & 0xff, redShift, visual->red_mask) |
           PlaceChannel((rgb >> 8) & 0xff, greenShift, visual->green_mask) |
           PlaceChannel(rgb & 0xff, blueShift, visual->blue_mask) | opaqueBits;
  }
  void FreeImage();
  // A ShmCompletion event.
  void PutCompleted(const XEvent& event);
  // Before the shared image is written again: returns once the server has read it.
  void AwaitPut();
  void ConvertBitmap();
  void Show();
  // An event's window position in editor pixels.
  int EditorX(int x) const { return WindowToEditor(x, scale); }
  int EditorY(int y) const { return WindowToEditor(y, scale); }
  void DrawPrompt();
  void HandleEvent(XEvent* event);
  void HandleButtonPress(const XButtonEvent& e);
  void HandleKey(XKeyEvent* e);
  void FreeAll();
};

bool IGraphicsX11View::Impl::CreateImage()
{
  if (LocalDisplay(display) && XShmQueryExtension(display))
  {
    image =
        XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shm,
                        static_cast<unsigned>(windowWidth), static_cast<unsigned>(windowHeight));
    if (image)
    {
      shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * windowHeight,
                         IPC_CREAT | 0600);
      if (shm.shmid >= 0)
      {
        shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
        if (shm.shmaddr != reinterpret_cast<char*>(-1))
        {
          shm.readOnly = False;
          // A server that cannot reach our memory (another host, another IPC namespace) answers
          // the attach with an error: the trap counts it, and the plain path is taken.
          const unsigned long errors = ErrorsOn(display);
          const bool attached = XShmAttach(display, &shm);
          XSync(display, False);
          // Marked for removal now: the segment goes away with its last detach, even if this
          // process dies.
          shmctl(shm.shmid, IPC_RMID, nullptr);
          if (attached && ErrorsOn(display) == errors)
          {
            useShm = true;
            shmCompletion = XShmGetEventBase(display) + ShmCompletion;
            return true;
          }
          if (attached) XShmDetach(display, &shm);
          XSync(display, False);
          shmdt(shm.shmaddr);
          image->data = nullptr;
          XDestroyImage(image);
          image = nullptr;
          shm = XShmSegmentInfo{};
          return CreatePlainImage();
        }
        shmctl(shm.shmid, IPC_RMID, nullptr);
      }
      image->data = nullptr;
      XDestroyImage(image);
      image = nullptr;
    }
    shm = XShmSegmentInfo{};
  }
  return CreatePlainImage();
}

bool IGraphicsX11View::Impl::CreatePlainImage()
{
  // Plain XPutImage: a client-side image over our own buffer.
  const int bitmapPad = 32;
  image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                       static_cast<unsigned>(windowWidth), static_cast<unsigned>(windowHeight),
                       bitmapPad, 0);
  if (!image) return false;
  imageBytes.assign(static_cast<size_t>(image->bytes_per_line) * windowHeight, 0);
  image->data = imageBytes.data();
  return true;
}

void IGraphicsX11View::Impl::FreeImage()
{
  if (!image) return;
  if (useShm)
  {
    XShmDetach(display, &shm);
    XSync(display, False);
    shmdt(shm.shmaddr);
  }
  image->data = nullptr; // our buffer or the segment, never malloc'd by Xlib
  XDestroyImage(image);
  image = nullptr;
  useShm = false;
}

void IGraphicsX11View::Impl::PutCompleted(const XEvent& event)
{
  // Only the last put's completion frees the image; an earlier one's may come after a new put.
  if (event.xany.window == window && event.xany.serial >= putSerial) putInFlight = false;
}

void IGraphicsX11View::Impl::AwaitPut()
{
  if (!putInFlight) return;
  // The completion event has not been seen yet: once a round trip is over, the server has
  // handled the put, which it does in one go.
  XSync(display, False);
  putInFlight = false;
}

void IGraphicsX11View::Impl::ConvertBitmap()
{
  LICE_IBitmap* bitmap = graphics ? graphics->GetDrawBitmap() : nullptr;
  const unsigned char* src = bitmap ? bitmap->PixelData() : nullptr;
  if (!image || !src) return;
  AwaitPut();
  const int w = bitmap->Width() < width ? bitmap->Width() : width;
  const int h = bitmap->Height() < height ? bitmap->Height() : height;
  const int span = bitmap->RowSpan();
  if (fastPixels)
    ExpandBitmapToXrgb(src, span, w, h, scale, opaqueBits,
                       reinterpret_cast<unsigned char*>(image->data), image->bytes_per_line);
  else
  {
    // Any other visual: each editor pixel through the channel masks once, put scale times along
    // the row; the other rows of the block are copies of the first, whatever the pixel format.
    const size_t rowBytes = static_cast<size_t>(image->bytes_per_line);
    for (int y = 0; y < h; ++y)
    {
      const unsigned char* row = src + static_cast<size_t>(y) * span * 4;
      const int top = y * scale;
      for (int x = 0; x < w; ++x)
      {
        const unsigned char* p = row + 4 * x;
        const unsigned long pixel =
            Pixel((static_cast<uint32_t>(p[LICE_PIXEL_R]) << 16) |
                  (static_cast<uint32_t>(p[LICE_PIXEL_G]) << 8) | p[LICE_PIXEL_B]);
        for (int k = 0; k < scale; ++k) XPutPixel(image, x * scale + k, top, pixel);
      }
      char* first = image->data + static_cast<size_t>(top) * rowBytes;
      for (int k = 1; k < scale; ++k) memcpy(first + k * rowBytes, first, rowBytes);
    }
  }
  imageReady = true;
  needShow = true;
}

void IGraphicsX11View::Impl::Show()
{
  needShow = false;
  if (!imageReady || windowGone) return;
  if (useShm)
  {
    // The server copies the shared image while this thread goes on (4 times the pixels at scale
    // 2); its completion event, or a round trip, tells when the image may be written again.
    putSerial = NextRequest(display);
    XShmPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(windowWidth),
                 static_cast<unsigned>(windowHeight), True);
    putInFlight = true;
  }
  else
    XPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(windowWidth),
              static_cast<unsigned>(windowHeight));
  DrawPrompt();
  XFlush(display);
}

void IGraphicsX11View::Impl::DrawPrompt()
{
  if (!prompt.IsOpen()) return;
  const IPromptLayout& layout = prompt.Layout();
  const unsigned long white = Pixel(0xffffff);
  const unsigned long black = Pixel(0x000000);
  // Rectangles in editor pixels, drawn at the window's scale; the font keeps its size.
  auto box = [&](const IRECT& editorRect, unsigned long fill)
  {
    const IRECT r = EditorToWindow(editorRect, scale);
    XSetForeground(display, gc, fill);
    XFillRectangle(display, window, gc, r.L, r.T, static_cast<unsigned>(r.W()),
                   static_cast<unsigned>(r.H()));
    XSetForeground(display, gc, black);
    XDrawRectangle(display, window, gc, r.L, r.T, static_cast<unsigned>(r.W() - 1),
                   static_cast<unsigned>(r.H() - 1));
  };
  auto text = [&](const IRECT& editorRect, const std::string& s, unsigned long colour)
  {
    if (!font) return;
    const IRECT r = EditorToWindow(editorRect, scale);
    const int n = static_cast<int>(s.size());
    const int tw = XTextWidth(font, s.c_str(), n);
    const int x = r.L + (r.W() - tw) / 2;
    const int y = r.T + (r.H() + font->ascent - font->descent) / 2;
    XSetForeground(display, gc, colour);
    XDrawString(display, window, gc, x, y, s.c_str(), n);
  };
  box(layout.mRect, white);
  if (prompt.AllSelected() && !prompt.Text().empty())
  {
    // The selection, as a highlight behind the text, two editor pixels inside the frame.
    const IRECT& f = layout.mRect;
    box(IRECT(f.L + 2, f.T + 2, f.R - 2, f.B - 2), Pixel(0x9fc3ff));
  }
  text(layout.mRect, prompt.Text(), black);
  if (layout.mKind == kPromptList)
    for (int i = 0; i < static_cast<int>(layout.mItems.size()); ++i)
    {
      const IRECT row = prompt.ListRowRect(i);
      const bool selected = i == prompt.Selected();
      box(row, selected ? black : white);
      text(row, layout.mItems[static_cast<size_t>(i)], selected ? white : black);
    }
}

void IGraphicsX11View::Impl::HandleButtonPress(const XButtonEvent& e)
{
  const int x = EditorX(e.x), y = EditorY(e.y);
  const unsigned button = e.button;
  if (button == Button4 || button == Button5)
  {
    graphics->OnMouseWheel(x, y, MouseStateFromX11(e.state, false), button == Button4 ? 1 : -1);
    return;
  }
  if (button != Button1 && button != Button3) return;
  const bool right = button == Button3;
  if (prompt.IsOpen())
  {
    const bool inside = prompt.Contains(x, y);
    const IPromptClick click = DecidePromptClick(kPromptCocoa, inside, right);
    if (inside)
    {
      const int row = prompt.ListRowAt(x, y);
      if (row >= 0 && !right)
      {
        prompt.Select(row);
        prompt.Apply(graphics);
      }
      needShow = true;
      clicks.Reset();
      return;
    }
    if (click.mClose)
    {
      if (click.mApply)
        prompt.Apply(graphics);
      else
        prompt.Close();
      needShow = true;
    }
    if (!click.mDispatch)
    {
      clicks.Reset();
      return;
    }
  }
  const IMouseState mods = MouseStateFromX11(e.state, right);
  heldButtons |= 1u << button; // its release goes to the editor too
  if (right)
  {
    clicks.Reset();
    graphics->OnMouseDown(x, y, mods);
    return;
  }
  if (clicks.Press(static_cast<int>(button), x, y, static_cast<int64_t>(e.time)) == 2)
    graphics->OnMouseDoubleClick(x, y, mods);
  else
    graphics->OnMouseDown(x, y, mods);
}

void IGraphicsX11View::Impl::HandleKey(XKeyEvent* e)
{
  if (!prompt.IsOpen()) return;
  char text[32] = {};
  KeySym key = 0;
  const int n = XLookupString(e, text, sizeof(text) - 1, &key, nullptr);
  text[n > 0 ? n : 0] = 0;
  switch (key)
  {
  case XK_Return:
  case XK_KP_Enter:
    prompt.Apply(graphics);
    break;
  case XK_Escape:
    prompt.Close();
    break;
  case XK_BackSpace:
    prompt.Backspace();
    break;
  case XK_Up:
    prompt.MoveSelection(-1);
    break;
  case XK_Down:
    prompt.MoveSelection(1);
    break;
  default:
    if (n > 0) prompt.Type(text);
    break;
  }
  needShow = true;
}

void IGraphicsX11View::Impl::HandleEvent(XEvent* event)
{
  switch (event->type)
  {
  case Expose:
    if (event->xexpose.count == 0) needShow = true;
    break;
  case ButtonPress:
    HandleButtonPress(event->xbutton);
    break;
  case ButtonRelease:
  {
    const XButtonEvent& e = event->xbutton;
    if (e.button != Button1 && e.button != Button3) break;
    // Only a release whose press reached the editor; the press may have been the prompt's.
    if (!(heldButtons & (1u << e.button))) break;
    heldButtons &= ~(1u << e.button);
    graphics->OnMouseUp(EditorX(e.x), EditorY(e.y),
                        MouseStateFromX11(e.state, e.button == Button3));
    break;
  }
  case MotionNotify:
  {
    const XMotionEvent& e = event->xmotion;
    const bool dragging = (e.state & (Button1Mask | Button3Mask)) != 0 && heldButtons != 0;
    const bool right = (e.state & Button3Mask) && !(e.state & Button1Mask);
    if (dragging)
      graphics->OnMouseDrag(EditorX(e.x), EditorY(e.y), MouseStateFromX11(e.state, right));
    else
      graphics->OnMouseOver(EditorX(e.x), EditorY(e.y), MouseStateFromX11(e.state, false));
    break;
  }
  case KeyPress:
    HandleKey(&event->xkey);
    break;
  case DestroyNotify:
    // The host destroyed its window, and ours with it, before closing the editor.
    windowGone = true;
    window = 0;
    break;
  default:
    break;
  }
}

void IGraphicsX11View::Impl::FreeAll()
{
  if (display)
  {
    FreeImage();
    if (font) XFreeFont(display, font);
    if (gc) XFreeGC(display, gc);
    if (window) XDestroyWindow(display, window);
    XSync(display, False);
    ReleaseDisplay(display);
    XCloseDisplay(display);
  }
  font = nullptr;
  gc = nullptr;
  window = 0;
  display = nullptr;
}

// ---- the view ----

IGraphicsX11View::IGraphicsX11View(Impl* impl) : mImpl(impl) {}

IViewScale IGraphicsX11View::PredictScale(double hostScale, bool* settled)
{
  if (settled) *settled = true;
  // Without the display when the host or GDK_SCALE decides.
  const IViewScale early = ChooseViewScale(hostScale, getenv("GDK_SCALE"), nullptr);
  if (early.mSource != kViewScaleDefault) return early;
  Display* display = XOpenDisplay(nullptr);
  if (!display)
  {
    if (settled) *settled = false;
    return early;
  }
  const IViewScale scale = ChooseScaleOn(display, hostScale);
  XCloseDisplay(display);
  return scale;
}

IGraphicsX11View* IGraphicsX11View::Open(IGraphics* graphics, WDL_Mutex* mutex,
                                         unsigned long parentWindow, int scale)
{
  if (!graphics || !parentWindow || graphics->Width() <= 0 || graphics->Height() <= 0)
    return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;

  TrapDisplay(display);
  XWindowAttributes parentAttributes;
  if (!XGetWindowAttributes(display, static_cast<::Window>(parentWindow), &parentAttributes))
  {
    ReleaseDisplay(display);
    XCloseDisplay(display);
    return nullptr;
  }

  Impl* impl = new Impl;
  impl->graphics = graphics;
  impl->mutex = mutex;
  impl->display = display;
  impl->parent = static_cast<::Window>(parentWindow);
  impl->width = graphics->Width();
  impl->height = graphics->Height();
  if (scale <= 0) scale = ChooseScaleOn(display, graphics->HostScale()).mFactor;
  impl->scale = scale > kMaxViewScale ? kMaxViewScale : scale;
  impl->windowWidth = impl->width * impl->scale;
  impl->windowHeight = impl->height * impl->scale;
  impl->clock = IFrameClock(graphics->FPS());
  // The child takes the parent's visual and depth (CopyFromParent), so the image does too: hosts
  // may use a 32-bit visual with alpha.
  impl->visual = parentAttributes.visual;
  impl->depth = parentAttributes.depth;
  impl->redShift = MaskShift(impl->visual->red_mask);
  impl->greenShift = MaskShift(impl->visual->green_mask);
  impl->blueShift = MaskShift(impl->visual->blue_mask);
  const unsigned long colourBits =
      impl->visual->red_mask | impl->visual->green_mask | impl->visual->blue_mask;
  impl->opaqueBits = impl->depth == 32 ? static_cast<uint32_t>(~colourBits) : 0u;

  XSetWindowAttributes attributes{};
  attributes.background_pixel = impl->Pixel(0x000000);
  attributes.border_pixel = 0;
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                          KeyPressMask | StructureNotifyMask;
  impl->window =
      XCreateWindow(display, impl->parent, 0, 0, static_cast<unsigned>(impl->windowWidth),
                    static_cast<unsigned>(impl->windowHeight), 0, CopyFromParent, InputOutput,
                    CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  impl->gc = impl->window ? XCreateGC(display, impl->window, 0, nullptr) : nullptr;
  XSync(display, False);
  bool ok = impl->window && impl->gc && ErrorsOn(display) == 0 && impl->CreateImage();
  if (ok)
  {
    impl->fastPixels = impl->image->bits_per_pixel == 32 && impl->image->byte_order == LSBFirst &&
                       impl->visual->red_mask == 0xff0000 && impl->visual->green_mask == 0xff00 &&
                       impl->visual->blue_mask == 0xff;
    impl->font = XLoadQueryFont(display, "fixed"); // the prompt's text; none drawn without it
  }
  if (!ok)
  {
    impl->FreeAll();
    delete impl;
    return nullptr;
  }
  XStoreName(display, impl->window, "Tarvex");
  XMapWindow(display, impl->window);
  XSync(display, False);

  IGraphicsX11View* view = new IGraphicsX11View(impl);
  // The window shows the editor at once, also for a host that never sends idle calls.
  impl->clock.Start(MonotonicNs());
  view->DrawFrame();
  if (impl->needShow) impl->Show();
  return view;
}

IGraphicsX11View::~IGraphicsX11View()
{
  mImpl->FreeAll();
  delete mImpl;
}

unsigned long IGraphicsX11View::Window() const
{
  return mImpl->window;
}

int IGraphicsX11View::ConnectionFd() const
{
  return ConnectionNumber(mImpl->display);
}

int IGraphicsX11View::Scale() const
{
  return mImpl->scale;
}

void IGraphicsX11View::Show()
{
  mImpl->Show();
}

bool IGraphicsX11View::UsesSharedMemory() const
{
  return mImpl->useShm;
}

bool IGraphicsX11View::Present(const IRECT&)
{
  mImpl->ConvertBitmap();
  mFramesPresented.fetch_add(1, std::memory_order_relaxed);
  return mImpl->imageReady;
}

void IGraphicsX11View::OpenPrompt(IControl* control, IParam* param)
{
  Impl& v = *mImpl;
  if (v.windowGone || !v.prompt.Open(control, param, v.height, kPromptCocoa)) return;
  // Keys go to the prompt: take the keyboard focus for the editor window.
  XSetInputFocus(v.display, v.window, RevertToParent, CurrentTime);
  v.needShow = true;
}

void IGraphicsX11View::Idle()
{
  Impl& v = *mImpl;
  if (!v.display) return;
  // Events first, so that a frame due now shows their effect. Only the last of a run of pointer
  // moves matters.
  std::vector<XEvent>& events = v.events;
  events.clear();
  while (XPending(v.display))
  {
    XEvent event;
    XNextEvent(v.display, &event);
    // A finished put concerns only the view: taken here, without the plug-in mutex, which the
    // other events need.
    if (event.type == v.shmCompletion)
      v.PutCompleted(event);
    else if (event.type == MotionNotify && !events.empty() && events.back().type == MotionNotify)
      events.back() = event;
    else
      events.push_back(event);
  }
  if (!events.empty())
  {
    // Mouse handlers edit the band table and parameters that processing reads under the plug-in
    // mutex: each batch of events takes it, for microseconds.
    WDL_MutexLock lock(v.mutex);
    for (XEvent& event : events)
      if (event.xany.window == v.window) v.HandleEvent(&event);
  }
  if (v.clock.Due(MonotonicNs())) DrawFrame();
  if (v.needShow) v.Show();
}

void IGraphicsX11View::DrawFrame()
{
  Impl& v = *mImpl;
  IRECT dirty;
  if (CollectRedraw(v.graphics, &dirty)) v.graphics->Draw(dirty);
  // The first frame is drawn within Open, before the graphics object knows this view, so its
  // present does not reach the view: it is presented here, drawn or not.
  if (v.firstFrame && !v.imageReady) Present(dirty);
  v.firstFrame = false;
}
