#include "dsp/ZeroPages.h"

#include <cstdlib>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define TARVEX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVEX_ASAN 1
#endif
#endif

void* AllocateZeroPages(size_t bytes)
{
  if (bytes == 0) return nullptr;
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void FreeZeroPages(void* block, size_t bytes)
{
  if (block && bytes > 0) munmap(block, bytes);
}

void* AllocateZeroed(size_t bytes)
{
#if defined(TARVEX_ASAN)
  return bytes > 0 ? std::calloc(1, bytes) : nullptr;
#else
  return AllocateZeroPages(bytes);
#endif
}

void FreeZeroed(void* block, size_t bytes)
{
#if defined(TARVEX_ASAN)
  (void)bytes;
  std::free(block);
#else
  FreeZeroPages(block, bytes);
#endif
}
