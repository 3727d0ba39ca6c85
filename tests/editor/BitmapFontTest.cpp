// Bitmap fonts on synthetic sheets: glyph boxes, measuring, alignment, ink blending and clipping.
#include "editor/BitmapFont.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

constexpr int32_t kCellWidth = 12;
constexpr int32_t kCellHeight = 5;

struct Sheet
{
  int32_t width, height, rowSpan;
  std::vector<uint8_t> bytes;
  Sheet(int32_t w, int32_t h, int32_t span)
      : width(w), height(h), rowSpan(span), bytes(static_cast<size_t>(span) * h * 4, 255)
  {
  }
  void SetGrey(int32_t x, int32_t y, uint8_t grey)
  {
    uint8_t* p = &bytes[(static_cast<size_t>(y) * rowSpan + x) * 4];
    p[0] = 255;
    p[1] = p[2] = p[3] = grey;
  }
};

// Glyph g's box: columns [BoxLeft, BoxRight]; its ink fills the same columns in every row.
int32_t BoxLeft(int32_t g)
{
  return 1 + g % 3;
}
int32_t BoxRight(int32_t g)
{
  return BoxLeft(g) + 2 + g % 5;
}

// Sheets for a font whose glyph g is a solid block over its box; glyph 5 (code 37) has no box.
struct SyntheticFont
{
  Sheet glyphs{kCellWidth, kCellHeight * 224, kCellWidth + 3};
  Sheet limits{kCellWidth, kCellHeight * 224, kCellWidth};
  SyntheticFont()
  {
    for (size_t i = 0; i < glyphs.bytes.size(); i += 4)
      glyphs.bytes[i + 1] = 0; // dark padding, never read
    for (int32_t g = 0; g < 224; ++g)
      for (int32_t x = 0; x < kCellWidth; ++x)
        for (int32_t j = 0; j < kCellHeight; ++j)
          glyphs.SetGrey(x, g * kCellHeight + j, x >= BoxLeft(g) && x <= BoxRight(g) ? 0 : 255);
    for (int32_t g = 0; g < 224; ++g)
    {
      if (g == 5) continue;
      limits.SetGrey(BoxLeft(g), g * kCellHeight + 2, 0);
      limits.SetGrey(BoxRight(g), g * kCellHeight + 2, 0);
    }
  }
  BitmapFont* Build(int32_t spacing) const
  {
    return BuildBitmapFont(kCellWidth, kCellHeight * 224, glyphs.bytes.data(), glyphs.rowSpan,
                           limits.bytes.data(), limits.rowSpan, spacing);
  }
};

struct Canvas
{
  int32_t width, height;
  std::vector<uint8_t> bytes;
  Canvas(int32_t w, int32_t h) : width(w), height(h), bytes(static_cast<size_t>(w) * h * 4, 255) {}
  uint8_t at(int32_t x, int32_t y, int c = 1) const
  {
    return bytes[(static_cast<size_t>(y) * width + x) * 4 + c];
  }
};

// Leftmost and rightmost columns with ink in the canvas (red below 255).
void InkedColumns(const Canvas& c, int32_t* first, int32_t* last)
{
  *first = -1;
  *last = -1;
  for (int32_t x = 0; x < c.width; ++x)
    for (int32_t y = 0; y < c.height; ++y)
      if (c.at(x, y) != 255)
      {
        if (*first < 0) *first = x;
        *last = x;
        break;
      }
}

class BitmapFontTest : public ::testing::Test
{
protected:
  void SetUp() override { font = sheets.Build(-3); }
  void TearDown() override { FreeBitmapFont(font); }
  SyntheticFont sheets;
  BitmapFont* font = nullptr;
};

} // namespace

