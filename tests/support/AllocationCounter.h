// Counts every heap allocation of the test process (malloc, calloc, realloc and operator new) while
// an AllocationCounter lives. Link tests/support/AllocationCounter.cpp into the test binary once:
// it replaces the C allocator's entry points (or, under AddressSanitizer, installs its hooks).
#pragma once

// False when the hooks could not be installed; a test then cannot count and should fail.
bool AllocationHooksInstalled();

class AllocationCounter
{
public:
  AllocationCounter();  // starts counting from 0
  ~AllocationCounter(); // stops counting
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;
  long Count() const;
};
