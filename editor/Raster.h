// Raster drawing primitives of the editor: anti-aliased lines, discs, rings and image blits written
// straight into 32-bit pixel memory.
//
// Pixels: four bytes each, byte 0 alpha, 1 red, 2 green, 3 blue, rows top to bottom. The line, disc
// and ring primitives take a buffer whose rows are exactly `width` pixels apart; images handed to
// the blits carry their own row span (in pixels), so pictures of any width are addressed correctly.
// Colours: a 32-bit value laid out like a pixel, A + R*2^8 + G*2^16 + B*2^24.
// Coordinates: doubles in pixels; the centre of pixel (x, y) is the point (x, y), y downwards.
//
// Threads: editor thread only. The two tables are process-wide and must be built (BuildEdgeTable,
// then BuildGaussTable) before anything is drawn; after that the primitives keep no state and never
// allocate.
#pragma once

#include <cstdint>

// Soft-edge coverage 0.5 + 0.5 erf(x) sampled over [-2.36, 2.36] softness units.
struct EdgeTable
{
  bool initialised;
  int32_t count;       // 513
  double range;        // 2.36
  double inverseRange; // 1 / 2.36
  double scale;        // 256 / 2.36, entries per softness unit
  double offset;       // 256.5: centre entry plus rounding
  double values[513];
  int32_t valuesQ15[513]; // 32768 = 1.0
};

// Gaussian exp(-a^2) sampled over [0, 2.36]; 257 entries, the last at a = 2.36.
struct GaussTable
{
  bool initialised;
  int32_t count;       // 256
  double range;        // 2.36
  double inverseRange; // 1 / 2.36
  double scale;        // 256 / 2.36
  double offset;       // 0.5: rounding
  double values[257];
  int32_t valuesQ15[257];
};

extern EdgeTable gEdgeTable;
extern GaussTable gGaussTable;

// Drawing target of the blits. Rows are `width` pixels apart. Not owned.
struct RasterCanvas
{
  uint8_t* pixels;
  int32_t width;
  int32_t height;
};

enum LineMode
{
  kLineAdd = 0,
  kLineSubtract = 1,
  kLineBlend = 2,
  kLineBlendAlpha = 3, // blend weighted by the colour's alpha byte
};

enum BlitFlags
{
  kBlitAlphaBlend = 1,
  kBlitTopLeft = 2, // (x, y) is the image's top-left corner; otherwise its centre
  kBlitAdditive = 4,
};

// Fill the tables; each returns at once when already built. Editor thread, at editor creation.
void BuildEdgeTable();
void BuildGaussTable();

// Erf by Abramowitz and Stegun 7.1.26 (absolute error below 1.5e-7).
double ApproximateErf(double x);

// Coverage of a soft edge at signed distance x in softness units, positive inside: 0 .. 1 or 0 ..
// 32768. A NaN distance counts as fully inside.
double EdgeCoverage(double x);
int32_t EdgeCoverageQ15(double x);

// Distance of p from the infinite line through a and b (a != b).
double DistanceToLine(double ax, double ay, double bx, double by, double px, double py);

// Intersection of the infinite line through 1 and 2 with the one through 3 and 4 (lines not
// parallel).
void IntersectLines(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                    double y4, double* x, double* y);

// Segment P0-P1 with a Gaussian cross-section of width `softness` and soft ends; each pixel of the
// band around it is visited once. A zero-length segment, a non-finite coordinate or a softness that
// is not positive draws nothing; so does any `mode` outside LineMode.
void DrawLineAA(uint8_t* pixels, int32_t width, int32_t height, double x0, double y0, double x1,
                double y1, double softness, uint32_t colour, int32_t mode);

// The part of P0-P1 between the parameters t0 < t1 (0 at P0, 1 at P1), with its own soft ends.
void DrawLineSpanAA(uint8_t* pixels, int32_t width, int32_t height, double x0, double y0, double x1,
                    double y1, double t0, double t1, double softness, uint32_t colour,
                    int32_t mode);

// Filled circle, opaque at its core, rim a soft edge of `softness`. The colour's alpha is ignored.
void DrawDiscAA(uint8_t* pixels, int32_t width, int32_t height, double cx, double cy, double radius,
                double softness, uint32_t colour);

// Circle outline with a Gaussian cross-section of width `thickness`. Modes kLineBlend and
// kLineBlendAlpha only; others draw nothing.
void DrawRingAA(uint8_t* pixels, int32_t width, int32_t height, double cx, double cy, double radius,
                double thickness, uint32_t colour, int32_t mode);

// Copies, alpha-blends or adds an image into the canvas (BlitFlags), clipped to the canvas. The
// image's rows are `imageRowSpan` pixels apart (>= imageWidth). A frame k of height h of a vertical
// strip is the image starting at row k * h with height h.
void BlitImage(const RasterCanvas& canvas, const uint8_t* image, int32_t imageWidth,
               int32_t imageHeight, int32_t imageRowSpan, int32_t x, int32_t y, int32_t flags);

// Adds the image tinted by `colour` (alpha ignored) and scaled by `intensity` (0 .. 1) to the
// canvas. Only kBlitTopLeft of `flags` is looked at.
void BlitImageAddTinted(const RasterCanvas& canvas, const uint8_t* image, int32_t imageWidth,
                        int32_t imageHeight, int32_t imageRowSpan, int32_t x, int32_t y,
                        int32_t flags, uint32_t colour, double intensity);