TEST_F(BitmapFontTest, BoxesFromTheLimitsSheet)
{
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->cellWidth, kCellWidth);
  EXPECT_EQ(font->glyphHeight, kCellHeight);
  EXPECT_EQ(font->glyphCount, 224);
  EXPECT_EQ(font->spacing, -3);
  for (int32_t g = 0; g < 224; ++g)
  {
    if (g == 5) continue;
    EXPECT_EQ(font->leftEdge[g], BoxLeft(g)) << g;
    EXPECT_EQ(font->advance[g], BoxRight(g) - BoxLeft(g)) << g;
  }
  // An empty limits cell: left edge 0, advance 16.
  EXPECT_EQ(font->leftEdge[5], 0);
  EXPECT_EQ(font->advance[5], 16);
  // The ink map is read through the row span, not the width.
  EXPECT_EQ(font->inkMap[0 * kCellWidth + BoxLeft(0)], 0);
  EXPECT_EQ(font->inkMap[0 * kCellWidth + 0], 255);
}

TEST(BitmapFontBoxes, SumsRunOnOverColumnsAndRows)
{
  SyntheticFont sheets;
  // Glyph 7: faint pixels (ink 2) in columns 0..5 of one row, then nothing: the left sum passes 7
  // at column 3; from the right the sum passes 7 at column 2, giving an advance of -1. Glyph 9: two
  // rows of ink 4 in column 6 open the box there from both sides: advance 0 becomes 16.
  for (int32_t x = 0; x < kCellWidth; ++x)
    for (int32_t j = 0; j < kCellHeight; ++j)
    {
      sheets.limits.SetGrey(x, 7 * kCellHeight + j, 255);
      sheets.limits.SetGrey(x, 9 * kCellHeight + j, 255);
    }
  for (int32_t x = 0; x <= 5; ++x) sheets.limits.SetGrey(x, 7 * kCellHeight + 1, 253);
  sheets.limits.SetGrey(6, 9 * kCellHeight + 0, 251);
  sheets.limits.SetGrey(6, 9 * kCellHeight + 4, 251);
  BitmapFont* font = sheets.Build(-2);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->leftEdge[7], 3);
  EXPECT_EQ(font->advance[7], 2 - 3);
  EXPECT_EQ(font->leftEdge[9], 6);
  EXPECT_EQ(font->advance[9], 16);
  FreeBitmapFont(font);
}

TEST(BitmapFontBoxes, RejectsUnusableSheets)
{
  SyntheticFont sheets;
  const uint8_t* g = sheets.glyphs.bytes.data();
  const uint8_t* l = sheets.limits.bytes.data();
  EXPECT_EQ(BuildBitmapFont(kCellWidth, 224 * kCellHeight, nullptr, kCellWidth, l, kCellWidth, -3),
            nullptr);
  EXPECT_EQ(BuildBitmapFont(kCellWidth, 224 * kCellHeight, g, kCellWidth, nullptr, kCellWidth, -3),
            nullptr);
  EXPECT_EQ(BuildBitmapFont(0, 224 * kCellHeight, g, kCellWidth, l, kCellWidth, -3), nullptr);
  EXPECT_EQ(BuildBitmapFont(kCellWidth, 223, g, kCellWidth, l, kCellWidth, -3), nullptr);
  EXPECT_EQ(BuildBitmapFont(kCellWidth, 224 * kCellHeight, g, kCellWidth - 1, l, kCellWidth, -3),
            nullptr);
  // A sheet height that is not a multiple of 224 uses whole cells only.
  BitmapFont* font = BuildBitmapFont(kCellWidth, 224 * kCellHeight - 1, g, sheets.glyphs.rowSpan, l,
                                     kCellWidth, -3);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->glyphHeight, kCellHeight - 1);
  FreeBitmapFont(font);
}

TEST_F(BitmapFontTest, Measuring)
{
  // Empty: spacing / 2 - leftEdge[0] - spacing + 3 = 5 - leftEdge[0] for spacing -3.
  EXPECT_EQ(MeasureText(font, ""), 5 - BoxLeft(0));
  EXPECT_EQ(MeasureText(font, nullptr), 5 - BoxLeft(0));
  const int32_t empty = MeasureText(font, "");
  // Each code adds spacing + advance; code 'A' is glyph 33.
  EXPECT_EQ(MeasureText(font, "A"), empty + (-3) + font->advance[33]);
  EXPECT_EQ(MeasureText(font, "AA%"), empty + 3 * (-3) + 2 * font->advance[33] + font->advance[5]);
  // Codes below 32 measure as a space; codes 128..255 have glyphs of their own.
  EXPECT_EQ(MeasureText(font, "\x01\x1f"), empty + 2 * (-3 + font->advance[0]));
  EXPECT_EQ(MeasureText(font, "\xff"), empty + (-3) + font->advance[223]);
  EXPECT_EQ(MeasureText(nullptr, "A"), 0);
}

