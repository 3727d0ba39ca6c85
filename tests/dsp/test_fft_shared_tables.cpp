// Shared twiddle tables: plans of one length and kind share one copy, results do not depend on
// which plan set the tables up, and plans created, set up, used and freed on several threads at
// once keep getting the same bits (a ThreadSanitizer build checks the locking).
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "dsp/Fft.h"

namespace
{
std::vector<double> Signal(int n, int seed)
{
  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = std::sin(0.37 * i * (seed + 1)) + 0.25 * std::cos(1.3 * i);
  return x;
}

// Forward transform of Signal(n, seed) through a fresh plan, freed afterwards.
std::vector<double> ForwardWithNewPlan(int n, int seed)
{
  FftPlan* plan = fftp_plan();
  std::vector<double> x = Signal(n, seed), y(n);
  if (plan) fftp(x.data(), y.data(), n, kFftForward, plan);
  fftp_plan_free(plan);
  return y;
}

std::vector<double> StereoWithPlan(FftPlan* plan, int n)
{
  std::vector<double> left = Signal(n, 1), right = Signal(n, 2), kernel = Signal(n, 3);
  const double* in[2] = {left.data(), right.data()};
  double* out[2] = {left.data(), right.data()};
  FftConvolveStereo(in, out, kernel.data(), n, plan);
  left.insert(left.end(), right.begin(), right.end());
  return left;
}
} // namespace

TEST(FftSharedTables, PlansOfOneLengthAndKindShareOneCopy)
{
  FftPlan* a = fftp_plan();
  FftPlan* b = fftp_plan();
  FftPlan* c = fftp_plan();
  ASSERT_TRUE(a && b && c);
  ASSERT_TRUE(fftp_prepare(a, 6000));
  ASSERT_TRUE(fftp_prepare(b, 6000));
  ASSERT_TRUE(fftp_prepare(c, 6000, true));
  EXPECT_EQ(a->master, b->master);
  EXPECT_NE(a->master, c->master); // the complex transform's tables differ
  // A plan moved to another length lets go; the other keeps its tables and its results.
  const std::vector<double> before = ForwardWithNewPlan(6000, 4);
  ASSERT_TRUE(fftp_prepare(b, 4800));
  EXPECT_NE(a->master, b->master);
  std::vector<double> x = Signal(6000, 4), y(6000);
  fftp(x.data(), y.data(), 6000, kFftForward, a);
  EXPECT_EQ(0, std::memcmp(y.data(), before.data(), sizeof(double) * y.size()));
  // Clearing `initialised` at the same length keeps the set (no new tables).
  const double* tables = a->master;
  a->initialised = 0;
  x = Signal(6000, 4);
  fftp(x.data(), y.data(), 6000, kFftForward, a);
  EXPECT_EQ(a->master, tables);
  EXPECT_EQ(0, std::memcmp(y.data(), before.data(), sizeof(double) * y.size()));
  // A plan that alternates between real and stereo transforms switches sets and stays right.
  FftPlan* d = fftp_plan();
  ASSERT_TRUE(d);
  const std::vector<double> stereo = StereoWithPlan(c, 6000);
  EXPECT_EQ(StereoWithPlan(d, 6000), stereo);
  x = Signal(6000, 4);
  fftp(x.data(), y.data(), 6000, kFftForward, d);
  EXPECT_EQ(d->master, a->master);
  EXPECT_EQ(0, std::memcmp(y.data(), before.data(), sizeof(double) * y.size()));
  EXPECT_EQ(StereoWithPlan(d, 6000), stereo);
  EXPECT_EQ(d->master, c->master);
  for (FftPlan* p : {a, b, c, d}) fftp_plan_free(p);
}

// Four threads create plans, set them up for lengths the others use too (so sets are created,
// shared, given up and created again concurrently), transform and free them. Every result must
// equal, bit for bit, the one computed before on one thread.
TEST(FftSharedTables, PlansMadeAndFreedOnSeveralThreadsGiveTheSameBits)
{
  const int lengths[] = {2880, 4800, 6000, 1920, 7};
  std::vector<std::vector<double>> expected;
  for (int n : lengths) expected.push_back(ForwardWithNewPlan(n, n % 5));
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back(
        [&, t]
        {
          for (int round = 0; round < 30; ++round)
          {
            const int k = (round + t) % 5;
            FftPlan* kept = fftp_plan();
            const std::vector<double> y = ForwardWithNewPlan(lengths[k], lengths[k] % 5);
            if (y != expected[k]) ++failures[t];
            // A plan held across another thread's frees still transforms correctly.
            const int j = (k + 1) % 5;
            std::vector<double> x = Signal(lengths[j], lengths[j] % 5), z(lengths[j]);
            if (!kept || !fftp_prepare(kept, lengths[j]))
            {
              ++failures[t];
            }
            else
            {
              std::this_thread::yield();
              fftp(x.data(), z.data(), lengths[j], kFftForward, kept);
              if (z != expected[j]) ++failures[t];
            }
            fftp_plan_free(kept);
          }
        });
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

// A plan that transforms in another plan's arrays: its results equal a plan of its own, bit for
// bit, while the two alternate between lengths and kinds (the engine's convolution and stereo
// plans, used in turn under one lock), and freeing it leaves the owner's arrays to the owner.
TEST(FftSharedTables, PlanSharingAnothersArraysGivesTheSameBits)
{
  EXPECT_EQ(fftp_plan_sharing(nullptr), nullptr);
  FftPlan* owner = fftp_plan();
  ASSERT_TRUE(owner);
  FftPlan* sharing = fftp_plan_sharing(owner);
  ASSERT_TRUE(sharing);
  EXPECT_EQ(sharing->work, owner->work);
  EXPECT_EQ(sharing->scratch, owner->scratch);
  struct Row
  {
    int realLength;   // the owner's real transforms
    int stereoLength; // the sharing plan's complex ones
  };
  const Row rows[] = {{6000, 6000}, {64000, 2880}, {15625, 61440}, {1280, 1280}};
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.realLength);
    const std::vector<double> real = ForwardWithNewPlan(r.realLength, 2);
    FftPlan* own = fftp_plan();
    ASSERT_TRUE(own);
    const std::vector<double> stereo = StereoWithPlan(own, r.stereoLength);
    fftp_plan_free(own);
    for (int round = 0; round < 2; ++round)
    {
      owner->initialised = 0;
      sharing->initialised = 0;
      std::vector<double> x = Signal(r.realLength, 2), y(r.realLength);
      fftp(x.data(), y.data(), r.realLength, kFftForward, owner);
      EXPECT_EQ(y, real);
      EXPECT_EQ(StereoWithPlan(sharing, r.stereoLength), stereo);
    }
  }
  fftp_plan_free(sharing);
  // The owner's arrays are still its own: a transform through it reads and writes them.
  std::vector<double> x = Signal(2880, 5), y(2880);
  fftp(x.data(), y.data(), 2880, kFftForward, owner);
  EXPECT_EQ(y, ForwardWithNewPlan(2880, 5));
  fftp_plan_free(owner);
}
