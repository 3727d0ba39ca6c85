// make-pictures: draws the editor's ten pictures (font sheets, knob strip, background, button,
// light) with FreeType and the editor's own raster primitives, and optionally a sample sheet that
// shows every primitive and font at work.
//
//   make-pictures --out DIR [--sample FILE.png]
//
// DIR receives font/font10.png ... font/font12_limits.png, black_knob.png, layoutfree.png,
// button.png and light.png. The output depends only on the DejaVu fonts, FreeType and libpng: the
// same installation gives the same bytes every time.
#include "editor/BitmapFont.h"
#include "editor/Raster.h"
#include "tools/pictures/PngWrite.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#ifndef TARVEX_FONT_DIR
#define TARVEX_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kWindowWidth = 752, kWindowHeight = 576;
constexpr int32_t kPlotLeft = 32, kPlotTop = 32, kPlotSize = 512;
constexpr int32_t kKnobSize = 50, kKnobFrames = 192;
constexpr int32_t kGlyphOriginX = 3; // left margin of every glyph cell, pixels

uint32_t Rgb(int r, int g, int b, int a = 255)
{
  return static_cast<uint32_t>(a) | static_cast<uint32_t>(r) << 8 | static_cast<uint32_t>(g) << 16 |
         static_cast<uint32_t>(b) << 24;
}

struct KnobSlot
{
  int32_t x, y;
  const char* label;
};

// Centres of the eleven knobs and the labels the background carries beneath them.
const KnobSlot kKnobSlots[] = {
    {584, 76, "Gain"},          {648, 76, "Freq"},         {712, 76, "Slope"},
    {584, 506, "Colour"},       {648, 506, "Colour Gain"}, {584, 162, "Transpose"},
    {648, 162, "Overall Gain"}, {712, 162, "Gain Scale"},  {584, 248, "Resolution"},
    {648, 248, "Input Buffer"}, {584, 334, "Limiter"},
};

// ---- FreeType text
// -------------------------------------------------------------------------------

struct Face
{
  FT_Face face = nullptr;
  int32_t ascent = 0;  // pixels above the baseline
  int32_t descent = 0; // pixels below it
};

