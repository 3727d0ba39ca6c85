// Image blits: placement, clipping on every side, row spans, copy, alpha blend, additive and
// tinted.
#include "editor/Raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

struct Pixels
{
  int32_t width, height, rowSpan;
  std::vector<uint8_t> bytes;
  Pixels(int32_t w, int32_t h, int32_t span = 0)
      : width(w), height(h), rowSpan(span ? span : w),
        bytes(static_cast<size_t>(rowSpan) * h * 4, 0)
  {
  }
  uint8_t* px(int32_t x, int32_t y) { return &bytes[(static_cast<size_t>(y) * rowSpan + x) * 4]; }
  const uint8_t* px(int32_t x, int32_t y) const
  {
    return &bytes[(static_cast<size_t>(y) * rowSpan + x) * 4];
  }
  RasterCanvas canvas() { return RasterCanvas{bytes.data(), width, height}; }
};

// Every pixel of the image tells its position: red = x, green = y, blue = 200, alpha as given.
Pixels PositionImage(int32_t w, int32_t h, uint8_t alpha = 255, int32_t span = 0)
{
  Pixels image(w, h, span);
  for (size_t i = 0; i < image.bytes.size(); i += 4) image.bytes[i + 1] = 0xEE; // padding marker
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
    {
      uint8_t* p = image.px(x, y);
      p[0] = alpha;
      p[1] = static_cast<uint8_t>(x);
      p[2] = static_cast<uint8_t>(y);
      p[3] = 200;
    }
  return image;
}

// Bounding box of canvas pixels whose blue byte is set.
struct Box
{
  int32_t l = 1 << 30, t = 1 << 30, r = -1, b = -1;
};
Box Drawn(const Pixels& c)
{
  Box box;
  for (int32_t y = 0; y < c.height; ++y)
    for (int32_t x = 0; x < c.width; ++x)
      if (c.px(x, y)[3] != 0)
      {
        box.l = std::min(box.l, x);
        box.t = std::min(box.t, y);
        box.r = std::max(box.r, x);
        box.b = std::max(box.b, y);
      }
  return box;
}

} // namespace

TEST(BlitTest, CentredKnobLandsOnItsSlot)
{
  Pixels canvas(752, 576);
  const Pixels knob = PositionImage(50, 50);
  BlitImage(canvas.canvas(), knob.bytes.data(), 50, 50, 50, 584, 76, 0);
  const Box box = Drawn(canvas);
  EXPECT_EQ(box.l, 559);
  EXPECT_EQ(box.r, 608);
  EXPECT_EQ(box.t, 51);
  EXPECT_EQ(box.b, 100);
  EXPECT_EQ(canvas.px(559, 51)[1], 0);
  EXPECT_EQ(canvas.px(608, 100)[2], 49);
  // Odd sizes: the centre rounds the half size down (shift).
  Pixels odd(20, 20);
  const Pixels five = PositionImage(5, 3);
  BlitImage(odd.canvas(), five.bytes.data(), 5, 3, 5, 10, 10, 0);
  const Box oddBox = Drawn(odd);
  EXPECT_EQ(oddBox.l, 8);
  EXPECT_EQ(oddBox.t, 9);
}

TEST(BlitTest, ClippedOnEverySide)
{
  const Pixels image = PositionImage(10, 8);
  struct Case
  {
    int32_t x, y;
  };
  // Top-left corner placements hanging over left/top, right/bottom, and each side alone.
  const Case cases[] = {{-3, -2}, {15, 12}, {-9, 4}, {5, -7}, {19, 4}, {5, 15}, {-4, -5}};
  for (const Case& c : cases)
  {
    Pixels canvas(20, 16);
    BlitImage(canvas.canvas(), image.bytes.data(), 10, 8, 10, c.x, c.y, kBlitTopLeft);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 20; ++x)
      {
        const int32_t ix = x - c.x, iy = y - c.y;
        const bool inside = ix >= 0 && ix < 10 && iy >= 0 && iy < 8;
        const uint8_t* p = canvas.px(x, y);
        if (inside)
        {
          ASSERT_EQ(p[1], ix) << c.x << "," << c.y;
          ASSERT_EQ(p[2], iy);
          ASSERT_EQ(p[0], 255); // plain copy takes all four bytes
        }
        else
        {
          ASSERT_EQ(p[3], 0) << c.x << "," << c.y << " at " << x << "," << y;
        }
      }
  }
  // Entirely outside, or absurd placements, change nothing.
  Pixels canvas(20, 16);
  const std::vector<uint8_t> clean = canvas.bytes;
  const Case outside[] = {{20, 0}, {-10, 0},       {0, 16},
                          {0, -8}, {INT32_MAX, 0}, {INT32_MIN, INT32_MIN}};
  for (const Case& c : outside)
    BlitImage(canvas.canvas(), image.bytes.data(), 10, 8, 10, c.x, c.y, kBlitTopLeft);
  BlitImage(canvas.canvas(), image.bytes.data(), 10, 8, 10, INT32_MAX, INT32_MAX, 0);
  EXPECT_EQ(canvas.bytes, clean);
}

