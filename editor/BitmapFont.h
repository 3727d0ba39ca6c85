// Bitmap fonts built from a glyph sheet and a limits sheet, and the text lines drawn with them.
//
// Sheets: pictures W pixels wide and 224 * h high (pixel layout of Raster.h); cell g, for character
// code g + 32, covers rows g*h .. g*h + h - 1. The glyph sheet carries dark ink on white; the
// limits sheet marks each glyph's horizontal box with dark pixels. Only grey levels ((r + g + b) /
// 3) are used.
//
// Threads: fonts are built once on the editor thread and then only read; text lines belong to the
// editor state and are written and drawn on the editor thread.
#pragma once

#include <cstdint>
#include <vector>

class LICE_IBitmap;

constexpr int32_t kFontGlyphCount = 224; // character codes 32 .. 255
constexpr int32_t kFontFirstCode = 32;
constexpr int32_t kTextLineCapacity = 512; // bytes, NUL included

enum TextAlignFlags
{
  kTextAlignLeft = 2,   // text starts at x
  kTextAlignRight = 16, // text ends at x; wins over kTextAlignLeft. Neither: centred on x
};

struct BitmapFont
{
  int32_t cellWidth;
  int32_t glyphHeight;
  int32_t glyphCount;
  int32_t spacing;             // pixels added after every glyph (negative: tighter than the boxes)
  std::vector<uint8_t> inkMap; // grey levels of the glyph sheet, cellWidth * 224 * glyphHeight
  std::vector<uint8_t> boxMap; // grey levels of the limits sheet, same size
  int16_t leftEdge[kFontGlyphCount];
  int16_t advance[kFontGlyphCount];
};

struct TextLine
{
  const BitmapFont* font; // not owned
  int32_t x;
  int32_t y; // top row of the glyph cells
  char text[kTextLineCapacity];
  int32_t flags; // TextAlignFlags
};

// Builds a font from two sheets of the same size (rows `glyphRowSpan` / `limitsRowSpan` pixels
// apart). Returns null for missing pixels, a width below 1, a height below 224 or a row span below
// the width. The caller owns the result (FreeBitmapFont); the editor keeps its fonts for the life
// of the process.
BitmapFont* BuildBitmapFont(int32_t sheetWidth, int32_t sheetHeight, const uint8_t* glyphPixels,
                            int32_t glyphRowSpan, const uint8_t* limitsPixels,
                            int32_t limitsRowSpan, int32_t spacing);
void FreeBitmapFont(BitmapFont* font);

// The same from two decoded pictures (any row span). Null when either is missing or their sizes
// differ.
BitmapFont* BuildBitmapFontFromSheets(LICE_IBitmap* glyphSheet, LICE_IBitmap* limitsSheet,
                                      int32_t spacing);

// A line with an empty string. Owned by the caller (FreeTextLine).
TextLine* CreateTextLine(const BitmapFont* font, int32_t x, int32_t y, int32_t flags);
void FreeTextLine(TextLine* line);

// Replaces the line's string, cut to kTextLineCapacity - 1 bytes.
void SetTextLineText(TextLine* line, const char* text);

// Width of `text` in pixels as DrawTextLine places it. Codes outside 32..255 measure as code 32.
int32_t MeasureText(const BitmapFont* font, const char* text);

// Draws the line's string into a buffer of width x height pixels (rows `width` apart), clipped to
// it, in `colour` (alpha ignored). Byte 0 of the pixels is left alone. At most kTextLineCapacity -
// 1 bytes of the string are read.
void DrawTextLine(const TextLine* line, uint8_t* pixels, uint32_t colour, int32_t width,
                  int32_t height);
