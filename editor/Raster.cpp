#include "editor/Raster.h"

#include "editor/RasterLineSweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>

EdgeTable gEdgeTable;
GaussTable gGaussTable;

namespace
{

constexpr double kTableRange = 2.36;
constexpr double kTableScale = 108.47457627118645; // 256 / 2.36
constexpr double kOneOver255 = 0.00392156862745098;
constexpr double kAlphaToQ15 = 128.50196078431372; // 32768 / 255
constexpr double kByteToQ16 = 257.00392156862745;  // 65536 / 255

int32_t ToQ15(double v)
{
  return static_cast<int32_t>(v * 32768.0 + 0.5);
}

inline uint8_t Channel(uint32_t colour, int channel)
{
  return (colour >> (8 * channel)) & 0xFF;
}

// Pixel range [first, last] covered by [lo, hi] in a row or column of `limit` pixels. False when
// empty (or when a bound is not a number).
bool PixelRange(double lo, double hi, int32_t limit, int32_t* first, int32_t* last)
{
  lo = std::ceil(lo);
  hi = std::floor(hi);
  if (!(lo <= hi) || hi < 0.0 || lo > limit - 1.0) return false;
  *first = lo < 0.0 ? 0 : static_cast<int32_t>(lo);
  *last = hi > limit - 1.0 ? limit - 1 : static_cast<int32_t>(hi);
  return true;
}

// Visible part of an image placed at (x, y): image columns [col0, col1), rows [row0, row1), and the
// canvas position of image pixel (0, 0). False when nothing is visible or the arguments are
// unusable.
struct BlitWindow
{
  int32_t left, top, col0, col1, row0, row1;
};

bool PlaceBlit(const RasterCanvas& canvas, const uint8_t* image, int32_t imageWidth,
               int32_t imageHeight, int32_t imageRowSpan, int32_t x, int32_t y, int32_t flags,
               BlitWindow* w)
{
  if (!canvas.pixels || canvas.width <= 0 || canvas.height <= 0) return false;
  if (!image || imageWidth <= 0 || imageHeight <= 0 || imageRowSpan < imageWidth) return false;
  const int64_t left = (flags & kBlitTopLeft) ? int64_t{x} : int64_t{x} - (imageWidth >> 1);
  const int64_t top = (flags & kBlitTopLeft) ? int64_t{y} : int64_t{y} - (imageHeight >> 1);
  const int64_t col0 = std::max<int64_t>(0, -left);
  const int64_t col1 = left + imageWidth >= canvas.width ? canvas.width - left : imageWidth;
  const int64_t row0 = std::max<int64_t>(0, -top);
  const int64_t row1 = top + imageHeight >= canvas.height ? canvas.height - top : imageHeight;
  if (col0 >= col1 || row0 >= row1) return false;
  w->left = static_cast<int32_t>(left);
  w->top = static_cast<int32_t>(top);
  w->col0 = static_cast<int32_t>(col0);
  w->col1 = static_cast<int32_t>(col1);
  w->row0 = static_cast<int32_t>(row0);
  w->row1 = static_cast<int32_t>(row1);
  return true;
}

} // namespace

double ApproximateErf(double x)
{
  const double ax = std::fabs(x);
  const double t = 1.0 / (1.0 + 0.3275911 * ax);
  const double poly =
      ((((1.061405429 * t - 1.453152027) * t + 1.421413741) * t - 0.284496736) * t + 0.254829592) *
      t;
  const double y = 1.0 - poly * std::exp(-x * x);
  return x >= 0.0 ? y : -y;
}

void BuildEdgeTable()
{
  EdgeTable& table = gEdgeTable;
  if (table.initialised) return;
  table.count = 513;
  table.range = kTableRange;
  table.inverseRange = 1.0 / kTableRange;
  table.scale = kTableScale;
  table.offset = 256.5;
  for (int32_t i = 0; i <= 512; ++i)
  {
    const double x = (i - 256) * kTableRange / 256.0;
    const double v = 0.5 * ApproximateErf(x) + 0.5;
    table.values[i] = v;
    table.valuesQ15[i] = ToQ15(v);
  }
  table.initialised = true;
}

