// PNG decoding into 32-bit bitmaps (alpha, red, green, blue; alpha 255 for opaque images).
//
// Every failure (unreadable file, not a PNG, a decode error, an image larger than kPngMaxSide on a
// side or kPngMaxPixels in all, a target that cannot take the size) yields null and prints nothing.
// Threads: any thread; the functions keep no state.
#pragma once

#include <cstddef>

class LICE_IBitmap;

// Limits refused before any pixel storage is allocated. The editor's pictures are far smaller.
constexpr int kPngMaxSide = 16384;
constexpr long long kPngMaxPixels = 64ll * 1024 * 1024;

// Decodes the file at path. With a null target the result is a new LICE_MemBitmap (line alignment
// 4) owned by the caller; with a target the image is decoded into it (resized) and the target is
// returned. On failure a target is left allocated but its contents are unspecified.
LICE_IBitmap* LoadPng(const char* path, LICE_IBitmap* target = nullptr);

// Decodes size bytes of a PNG held in memory (pictures built into a binary) into a new
// LICE_MemBitmap owned by the caller; null on failure.
LICE_IBitmap* LoadPngFromMemory(const void* data, size_t size);

// As LoadPng; with checkName the last component of path must end in ".png" (any case), else null
// without opening the file.
LICE_IBitmap* LoadPngIfNamed(const char* path, bool checkName, LICE_IBitmap* target = nullptr);
