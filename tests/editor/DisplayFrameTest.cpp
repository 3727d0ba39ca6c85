// Whole editor frames against committed pictures, and the display's layers at their rows.
#include "tests/editor/EditorTestSupport.h"

#include <algorithm>

#include "editor/Panel.h"
#include "editor/SpectrumField.h"
#include "graphics/IControl.h"
#include "tests/editor/GoldenFrame.h"

namespace
{
// Window pixel as (red, green, blue).
std::vector<int> Rgb(const uint8_t* p)
{
  return {p[1], p[2], p[3]};
}
} // namespace

class GoldenFrameTest : public EditorTest
{
protected:
  void Check(const std::string& name)
  {
    ASSERT_EQ(plug->InstanceNumber(), 0) << "the label names the instance";
    ExpectMatchesGolden(*Graphics()->GetDrawBitmap(), name);
  }
  // Eight blocks of a steady 1 kHz sine (more than the 8000-sample capture), drawn twice.
  void DrawWithSine()
  {
    DrawFrames(1); // the capture runs while the display draws
    for (int i = 0; i < 8; ++i) ProcessBlock(1000.0, 0.5);
    DrawFrames(2);
  }
};

TEST_F(GoldenFrameTest, Defaults)
{
  DrawFrames(10);
  Check("defaults");
}

TEST_F(GoldenFrameTest, FourBandsEdited)
{
  const double gains[4] = {9.0, -12.0, 6.0, -30.0};
  const double freqs[4] = {60.0, 370.0, 2500.0, 10000.0};
  const double slopes[4] = {0.0, -6.0, 24.0, 0.0};
  for (int b = 0; b < 4; ++b)
  {
    SetParam(kParamBandGain + b, gains[b]);
    SetParam(kParamBandFreq + b, freqs[b]);
    SetParam(kParamBandSlope + b, slopes[b]);
  }
  ProcessBlock();
  DrawFrames(10);
  Check("four-bands");
}

TEST_F(GoldenFrameTest, EachColourSchemeWithASine)
{
  for (int scheme = 0; scheme < 4; ++scheme)
  {
    SCOPED_TRACE(scheme);
    Recreate();
    SetParam(kParamColour, scheme);
    SetParam(kParamBandGain + 2, 12.0); // the shaped field brightens above the curve near 1.7 kHz
    ProcessBlock();
    DrawWithSine();
    Check("scheme-" + std::to_string(scheme));
  }
}

// Colour Gain 0 switches the colour field off, not the realised response: a short kernel under a
// bass cut and a boost departs from the curve in the bass, drawn dashed over black while a sine
// plays.
TEST_F(GoldenFrameTest, ColourGainZeroKeepsTheRealisedResponse)
{
  SetParam(kParamColourGain, 0.0);
  SetParam(kParamResolution, 0.2);
  SetParam(kParamBandGain + 0, kCurveDbFloor);
  SetParam(kParamBandGain + 1, 12.0);
  ProcessBlock();
  DrawWithSine();
  Check("colour-gain-0");
}

TEST_F(GoldenFrameTest, GrabWithItsLabel)
{
  DrawFrames(1);
  const BandPoint& b = State().bandTable[1];
  const int x = static_cast<int>(std::lround(b.pointScreenX));
  const int y = static_cast<int>(std::lround(b.pointScreenY));
  Down(x, y);
  Drag(x + 30, y - 60);
  ProcessBlock(); // the audio thread's rebuild moves the curve
  DrawFrames(2);
  EXPECT_EQ(Label().rfind("Band B : freq:", 0), 0u) << Label();
  Check("grab");
}

