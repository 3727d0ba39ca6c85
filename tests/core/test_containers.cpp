#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/WDL_HeapBuf.h"
#include "core/WDL_Mutex.h"
#include "core/WDL_PtrList.h"
#include "core/WDL_String.h"

TEST(HeapBuf, AllocationFollowsGrowthPolicy)
{
  // Large granularity: margin rounded to 4096 multiples, allocation + 96 a multiple of 4096.
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(100, 4096, 0), 4096 - 96);
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(5000, 4096, 0), 8192 - 96);
  // Half the size dominates the margin: 100000 + 49152 (50000 rounded down) -> 149152 + 96 rounded
  // down.
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(100000, 4096, 0), ((100000 + 49152 + 96) & ~4095) - 96);
  // The margin is clamped to 0x400000.
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(20000000, 4096, 0),
            ((20000000 + 0x400000 + 96) & ~4095) - 96);
  // Small granularity: no rounding, margin max(size / 2, granularity).
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(10, 128, 0), 138);
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(1000, 128, 0), 1500);
  // The floor on allocations.
  EXPECT_EQ(WDL_HeapBuf::AllocationFor(10, 128, 5000), 5000);
  for (int n : {0, 1, 4000, 4001, 8191, 123457})
    EXPECT_GT(WDL_HeapBuf::AllocationFor(n, 4096, 0), n) << n;
}

TEST(HeapBuf, ReallocatesOnlyOnGrowthOrDeepShrink)
{
  WDL_HeapBuf buf(128);
  buf.Resize(10000);
  EXPECT_EQ(buf.GetAllocated(), 15000);
  buf.Resize(9000); // shrinking a little keeps the allocation
  EXPECT_EQ(buf.GetAllocated(), 15000);
  EXPECT_EQ(buf.GetSize(), 9000);
  buf.Resize(100, false); // asked not to shrink
  EXPECT_EQ(buf.GetAllocated(), 15000);
  buf.Resize(100); // below half and below allocation minus four granules
  EXPECT_EQ(buf.GetAllocated(), 228);
  EXPECT_EQ(buf.GetSize(), 100);

  WDL_HeapBuf big(4096);
  big.Resize(5000);
  const int alloc = big.GetAllocated();
  big.Resize(100); // 100 < alloc / 2 but not < alloc - 4 * 4096: kept
  EXPECT_EQ(big.GetAllocated(), alloc);
}

TEST(HeapBuf, KeepsContentsAcrossGrowthAndEmptyReadsNull)
{
  WDL_TypedBuf<int> buf;
  EXPECT_EQ(buf.Get(), nullptr);
  for (int i = 0; i < 5000; ++i) buf.Add(&i);
  ASSERT_EQ(buf.GetSize(), 5000);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(buf.Get()[i], i);
  buf.Resize(0);
  EXPECT_EQ(buf.Get(), nullptr);
  EXPECT_EQ(buf.GetSize(), 0);
  buf.Resize(-5);
  EXPECT_EQ(buf.GetSize(), 0);
}

namespace
{
struct Tracked
{
  Tracked(std::vector<int>& log, int id) : mLog(log), mId(id) {}
  ~Tracked() { mLog.push_back(mId); }
  std::vector<int>& mLog;
  int mId;
};
} // namespace

TEST(PtrList, OutOfRangeIsNullAndEmptyDeletesLastToFirst)
{
  std::vector<int> log;
  WDL_PtrList<Tracked> list;
  for (int i = 0; i < 4; ++i) list.Add(new Tracked(log, i));
  EXPECT_EQ(list.Get(-1), nullptr);
  EXPECT_EQ(list.Get(4), nullptr);
  EXPECT_EQ(list.Get(2)->mId, 2);
  list.Delete(1, true);
  EXPECT_EQ(log, std::vector<int>({1}));
  EXPECT_EQ(list.Get(1)->mId, 2);
  list.Delete(7, true); // ignored
  list.Insert(0, new Tracked(log, 9));
  EXPECT_EQ(list.Get(0)->mId, 9);
  EXPECT_EQ(list.Find(list.Get(3)), 3);
  list.Empty(true);
  EXPECT_EQ(log, std::vector<int>({1, 3, 2, 0, 9}));
  EXPECT_EQ(list.GetSize(), 0);
}

TEST(String, EmptyReadsEmptyAndCopiesAreBounded)
{
  WDL_String s;
  EXPECT_STREQ(s.Get(), "");
  s.Set("hello world", 5);
  EXPECT_STREQ(s.Get(), "hello");
  // A source that is not terminated within maxLength is never read past it.
  const char raw[3] = {'a', 'b', 'c'};
  s.Set(raw, 3);
  EXPECT_STREQ(s.Get(), "abc");
  s.Append(s.Get()); // appending itself
  EXPECT_STREQ(s.Get(), "abcabc");
  s.Set(s.Get() + 3); // setting from its own tail
  EXPECT_STREQ(s.Get(), "abc");
  s.SetFormatted(6, "%d-%s", 12345, "xyz");
  EXPECT_STREQ(s.Get(), "12345-");
  s.Set("");
  EXPECT_STREQ(s.Get(), "");
  s.Set(nullptr);
  EXPECT_STREQ(s.Get(), "");
}

TEST(Mutex, NestsOnOneThreadAndExcludesOthers)
{
  WDL_Mutex mutex;
  mutex.Enter();
  mutex.Enter(); // nested: must not block
  EXPECT_EQ(mutex.LockCount(), 1);
  std::atomic<bool> entered{false};
  std::thread other(
      [&]
      {
        mutex.Enter();
        entered = true;
        mutex.Leave();
      });
  mutex.Leave(); // inner release: still held
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(entered.load());
  EXPECT_TRUE(mutex.OwnedByCaller());
  mutex.Leave(); // outermost release
  other.join();
  EXPECT_TRUE(entered.load());
  EXPECT_FALSE(mutex.OwnedByCaller());
}
