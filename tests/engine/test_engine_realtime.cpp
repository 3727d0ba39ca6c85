// Real-time rules of the audio path: steady-state processing, kernel rebuilds and DSP resets
// allocate nothing. Every heap allocation of the process is counted while a flag is raised.
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

#include "tests/engine/EngineTestSupport.h"

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

// Counts the allocations made while it lives.
class AllocationCounter
{
public:
  AllocationCounter()
  {
    gAllocations = 0;
    gCounting = true;
  }
  ~AllocationCounter() { gCounting = false; }
  long Count() const { return gAllocations.load(); }
};

TEST(EngineRealtime, SteadyStateProcessingAllocatesNothing)
{
  ASSERT_TRUE(gHooksInstalled);
  EmptyPrefs prefs;
  auto plug = MakeTarvex();
  const Stereo in = TestSignal(512 * 200);
  Stereo out(in.size());
  auto run = [&](int from, int calls)
  {
    for (int k = from; k < from + calls; ++k)
    {
      double* ins[2] = {const_cast<double*>(in.left.data()) + 512 * k,
                        const_cast<double*>(in.right.data()) + 512 * k};
      double* outs[2] = {out.left.data() + 512 * k, out.right.data() + 512 * k};
      plug->ProcessFrames(ins, outs, 512);
    }
  };
  run(0, 10); // past the first block steps
  {
    AllocationCounter counter;
    run(10, 100); // about 27 blocks of 1856
    EXPECT_EQ(counter.Count(), 0);
  }
  // The counter does see allocations (guards against a hook that never fires).
  {
    AllocationCounter counter;
    void* volatile p = std::malloc(64);
    std::free(p);
    int* volatile q = new int(3);
    delete q;
    EXPECT_GE(counter.Count(), 2);
  }
}

TEST(EngineRealtime, KernelRebuildsAndResetsOnTheAudioThreadAllocateNothing)
{
  EmptyPrefs prefs;
  auto plug = MakeTarvex();
  const Stereo in = TestSignal(512 * 60);
  Stereo out(in.size());
  int call = 0;
  auto run = [&](int calls)
  {
    for (int k = 0; k < calls; ++k, ++call)
    {
      double* ins[2] = {const_cast<double*>(in.left.data()) + 512 * call,
                        const_cast<double*>(in.right.data()) + 512 * call};
      double* outs[2] = {out.left.data() + 512 * call, out.right.data() + 512 * call};
      plug->ProcessFrames(ins, outs, 512);
    }
  };
  run(10);
  {
    SetParam(*plug, kParamBandGain + 2, 9.0);
    SetParam(*plug, kParamResolution, 2.0); // reset at the next call
    AllocationCounter counter;
    run(30); // the reset, then blocks with the pending rebuild and cross-fade
    EXPECT_EQ(counter.Count(), 0);
  }
  EXPECT_EQ(plug->Engine().mKernelLength, 2051);
}

TEST(EngineRealtime, SwitchingBetweenTheLargestSizesAndDefaultsAllocatesNothing)
{
  EmptyPrefs prefs;
  auto plug = MakeTarvex();
  const Stereo in = TestSignal(512);
  Stereo out(512);
  double* ins[2] = {const_cast<double*>(in.left.data()), const_cast<double*>(in.right.data())};
  double* outs[2] = {out.left.data(), out.right.data()};
  for (int k = 0; k < 10; ++k) plug->ProcessFrames(ins, outs, 512);
  AllocationCounter counter;
  // Resolution 8 with Input Buffer Size 3 (N = 64000, B = 55800), past its first block step; then
  // back to defaults, past theirs.
  SetParam(*plug, kParamResolution, 8.0);
  SetParam(*plug, kParamInputBufferSize, 3.0);
  for (int k = 0; k < 120; ++k) plug->ProcessFrames(ins, outs, 512);
  EXPECT_EQ(plug->Engine().mFftSize, 64000);
  SetParam(*plug, kParamResolution, 1.0);
  SetParam(*plug, kParamInputBufferSize, 1.0);
  for (int k = 0; k < 10; ++k) plug->ProcessFrames(ins, outs, 512);
  EXPECT_EQ(plug->Engine().mFftSize, 2880);
  EXPECT_EQ(counter.Count(), 0);
}
