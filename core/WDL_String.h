// C string in a WDL_HeapBuf with granularity 128. An empty string reads as "". Not thread-safe.
#pragma once

#include "core/WDL_HeapBuf.h"

class WDL_String
{
public:
  explicit WDL_String(const char* initial = nullptr) : mHeap(128)
  {
    if (initial) Set(initial);
  }
  WDL_String(const WDL_String& other) : mHeap(128) { Set(other.Get()); }
  WDL_String& operator=(const WDL_String& other)
  {
    if (this != &other) Set(other.Get());
    return *this;
  }

  const char* Get() const
  {
    const char* p = static_cast<const char*>(mHeap.Get());
    return p ? p : "";
  }
  int GetLength() const { return static_cast<int>(strlen(Get())); }
  // Copies at most maxLength characters of text (all of it when maxLength < 0).
  void Set(const char* text, int maxLength = -1);
  void Append(const char* text, int maxLength = -1);
  // printf-style; the result is cut at maxLength characters.
  void SetFormatted(int maxLength, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void SetLength(int length);

private:
  WDL_HeapBuf mHeap;
};
