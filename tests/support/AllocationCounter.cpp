#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <cstddef>

namespace
{
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void CountAllocation()
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
  CountAllocation();
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
  CountAllocation();
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size)
{
  CountAllocation();
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size)
{
  CountAllocation();
  return __libc_realloc(p, size);
}
namespace
{
const int gHooksInstalled = 1;
}
#endif

bool AllocationHooksInstalled()
{
  return gHooksInstalled != 0;
}

AllocationCounter::AllocationCounter()
{
  gAllocations = 0;
  gCounting = true;
}

AllocationCounter::~AllocationCounter()
{
  gCounting = false;
}

long AllocationCounter::Count() const
{
  return gAllocations.load();
}