TEST_F(BitmapFontTest, AlignmentPlacesThePen)
{
  const char* texts[] = {"A", "Hi!", "\xe9t\xe9", "((("};
  for (const char* text : texts)
  {
    const int32_t width = MeasureText(font, text);
    // Expected inked columns from the pen rule: the pen starts at x + spacing/2 - leftEdge[0] and
    // each whole cell is drawn at the pen.
    auto expectedSpan = [&](int32_t x, int32_t* first, int32_t* last)
    {
      int32_t pen = x + (-3) / 2 - font->leftEdge[0];
      *first = 1 << 30;
      *last = -1;
      for (const char* c = text; *c; ++c)
      {
        const int32_t g = static_cast<uint8_t>(*c) - 32;
        *first = std::min(*first, pen + BoxLeft(g));
        *last = std::max(*last, pen + BoxRight(g));
        pen += -3 + font->advance[g];
      }
      return pen;
    };
    struct Case
    {
      int32_t flags, start;
    };
    const Case cases[] = {{kTextAlignLeft, 100},
                          {kTextAlignRight, 100 - width},
                          {0, 100 - width / 2},
                          {kTextAlignLeft | kTextAlignRight, 100 - width}};
    for (const Case& c : cases)
    {
      Canvas canvas(200, 20);
      TextLine* line = CreateTextLine(font, 100, 3, c.flags);
      ASSERT_NE(line, nullptr);
      EXPECT_STREQ(line->text, "");
      SetTextLineText(line, text);
      DrawTextLine(line, canvas.bytes.data(), 0, canvas.width, canvas.height);
      int32_t first, last, wantFirst, wantLast;
      InkedColumns(canvas, &first, &last);
      const int32_t penEnd = expectedSpan(c.start, &wantFirst, &wantLast);
      EXPECT_EQ(first, wantFirst) << text << " flags " << c.flags;
      EXPECT_EQ(last, wantLast) << text << " flags " << c.flags;
      // Right-aligned: the pen ends at x + spacing - 3 whatever the string.
      if (c.flags & kTextAlignRight)
      {
        EXPECT_EQ(penEnd, 100 - 3 - 3) << text;
      }
      // Rows: the cell's top row is line.y.
      EXPECT_EQ(canvas.at(wantFirst, 2), 255);
      EXPECT_NE(canvas.at(wantFirst, 3), 255);
      EXPECT_NE(canvas.at(wantFirst, 7), 255);
      EXPECT_EQ(canvas.at(wantFirst, 8), 255);
      FreeTextLine(line);
    }
  }
}

TEST_F(BitmapFontTest, InkBlending)
{
  // Glyph 0 of a custom sheet: three pixels of grey 0, 128 and 255.
  SyntheticFont custom;
  for (int32_t x = 0; x < kCellWidth; ++x)
    for (int32_t j = 0; j < kCellHeight; ++j) custom.glyphs.SetGrey(x, 33 * kCellHeight + j, 255);
  custom.glyphs.SetGrey(4, 33 * kCellHeight + 0, 0);
  custom.glyphs.SetGrey(5, 33 * kCellHeight + 0, 128);
  BitmapFont* f = custom.Build(-3);
  TextLine* line = CreateTextLine(f, 0, 0, kTextAlignLeft);
  SetTextLineText(line, "A");
  Canvas canvas(20, 6);
  for (size_t i = 0; i < canvas.bytes.size(); i += 4) canvas.bytes[i] = 0x11;
  DrawTextLine(line, canvas.bytes.data(), 0x00000000, 20, 6);
  const int32_t pen = (-3) / 2 - f->leftEdge[0];
  EXPECT_EQ(canvas.at(pen + 4, 0), 0);   // full ink, black
  EXPECT_EQ(canvas.at(pen + 5, 0), 127); // (255 * 128) >> 8
  EXPECT_EQ(canvas.at(pen + 6, 0), 255); // no ink: untouched
  EXPECT_EQ(canvas.at(pen + 4, 0, 0), 0x11);
  // A coloured pen over black: ((C * (255 - m)) >> 8) + ((P * m) >> 8) per channel.
  Canvas dark(20, 6);
  std::fill(dark.bytes.begin(), dark.bytes.end(), 0);
  DrawTextLine(line, dark.bytes.data(), 0xFFC040FF, 20, 6);
  EXPECT_EQ(dark.at(pen + 4, 0, 1), (0x40 * 255) >> 8);
  EXPECT_EQ(dark.at(pen + 4, 0, 2), (0xC0 * 255) >> 8);
  EXPECT_EQ(dark.at(pen + 5, 0, 3), (0xFF * 127) >> 8);
  FreeTextLine(line);
  FreeBitmapFont(f);
}

