// The committed pictures under img/, decoded with the framework's PNG loader: sizes, layouts, and
// fonts built from the real sheets.
#include "editor/BitmapFont.h"
#include "editor/Raster.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Png.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

std::unique_ptr<LICE_IBitmap> Load(const char* name)
{
  const char* root = std::getenv("TARVEX_SOURCE_DIR");
  const std::string path = std::string(root ? root : ".") + "/" + name;
  return std::unique_ptr<LICE_IBitmap>(LoadPng(path.c_str()));
}

const uint8_t* PixelAt(LICE_IBitmap& b, int x, int y)
{
  return b.PixelData() + (static_cast<size_t>(y) * b.RowSpan() + x) * 4;
}

int Grey(LICE_IBitmap& b, int x, int y)
{
  const uint8_t* p = PixelAt(b, x, y);
  return (p[1] + p[2] + p[3]) / 3;
}

struct LoadedFont
{
  std::unique_ptr<LICE_IBitmap> glyphs, limits;
  BitmapFont* font = nullptr;
  ~LoadedFont() { FreeBitmapFont(font); }
};

void LoadFont(const char* glyphName, const char* limitsName, int spacing, LoadedFont* out)
{
  out->limits = Load(limitsName);
  out->glyphs = Load(glyphName);
  ASSERT_TRUE(out->glyphs && out->limits) << glyphName;
  ASSERT_EQ(out->glyphs->Width(), out->limits->Width());
  ASSERT_EQ(out->glyphs->Height(), out->limits->Height());
  out->font = BuildBitmapFont(out->glyphs->Width(), out->glyphs->Height(), out->glyphs->PixelData(),
                              out->glyphs->RowSpan(), out->limits->PixelData(),
                              out->limits->RowSpan(), spacing);
  ASSERT_NE(out->font, nullptr);
}

} // namespace

TEST(PicturesTest, FontSheetsHoldAllCells)
{
  const struct
  {
    const char *glyphs, *limits;
    int spacing;
  } fonts[] = {{"img/font/font10.png", "img/font/font10_limits.png", -2},
               {"img/font/font11.png", "img/font/font11_limits.png", -3},
               {"img/font/font12.png", "img/font/font12_limits.png", -3}};
  int previousHeight = 0;
  for (const auto& f : fonts)
  {
    LoadedFont loaded;
    LoadFont(f.glyphs, f.limits, f.spacing, &loaded);
    if (HasFatalFailure()) return;
    const BitmapFont& font = *loaded.font;
    EXPECT_EQ(loaded.glyphs->Height() % 224, 0) << f.glyphs;
    EXPECT_GT(font.glyphHeight, previousHeight) << "fonts grow with their number";
    previousHeight = font.glyphHeight;
    // Opaque sheets: ink is dark on white, the space cell is blank, 'M' has ink.
    EXPECT_EQ(PixelAt(*loaded.glyphs, 0, 0)[0], 255);
    int spaceInk = 0, mInk = 0;
    for (int j = 0; j < font.glyphHeight; ++j)
      for (int x = 0; x < font.cellWidth; ++x)
      {
        spaceInk += 255 - Grey(*loaded.glyphs, x, j);
        mInk += 255 - Grey(*loaded.glyphs, x, ('M' - 32) * font.glyphHeight + j);
      }
    EXPECT_EQ(spaceInk, 0);
    EXPECT_GT(mInk, 255 * 5);
    // Every printable glyph starts its box at the cell's margin; widths are plausible.
    for (int code = 32; code < 127; ++code)
      EXPECT_EQ(font.leftEdge[code - 32], 3) << f.glyphs << " " << code;
    EXPECT_GT(font.advance['W' - 32], font.advance['i' - 32]);
    EXPECT_GT(font.advance[' ' - 32] + font.spacing, 1);
    EXPECT_LT(font.advance[' ' - 32], 16);
    EXPECT_GT(font.advance[0xE9 - 32], 0);  // Latin-1 letters have glyphs
    EXPECT_EQ(font.advance[0x85 - 32], 16); // codes 128..159 have none
    // The label line's typical text: wider than its 11 glyphs at 4 pixels, narrower than at 10.
    const int32_t w = MeasureText(&font, "Instance #0");
    EXPECT_GT(w, 44) << f.glyphs;
    EXPECT_LT(w, 110) << f.glyphs;
  }
}