TEST(BlitTest, StepsByTheImageRowSpan)
{
  // Width 10 padded to 13 pixels a row: the padding (red 0xEE) never reaches the canvas.
  const Pixels padded = PositionImage(10, 6, 255, 13);
  Pixels canvas(16, 10);
  BlitImage(canvas.canvas(), padded.bytes.data(), 10, 6, 13, 3, 2, kBlitTopLeft);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 10; ++x)
    {
      ASSERT_EQ(canvas.px(x + 3, y + 2)[1], x);
      ASSERT_EQ(canvas.px(x + 3, y + 2)[2], y);
    }
  EXPECT_EQ(canvas.px(13, 2)[1], 0);
  // Frame 2 of a strip of 4 frames of height 3.
  const Pixels strip = PositionImage(4, 12, 255, 5);
  Pixels frame(8, 8);
  BlitImage(frame.canvas(), strip.bytes.data() + 2 * 3 * strip.rowSpan * 4, 4, 3, 5, 0, 0,
            kBlitTopLeft);
  EXPECT_EQ(frame.px(0, 0)[2], 6);
  EXPECT_EQ(frame.px(3, 2)[2], 8);
  EXPECT_EQ(frame.px(0, 3)[3], 0);
}

TEST(BlitTest, AlphaBlendFormula)
{
  Pixels image(4, 1);
  const uint8_t alphas[4] = {0, 128, 255, 1};
  for (int32_t x = 0; x < 4; ++x)
  {
    uint8_t* p = image.px(x, 0);
    p[0] = alphas[x];
    p[1] = 240;
    p[2] = 10;
    p[3] = 130;
  }
  Pixels canvas(4, 1);
  for (int32_t x = 0; x < 4; ++x)
  {
    uint8_t* p = canvas.px(x, 0);
    p[0] = 7;
    p[1] = 20;
    p[2] = 250;
    p[3] = 60;
  }
  BlitImage(canvas.canvas(), image.bytes.data(), 4, 1, 4, 0, 0, kBlitTopLeft | kBlitAlphaBlend);
  const uint8_t* clear = canvas.px(0, 0);
  EXPECT_EQ(clear[0], 7);
  EXPECT_EQ(clear[1], 20);
  const uint8_t* half = canvas.px(1, 0);
  EXPECT_EQ(half[1], ((240 * 128 + 20 * 127) * 258) >> 16);
  EXPECT_EQ(half[2], ((10 * 128 + 250 * 127) * 258) >> 16);
  EXPECT_EQ(half[3], ((130 * 128 + 60 * 127) * 258) >> 16);
  EXPECT_EQ(half[0], 7); // blending leaves the canvas alpha
  const uint8_t* opaque = canvas.px(2, 0);
  EXPECT_EQ(opaque[0], 255);
  EXPECT_EQ(opaque[1], 240);
  EXPECT_EQ(opaque[3], 130);
  const uint8_t* faint = canvas.px(3, 0);
  EXPECT_EQ(faint[2], ((10 * 1 + 250 * 254) * 258) >> 16);
}

TEST(BlitTest, AdditiveSaturates)
{
  Pixels image(2, 1), canvas(2, 1);
  image.px(0, 0)[1] = 100;
  image.px(0, 0)[2] = 200;
  image.px(0, 0)[3] = 0;
  image.px(1, 0)[0] = 0; // alpha is ignored when adding
  image.px(1, 0)[1] = 5;
  canvas.px(0, 0)[1] = 100;
  canvas.px(0, 0)[2] = 100;
  canvas.px(0, 0)[3] = 9;
  canvas.px(1, 0)[0] = 33;
  BlitImage(canvas.canvas(), image.bytes.data(), 2, 1, 2, 0, 0, kBlitTopLeft | kBlitAdditive);
  EXPECT_EQ(canvas.px(0, 0)[1], 200);
  EXPECT_EQ(canvas.px(0, 0)[2], 255);
  EXPECT_EQ(canvas.px(0, 0)[3], 9);
  EXPECT_EQ(canvas.px(1, 0)[1], 5);
  EXPECT_EQ(canvas.px(1, 0)[0], 33);
  // Additive wins over alpha blend when both are asked for.
  BlitImage(canvas.canvas(), image.bytes.data(), 2, 1, 2, 0, 0,
            kBlitTopLeft | kBlitAdditive | kBlitAlphaBlend);
  EXPECT_EQ(canvas.px(1, 0)[1], 10);
}

