// Tables, geometry, anti-aliased lines, discs and rings.
#include "editor/Raster.h"
#include "editor/RasterLineSweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace
{

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Buffer
{
  int32_t width, height;
  std::vector<uint8_t> bytes;
  Buffer(int32_t w, int32_t h, uint8_t grey = 0, uint8_t alpha = 0x5A)
      : width(w), height(h), bytes(static_cast<size_t>(w) * h * 4, grey)
  {
    for (size_t i = 0; i < bytes.size(); i += 4) bytes[i] = alpha;
  }
  uint8_t* data() { return bytes.data(); }
  uint8_t at(int32_t x, int32_t y, int c = 1) const
  {
    return bytes[(static_cast<size_t>(y) * width + x) * 4 + c];
  }
};

class RasterTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    BuildEdgeTable();
    BuildGaussTable();
  }
};

// Exact coverage of the soft segment at a point, from the definitions rather than the tables.
double ReferenceLineCoverage(double x0, double y0, double x1, double y1, double f, double px,
                             double py)
{
  const double dx = x1 - x0, dy = y1 - y0, l = std::hypot(dx, dy);
  const double t = ((px - x0) * dx + (py - y0) * dy) / (l * l);
  const double a = 0.5 + 0.5 * std::erf(t * l / f);
  const double b = 0.5 + 0.5 * std::erf((l - t * l) / f);
  const double d = std::hypot(x0 + t * dx - px, y0 + t * dy - py) / f;
  return a * b * std::exp(-d * d);
}

// Largest difference between an added white line and 255 x the exact coverage, over the whole
// buffer.
int MaxLineError(const Buffer& b, double x0, double y0, double x1, double y1, double f)
{
  int worst = 0;
  for (int32_t y = 0; y < b.height; ++y)
    for (int32_t x = 0; x < b.width; ++x)
    {
      const double expected = 255.0 * ReferenceLineCoverage(x0, y0, x1, y1, f, x, y);
      worst = std::max(worst, static_cast<int>(std::ceil(std::fabs(b.at(x, y) - expected))));
    }
  return worst;
}

std::vector<int> CountVisits(int32_t w, int32_t h, double x0, double y0, double x1, double y1,
                             double f)
{
  std::vector<int> visits(static_cast<size_t>(w) * h, 0);
  raster_detail::SweepLineAA(w, h, x0, y0, x1, y1, f,
                             [&](int32_t x, int32_t y, int32_t)
                             { ++visits[static_cast<size_t>(y) * w + x]; });
  return visits;
}

} // namespace

TEST_F(RasterTest, TablesFollowErfAndGaussian)
{
  // Abramowitz-Stegun 7.1.26 promises an absolute error below 1.5e-7.
  for (double x = -4.0; x <= 4.0; x += 0.01)
    EXPECT_NEAR(ApproximateErf(x), std::erf(x), 1.5e-7) << x;
  EXPECT_NEAR(EdgeCoverage(0.0), 0.5, 1e-8);
  EXPECT_EQ(EdgeCoverage(0.0), gEdgeTable.values[256]);
  EXPECT_EQ(EdgeCoverageQ15(0.0), 16384);
  EXPECT_EQ(EdgeCoverage(3.0), 1.0);
  EXPECT_EQ(EdgeCoverage(-3.0), 0.0);
  EXPECT_EQ(EdgeCoverage(kNaN), 1.0);
  EXPECT_EQ(EdgeCoverageQ15(3.0), 32768);
  EXPECT_EQ(EdgeCoverageQ15(-3.0), 0);
  EXPECT_EQ(EdgeCoverageQ15(kNaN), 32768);
  // The ends of the range stay inside the table.
  EXPECT_NEAR(EdgeCoverage(2.36), 1.0, 1e-3);
  EXPECT_NEAR(EdgeCoverage(-2.36), 0.0, 1e-3);
  EXPECT_EQ(gGaussTable.valuesQ15[0], 32768);
  EXPECT_NEAR(gGaussTable.values[256], std::exp(-2.36 * 2.36), 1e-15);
  // Q15 entries are the rounded doubles.
  for (int i = 0; i <= 512; ++i)
    EXPECT_EQ(gEdgeTable.valuesQ15[i], static_cast<int32_t>(gEdgeTable.values[i] * 32768.0 + 0.5));
  // Building again changes nothing.
  const double before = gEdgeTable.values[300];
  BuildEdgeTable();
  BuildGaussTable();
  EXPECT_EQ(gEdgeTable.values[300], before);
}

