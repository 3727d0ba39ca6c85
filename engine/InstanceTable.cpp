#include "engine/InstanceTable.h"

#include "dsp/ZeroPages.h"

// inUse is read by constructions (under the factory mutex) while a destruction on another thread
// (under its own instance's mutex only) clears it: both sides go through atomic accesses, and the
// release of a slot publishes the destroyed instance's last writes to whoever takes it next.
static bool SlotInUse(const InstanceState& slot)
{
  return __atomic_load_n(&slot.inUse, __ATOMIC_ACQUIRE) != 0;
}

static InstanceState* InstanceTable()
{
  // Never freed: instances of this process reach their slot through a pointer until the process
  // ends.
  // Fresh zero pages: a slot's pages become resident only where its instance writes them.
  static InstanceState* table =
      static_cast<InstanceState*>(AllocateZeroed(kMaxInstances * sizeof(InstanceState)));
  return table;
}

WDL_Mutex& TarvexFactoryMutex()
{
  static WDL_Mutex* mutex = new WDL_Mutex; // deliberately never destroyed
  return *mutex;
}

bool InstanceTableHasFreeSlot()
{
  InstanceState* table = InstanceTable();
  if (!table) return false;
  for (int i = 0; i < kMaxInstances; ++i)
    if (!SlotInUse(table[i])) return true;
  return false;
}

int TakeInstanceSlot(IPlugBase* plug, InstanceState** slot)
{
  if (slot) *slot = nullptr;
  InstanceState* table = InstanceTable();
  if (!table) return -1;
  for (int i = 0; i < kMaxInstances; ++i)
    if (!SlotInUse(table[i]))
    {
      __atomic_store_n(&table[i].inUse, static_cast<uint8_t>(1), __ATOMIC_RELEASE);
      table[i].plug = plug;
      if (slot) *slot = &table[i];
      return i;
    }
  return -1;
}

void ReleaseInstanceSlot(InstanceState* slot)
{
  if (slot) __atomic_store_n(&slot->inUse, static_cast<uint8_t>(0), __ATOMIC_RELEASE);
}
