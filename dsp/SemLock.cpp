#include "dsp/SemLock.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace
{
void SleepNs(long long ns)
{
  timespec wanted;
  wanted.tv_sec = static_cast<time_t>(ns / 1000000000LL);
  wanted.tv_nsec = static_cast<long>(ns % 1000000000LL);
  timespec left;
  while (nanosleep(&wanted, &left) != 0 && errno == EINTR) wanted = left;
}
} // namespace

bool SemLockInit(SemLock* lock)
{
  lock->busy.store(0, std::memory_order_relaxed);
  return sem_init(&lock->semaphore, 0, 1) == 0;
}

void SemLockDestroy(SemLock* lock)
{
  if (lock) sem_destroy(&lock->semaphore);
}

void SemLockAcquire(SemLock* lock)
{
  if (!lock)
  {
    std::fputs("Mutex error 0x0000001B\n", stderr);
    return;
  }
  while (sem_wait(&lock->semaphore) != 0 && errno == EINTR)
  {
  }
  while (lock->busy.load(std::memory_order_acquire)) SleepNs(10000);
  lock->busy.store(1, std::memory_order_release);
}

bool SemLockTryAcquire(SemLock* lock)
{
  if (!lock || sem_trywait(&lock->semaphore) != 0) return false;
  if (lock->busy.load(std::memory_order_acquire))
  {
    sem_post(&lock->semaphore); // the last owner has not finished releasing
    return false;
  }
  lock->busy.store(1, std::memory_order_release);
  return true;
}

void SemLockRelease(SemLock* lock)
{
  if (!lock)
  {
    std::fputs("Mutex error 0x00000025\n", stderr);
    return;
  }
  // Clear the flag before posting so the next owner does not find it still set.
  lock->busy.store(0, std::memory_order_release);
  sem_post(&lock->semaphore);
}

void SleepMs(int ms)
{
  if (ms <= 0)
    SleepNs(10000);
  else
    SleepNs(static_cast<long long>(ms) * 1000000LL);
}
