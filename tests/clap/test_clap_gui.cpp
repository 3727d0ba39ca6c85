// Tarvex.clap's editor under a private Xvfb, driven as a CLAP host drives it: created, embedded in
// the host's X11 window, run by the host's timer (and its watch of the X connection), worked with
// XTest, and destroyed with nothing left behind. Every host callback must come from the thread its
// contract names, here the main thread (the test's own).
#include "tests/graphics/x11/X11TestHost.h"

#include <poll.h>

#include <set>

#include "tests/clap/ClapTestHost.h"

using namespace claptest;

namespace
{
constexpr clap_id kBandBGain = 5, kBandBFreq = 9, kOverallGain = 17;
constexpr int kOverallGainX = 648, kOverallGainY = 162; // knob centre
constexpr int kPlotLeft = 32, kPlotTop = 32;

void BandPointAtZeroDb(double f, int* x, int* y)
{
  *x = kPlotLeft + static_cast<int>(511.0 * std::log(f / 20.0) / std::log(1000.0) + 0.5);
  const double row = 511.0 * 68.68588963806504 / (60.0 + 68.68588963806504);
  *y = kPlotTop + 511 - static_cast<int>(row + 0.5);
}

// Host callbacks whose contract names the main thread.
const char* const kMainThreadCallbacks[] = {
    "timer.register", "timer.unregister", "fd.register",         "fd.unregister",
    "params.rescan",  "latency.changed",  "params.request_flush"};

class ClapGui : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::string error;
    ASSERT_TRUE(mSession.Start(true, &error)) << error;
    mParent = mSession.MakeParent();
    mFdsBefore = x11test::CountEntries("/proc/self/fd");
  }

  // Opens the editor as the standard's order has it; false when a step fails.
  bool Open(Instance& plug)
  {
    const auto* gui = plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    if (!gui || !gui->create(plug.get(), CLAP_WINDOW_API_X11, false)) return false;
    gui->set_scale(plug.get(), 1.0);
    uint32_t w = 0, h = 0;
    if (gui->can_resize(plug.get()) || !gui->get_size(plug.get(), &w, &h)) return false;
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = mParent;
    return gui->set_parent(plug.get(), &window) && gui->show(plug.get());
  }

  // The host's main loop for ms milliseconds: each registered timer when due, each registered
  // descriptor when readable.
  void Pump(Host& host, Instance& plug, int ms)
  {
    const auto* timer = plug.Extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
    const auto* fd = plug.Extension<clap_plugin_posix_fd_support_t>(CLAP_EXT_POSIX_FD_SUPPORT);
    const auto end = x11test::Clock::now() + std::chrono::milliseconds(ms);
    while (x11test::Clock::now() < end)
    {
      for (int f : std::vector<int>(host.fds))
      {
        pollfd p{f, POLLIN, 0};
        if (poll(&p, 1, 0) > 0)
        {
          fd->on_fd(plug.get(), f, CLAP_POSIX_FD_READ);
          ++mFdCalls;
        }
      }
      const int callbacks = host.Count("request_callback");
      if (callbacks > mCallbacksServed)
      {
        plug->on_main_thread(plug.get());
        mCallbacksServed = callbacks;
      }
      const auto now = x11test::Clock::now();
      for (const Host::Timer& t : std::vector<Host::Timer>(host.timers))
        if (now - mLastTick >= std::chrono::milliseconds(t.period))
        {
          timer->on_timer(plug.get(), t.id);
          mLastTick = now;
        }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  void Drag(Host& host, Instance& plug, int x1, int y1, int x2, int y2, int steps)
  {
    mSession.Move(x1, y1);
    Pump(host, plug, 50);
    mSession.Button(1, true);
    Pump(host, plug, 50);
    for (int i = 1; i <= steps; ++i)
    {
      mSession.Move(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
      Pump(host, plug, 30);
    }
    mSession.Button(1, false);
    Pump(host, plug, 100);
  }

  // Output events from repeated calls of `take` (a flush or a process call), the host's loop
  // running between them, until `ends` gesture ends have come or three seconds pass.
  std::vector<OutEvent> CollectUntilEnds(Host& host, Instance& plug, int ends,
                                         const std::function<std::vector<OutEvent>()>& take)
  {
    std::vector<OutEvent> all;
    const auto deadline = x11test::Clock::now() + std::chrono::seconds(3);
    for (;;)
    {
      const std::vector<OutEvent> some = take();
      all.insert(all.end(), some.begin(), some.end());
      const int seen = static_cast<int>(
          std::count_if(all.begin(), all.end(),
                        [](const OutEvent& e) { return e.type == CLAP_EVENT_PARAM_GESTURE_END; }));
      if (seen >= ends || x11test::Clock::now() > deadline) return all;
      Pump(host, plug, 20);
    }
  }

  void ExpectCallbacksOnMainThread(Host& host)
  {
    for (const char* name : kMainThreadCallbacks)
      EXPECT_EQ(host.CountOff(name, On::kMain), 0) << name;
  }

  x11test::Session mSession;
  Window mParent = 0;
  int mFdsBefore = 0;
  int mFdCalls = 0;
  int mCallbacksServed = 0;
  x11test::Clock::time_point mLastTick{};
};
} // namespace

TEST_F(ClapGui, OpensDrawsAndClosesOnTheMainThread)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug.Activate());
  const auto* gui = plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_NE(gui, nullptr);
  EXPECT_TRUE(gui->is_api_supported(plug.get(), CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->is_api_supported(plug.get(), CLAP_WINDOW_API_X11, true)) << "embedded only";
  EXPECT_FALSE(gui->is_api_supported(plug.get(), "wayland", false));
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->get_preferred_api(plug.get(), &api, &floating));
  EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
  EXPECT_FALSE(floating);
  EXPECT_FALSE(gui->create(plug.get(), "wayland", false));
  ASSERT_TRUE(gui->create(plug.get(), CLAP_WINDOW_API_X11, false));
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(gui->get_size(plug.get(), &w, &h));
  EXPECT_EQ(w, 752u);
  EXPECT_EQ(h, 576u);
  EXPECT_FALSE(gui->can_resize(plug.get()));
  EXPECT_FALSE(gui->set_size(plug.get(), 800, 600));
  EXPECT_TRUE(gui->set_size(plug.get(), 752, 576));
  clap_window_t window{};
  window.api = CLAP_WINDOW_API_X11;
  window.x11 = mParent;
  ASSERT_TRUE(gui->set_parent(plug.get(), &window));
  EXPECT_TRUE(gui->show(plug.get()));
  // One timer at the frame rate (60 a second) and the X connection, registered on this thread.
  ASSERT_EQ(host.timers.size(), 1u);
  EXPECT_EQ(host.timers[0].period, 16u);
  ASSERT_EQ(host.fds.size(), 1u);
  const std::vector<Window> children = mSession.Children(mParent);
  ASSERT_EQ(children.size(), 1u);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(mSession.display(), children[0], &attributes));
  EXPECT_EQ(attributes.width, 752);
  EXPECT_EQ(attributes.height, 576);

  // The host's loop draws frames while its audio thread processes.
  std::atomic<bool> stop{false};
  std::atomic<int> errors{0};
  std::thread audio(
      [&]
      {
        host.BeginAudioThread();
        const Stereo noise = Noise(512, 3);
        std::vector<float> l(512), r(512);
        float* in[2] = {const_cast<float*>(noise.l.data()), const_cast<float*>(noise.r.data())};
        float* out[2] = {l.data(), r.data()};
        while (!stop.load())
        {
          if (plug.ProcessCall(in, out, 512) != CLAP_PROCESS_CONTINUE) ++errors;
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        host.EndAudioThread();
      });
  Pump(host, plug, 500);
  stop.store(true);
  audio.join();
  EXPECT_EQ(errors.load(), 0);
  const std::vector<uint32_t> pixels = mSession.Capture(children[0], 752, 576);
  ASSERT_EQ(pixels.size(), 752u * 576u);
  std::set<uint32_t> colours(pixels.begin(), pixels.end());
  EXPECT_GT(colours.size(), 50u) << "the editor's picture, not an empty window";
  // Pointer motion wakes the descriptor.
  mSession.Move(300, 300);
  mSession.Move(310, 320);
  Pump(host, plug, 100);
  EXPECT_GT(mFdCalls, 0) << "the X connection was never readable";

  gui->hide(plug.get());
  gui->destroy(plug.get());
  EXPECT_TRUE(host.timers.empty()) << "timer left registered";
  EXPECT_TRUE(host.fds.empty()) << "descriptor left registered";
  EXPECT_TRUE(mSession.Children(mParent).empty()) << "window left behind";
  EXPECT_EQ(x11test::CountEntries("/proc/self/fd"), mFdsBefore) << "X connection left open";
  EXPECT_EQ(x11test::CountOwnShmSegments(), 0);
  ExpectCallbacksOnMainThread(host);
  // Created again after a destroy, it opens again.
  ASSERT_TRUE(Open(plug));
  Pump(host, plug, 100);
  gui->destroy(plug.get());
  EXPECT_TRUE(mSession.Children(mParent).empty());
}

