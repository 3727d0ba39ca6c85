// Writes pictures as PNG files with fixed settings, so that the same pixels always give the same
// bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pixels in the editor's layout: four bytes alpha, red, green, blue, rows `width` pixels apart.
struct Picture
{
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;

  Picture() = default;
  Picture(int32_t w, int32_t h, uint32_t fill);
  uint8_t* At(int32_t x, int32_t y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Chooses grey, RGB or RGBA storage from the pixels (the loader expands all three to the same
// pixels). No time or text chunks; compression level 9. Returns false when the file cannot be
// written.
bool WritePng(const std::string& path, const Picture& picture);

// The same PNG bytes in memory (for writers that put files in place themselves). False on failure.
bool EncodePng(const Picture& picture, std::string* bytes);