void BuildGaussTable()
{
  GaussTable& table = gGaussTable;
  if (table.initialised) return;
  table.count = 256;
  table.range = kTableRange;
  table.inverseRange = 1.0 / kTableRange;
  table.scale = kTableScale;
  table.offset = 0.5;
  for (int32_t i = 0; i <= 256; ++i)
  {
    const double a = i * kTableRange / 256.0;
    const double v = std::exp(-a * a);
    table.values[i] = v;
    table.valuesQ15[i] = ToQ15(v);
  }
  table.initialised = true;
}

double EdgeCoverage(double x)
{
  if (x > kTableRange || std::isnan(x)) return 1.0;
  if (x < -kTableRange) return 0.0;
  return gEdgeTable.values[static_cast<int32_t>(x * kTableScale + 256.5)];
}

int32_t EdgeCoverageQ15(double x)
{
  if (x > kTableRange || std::isnan(x)) return 32768;
  if (x < -kTableRange) return 0;
  return gEdgeTable.valuesQ15[static_cast<int32_t>(x * kTableScale + 256.5)];
}

double DistanceToLine(double ax, double ay, double bx, double by, double px, double py)
{
  const double dx = bx - ax, dy = by - ay;
  const double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  const double qx = ax + dx * t - px, qy = ay + dy * t - py;
  return std::sqrt(qx * qx + qy * qy);
}

void IntersectLines(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                    double y4, double* x, double* y)
{
  const double d = (x1 - x2) * (y3 - y4) + (x4 - x3) * (y1 - y2);
  const double p = x1 * y2 - y1 * x2;
  const double q = x4 * y3 - x3 * y4;
  *x = ((x3 - x4) * p + (x1 - x2) * q) / d;
  *y = (p * (y3 - y4) + q * (y1 - y2)) / d;
}

void DrawLineAA(uint8_t* pixels, int32_t width, int32_t height, double x0, double y0, double x1,
                double y1, double softness, uint32_t colour, int32_t mode)
{
  if (!pixels || mode < kLineAdd || mode > kLineBlendAlpha) return;
  const int32_t c1 = Channel(colour, 1), c2 = Channel(colour, 2), c3 = Channel(colour, 3);
  const int32_t alphaQ15 = static_cast<int32_t>(Channel(colour, 0) * kAlphaToQ15 + 0.5);
  const size_t stride = static_cast<size_t>(width) * 4;
  auto pixelAt = [&](int32_t x, int32_t y)
  { return pixels + y * stride + static_cast<size_t>(x) * 4; };
  switch (mode)
  {
  case kLineAdd:
    raster_detail::SweepLineAA(
        width, height, x0, y0, x1, y1, softness,
        [&](int32_t x, int32_t y, int32_t cov)
        {
          if (cov == 0) return;
          uint8_t* p = pixelAt(x, y);
          p[1] = static_cast<uint8_t>(std::min(p[1] + ((c1 * cov) >> 15), 255));
          p[2] = static_cast<uint8_t>(std::min(p[2] + ((c2 * cov) >> 15), 255));
          p[3] = static_cast<uint8_t>(std::min(p[3] + ((c3 * cov) >> 15), 255));
        });
    break;
  case kLineSubtract:
    raster_detail::SweepLineAA(
        width, height, x0, y0, x1, y1, softness,
        [&](int32_t x, int32_t y, int32_t cov)
        {
          if (cov == 0) return;
          uint8_t* p = pixelAt(x, y);
          p[1] = static_cast<uint8_t>(std::max(p[1] - ((c1 * cov) >> 15), 0));
          p[2] = static_cast<uint8_t>(std::max(p[2] - ((c2 * cov) >> 15), 0));
          p[3] = static_cast<uint8_t>(std::max(p[3] - ((c3 * cov) >> 15), 0));
        });
    break;
  default:
    raster_detail::SweepLineAA(width, height, x0, y0, x1, y1, softness,
                               [&](int32_t x, int32_t y, int32_t cov)
                               {
                                 if (mode == kLineBlendAlpha) cov = (alphaQ15 * cov) >> 15;
                                 if (cov == 0) return;
                                 uint8_t* p = pixelAt(x, y);
                                 const int32_t keep = 32768 - cov;
                                 p[1] = static_cast<uint8_t>((c1 * cov + p[1] * keep) >> 15);
                                 p[2] = static_cast<uint8_t>((c2 * cov + p[2] * keep) >> 15);
                                 p[3] = static_cast<uint8_t>((c3 * cov + p[3] * keep) >> 15);
                               });
    break;
  }
}