TEST_F(RasterTest, Geometry)
{
  EXPECT_DOUBLE_EQ(DistanceToLine(0, 0, 10, 0, 5, 3), 3.0);
  EXPECT_DOUBLE_EQ(DistanceToLine(0, 0, 1, 1, 1, 0), std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(DistanceToLine(0, 0, 0, 10, -4, 50), 4.0); // beyond the points: infinite line
  double x = 0, y = 0;
  IntersectLines(0, 0, 10, 10, 0, 10, 10, 0, &x, &y);
  EXPECT_DOUBLE_EQ(x, 5.0);
  EXPECT_DOUBLE_EQ(y, 5.0);
  IntersectLines(1, 2, 5, 2, 3, -7, 3, 9, &x, &y);
  EXPECT_DOUBLE_EQ(x, 3.0);
  EXPECT_DOUBLE_EQ(y, 2.0);
}

TEST_F(RasterTest, HorizontalLineProfile)
{
  Buffer b(120, 24);
  DrawLineAA(b.data(), b.width, b.height, 10, 10, 100, 10, 1.0, kWhite, kLineAdd);
  for (int32_t x = 13; x <= 97; ++x)
  {
    EXPECT_EQ(b.at(x, 10), 255) << x;
    // Table entry nearest distance 1 is 1.0004 softness units; quantisation costs at most 2 levels.
    EXPECT_NEAR(b.at(x, 9), 255 * std::exp(-1.0), 2) << x;
    EXPECT_NEAR(b.at(x, 11), 255 * std::exp(-1.0), 2) << x;
    EXPECT_NEAR(b.at(x, 8), 255 * std::exp(-4.0), 1) << x;
    EXPECT_NEAR(b.at(x, 12), 255 * std::exp(-4.0), 1) << x;
  }
  // Soft ends: half coverage at the end points.
  EXPECT_NEAR(b.at(10, 10), 127, 1);
  EXPECT_NEAR(b.at(100, 10), 127, 1);
  // Nothing beyond 2.36 softness units across, or beyond the end reach along.
  for (int32_t y = 0; y < b.height; ++y)
    for (int32_t x = 0; x < b.width; ++x)
      if (y <= 7 || y >= 13 || x <= 7 || x >= 103)

      {

        EXPECT_EQ(b.at(x, y), 0) << x << "," << y;
      }
  // All three colour channels, never the alpha byte.
  EXPECT_EQ(b.at(50, 10, 2), 255);
  EXPECT_EQ(b.at(50, 10, 3), 255);
  EXPECT_EQ(b.at(50, 10, 0), 0x5A);
}

TEST_F(RasterTest, LinesMatchExactCoverageInEveryDirection)
{
  // Table steps of 2.36/256 softness units move coverage by under 0.6 % (edge) and 0.8 %
  // (Gaussian); with the Q15 truncations that stays within 3 levels of 255.
  const double lines[][5] = {
      {10, 10, 100, 10, 1.0},          {100, 12, 10, 12, 1.0},
      {30.5, 5, 30.5, 70, 1.0},        {31, 70, 31, 5, 1.5},
      {10, 10, 60, 60, 1.0},           {60, 60, 10, 10, 1.0},
      {60, 10, 10, 60, 1.0},           {10, 60, 60, 10, 1.0},
      {20.3, 15.7, 80.1, 40.9, 1.0},   {80.1, 40.9, 20.3, 15.7, 2.0},
      {40.2, 5.5, 52.7, 70.1, 0.7},    {52.7, 70.1, 40.2, 5.5, 1.0},
      {15.5, 60.25, 90.75, 22.5, 1.2}, {50, 40, 50.4, 40.3, 1.0},
  };
  for (const auto& l : lines)
  {
    Buffer b(110, 80);
    DrawLineAA(b.data(), b.width, b.height, l[0], l[1], l[2], l[3], l[4], kWhite, kLineAdd);
    EXPECT_LE(MaxLineError(b, l[0], l[1], l[2], l[3], l[4]), 3)
        << l[0] << "," << l[1] << " - " << l[2] << "," << l[3] << " f " << l[4];
  }
}

TEST_F(RasterTest, SweptBandVisitsEachPixelOnceAndCoversTheLine)
{
  const double lines[][5] = {
      {10, 10, 100, 10, 1.0},       {10, 10, 60, 60, 1.0},         {60, 60, 10, 10, 1.0},
      {60, 10, 10, 60, 1.0},        {10, 60, 60, 10, 1.0},         {20.3, 15.7, 80.1, 40.9, 1.0},
      {40.2, 5.5, 52.7, 70.1, 0.7}, {90.1, 70.2, 12.6, 64.3, 3.0}, {33.3, 70.1, 37.9, 2.2, 2.0},
      {-20, -30, 130, 95, 1.0},     {50, 40, 50.4, 40.3, 1.0},
  };
  const int32_t w = 110, h = 80;
  for (const auto& l : lines)
  {
    const std::vector<int> visits = CountVisits(w, h, l[0], l[1], l[2], l[3], l[4]);
    int missed = 0, doubled = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
      {
        const int v = visits[static_cast<size_t>(y) * w + x];
        if (v > 1) ++doubled;
        // Anything worth one level of 255 must be in the band.
        if (v == 0 && ReferenceLineCoverage(l[0], l[1], l[2], l[3], l[4], x, y) > 1.0 / 255)
          ++missed;
      }
    EXPECT_EQ(doubled, 0) << l[0] << "," << l[1] << " - " << l[2] << "," << l[3];
    EXPECT_EQ(missed, 0) << l[0] << "," << l[1] << " - " << l[2] << "," << l[3];
  }
}

TEST_F(RasterTest, LineModes)
{
  // Subtract darkens a white buffer by the same amounts add brightens a black one.
  Buffer added(120, 24, 0), subtracted(120, 24, 255);
  DrawLineAA(added.data(), 120, 24, 10, 10, 100, 10, 1.0, kWhite, kLineAdd);
  DrawLineAA(subtracted.data(), 120, 24, 10, 10, 100, 10, 1.0, kWhite, kLineSubtract);
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 120; ++x) ASSERT_EQ(subtracted.at(x, y), 255 - added.at(x, y));
  EXPECT_EQ(subtracted.at(50, 10), 0);

  // Add saturates instead of wrapping.
  Buffer grey(120, 24, 200);
  DrawLineAA(grey.data(), 120, 24, 10, 10, 100, 10, 1.0, kWhite, kLineAdd);
  EXPECT_EQ(grey.at(50, 10), 255);
  EXPECT_EQ(grey.at(50, 9), 255);

  // Blend: full coverage replaces, partial mixes with the formula in Q15.
  Buffer blend(120, 24, 100);
  const uint32_t colour = 0x00C04020; // alpha 0x20, red 0x40, green 0xC0, blue 0x00
  DrawLineAA(blend.data(), 120, 24, 10, 10, 100, 10, 1.0, colour, kLineBlend);
  EXPECT_EQ(blend.at(50, 10, 1), 0x40);
  EXPECT_EQ(blend.at(50, 10, 2), 0xC0);
  EXPECT_EQ(blend.at(50, 10, 3), 0x00);
  const int32_t cov = gGaussTable.valuesQ15[static_cast<int32_t>(1.0 * gGaussTable.scale + 0.5)];
  EXPECT_EQ(blend.at(50, 9, 1), (0x40 * cov + 100 * (32768 - cov)) >> 15);

  // Blend with alpha: alpha 0 changes nothing, alpha 255 is plain blend.
  Buffer none(120, 24, 100), full(120, 24, 100);
  DrawLineAA(none.data(), 120, 24, 10, 10, 100, 10, 1.0, 0x00FFFF00 | 0x00, kLineBlendAlpha);
  EXPECT_EQ(none.bytes, Buffer(120, 24, 100).bytes);
  DrawLineAA(full.data(), 120, 24, 10, 10, 100, 10, 1.0, colour | 0xFF, kLineBlendAlpha);
  EXPECT_EQ(full.bytes, blend.bytes);

  // Half alpha: the coverage is scaled by 16448/32768 before blending.
  Buffer half(120, 24, 0);
  DrawLineAA(half.data(), 120, 24, 10, 10, 100, 10, 1.0, 0xFFFFFF80, kLineBlendAlpha);
  EXPECT_EQ(half.at(50, 10), (255 * ((16448 * 32768) >> 15)) >> 15);

  // Unknown modes draw nothing.
  Buffer other(120, 24, 100);
  DrawLineAA(other.data(), 120, 24, 10, 10, 100, 10, 1.0, kWhite, 4);
  DrawLineAA(other.data(), 120, 24, 10, 10, 100, 10, 1.0, kWhite, -1);
  EXPECT_EQ(other.bytes, Buffer(120, 24, 100).bytes);
}