// A knob drag and a band point drag reach the host as gestures: begin, values, end, as output
// events of the next flush (which the plug-in asks for on the main thread) or process call.
TEST_F(ClapGui, EditorGesturesBecomeOutputEvents)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  ASSERT_TRUE(Open(plug));
  Pump(host, plug, 300);
  const double before = plug.Value(kOverallGain);
  host.ClearCalls();
  Drag(host, plug, kOverallGainX, kOverallGainY, kOverallGainX, kOverallGainY - 25, 5);
  EXPECT_GE(host.Count("params.request_flush"), 1);
  // Inactive: flushes on the main thread, the host's loop running between them, until the
  // gesture's end has come (a loaded machine may take a few ticks for the release).
  std::vector<OutEvent> events = CollectUntilEnds(host, plug, 1, [&] { return plug.Flush(); });
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
  EXPECT_EQ(events.front().id, kOverallGain);
  EXPECT_EQ(events.back().type, CLAP_EVENT_PARAM_GESTURE_END);
  EXPECT_EQ(events.back().id, kOverallGain);
  double last = NAN;
  for (size_t i = 1; i + 1 < events.size(); ++i)
  {
    EXPECT_EQ(events[i].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(events[i].id, kOverallGain);
    last = events[i].value;
  }
  EXPECT_EQ(last, plug.Value(kOverallGain)) << "the value the host records is the one held";
  // 25 pixels up on a 50-pixel knob with gearing 4: +0.125 of the -60..60 dB range.
  EXPECT_NEAR(plug.Value(kOverallGain), before + 15.0, 1e-9);
  EXPECT_TRUE(plug.Flush().empty()) << "sent once";

  // A band point: gestures for gain and frequency, through process while active. The overall
  // gain goes back first (it moves every point of the curve), as a host would set it.
  plug.Flush({{kOverallGain, before}});
  ASSERT_TRUE(plug.Activate());
  Pump(host, plug, 200);
  int x = 0, y = 0;
  BandPointAtZeroDb(370.0, &x, &y);
  Drag(host, plug, x, y, x + 20, y - 60, 6);
  const std::vector<OutEvent> processed =
      CollectUntilEnds(host, plug, 2,
                       [&]
                       {
                         OutputEvents out;
                         host.OnAudio(
                             [&]
                             {
                               std::vector<float> l(256), r(256);
                               float* io[2] = {l.data(), r.data()};
                               plug.ProcessCall(io, io, 256, nullptr, &out);
                             });
                         return out.events;
                       });
  int begins = 0, ends = 0, values = 0;
  for (const OutEvent& e : processed)
  {
    EXPECT_EQ(e.time, 0u);
    if (e.type == CLAP_EVENT_PARAM_GESTURE_BEGIN)
    {
      EXPECT_EQ(ends, 0) << "a begin after an end";
      EXPECT_TRUE(e.id == kBandBGain || e.id == kBandBFreq) << e.id;
      ++begins;
    }
    else if (e.type == CLAP_EVENT_PARAM_GESTURE_END)
      ++ends;
    else if (e.type == CLAP_EVENT_PARAM_VALUE && (e.id == kBandBGain || e.id == kBandBFreq))
    {
      EXPECT_EQ(begins, 2) << "a value outside the gesture";
      EXPECT_EQ(ends, 0) << "a value outside the gesture";
      ++values;
    }
  }
  EXPECT_EQ(begins, 2);
  EXPECT_EQ(ends, 2);
  EXPECT_GT(values, 0);
  EXPECT_GT(plug.Value(kBandBGain), 10.0);
  plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI)->destroy(plug.get());
  ExpectCallbacksOnMainThread(host);
}

