#include "core/WDL_HeapBuf.h"

int WDL_HeapBuf::AllocationFor(int newSize, int granularity, int minAlloc)
{
  long long margin = newSize / 2 > granularity ? newSize / 2 : granularity;
  long long alloc;
  if (granularity > 4095)
  {
    margin &= ~4095LL;
    if (margin < 4096) margin = 4096;
    if (margin > 0x400000) margin = 0x400000;
    alloc = newSize + margin;
    alloc = ((alloc + 96) & ~4095LL) - 96;
  }
  else
  {
    alloc = newSize + margin;
  }
  if (alloc < minAlloc) alloc = minAlloc;
  if (alloc > 0x7fffffffLL) alloc = 0x7fffffffLL;
  return static_cast<int>(alloc);
}

void* WDL_HeapBuf::Resize(int newSize, bool resizeDown)
{
  if (newSize < 0) newSize = 0;
  const bool grow = newSize > m_alloc;
  const bool shrink = resizeDown && newSize < m_alloc / 2 && newSize < m_alloc - (m_granul << 2);
  if (grow || shrink)
  {
    const int newAlloc = AllocationFor(newSize, m_granul, m_mas);
    void* nb = realloc(m_buf, static_cast<size_t>(newAlloc));
    if (!nb)
    {
      nb = malloc(static_cast<size_t>(newAlloc));
      if (!nb) return m_size ? m_buf : nullptr; // keep buffer and size as they were
      if (m_buf)
      {
        memcpy(nb, m_buf, static_cast<size_t>(newSize < m_size ? newSize : m_size));
        free(m_buf);
      }
    }
    m_buf = nb;
    m_alloc = newAlloc;
  }
  m_size = newSize;
  return m_size ? m_buf : nullptr;
}