TEST_F(RasterTest, DegenerateAndOutsideLinesChangeNothing)
{
  const Buffer clean(64, 48, 30);
  Buffer b(64, 48, 30);
  DrawLineAA(b.data(), 64, 48, 20, 20, 20, 20, 1.0, kWhite, kLineAdd);       // zero length
  DrawLineAA(b.data(), 64, 48, kNaN, 20, 30, 20, 1.0, kWhite, kLineAdd);     // not a number
  DrawLineAA(b.data(), 64, 48, 20, 20, 30, HUGE_VAL, 1.0, kWhite, kLineAdd); // infinite
  DrawLineAA(b.data(), 64, 48, 100, 10, 200, 30, 1.0, kWhite, kLineAdd);     // right of the buffer
  DrawLineAA(b.data(), 64, 48, -50, -10, -5, -40, 1.0, kWhite, kLineAdd);    // above and left
  DrawLineAA(b.data(), 64, 48, 10, 60, 50, 70, 1.0, kWhite, kLineAdd);       // below
  DrawLineAA(b.data(), 64, 48, 10, 10, 50, 30, 0.0, kWhite, kLineAdd);       // no softness
  DrawLineAA(b.data(), 64, 48, 10, 10, 50, 30, -1.0, kWhite, kLineAdd);      // negative softness
  DrawLineAA(b.data(), 64, 48, 10, 10, 50, 30, kNaN, kWhite, kLineAdd);
  DrawLineAA(b.data(), 64, 48, 10, 10, 50, 30, 1e9, kWhite, kLineAdd); // absurd softness
  DrawLineAA(nullptr, 64, 48, 10, 10, 50, 30, 1.0, kWhite, kLineAdd);
  DrawLineAA(b.data(), 0, 48, 10, 10, 50, 30, 1.0, kWhite, kLineAdd);
  DrawLineAA(b.data(), 64, -3, 10, 10, 50, 30, 1.0, kWhite, kLineAdd);
  EXPECT_EQ(b.bytes, clean.bytes);
}