// Without timer support the editor could never run: create is refused and nothing is opened.
TEST_F(ClapGui, HostWithoutTimersIsRefused)
{
  HostOptions options;
  options.timers = false;
  Host host(options);
  Instance plug(host);
  ASSERT_TRUE(plug);
  const auto* gui = plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_NE(gui, nullptr);
  EXPECT_FALSE(gui->create(plug.get(), CLAP_WINDOW_API_X11, false));
  clap_window_t window{};
  window.api = CLAP_WINDOW_API_X11;
  window.x11 = mParent;
  EXPECT_FALSE(gui->set_parent(plug.get(), &window));
  gui->destroy(plug.get());
  EXPECT_TRUE(mSession.Children(mParent).empty());
  EXPECT_EQ(x11test::CountEntries("/proc/self/fd"), mFdsBefore);

  // A host whose timer cannot be had: set_parent fails and takes its window back.
  HostOptions failing;
  failing.timerRegistrationFails = true;
  Host other(failing);
  Instance second(other);
  ASSERT_TRUE(gui->create(second.get(), CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->set_parent(second.get(), &window));
  EXPECT_TRUE(mSession.Children(mParent).empty());
  gui->destroy(second.get());

  // A host without posix-fd-support: the timer alone runs the editor.
  HostOptions noFds;
  noFds.fds = false;
  Host third(noFds);
  Instance plug3(third);
  ASSERT_TRUE(Open(plug3));
  EXPECT_TRUE(third.fds.empty());
  Pump(third, plug3, 200);
  EXPECT_EQ(mSession.Children(mParent).size(), 1u);
  gui->destroy(plug3.get());
  EXPECT_EQ(x11test::CountEntries("/proc/self/fd"), mFdsBefore);
}

// A host that destroys the plug-in with its editor still open: the window goes with it.
TEST_F(ClapGui, DestroyWithTheEditorOpenLeavesNothing)
{
  Host host;
  {
    Instance plug(host);
    ASSERT_TRUE(plug);
    ASSERT_TRUE(plug.Activate());
    ASSERT_TRUE(Open(plug));
    Pump(host, plug, 100);
    plug.DestroyAsIs();
  }
  EXPECT_TRUE(host.timers.empty());
  EXPECT_TRUE(host.fds.empty());
  EXPECT_TRUE(mSession.Children(mParent).empty());
  EXPECT_EQ(x11test::CountEntries("/proc/self/fd"), mFdsBefore);
  ExpectCallbacksOnMainThread(host);
}

// The pictures are built into Tarvex.clap (nothing lies beside it in the build tree): the panel
// around the Overall Gain knob shows the same knob picture, frame and readout as the VST bundle's
// editor, which reads its pictures from its Resources folder.
TEST_F(ClapGui, DrawsTheBuiltInPictures)
{
  constexpr int kLeft = kOverallGainX - 40, kTop = kOverallGainY - 40, kSide = 80;
  auto region = [&](const std::vector<uint32_t>& pixels)
  {
    std::vector<uint32_t> out;
    for (int y = kTop; y < kTop + kSide; ++y)
      for (int x = kLeft; x < kLeft + kSide; ++x)
        out.push_back(pixels[static_cast<size_t>(y) * 752 + x]);
    return out;
  };
  std::string error;
  const x11test::Instance::Entry vstEntry = x11test::Instance::LoadEntry(
      std::string(TARVEX_TEST_BINARY_DIR) + "/Tarvex.vst/Contents/x86_64-linux/Tarvex.so", &error);
  ASSERT_NE(vstEntry, nullptr) << error;
  std::vector<uint32_t> vstPixels;
  {
    x11test::Instance vst(vstEntry);
    ASSERT_TRUE(vst && vst.OpenEditor(mParent));
    x11test::SleepMs(300);
    const std::vector<Window> children = mSession.Children(mParent);
    ASSERT_EQ(children.size(), 1u);
    vstPixels = region(mSession.Capture(children[0], 752, 576));
    vst.CloseEditor();
  }
  Host host;
  Instance plug(host);
  ASSERT_TRUE(Open(plug));
  Pump(host, plug, 300);
  const std::vector<Window> children = mSession.Children(mParent);
  ASSERT_EQ(children.size(), 1u);
  const std::vector<uint32_t> clapPixels = region(mSession.Capture(children[0], 752, 576));
  plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI)->destroy(plug.get());
  ASSERT_EQ(clapPixels.size(), vstPixels.size());
  EXPECT_EQ(clapPixels, vstPixels);
  // Not a flat patch: the knob picture has shading.
  EXPECT_GT(std::set<uint32_t>(clapPixels.begin(), clapPixels.end()).size(), 20u);
}

