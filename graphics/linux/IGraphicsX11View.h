// The editor's X11 view: a child window of the host's parent window, the size of the graphics
// object times the view's scale factor (1, or 2 on high-density screens: each editor pixel a 2 x 2
// block, pointer coordinates halved before they reach the graphics object), on a display
// connection of its own. The factor is fixed for the life of the view; see ChooseViewScale in
// IGraphicsView.h for how it is chosen.
//
// Threads: the view has no thread of its own. Every entry runs on the editor's thread, the thread
// the host uses for the editor (the one that calls effEditOpen, effEditIdle and effEditClose, or
// the LV2 UI's instantiate, idle and cleanup), which is the only thread that uses the connection.
// Open, Idle and the destructor are called with no plug-in lock held. Idle handles the window's
// events, each batch under the plug-in's mutex (mouse handlers edit state that processing reads
// under it), then draws a frame when the frame clock says one is due, without the mutex: the frame
// shares data with the audio thread only through the engine's own locks, so the audio thread never
// waits for it. A host that calls Idle less often than the graphics object's frame rate gets its
// own rate; a host that never calls it keeps the frame drawn at Open. Present and OpenPrompt are
// called by the graphics object from within Idle.
//
// Pixels reach the window through MIT-SHM when the server offers it on a local connection, else
// through XPutImage. The server's copy of a shared image runs while the host's thread goes on; the
// image is not written again before the copy's completion event (or a round trip) says it is
// over. Every X resource (window, GC, font, image, shared segment, connection) is
// freed by the destructor, on the calling thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "graphics/IGraphicsStructs.h"
#include "graphics/IGraphicsView.h"

class IControl;
class IGraphics;
class IParam;
class WDL_Mutex;

class IGraphicsX11View
{
public:
  // parentWindow: the host's X11 Window id. mutex: the plug-in's (may be null when there is no
  // plug-in). scale: 1 or 2 (above 2 is 2), or 0 to choose it here from graphics->HostScale(),
  // GDK_SCALE and the display's Xft.dpi. Draws and shows the first frame. Null when no display can
  // be opened, the parent does not exist, or the window cannot be made; nothing is left behind
  // then.
  static IGraphicsX11View* Open(IGraphics* graphics, WDL_Mutex* mutex, unsigned long parentWindow,
                                int scale = 0);
  // The factor Open(..., 0) would choose now on the display named by DISPLAY: hostScale (as
  // IGraphics::HostScale), GDK_SCALE, then Xft.dpi, for which it connects to the display and
  // disconnects again. *settled (may be null) is false when Xft.dpi was needed but the display
  // could not be opened: the answer is 1 then, and an Open on a display that works later may
  // choose otherwise.
  static IViewScale PredictScale(double hostScale, bool* settled = nullptr);
  ~IGraphicsX11View();

  // The host's idle call: window events, then a frame when one is due.
  void Idle();
  IGraphicsX11View(const IGraphicsX11View&) = delete;
  IGraphicsX11View& operator=(const IGraphicsX11View&) = delete;

  // Within a frame: copies the graphics object's screen bitmap for the window.
  bool Present(const IRECT& rect);
  // Within an event (mutex held): opens the text prompt (Cocoa rules for list or text field).
  void OpenPrompt(IControl* control, IParam* param);

  // Repaints the window from the image (and the prompt over it). With MIT-SHM the server reads the
  // image after this returns; the next frame's Present waits for that only if it is not over yet.
  // Idle does this after every frame and for exposures; public for benchmarks.
  void Show();

  unsigned long Window() const;
  // File descriptor of the view's own X connection, for hosts that watch it and call Idle when it
  // is readable (CLAP posix-fd-support).
  int ConnectionFd() const;
  // The window's pixels per editor pixel along each axis: 1 or 2.
  int Scale() const;
  bool UsesSharedMemory() const;
  // Frames presented so far (diagnostics and tests).
  int64_t FramesPresented() const { return mFramesPresented.load(std::memory_order_relaxed); }

private:
  struct Impl;
  explicit IGraphicsX11View(Impl* impl);
  // One redraw pass of the graphics object (which presents it), or the first frame's present.
  void DrawFrame();

  Impl* mImpl;
  std::atomic<int64_t> mFramesPresented{0};
};
