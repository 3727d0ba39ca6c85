#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "dsp/Limiter.h"
#include "dsp/SemLock.h"

namespace
{
constexpr double kRate = 1000.0; // a low rate keeps the 4.6 s envelope life short in samples

struct LimiterRun
{
  double envelope = 0, time = 0, light = 0;
  std::vector<double> left, right;
  void Run(double limiterDb, int channels = 1)
  {
    double* outs[2] = {left.data(), right.empty() ? nullptr : right.data()};
    ApplyLimiter(outs, channels, static_cast<int>(left.size()), LimiterThreshold(limiterDb), kRate,
                 envelope, time, light);
  }
};
} // namespace

TEST(Limiter, AtSixtyDecibelsNothingChangesNotEvenTheLight)
{
  LimiterRun r;
  r.left = {5000.0, -3.0, 1e6};
  r.light = 0.25;
  r.Run(60.0);
  EXPECT_EQ(r.left[0], 5000.0);
  EXPECT_EQ(r.left[2], 1e6);
  EXPECT_EQ(r.light, 0.25);
  EXPECT_EQ(r.envelope, 0.0);
}

TEST(Limiter, SineOfAmplitudeTwoIsHeldBelowTheThreshold)
{
  LimiterRun r;
  for (int i = 0; i < 2000; ++i) r.left.push_back(2.0 * std::sin(2 * M_PI * 50 * i / kRate + 0.3));
  r.Run(0.0);
  double peak = 0;
  for (double x : r.left) peak = std::max(peak, std::fabs(x));
  EXPECT_LE(peak, 1.0);
  // The sampled peak of the sine is within 0.2 % of 2 (50 Hz at 1 kHz, phase 0.3), so the light is
  // ~1.
  EXPECT_NEAR(r.light, 1.0, 0.01);
  EXPECT_NEAR(r.envelope, 2.0, 0.01);
}

TEST(Limiter, SinglePeakHoldsThenReleasesAlongARaisedCosine)
{
  LimiterRun r;
  const int total = static_cast<int>(5.0 * kRate);
  r.left.assign(total, 0.5);
  r.left[0] = 4.0;
  r.Run(0.0); // t = 1
  EXPECT_DOUBLE_EQ(r.left[0], 1.0);
  // Hold: a constant reduction of 1/4 for 2.3 s.
  EXPECT_DOUBLE_EQ(r.left[100], 0.125);
  EXPECT_DOUBLE_EQ(r.left[2200], 0.125);
  // Release halfway (3.45 s): level = 0.5 * (4 - 1) + 1 = 2.5, gain 1/2.5. The timer counts whole
  // frames, so the check allows one frame of timing (the level moves by < 0.003 per frame there).
  EXPECT_NEAR(r.left[3450], 0.5 / 2.5, 0.002);
  // Monotonic release towards unity gain.
  for (int i = 2400; i < 4500; ++i) ASSERT_GE(r.left[i] + 1e-12, r.left[i - 1]) << i;
  // After 4.6 s the envelope is dropped: the quiet signal passes unchanged.
  EXPECT_EQ(r.left[4700], 0.5);
  EXPECT_EQ(r.envelope, 0.0);
}

TEST(Limiter, StereoSharesOneEnvelopeAndOneFrameClock)
{
  LimiterRun r;
  r.left.assign(1000, 2.0);
  r.right.assign(1000, 2.0);
  r.Run(0.0, 2);
  // 1000 frames of both channels over the threshold advance the timer by about 1 s, not 2 s.
  EXPECT_NEAR(r.time, 1.0, 0.002);

  LimiterRun s;
  s.left = {0.5, 0.5, 0.5};
  s.right = {3.0, 0.5, 0.5};
  s.Run(0.0, 2);
  EXPECT_EQ(s.left[0], 0.5); // before the right channel's peak
  EXPECT_DOUBLE_EQ(s.right[0], 1.0);
  EXPECT_DOUBLE_EQ(s.left[1], 0.5 / 3); // the peak on channel 2 reduces channel 1 next
}

TEST(Limiter, NonFiniteSamplesAreSilencedAndLeaveTheStateAlone)
{
  LimiterRun r;
  r.left = {NAN, INFINITY, -INFINITY, 0.5};
  r.Run(0.0);
  EXPECT_EQ(r.left[0], 0.0);
  EXPECT_EQ(r.left[1], 0.0);
  EXPECT_EQ(r.left[2], 0.0);
  EXPECT_EQ(r.left[3], 0.5);
  EXPECT_EQ(r.envelope, 0.0);
  EXPECT_EQ(r.light, 0.0);
}

TEST(SemLock, MissingLocksReportAndReturn)
{
  testing::internal::CaptureStderr();
  SemLockAcquire(nullptr);
  SemLockRelease(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Mutex error 0x0000001B\nMutex error 0x00000025\n");
}

TEST(SemLock, ExcludesTwoThreads)
{
  SemLock lock;
  ASSERT_TRUE(SemLockInit(&lock));
  int counter = 0; // guarded by lock only
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  auto work = [&]
  {
    for (int i = 0; i < 2000; ++i)
    {
      SemLockAcquire(&lock);
      if (inside.fetch_add(1) != 0) overlap = true;
      ++counter;
      inside.fetch_sub(1);
      SemLockRelease(&lock);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_FALSE(overlap);
  EXPECT_EQ(counter, 4000);
  EXPECT_EQ(lock.busy.load(), 0);
  SemLockDestroy(&lock);
}

TEST(Limiter, QuietCallsPassUnchangedAndALoudSampleAnywhereIsCaught)
{
  for (int length : {1, 2, 7, 512, 513})
  {
    for (int loudAt : {-1, 0, length / 2, length - 1})
    {
      LimiterRun r;
      r.left.assign(length, 0.25);
      r.right.assign(length, -0.5);
      if (loudAt >= 0) r.right[loudAt] = -3.0;
      r.Run(0.0, 2);
      SCOPED_TRACE(testing::Message() << length << " " << loudAt);
      if (loudAt < 0)
      {
        EXPECT_EQ(r.left, std::vector<double>(length, 0.25));
        EXPECT_EQ(r.light, 0.0);
        EXPECT_EQ(r.envelope, 0.0);
      }
      else
      {
        EXPECT_DOUBLE_EQ(r.right[loudAt], -1.0);
        EXPECT_DOUBLE_EQ(r.light, 2.0);
        EXPECT_DOUBLE_EQ(r.envelope, 3.0);
      }
    }
  }
}
