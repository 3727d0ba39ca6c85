#include "core/StateChunk.h"

#include <climits>
#include <cstring>

int StateChunk::AppendBytes(const void* source, int n)
{
  if (n > 0 && source)
  {
    const int old = Size();
    uint8_t* dst = mBytes.Resize(old + n, false);
    if (dst && Size() == old + n) memcpy(dst + old, source, static_cast<size_t>(n));
  }
  return Size();
}

int StateChunk::AppendText(const char* text)
{
  if (!text) text = "";
  const int32_t n = static_cast<int32_t>(strlen(text));
  AppendBytes(&n, 4);
  return AppendBytes(text, n);
}

int StateChunk::AppendFlag(bool flag)
{
  const uint8_t b = flag ? 1 : 0;
  return AppendBytes(&b, 1);
}

int StateChunk::AppendChunk(const StateChunk* other)
{
  if (!other || other == this)
  {
    if (other == this && Size() > 0)
    {
      StateChunk copy;
      copy.AppendBytes(GetBytes(), Size());
      return AppendBytes(copy.GetBytes(), copy.Size());
    }
    return Size();
  }
  return AppendBytes(other->GetBytes(), other->Size());
}

int StateChunk::ReadBytes(void* destination, int n, int position) const
{
  if (position < 0 || n < 0) return -1;
  if (static_cast<long long>(position) + n > Size()) return -1;
  if (n > 0 && destination) memcpy(destination, GetBytes() + position, static_cast<size_t>(n));
  return position + n;
}

int StateChunk::ReadText(WDL_String* text, int position) const
{
  int32_t length = 0;
  const int after = ReadBytes(&length, 4, position);
  if (after < 0 || length < 0) return -1;
  const long long end = static_cast<long long>(after) + length;
  if (end > INT_MAX) return -1;
  if (length >= 1 && end <= Size() && text)
    text->Set(reinterpret_cast<const char*>(GetBytes() + after), length);
  return static_cast<int>(end);
}

int StateChunk::ReadFlag(bool* flag, int position) const
{
  uint8_t b = 0;
  const int after = ReadBytes(&b, 1, position);
  if (after >= 0 && flag) *flag = b != 0;
  return after;
}
