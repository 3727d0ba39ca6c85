// Change flags and counters of InstanceState are plain int32 fields (the record stays trivial so
// the instance table can be allocated zero-filled); threads hand them over through these atomic
// accesses.
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
