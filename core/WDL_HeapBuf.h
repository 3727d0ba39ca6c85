// Growable byte buffer and its typed view.
//
// Growth policy: the buffer reallocates only when a new size exceeds the allocation, or when asked
// to shrink below both half the allocation and the allocation minus four granules. A new allocation
// is the new size plus max(new size / 2, granularity); for a granularity above 4095 that margin is
// rounded down to a multiple of 4096 and clamped to [4096, 0x400000], and the allocation is rounded
// so that allocation + 96 is a multiple of 4096 (leaving room for the allocator's own header). A
// failed realloc falls back to malloc + copy + free; if that fails too, buffer and size stay as
// they were.
//
// Not thread-safe; owners serialise access.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

class WDL_HeapBuf
{
public:
  explicit WDL_HeapBuf(int granularity = 4096) : m_granul(granularity > 0 ? granularity : 4096) {}
  ~WDL_HeapBuf() { free(m_buf); }
  WDL_HeapBuf(const WDL_HeapBuf&) = delete;
  WDL_HeapBuf& operator=(const WDL_HeapBuf&) = delete;

  void* Get() const { return m_size ? m_buf : nullptr; }
  int GetSize() const { return m_size; }
  int GetAllocated() const { return m_alloc; }
  int GetGranularity() const { return m_granul; }
  void SetGranul(int granularity) { m_granul = granularity > 0 ? granularity : m_granul; }
  void SetMinAllocSize(int minAlloc) { m_mas = minAlloc; }

  // Sets the size in bytes and returns the buffer (null for size 0 or when memory ran out; on
  // failure the old buffer and size are kept). Growing leaves the new bytes unspecified.
  void* Resize(int newSize, bool resizeDown = true);

  // Allocation the growth policy gives for a new size (exposed for tests).
  static int AllocationFor(int newSize, int granularity, int minAlloc);

private:
  void* m_buf = nullptr;
  int ___pad = 0; // keeps the layout of the original record; unused
  int m_granul;
  int m_alloc = 0;
  int m_size = 0;
  int m_mas = 0;
};

template <class T> class WDL_TypedBuf
{
public:
  explicit WDL_TypedBuf(int granularity = 4096) : mHeap(granularity) {}

  T* Get() const { return static_cast<T*>(mHeap.Get()); }
  int GetSize() const { return mHeap.GetSize() / static_cast<int>(sizeof(T)); }
  // Resizes to n elements; returns the buffer, or null on failure (then the size is unchanged).
  T* Resize(int n, bool resizeDown = true)
  {
    if (n < 0) n = 0;
    mHeap.Resize(n * static_cast<int>(sizeof(T)), resizeDown);
    return Get();
  }
  // Appends n elements (copied from data when non-null); returns the first new element or null.
  T* Add(const T* data, int n = 1)
  {
    const int old = GetSize();
    if (n <= 0) return nullptr;
    Resize(old + n, false);
    if (GetSize() != old + n) return nullptr;
    T* dst = Get() + old;
    if (data) memcpy(static_cast<void*>(dst), data, sizeof(T) * n);
    return dst;
  }
  const WDL_HeapBuf& Heap() const { return mHeap; }

private:
  WDL_HeapBuf mHeap;
};
