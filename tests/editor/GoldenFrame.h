// Golden editor frames: a drawn frame compared with a committed PNG under tests/editor/golden/.
//
// Run with TARVEX_REGENERATE_GOLDEN=1 to rewrite the committed files from the frames drawn (look
// at them before committing). A mismatch writes NAME-actual.png and NAME-diff.png (differences
// amplified, white where a channel is beyond the tolerance) under <build>/golden-failures/.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Png.h"
#include "tools/pictures/PngWrite.h"

// Frames are deterministic (fixed input and frame count), but Debug and Release builds may round
// the analyses and anti-aliasing differently in the last bit, which can move a truncated colour by
// one level or a rounded curve row by one; so each channel may differ by 2 levels, and up to 0.2 %
// of the pixels (866) may differ by more.
constexpr int kGoldenChannelTolerance = 2;
constexpr int kGoldenOutlierLimit = 866;

inline std::string GoldenPath(const std::string& name)
{
  const char* root = std::getenv("TARVEX_SOURCE_DIR");
  return std::string(root ? root : TARVEX_DEFAULT_SOURCE_DIR) + "/tests/editor/golden/" + name +
         ".png";
}

inline Picture PictureOf(LICE_IBitmap& bitmap)
{
  Picture p(bitmap.Width(), bitmap.Height(), 0);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
    {
      const uint8_t* s = bitmap.PixelData() + (static_cast<size_t>(y) * bitmap.RowSpan() + x) * 4;
      uint8_t* d = p.At(x, y);
      d[0] = 255; // the screen ignores alpha; opaque files stay RGB
      d[1] = s[1];
      d[2] = s[2];
      d[3] = s[3];
    }
  return p;
}

inline void ExpectMatchesGolden(LICE_IBitmap& frame, const std::string& name)
{
  const Picture actual = PictureOf(frame);
  const char* regenerate = std::getenv("TARVEX_REGENERATE_GOLDEN");
  if (regenerate && *regenerate && std::string(regenerate) != "0")
  {
    ASSERT_TRUE(WritePng(GoldenPath(name), actual)) << GoldenPath(name);
    return;
  }
  std::unique_ptr<LICE_IBitmap> golden(LoadPng(GoldenPath(name).c_str()));
  ASSERT_TRUE(golden) << "missing " << GoldenPath(name)
                      << " (TARVEX_REGENERATE_GOLDEN=1 writes it)";
  ASSERT_EQ(golden->Width(), actual.width);
  ASSERT_EQ(golden->Height(), actual.height);

  Picture diff(actual.width, actual.height, 0);
  int outliers = 0, worst = 0;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x)
    {
      const uint8_t* g = golden->PixelData() + (static_cast<size_t>(y) * golden->RowSpan() + x) * 4;
      const uint8_t* a = &actual.pixels[(static_cast<size_t>(y) * actual.width + x) * 4];
      uint8_t* d = diff.At(x, y);
      d[0] = 255;
      int largest = 0;
      for (int c = 1; c <= 3; ++c)
      {
        const int delta = std::abs(int{a[c]} - int{g[c]});
        largest = delta > largest ? delta : largest;
        d[c] = static_cast<uint8_t>(delta * 16 > 255 ? 255 : delta * 16);
      }
      if (largest > kGoldenChannelTolerance)
      {
        ++outliers;
        d[1] = d[2] = d[3] = 255;
      }
      worst = largest > worst ? largest : worst;
    }
  EXPECT_LE(outliers, kGoldenOutlierLimit) << name << ": largest channel difference " << worst;
  if (outliers > kGoldenOutlierLimit)
  {
    const char* build = std::getenv("TARVEX_BINARY_DIR");
    const std::string folder = std::string(build ? build : ".") + "/golden-failures";
    mkdir(folder.c_str(), 0755);
    WritePng(folder + "/" + name + "-actual.png", actual);
    WritePng(folder + "/" + name + "-diff.png", diff);
    ADD_FAILURE() << "frame and difference written to " << folder;
  }
}