void DrawLineSpanAA(uint8_t* pixels, int32_t width, int32_t height, double x0, double y0, double x1,
                    double y1, double t0, double t1, double softness, uint32_t colour, int32_t mode)
{
  if (!(t0 < t1)) return;
  const double dx = x1 - x0, dy = y1 - y0;
  const double sx = t0 == 0.0 ? x0 : x0 + t0 * dx, sy = t0 == 0.0 ? y0 : y0 + t0 * dy;
  const double ex = t1 == 1.0 ? x1 : x0 + t1 * dx, ey = t1 == 1.0 ? y1 : y0 + t1 * dy;
  DrawLineAA(pixels, width, height, sx, sy, ex, ey, softness, colour, mode);
}

void DrawDiscAA(uint8_t* pixels, int32_t width, int32_t height, double cx, double cy, double radius,
                double softness, uint32_t colour)
{
  if (!pixels) return;
  const double m = kTableRange * softness;
  int32_t col0, col1, row0, row1;
  if (!PixelRange(cx - radius - m, cx + radius + m, width, &col0, &col1)) return;
  if (!PixelRange(cy - radius - m, cy + radius + m, height, &row0, &row1)) return;
  const double inner = std::max(radius - m, 0.0);
  const double inner2 = inner * inner, outer2 = (radius + m) * (radius + m);
  const double c1 = Channel(colour, 1), c2 = Channel(colour, 2), c3 = Channel(colour, 3);
  for (int32_t y = row0; y <= row1; ++y)
  {
    const double ry = y - cy;
    uint8_t* row = pixels + static_cast<size_t>(y) * width * 4;
    for (int32_t x = col0; x <= col1; ++x)
    {
      const double rx = x - cx;
      const double q = rx * rx + ry * ry;
      if (!(q < outer2)) continue;
      const double c = q < inner2 ? 1.0 : EdgeCoverage((radius - std::sqrt(q)) / softness);
      uint8_t* p = row + static_cast<size_t>(x) * 4;
      p[1] = static_cast<uint8_t>(c1 * c + p[1] * (1.0 - c));
      p[2] = static_cast<uint8_t>(c2 * c + p[2] * (1.0 - c));
      p[3] = static_cast<uint8_t>(c3 * c + p[3] * (1.0 - c));
    }
  }
}

void DrawRingAA(uint8_t* pixels, int32_t width, int32_t height, double cx, double cy, double radius,
                double thickness, uint32_t colour, int32_t mode)
{
  if (!pixels || (mode != kLineBlend && mode != kLineBlendAlpha)) return;
  const double m = kTableRange * thickness;
  int32_t col0, col1, row0, row1;
  if (!PixelRange(cx - radius - m, cx + radius + m, width, &col0, &col1)) return;
  if (!PixelRange(cy - radius - m, cy + radius + m, height, &row0, &row1)) return;
  const double inner = std::max(radius - m, 0.0), outer = radius + m;
  const double inner2 = inner * inner, outer2 = outer * outer;
  const double weight = mode == kLineBlendAlpha ? Channel(colour, 0) * kOneOver255 : 1.0;
  const double c1 = Channel(colour, 1), c2 = Channel(colour, 2), c3 = Channel(colour, 3);
  for (int32_t y = row0; y <= row1; ++y)
  {
    const double ry = y - cy;
    uint8_t* row = pixels + static_cast<size_t>(y) * width * 4;
    for (int32_t x = col0; x <= col1; ++x)
    {
      const double rx = x - cx;
      const double q = rx * rx + ry * ry;
      if (!(inner2 < q && q < outer2)) continue;
      const double g =
          raster_detail::GaussCoverage(std::fabs(radius - std::sqrt(q)) / thickness) * weight;
      uint8_t* p = row + static_cast<size_t>(x) * 4;
      p[1] = static_cast<uint8_t>(c1 * g + p[1] * (1.0 - g));
      p[2] = static_cast<uint8_t>(c2 * g + p[2] * (1.0 - g));
      p[3] = static_cast<uint8_t>(c3 * g + p[3] * (1.0 - g));
    }
  }
}

