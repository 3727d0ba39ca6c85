// The views' scale factor for high-density screens: the decision from the host's factor, GDK_SCALE
// and Xft.dpi, window to editor coordinates, the 2 x 2 pixel blocks of the image, and the factor
// the Linux graphics object reports before its view opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "graphics/IGraphicsView.h"
#include "graphics/LICE_Bitmap.h"
#include "tests/graphics/GraphicsTestSupport.h"
#include "tests/support/ScopedEnv.h"

namespace
{
const double kNaN = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();

TEST(ViewScale, WholeFactorOfAnyNumber)
{
  const struct
  {
    double in;
    int out;
  } cases[] = {
      {kNaN, 0}, {-kInf, 0}, {-1.0, 0}, {0.0, 0}, {1e-9, 1}, {0.5, 1},   {1.0, 1},
      {1.49, 1}, {1.5, 2},   {2.0, 2},  {2.6, 2}, {3.0, 2},  {1e300, 2}, {kInf, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(WholeViewScale(c.in), c.out) << c.in;
}

TEST(ViewScale, GdkScaleIsAWholeNumber)
{
  const std::string huge(400, '9');
  const struct
  {
    const char* in;
    int out;
  } cases[] = {
      {nullptr, 0}, {"", 0},           {" ", 0},   {"1", 1},  {"2", 2},   {" 2\t", 2}, {"02", 2},
      {"3", 2},     {huge.c_str(), 2}, {"abc", 0}, {"0", 0},  {"00", 0},  {"-1", 0},   {"-2", 0},
      {"2.6", 0},   {"2.0", 0},        {"+2", 0},  {"2x", 0}, {"0x2", 0}, {"1 2", 0},  {"2\n", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ViewScaleFromGdkScale(c.in), c.out) << (c.in ? c.in : "null");
}

TEST(ViewScale, XftDpiFromTheResourceManagerString)
{
  const std::string huge = "Xft.dpi:\t" + std::string(400, '9') + "\n";
  const struct
  {
    const char* in;
    double dpi;
  } cases[] = {
      {nullptr, 0.0},
      {"", 0.0},
      {"Xft.dpi:\t192\n", 192.0},
      {"Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n", 144.0},
      {"Xft.dpi:\t96.5", 96.5}, // the last line without a newline
      {"  Xft.dpi  :  120  \r\n", 120.0},
      {"Xft.dpi:\t120\nXft.dpi:\t192\n", 192.0}, // the last line counts
      {"Xft.dpi:\t192\nXft.dpi:\tabc\n", 0.0},   // ... a bad one too
      {"Xft.dpi:\tabc\n", 0.0},
      {"Xft.dpi:\t-192\n", 0.0},
      {"Xft.dpi:\t0\n", 0.0},
      {"Xft.dpi:\t1e3\n", 0.0},
      {"Xft.dpi:\t96,5\n", 0.0}, // no locale's decimal comma
      {"Xft.dpi:\t192dpi\n", 0.0},
      {"Xft.dpi:\t.\n", 0.0},
      {"Xft.dpi:\n", 0.0},
      {"Xft.dpi\t192\n", 0.0}, // no colon
      {"Xft.dpix:\t192\n", 0.0},
      {"XXft.dpi:\t192\n", 0.0},
      {"*dpi:\t192\n", 0.0},
      {"Xft.dpi:\t192:5\n", 0.0},
      {"\n\n:\n::\nXft.dpi:\t144", 144.0},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(XftDpiFromResources(c.in), c.dpi) << (c.in ? c.in : "null");
  // Any length: digits past a double's range read as infinity, which is the largest factor.
  EXPECT_EQ(ViewScaleFromDpi(XftDpiFromResources(huge.c_str())), 2);
}

TEST(ViewScale, DpiToFactor)
{
  const struct
  {
    double dpi;
    int out;
  } cases[] = {{kNaN, 0},  {-96.0, 0}, {0.0, 0},   {1.0, 1},   {96.0, 1},
               {143.9, 1}, {144.0, 2}, {192.0, 2}, {288.0, 2}, {kInf, 2}};
  for (const auto& c : cases) EXPECT_EQ(ViewScaleFromDpi(c.dpi), c.out) << c.dpi;
}

TEST(ViewScale, FirstSourceThatGivesAFactorWins)
{
  const char* const dpi96 = "Xft.dpi:\t96\n";
  const char* const dpi192 = "Xft.antialias:\t1\nXft.dpi:\t192\n";
  const struct
  {
    const char* name;
    double host;
    const char* gdk;
    const char* resources;
    int factor;
    EViewScaleSource source;
  } cases[] = {
      {"nothing", 0.0, nullptr, nullptr, 1, kViewScaleDefault},
      {"host 2 over all", 2.0, "1", dpi96, 2, kViewScaleHost},
      {"host 1 over all", 1.0, "2", dpi192, 1, kViewScaleHost},
      {"host 1.25", 1.25, nullptr, nullptr, 1, kViewScaleHost},
      {"host 1.75", 1.75, nullptr, nullptr, 2, kViewScaleHost},
      {"host huge", 1e30, nullptr, nullptr, 2, kViewScaleHost},
      {"host NaN", kNaN, "2", nullptr, 2, kViewScaleGdkScale},
      {"host negative", -1.0, "2", nullptr, 2, kViewScaleGdkScale},
      {"GDK_SCALE over Xft.dpi", 0.0, "1", dpi192, 1, kViewScaleGdkScale},
      {"GDK_SCALE huge", 0.0, "99999999999", nullptr, 2, kViewScaleGdkScale},
      {"GDK_SCALE abc", 0.0, "abc", dpi192, 2, kViewScaleXftDpi},
      {"GDK_SCALE 0", 0.0, "0", dpi192, 2, kViewScaleXftDpi},
      {"GDK_SCALE -1", 0.0, "-1", dpi96, 1, kViewScaleXftDpi},
      {"GDK_SCALE 2.6", 0.0, "2.6", nullptr, 1, kViewScaleDefault},
      {"Xft.dpi garbage", 0.0, nullptr, "Xft.dpi:\tgarbage\n", 1, kViewScaleDefault},
      {"Xft.dpi 144", 0.0, nullptr, "Xft.dpi:\t144\n", 2, kViewScaleXftDpi},
  };
  for (const auto& c : cases)
  {
    const IViewScale scale = ChooseViewScale(c.host, c.gdk, c.resources);
    EXPECT_EQ(scale.mFactor, c.factor) << c.name;
    EXPECT_EQ(scale.mSource, c.source) << c.name;
  }
}

TEST(ViewScale, WindowCoordinatesToTheEditor)
{
  const struct
  {
    int v, scale, out;
  } cases[] = {
      {0, 2, 0},
      {1, 2, 0},
      {2, 2, 1},
      {1503, 2, 751},
      {-1, 2, -1},
      {-2, 2, -1},
      {-3, 2, -2},
      {5, 1, 5},
      {-5, 1, -5},
      {INT_MAX, 2, INT_MAX / 2},
      {INT_MIN, 2, INT_MIN / 2},
  };
  for (const auto& c : cases) EXPECT_EQ(WindowToEditor(c.v, c.scale), c.out) << c.v;
  // Every window pixel lies in the block of its editor pixel.
  for (int v = -9; v <= 9; ++v)
  {
    const int e = WindowToEditor(v, 2);
    EXPECT_TRUE(2 * e <= v && v < 2 * e + 2) << v;
  }
  EXPECT_EQ(EditorToWindow(IRECT(1, 2, 3, 4), 2), IRECT(2, 4, 6, 8));
  EXPECT_EQ(EditorToWindow(IRECT(1, 2, 3, 4), 1), IRECT(1, 2, 3, 4));
}

// Bitmaps with padded rows and random pixels, converted at scale 1 and 2 into images with padded
// rows: every window pixel is its editor pixel's colour and nothing past the rows is written.
// Widths of whole groups of four pixels and with the rest of a group (the SSE2 path and the
// pixel-by-pixel one).
TEST(ViewScale, ImagePixelsAreBlocksOfTheBitmapPixels)
{
  constexpr int kH = 5;
  constexpr unsigned char kUntouched = 0xab;
  std::mt19937 rng(5);
  for (int width : {1, 3, 4, 7, 8, 13})
  {
    const int span = width + 2; // padding in the bitmap too
    std::vector<unsigned char> bitmap(static_cast<size_t>(span) * kH * 4);
    for (unsigned char& b : bitmap) b = static_cast<unsigned char>(rng());
    auto expected = [&](int x, int y, uint32_t opaque) -> uint32_t
    {
      const unsigned char* p = &bitmap[(static_cast<size_t>(y) * span + x) * 4];
      return (uint32_t(p[LICE_PIXEL_R]) << 16 | uint32_t(p[LICE_PIXEL_G]) << 8 | p[LICE_PIXEL_B]) |
             opaque;
    };
    for (int scale : {1, 2})
      for (bool aligned : {false, true})
      {
        const uint32_t opaque = aligned ? 0xff000000u : 0u;
        SCOPED_TRACE("width " + std::to_string(width) + ", scale " + std::to_string(scale) +
                     (aligned ? ", rows on 16-byte boundaries, opaque bits" : ", rows anywhere"));
        // Rows that start on 16-byte boundaries take the streamed stores at scale 2.
        const int bytesPerLine =
            aligned ? (width * scale * 4 + 12 + 15) / 16 * 16 : width * scale * 4 + 12;
        // One more row than the picture needs: it must stay untouched.
        const size_t bytes = static_cast<size_t>(bytesPerLine) * (kH * scale + 1);
        std::unique_ptr<unsigned char, void (*)(void*)> buffer(
            static_cast<unsigned char*>(aligned_alloc(64, (bytes + 63) / 64 * 64 + 64)), free);
        unsigned char* image = buffer.get() + (aligned ? 0 : 4);
        std::fill(image, image + bytes, kUntouched);
        ExpandBitmapToXrgb(bitmap.data(), span, width, kH, scale, opaque, image, bytesPerLine);
        auto mismatches = [&]
        {
          int n = 0;
          for (int y = 0; y < kH * scale + 1; ++y)
            for (int byte = 0; byte < bytesPerLine; ++byte)
            {
              const unsigned char got = image[static_cast<size_t>(y) * bytesPerLine + byte];
              if (y >= kH * scale || byte >= width * scale * 4)
              {
                n += got != kUntouched;
                continue;
              }
              const uint32_t word = expected(byte / 4 / scale, y / scale, opaque);
              n += got != static_cast<unsigned char>(word >> (8 * (byte % 4))); // little-endian
            }
          return n;
        };
        EXPECT_EQ(mismatches(), 0);
        // The comparison sees a single wrong byte (a check that can fail).
        image[static_cast<size_t>(bytesPerLine) * (kH * scale - 1) + 1] ^= 1;
        EXPECT_EQ(mismatches(), 1);
      }
  }
  // Scales outside 1..2 are the nearer of them.
  constexpr int kW = 7;
  std::vector<unsigned char> bitmap(kW * kH * 4);
  for (unsigned char& b : bitmap) b = static_cast<unsigned char>(rng());
  std::vector<unsigned char> one(kW * 4 * kH), zero(one.size());
  ExpandBitmapToXrgb(bitmap.data(), kW, kW, kH, 1, 0, one.data(), kW * 4);
  ExpandBitmapToXrgb(bitmap.data(), kW, kW, kH, 0, 0, zero.data(), kW * 4);
  EXPECT_EQ(zero, one);
  std::vector<unsigned char> two(kW * 2 * 4 * kH * 2), seven(two.size());
  ExpandBitmapToXrgb(bitmap.data(), kW, kW, kH, 2, 0, two.data(), kW * 2 * 4);
  ExpandBitmapToXrgb(bitmap.data(), kW, kW, kH, 7, 0, seven.data(), kW * 2 * 4);
  EXPECT_EQ(seven, two);
  // Nothing is written for an empty or missing picture.
  std::vector<unsigned char> untouched(64, kUntouched);
  ExpandBitmapToXrgb(nullptr, kW, kW, kH, 1, 0, untouched.data(), 16);
  ExpandBitmapToXrgb(bitmap.data(), kW, 0, kH, 2, 0, untouched.data(), 16);
  ExpandBitmapToXrgb(bitmap.data(), kW, kW, -1, 2, 0, untouched.data(), 16);
  EXPECT_EQ(untouched, std::vector<unsigned char>(64, kUntouched));
}

#ifdef TARVEX_HAVE_X11
// Before any view opens, the Linux graphics object decides its factor once per opening, so the
// size a host asks for is the size of the window that opens. No display here: the host's factor
// and GDK_SCALE decide without one.
TEST(ViewScale, GraphicsDecideOncePerOpeningAndFollowANewHostFactor)
{
  ScopedEnv noDisplay("DISPLAY", nullptr);
  ScopedEnv gdk("GDK_SCALE", "2");
  TestPlug plug;
  RecordingGraphics graphics(&plug, 752, 576, 60);
  EXPECT_EQ(graphics.HostScale(), 0.0);
  EXPECT_EQ(graphics.ViewScale(), 2);
  setenv("GDK_SCALE", "1", 1);
  EXPECT_EQ(graphics.ViewScale(), 2); // decided for the next opening
  graphics.CloseView();               // a close forgets it
  EXPECT_EQ(graphics.ViewScale(), 1);
  graphics.SetHostScale(2.0); // a new host factor is decided afresh, before GDK_SCALE
  EXPECT_EQ(graphics.ViewScale(), 2);
  graphics.SetHostScale(1.0);
  setenv("GDK_SCALE", "2", 1);
  EXPECT_EQ(graphics.ViewScale(), 1);
  for (double none : {0.0, -3.0, kNaN}) // none given: GDK_SCALE again
  {
    graphics.SetHostScale(none);
    EXPECT_EQ(graphics.HostScale(), 0.0) << none;
    EXPECT_EQ(graphics.ViewScale(), 2) << none;
  }
  // No source at all, and no display for Xft.dpi: 1, and nothing is settled yet.
  unsetenv("GDK_SCALE");
  graphics.CloseView();
  EXPECT_EQ(graphics.ViewScale(), 1);
  setenv("GDK_SCALE", "2", 1);
  EXPECT_EQ(graphics.ViewScale(), 2);
}
#endif
} // namespace
