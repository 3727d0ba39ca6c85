// Fixed-size engine arrays: every large engine buffer holds kEngineArrayLength doubles, created
// zero-filled at construction and never resized. Ownership stays with the record holding the
// pointer.
#pragma once

#include <cstddef>

constexpr int kEngineArrayLength = 133120;

// Null when memory is exhausted.
double* CreateEngineArray();
// Frees and nulls the pointer; null is allowed.
void FreeEngineArray(double*& array);