TEST(BlitTest, AddTinted)
{
  Pixels image(1, 1), canvas(1, 1);
  image.px(0, 0)[1] = 255;
  image.px(0, 0)[2] = 128;
  image.px(0, 0)[3] = 255;
  canvas.px(0, 0)[3] = 250;
  const uint32_t colour = (192u << 8) | (240u << 16) | (255u << 24);
  // Alpha-blend flag is not looked at; the position is the centre without flag 2.
  BlitImageAddTinted(canvas.canvas(), image.bytes.data(), 1, 1, 1, 0, 0, kBlitAlphaBlend, colour,
                     0.3);
  const int32_t kr = static_cast<int32_t>(192 * 0.3 * 257.00392156862745 + 0.5);
  const int32_t kg = static_cast<int32_t>(240 * 0.3 * 257.00392156862745 + 0.5);
  EXPECT_EQ(canvas.px(0, 0)[1], (255 * kr) >> 16);
  EXPECT_EQ(canvas.px(0, 0)[2], (128 * kg) >> 16);
  EXPECT_EQ(canvas.px(0, 0)[3], 255); // saturated
  // Full intensity of a white image adds the colour itself; beyond 1 is held at 1, below 0 adds
  // nothing.
  Pixels white(1, 1), a(1, 1), b(1, 1), c(1, 1);
  for (int i = 1; i < 4; ++i) white.bytes[i] = 255;
  BlitImageAddTinted(a.canvas(), white.bytes.data(), 1, 1, 1, 0, 0, 0, colour, 1.0);
  EXPECT_EQ(a.px(0, 0)[1], 192);
  EXPECT_EQ(a.px(0, 0)[2], 240);
  BlitImageAddTinted(b.canvas(), white.bytes.data(), 1, 1, 1, 0, 0, 0, colour, 1e12);
  EXPECT_EQ(b.bytes, a.bytes);
  c.px(0, 0)[1] = 50;
  BlitImageAddTinted(c.canvas(), white.bytes.data(), 1, 1, 1, 0, 0, 0, colour, -0.5);
  BlitImageAddTinted(c.canvas(), white.bytes.data(), 1, 1, 1, 0, 0, 0, colour, std::nan(""));
  EXPECT_EQ(c.px(0, 0)[1], 50);
}

TEST(BlitTest, UnusableArgumentsDrawNothing)
{
  Pixels canvas(8, 8);
  const std::vector<uint8_t> clean = canvas.bytes;
  const Pixels image = PositionImage(4, 4);
  BlitImage(canvas.canvas(), nullptr, 4, 4, 4, 0, 0, 0);
  BlitImage(canvas.canvas(), image.bytes.data(), 0, 4, 4, 0, 0, 0);
  BlitImage(canvas.canvas(), image.bytes.data(), 4, -4, 4, 0, 0, 0);
  BlitImage(canvas.canvas(), image.bytes.data(), 4, 4, 3, 0, 0, 0); // row span below width
  BlitImage(RasterCanvas{nullptr, 8, 8}, image.bytes.data(), 4, 4, 4, 0, 0, 0);
  BlitImage(RasterCanvas{canvas.bytes.data(), 0, 8}, image.bytes.data(), 4, 4, 4, 0, 0, 0);
  BlitImageAddTinted(canvas.canvas(), nullptr, 4, 4, 4, 0, 0, 0, 0xFFFFFFFF, 1.0);
  EXPECT_EQ(canvas.bytes, clean);
}

TEST(BlitTest, AlphaBlendOfMixedRunsMatchesPerPixelFormula)
{
  // Runs of clear, opaque and partial pixels in every order, against the formula pixel by pixel.
  Pixels image(37, 9, 40), canvas(45, 14);
  uint32_t seed = 12345;
  auto next = [&]
  {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 37; ++x)
    {
      uint8_t* p = image.px(x, y);
      const int kind = ((x / 3) + y) % 4;
      p[0] = kind == 0 ? 0 : kind == 1 ? 255 : next();
      p[1] = next();
      p[2] = next();
      p[3] = next();
    }
  for (uint8_t& b : canvas.bytes) b = next();
  Pixels expected = canvas;
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 37; ++x)
    {
      const int32_t cx = x - 5, cy = y + 4; // placed at (-5, 4): cut on the left
      if (cx < 0) continue;
      const uint8_t* s = image.px(x, y);
      uint8_t* d = expected.px(cx, cy);
      const int a = s[0];
      if (a == 0) continue;
      if (a == 255)
      {
        for (int c = 0; c < 4; ++c) d[c] = s[c];
        continue;
      }
      for (int c = 1; c < 4; ++c)
        d[c] = static_cast<uint8_t>(((s[c] * a + d[c] * (255 - a)) * 258) >> 16);
    }
  BlitImage(canvas.canvas(), image.bytes.data(), 37, 9, 40, -5, 4, kBlitAlphaBlend | kBlitTopLeft);
  EXPECT_EQ(canvas.bytes, expected.bytes);
}