// The grid picture: frequency lines on their columns (weight by leading digit), the level lines
// on their rows; the frame blends it only while the reveal timer is below 2.
TEST_F(EditorTest, GridPictureLinesSitOnTheirRowsAndColumns)
{
  // An editor that is never shown keeps no grid; the first frame draws it.
  EXPECT_EQ(State().view->gridPicture, nullptr);
  DrawFrames(1);
  const uint8_t* grid = State().view->gridPicture;
  ASSERT_NE(grid, nullptr);
  auto alpha = [&](int x, int y)
  { return int{grid[(static_cast<size_t>(y) * kPlotSize + x) * 4]}; };

  // Columns: the nearest column to each line carries the most weight in its neighbourhood, and
  // 100 Hz (digit 1) outweighs 900 Hz (digit 9).
  const double freqs[] = {30, 100, 900, 1000, 10000};
  int weights[5];
  for (int i = 0; i < 5; ++i)
  {
    const double x = 511 * LogPos(freqs[i], 20.0, 20000.0);
    const int nearest = static_cast<int>(std::lround(x));
    int best = -1, bestAlpha = -1;
    for (int c = nearest - 3; c <= nearest + 3; ++c)
      if (alpha(c, 300) > bestAlpha) bestAlpha = alpha(c, 300), best = c;
    EXPECT_EQ(best, nearest) << freqs[i] << " Hz";
    weights[i] = bestAlpha;
  }
  EXPECT_GT(weights[1], weights[2]);
  EXPECT_EQ(alpha(static_cast<int>(std::lround(511 * LogPos(150.0, 20.0, 20000.0))), 300), 0);

  // Rows: summed over the width, each level line's row outweighs its neighbours.
  auto rowSum = [&](int y)
  {
    long sum = 0;
    for (int x = 0; x < kPlotSize; ++x) sum += alpha(x, y);
    return sum;
  };
  for (int level = 48; level >= -84; level -= 12)
  {
    const double y = 511 - RowFromCurveDb(CurveDbFromDb(level), 512, false);
    const int nearest = static_cast<int>(std::lround(y));
    int best = -1;
    long bestSum = -1;
    for (int r = std::max(0, nearest - 2); r <= std::min(511, nearest + 2); ++r)
      if (rowSum(r) > bestSum) bestSum = rowSum(r), best = r;
    EXPECT_EQ(best, nearest) << level << " dB";
  }

  // In the frame: a grid pixel shows at the start, not once the timer has reached 2.
  const int gx = static_cast<int>(std::lround(511 * LogPos(1000.0, 20.0, 20000.0)));
  DrawFrames(1);
  EXPECT_GT(Pixel(32 + gx, 32 + 400)[3], 0);
  State().revealTimer = 2.0;
  DrawFrames(1);
  EXPECT_EQ(Rgb(Pixel(32 + gx, 32 + 400)), (std::vector<int>{0, 0, 0}));
}

// The realised response of a +12 dB band peaks within one row of the curve's 12 dB row, and the
// curve itself does too.
TEST_F(EditorTest, RealisedResponseFollowsABoostedBand)
{
  SetParam(kParamBandGain + 1, 12.0);
  ProcessBlock();
  DrawFrames(1);
  const InstanceState& s = State();
  const double target = RowFromCurveDb(12.0, 512, false);
  double peak = -1e9, curvePeak = -1e9;
  for (int i = 0; i < kPlotSize; ++i)
  {
    peak = std::max(peak, RowFromAmp(s.kernelColumns[i], 512, 2));
    curvePeak = std::max(curvePeak, double(s.view->curveRows[i]));
  }
  EXPECT_NEAR(peak, target, 1.0);
  EXPECT_NEAR(curvePeak, target, 1.0);
  // The default curve (all bands at 0 dB) lies 272.75 rows up: window y 270.25, points on it.
  Recreate();
  DrawFrames(1);
  for (int b = 0; b < 4; ++b) EXPECT_NEAR(State().bandTable[b].pointScreenY, 270.25, 0.01);
  EXPECT_NEAR(State().bandTable[0].pointScreenX, 134.6, 0.05);
  EXPECT_NEAR(State().bandTable[3].pointScreenX, 475.2, 0.05);
}

