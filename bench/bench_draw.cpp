// Drawing cost of one editor frame's worth of primitives into the 752 x 576 canvas, with the real
// pictures and fonts from img/ (TARVEX_SOURCE_DIR, or the source tree this was built from).
#include "editor/BitmapFont.h"
#include "editor/Raster.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Png.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr int32_t kWidth = 752, kHeight = 576;

std::unique_ptr<LICE_IBitmap> Load(const char* name)
{
  const char* root = std::getenv("TARVEX_SOURCE_DIR");
  const std::string path = std::string(root ? root : TARVEX_DEFAULT_SOURCE_DIR) + "/" + name;
  return std::unique_ptr<LICE_IBitmap>(LoadPng(path.c_str()));
}

struct Scene
{
  std::vector<uint8_t> canvas = std::vector<uint8_t>(kWidth * kHeight * 4, 0);
  std::unique_ptr<LICE_IBitmap> background, glyphs11, limits11, glyphs12, limits12;
  BitmapFont* font11 = nullptr;
  BitmapFont* font12 = nullptr;
  TextLine* lines[12] = {};
  double curve[512];

  bool Ready() const { return background && font11 && font12; }

  Scene()
  {
    BuildEdgeTable();
    BuildGaussTable();
    background = Load("img/layoutfree.png");
    limits11 = Load("img/font/font11_limits.png");
    glyphs11 = Load("img/font/font11.png");
    limits12 = Load("img/font/font12_limits.png");
    glyphs12 = Load("img/font/font12.png");
    if (glyphs11 && limits11)
      font11 = BuildBitmapFont(glyphs11->Width(), glyphs11->Height(), glyphs11->PixelData(),
                               glyphs11->RowSpan(), limits11->PixelData(), limits11->RowSpan(), -3);
    if (glyphs12 && limits12)
      font12 = BuildBitmapFont(glyphs12->Width(), glyphs12->Height(), glyphs12->PixelData(),
                               glyphs12->RowSpan(), limits12->PixelData(), limits12->RowSpan(), -3);
    const char* texts[12] = {"-3.5", "370", "12.0", "RGB", "1.0", "-12.0",
                             "0.0",  "1.0", "1.0",  "1.0", "0.0", "Band B  370 Hz  -3.5 dB"};
    const int32_t xs[12] = {584, 648, 712, 584, 648, 584, 648, 712, 584, 648, 584, 230};
    const int32_t ys[12] = {72, 72, 72, 502, 502, 158, 158, 158, 244, 244, 330, 16};
    for (int i = 0; i < 12; ++i)
    {
      lines[i] =
          CreateTextLine(i < 11 ? font11 : font12, xs[i], ys[i], i < 11 ? 0 : kTextAlignLeft);
      SetTextLineText(lines[i], texts[i]);
    }
    for (int c = 0; c < 512; ++c)
      curve[c] =
          272.0 + 90.0 * std::sin(c / 70.0) * std::exp(-c / 600.0) - 40.0 * std::cos(c / 23.0);
  }
  ~Scene()
  {
    for (TextLine* l : lines) FreeTextLine(l);
    FreeBitmapFont(font11);
    FreeBitmapFont(font12);
  }

  void Curve()
  {
    for (int c = 0; c < 511; ++c)
      DrawLineAA(canvas.data(), kWidth, kHeight, 32 + c, curve[c], 33 + c, curve[c + 1], 1.0,
                 0xFFFFFFFF, kLineAdd);
  }
  void Points()
  {
    const int bands[4] = {60, 180, 300, 430};
    for (int b : bands)
    {
      const double x = 32 + b, y = curve[b];
      DrawLineAA(canvas.data(), kWidth, kHeight, x - 20, y - 8, x + 20, y + 8, 1.0, 0xFF909090,
                 kLineAdd);
      DrawDiscAA(canvas.data(), kWidth, kHeight, x - 20, y - 8, 3.0, 1.0, 0xFFC0C0C0);
      DrawDiscAA(canvas.data(), kWidth, kHeight, x + 20, y + 8, 3.0, 1.0, 0xFFC0C0C0);
      DrawDiscAA(canvas.data(), kWidth, kHeight, x, y, 5.8, 1.0, 0xFF00E0FF);
    }
  }
  void Background()
  {
    BlitImage(RasterCanvas{canvas.data(), kWidth, kHeight}, background->PixelData(), kWidth,
              kHeight, background->RowSpan(), 0, 0, kBlitAlphaBlend | kBlitTopLeft);
  }
  void Text()
  {
    for (TextLine* l : lines) DrawTextLine(l, canvas.data(), 0xFFC040FF, kWidth, kHeight);
  }
};

Scene& TheScene()
{
  static Scene scene;
  return scene;
}

template <void (*Draw)(Scene&)> void RunDraw(benchmark::State& state)
{
  Scene& s = TheScene();
  if (!s.Ready())
  {
    state.SkipWithError("pictures under img/ not found (set TARVEX_SOURCE_DIR)");
    return;
  }
  for (auto _ : state)
  {
    std::memset(s.canvas.data(), 0, s.canvas.size());
    Draw(s);
    benchmark::DoNotOptimize(s.canvas.data());
    benchmark::ClobberMemory();
  }
}

void ClearOnly(Scene&) {}
void CurveOnly(Scene& s)
{
  s.Curve();
}
void PointsOnly(Scene& s)
{
  s.Points();
}
void BackgroundOnly(Scene& s)
{
  s.Background();
}
void TextOnly(Scene& s)
{
  s.Text();
}
void WholeFrame(Scene& s)
{
  s.Curve();
  s.Points();
  s.Background();
  s.Text();
}

} // namespace

// Every case clears the canvas first (ClearOnly is that cost alone), so the parts add up to the
// frame.
BENCHMARK(RunDraw<ClearOnly>)->Name("draw/clear")->Unit(benchmark::kMicrosecond);
BENCHMARK(RunDraw<CurveOnly>)->Name("draw/curve_511_segments")->Unit(benchmark::kMicrosecond);
BENCHMARK(RunDraw<PointsOnly>)->Name("draw/4_points_with_handles")->Unit(benchmark::kMicrosecond);
BENCHMARK(RunDraw<BackgroundOnly>)->Name("draw/background_blit")->Unit(benchmark::kMicrosecond);
BENCHMARK(RunDraw<TextOnly>)->Name("draw/12_text_lines")->Unit(benchmark::kMicrosecond);
BENCHMARK(RunDraw<WholeFrame>)->Name("draw/whole_frame")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
