#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Png.h"
#include "tests/graphics/PngTestFiles.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

namespace
{
// Pixel (x, y) of a decoded bitmap as its four bytes: alpha, red, green, blue.
std::vector<uint8_t> PixelAt(LICE_IBitmap* bitmap, int x, int y)
{
  const unsigned char* p = bitmap->PixelData() + (y * bitmap->RowSpan() + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b)
{
  return {a, r, g, b};
}

PngImage RgbNoise(int width, int height)
{
  PngImage image;
  image.width = width;
  image.height = height;
  image.colourType = PNG_COLOR_TYPE_RGB;
  uint32_t state = 12345;
  for (int y = 0; y < height; ++y)
  {
    std::vector<uint8_t> row;
    for (int i = 0; i < width * 3; ++i)
    {
      state = state * 1664525u + 1013904223u;
      row.push_back(static_cast<uint8_t>(state >> 24));
    }
    image.rows.push_back(row);
  }
  return image;
}

uint32_t Crc32(const uint8_t* data, size_t n)
{
  uint32_t crc = 0xffffffffu;
  for (size_t i = 0; i < n; ++i)
  {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v)
{
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A file with a valid signature and header chunk claiming width x height RGBA pixels, and no image
// data.
std::vector<uint8_t> HeaderOnlyPng(uint32_t width, uint32_t height)
{
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> chunk = {'I', 'H', 'D', 'R'};
  PutBigEndian(chunk, width);
  PutBigEndian(chunk, height);
  for (uint8_t b : {8, 6, 0, 0, 0}) chunk.push_back(b);
  PutBigEndian(out, 13);
  out.insert(out.end(), chunk.begin(), chunk.end());
  PutBigEndian(out, Crc32(chunk.data(), chunk.size()));
  return out;
}

// A bitmap that refuses every size.
class StuckBitmap : public LICE_IBitmap
{
public:
  unsigned char* PixelData() override { return mPixels; }
  int Width() override { return 1; }
  int Height() override { return 1; }
  int RowSpan() override { return 1; }
  bool IsBottomUp() override { return false; }
  bool SetSize(int, int) override { return false; }
  void* DrawingContext() override { return nullptr; }
  unsigned char mPixels[4] = {1, 2, 3, 4};
};
} // namespace

TEST(LoadPng, OneBitGreyExpandsToOpaqueArgb)
{
  ScratchFolder folder;
  PngImage image;
  image.width = 10; // more than one byte of bits per row
  image.height = 2;
  image.colourType = PNG_COLOR_TYPE_GRAY;
  image.depth = 1;
  image.rows = {{0xA5, 0x80}, {0x00, 0x40}}; // row 0: 1010 0101 10, row 1: 0000 0000 01
  ASSERT_TRUE(WritePng(folder.File("grey1.png"), image));
  LICE_IBitmap* bitmap = LoadPng(folder.File("grey1.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 10);
  EXPECT_EQ(bitmap->Height(), 2);
  const char* bits[2] = {"1010010110", "0000000001"};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x)
    {
      const uint8_t v = bits[y][x] == '1' ? 255 : 0;
      EXPECT_EQ(PixelAt(bitmap, x, y), Argb(255, v, v, v)) << x << "," << y;
    }
  delete bitmap;
}

TEST(LoadPng, PaletteWithTransparencyPutsAlphaFirst)
{
  ScratchFolder folder;
  PngImage image;
  image.width = 4;
  image.height = 1;
  image.colourType = PNG_COLOR_TYPE_PALETTE;
  image.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  image.paletteAlpha = {0, 128}; // the third entry stays opaque
  image.rows = {{0, 1, 2, 1}};
  ASSERT_TRUE(WritePng(folder.File("palette.png"), image));
  LICE_IBitmap* bitmap = LoadPng(folder.File("palette.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(0, 10, 20, 30));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(128, 40, 50, 60));
  EXPECT_EQ(PixelAt(bitmap, 2, 0), Argb(255, 70, 80, 90));
  EXPECT_EQ(PixelAt(bitmap, 3, 0), Argb(128, 40, 50, 60));
  delete bitmap;

  // Without transparency a palette image is opaque.
  image.paletteAlpha.clear();
  ASSERT_TRUE(WritePng(folder.File("opaque.png"), image));
  bitmap = LoadPng(folder.File("opaque.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(255, 40, 50, 60));
  delete bitmap;
}

TEST(LoadPng, ColourKeysAndPackedPalettesGiveAlphaFirst)
{
  ScratchFolder folder;
  PngImage rgb;
  rgb.width = 2;
  rgb.height = 1;
  rgb.colourType = PNG_COLOR_TYPE_RGB;
  rgb.rows = {{1, 2, 3, 4, 5, 6}};
  rgb.hasColourKey = true;
  rgb.keyRed = 4;
  rgb.keyGreen = 5;
  rgb.keyBlue = 6;
  ASSERT_TRUE(WritePng(folder.File("rgbkey.png"), rgb));
  LICE_IBitmap* bitmap = LoadPng(folder.File("rgbkey.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(255, 1, 2, 3));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(0, 4, 5, 6));
  delete bitmap;

  PngImage grey;
  grey.width = 3;
  grey.height = 1;
  grey.colourType = PNG_COLOR_TYPE_GRAY;
  grey.rows = {{10, 20, 30}};
  grey.hasColourKey = true;
  grey.keyGrey = 20;
  ASSERT_TRUE(WritePng(folder.File("greykey.png"), grey));
  bitmap = LoadPng(folder.File("greykey.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(255, 10, 10, 10));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(0, 20, 20, 20));
  EXPECT_EQ(PixelAt(bitmap, 2, 0), Argb(255, 30, 30, 30));
  delete bitmap;

  PngImage packed; // 4-bit indices, two per byte
  packed.width = 3;
  packed.height = 1;
  packed.colourType = PNG_COLOR_TYPE_PALETTE;
  packed.depth = 4;
  packed.palette = {0, 0, 0, 100, 110, 120, 200, 210, 220};
  packed.rows = {{0x21, 0x00}}; // indices 2, 1, 0
  ASSERT_TRUE(WritePng(folder.File("packed.png"), packed));
  bitmap = LoadPng(folder.File("packed.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(255, 200, 210, 220));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(255, 100, 110, 120));
  EXPECT_EQ(PixelAt(bitmap, 2, 0), Argb(255, 0, 0, 0));
  delete bitmap;
}

TEST(LoadPng, SixteenBitRgbKeepsHighBytes)
{
  ScratchFolder folder;
  PngImage image;
  image.width = 2;
  image.height = 1;
  image.colourType = PNG_COLOR_TYPE_RGB;
  image.depth = 16;
  image.rows = {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x01, 0x00, 0xFF, 0x80, 0x7F, 0x01, 0x02}};
  ASSERT_TRUE(WritePng(folder.File("rgb16.png"), image));
  LICE_IBitmap* bitmap = LoadPng(folder.File("rgb16.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(255, 0x12, 0xAB, 0xFF));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(255, 0x00, 0x80, 0x01));
  delete bitmap;
}

TEST(LoadPng, RgbaAndGreyAlphaMoveAlphaInFront)
{
  ScratchFolder folder;
  PngImage rgba;
  rgba.width = 2;
  rgba.height = 2;
  rgba.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba.rows = {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}};
  ASSERT_TRUE(WritePng(folder.File("rgba.png"), rgba));
  LICE_IBitmap* bitmap = LoadPng(folder.File("rgba.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(4, 1, 2, 3));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(8, 5, 6, 7));
  EXPECT_EQ(PixelAt(bitmap, 0, 1), Argb(12, 9, 10, 11));
  EXPECT_EQ(PixelAt(bitmap, 1, 1), Argb(16, 13, 14, 15));
  delete bitmap;

  PngImage greyAlpha;
  greyAlpha.width = 2;
  greyAlpha.height = 1;
  greyAlpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
  greyAlpha.rows = {{200, 50, 7, 255}};
  ASSERT_TRUE(WritePng(folder.File("ga.png"), greyAlpha));
  bitmap = LoadPng(folder.File("ga.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), Argb(50, 200, 200, 200));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), Argb(255, 7, 7, 7));
  delete bitmap;
}

TEST(LoadPng, InterlacedImageDecodesLikeItsPlainTwin)
{
  ScratchFolder folder;
  PngImage image = RgbNoise(13, 9);
  ASSERT_TRUE(WritePng(folder.File("plain.png"), image));
  image.interlaced = true;
  ASSERT_TRUE(WritePng(folder.File("adam7.png"), image));
  LICE_IBitmap* plain = LoadPng(folder.File("plain.png").c_str());
  LICE_IBitmap* adam7 = LoadPng(folder.File("adam7.png").c_str());
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(adam7, nullptr);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x)
    {
      const uint8_t* src = &image.rows[y][x * 3];
      EXPECT_EQ(PixelAt(adam7, x, y), Argb(255, src[0], src[1], src[2]));
      EXPECT_EQ(PixelAt(plain, x, y), PixelAt(adam7, x, y));
    }
  delete plain;
  delete adam7;
}

TEST(LoadPng, DecodesIntoTargetHonouringItsRowSpan)
{
  ScratchFolder folder;
  PngImage image = RgbNoise(3, 4);
  ASSERT_TRUE(WritePng(folder.File("small.png"), image));
  LICE_SysBitmap target(100, 100);
  EXPECT_EQ(LoadPng(folder.File("small.png").c_str(), &target), &target);
  EXPECT_EQ(target.Width(), 3);
  EXPECT_EQ(target.Height(), 4);
  EXPECT_EQ(target.RowSpan(), 100); // shrunk inside its storage
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x)
    {
      const uint8_t* src = &image.rows[y][x * 3];
      EXPECT_EQ(PixelAt(&target, x, y), Argb(255, src[0], src[1], src[2]));
    }
  // Padding after each row is untouched (zero-filled storage).
  EXPECT_EQ(PixelAt(&target, 3, 0), Argb(0, 0, 0, 0));
}

TEST(LoadPng, BadFilesYieldNull)
{
  ScratchFolder folder;
  EXPECT_EQ(LoadPng(nullptr), nullptr);
  EXPECT_EQ(LoadPng(""), nullptr);
  EXPECT_EQ(LoadPng(folder.File("missing.png").c_str()), nullptr);
  EXPECT_EQ(LoadPng(folder.Path().c_str()), nullptr); // a folder

  ASSERT_TRUE(WriteBytes(folder.File("empty.png"), {}));
  EXPECT_EQ(LoadPng(folder.File("empty.png").c_str()), nullptr);
  ASSERT_TRUE(WriteBytes(folder.File("text.png"), {'h', 'e', 'l', 'l', 'o', '\n'}));
  EXPECT_EQ(LoadPng(folder.File("text.png").c_str()), nullptr);

  ASSERT_TRUE(WritePng(folder.File("good.png"), RgbNoise(64, 64)));
  const std::vector<uint8_t> good = ReadBytes(folder.File("good.png"));
  ASSERT_GT(good.size(), 1000u);

  std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  ASSERT_TRUE(WriteBytes(folder.File("truncated.png"), truncated));
  EXPECT_EQ(LoadPng(folder.File("truncated.png").c_str()), nullptr);
  std::vector<uint8_t> headerCut(good.begin(), good.begin() + 20);
  ASSERT_TRUE(WriteBytes(folder.File("cut.png"), headerCut));
  EXPECT_EQ(LoadPng(folder.File("cut.png").c_str()), nullptr);

  std::vector<uint8_t> corrupt = good;
  for (size_t i = 100; i < 140; ++i) corrupt[i] ^= 0x5a; // inside the image data
  ASSERT_TRUE(WriteBytes(folder.File("corrupt.png"), corrupt));
  EXPECT_EQ(LoadPng(folder.File("corrupt.png").c_str()), nullptr);

  std::vector<uint8_t> garbage(good.begin(), good.begin() + 8); // a signature, then noise
  for (int i = 0; i < 500; ++i) garbage.push_back(static_cast<uint8_t>(i * 37 + 11));
  ASSERT_TRUE(WriteBytes(folder.File("garbage.png"), garbage));
  EXPECT_EQ(LoadPng(folder.File("garbage.png").c_str()), nullptr);

  // A failed decode does not delete the caller's target (ASan would report the double free).
  LICE_MemBitmap target(2, 2, 4);
  EXPECT_EQ(LoadPng(folder.File("corrupt.png").c_str(), &target), nullptr);
  EXPECT_EQ(LoadPng(folder.File("text.png").c_str(), &target), nullptr);
}

TEST(LoadPng, HugeHeadersAreRefusedBeforeAllocating)
{
  ScratchFolder folder;
  // Over the per-side limit: libpng refuses the header itself.
  ASSERT_TRUE(WriteBytes(folder.File("wide.png"), HeaderOnlyPng(1000000, 1000000)));
  EXPECT_EQ(LoadPng(folder.File("wide.png").c_str()), nullptr);
  // Within the side limit but 256 M pixels (1 GiB): refused by the pixel count.
  ASSERT_TRUE(WriteBytes(folder.File("big.png"), HeaderOnlyPng(16384, 16384)));
  EXPECT_EQ(LoadPng(folder.File("big.png").c_str()), nullptr);
  LICE_MemBitmap target(1, 1, 4);
  EXPECT_EQ(LoadPng(folder.File("big.png").c_str(), &target), nullptr);
  EXPECT_EQ(target.Width(), 1); // never resized
  // A plausible size whose data is missing fails in the decode.
  ASSERT_TRUE(WriteBytes(folder.File("nodata.png"), HeaderOnlyPng(640, 480)));
  EXPECT_EQ(LoadPng(folder.File("nodata.png").c_str()), nullptr);
}

TEST(LoadPng, TargetThatCannotTakeTheSizeYieldsNull)
{
  ScratchFolder folder;
  ASSERT_TRUE(WritePng(folder.File("four.png"), RgbNoise(4, 4)));
  StuckBitmap stuck;
  EXPECT_EQ(LoadPng(folder.File("four.png").c_str(), &stuck), nullptr);
  EXPECT_EQ(stuck.mPixels[0], 1); // nothing written into it
  EXPECT_EQ(stuck.mPixels[3], 4);
}

TEST(LoadPngIfNamed, ChecksTheLastComponentsExtension)
{
  ScratchFolder folder;
  const PngImage image = RgbNoise(2, 2);
  ASSERT_TRUE(WritePng(folder.File("upper.PNG"), image));
  ASSERT_TRUE(WritePng(folder.File("picture.png.txt"), image));
  ASSERT_TRUE(WritePng(folder.File("back.png\\slash"), image));

  LICE_IBitmap* bitmap = LoadPngIfNamed(folder.File("upper.PNG").c_str(), true);
  EXPECT_NE(bitmap, nullptr);
  delete bitmap;
  // Both files are real PNGs, so only the name check can refuse them.
  EXPECT_EQ(LoadPngIfNamed(folder.File("picture.png.txt").c_str(), true), nullptr);
  EXPECT_EQ(LoadPngIfNamed(folder.File("back.png\\slash").c_str(), true), nullptr);
  EXPECT_EQ(LoadPngIfNamed("png", true), nullptr);
  EXPECT_EQ(LoadPngIfNamed(nullptr, true), nullptr);
  bitmap = LoadPngIfNamed(folder.File("picture.png.txt").c_str(), false);
  EXPECT_NE(bitmap, nullptr);
  delete bitmap;
}
