// One instance driven from three threads at once, as hosts do: the audio thread processes 512-frame
// blocks, a host thread automates parameters and saves and restores chunks, and the editor thread
// does what a host's UI thread does. Run for a bounded time (TARVEX_STRESS_SECONDS, default 2 s);
// under the ThreadSanitizer build (`make tsan`) any data race fails the run.
#include <gtest/gtest.h>

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
    gAutomate.fetch_add(1, std::memory_order_relaxed);
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
      editorSteps{0};
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
  // Resolution and Input Buffer Size (21, 22) reset the engine: keep them to a small share.
  std::uniform_int_distribution<int> param(0, 20);
  std::uniform_real_distribution<float> position(0.0f, 1.0f);
  for (long step = 0; !stop.load(std::memory_order_relaxed); ++step)
  {
    const int index = step % 50 == 0 ? 21 + static_cast<int>(step / 50 % 2) : param(rng);
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

// What the host's UI thread does while the editor is shown. This is the one place to add editor
// work (mouse events through the editor's view) once the editor and its view exist.
void EditorStep(AEffect* e, std::mt19937& rng)
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
}

void EditorThread(AEffect* e, const std::atomic<bool>& stop, Counts& counts)
{
  std::mt19937 rng(3);
  while (!stop.load(std::memory_order_relaxed))
  {
    EditorStep(e, rng);
    counts.editorSteps.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a UI timer, faster than 60 Hz
  }
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

  Counts counts;
  std::atomic<bool> stop{false};
  std::thread audio(AudioThread, e, std::cref(stop), std::ref(counts));
  std::thread automation(AutomationThread, e, std::cref(stop), std::ref(counts));
  std::thread editor(EditorThread, e, std::cref(stop), std::ref(counts));
  std::this_thread::sleep_for(std::chrono::duration<double>(StressSeconds()));
  stop = true;
  audio.join();
  automation.join();
  editor.join();

  Dispatch(e, effMainsChanged, 0, 0);
  Dispatch(e, effClose);
  printf("stress: %ld blocks, %ld automations, %ld chunk restores, %ld editor steps, "
         "%d latency changes\n",
         counts.blocks.load(), counts.automations.load(), counts.chunkRestores.load(),
         counts.editorSteps.load(), gIoChanged.load());
  EXPECT_GT(counts.blocks.load(), 0);
  EXPECT_GT(counts.chunkRestores.load(), 0);
  EXPECT_GT(counts.editorSteps.load(), 0);
  EXPECT_EQ(counts.badSamples.load(), 0);
  EXPECT_EQ(counts.chunkFailures.load(), 0);
  EXPECT_EQ(gAutomate.load(), 0); // host-made changes are not echoed back to the host
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