TEST_F(RasterTest, LinesCrossingTheBorderDrawTheirVisiblePart)
{
  // A wider buffer with the same line, shifted, holds the expected pixels of the cut one.
  const double lines[][4] = {
      {-30, 10, 40, 25}, {30, -20, 50, 60}, {10, 40, 90, 20}, {-10, -10, 90, 60}};
  for (const auto& l : lines)
  {
    Buffer small(64, 48), big(64 + 100, 48 + 100);
    DrawLineAA(small.data(), 64, 48, l[0], l[1], l[2], l[3], 1.0, kWhite, kLineAdd);
    DrawLineAA(big.data(), 164, 148, l[0] + 50, l[1] + 50, l[2] + 50, l[3] + 50, 1.0, kWhite,
               kLineAdd);
    int differences = 0, lit = 0;
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x)
      {
        // Shifting by whole pixels keeps every coverage; only rounding of the integer band can
        // differ.
        if (std::abs(small.at(x, y) - big.at(x + 50, y + 50)) > 1) ++differences;
        if (small.at(x, y) > 200) ++lit;
      }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(lit, 10);
  }
}

TEST_F(RasterTest, FarAwayEndsAreCutWithoutChangingCoverage)
{
  // Ends a billion pixels away: only the part near the buffer is walked, with the same coverage.
  Buffer b(64, 48);
  DrawLineAA(b.data(), 64, 48, -1e9, 20, 1e9, 20, 1.0, kWhite, kLineAdd);
  for (int32_t x = 0; x < 64; ++x)
  {
    EXPECT_EQ(b.at(x, 20), 255);
    EXPECT_NEAR(b.at(x, 21), 255 * std::exp(-1.0), 2);
    EXPECT_EQ(b.at(x, 25), 0);
  }
  Buffer d(64, 48);
  DrawLineAA(d.data(), 64, 48, -3e8, -2e8, 3e8 + 30, 2e8 + 30, 1.0, kWhite, kLineAdd);
  EXPECT_LE(MaxLineError(d, -3e8, -2e8, 3e8 + 30, 2e8 + 30, 1.0), 3);
}

