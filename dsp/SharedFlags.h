// Change flags and counters of the instance state (DspState and the plug-in's InstanceState) are
// plain int32 fields (the records stay trivial so the instance table can be allocated zero-filled);
// threads hand them over through these atomic accesses.
#pragma once

#include <cstdint>

inline int32_t LoadFlag(const int32_t& flag)
{
  return __atomic_load_n(&flag, __ATOMIC_ACQUIRE);
}
inline void StoreFlag(int32_t& flag, int32_t value)
{
  __atomic_store_n(&flag, value, __ATOMIC_RELEASE);
}
// Returns the previous value.
inline int32_t ExchangeFlag(int32_t& flag, int32_t value)
{
  return __atomic_exchange_n(&flag, value, __ATOMIC_ACQ_REL);
}

// Plain double fields of the instance state that one thread writes and another reads without a lock
// (the limiter light, the colour gain, the reveal timer): relaxed, so a reader sees an old or a new
// value, never a torn one.
inline double LoadShared(const double& value)
{
  double out;
  __atomic_load(&value, &out, __ATOMIC_RELAXED);
  return out;
}
inline void StoreShared(double& value, double newValue)
{
  __atomic_store(&value, &newValue, __ATOMIC_RELAXED);
}
