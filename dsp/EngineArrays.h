// Fixed-size engine arrays: every large engine buffer holds kEngineArrayLength doubles, created
// zero-filled at construction and never resized. Ownership stays with the record holding the
// pointer.
//
// Only the pages an instance writes become resident (the arrays come from fresh zero pages, see
// ZeroPages.h), so an array is never cleared in full: its owner keeps a high-water mark, the count
// of values from index 0 that may be non-zero, raised to every length the array is used with and
// cleared back to 0 with ClearToExtent.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kEngineArrayLength = 133120;

// Null when memory is exhausted.
double* CreateEngineArray();
// Frees and nulls the pointer; null is allowed.
void FreeEngineArray(double*& array);

// extent = max(extent, used), limited to 0 .. kEngineArrayLength.
void RaiseExtent(int32_t& extent, int used);
// Zeroes the first extent values of array (all that can be non-zero) and sets extent to 0. A null
// array only resets the mark.
void ClearToExtent(double* array, int32_t& extent);
