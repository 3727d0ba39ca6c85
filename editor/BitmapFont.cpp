#include "editor/BitmapFont.h"

#include <cstring>
#include <new>

namespace
{

// Cumulative ink (255 - grey) a box edge needs, so that a few faint pixels do not open a box.
constexpr int32_t kBoxInkThreshold = 7;
constexpr int32_t kDefaultAdvance = 16;

void ReadGreyLevels(const uint8_t* pixels, int32_t width, int32_t height, int32_t rowSpan,
                    uint8_t* grey)
{
  for (int32_t y = 0; y < height; ++y)
  {
    const uint8_t* p = pixels + static_cast<size_t>(y) * rowSpan * 4;
    for (int32_t x = 0; x < width; ++x, p += 4)
      *grey++ = static_cast<uint8_t>((p[1] + p[2] + p[3]) / 3);
  }
}

int32_t ColumnInk(const BitmapFont& font, int32_t glyph, int32_t column)
{
  int32_t ink = 0;
  const uint8_t* p =
      font.boxMap.data() + static_cast<size_t>(glyph) * font.glyphHeight * font.cellWidth + column;
  for (int32_t j = 0; j < font.glyphHeight; ++j, p += font.cellWidth) ink += 255 - *p;
  return ink;
}

int32_t GlyphAdvance(const BitmapFont* font, uint8_t code)
{
  return font->advance[code >= kFontFirstCode ? code - kFontFirstCode : 0];
}

size_t BoundedLength(const char* text, size_t limit)
{
  size_t n = 0;
  while (n < limit && text[n]) ++n;
  return n;
}

int32_t MeasureBytes(const BitmapFont* font, const char* text, size_t length)
{
  int32_t w = font->spacing / 2 - font->leftEdge[0];
  for (size_t i = 0; i < length; ++i)
    w += font->spacing + GlyphAdvance(font, static_cast<uint8_t>(text[i]));
  return w - font->spacing + 3;
}

} // namespace

BitmapFont* BuildBitmapFont(int32_t sheetWidth, int32_t sheetHeight, const uint8_t* glyphPixels,
                            int32_t glyphRowSpan, const uint8_t* limitsPixels,
                            int32_t limitsRowSpan, int32_t spacing)
{
  if (!glyphPixels || !limitsPixels || sheetWidth < 1 || sheetHeight < kFontGlyphCount)
    return nullptr;
  if (glyphRowSpan < sheetWidth || limitsRowSpan < sheetWidth) return nullptr;
  BitmapFont* font = new (std::nothrow) BitmapFont();
  if (!font) return nullptr;
  font->cellWidth = sheetWidth;
  font->glyphHeight = sheetHeight / kFontGlyphCount;
  font->glyphCount = kFontGlyphCount;
  font->spacing = spacing;
  const size_t size = static_cast<size_t>(sheetWidth) * sheetHeight;
  font->inkMap.resize(size);
  font->boxMap.resize(size);
  ReadGreyLevels(glyphPixels, sheetWidth, sheetHeight, glyphRowSpan, font->inkMap.data());
  ReadGreyLevels(limitsPixels, sheetWidth, sheetHeight, limitsRowSpan, font->boxMap.data());

  for (int32_t g = 0; g < kFontGlyphCount; ++g)
  {
    font->leftEdge[g] = 0;
    font->advance[g] = 0;
    int32_t sum = 0;
    for (int32_t c = 0; c < sheetWidth; ++c)
    {
      sum += ColumnInk(*font, g, c);
      if (sum > kBoxInkThreshold)
      {
        font->leftEdge[g] = static_cast<int16_t>(c);
        break;
      }
    }
    sum = 0;
    for (int32_t c = sheetWidth - 1; c >= 0; --c)
    {
      sum += ColumnInk(*font, g, c);
      if (sum > kBoxInkThreshold)
      {
        font->advance[g] = static_cast<int16_t>(c - font->leftEdge[g]);
        break;
      }
    }
    if (font->advance[g] == 0) font->advance[g] = kDefaultAdvance;
  }
  return font;
}

void FreeBitmapFont(BitmapFont* font)
{
  delete font;
}

TextLine* CreateTextLine(const BitmapFont* font, int32_t x, int32_t y, int32_t flags)
{
  TextLine* line = new (std::nothrow) TextLine();
  if (!line) return nullptr;
  line->font = font;
  line->x = x;
  line->y = y;
  line->text[0] = '\0';
  line->flags = flags;
  return line;
}

void FreeTextLine(TextLine* line)
{
  delete line;
}

void SetTextLineText(TextLine* line, const char* text)
{
  if (!line) return;
  const size_t n = text ? BoundedLength(text, kTextLineCapacity - 1) : 0;
  std::memcpy(line->text, text ? text : "", n);
  line->text[n] = '\0';
}

int32_t MeasureText(const BitmapFont* font, const char* text)
{
  if (!font) return 0;
  return MeasureBytes(font, text ? text : "", text ? std::strlen(text) : 0);
}

void DrawTextLine(const TextLine* line, uint8_t* pixels, uint32_t colour, int32_t width,
                  int32_t height)
{
  if (!line || !line->font || !pixels || width <= 0 || height <= 0) return;
  const BitmapFont* font = line->font;
  const size_t length = BoundedLength(line->text, kTextLineCapacity - 1);
  int64_t x = line->x;
  if (line->flags & kTextAlignRight)
    x -= MeasureBytes(font, line->text, length);
  else if (!(line->flags & kTextAlignLeft))
    x -= MeasureBytes(font, line->text, length) / 2;
  const int32_t y = line->y;
  const int32_t c1 = (colour >> 8) & 0xFF, c2 = (colour >> 16) & 0xFF, c3 = (colour >> 24) & 0xFF;
  const int32_t w = font->cellWidth, h = font->glyphHeight;
  const size_t stride = static_cast<size_t>(width) * 4;

  // Rows of a cell inside the buffer do not depend on the glyph.
  const int64_t j0 = y < 0 ? -int64_t{y} : 0;
  const int64_t j1 = int64_t{y} + h > height ? int64_t{height} - y : h;

  int64_t pen = x + font->spacing / 2 - font->leftEdge[0];
  for (size_t i = 0; i < length; ++i)
  {
    const uint8_t code = static_cast<uint8_t>(line->text[i]);
    if (code < kFontFirstCode)
    {
      pen += font->spacing + font->advance[0];
      continue;
    }
    const int32_t g = code - kFontFirstCode;
    const int64_t k0 = pen < 0 ? -pen : 0;
    const int64_t k1 = pen + w > width ? width - pen : w;
    for (int64_t j = j0; j < j1; ++j)
    {
      const uint8_t* ink = font->inkMap.data() + (static_cast<size_t>(g) * h + j) * w;
      uint8_t* row = pixels + static_cast<size_t>(y + j) * stride;
      for (int64_t k = k0; k < k1; ++k)
      {
        const int32_t m = ink[k];
        if (m == 255) continue;
        uint8_t* p = row + static_cast<size_t>(pen + k) * 4;
        p[1] = static_cast<uint8_t>(((c1 * (255 - m)) >> 8) + ((p[1] * m) >> 8));
        p[2] = static_cast<uint8_t>(((c2 * (255 - m)) >> 8) + ((p[2] * m) >> 8));
        p[3] = static_cast<uint8_t>(((c3 * (255 - m)) >> 8) + ((p[3] * m) >> 8));
      }
    }
    pen += font->spacing + font->advance[g];
  }
}
