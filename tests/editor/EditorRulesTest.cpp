// Real-time rules between the editor and the audio thread: a display frame allocates nothing, and
// the audio thread never waits for a frame in progress.
#include "tests/editor/EditorTestSupport.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "engine/SemLock.h"
#include "engine/SharedFlags.h"

namespace
{
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void Count()
{
  if (gCounting.load(std::memory_order_relaxed))
    gAllocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer the allocator reports every malloc, calloc, realloc and operator new here.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
namespace
{
void OnMalloc(const volatile void*, size_t)
{
  Count();
}
void OnFree(const volatile void*) {}
const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
} // namespace
#else
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t size)
{
  Count();
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size)
{
  Count();
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size)
{
  Count();
  return __libc_realloc(p, size);
}
const int gHooksInstalled = 1;
#endif

// Frames with every layer busy (new audio, a new kernel, the colour field, hover and a drag with
// the label) allocate nothing once the first frames have run.
TEST_F(EditorTest, FramesAndMouseEditingAllocateNothing)
{
  ASSERT_NE(gHooksInstalled, 0);
  SetParam(kParamColour, 3);
  DrawFrames(3);
  for (int i = 0; i < 6; ++i) ProcessBlock(440.0, 0.3);
  DrawFrames(2);
  const BandPoint& b = State().bandTable[2];
  const int x = static_cast<int>(std::lround(b.pointScreenX));
  const int y = static_cast<int>(std::lround(b.pointScreenY));
  long counted = 0;
  for (int frame = 0; frame < 4; ++frame)
  {
    ProcessBlock(440.0, 0.3); // outside the count: the helper makes its buffers
    StoreFlag(State().kernelChanged, 1);
    gAllocations = 0;
    gCounting = true;
    Over(x + frame, y);
    Down(x + frame, y);
    Drag(x + frame + 5, y - 20);
    DrawFrames(1);
    Up(x + frame + 5, y - 20);
    Over(600, 20);
    gCounting = false;
    counted += gAllocations.load();
  }
  EXPECT_EQ(counted, 0);
}

// A Resolution change asks for a DSP reset, which needs the display's lock. While a frame holds
// it, processing goes on without the reset (the old latency stays) instead of waiting; the next
// call after the frame resets. A call that waited would never finish while the lock is held, so
// the check cannot pass by timing.
TEST_F(EditorTest, AudioThreadDoesNotWaitForAFrame)
{
  ProcessBlock();
  const int before = plug->GetLatency();
  SetParam(kParamResolution, 4.0);
  SemLockAcquire(State().drawLock); // a frame in progress
  std::future<void> audio = std::async(std::launch::async, [this] { ProcessBlock(); });
  const bool finished = audio.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  SemLockRelease(State().drawLock);
  audio.wait();
  ASSERT_TRUE(finished) << "the audio thread waited for the display";
  EXPECT_EQ(plug->GetLatency(), before);
  ProcessBlock();
  EXPECT_GT(plug->GetLatency(), before);
}