// The host's scale factor (set_scale, before get_size) picks the editor's: at 2 the window is twice
// the editor's size, and get_size says so before the window opens.
TEST_F(ClapGui, HostScaleSizesTheWindow)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  const auto* gui = plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  EXPECT_FALSE(gui->set_scale(plug.get(), 2.0)) << "no editor created yet";
  const struct
  {
    double scale;
    uint32_t width, height;
  } kScales[] = {{2.0, 1504, 1152}, {1.0, 752, 576}, {1.6, 1504, 1152}};
  for (const auto& k : kScales)
  {
    ASSERT_TRUE(gui->create(plug.get(), CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->set_scale(plug.get(), NAN));
    ASSERT_TRUE(gui->set_scale(plug.get(), k.scale));
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(plug.get(), &w, &h));
    EXPECT_EQ(w, k.width) << k.scale;
    EXPECT_EQ(h, k.height) << k.scale;
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = mParent;
    ASSERT_TRUE(gui->set_parent(plug.get(), &window));
    Pump(host, plug, 100);
    const std::vector<Window> children = mSession.Children(mParent);
    ASSERT_EQ(children.size(), 1u);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(mSession.display(), children[0], &attributes));
    EXPECT_EQ(static_cast<uint32_t>(attributes.width), k.width) << k.scale;
    EXPECT_EQ(static_cast<uint32_t>(attributes.height), k.height) << k.scale;
    gui->destroy(plug.get());
  }
}
