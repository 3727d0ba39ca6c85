// One instance driven from three threads at once, as hosts do: the audio thread processes 512-frame
// blocks, a host thread automates parameters and saves and restores chunks, and the editor thread
// does what a host's UI thread does. Run for a bounded time (TARVEX_STRESS_SECONDS, default 2 s);
// under the ThreadSanitizer build (`make tsan`) any data race fails the run.
//
// The editor is shown in a parent window on a private Xvfb server and worked with real pointer
// input through XTest; it handles that input and draws in the idle calls of the editor thread, the
// host's GUI thread, and every host callback it causes must come from that thread.
#include "tests/graphics/x11/X11TestHost.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "tests/vst/VstTestHost.h"

namespace
{
// Host callback safe to call from any thread: it only counts and answers constants.
std::atomic<int> gIoChanged{0};
std::atomic<int> gAutomate{0};
// The thread that opens the editor and sends its idle calls, and the editor's callbacks that came
// from any other thread.
std::atomic<std::thread::id> gEditorThread{};
std::atomic<int> gEditorCallbacksElsewhere{0};
VstTimeInfo gTimeInfo{}; // read-only while threads run

VstIntPtr ThreadSafeCallback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
{
  switch (opcode)
  {
  case audioMasterVersion:
    return 2400;
  case audioMasterGetTime:
    return reinterpret_cast<VstIntPtr>(&gTimeInfo);
  case audioMasterGetProductString:
    if (ptr) strcpy(static_cast<char*>(ptr), "stress host");
    return 1;
  case audioMasterIOChanged:
    gIoChanged.fetch_add(1, std::memory_order_relaxed);
    return 1;
  case audioMasterAutomate:
  case audioMasterBeginEdit:
  case audioMasterEndEdit:
  case audioMasterUpdateDisplay:
  case audioMasterSizeWindow:
    if (opcode == audioMasterAutomate) gAutomate.fetch_add(1, std::memory_order_relaxed);
    if (std::this_thread::get_id() != gEditorThread.load())
      gEditorCallbacksElsewhere.fetch_add(1, std::memory_order_relaxed);
    return 0;
  default:
    return 0;
  }
}

VstIntPtr Dispatch(AEffect* e, int32_t opcode, int32_t index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

double StressSeconds()
{
  const char* text = getenv("TARVEX_STRESS_SECONDS");
  const double seconds = text ? atof(text) : 2.0;
  return seconds > 0.0 ? seconds : 2.0;
}

struct Counts
{
  std::atomic<long> blocks{0}, badSamples{0}, automations{0}, chunkRestores{0}, chunkFailures{0},
      editorSteps{0}, mouseEvents{0}, editorOpens{0}, editorOpenFailures{0};
};

// Host audio thread: 512-frame stereo blocks of noise through processReplacing.
void AudioThread(AEffect* e, const std::atomic<bool>& stop, Counts& counts)
{
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  std::vector<float> in[2], out[2];
  for (int c = 0; c < 2; ++c)
  {
    in[c].resize(512);
    out[c].resize(512);
  }
  while (!stop.load(std::memory_order_relaxed))
  {
    for (int c = 0; c < 2; ++c)
      for (float& v : in[c]) v = noise(rng);
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    e->processReplacing(e, inputs, outputs, 512);
    for (int c = 0; c < 2; ++c)
      for (float v : out[c])
        if (!std::isfinite(v) || std::fabs(v) > 1e3f) counts.badSamples.fetch_add(1);
    counts.blocks.fetch_add(1);
  }
}

// Host automation thread: normalised parameter changes, typed values, the program and bank chunks
// saved and restored as a host's undo or preset browser does, and now and then a rate change.
void AutomationThread(AEffect* e, const std::atomic<bool>& stop, Counts& counts)
{
  std::mt19937 rng(2);
  // Resolution and Input Buffer Size reset the engine: keep them to a small share.
  std::uniform_int_distribution<int> param(0, kParamResolution - 1);
  static_assert(kParamInputBufferSize == kParamResolution + 1, "the two resetting parameters");
  std::uniform_real_distribution<float> position(0.0f, 1.0f);
  for (long step = 0; !stop.load(std::memory_order_relaxed); ++step)
  {
    const int index =
        step % 50 == 0 ? kParamResolution + static_cast<int>(step / 50 % 2) : param(rng);
    e->setParameter(e, index, position(rng));
    (void)e->getParameter(e, index);
    counts.automations.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::microseconds(200)); // a busy automation lane
    if (step % 7 == 0)
    {
      char text[32];
      snprintf(text, sizeof(text), "%g", 100.0 * position(rng));
      Dispatch(e, effString2Parameter, param(rng), 0, text);
    }
    if (step % 200 == 199)
    {
      // Some hosts suspend, change the rate and resume from their UI thread while audio runs.
      Dispatch(e, effMainsChanged, 0, 0);
      Dispatch(e, effSetSampleRate, 0, 0, nullptr, step % 400 == 199 ? 48000.0f : 44100.0f);
      Dispatch(e, effMainsChanged, 0, 1);
    }
    if (step % 16 == 0)
    {
      const int32_t kind = step % 32 == 0 ? 0 : 1; // bank, program
      void* data = nullptr;
      const VstIntPtr size = Dispatch(e, effGetChunk, kind, 0, &data);
      if (size <= 0 || !data)
      {
        counts.chunkFailures.fetch_add(1);
        continue;
      }
      std::vector<unsigned char> copy(static_cast<unsigned char*>(data),
                                      static_cast<unsigned char*>(data) + size);
      if (Dispatch(e, effSetChunk, kind, size, copy.data()) == 1)
        counts.chunkRestores.fetch_add(1);
      else
        counts.chunkFailures.fetch_add(1);
    }
  }
}

// Editor positions (window pixels): the 512 x 512 plot's top-left corner and the panel's knob
// centres (50 x 50 knobs).
constexpr int kPlotLeft = 32, kPlotTop = 32, kPlotSize = 512;
constexpr int kKnobCentres[][2] = {{584, 76},  {648, 76},  {712, 76},  {584, 506},
                                   {648, 506}, {584, 162}, {648, 162}, {712, 162},
                                   {584, 248}, {648, 248}, {584, 334}};
constexpr double kDefaultBandFreq[4] = {80.0, 370.0, 1700.0, 8000.0};

// Window position of a band point at frequency f (Hz) and 0 dB on the plot's scales: 20 Hz to
// 20 kHz across 512 columns, -68.68588963806504 to +60 dB over 512 rows.
void BandPointAtZeroDb(double f, int* x, int* y)
{
  *x = kPlotLeft + static_cast<int>(511.0 * std::log(f / 20.0) / std::log(1000.0) + 0.5);
  const double row = 511.0 * 68.68588963806504 / (60.0 + 68.68588963806504);
  *y = kPlotTop + 511 - static_cast<int>(row + 0.5);
}

// The host's pointer on the editor's server; the parent window sits at the origin, so window and
// root coordinates agree. Editor thread only.
struct Pointer
{
  x11test::Session& session;
  Counts& counts;
  void Move(int x, int y)
  {
    session.Move(x, y);
    counts.mouseEvents.fetch_add(1, std::memory_order_relaxed);
  }
  void Button(unsigned button, bool press)
  {
    session.Button(button, press);
    counts.mouseEvents.fetch_add(1, std::memory_order_relaxed);
  }
  void Drag(int x1, int y1, int x2, int y2, int steps)
  {
    Move(x1, y1);
    Button(1, true);
    for (int i = 1; i <= steps; ++i)
    {
      Move(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Button(1, false);
  }
  void DoubleClick(int x, int y)
  {
    Move(x, y);
    for (int i = 0; i < 2; ++i)
    {
      Button(1, true);
      Button(1, false);
    }
  }
};

// One piece of pointer input over the editor, picked at random: a hover, a band point dragged
// from near its default position, a knob dragged, a band added and removed again by double-clicks
// on the plot, or wheel turns on a knob.
void PointerStep(Pointer& pointer, std::mt19937& rng)
{
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  switch (pick(5))
  {
  case 0:
    pointer.Move(kPlotLeft + pick(kPlotSize), kPlotTop + pick(kPlotSize));
    break;
  case 1:
  {
    int x = 0, y = 0;
    BandPointAtZeroDb(kDefaultBandFreq[pick(4)], &x, &y);
    pointer.Drag(x, y, x + pick(81) - 40, y + pick(81) - 40, 4);
    break;
  }
  case 2:
  {
    const int* knob = kKnobCentres[pick(11)];
    pointer.Drag(knob[0], knob[1], knob[0], knob[1] + pick(41) - 20, 4);
    break;
  }
  case 3:
  {
    const int x = kPlotLeft + 16 + pick(kPlotSize - 32), y = kPlotTop + 16 + pick(kPlotSize - 32);
    pointer.DoubleClick(x, y); // adds a band where none is, or removes the one there
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pointer.DoubleClick(x, y);
    break;
  }
  default:
  {
    const int* knob = kKnobCentres[pick(11)];
    pointer.Move(knob[0], knob[1]);
    const unsigned button = pick(2) ? 4 : 5; // wheel up, down
    for (int i = 0; i < 3; ++i)
    {
      pointer.Button(button, true);
      pointer.Button(button, false);
    }
    break;
  }
  }
}

// What the host's UI thread does while the editor is shown: the idle calls, the queries a host's
// generic parameter list makes, and pointer input over the editor.
void EditorStep(AEffect* e, std::mt19937& rng, Pointer& pointer)
{
  Dispatch(e, effEditIdle);
  Dispatch(e, effIdle);
  ERect* rect = nullptr;
  Dispatch(e, effEditGetRect, 0, 0, &rect);
  char text[64];
  const int index = static_cast<int>(rng() % 24);
  Dispatch(e, effGetParamDisplay, index, 0, text);
  Dispatch(e, effGetParamName, index, 0, text);
  Dispatch(e, effVendorSpecific, 7, index, text, 0.25f);
  (void)e->getParameter(e, index);
  PointerStep(pointer, rng);
}

bool OpenEditor(AEffect* e, Window parent, Counts& counts)
{
  const bool open =
      Dispatch(e, effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) == 1;
  (open ? counts.editorOpens : counts.editorOpenFailures).fetch_add(1);
  return open;
}

// Opens the editor into parent, works it, closes and reopens it every 25 steps as a user hiding
// and showing the plug-in window does, and leaves it closed.
void EditorThread(AEffect* e, x11test::Session& session, Window parent,
                  const std::atomic<bool>& stop, Counts& counts)
{
  gEditorThread = std::this_thread::get_id();
  std::mt19937 rng(3);
  Pointer pointer{session, counts};
  bool open = OpenEditor(e, parent, counts);
  for (long step = 1; !stop.load(std::memory_order_relaxed); ++step)
  {
    EditorStep(e, rng, pointer);
    counts.editorSteps.fetch_add(1);
    if (step % 25 == 0)
    {
      if (open) Dispatch(e, effEditClose);
      open = OpenEditor(e, parent, counts);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a UI timer, faster than 60 Hz
  }
  if (open) Dispatch(e, effEditClose);
}
} // namespace

TEST(VstThreads, AudioAutomationAndEditorThreadsAtOnce)
{
  VstPluginMainProc entry = vsttest::Entry();
  ASSERT_NE(entry, nullptr);
  AEffect* e = entry(ThreadSafeCallback);
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 0, 512);
  Dispatch(e, effMainsChanged, 0, 1);
  ASSERT_NE(e->flags & effFlagsHasEditor, 0) << "the bundle has no editor";

  // Preferences the editor saves stay in a folder of this run.
  char folder[] = "/tmp/tarvex-thread-test-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  setenv("XDG_CONFIG_HOME", folder, 1);
  x11test::Session session;
  std::string error;
  ASSERT_TRUE(session.Start(true, &error)) << "no X server for the editor: " << error;
  const Window parent = session.MakeParent();

  Counts counts;
  std::atomic<bool> stop{false};
  std::thread audio(AudioThread, e, std::cref(stop), std::ref(counts));
  std::thread automation(AutomationThread, e, std::cref(stop), std::ref(counts));
  std::thread editor(EditorThread, e, std::ref(session), parent, std::cref(stop), std::ref(counts));
  std::this_thread::sleep_for(std::chrono::duration<double>(StressSeconds()));
  stop = true;
  audio.join();
  automation.join();
  editor.join();

  Dispatch(e, effMainsChanged, 0, 0);
  Dispatch(e, effClose);
  const std::string prefs = std::string(folder) + "/Tarvex Preferences.dat";
  unlink(prefs.c_str());
  rmdir(folder);
  printf("stress: %ld blocks, %ld automations, %ld chunk restores, %ld editor steps, "
         "%ld mouse events, %ld editor opens, %d latency changes\n",
         counts.blocks.load(), counts.automations.load(), counts.chunkRestores.load(),
         counts.editorSteps.load(), counts.mouseEvents.load(), counts.editorOpens.load(),
         gIoChanged.load());
  EXPECT_GT(counts.blocks.load(), 0);
  EXPECT_GT(counts.chunkRestores.load(), 0);
  EXPECT_GT(counts.editorSteps.load(), 0);
  EXPECT_GT(counts.mouseEvents.load(), 0);
  EXPECT_GT(counts.editorOpens.load(), 0);
  EXPECT_EQ(counts.editorOpenFailures.load(), 0);
  EXPECT_EQ(counts.badSamples.load(), 0);
  EXPECT_EQ(counts.chunkFailures.load(), 0);
  // Host-made changes are not echoed back; the editor's knob and band drags are reported, from the
  // editor's thread only, as are the refreshes the engine asks for after edits in the plot.
  EXPECT_GT(gAutomate.load(), 0);
  EXPECT_EQ(gEditorCallbacksElsewhere.load(), 0);
}

// Hosts create and close instances from several threads (scanning, loading a project): the entry
// point serialises constructions, while effClose runs under the closing instance's own lock only.
TEST(VstThreads, InstancesCreatedAndClosedOnTwoThreads)
{
  VstPluginMainProc entry = vsttest::Entry();
  ASSERT_NE(entry, nullptr);
  std::atomic<int> made{0}, failed{0};
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(StressSeconds() / 2);
  auto churn = [&]
  {
    while (std::chrono::steady_clock::now() < end)
    {
      AEffect* e = entry(ThreadSafeCallback);
      if (!e)
      {
        failed.fetch_add(1);
        continue;
      }
      Dispatch(e, effOpen);
      made.fetch_add(1);
      Dispatch(e, effClose);
    }
  };
  std::thread a(churn), b(churn);
  a.join();
  b.join();
  printf("churn: %d instances made and closed\n", made.load());
  EXPECT_GT(made.load(), 0);
  EXPECT_EQ(failed.load(), 0);
}