bool OpenFace(FT_Library library, const char* file, int32_t pixelSize, Face* out)
{
  const std::string path = std::string(TARVEX_FONT_DIR) + "/" + file;
  if (FT_New_Face(library, path.c_str(), 0, &out->face) != 0)
  {
    std::fprintf(stderr, "make-pictures: cannot open font %s\n", path.c_str());
    return false;
  }
  if (FT_Set_Pixel_Sizes(out->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return false;
  out->ascent = static_cast<int32_t>((out->face->size->metrics.ascender + 63) >> 6);
  out->descent = static_cast<int32_t>((-out->face->size->metrics.descender + 63) >> 6);
  return true;
}

// Renders one character; false when the face has no glyph for it.
bool RenderGlyph(const Face& face, uint32_t code)
{
  if (code != ' ' && FT_Get_Char_Index(face.face, code) == 0) return false;
  return FT_Load_Char(face.face, code, FT_LOAD_RENDER) == 0;
}

int32_t GlyphAdvancePixels(const Face& face)
{
  return static_cast<int32_t>((face.face->glyph->advance.x + 32) >> 6);
}

int32_t MeasureFtText(const Face& face, const char* text)
{
  int32_t w = 0;
  for (const char* c = text; *c; ++c)
    if (RenderGlyph(face, static_cast<uint8_t>(*c))) w += GlyphAdvancePixels(face);
  return w;
}

// Draws Latin-1 text with its baseline at y, starting at x (align 0), centred on x (1) or ending at
// x (2).
void DrawFtText(Picture& picture, const Face& face, const char* text, int32_t x, int32_t baseline,
                uint32_t colour, int align)
{
  int32_t pen = x;
  if (align == 1) pen -= MeasureFtText(face, text) / 2;
  if (align == 2) pen -= MeasureFtText(face, text);
  const int32_t c[3] = {static_cast<int32_t>(colour >> 8 & 0xFF),
                        static_cast<int32_t>(colour >> 16 & 0xFF),
                        static_cast<int32_t>(colour >> 24 & 0xFF)};
  for (const char* ch = text; *ch; ++ch)
  {
    if (!RenderGlyph(face, static_cast<uint8_t>(*ch))) continue;
    const FT_GlyphSlot slot = face.face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    for (uint32_t j = 0; j < bitmap.rows; ++j)
      for (uint32_t i = 0; i < bitmap.width; ++i)
      {
        const int32_t px = pen + slot->bitmap_left + static_cast<int32_t>(i);
        const int32_t py = baseline - slot->bitmap_top + static_cast<int32_t>(j);
        if (px < 0 || px >= picture.width || py < 0 || py >= picture.height) continue;
        const int32_t a = bitmap.buffer[j * bitmap.pitch + i];
        uint8_t* p = picture.At(px, py);
        for (int k = 0; k < 3; ++k)
          p[k + 1] = static_cast<uint8_t>((c[k] * a + p[k + 1] * (255 - a) + 127) / 255);
      }
    pen += GlyphAdvancePixels(face);
  }
}

// ---- Font sheets
// ---------------------------------------------------------------------------------

struct FontSheets
{
  Picture glyphs, limits;
  int32_t spacing = 0;
};

bool HasSheetGlyph(uint32_t code)
{
  return code < 127 || code >= 160;
}

// Glyph cells of 224 codes; each limits cell marks columns origin .. origin + advance - spacing, so
// that the editor's pen (box width + spacing) moves by the face's own advance.
FontSheets MakeFontSheets(const Face& face, int32_t spacing)
{
  int32_t widest = 0;
  for (uint32_t code = 32; code < 256; ++code)
  {
    if (!HasSheetGlyph(code) || !RenderGlyph(face, code)) continue;
    const FT_GlyphSlot slot = face.face->glyph;
    widest = std::max(widest, kGlyphOriginX + GlyphAdvancePixels(face) - spacing + 1);
    widest = std::max(widest,
                      kGlyphOriginX + slot->bitmap_left + static_cast<int32_t>(slot->bitmap.width));
  }
  const int32_t cellWidth = (widest + 3) & ~3;
  const int32_t cellHeight = face.ascent + face.descent + 1;
  FontSheets sheets;
  sheets.spacing = spacing;
  sheets.glyphs = Picture(cellWidth, cellHeight * kFontGlyphCount, 0xFFFFFFFF);
  sheets.limits = Picture(cellWidth, cellHeight * kFontGlyphCount, 0xFFFFFFFF);
  for (uint32_t code = 32; code < 256; ++code)
  {
    if (!HasSheetGlyph(code) || !RenderGlyph(face, code)) continue;
    const int32_t top = static_cast<int32_t>(code - 32) * cellHeight;
    const FT_GlyphSlot slot = face.face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    for (uint32_t j = 0; j < bitmap.rows; ++j)
      for (uint32_t i = 0; i < bitmap.width; ++i)
      {
        const int32_t px = kGlyphOriginX + slot->bitmap_left + static_cast<int32_t>(i);
        const int32_t py = face.ascent - slot->bitmap_top + static_cast<int32_t>(j);
        if (px < 0 || px >= cellWidth || py < 0 || py >= cellHeight) continue;
        uint8_t* p = sheets.glyphs.At(px, top + py);
        const uint8_t grey = static_cast<uint8_t>(255 - bitmap.buffer[j * bitmap.pitch + i]);
        p[1] = p[2] = p[3] = std::min(p[1], grey);
      }
    const int32_t right =
        std::min(cellWidth - 1, kGlyphOriginX + GlyphAdvancePixels(face) - spacing);
    for (int32_t y = 0; y < cellHeight; ++y)
      for (int32_t x = kGlyphOriginX; x <= right; ++x)
      {
        uint8_t* p = sheets.limits.At(x, top + y);
        p[1] = p[2] = p[3] = 0;
      }
  }
  return sheets;
}

// ---- Knob strip, light, button
// -------------------------------------------------------------------

void DrawArc(uint8_t* pixels, int32_t w, int32_t h, double cx, double cy, double radius,
             double from, double to, uint32_t colour)
{
  const int segments = std::max(1, static_cast<int>(std::ceil((to - from) / (kPi / 36))));
  double px = cx + radius * std::sin(from), py = cy - radius * std::cos(from);
  for (int i = 1; i <= segments; ++i)
  {
    const double a = from + (to - from) * i / segments;
    const double qx = cx + radius * std::sin(a), qy = cy - radius * std::cos(a);
    DrawLineAA(pixels, w, h, px, py, qx, qy, 0.9, colour, kLineAdd);
    px = qx;
    py = qy;
  }
}

// 192 frames, 50 x 50 each: dark body, a dim track over 270 degrees, the lit part up to the value
// and a bright dot at its end. The centre stays dark so that a readout drawn beneath shows through.
Picture MakeKnobStrip()
{
  Picture strip(kKnobSize, kKnobSize * kKnobFrames, Rgb(0, 0, 0));
  const double c = (kKnobSize - 1) / 2.0, arcRadius = 19.0, start = -0.75 * kPi, sweep = 1.5 * kPi;
  for (int32_t k = 0; k < kKnobFrames; ++k)
  {
    uint8_t* frame = strip.At(0, k * kKnobSize);
    const double angle = start + sweep * k / (kKnobFrames - 1);
    DrawDiscAA(frame, kKnobSize, kKnobSize, c, c, 23.0, 0.8, Rgb(0x14, 0x16, 0x19));
    DrawRingAA(frame, kKnobSize, kKnobSize, c, c, 23.0, 0.6, Rgb(0x3A, 0x40, 0x48), kLineBlend);
    DrawArc(frame, kKnobSize, kKnobSize, c, c, arcRadius, start, start + sweep,
            Rgb(0x22, 0x26, 0x2C));
    if (k > 0)
      DrawArc(frame, kKnobSize, kKnobSize, c, c, arcRadius, start, angle, Rgb(0x20, 0x70, 0xB0));
    DrawDiscAA(frame, kKnobSize, kKnobSize, c + arcRadius * std::sin(angle),
               c - arcRadius * std::cos(angle), 2.2, 0.7, Rgb(0xB0, 0xE4, 0xFF));
  }
  return strip;
}

// A halo just outside the knob's rim; the editor adds it tinted and dimmed.
Picture MakeLight()
{
  Picture light(72, 72, Rgb(0, 0, 0));
  const double c = 71 / 2.0;
  DrawRingAA(light.pixels.data(), 72, 72, c, c, 27.0, 4.0, Rgb(0x50, 0x50, 0x50), kLineBlend);
  DrawRingAA(light.pixels.data(), 72, 72, c, c, 26.0, 1.4, Rgb(0xFF, 0xFF, 0xFF), kLineBlend);
  return light;
}

void FillRect(Picture& p, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t colour)
{
  for (int32_t y = std::max(t, 0); y < std::min(b, p.height); ++y)
    for (int32_t x = std::max(l, 0); x < std::min(r, p.width); ++x)
    {
      uint8_t* px = p.At(x, y);
      for (int c = 0; c < 4; ++c) px[c] = static_cast<uint8_t>(colour >> (8 * c));
    }
}

void FrameRect(Picture& p, double l, double t, double r, double b, uint32_t colour)
{
  uint8_t* px = p.pixels.data();
  DrawLineAA(px, p.width, p.height, l, t, r, t, 0.5, colour, kLineBlend);
  DrawLineAA(px, p.width, p.height, r, t, r, b, 0.5, colour, kLineBlend);
  DrawLineAA(px, p.width, p.height, r, b, l, b, 0.5, colour, kLineBlend);
  DrawLineAA(px, p.width, p.height, l, b, l, t, 0.5, colour, kLineBlend);
}

// Two frames of 40 x 20: off, then on.
Picture MakeButton()
{
  Picture button(40, 40, Rgb(0, 0, 0, 0));
  FillRect(button, 2, 2, 38, 18, Rgb(0x20, 0x24, 0x28));
  FrameRect(button, 2, 2, 37, 17, Rgb(0x50, 0x58, 0x60));
  FillRect(button, 2, 22, 38, 38, Rgb(0x28, 0x78, 0xB8));
  FrameRect(button, 2, 22, 37, 37, Rgb(0x88, 0xCC, 0xFF));
  return button;
}

// ---- Background
// ------------------------------------------------------------------------------------

// The whole window: panel artwork with the knob labels, transparent over the plot.
Picture MakeBackground(const Face& title, const Face& caption, const Face& label)
{
  Picture bg(kWindowWidth, kWindowHeight, Rgb(0, 0, 0));
  for (int32_t y = 0; y < kWindowHeight; ++y)
  {
    const int shade = 0x22 - (y * 10) / kWindowHeight;
    FillRect(bg, 0, y, kWindowWidth, y + 1, Rgb(shade - 4, shade - 1, shade + 3));
  }
  // Panel frame right of the plot, with separators between the knob groups.
  FillRect(bg, 552, 32, 744, 545, Rgb(0x1A, 0x1D, 0x22));
  FrameRect(bg, 552, 32, 743, 544, Rgb(0x34, 0x3A, 0x42));
  const int32_t separators[] = {120, 206, 464};
  for (int32_t y : separators)
    DrawLineAA(bg.pixels.data(), bg.width, bg.height, 564, y, 732, y, 0.5, Rgb(0x30, 0x36, 0x3E),
               kLineBlend);

  // Wells under the knobs, and their labels.
  for (const KnobSlot& s : kKnobSlots)
  {
    DrawDiscAA(bg.pixels.data(), bg.width, bg.height, s.x - 0.5, s.y - 0.5, 25.5, 1.0,
               Rgb(0x0C, 0x0D, 0x0F));
    DrawFtText(bg, label, s.label, s.x, s.y + 38, Rgb(0x8C, 0xA0, 0xB4), 1);
  }
  DrawFtText(bg, caption, "SELECTED BAND", 648, 44, Rgb(0x5A, 0x6A, 0x7C), 1);
  DrawFtText(bg, caption, "CURVE", 648, 131, Rgb(0x5A, 0x6A, 0x7C), 1);
  DrawFtText(bg, caption, "ENGINE", 648, 217, Rgb(0x5A, 0x6A, 0x7C), 1);
  DrawFtText(bg, caption, "DISPLAY", 648, 475, Rgb(0x5A, 0x6A, 0x7C), 1);

  // Name in the top strip, left of where the label line starts (x 230).
  DrawFtText(bg, title, "Tarvex", 32, 24, Rgb(0xD8, 0xE4, 0xF0), 0);
  DrawFtText(bg, caption, "linear-phase equaliser", 32 + MeasureFtText(title, "Tarvex") + 8, 24,
             Rgb(0x70, 0x80, 0x90), 0);
  DrawFtText(bg, caption, "Vennmoor", 32, 564, Rgb(0x5A, 0x6A, 0x7C), 0);

  // A light plate under the label line, which the editor writes in black from x 230, its top on
  // row 16.
  FillRect(bg, 224, 13, kPlotLeft + kPlotSize, 31, Rgb(0xB4, 0xBE, 0xC8));
  FrameRect(bg, 224, 13, kPlotLeft + kPlotSize - 1, 30, Rgb(0x8A, 0x96, 0xA2));

  // Plot frame, then the plot itself fully transparent.
  FrameRect(bg, kPlotLeft - 1, kPlotTop - 1, kPlotLeft + kPlotSize, kPlotTop + kPlotSize,
            Rgb(0x40, 0x48, 0x52));
  FillRect(bg, kPlotLeft, kPlotTop, kPlotLeft + kPlotSize, kPlotTop + kPlotSize, Rgb(0, 0, 0, 0));
  return bg;
}

// ---- Sample sheet
// ----------------------------------------------------------------------------------

struct Fonts
{
  BitmapFont* font10;
  BitmapFont* font11;
  BitmapFont* font12;
};

void Text(uint8_t* pixels, int32_t w, int32_t h, const BitmapFont* font, int32_t x, int32_t y,
          int32_t flags, const char* text, uint32_t colour)
{
  TextLine* line = CreateTextLine(font, x, y, flags);
  SetTextLineText(line, text);
  DrawTextLine(line, pixels, colour, w, h);
  FreeTextLine(line);
}

// An editor-like frame on top, every primitive below it.
Picture MakeSampleSheet(const Fonts& fonts, Picture background, const Picture& knob,
                        const Picture& light, const Picture& button)
{
  const int32_t sheetHeight = kWindowHeight + 440;
  Picture sheet(kWindowWidth, sheetHeight, Rgb(0, 0, 0));
  uint8_t* px = sheet.pixels.data();
  const int32_t w = sheet.width;

  // Frame: grid, a curve of 511 segments, band points with handles, panel, readouts, light, label.
  for (int32_t i = 1; i < 8; ++i)
  {
    const double g = kPlotLeft + i * 64.0;
    DrawLineAA(px, w, kWindowHeight, g, kPlotTop, g, kPlotTop + 511, 0.7, Rgb(0x28, 0x30, 0x38),
               kLineAdd);
    DrawLineAA(px, w, kWindowHeight, kPlotLeft, g, kPlotLeft + 511, g, 0.7, Rgb(0x28, 0x30, 0x38),
               kLineAdd);
  }
  auto curve = [](int c)
  { return 272.0 + 90.0 * std::sin(c / 70.0) * std::exp(-c / 600.0) - 40.0 * std::cos(c / 23.0); };
  for (int c = 0; c < 511; ++c)
    DrawLineAA(px, w, kWindowHeight, kPlotLeft + c, curve(c), kPlotLeft + c + 1, curve(c + 1), 1.0,
               0xFFFFFFFF, kLineAdd);
  for (int c = 0; c < 511; c += 8)
    DrawLineSpanAA(px, w, kWindowHeight, kPlotLeft + c, curve(c) + 30, kPlotLeft + c + 8,
                   curve(c + 8) + 30, 0.0, 0.5, 1.0, Rgb(0xFF, 0x90, 0x30), kLineAdd);
  const int bands[4] = {60, 180, 300, 430};
  for (int b = 0; b < 4; ++b)
  {
    const double x = kPlotLeft + bands[b], y = curve(bands[b]);
    const double slope = curve(bands[b] + 1) - curve(bands[b] - 1);
    const double n = 24.0 / std::hypot(2.0, slope);
    DrawLineAA(px, w, kWindowHeight, x - 2 * n, y - slope * n, x + 2 * n, y + slope * n, 1.0,
               Rgb(0x90, 0x90, 0x90), kLineAdd);
    DrawDiscAA(px, w, kWindowHeight, x - 2 * n, y - slope * n, 3.0, 1.0, Rgb(0xC0, 0xC0, 0xC0));
    DrawDiscAA(px, w, kWindowHeight, x + 2 * n, y + slope * n, 3.0, 1.0, Rgb(0xC0, 0xC0, 0xC0));
    if (b == 2)
      DrawRingAA(px, w, kWindowHeight, x, y, 5.0, 1.0, Rgb(0xFF, 0xE0, 0x00), kLineBlend);
    else
      DrawDiscAA(px, w, kWindowHeight, x, y, 5.8, 1.0, Rgb(0xFF, 0xE0, 0x00));
  }
  const RasterCanvas frame{px, w, kWindowHeight};
  Text(background.pixels.data(), kWindowWidth, kWindowHeight, fonts.font12, 749, 561,
       kTextAlignRight, "1.0.9", Rgb(0x98, 0x98, 0x98));
  BlitImage(frame, background.pixels.data(), kWindowWidth, kWindowHeight, kWindowWidth, 0, 0,
            kBlitAlphaBlend | kBlitTopLeft);
  const char* readouts[11] = {"-3.5", "370", "12.0", "RGB", "1.0", "-12.0",
                              "0.0",  "1.0", "1.0",  "1.0", "0.0"};
  const double values[11] = {0.45, 0.3, 0.56, 0.0, 0.1, 0.45, 0.5, 0.625, 0.1, 0.33, 0.33};
  for (int i = 0; i < 11; ++i)
  {
    const KnobSlot& s = kKnobSlots[i];
    Text(px, w, kWindowHeight, fonts.font11, s.x, s.y - 4, 0, readouts[i], 0xFFC040FF);
    const int32_t k = std::min(191, static_cast<int32_t>(values[i] * 191 + 0.5));
    BlitImage(frame, knob.pixels.data() + static_cast<size_t>(k) * kKnobSize * kKnobSize * 4,
              kKnobSize, kKnobSize, kKnobSize, s.x, s.y, kBlitAdditive);
  }
  BlitImageAddTinted(frame, light.pixels.data(), light.width, light.height, light.width, 584, 334,
                     0, Rgb(192, 240, 255), 0.8);
  Text(px, w, kWindowHeight, fonts.font12, 230, 16, kTextAlignLeft, "Instance #0",
       Rgb(0xE0, 0xE0, 0xE0));

  // Primitives: dark half left, light half right.
  const int32_t top = kWindowHeight;
  FillRect(sheet, 0, top, 376, sheetHeight, Rgb(0x10, 0x10, 0x10));
  FillRect(sheet, 376, top, kWindowWidth, sheetHeight, Rgb(0xE8, 0xE8, 0xE8));
  const char* modeNames[4] = {"add", "subtract", "blend", "blend alpha"};
  for (int m = 0; m < 4; ++m)
  {
    const bool light = m == 1;
    const double cx = light ? 440 + 0 : 50 + m * 95.0 - (m > 1 ? 95 : 0), cy = top + 70;
    const uint32_t colour = light    ? Rgb(0xFF, 0xFF, 0xFF)
                            : m == 0 ? Rgb(0xFF, 0xFF, 0xFF)
                                     : Rgb(0x40, 0xC0, 0xFF, 0x80);
    for (int i = 0; i < 16; ++i)
    {
      const double a = i * kPi / 8;
      DrawLineAA(px, w, sheetHeight, cx + 8 * std::cos(a), cy + 8 * std::sin(a),
                 cx + 40 * std::cos(a), cy + 40 * std::sin(a), 0.6 + 0.1 * i, colour, m);
    }
    Text(px, w, sheetHeight, fonts.font11, static_cast<int32_t>(cx), top + 116, 0, modeNames[m],
         light ? Rgb(0x20, 0x20, 0x20) : Rgb(0xC0, 0xC0, 0xC0));
  }
  // Blend modes on the light half too: opaque blend and alpha blend.
  for (int m = 2; m < 4; ++m)
  {
    const double cx = 540 + (m - 2) * 95.0, cy = top + 70;
    for (int i = 0; i < 16; ++i)
    {
      const double a = i * kPi / 8;
      DrawLineAA(px, w, sheetHeight, cx + 8 * std::cos(a), cy + 8 * std::sin(a),
                 cx + 40 * std::cos(a), cy + 40 * std::sin(a), 0.6 + 0.1 * i,
                 Rgb(0xC0, 0x30, 0x20, 0x80), m);
    }
    Text(px, w, sheetHeight, fonts.font11, static_cast<int32_t>(cx), top + 116, 0, modeNames[m],
         Rgb(0x20, 0x20, 0x20));
  }
  // Discs and rings of growing size and softness.
  const double radii[5] = {1.0, 2.0, 3.5, 5.8, 9.0};
  for (int i = 0; i < 5; ++i)
  {
    DrawDiscAA(px, w, sheetHeight, 30 + i * 32, top + 160, radii[i], 0.5 + 0.4 * i,
               Rgb(0xFF, 0xE0, 0x00));
    DrawRingAA(px, w, sheetHeight, 30 + i * 32, top + 200, radii[i] + 3, 0.5 + 0.3 * i,
               Rgb(0x40, 0xFF, 0x80), kLineBlend);
    DrawRingAA(px, w, sheetHeight, 410 + i * 32, top + 160, radii[i] + 3, 0.5 + 0.3 * i,
               Rgb(0x10, 0x40, 0xC0, 0x90), kLineBlendAlpha);
    DrawDiscAA(px, w, sheetHeight, 410 + i * 32, top + 200, radii[i], 1.0, Rgb(0x80, 0x10, 0x40));
  }
  // Blits: knob frames and the button, clipped at the sheet's right and bottom edges.
  const RasterCanvas whole{px, w, sheetHeight};
  for (int i = 0; i < 5; ++i)
    BlitImage(whole, knob.pixels.data() + static_cast<size_t>(i * 47) * kKnobSize * kKnobSize * 4,
              kKnobSize, kKnobSize, kKnobSize, 200 + i * 34, top + 180, kBlitAdditive);
  BlitImage(whole, knob.pixels.data() + static_cast<size_t>(150) * kKnobSize * kKnobSize * 4,
            kKnobSize, kKnobSize, kKnobSize, w - 10, top + 180, 0);
  BlitImage(whole, knob.pixels.data() + static_cast<size_t>(190) * kKnobSize * kKnobSize * 4,
            kKnobSize, kKnobSize, kKnobSize, w - 60, sheetHeight - 12, 0);
  BlitImage(whole, button.pixels.data(), 40, 20, 40, 600, top + 180, kBlitAlphaBlend);
  BlitImage(whole, button.pixels.data() + 40 * 20 * 4, 40, 20, 40, 650, top + 180, kBlitAlphaBlend);
  BlitImageAddTinted(whole, light.pixels.data(), light.width, light.height, light.width,
                     200 + 4 * 34, top + 180, 0, Rgb(255, 80, 40), 1.0);

  // Text: each font in the three alignments about the marker line at x = 188 (dark) and 564
  // (light).
  const BitmapFont* fontList[3] = {fonts.font10, fonts.font11, fonts.font12};
  const char* names[3] = {"font10 ", "font11 ", "font12 "};
  const int32_t flags[3] = {kTextAlignLeft, 0, kTextAlignRight};
  for (int half = 0; half < 2; ++half)
  {
    const int32_t anchor = half ? 564 : 188;
    const uint32_t ink = half ? Rgb(0x10, 0x10, 0x10) : Rgb(0xFF, 0xFF, 0xFF);
    DrawLineAA(px, w, sheetHeight, anchor, top + 236, anchor, top + 428, 0.5, Rgb(0xFF, 0x40, 0x40),
               kLineBlend);
    for (int f = 0; f < 3; ++f)
      for (int a = 0; a < 3; ++a)
      {
        char text[96];
        std::snprintf(text, sizeof text, "%s%s 0123 \xc4\xd6\xdc \xe9\xe8 %%#@", names[f],
                      a == 0   ? "left"
                      : a == 1 ? "centre"
                               : "right");
        Text(px, w, sheetHeight, fontList[f], anchor, top + 240 + (f * 3 + a) * 20, flags[a], text,
             ink);
      }
  }
  return sheet;
}

bool MakeDirectory(const std::string& path)
{
  if (mkdir(path.c_str(), 0755) == 0) return true;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Write(const std::string& path, const Picture& picture)
{
  if (WritePng(path, picture)) return true;
  std::fprintf(stderr, "make-pictures: cannot write %s\n", path.c_str());
  return false;
}

BitmapFont* FontFrom(const FontSheets& s)
{
  return BuildBitmapFont(s.glyphs.width, s.glyphs.height, s.glyphs.pixels.data(), s.glyphs.width,
                         s.limits.pixels.data(), s.limits.width, s.spacing);
}

} // namespace

int main(int argc, char** argv)
{
  std::string out, sample;
  for (int i = 1; i < argc; ++i)
  {
    if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
      out = argv[++i];
    else if (!std::strcmp(argv[i], "--sample") && i + 1 < argc)
      sample = argv[++i];
    else
    {
      std::fprintf(stderr, "usage: make-pictures --out DIR [--sample FILE.png]\n");
      return 2;
    }
  }
  if (out.empty() && sample.empty())
  {
    std::fprintf(stderr, "usage: make-pictures --out DIR [--sample FILE.png]\n");
    return 2;
  }

  BuildEdgeTable();
  BuildGaussTable();
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return 1;
  Face face10, face11, face12, title, caption, label;
  const bool faces = OpenFace(library, "DejaVuSans.ttf", 10, &face10) &&
                     OpenFace(library, "DejaVuSans.ttf", 11, &face11) &&
                     OpenFace(library, "DejaVuSans-Bold.ttf", 12, &face12) &&
                     OpenFace(library, "DejaVuSans-Bold.ttf", 17, &title) &&
                     OpenFace(library, "DejaVuSans-Bold.ttf", 8, &caption) &&
                     OpenFace(library, "DejaVuSans.ttf", 9, &label);
  if (!faces) return 1;

  const FontSheets sheets10 = MakeFontSheets(face10, -2);
  const FontSheets sheets11 = MakeFontSheets(face11, -3);
  const FontSheets sheets12 = MakeFontSheets(face12, -3);
  const Picture knob = MakeKnobStrip();
  const Picture background = MakeBackground(title, caption, label);
  const Picture button = MakeButton();
  const Picture light = MakeLight();

  bool ok = true;
  if (!out.empty())
  {
    ok = MakeDirectory(out) && MakeDirectory(out + "/font");
    if (!ok) std::fprintf(stderr, "make-pictures: cannot create %s\n", out.c_str());
    ok = ok && Write(out + "/font/font10.png", sheets10.glyphs) &&
         Write(out + "/font/font10_limits.png", sheets10.limits) &&
         Write(out + "/font/font11.png", sheets11.glyphs) &&
         Write(out + "/font/font11_limits.png", sheets11.limits) &&
         Write(out + "/font/font12.png", sheets12.glyphs) &&
         Write(out + "/font/font12_limits.png", sheets12.limits) &&
         Write(out + "/black_knob.png", knob) && Write(out + "/layoutfree.png", background) &&
         Write(out + "/button.png", button) && Write(out + "/light.png", light);
  }
  if (ok && !sample.empty())
  {
    Fonts fonts{FontFrom(sheets10), FontFrom(sheets11), FontFrom(sheets12)};
    ok = fonts.font10 && fonts.font11 && fonts.font12 &&
         Write(sample, MakeSampleSheet(fonts, background, knob, light, button));
    FreeBitmapFont(fonts.font10);
    FreeBitmapFont(fonts.font11);
    FreeBitmapFont(fonts.font12);
  }
  for (Face* f : {&face10, &face11, &face12, &title, &caption, &label}) FT_Done_Face(f->face);
  FT_Done_FreeType(library);
  return ok ? 0 : 1;
}
