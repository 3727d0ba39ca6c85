// tarvex-snapshot: opens the plug-in's editor the way an X11 host does and writes what the window
// shows to a PNG. Loads the VST bundle, applies --set settings, plays an audio file (or the demo
// signal) through processReplacing in 512-frame blocks while the editor is open, lets display
// frames run, replays pointer gestures with XTest and reads the editor window back with XGetImage.
// Runs on $DISPLAY, or on a private Xvfb of its own when DISPLAY is unset. --scale 2 asks for the
// editor at twice its size the one way a VST 2.4 host can: through the environment the plug-in
// reads (GDK_SCALE, which comes before the display's Xft.dpi).
//
// Threads: the main thread is the host's GUI thread: it drives X and the plug-in's dispatcher and,
// while the editor is open, sends effEditIdle about 60 times a second, in which the editor handles
// its events and draws. One audio thread calls processReplacing.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tools/tarvex-demo-signal.h"
#include "tools/tarvex-render-host.h"
#include "tools/x11/XvfbServer.h"

namespace
{
const char* const kProgram = "tarvex-snapshot";
constexpr int kBlock = 512;           // frames per processReplacing call
constexpr int kDragSteps = 12;        // pointer moves between a drag's ends
constexpr int kStepMs = 25;           // pause between moves: each becomes its own event
constexpr int kGestureSettleMs = 300; // frames after a gesture before the next one or the shot
constexpr int kIdleIntervalMs = 16;   // effEditIdle period while the editor is open

void Fail(const std::string& message)
{
  fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

struct Gesture
{
  bool drag = false;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct Options
{
  std::string plugin;
  std::vector<std::string> sets;
  std::string input;
  std::vector<Gesture> gestures;
  int settleMs = 1000;
  int scale = 1; // GDK_SCALE for the plug-in; gestures are in editor pixels, times this
  std::string output;
};

void PrintUsage(FILE* out)
{
  fprintf(out,
          "usage: %s [options] OUT.png\n"
          "Opens the Tarvex editor in an X11 window, plays audio through the plug-in and writes "
          "the editor's picture (752 x 576, or 1504 x 1152 at --scale 2) to OUT.png.\n"
          "  --plugin PATH       the plug-in bundle (Tarvex.vst) or its .so (default: beside "
          "this program)\n"
          "  --set \"NAME=VALUE\"  sets a parameter by name, as tarvex-render does; repeatable\n"
          "  --input FILE        audio played while the editor is open (default: the demo "
          "signal)\n"
          "  --settle MS         display time before the gestures (default 1000)\n"
          "  --scale N           the editor's scale factor, 1 (default) or 2: sets GDK_SCALE=N "
          "for the plug-in, as a VST host can only tell it through the environment (it comes "
          "before the display's Xft.dpi)\n"
          "  --hover X,Y         moves the pointer to X,Y in the editor; repeatable\n"
          "  --drag X1,Y1:X2,Y2  presses at X1,Y1 and moves to X2,Y2; the last drag is shot "
          "with the button still held\n"
          "Gesture coordinates are editor pixels (752 x 576) at any scale. Uses $DISPLAY, or a "
          "private Xvfb when DISPLAY is unset; the screen must hold the whole editor.\n",
          kProgram);
}

bool ParseInt(const char*& p, int* value)
{
  char* end = nullptr;
  errno = 0;
  const long v = strtol(p, &end, 10);
  if (errno || end == p || v < -100000 || v > 100000) return false;
  *value = static_cast<int>(v);
  p = end;
  return true;
}

bool ParsePoint(const char*& p, int* x, int* y)
{
  if (!ParseInt(p, x) || *p != ',') return false;
  ++p;
  return ParseInt(p, y);
}

// 0: parsed; 1: --help shown; 2: usage error.
int ParseOptions(int argc, char** argv, Options* options)
{
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    auto needValue = [&](const char* what) -> const char*
    {
      if (i + 1 >= argc)
      {
        Fail(arg + " needs " + what);
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h")
    {
      PrintUsage(stdout);
      return 1;
    }
    else if (arg == "--plugin" || arg == "--input")
    {
      const char* v = needValue(arg == "--plugin" ? "a path" : "an audio file");
      if (!v) return 2;
      (arg == "--plugin" ? options->plugin : options->input) = v;
    }
    else if (arg == "--set")
    {
      const char* v = needValue("\"NAME=VALUE\"");
      if (!v) return 2;
      options->sets.push_back(v);
    }
    else if (arg == "--settle")
    {
      const char* v = needValue("milliseconds");
      if (!v) return 2;
      const char* p = v;
      if (!ParseInt(p, &options->settleMs) || *p || options->settleMs < 0 ||
          options->settleMs > 60000)
      {
        Fail(std::string("--settle: not a time from 0 to 60000 ms: '") + v + "'");
        return 2;
      }
    }
    else if (arg == "--scale")
    {
      const char* v = needValue("1 or 2");
      if (!v) return 2;
      const char* p = v;
      if (!ParseInt(p, &options->scale) || *p || options->scale < 1 || options->scale > 2)
      {
        Fail(std::string("--scale: expected 1 or 2, got '") + v + "'");
        return 2;
      }
    }
    else if (arg == "--hover" || arg == "--drag")
    {
      const bool drag = arg == "--drag";
      const char* v = needValue(drag ? "X1,Y1:X2,Y2" : "X,Y");
      if (!v) return 2;
      Gesture g;
      g.drag = drag;
      const char* p = v;
      bool ok = ParsePoint(p, &g.x1, &g.y1);
      if (ok && drag) ok = *p++ == ':' && ParsePoint(p, &g.x2, &g.y2);
      if (!ok || *p)
      {
        Fail(arg + ": expected " + (drag ? "X1,Y1:X2,Y2" : "X,Y") + ", got '" + v + "'");
        return 2;
      }
      options->gestures.push_back(g);
    }
    else if (arg.size() > 1 && arg[0] == '-')
    {
      Fail("unknown option '" + arg + "' (see --help)");
      return 2;
    }
    else
      files.push_back(arg);
  }
  if (files.size() != 1)
  {
    Fail(files.empty() ? "no output file (see --help)" : "expected one output file (see --help)");
    return 2;
  }
  options->output = files[0];
  const std::string& out = options->output;
  if (out.size() < 5 || strcasecmp(out.c_str() + out.size() - 4, ".png") != 0)
  {
    Fail("the output must be a .png file: '" + out + "'");
    return 2;
  }
  return 0;
}

std::string DefaultPluginPath()
{
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return "Tarvex.vst";
  self[n] = 0;
  std::string dir = self;
  dir.resize(dir.find_last_of('/'));
  return dir + "/Tarvex.vst";
}

// Stereo interleaved audio and its rate: the input file, or the demo signal.
bool LoadAudio(const std::string& path, std::vector<float>* audio, int* rate, std::string* error)
{
  if (path.empty())
  {
    long long frames = 0;
    const std::vector<double> demo = MakeDemoSignal(&frames);
    audio->assign(demo.begin(), demo.end());
    *rate = kDemoRate;
    return true;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file)
  {
    *error = "cannot read audio file '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.channels > 2 || info.frames <= 0 || info.samplerate <= 0)
  {
    sf_close(file);
    *error = "'" + path + "' must be mono or stereo audio with at least one frame";
    return false;
  }
  std::vector<float> raw(static_cast<size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(file, raw.data(), info.frames);
  sf_close(file);
  audio->resize(static_cast<size_t>(2 * got));
  for (sf_count_t i = 0; i < got; ++i)
    for (int c = 0; c < 2; ++c)
      (*audio)[static_cast<size_t>(2 * i + c)] =
          raw[static_cast<size_t>(i * info.channels + (info.channels == 2 ? c : 0))];
  *rate = info.samplerate;
  if (got <= 0)
  {
    *error = "no audio in '" + path + "'";
    return false;
  }
  return true;
}

// Plays the audio in a loop at its own pace through processReplacing until stopped.
class AudioFeeder
{
public:
  AudioFeeder(AEffect* effect, const std::vector<float>* audio, int rate)
      : mEffect(effect), mAudio(audio), mRate(rate)
  {
  }
  ~AudioFeeder() { Stop(); }
  void Start()
  {
    mThread = std::thread([this] { Run(); });
  }
  void Stop()
  {
    mStop.store(true);
    if (mThread.joinable()) mThread.join();
  }

private:
  void Run()
  {
    std::vector<float> in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock);
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};
    const size_t frames = mAudio->size() / 2;
    size_t position = 0;
    auto next = std::chrono::steady_clock::now();
    const auto blockTime = std::chrono::microseconds(1000000ll * kBlock / mRate);
    while (!mStop.load())
    {
      for (int s = 0; s < kBlock; ++s)
      {
        in0[s] = (*mAudio)[2 * position];
        in1[s] = (*mAudio)[2 * position + 1];
        position = (position + 1) % frames;
      }
      mEffect->processReplacing(mEffect, ins, outs, kBlock);
      next += blockTime;
      std::this_thread::sleep_until(next);
    }
  }

  AEffect* mEffect;
  const std::vector<float>* mAudio;
  int mRate;
  std::thread mThread;
  std::atomic<bool> mStop{false};
};

// Writes 0x00RRGGBB pixels as an RGB PNG through a temporary file, so that a failure leaves no
// file behind.
bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h,
              std::string* error)
{
  std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < pixels.size(); ++i)
  {
    rgb[3 * i] = static_cast<unsigned char>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<unsigned char>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<unsigned char>(pixels[i]);
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGB;
  const std::string temporary = path + ".partial";
  if (!png_image_write_to_file(&image, temporary.c_str(), 0, rgb.data(), w * 3, nullptr))
  {
    *error = "cannot write '" + path + "': " + image.message;
    unlink(temporary.c_str());
    return false;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0)
  {
    *error = "cannot write '" + path + "': " + strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

class XSession
{
public:
  ~XSession()
  {
    if (mParent) XDestroyWindow(mDisplay, mParent);
    if (mDisplay) XCloseDisplay(mDisplay);
    mServer.Stop();
  }
  // w x h: the editor window's size, which a private server's screen is made to hold.
  bool Open(int w, int h, std::string* error)
  {
    const char* display = getenv("DISPLAY");
    if (!display || !*display)
    {
      std::string why;
      const std::string screen =
          std::to_string(std::max(w, 1024)) + "x" + std::to_string(std::max(h, 768)) + "x24";
      if (!mServer.Start({}, &why, 10000, screen))
      {
        *error = "no X server: DISPLAY is not set and Xvfb cannot be started (" + why + ")";
        return false;
      }
      setenv("DISPLAY", mServer.DisplayName().c_str(), 1); // the plug-in's view connects here
    }
    const char* name = getenv("DISPLAY");
    mDisplay = XOpenDisplay(name);
    if (!mDisplay)
    {
      *error = std::string("no X server: cannot open display '") + name + "'";
      return false;
    }
    int event, errorBase, major, minor;
    if (!XTestQueryExtension(mDisplay, &event, &errorBase, &major, &minor))
    {
      *error = "the X server has no XTEST extension";
      return false;
    }
    return true;
  }
  // An undecorated window at the top-left corner, above the others, so that root and editor
  // coordinates agree and nothing covers the editor.
  Window MakeParent(int w, int h)
  {
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(mDisplay, DefaultScreen(mDisplay));
    a.override_redirect = True;
    mParent = XCreateWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    XMapRaised(mDisplay, mParent);
    XSync(mDisplay, False);
    return mParent;
  }
  Window EditorWindow()
  {
    Window root = 0, parent = 0, *children = nullptr, found = 0;
    unsigned n = 0;
    if (XQueryTree(mDisplay, mParent, &root, &parent, &children, &n) && n > 0)
      found = children[n - 1];
    if (children) XFree(children);
    return found;
  }
  void Move(int x, int y)
  {
    XTestFakeMotionEvent(mDisplay, -1, x, y, 0);
    XSync(mDisplay, False);
  }
  void Button(bool press)
  {
    XTestFakeButtonEvent(mDisplay, 1, press ? True : False, 0);
    XSync(mDisplay, False);
  }
  bool Capture(Window window, int w, int h, std::vector<uint32_t>* pixels)
  {
    XSync(mDisplay, False);
    XImage* image = XGetImage(mDisplay, window, 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return false;
    pixels->resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        (*pixels)[static_cast<size_t>(y) * w + x] =
            static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xffffff;
    XDestroyImage(image);
    return true;
  }

private:
  XvfbServer mServer;
  Display* mDisplay = nullptr;
  Window mParent = 0;
};

int Snapshot(const Options& options)
{
  std::string error;
  std::vector<float> audio;
  int rate = 0;
  if (!LoadAudio(options.input, &audio, &rate, &error))
  {
    Fail(error);
    return 1;
  }
  // Before the plug-in is asked for its size: the size before opening is the window's.
  setenv("GDK_SCALE", std::to_string(options.scale).c_str(), 1);
  RenderPlugin plug;
  if (!plug.Load(options.plugin.empty() ? DefaultPluginPath() : options.plugin, &error))
  {
    Fail(error);
    return 1;
  }
  plug.Open(rate, kBlock);
  for (const std::string& setting : options.sets)
    if (!ApplySetting(plug, setting, &error))
    {
      Fail(error);
      return 1;
    }
  AEffect* effect = plug.Effect();
  ERect* rect = nullptr;
  if (!(effect->flags & effFlagsHasEditor) || plug.Dispatch(effEditGetRect, 0, 0, &rect) != 1 ||
      !rect)
  {
    Fail("the plug-in has no editor");
    return 1;
  }
  const int w = rect->right - rect->left, h = rect->bottom - rect->top;
  if (w <= 0 || h <= 0 || w > 8192 || h > 8192)
  {
    Fail("the plug-in reports an editor of " + std::to_string(w) + " x " + std::to_string(h));
    return 1;
  }

  XSession x;
  if (!x.Open(w, h, &error))
  {
    Fail(error);
    return 1;
  }
  const Window parent = x.MakeParent(w, h);
  plug.Start();
  AudioFeeder feeder(effect, &audio, rate);
  feeder.Start();
  if (plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) !=
      1)
  {
    feeder.Stop();
    Fail("the plug-in's editor did not open");
    return 1;
  }
  const Window editor = x.EditorWindow();
  // Waits as a host's GUI thread does: idle calls to the open editor all the while.
  auto IdleFor = [&plug](int ms)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do
    {
      plug.Dispatch(effEditIdle);
      std::this_thread::sleep_until(std::min(end, std::chrono::steady_clock::now() +
                                                      std::chrono::milliseconds(kIdleIntervalMs)));
    } while (std::chrono::steady_clock::now() < end);
  };
  IdleFor(options.settleMs);

  bool held = false;
  for (size_t i = 0; i < options.gestures.size(); ++i)
  {
    const Gesture& g = options.gestures[i];
    if (held)
    {
      x.Button(false);
      held = false;
    }
    // Editor pixels to window pixels.
    const int k = options.scale;
    x.Move(k * g.x1, k * g.y1);
    if (g.drag)
    {
      IdleFor(kStepMs);
      x.Button(true);
      held = true;
      for (int s = 1; s <= kDragSteps; ++s)
      {
        IdleFor(kStepMs);
        x.Move(k * (g.x1 + (g.x2 - g.x1) * s / kDragSteps),
               k * (g.y1 + (g.y2 - g.y1) * s / kDragSteps));
      }
      // Only the last drag is shot held; earlier ones are released before the next gesture.
      if (i + 1 < options.gestures.size())
      {
        IdleFor(kStepMs);
        x.Button(false);
        held = false;
      }
    }
    IdleFor(kGestureSettleMs);
  }

  std::vector<uint32_t> pixels;
  const bool captured = editor && x.Capture(editor, w, h, &pixels);
  if (held) x.Button(false);
  plug.Dispatch(effEditClose);
  feeder.Stop();
  plug.Stop();
  if (!captured)
  {
    Fail("cannot read the editor window");
    return 1;
  }
  if (!WritePng(options.output, pixels, w, h, &error))
  {
    Fail(error);
    return 1;
  }
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  Options options;
  const int parsed = ParseOptions(argc, argv, &options);
  if (parsed == 1) return 0;
  if (parsed != 0) return 2;
  return Snapshot(options);
}
