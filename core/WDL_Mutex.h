// Recursive mutex: a pthread mutex plus its owning thread and a nesting count. Enter on the owning
// thread only counts; the pthread mutex is released by the outermost Leave.
#pragma once

#include <atomic>
#include <pthread.h>

class WDL_Mutex
{
public:
  WDL_Mutex() { pthread_mutex_init(&m_mutex, nullptr); }
  ~WDL_Mutex() { pthread_mutex_destroy(&m_mutex); }
  WDL_Mutex(const WDL_Mutex&) = delete;
  WDL_Mutex& operator=(const WDL_Mutex&) = delete;

  void Enter()
  {
    const pthread_t self = pthread_self();
    if (OwnedByCaller())
    {
      ++m_lockcnt;
      return;
    }
    pthread_mutex_lock(&m_mutex);
    m_ownerthread.store(self, std::memory_order_relaxed);
    m_lockcnt = 0;
  }
  // Enter without waiting: false when another thread holds the mutex.
  bool TryEnter()
  {
    const pthread_t self = pthread_self();
    if (OwnedByCaller())
    {
      ++m_lockcnt;
      return true;
    }
    if (pthread_mutex_trylock(&m_mutex) != 0) return false;
    m_ownerthread.store(self, std::memory_order_relaxed);
    m_lockcnt = 0;
    return true;
  }
  void Leave()
  {
    if (--m_lockcnt < 0)
    {
      m_lockcnt = 0;
      m_ownerthread.store(pthread_t{}, std::memory_order_relaxed);
      pthread_mutex_unlock(&m_mutex);
    }
  }
  int LockCount() const { return m_lockcnt; }
  bool OwnedByCaller() const
  {
    // Only the owner itself can see its own id here, so a relaxed load suffices.
    return pthread_equal(m_ownerthread.load(std::memory_order_relaxed), pthread_self());
  }

private:
  pthread_mutex_t m_mutex;
  std::atomic<pthread_t> m_ownerthread{pthread_t{}}; // zero while unowned
  int m_lockcnt = 0;
};

// Holds a WDL_Mutex for the lifetime of the guard.
class WDL_MutexLock
{
public:
  explicit WDL_MutexLock(WDL_Mutex* mutex) : mMutex(mutex)
  {
    if (mMutex) mMutex->Enter();
  }
  ~WDL_MutexLock()
  {
    if (mMutex) mMutex->Leave();
  }
  WDL_MutexLock(const WDL_MutexLock&) = delete;
  WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

private:
  WDL_Mutex* mMutex;
};
