// Real-time rules between the editor and the audio thread: a display frame allocates nothing, and
// the audio thread never waits for a frame in progress.
#include "tests/editor/EditorTestSupport.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "dsp/SemLock.h"
#include "dsp/SharedFlags.h"
#include "tests/support/AllocationCounter.h"

// Frames with every layer busy (new audio, a new kernel, the colour field, hover and a drag with
// the label) allocate nothing once the first frames have run.
TEST_F(EditorTest, FramesAndMouseEditingAllocateNothing)
{
  ASSERT_TRUE(AllocationHooksInstalled());
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
    AllocationCounter counter;
    Over(x + frame, y);
    Down(x + frame, y);
    Drag(x + frame + 5, y - 20);
    DrawFrames(1);
    Up(x + frame + 5, y - 20);
    Over(600, 20);
    counted += counter.Count();
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
