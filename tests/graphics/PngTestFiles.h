// Test-only helpers: a scratch folder and PNG files written with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh folder under the system temp directory, removed with its contents on destruction.
class ScratchFolder
{
public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& Path() const { return mPath; }
  std::string File(const std::string& name) const { return mPath + "/" + name; }

private:
  std::string mPath;
};

struct PngImage
{
  int width = 1;
  int height = 1;
  int colourType = 0; // libpng PNG_COLOR_TYPE_*
  int depth = 8;
  bool interlaced = false;
  std::vector<std::vector<uint8_t>>
      rows;                          // packed as the PNG stores them (16-bit samples big-endian)
  std::vector<uint8_t> palette;      // r, g, b triples for palette images
  std::vector<uint8_t> paletteAlpha; // tRNS entries for palette images
  bool hasColourKey = false;         // tRNS colour key for grey or RGB images
  uint16_t keyGrey = 0, keyRed = 0, keyGreen = 0, keyBlue = 0;
};

// Writes image to path; false on failure.
bool WritePng(const std::string& path, const PngImage& image);
// Writes raw bytes to path; false on failure.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