TEST_F(RasterTest, LineSpans)
{
  const Buffer clean(120, 40);
  Buffer b(120, 40);
  DrawLineSpanAA(b.data(), 120, 40, 10, 20, 110, 20, 0.5, 0.5, 1.0, kWhite, kLineAdd);
  DrawLineSpanAA(b.data(), 120, 40, 10, 20, 110, 20, 0.7, 0.2, 1.0, kWhite, kLineAdd);
  DrawLineSpanAA(b.data(), 120, 40, 10, 20, 110, 20, kNaN, 0.2, 1.0, kWhite, kLineAdd);
  EXPECT_EQ(b.bytes, clean.bytes);

  Buffer whole(120, 40), span(120, 40);
  DrawLineAA(whole.data(), 120, 40, 10.3, 20.1, 110.2, 33.7, 1.0, kWhite, kLineAdd);
  DrawLineSpanAA(span.data(), 120, 40, 10.3, 20.1, 110.2, 33.7, 0.0, 1.0, 1.0, kWhite, kLineAdd);
  EXPECT_EQ(whole.bytes, span.bytes);

  // A middle span has soft ends of its own, at the span's ends.
  Buffer middle(120, 40), direct(120, 40);
  DrawLineSpanAA(middle.data(), 120, 40, 10, 20, 110, 20, 0.25, 0.75, 1.0, kWhite, kLineAdd);
  DrawLineAA(direct.data(), 120, 40, 35, 20, 85, 20, 1.0, kWhite, kLineAdd);
  EXPECT_EQ(middle.bytes, direct.bytes);
  EXPECT_NEAR(middle.at(35, 20), 127, 1);
  EXPECT_EQ(middle.at(30, 20), 0);
}

