// The pixel walk behind DrawLineAA, exposed so that other blends (and tests) can reuse it.
//
// SweepLineAA visits every pixel of the band around the segment P0-P1 once, in swept parallel
// lines, and hands each pixel inside the buffer with its coverage in Q15 (0 .. 32768) to `visit(x,
// y, cov)`. Needs the edge and Gauss tables built. Editor thread; no allocation.
#pragma once

#include "editor/Raster.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace raster_detail
{

// Softness beyond this (pixels) spreads a line over more than any editor buffer; such lines draw
// nothing.
constexpr double kMaxLineSoftness = 4096.0;

// 2.36 * sqrt(2): how far the swept band reaches past the segment's ends, in softness units.
constexpr double kLineEndReach = 3.3375440072005045;

// Same as EdgeCoverageQ15, inlined into the per-pixel loop.
inline int32_t EdgeQ15(double x)
{
  if (x > gEdgeTable.range || x != x) return 32768;
  if (x < -gEdgeTable.range) return 0;
  return gEdgeTable.valuesQ15[static_cast<int32_t>(x * gEdgeTable.scale + gEdgeTable.offset)];
}

inline int32_t GaussCoverageQ15(double d)
{
  if (!(d <= gGaussTable.range)) return 0; // also NaN
  return gGaussTable.valuesQ15[static_cast<int32_t>(d * gGaussTable.scale + gGaussTable.offset)];
}

inline double GaussCoverage(double d)
{
  if (!(d <= gGaussTable.range)) return 0.0;
  return gGaussTable.values[static_cast<int32_t>(d * gGaussTable.scale + gGaussTable.offset)];
}

inline int32_t SignOf(int32_t v)
{
  return (v > 0) - (v < 0);
}

// Cuts the segment (ax, ay)-(bx, by) to the rectangle [lo, hiX] x [lo, hiY] (Liang-Barsky). Returns
// false when nothing of it is inside.
inline bool ClipSegment(double* ax, double* ay, double* bx, double* by, double lo, double hiX,
                        double hiY)
{
  const double dx = *bx - *ax, dy = *by - *ay;
  double t0 = 0.0, t1 = 1.0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {*ax - lo, hiX - *ax, *ay - lo, hiY - *ay};
  for (int i = 0; i < 4; ++i)
  {
    if (p[i] == 0.0)
    {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0.0)
    {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    }
    else
    {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
  }
  const double sx = *ax, sy = *ay;
  *ax = sx + t0 * dx;
  *ay = sy + t0 * dy;
  *bx = sx + t1 * dx;
  *by = sy + t1 * dy;
  return true;
}

template <typename Visit>
void SweepLineAA(int32_t width, int32_t height, double x0, double y0, double x1, double y1,
                 double softness, Visit&& visit)
{
  if (width <= 0 || height <= 0) return;
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  if (!(softness > 0.0) || softness > kMaxLineSoftness) return;
  const double dx = x1 - x0, dy = y1 - y0;
  const double lengthSquared = dx * dx + dy * dy;
  const double length = std::sqrt(lengthSquared);
  if (!(length > 0.0) || !std::isfinite(length)) return;

  const double f = softness;
  const double ux = dx / length, uy = dy / length;
  const double e = kLineEndReach * f;
  const double side = gEdgeTable.range * f;

  // The sweep follows the segment itself unless an end lies far outside the buffer; then only the
  // part within reach of the buffer is swept (coverage still comes from the whole segment).
  double ax = x0, ay = y0, bx = x1, by = y1;
  const double margin = e + side + 4.0;
  const double lo = -margin, hiX = width - 1 + margin, hiY = height - 1 + margin;
  const bool inside = ax >= lo && ax <= hiX && ay >= lo && ay <= hiY && bx >= lo && bx <= hiX &&
                      by >= lo && by <= hiY;
  if (!inside && !ClipSegment(&ax, &ay, &bx, &by, lo, hiX, hiY)) return;

  const double sx = ax - e * ux, sy = ay - e * uy; // extended start S
  const double ex = bx + e * ux, ey = by + e * uy; // extended end E

  // Dominant direction: the last test that holds wins.
  const bool right = dx >= std::fabs(dy);
  const bool down = dy >= std::fabs(dx);
  const bool left = -dx >= std::fabs(dy);
  const bool up = -dy >= std::fabs(dx);
  int32_t stepX = 0, stepY = 1;
  double gx = sx, gy = sy - 1.0;
  if (down) stepX = -1, stepY = 0, gx = sx + 1.0, gy = sy;
  if (left) stepX = 0, stepY = -1, gx = sx, gy = sy + 1.0;
  if (up) stepX = 1, stepY = 0, gx = sx - 1.0, gy = sy;

  // First swept line: where the left boundary of the band meets the line through S and G.
  const double ox = side * uy, oy = -side * ux;
  double wx = 0.0, wy = 0.0;
  IntersectLines(ax + ox, ay + oy, bx + ox, by + oy, sx, sy, gx, gy, &wx, &wy);
  const double w2x = wx + (ex - sx), w2y = wy + (ey - sy);
  const double mirrorX = 2.0 * sx - wx, mirrorY = 2.0 * sy - wy;

  int32_t startCol, startRow, endCol, endRow, count;
  const bool rowStep = stepY != 0;
  if (stepX + stepY > 0)
  {
    startCol = static_cast<int32_t>(std::floor(wx));
    startRow = static_cast<int32_t>(std::floor(wy));
    endCol = static_cast<int32_t>(std::floor(w2x));
    endRow = static_cast<int32_t>(std::floor(w2y));
    const int32_t far = static_cast<int32_t>(std::ceil(rowStep ? mirrorY : mirrorX));
    count = far - (rowStep ? startRow : startCol);
  }
  else
  {
    startCol = static_cast<int32_t>(std::ceil(wx));
    startRow = static_cast<int32_t>(std::ceil(wy));
    endCol = static_cast<int32_t>(std::ceil(w2x));
    endRow = static_cast<int32_t>(std::ceil(w2y));
    const int32_t far = static_cast<int32_t>(std::floor(rowStep ? mirrorY : mirrorX));
    count = (rowStep ? startRow : startCol) - far;
  }

  // Keep the dominant axis dominant after rounding.
  if (right)
  {
    const int32_t dc = endCol - startCol, dr = endRow - startRow;
    if (dc < std::abs(dr)) endRow = startRow + std::abs(dc) * SignOf(dr);
  }
  if (down)
  {
    const int32_t dc = endCol - startCol, dr = endRow - startRow;
    if (dr < std::abs(dc)) endCol = startCol + std::abs(dr) * SignOf(dc);
  }
  if (left)
  {
    const int32_t dc = endCol - startCol, dr = endRow - startRow;
    if (-dc < std::abs(dr)) endRow = startRow + std::abs(dc) * SignOf(dr);
  }
  if (up)
  {
    const int32_t dc = endCol - startCol, dr = endRow - startRow;
    if (-dr < std::abs(dc)) endCol = startCol + std::abs(dr) * SignOf(dc);
  }

  const double inverseLengthSquared = 1.0 / lengthSquared;
  const double inverseSoftness = 1.0 / f;
  const double farSquared = side * side * (1.0 + 1e-9) + 1e-12;
  const int32_t lines = std::abs(count) + 1;
  const int32_t runX = std::abs(endCol - startCol), runY = -std::abs(endRow - startRow);
  const int32_t dirX = startCol < endCol ? 1 : -1, dirY = startRow < endRow ? 1 : -1;
  for (int32_t line = 0; line < lines; ++line)
  {
    int32_t x = startCol + line * stepX, y = startRow + line * stepY;
    const int32_t lastX = endCol + line * stepX, lastY = endRow + line * stepY;
    int32_t err = runX + runY;
    for (;;)
    {
      if (x >= 0 && x < width && y >= 0 && y < height)
      {
        // Pixels past either soft end or beyond the Gaussian's reach get 0 without the remaining
        // lookups; the margin on the distance test keeps that exactly equal to the full
        // computation.
        const double px = x, py = y;
        const double t = ((px - x0) * dx + (py - y0) * dy) * inverseLengthSquared;
        const double along = t * length;
        const double qx = x0 + t * dx - px, qy = y0 + t * dy - py;
        const double distanceSquared = qx * qx + qy * qy;
        int32_t cov = 0;
        if (distanceSquared <= farSquared)
        {
          const int32_t a = EdgeQ15(along * inverseSoftness);
          const int32_t b = a ? EdgeQ15((length - along) * inverseSoftness) : 0;
          if (b)
          {
            const int32_t g = GaussCoverageQ15(std::sqrt(distanceSquared) * inverseSoftness);
            cov = (((a * b) >> 15) * g) >> 15;
          }
        }
        visit(x, y, cov);
      }
      if (x == lastX && y == lastY) break;
      const int32_t e2 = 2 * err;
      if (e2 > runY)
      {
        x += dirX;
        err += runY;
      }
      if (e2 < runX)
      {
        y += dirY;
        err += runX;
      }
    }
  }
}

} // namespace raster_detail