TEST_F(BitmapFontTest, ClippedAtEveryEdge)
{
  // A small buffer must hold exactly the matching window of the same text drawn into a large one.
  const char* text = "Clip me, 100% (\xe9)";
  struct Case
  {
    int32_t x, y;
  };
  const Case cases[] = {{-20, 2},     {-5, -3}, {30, 6},  {10, -4},
                        {-200, -200}, {500, 2}, {2, 500}, {0, 0}};
  const int32_t ox = 300, oy = 300;
  for (const Case& c : cases)
  {
    Canvas small(40, 8), big(700, 700);
    TextLine* line = CreateTextLine(font, c.x, c.y, kTextAlignLeft);
    SetTextLineText(line, text);
    DrawTextLine(line, small.bytes.data(), 0x40404040, small.width, small.height);
    line->x += ox;
    line->y += oy;
    DrawTextLine(line, big.bytes.data(), 0x40404040, big.width, big.height);
    for (int32_t y = 0; y < small.height; ++y)
      for (int32_t x = 0; x < small.width; ++x)
        ASSERT_EQ(small.at(x, y), big.at(x + ox, y + oy))
            << c.x << "," << c.y << " at " << x << "," << y;
    FreeTextLine(line);
  }
}

TEST_F(BitmapFontTest, HostileLinesAndBuffers)
{
  Canvas canvas(30, 10);
  const std::vector<uint8_t> clean = canvas.bytes;
  TextLine* line = CreateTextLine(font, 5, 2, kTextAlignLeft);
  // Codes below 32 draw nothing but move the pen like a space.
  SetTextLineText(line, "\x01\x02\x1f");
  DrawTextLine(line, canvas.bytes.data(), 0, 30, 10);
  EXPECT_EQ(canvas.bytes, clean);
  // An unterminated buffer is read no further than its capacity.
  std::memset(line->text, 'A', sizeof line->text);
  DrawTextLine(line, canvas.bytes.data(), 0, 30, 10);
  line->x = INT32_MAX;
  line->y = INT32_MIN;
  DrawTextLine(line, canvas.bytes.data(), 0, 30, 10);
  line->x = INT32_MIN;
  line->y = INT32_MAX;
  line->flags = kTextAlignRight;
  DrawTextLine(line, canvas.bytes.data(), 0, 30, 10);
  DrawTextLine(line, nullptr, 0, 30, 10);
  DrawTextLine(nullptr, canvas.bytes.data(), 0, 30, 10);
  DrawTextLine(line, canvas.bytes.data(), 0, 0, 10);
  // A string longer than the buffer is cut, still terminated.
  std::vector<char> longText(2000, 'x');
  longText.back() = '\0';
  SetTextLineText(line, longText.data());
  EXPECT_EQ(std::strlen(line->text), static_cast<size_t>(kTextLineCapacity - 1));
  SetTextLineText(line, nullptr);
  EXPECT_STREQ(line->text, "");
  TextLine* orphan = CreateTextLine(nullptr, 0, 0, 0);
  SetTextLineText(orphan, "abc");
  DrawTextLine(orphan, canvas.bytes.data(), 0, 30, 10);
  FreeTextLine(orphan);
  FreeTextLine(line);
}
