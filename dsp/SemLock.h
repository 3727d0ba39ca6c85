// A binary semaphore with a busy flag, shared by the audio thread and the editor of one instance.
// Locks are always taken in the order drawLock, dspLock, then curveLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <semaphore.h>

struct SemLock
{
  sem_t semaphore;           // count 1 when free, private to the process
  std::atomic<int32_t> busy; // set while held
};

// Initialises the semaphore with count 1 and clears the busy flag. False when the semaphore cannot
// be made.
bool SemLockInit(SemLock* lock);
// Releases the semaphore's resources; the lock must not be held or waited on.
void SemLockDestroy(SemLock* lock);
// Waits for the lock. A null lock writes "Mutex error 0x0000001B\n" to stderr and returns.
void SemLockAcquire(SemLock* lock);
// Takes the lock only when it is free at once; never waits. False (lock untouched) when it is held
// or missing.
bool SemLockTryAcquire(SemLock* lock);
// Gives the lock back. A null lock writes "Mutex error 0x00000025\n" to stderr and returns.
void SemLockRelease(SemLock* lock);

// Sleeps ms milliseconds; 0 sleeps 10 microseconds.
void SleepMs(int ms);
