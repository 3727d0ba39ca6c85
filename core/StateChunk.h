// Growable byte string of saved state. Values are appended at the end and read from a caller-held
// position; each read returns the position after the value, or -1 when the value is not all there.
// Multi-byte values are little-endian (the native order of every target).
#pragma once

#include <cstdint>

#include "core/WDL_HeapBuf.h"
#include "core/WDL_String.h"

class StateChunk
{
public:
  StateChunk() : mBytes(4096) {}

  int Size() const { return mBytes.GetSize(); }
  const uint8_t* GetBytes() const { return mBytes.Get(); }
  uint8_t* GetBytes() { return mBytes.Get(); }

  // Appends and returns the new size.
  int AppendBytes(const void* source, int n);
  int AppendText(const char* text);         // int32 length, then the bytes without terminator
  int AppendFlag(bool flag);                // one byte, 0 or 1
  int AppendChunk(const StateChunk* other); // all bytes of another chunk

  // -1 if position < 0 or the n bytes are not all there; else copies them and returns position + n.
  int ReadBytes(void* destination, int n, int position) const;
  // Reads an int32 length L, then L bytes into text when L >= 1 and they are all there. Returns
  // position + 4 + L; -1 when the length itself cannot be read, is negative or the end would
  // overflow.
  int ReadText(WDL_String* text, int position) const;
  // -1 if the byte is not there; else flag = (byte != 0) and position + 1.
  int ReadFlag(bool* flag, int position) const;

  // Sets the size; bytes added by growing are unspecified until written.
  void SetLength(int n) { mBytes.Resize(n < 0 ? 0 : n); }
  void Clear() { mBytes.Resize(0); }

private:
  WDL_TypedBuf<uint8_t> mBytes;
};