// The realised response follows the kernel at Colour Gain 0 too, whether it was 0 from the start
// or set to 0 before the kernel changed. Without audio the colour field is black at any gain, so
// the plot must match the one drawn at Colour Gain 1 pixel for pixel.
TEST_F(EditorTest, RealisedResponseIsDrawnAtColourGainZero)
{
  struct Drawn
  {
    std::vector<double> columns;
    std::vector<uint8_t> plot;
  };
  // Short kernel and a boost, then a bass cut: the response departs from the curve in the bass.
  const auto draw = [&](double gainFirst, double gainThen)
  {
    Recreate();
    State().revealTimer = kRevealTimerEnd; // no grid, no handles
    SetParam(kParamColourGain, gainFirst);
    SetParam(kParamResolution, 0.2);
    SetParam(kParamBandGain + 1, 12.0);
    ProcessBlock();
    DrawFrames(3);
    SetParam(kParamColourGain, gainThen);
    SetParam(kParamBandGain + 0, kCurveDbFloor);
    ProcessBlock();
    DrawFrames(3);
    Drawn d;
    d.columns.assign(State().kernelColumns, State().kernelColumns + kPlotSize);
    for (int y = 32; y < 32 + kPlotSize; ++y)
      for (int x = 32; x < 32 + kPlotSize; ++x)
        for (int c = 1; c <= 3; ++c) d.plot.push_back(Pixel(x, y)[c]);
    return d;
  };
  const Drawn reference = draw(1.0, 1.0);
  // The departure is real: the 205-tap kernel cannot follow the cut down to the 20 Hz column
  // (0.65 where the curve is silent), so dashes are drawn there.
  ASSERT_GT(reference.columns[511], 0.1);
  ASSERT_LT(State().displayCurve[511], 1e-3);
  for (const auto& gains : {std::make_pair(0.0, 0.0), std::make_pair(1.0, 0.0)})
  {
    SCOPED_TRACE(testing::Message() << "Colour Gain " << gains.first << ", then " << gains.second);
    const Drawn d = draw(gains.first, gains.second);
    EXPECT_EQ(State().kernelChanged, 0);
    EXPECT_EQ(d.columns, reference.columns); // the same analysis of the same kernel
    EXPECT_TRUE(d.plot == reference.plot);
  }
}

// Once the transport stops the display clears the spectrum, and the colour field goes black: also
// when Colour Gain was 0 while the audio played and is raised afterwards.
TEST_F(EditorTest, StoppedTransportClearsTheSpectrumField)
{
  // Pixels of the plot below the curve and the band rings (window rows 300 to 543) that are not
  // black; the grid and the handles have faded out.
  const auto lit = [&]
  {
    int count = 0;
    for (int y = 300; y < 32 + kPlotSize; ++y)
      for (int x = 32; x < 32 + kPlotSize; ++x)
        count += Pixel(x, y)[1] || Pixel(x, y)[2] || Pixel(x, y)[3];
    return count;
  };
  for (double gainWhilePlaying : {1.0, 0.0})
  {
    SCOPED_TRACE(testing::Message() << "Colour Gain " << gainWhilePlaying << " while playing");
    Recreate();
    State().revealTimer = kRevealTimerEnd;
    SetParam(kParamColourGain, gainWhilePlaying);
    DrawFrames(1); // the capture runs while the display draws
    for (int i = 0; i < 8; ++i) ProcessBlock(1000.0, 0.5);
    DrawFrames(2);
    if (gainWhilePlaying > 0.0)
    {
      EXPECT_GT(lit(), 1000); // the sine's colour below the curve
    }
    DrawFrames(17); // 16 frames without audio, then the clear
    SetParam(kParamColourGain, 1.0);
    DrawFrames(1);
    EXPECT_EQ(lit(), 0);
  }
}

// Colour of the field: the hue weights, the two energy terms and the inverted schemes.
TEST(SpectrumField, ColoursFromEnergyAndScheme)
{
  struct Case
  {
    double v, x;
    int scheme;
    int r, g, b;
  };
  const Case cases[] = {
      {1.0, 1.0, 0, 8, 104, 8}, // green at 0.75 weight: trunc(0.75 * 128 + 8)
      // Complemented weights (1, 0.25, 1) less a hair: sin of pi rounded to single precision is
      // -8.7e-8, so green is trunc(39.99999) = 39.
      {1.0, 1.0, 1, 136, 39, 136},
      {1.0, 1.0, 2, 247, 151, 247},   // inverted
      {0.0, 0.5, 0, 0, 0, 0},         // silence is black ...
      {0.0, 0.5, 3, 255, 255, 255},   // ... or white in the light schemes
      {1e300, 2.0, 0, 255, 255, 255}, // loud runs to white
      {-1.0, 2.0, 0, 0, 0, 0},        // negative energy counts as silence
      {NAN, 2.0, 2, 255, 255, 255},   // and so does NaN
      {1.0, -0.54, 0, 104, 8, 8},     // below the wheel: red
      {1.0, NAN, 0, 104, 8, 8},
  };
  for (const Case& c : cases)
  {
    uint8_t pixel[4] = {77, 0, 0, 0};
    SpectrumColour(c.v, ColourWeights(c.x, c.scheme), c.scheme, pixel);
    EXPECT_EQ((std::vector<int>{pixel[0], pixel[1], pixel[2], pixel[3]}),
              (std::vector<int>{77, c.r, c.g, c.b}))
        << "v " << c.v << " x " << c.x << " scheme " << c.scheme;
  }
}