TEST_F(RasterTest, DiscProfileCoreAndReach)
{
  // Radius 5.8, softness 1: full core inside 3.44, nothing beyond 8.16.
  Buffer b(41, 41, 0);
  DrawDiscAA(b.data(), 41, 41, 20, 20, 5.8, 1.0, 0xFFFFFF7F);
  for (int32_t y = 0; y < 41; ++y)
    for (int32_t x = 0; x < 41; ++x)
    {
      const double r = std::hypot(x - 20.0, y - 20.0);
      const int v = b.at(x, y);
      if (r < 3.44)

      {

        EXPECT_EQ(v, 255) << x << "," << y;
      }
      if (r >= 8.16)
      {
        EXPECT_EQ(v, 0) << x << "," << y;
      }
      // Exact edge coverage; table step 2.36/256 moves it by under 0.6 %, i.e. 2 levels.
      const double c = r < 3.44 ? 1.0 : 0.5 + 0.5 * std::erf(5.8 - r);
      EXPECT_NEAR(v, 255 * c, 2) << x << "," << y;
      EXPECT_EQ(b.at(x, y, 0), 0x5A);
    }
  // On the rim exactly: half coverage over the old value.
  Buffer rim(41, 41, 100);
  DrawDiscAA(rim.data(), 41, 41, 20, 20, 6, 1.0, 0xFF0000C8); // red 0, green 0, blue 255
  EXPECT_EQ(rim.at(26, 20, 1), static_cast<int>(100 * (1 - EdgeCoverage(0))));
  EXPECT_EQ(rim.at(26, 20, 3),
            static_cast<int>(255 * EdgeCoverage(0) + 100 * (1 - EdgeCoverage(0))));

  // A disc smaller than 2.36 softness units has no fully covered pixel.
  Buffer tiny(21, 21, 0);
  DrawDiscAA(tiny.data(), 21, 21, 10, 10, 2.0, 1.0, kWhite);
  EXPECT_LT(tiny.at(10, 10), 255);
  EXPECT_GT(tiny.at(10, 10), 200);
}

TEST_F(RasterTest, DiscClippedAndAbsurd)
{
  // A disc over the corner draws the part inside, as the same disc in a wider buffer would.
  Buffer small(30, 30), big(90, 90);
  DrawDiscAA(small.data(), 30, 30, 2, 27, 10, 1.0, kWhite);
  DrawDiscAA(big.data(), 90, 90, 32, 57, 10, 1.0, kWhite);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 30; ++x) ASSERT_EQ(small.at(x, y), big.at(x + 30, y + 30));
  const Buffer clean(30, 30);
  Buffer b(30, 30);
  DrawDiscAA(b.data(), 30, 30, 1e300, 10, 5, 1, kWhite);
  DrawDiscAA(b.data(), 30, 30, kNaN, 10, 5, 1, kWhite);
  DrawDiscAA(b.data(), 30, 30, 10, 10, kNaN, 1, kWhite);
  DrawDiscAA(b.data(), 30, 30, -100, -100, 5, 1, kWhite);
  DrawDiscAA(nullptr, 30, 30, 10, 10, 5, 1, kWhite);
  EXPECT_EQ(b.bytes, clean.bytes);
  // A radius far larger than the buffer fills it.
  DrawDiscAA(b.data(), 30, 30, 10, 10, 1e12, 1, kWhite);
  EXPECT_EQ(b.at(0, 0), 255);
  EXPECT_EQ(b.at(29, 29), 255);
}

