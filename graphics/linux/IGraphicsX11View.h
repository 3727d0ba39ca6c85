// The editor's X11 view: a child window of the host's parent window, the size of the graphics
// object, on a display connection of its own.
//
// Threads: Open and the destructor run on the host's editor thread (inside the VST dispatcher, with
// the plug-in's mutex held). The view then runs one thread of its own that owns the display
// connection: it waits for X events and for the next frame at the graphics object's rate (whether
// or not the host sends idle calls), and touches the graphics object only while holding the
// plug-in's mutex, which it takes without blocking so that closing never waits on it. Present and
// OpenPrompt are called by the graphics object from that thread, under the mutex.
//
// Pixels reach the window through MIT-SHM when the server offers it on a local connection, else
// through XPutImage. Every X resource (window, GC, font, image, shared segment, connection) is
// freed by the destructor.
#pragma once

#include <atomic>
#include <cstdint>

#include "graphics/IGraphicsStructs.h"

class IControl;
class IGraphics;
class IParam;
class WDL_Mutex;

class IGraphicsX11View
{
public:
  // parentWindow: the host's X11 Window id. mutex: the plug-in's (may be null when there is no
  // plug-in). Null when no display can be opened, the parent does not exist, or the window cannot
  // be made; nothing is left behind then.
  static IGraphicsX11View* Open(IGraphics* graphics, WDL_Mutex* mutex, unsigned long parentWindow);
  ~IGraphicsX11View();
  IGraphicsX11View(const IGraphicsX11View&) = delete;
  IGraphicsX11View& operator=(const IGraphicsX11View&) = delete;

  // View thread, mutex held: copies the graphics object's screen bitmap for the window.
  bool Present(const IRECT& rect);
  // View thread, mutex held: opens the text prompt (Cocoa rules for list or text field).
  void OpenPrompt(IControl* control, IParam* param);

  unsigned long Window() const;
  bool UsesSharedMemory() const;
  // Frames presented so far (diagnostics and tests).
  int64_t FramesPresented() const { return mFramesPresented.load(std::memory_order_relaxed); }

private:
  struct Impl;
  explicit IGraphicsX11View(Impl* impl);
  void Run();

  Impl* mImpl;
  std::atomic<int64_t> mFramesPresented{0};
};