void BlitImage(const RasterCanvas& canvas, const uint8_t* image, int32_t imageWidth,
               int32_t imageHeight, int32_t imageRowSpan, int32_t x, int32_t y, int32_t flags)
{
  BlitWindow w;
  if (!PlaceBlit(canvas, image, imageWidth, imageHeight, imageRowSpan, x, y, flags, &w)) return;
  const size_t canvasStride = static_cast<size_t>(canvas.width) * 4;
  const size_t imageStride = static_cast<size_t>(imageRowSpan) * 4;
  const int32_t columns = w.col1 - w.col0;
  for (int32_t r = w.row0; r < w.row1; ++r)
  {
    const uint8_t* s = image + r * imageStride + static_cast<size_t>(w.col0) * 4;
    uint8_t* d = canvas.pixels + static_cast<size_t>(w.top + r) * canvasStride +
                 static_cast<size_t>(w.left + w.col0) * 4;
    if (flags & kBlitAdditive)
    {
      for (int32_t c = 0; c < columns; ++c, s += 4, d += 4)
      {
        d[1] = static_cast<uint8_t>(std::min(d[1] + s[1], 255));
        d[2] = static_cast<uint8_t>(std::min(d[2] + s[2], 255));
        d[3] = static_cast<uint8_t>(std::min(d[3] + s[3], 255));
      }
    }
    else if (flags & kBlitAlphaBlend)
    {
      // Pictures are mostly long runs of clear or opaque pixels: skip or copy those whole.
      int32_t c = 0;
      while (c < columns)
      {
        const int32_t a = s[c * 4];
        int32_t run = c + 1;
        if (a == 0 || a == 255)
        {
          while (run < columns && s[run * 4] == a) ++run;
          if (a == 255) std::memcpy(d + c * 4, s + c * 4, static_cast<size_t>(run - c) * 4);
          c = run;
          continue;
        }
        const uint8_t* sp = s + c * 4;
        uint8_t* dp = d + c * 4;
        dp[1] = static_cast<uint8_t>(((sp[1] * a + dp[1] * (255 - a)) * 258) >> 16);
        dp[2] = static_cast<uint8_t>(((sp[2] * a + dp[2] * (255 - a)) * 258) >> 16);
        dp[3] = static_cast<uint8_t>(((sp[3] * a + dp[3] * (255 - a)) * 258) >> 16);
        c = run;
      }
    }
    else
    {
      std::memcpy(d, s, static_cast<size_t>(columns) * 4);
    }
  }
}

void BlitImageAddTinted(const RasterCanvas& canvas, const uint8_t* image, int32_t imageWidth,
                        int32_t imageHeight, int32_t imageRowSpan, int32_t x, int32_t y,
                        int32_t flags, uint32_t colour, double intensity)
{
  BlitWindow w;
  if (!PlaceBlit(canvas, image, imageWidth, imageHeight, imageRowSpan, x, y, flags & kBlitTopLeft,
                 &w))
    return;
  // Outside 0 .. 1 the products below would leave the byte range (or overflow for absurd values).
  if (!(intensity > 0.0)) return;
  intensity = std::min(intensity, 1.0);
  const int32_t k1 = static_cast<int32_t>(Channel(colour, 1) * intensity * kByteToQ16 + 0.5);
  const int32_t k2 = static_cast<int32_t>(Channel(colour, 2) * intensity * kByteToQ16 + 0.5);
  const int32_t k3 = static_cast<int32_t>(Channel(colour, 3) * intensity * kByteToQ16 + 0.5);
  const size_t canvasStride = static_cast<size_t>(canvas.width) * 4;
  const size_t imageStride = static_cast<size_t>(imageRowSpan) * 4;
  const int32_t columns = w.col1 - w.col0;
  for (int32_t r = w.row0; r < w.row1; ++r)
  {
    const uint8_t* s = image + r * imageStride + static_cast<size_t>(w.col0) * 4;
    uint8_t* d = canvas.pixels + static_cast<size_t>(w.top + r) * canvasStride +
                 static_cast<size_t>(w.left + w.col0) * 4;
    for (int32_t c = 0; c < columns; ++c, s += 4, d += 4)
    {
      d[1] = static_cast<uint8_t>(std::min(d[1] + ((s[1] * k1) >> 16), 255));
      d[2] = static_cast<uint8_t>(std::min(d[2] + ((s[2] * k2) >> 16), 255));
      d[3] = static_cast<uint8_t>(std::min(d[3] + ((s[3] * k3) >> 16), 255));
    }
  }
}