TEST(PicturesTest, FontFromMismatchedOrMissingSheets)
{
  std::unique_ptr<LICE_IBitmap> glyphs = Load("img/font/font12.png");
  std::unique_ptr<LICE_IBitmap> limits = Load("img/font/font11_limits.png");
  ASSERT_TRUE(glyphs && limits);
  EXPECT_EQ(BuildBitmapFontFromSheets(glyphs.get(), limits.get(), -3), nullptr);
  EXPECT_EQ(BuildBitmapFontFromSheets(nullptr, limits.get(), -3), nullptr);
  EXPECT_EQ(BuildBitmapFontFromSheets(glyphs.get(), nullptr, -3), nullptr);
  EXPECT_EQ(Load("img/font/missing.png"), nullptr);
}

TEST(PicturesTest, KnobStripFramesAndCentres)
{
  std::unique_ptr<LICE_IBitmap> knob = Load("img/black_knob.png");
  ASSERT_TRUE(knob);
  EXPECT_EQ(knob->Width(), 50);
  EXPECT_EQ(knob->Height(), 50 * 192);
  EXPECT_EQ(knob->Height() / 192, 50);
  // The centre stays dark in every frame so that the readout beneath shows through the addition.
  for (int k = 0; k < 192; ++k)
    for (int y = 20; y < 34; ++y)
      for (int x = 14; x < 36; ++x) ASSERT_LT(Grey(*knob, x, k * 50 + y), 0x30) << k;
  // Frames differ; blitting a frame (rows 52 pixels apart in the decoded bitmap) lands on its slot.
  std::vector<uint8_t> canvas(752 * 576 * 4, 0);
  const RasterCanvas target{canvas.data(), 752, 576};
  BlitImage(target, knob->PixelData() + 191 * 50 * knob->RowSpan() * 4, 50, 50, knob->RowSpan(),
            584, 334, kBlitAdditive);
  std::vector<uint8_t> first(canvas.size(), 0);
  const RasterCanvas other{first.data(), 752, 576};
  BlitImage(other, knob->PixelData(), 50, 50, knob->RowSpan(), 584, 334, kBlitAdditive);
  EXPECT_NE(canvas, first);
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < 752; ++x)
      if (x < 559 || x > 608 || y < 309 || y > 358)
      {
        ASSERT_EQ(canvas[(y * 752 + x) * 4 + 1], 0);
      }
}

TEST(PicturesTest, BackgroundShowsThePlotThrough)
{
  std::unique_ptr<LICE_IBitmap> bg = Load("img/layoutfree.png");
  ASSERT_TRUE(bg);
  ASSERT_EQ(bg->Width(), 752);
  ASSERT_EQ(bg->Height(), 576);
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < 752; ++x)
    {
      const bool plot = x >= 32 && x < 544 && y >= 32 && y < 544;
      ASSERT_EQ(PixelAt(*bg, x, y)[0], plot ? 0 : 255) << x << "," << y;
    }
  // The version stamp fits the bottom-right corner and is drawn in the empty strip there.
  LoadedFont font12;
  LoadFont("img/font/font12.png", "img/font/font12_limits.png", -3, &font12);
  if (HasFatalFailure()) return;
  std::vector<uint8_t> before(bg->PixelData(), bg->PixelData() + bg->RowSpan() * 576 * 4);
  TextLine* stamp = CreateTextLine(font12.font, 749, 561, kTextAlignRight);
  SetTextLineText(stamp, "1.0.9");
  DrawTextLine(stamp, bg->PixelData(), 0x98989800, bg->RowSpan(), 576);
  FreeTextLine(stamp);
  int changed = 0;
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < 752; ++x)
      if (before[(y * bg->RowSpan() + x) * 4 + 1] != PixelAt(*bg, x, y)[1])
      {
        ++changed;
        EXPECT_GE(y, 561);
        EXPECT_GT(x, 700);
        EXPECT_LE(x, 749);
      }
  EXPECT_GT(changed, 20);
}

TEST(PicturesTest, ButtonAndLight)
{
  std::unique_ptr<LICE_IBitmap> button = Load("img/button.png");
  ASSERT_TRUE(button);
  ASSERT_EQ(button->Height() % 2, 0);
  const int h = button->Height() / 2;
  EXPECT_NE(Grey(*button, button->Width() / 2, h / 2),
            Grey(*button, button->Width() / 2, h + h / 2));
  std::unique_ptr<LICE_IBitmap> light = Load("img/light.png");
  ASSERT_TRUE(light);
  // The halo lies outside the 50 x 50 knob it is centred on.
  EXPECT_GT(light->Width(), 50);
  EXPECT_EQ(Grey(*light, light->Width() / 2, light->Height() / 2), 0);
  int brightest = 0;
  for (int x = 0; x < light->Width(); ++x)
    brightest = std::max(brightest, Grey(*light, x, light->Height() / 2));
  EXPECT_GT(brightest, 200);
}
