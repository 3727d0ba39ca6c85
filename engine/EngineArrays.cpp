#include "engine/EngineArrays.h"

#include <cstdlib>

double* CreateEngineArray()
{
  return static_cast<double*>(std::calloc(kEngineArrayLength, sizeof(double)));
}

void FreeEngineArray(double*& array)
{
  std::free(array);
  array = nullptr;
}
