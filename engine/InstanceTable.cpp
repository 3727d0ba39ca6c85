#include "engine/InstanceTable.h"

#include "engine/ZeroPages.h"

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
    if (!table[i].inUse) return true;
  return false;
}

int TakeInstanceSlot(IPlugBase* plug, InstanceState** slot)
{
  if (slot) *slot = nullptr;
  InstanceState* table = InstanceTable();
  if (!table) return -1;
  for (int i = 0; i < kMaxInstances; ++i)
    if (!table[i].inUse)
    {
      table[i].inUse = 1;
      table[i].plug = plug;
      if (slot) *slot = &table[i];
      return i;
    }
  return -1;
}

void ReleaseInstanceSlot(InstanceState* slot)
{
  if (slot) slot->inUse = 0;
}