// Background by scheme with silence: black for 0 and 1, white for 2 and 3 (the field of silence
// too), and the curve row splits the field of a loud column at its row.
TEST_F(EditorTest, SchemesChooseTheBackground)
{
  for (int scheme = 0; scheme < 4; ++scheme)
  {
    SetParam(kParamColour, scheme);
    DrawFrames(1);
    const int level = scheme >= 2 ? 255 : 0;
    EXPECT_EQ(Rgb(Pixel(37, 37)), (std::vector<int>{level, level, level})) << scheme;
  }
  // A column with energy: shaped colour from the top down to its curve row, input colour below.
  SetParam(kParamColour, 0);
  InstanceState& s = State();
  DrawFrames(1);
  SemLockAcquire(s.drawLock);
  for (int i = 0; i < kPlotSize; ++i) s.spectrumColumns[2][i] = 0.0;
  s.spectrumColumns[2][511 - 100] = 1.0;
  s.kernelColumns[511 - 100] = 4.0;
  s.view->curveRows[100] = 200;
  DrawSpectrumField(s, kPlotSize, 0);
  SemLockRelease(s.drawLock);
  const std::vector<int> shaped = Rgb(Pixel(32 + 100, 32));
  const std::vector<int> input = Rgb(Pixel(32 + 100, 32 + 511 - 199));
  EXPECT_NE(shaped, input);
  EXPECT_EQ(Rgb(Pixel(32 + 100, 32 + 511 - 200)), shaped);
  EXPECT_EQ(Rgb(Pixel(32 + 100, 32 + 510)), input);
}

// Readout texts and knob frames of the panel.
TEST(Panel, ReadoutTextsAndKnobFrames)
{
  const struct
  {
    int param;
    double value;
    const char* text;
  } readouts[] = {
      {kParamColour, 0, "RGB"},        {kParamColour, 1, "CMY"},
      {kParamColour, 2, "CMYW"},       {kParamColour, 3.9, "RGBW"},
      {kParamColour, NAN, "RGB"},      {kParamColourGain, 1, "1.0"},
      {kParamColourGain, 0.5, "0.50"}, {kParamColourGain, 0, "0.0"},
      {kParamTranspose, -12, "-12.0"}, {kParamLimiter, 0.9989, "1.00"},
      {kParamLimiter, -0.999, "-1.0"},
  };
  for (const auto& r : readouts)
  {
    char text[32];
    FormatReadout(r.param, r.value, text, sizeof(text));
    EXPECT_STREQ(text, r.text) << r.param << " " << r.value;
  }
  const struct
  {
    double normalised;
    int frame;
  } frames[] = {{0, 0}, {1, 191}, {0.5, 96}, {-3, 0}, {7, 191}, {NAN, 0}};
  for (const auto& f : frames) EXPECT_EQ(KnobFrame(f.normalised), f.frame) << f.normalised;
}

