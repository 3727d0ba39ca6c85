// An X11 test host: a private Xvfb server, a top-level parent window per editor, a plug-in bundle
// loaded through its VST entry point, pointer and key input through XTest and the editor window's
// pixels read back with XGetImage.
//
// The tests' own thread is the host's GUI thread: it opens the editors and, whenever a test waits
// (WaitUntil, SleepMs), sends effEditIdle to every open editor, in which the view handles its
// events and draws. Requests are recorded with the thread they came from; other threads (audio)
// may call back too, so the record is locked.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ScopedEnv.h"
#include "tools/x11/XvfbServer.h"
#include "vst/VstAbi.h"

namespace x11test
{
using Clock = std::chrono::steady_clock;

struct Request
{
  int32_t opcode;
  int32_t index;
  float opt;
  std::thread::id thread;
};

struct Recorder
{
  std::mutex lock;
  std::vector<Request> requests;
  int Count(int32_t opcode, int32_t index)
  {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (const Request& r : requests) n += r.opcode == opcode && r.index == index;
    return n;
  }
  // Requests with this opcode that came from a thread other than `thread`.
  int CountOffThread(int32_t opcode, std::thread::id thread)
  {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (const Request& r : requests) n += r.opcode == opcode && r.thread != thread;
    return n;
  }
  void Clear()
  {
    std::lock_guard<std::mutex> guard(lock);
    requests.clear();
  }
};

inline Recorder& Requests()
{
  static Recorder recorder;
  return recorder;
}

inline VstIntPtr HostCallback(AEffect*, int32_t opcode, int32_t index, VstIntPtr, void* ptr,
                              float opt)
{
  {
    std::lock_guard<std::mutex> guard(Requests().lock);
    Requests().requests.push_back({opcode, index, opt, std::this_thread::get_id()});
  }
  switch (opcode)
  {
  case audioMasterVersion:
    return 2400;
  case audioMasterGetProductString:
    if (ptr) snprintf(static_cast<char*>(ptr), 64, "%s", "Tarvex X11 test host");
    return 1;
  default:
    return 0;
  }
}

// Editors opened through Instance::OpenEditor and not yet closed: the host keeps them running
// with idle calls from its GUI thread, this one.
inline std::vector<AEffect*>& OpenEditors()
{
  static std::vector<AEffect*> editors;
  return editors;
}

inline void IdleEditors()
{
  for (AEffect* effect : OpenEditors())
    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
}

// Polls pred every 5 ms, with idle calls to the open editors, until it holds or timeoutMs pass;
// returns its last answer.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 3000)
{
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;)
  {
    IdleEditors();
    if (pred()) return true;
    if (Clock::now() > deadline) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Waits ms milliseconds as a host's GUI thread does: idle calls to the open editors every 5 ms.
inline void SleepMs(int ms)
{
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  do
  {
    IdleEditors();
    std::this_thread::sleep_until(std::min(end, Clock::now() + std::chrono::milliseconds(5)));
  } while (Clock::now() < end);
}

// Entries in a /proc/self folder (open descriptors, threads).
inline int CountEntries(const char* folder)
{
  DIR* dir = opendir(folder);
  if (!dir) return -1;
  int n = 0;
  while (dirent* e = readdir(dir)) n += e->d_name[0] != '.';
  closedir(dir);
  return n;
}

// Shared memory segments created by this process that still exist.
inline int CountOwnShmSegments()
{
  FILE* f = fopen("/proc/sysvipc/shm", "r");
  if (!f) return -1;
  char line[512];
  int n = 0;
  const long self = getpid();
  if (!fgets(line, sizeof(line), f)) // header
  {
    fclose(f);
    return -1;
  }
  while (fgets(line, sizeof(line), f))
  {
    long key, shmid, perms, size, cpid;
    if (sscanf(line, "%ld %ld %lo %ld %ld", &key, &shmid, &perms, &size, &cpid) == 5 &&
        cpid == self)
      ++n;
  }
  fclose(f);
  return n;
}

// A private X server and the host's own connection to it. DISPLAY points at it while it runs;
// GDK_SCALE is unset meanwhile, so that an editor's scale factor comes only from what a test asks
// for (GdkScale, SetResources).
class Session
{
public:
  // withShm false starts the server without MIT-SHM, so the view takes the XPutImage path.
  // depth: of the server's screen (24, or 16 for a 5-6-5 visual). The screen, 1600 x 1200, holds
  // an editor at twice its size.
  bool Start(bool withShm, std::string* error, int depth = 24)
  {
    std::vector<std::string> args;
    if (!withShm) args = {"-extension", "MIT-SHM"};
    if (!mServer.Start(args, error, 10000, "1600x1200x" + std::to_string(depth))) return false;
    const char* old = getenv("DISPLAY");
    mOldDisplay = old ? old : "";
    mHadDisplay = old != nullptr;
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    mGdkScale.Set(nullptr);
    mDisplay = XOpenDisplay(mServer.DisplayName().c_str());
    if (!mDisplay)
    {
      *error = "cannot connect to " + mServer.DisplayName();
      return false;
    }
    int event, errorBase, major, minor;
    if (!XTestQueryExtension(mDisplay, &event, &errorBase, &major, &minor))
    {
      *error = "the server has no XTEST";
      return false;
    }
    return true;
  }
  ~Session()
  {
    if (mDisplay) XCloseDisplay(mDisplay);
    mServer.Stop();
    if (mHadDisplay)
      setenv("DISPLAY", mOldDisplay.c_str(), 1);
    else
      unsetenv("DISPLAY");
  }
  Display* display() const { return mDisplay; }

  // GDK_SCALE for the editors opened from now on (null: unset).
  void GdkScale(const char* value) { mGdkScale.Set(value); }
  // The root window's RESOURCE_MANAGER property, as xrdb leaves it ("Xft.dpi:\t192\n"): editors
  // read it when they connect.
  void SetResources(const std::string& resources)
  {
    XChangeProperty(mDisplay, DefaultRootWindow(mDisplay), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(mDisplay, False);
  }

  // A mapped top-level window at (x, y) of the editor's size.
  Window MakeParent(int x = 0, int y = 0, int w = 752, int h = 576)
  {
    XSetWindowAttributes a{};
    a.background_pixel = 0x303030;
    a.override_redirect = True;
    Window w0 = XCreateWindow(mDisplay, DefaultRootWindow(mDisplay), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                              CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    XMapRaised(mDisplay, w0);
    XSync(mDisplay, False);
    return w0;
  }
  std::vector<Window> Children(Window parent)
  {
    Window root = 0, par = 0, *kids = nullptr;
    unsigned n = 0;
    std::vector<Window> out;
    XSync(mDisplay, False);
    if (XQueryTree(mDisplay, parent, &root, &par, &kids, &n))
    {
      out.assign(kids, kids + n);
      if (kids) XFree(kids);
    }
    return out;
  }

  // ---- input (root coordinates; parents sit at the origin) ----
  void Move(int x, int y)
  {
    XTestFakeMotionEvent(mDisplay, -1, x, y, 0);
    XSync(mDisplay, False);
  }
  void Button(unsigned button, bool press)
  {
    XTestFakeButtonEvent(mDisplay, button, press ? True : False, 0);
    XSync(mDisplay, False);
  }
  void Click(int x, int y, unsigned button = 1)
  {
    Move(x, y);
    Button(button, true);
    Button(button, false);
  }
  // Presses at (x1, y1), moves in steps to (x2, y2) with a pause so each step is its own event,
  // and leaves the button held unless release is set.
  void Drag(int x1, int y1, int x2, int y2, int steps, bool release = true, unsigned button = 1)
  {
    Move(x1, y1);
    Button(button, true);
    for (int i = 1; i <= steps; ++i)
    {
      Move(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
      SleepMs(20);
    }
    if (release) Button(button, false);
  }
  void Key(KeySym sym, bool shift = false)
  {
    const KeyCode code = XKeysymToKeycode(mDisplay, sym);
    const KeyCode shiftCode = XKeysymToKeycode(mDisplay, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(mDisplay, shiftCode, True, 0);
    XTestFakeKeyEvent(mDisplay, code, True, 0);
    XTestFakeKeyEvent(mDisplay, code, False, 0);
    if (shift) XTestFakeKeyEvent(mDisplay, shiftCode, False, 0);
    XSync(mDisplay, False);
  }
  void Type(const std::string& text)
  {
    for (char c : text)
    {
      if (c == '-')
        Key(XK_minus);
      else if (c == '.')
        Key(XK_period);
      else
        Key(static_cast<KeySym>(c));
    }
  }

  // The window's pixels as 0x00RRGGBB, row by row (channels of narrower visuals widened by a
  // shift: 5 bits become the top 5 of 8); empty when it cannot be read.
  std::vector<uint32_t> Capture(Window window, int w, int h)
  {
    XSync(mDisplay, False);
    XImage* image = XGetImage(mDisplay, window, 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    std::vector<uint32_t> out;
    if (!image) return out;
    Visual* visual = DefaultVisual(mDisplay, DefaultScreen(mDisplay));
    auto channel = [](unsigned long pixel, unsigned long mask) -> uint32_t
    {
      int shift = 0, bits = 0;
      while (mask && !(mask & 1)) mask >>= 1, ++shift;
      while (mask & 1) mask >>= 1, ++bits;
      const uint32_t v = static_cast<uint32_t>((pixel >> shift) & ((1ul << bits) - 1));
      return bits >= 8 ? v >> (bits - 8) : v << (8 - bits);
    };
    out.resize(static_cast<size_t>(w) * h);
    if (image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
        visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 && visual->blue_mask == 0xff)
    {
      // The common 24-bit screen: words of 0x00RRGGBB (read directly, for large windows).
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
          uint32_t word;
          memcpy(&word, image->data + static_cast<size_t>(y) * image->bytes_per_line + 4 * x, 4);
          out[static_cast<size_t>(y) * w + x] = word & 0xffffff;
        }
      XDestroyImage(image);
      return out;
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
      {
        const unsigned long p = XGetPixel(image, x, y);
        out[static_cast<size_t>(y) * w + x] = (channel(p, visual->red_mask) << 16) |
                                              (channel(p, visual->green_mask) << 8) |
                                              channel(p, visual->blue_mask);
      }
    XDestroyImage(image);
    return out;
  }

private:
  XvfbServer mServer;
  Display* mDisplay = nullptr;
  std::string mOldDisplay;
  bool mHadDisplay = false;
  ScopedEnv mGdkScale{"GDK_SCALE", nullptr};
};

// One plug-in instance of a bundle, opened and running as a host sets it up.
class Instance
{
public:
  using Entry = AEffect* (*)(audioMasterCallback);
  static Entry LoadEntry(const std::string& binary, std::string* error)
  {
    void* library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL); // kept for the whole program
    if (!library)
    {
      const char* e = dlerror();
      *error = e ? e : "dlopen failed";
      return nullptr;
    }
    return reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
  }
  explicit Instance(Entry entry)
  {
    mEffect = entry ? entry(HostCallback) : nullptr;
    if (!mEffect) return;
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(effSetBlockSize, 0, 512);
    Dispatch(effMainsChanged, 0, 1);
  }
  ~Instance()
  {
    if (!mEffect) return;
    ForgetEditor();
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  AEffect* operator->() const { return mEffect; }
  explicit operator bool() const { return mEffect != nullptr; }
  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f)
  {
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  }
  float Get(int index) { return mEffect->getParameter(mEffect, index); }
  void Set(int index, float v) { mEffect->setParameter(mEffect, index, v); }
  std::string ParamText(int index)
  {
    char text[256] = {};
    Dispatch(effGetParamDisplay, index, 0, text);
    return text;
  }
  bool HasEditor() const { return (mEffect->flags & effFlagsHasEditor) != 0; }
  bool OpenEditor(Window parent)
  {
    const bool opened =
        Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) == 1;
    // A reopening without a close keeps one entry, which CloseEditor removes.
    auto& editors = OpenEditors();
    if (opened && std::find(editors.begin(), editors.end(), mEffect) == editors.end())
      editors.push_back(mEffect);
    return opened;
  }
  void CloseEditor()
  {
    ForgetEditor();
    Dispatch(effEditClose);
  }
  void Process(int frames)
  {
    std::vector<float> in0(frames, 0.1f), in1(frames, -0.1f), out0(frames), out1(frames);
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};
    mEffect->processReplacing(mEffect, ins, outs, frames);
  }

private:
  void ForgetEditor()
  {
    auto& editors = OpenEditors();
    for (size_t i = 0; i < editors.size(); ++i)
      if (editors[i] == mEffect)
      {
        editors.erase(editors.begin() + static_cast<long>(i));
        break;
      }
  }

  AEffect* mEffect = nullptr;
};
} // namespace x11test
