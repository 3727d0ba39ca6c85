// Process-wide table of kMaxInstances InstanceState slots, created zero-filled on first use and
// never freed. Callers serialise slot searches with the factory mutex (every construction runs
// under it).
//
// The table comes from fresh zero pages (ZeroPages.h): a slot's pages become resident only where
// they are written, so constructors set the fields they use one by one and never clear or assign
// a whole slot (a reused slot's large fields are rewritten by whoever uses them).
#pragma once

#include "core/WDL_Mutex.h"
#include "engine/InstanceState.h"

constexpr int kMaxInstances = 1024;

// Mutex held around every construction of a plug-in instance. Created on first use, never
// destroyed.
WDL_Mutex& TarvexFactoryMutex();

// True when a slot is free, so that a construction will get one.
bool InstanceTableHasFreeSlot();

// Takes the lowest free slot for plug: sets inUse and plug, returns the slot's number and the slot.
// Returns -1 and a null slot when all slots are taken.
int TakeInstanceSlot(IPlugBase* plug, InstanceState** slot);

// Marks a slot free again (inUse = 0). A null slot is ignored.
void ReleaseInstanceSlot(InstanceState* slot);