TEST_F(RasterTest, RingProfileAndUntouchedCentre)
{
  Buffer b(41, 41, 77);
  DrawRingAA(b.data(), 41, 41, 20, 20, 5, 1.0, kWhite, kLineBlend);
  for (int32_t y = 0; y < 41; ++y)
    for (int32_t x = 0; x < 41; ++x)
    {
      const double r = std::hypot(x - 20.0, y - 20.0);
      const int v = b.at(x, y);
      if (r <= 2.64 || r >= 7.36)
      {
        EXPECT_EQ(v, 77) << x << "," << y;
        continue;
      }
      // Gaussian table step moves the weight by under 0.8 %: 2 levels of the 178 between 77 and
      // 255.
      const double g = std::exp(-(r - 5) * (r - 5));
      EXPECT_NEAR(v, 255 * g + 77 * (1 - g), 2) << x << "," << y;
    }
  EXPECT_EQ(b.at(25, 20), 255); // strongest at radius 5
  EXPECT_EQ(b.at(20, 20), 77);

  // Thin ring around its own centre pixel: the centre is skipped, the neighbours are drawn.
  Buffer c(9, 9, 10);
  DrawRingAA(c.data(), 9, 9, 4, 4, 1.0, 1.0, kWhite, kLineBlend);
  EXPECT_EQ(c.at(4, 4), 10);
  EXPECT_EQ(c.at(5, 4), 255);

  // Mode 3 weighs by alpha; modes other than 2 and 3 draw nothing.
  Buffer half(41, 41, 0);
  DrawRingAA(half.data(), 41, 41, 20, 20, 5, 1.0, 0xFFFFFF00 | 0x80, kLineBlendAlpha);
  EXPECT_EQ(half.at(25, 20), static_cast<int>(255 * (128 * 0.00392156862745098)));
  Buffer none(41, 41, 0);
  DrawRingAA(none.data(), 41, 41, 20, 20, 5, 1.0, kWhite, kLineAdd);
  DrawRingAA(none.data(), 41, 41, 20, 20, 5, 1.0, kWhite, kLineSubtract);
  DrawRingAA(none.data(), 41, 41, 20, 20, 5, 0.0, kWhite, kLineBlend);
  DrawRingAA(none.data(), 41, 41, 20, 20, 5, -2.0, kWhite, kLineBlend);
  DrawRingAA(none.data(), 41, 41, 20, 20, kNaN, 1.0, kWhite, kLineBlend);
  EXPECT_EQ(none.bytes, Buffer(41, 41, 0).bytes);
}

TEST_F(RasterTest, CoverageOfEveryVisitedPixelFollowsTheFullFormula)
{
  // The walk skips work for pixels it can prove get 0; each must still equal the full Q15 formula.
  const double lines[][5] = {{10, 10, 100, 10, 1.0},       {20.3, 15.7, 80.1, 40.9, 1.0},
                             {40.2, 5.5, 52.7, 70.1, 0.7}, {90.1, 70.2, 12.6, 64.3, 3.0},
                             {50, 40, 50.4, 40.3, 1.0},    {33.25, 12.5, 33.25, 60.5, 0.5}};
  for (const auto& l : lines)
  {
    const double x0 = l[0], y0 = l[1], x1 = l[2], y1 = l[3], f = l[4];
    const double dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
    int mismatches = 0, lit = 0;
    raster_detail::SweepLineAA(
        110, 80, x0, y0, x1, y1, f,
        [&](int32_t x, int32_t y, int32_t cov)
        {
          const double t = ((x - x0) * dx + (y - y0) * dy) / (len * len);
          const int32_t a = EdgeCoverageQ15(t * len / f);
          const int32_t b = EdgeCoverageQ15((len - t * len) / f);
          const double qx = x0 + t * dx - x, qy = y0 + t * dy - y;
          const double d = std::sqrt(qx * qx + qy * qy) / f;
          const int32_t g =
              d > 2.36 ? 0
                       : gGaussTable.valuesQ15[static_cast<int32_t>(d * 108.47457627118645 + 0.5)];
          const int32_t want = (((a * b) >> 15) * g) >> 15;
          if (std::abs(cov - want) > 0) ++mismatches;
          if (cov > 0) ++lit;
        });
    EXPECT_EQ(mismatches, 0) << x0 << "," << y0 << " - " << x1 << "," << y1;
    EXPECT_GT(lit, 0);
  }
}
