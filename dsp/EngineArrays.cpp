#include "dsp/EngineArrays.h"

#include <cstring>

#include "dsp/ZeroPages.h"

namespace
{
constexpr size_t kEngineArrayBytes = sizeof(double) * kEngineArrayLength;

int32_t Limited(int values)
{
  return values < 0 ? 0 : (values > kEngineArrayLength ? kEngineArrayLength : values);
}
} // namespace

double* CreateEngineArray()
{
  return static_cast<double*>(AllocateZeroed(kEngineArrayBytes));
}

void FreeEngineArray(double*& array)
{
  FreeZeroed(array, kEngineArrayBytes);
  array = nullptr;
}

void RaiseExtent(int32_t& extent, int used)
{
  const int32_t limited = Limited(used);
  if (Limited(extent) < limited)
    extent = limited;
  else
    extent = Limited(extent);
}

void ClearToExtent(double* array, int32_t& extent)
{
  const int32_t n = Limited(extent);
  if (array && n > 0) std::memset(array, 0, sizeof(double) * n);
  extent = 0;
}