// Band readouts: shown while the selected band is on, "-INF" at the gain floor; the limiter light
// fades by 10 % per frame and goes out below 1e-6.
TEST_F(EditorTest, PanelReadoutsAndLimiterLight)
{
  DrawFrames(1);
  std::vector<uint8_t> on(Pixel(0, 0), Pixel(0, 0) + kEditorWidth * kEditorHeight * 4);
  SetParam(kParamBandOn, 0.0);
  DrawFrames(1);
  // The band gain readout area differs once the band is off (its text is gone).
  int differing = 0;
  for (int y = 60; y < 80; ++y)
    for (int x = 564; x < 604; ++x)
      differing += Pixel(x, y)[1] != on[(static_cast<size_t>(y) * kEditorWidth + x) * 4 + 1];
  EXPECT_GT(differing, 10);

  State().limiterLight = 0.3;
  DrawFrames(1);
  EXPECT_NEAR(State().limiterLight, 0.27, 1e-15); // one decay step, exact to rounding
  State().limiterLight = 1.05e-6;
  DrawFrames(1);
  EXPECT_EQ(State().limiterLight, 0.0);
  State().limiterLight = 7.0; // an overshoot above 1 lights fully and decays from 1
  DrawFrames(1);
  EXPECT_NEAR(State().limiterLight, 0.9, 1e-15);
}

// The panel's knobs through the graphics object: a 50-pixel knob with gearing 4 turns by 0.25 of
// its range for a 50-pixel drag upwards, ten times finer with shift; a double-click restores the
// knob's default; the display under the panel does not take these events.
TEST_F(EditorTest, PanelKnobsTurnWithTheMouse)
{
  const struct
  {
    int control, param, x, y;
  } knobs[] = {{kControlColourGain, kParamColourGain, 648, 506},
               {kControlTranspose, kParamTranspose, 584, 162},
               {kControlLimiter, kParamLimiter, 584, 334},
               {kControlBandFreq, kParamBandFreq, 648, 76}};
  for (const auto& k : knobs)
  {
    SCOPED_TRACE(k.param);
    IControl* knob = Graphics()->GetControl(k.control);
    ASSERT_EQ(knob->GetParamIdx(), k.param);
    EXPECT_EQ(knob->GetRect(), IRECT(k.x - 25, k.y - 25, k.x + 25, k.y + 25));
    EXPECT_EQ(Graphics()->ControlIndexAt(k.x, k.y), k.control);
    const double start = plug->GetParam(k.param)->ToNormalised();
    const double expected = std::min(1.0, start + 0.25);
    Down(k.x, k.y);
    Drag(k.x, k.y - 50);
    Up(k.x, k.y - 50);
    // 1e-9: the value goes through the parameter's step rounding only for stepped parameters,
    // and these are continuous; what is left is the normalised round trip.
    EXPECT_NEAR(plug->GetParam(k.param)->ToNormalised(), expected, 1e-9);
    IMouseState shift;
    shift.shift = true;
    Graphics()->OnMouseDown(k.x, k.y, shift);
    Graphics()->OnMouseDrag(k.x, k.y + 50, shift);
    Graphics()->OnMouseUp(k.x, k.y + 50, shift);
    EXPECT_NEAR(plug->GetParam(k.param)->ToNormalised(), expected - 0.025, 1e-9);
    DoubleClick(k.x, k.y);
    EXPECT_NEAR(plug->GetParam(k.param)->ToNormalised(), start, 1e-9);
  }
  // A right click asks for a text prompt, which without a view does nothing.
  IMouseState right;
  right.right = true;
  Graphics()->OnMouseDown(584, 162, right);
  Graphics()->OnMouseUp(584, 162, right);
  DrawFrames(1);
}

// Global settings read from the preferences file reach the knobs too, so a knob starts turning
// from the value it shows.
TEST_F(EditorTest, KnobsStartFromThePreferencesFile)
{
  const std::string file = std::string(getenv("XDG_CONFIG_HOME")) + "/Tarvex Preferences.dat";
  FILE* f = fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("Tarvex Prefs 1.0\nColour gain 3\nLimiter -6\nColour scheme 2\n", f);
  fclose(f);
  Recreate();
  for (int control : {kControlColourGain, kControlLimiter, kControlColour})
  {
    IControl* knob = Graphics()->GetControl(control);
    EXPECT_DOUBLE_EQ(knob->GetValue(), plug->GetParam(knob->GetParamIdx())->ToNormalised())
        << control;
  }
  EXPECT_EQ(Param(kParamColourGain), 3.0);
  DrawFrames(1);
  EXPECT_EQ(Rgb(Pixel(37, 37)), (std::vector<int>{255, 255, 255})); // scheme 2: white
}
