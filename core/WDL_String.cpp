#include "core/WDL_String.h"

#include <cstdarg>
#include <cstdio>

void WDL_String::Set(const char* text, int maxLength)
{
  if (!text) text = "";
  // Never read past maxLength: text need not be terminated within it.
  int n = static_cast<int>(maxLength >= 0 ? strnlen(text, static_cast<size_t>(maxLength))
                                          : strlen(text));
  // text may point into our own buffer: copy through a temporary when it does.
  const char* own = static_cast<const char*>(mHeap.Get());
  if (own && text >= own && text < own + mHeap.GetSize())
  {
    WDL_String copy;
    copy.Set(text, n);
    Set(copy.Get());
    return;
  }
  if (n == 0)
  {
    mHeap.Resize(0);
    return;
  }
  char* p = static_cast<char*>(mHeap.Resize(n + 1));
  if (!p || mHeap.GetSize() != n + 1) return;
  memcpy(p, text, n);
  p[n] = 0;
}

void WDL_String::Append(const char* text, int maxLength)
{
  if (!text) return;
  int n = static_cast<int>(maxLength >= 0 ? strnlen(text, static_cast<size_t>(maxLength))
                                          : strlen(text));
  if (n == 0) return;
  WDL_String tail;
  tail.Set(text, n); // text may alias our buffer
  const int old = GetLength();
  char* p = static_cast<char*>(mHeap.Resize(old + n + 1, false));
  if (!p || mHeap.GetSize() != old + n + 1) return;
  memcpy(p + old, tail.Get(), n);
  p[old + n] = 0;
}

void WDL_String::SetFormatted(int maxLength, const char* format, ...)
{
  if (maxLength <= 0)
  {
    Set("");
    return;
  }
  char* p = static_cast<char*>(mHeap.Resize(maxLength + 1));
  if (!p) return;
  va_list args;
  va_start(args, format);
  vsnprintf(p, static_cast<size_t>(maxLength) + 1, format, args);
  va_end(args);
  mHeap.Resize(static_cast<int>(strlen(p)) + 1, false);
  if (!*p) mHeap.Resize(0);
}

void WDL_String::SetLength(int length)
{
  if (length <= 0)
  {
    mHeap.Resize(0);
    return;
  }
  const int old = GetLength();
  char* p = static_cast<char*>(mHeap.Resize(length + 1, false));
  if (!p || mHeap.GetSize() != length + 1) return;
  if (length > old) memset(p + old, ' ', length - old);
  p[length] = 0;
}
