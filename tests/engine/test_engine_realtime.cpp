// Real-time rules of the audio path: steady-state processing, kernel rebuilds and DSP resets
// allocate nothing. Every heap allocation of the process is counted while a flag is raised.
#include <gtest/gtest.h>

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/AllocationCounter.h"

TEST(EngineRealtime, SteadyStateProcessingAllocatesNothing)
{
  ASSERT_TRUE(AllocationHooksInstalled());
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
    run(20); // the reset, then the first block with the pending rebuild (no cross-fade after a
             // reset)
    EXPECT_EQ(counter.Count(), 0);
  }
  {
    SetParam(*plug, kParamBandGain + 2, -3.0);
    AllocationCounter counter;
    run(10); // a rebuild with cross-fade (blocks of 4350)
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
