// Mouse editing in the plot, sent through the graphics object's dispatch; every case checks the
// parameters the next rebuild leaves, as a host would see them.
#include "tests/editor/EditorTestSupport.h"

#include "editor/CurveEditing.h"
#include "editor/Panel.h"
#include "graphics/IControl.h"

namespace
{
constexpr double kLog2Of1000 = 9.965784284662087;

// Band parameter values 0 .. 15.
std::vector<double> BandParams(TestTarvex& plug)
{
  std::vector<double> v;
  for (int i = 0; i < 16; ++i) v.push_back(plug.GetParam(i)->mValue);
  return v;
}

// Every band parameter within a relative 1e-12 of its old value: a press re-sends the selected
// band's values through the knobs, a round trip through the normalised range that may cost an ulp.
void ExpectUnchanged(const std::vector<double>& before, const std::vector<double>& after)
{
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_NEAR(after[i], before[i], std::fabs(before[i]) * 1e-12) << "parameter " << i;
}

// Indices of the band parameters that differ by more than a relative 1e-12.
std::vector<int> Changed(const std::vector<double>& a, const std::vector<double>& b)
{
  std::vector<int> changed;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::fabs(a[i] - b[i]) > std::fabs(a[i]) * 1e-12) changed.push_back(static_cast<int>(i));
  return changed;
}

double FreqAtX(int x)
{
  return 20.0 * std::pow(1000.0, (x - 32) / 511.0);
}

// Curve dB at window row y, from the plot's span of 128.686 dB over 511 rows.
double CurveDbAtY(int y)
{
  return 128.68588963806505 * (511 - (y - 32)) / 511.0 - 68.68588963806504;
}

void PlaceFar(BandPoint& b)
{
  b.pointScreenX = b.rightHandleX = b.leftHandleX = -1000.0;
  b.pointScreenY = b.rightHandleY = b.leftHandleY = -1000.0;
}
} // namespace

// Parts placed at exact pixels after a frame (the positions the mouse handling reads), then
// pressed and dragged 30 pixels up. Distances: 6 pixels grabs, 7 (d^2 = 49) does not; the nearest
// part wins; ties go to the point over its handles and to band A over band B.
TEST_F(EditorTest, PressGrabsTheNearestPartWithinSevenPixels)
{
  struct Case
  {
    const char* name;
    double aPoint, aRight, bPoint; // window x of A's point, A's right handle, B's point (y = 200)
    int aOn;
    int pressX;
    std::vector<int> expectChanged; // band parameters changed by the drag
  };
  const Case cases[] = {
      {"six pixels grabs", 100, -1000, -1000, 1, 106, {4, 8}},
      {"seven pixels misses", 100, -1000, -1000, 1, 107, {}},
      {"nearer handle wins", 100, 104, -1000, 1, 103, {12}},
      {"tie: point over handle", 100, 106, -1000, 1, 103, {4, 8}},
      {"tie: band A over band B", 100, -1000, 106, 1, 103, {4, 8}},
      {"a band that is off is never hit", 100, -1000, -1000, 0, 100, {}},
      {"outside the plot nothing is hit", 20, -1000, -1000, 1, 20, {}},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    Recreate(); // a fresh instance for every case
    SetParam(kParamBandOn, c.aOn);
    ProcessBlock();
    DrawFrames(1);
    InstanceState& s = State();
    for (BandPoint& b : s.bandTable) PlaceFar(b);
    s.bandTable[0].pointScreenX = c.aPoint;
    s.bandTable[0].pointScreenY = 200;
    s.bandTable[0].rightHandleX = c.aRight;
    s.bandTable[0].rightHandleY = 200;
    s.bandTable[1].pointScreenX = c.bPoint;
    s.bandTable[1].pointScreenY = 200;
    const std::vector<double> before = BandParams(*plug);
    DragFromTo(c.pressX, 200, c.pressX - 2, 170);
    ProcessBlock();
    EXPECT_EQ(Changed(before, BandParams(*plug)), c.expectChanged);
  }
}

// Dragging a point past the plot's corners stops at 20 Hz .. 20 kHz and the curve's floor and
// ceiling; the floor reads "-INF" in the label.
TEST_F(EditorTest, PointDragStopsAtThePlotCorners)
{
  DrawFrames(1);
  const BandPoint& a = State().bandTable[0];
  const int x = static_cast<int>(std::lround(a.pointScreenX));
  const int y = static_cast<int>(std::lround(a.pointScreenY));
  Down(x, y);
  Drag(-100, 2000);
  EXPECT_EQ(Label(), "Band A : freq: 20.0 Hz - gain: -INF dB");
  Up(-100, 2000);
  ProcessBlock();
  // Relative 1e-12: the round trip through the log mapping costs a few ulps.
  EXPECT_NEAR(Param(kParamBandFreq), 20.0, 20.0 * 1e-12);
  EXPECT_NEAR(Param(kParamBandGain), kCurveDbFloor, 1e-9);
  EXPECT_EQ(Label(), "");

  DrawFrames(1);
  Down(static_cast<int>(std::lround(a.pointScreenX)),
       static_cast<int>(std::lround(a.pointScreenY)));
  Drag(2000, -100);
  Up(2000, -100);
  ProcessBlock();
  EXPECT_NEAR(Param(kParamBandFreq), 20000.0, 20000.0 * 1e-12);
  EXPECT_NEAR(Param(kParamBandGain), 60.0, 1e-9);
}

// A right handle of a band at 1 kHz dragged up and to its right sets the slope of the straight line
// from the point to the pointer; left of the handle, the handle's own distance is the lever.
TEST_F(EditorTest, HandleDragFollowsTheLeverRule)
{
  SetParam(kParamBandFreq + 1, 1000.0);
  ProcessBlock();
  DrawFrames(1);
  const BandPoint& b = State().bandTable[1];
  const int rx = static_cast<int>(std::lround(b.rightHandleX));
  const int ry = static_cast<int>(std::lround(b.rightHandleY));
  const double handleFreq = 20.0 * std::pow(1000.0, b.rightX);
  ASSERT_GT(handleFreq, 1000.0);

  struct Case
  {
    const char* name;
    int x, y;
    double leverFreq; // frequency at the far end of the lever
  };
  const Case cases[] = {
      {"pointer right of the handle", rx + 20, ry - 100, FreqAtX(rx + 20)},
      {"pointer left of the handle", rx - 10, ry - 100, handleFreq},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    SetParam(kParamBandSlope + 1, 0.0);
    ProcessBlock();
    DrawFrames(1);
    DragFromTo(rx, ry, c.x, c.y);
    ProcessBlock();
    const double expected = (CurveDbAtY(c.y) - 1e-6) / std::log2(c.leverFreq / 1000.0);
    // 1e-9 dB/octave: the mapping's rounding, far below a displayed tenth.
    EXPECT_NEAR(Param(kParamBandSlope + 1), expected, 1e-9);
    EXPECT_GT(expected, 1.0); // the lever case differs from a flat slope
  }
}

// Gain Scale 0: presses still select bands and show their texts, but drags change nothing. Gain
// Scale 0.5: the band slope stops at 50 dB per octave (parameter 100).
TEST_F(EditorTest, GainScaleLimitsDrags)
{
  SetParam(kParamGainScale, 0.0);
  ProcessBlock();
  DrawFrames(1);
  const BandPoint& b = State().bandTable[1];
  const std::vector<double> before = BandParams(*plug);
  Down(static_cast<int>(std::lround(b.pointScreenX)),
       static_cast<int>(std::lround(b.pointScreenY)));
  EXPECT_EQ(Label().rfind("Band B :", 0), 0u) << Label();
  EXPECT_EQ(State().selectedBand, 1);
  EXPECT_EQ(Graphics()->GetControl(kControlBandGain)->GetParamIdx(), kParamBandGain + 1);
  EXPECT_EQ(Graphics()->GetControl(kControlBandFreq)->GetParamIdx(), kParamBandFreq + 1);
  EXPECT_EQ(Graphics()->GetControl(kControlBandSlope)->GetParamIdx(), kParamBandSlope + 1);
  Drag(400, 100);
  Up(400, 100);
  ProcessBlock();
  ExpectUnchanged(before, BandParams(*plug));

  SetParam(kParamGainScale, 0.5);
  ProcessBlock();
  DrawFrames(1);
  const int rx = static_cast<int>(std::lround(b.rightHandleX));
  const int ry = static_cast<int>(std::lround(b.rightHandleY));
  Down(rx, ry);
  Drag(rx + 1, -5000);
  EXPECT_EQ(State().bandTable[1].slope, 50.0);
  Up(rx + 1, -5000);
  ProcessBlock();
  EXPECT_EQ(Param(kParamBandSlope + 1), 100.0);
}

// Double-click: adds the first band that is off at the pointer, selected, with slope 0; removes
// the band under the pointer; with every band on, acts as a press.
TEST_F(EditorTest, DoubleClickAddsAndRemovesBands)
{
  SetParam(kParamBandOn + 1, 0.0);
  SetParam(kParamBandOn + 3, 0.0);
  SetParam(kParamBandSlope + 1, 12.0);
  ProcessBlock();
  DrawFrames(1);
  DoubleClick(300, 150);
  EXPECT_EQ(State().selectedBand, 1);
  EXPECT_EQ(Graphics()->GetControl(kControlBandGain)->GetParamIdx(), kParamBandGain + 1);
  ProcessBlock();
  EXPECT_EQ(Param(kParamBandOn + 1), 1.0);
  EXPECT_EQ(Param(kParamBandOn + 3), 0.0);
  EXPECT_NEAR(Param(kParamBandFreq + 1), FreqAtX(300), FreqAtX(300) * 1e-12);
  EXPECT_NEAR(Param(kParamBandGain + 1), CurveDbAtY(150), 1e-9);
  EXPECT_EQ(Param(kParamBandSlope + 1), 0.0);
  // The rebuild left the values for the editor, whose next pass moves the knobs to the new band.
  Graphics()->ApplyParameterValues();
  for (int k : {kControlBandGain, kControlBandFreq, kControlBandSlope})
  {
    IControl* knob = Graphics()->GetControl(k);
    EXPECT_DOUBLE_EQ(knob->GetValue(), plug->GetParam(knob->GetParamIdx())->ToNormalised());
  }

  // Remove band C; the knobs keep pointing at the selected band B.
  DrawFrames(1);
  const BandPoint& c = State().bandTable[2];
  DoubleClick(static_cast<int>(std::lround(c.pointScreenX)),
              static_cast<int>(std::lround(c.pointScreenY)));
  ProcessBlock();
  EXPECT_EQ(Param(kParamBandOn + 2), 0.0);
  EXPECT_EQ(Graphics()->GetControl(kControlBandGain)->GetParamIdx(), kParamBandGain + 1);

  // All bands on: a double-click on a handle acts as a press on it (it selects the band and shows
  // the grab text) and adds or removes nothing.
  SetParam(kParamBandOn + 2, 1.0);
  SetParam(kParamBandOn + 3, 1.0);
  ProcessBlock();
  DrawFrames(1);
  const BandPoint& d = State().bandTable[3];
  DoubleClick(static_cast<int>(std::lround(d.rightHandleX)),
              static_cast<int>(std::lround(d.rightHandleY)));
  EXPECT_EQ(Label().rfind("Band D, top handle", 0), 0u) << Label();
  EXPECT_EQ(State().selectedBand, 3);
  EXPECT_EQ(Graphics()->GetControl(kControlBandSlope)->GetParamIdx(), kParamBandSlope + 3);
  Up(0, 0);
  ProcessBlock();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Param(kParamBandOn + i), 1.0);
}

// Gain Scale 0 makes every band flat, so a band added by double-click takes the pointer's
// frequency with 0 dB and 0 dB per octave, and the other bands keep their gains and slopes.
TEST_F(EditorTest, DoubleClickAddWithGainScaleZeroKeepsTheOtherBands)
{
  SetParam(kParamBandOn + 1, 0.0);
  SetParam(kParamBandGain + 1, 20.0);
  SetParam(kParamBandGain, -12.0);
  SetParam(kParamBandSlope, 6.0);
  SetParam(kParamGainScale, 0.0);
  ProcessBlock();
  DrawFrames(1);
  DoubleClick(300, 150);
  ProcessBlock();
  EXPECT_EQ(Param(kParamBandOn + 1), 1.0);
  EXPECT_NEAR(Param(kParamBandFreq + 1), FreqAtX(300), FreqAtX(300) * 1e-12);
  EXPECT_EQ(Param(kParamBandGain + 1), 0.0);
  EXPECT_EQ(Param(kParamBandSlope + 1), 0.0);
  EXPECT_EQ(Param(kParamBandGain), -12.0);
  EXPECT_EQ(Param(kParamBandSlope), 6.0);
  // Removing a band at Gain Scale 0 keeps the others too.
  DrawFrames(1);
  const BandPoint& c = State().bandTable[2];
  DoubleClick(static_cast<int>(std::lround(c.pointScreenX)),
              static_cast<int>(std::lround(c.pointScreenY)));
  ProcessBlock();
  EXPECT_EQ(Param(kParamBandOn + 2), 0.0);
  EXPECT_EQ(Param(kParamBandGain), -12.0);
  EXPECT_EQ(Param(kParamBandSlope), 6.0);
}

// A band whose gain was "-INF" before it was switched off, added again at Gain Scale 0: its
// gain and slope read 0 dB and 0 dB per octave, and the curve is what those values give (every
// band at Overall Gain), not silent at the new point.
TEST_F(EditorTest, DoubleClickAddWithGainScaleZeroDrawsWhatItsParametersGive)
{
  SetParam(kParamBandOn + 1, 0.0);
  SetParam(kParamBandGain + 1, kCurveDbFloor);
  SetParam(kParamBandSlope + 1, 24.0);
  SetParam(kParamOverallGain, -6.0);
  SetParam(kParamGainScale, 0.0);
  ProcessBlock();
  DrawFrames(1);
  DoubleClick(300, 150);
  ProcessBlock();
  ASSERT_EQ(Param(kParamBandOn + 1), 1.0);
  EXPECT_EQ(Param(kParamBandGain + 1), 0.0);
  EXPECT_EQ(Param(kParamBandSlope + 1), 0.0);
  BandPoint fromParams[kBandCount];
  BandsFromParams(*State().host, fromParams);
  for (int b = 0; b < kBandCount; ++b)
  {
    EXPECT_EQ(State().bandTable[b].gain, fromParams[b].gain) << b;
    EXPECT_EQ(State().bandTable[b].slope, fromParams[b].slope) << b;
  }
  // Flat at -6 dB through the new point (column 268): equal gains and zero slopes make the
  // segments constant up to rounding (1e-15); silence there would read 0.
  const double flat = std::pow(10.0, -6.0 / 20.0);
  for (int column : {0, 200, 268, 511})
    EXPECT_NEAR(State().displayCurve[511 - column], flat, 1e-12) << column;
}

// Hover texts: frequency and true dB under the pointer; four characters without decimals from
// 100 Hz, one decimal below; the bottom row prints minus infinity as the C library does. Outside
// the plot the label is emptied. Hovering changes no parameter.
TEST_F(EditorTest, HoverTextsShowThePointerValues)
{
  DrawFrames(1);
  const std::vector<double> before = BandParams(*plug);
  const struct
  {
    int x, y;
    const char* text;
  } cases[] = {
      {32 + 255, 32, "freq:  628 Hz - gain: 60.0 dB"},
      {32 + 60, 32, "freq: 45.0 Hz - gain: 60.0 dB"},
      {32 + 119, 32, "freq: 99.9 Hz - gain: 60.0 dB"},
      {32 + 120, 32, "freq:  101 Hz - gain: 60.0 dB"},
      {32 + 60, 543, "freq: 45.0 Hz - gain: -inf dB"},
      {32 + 511, 32 + 511 - 272, "freq: 20000 Hz - gain: -0.2 dB"},
      {600, 560, ""},
  };
  for (const auto& c : cases)
  {
    Over(c.x, c.y);
    EXPECT_EQ(Label(), c.text) << c.x << "," << c.y;
  }
  ProcessBlock();
  ExpectUnchanged(before, BandParams(*plug));
}

// Grab texts of a point and both handles, and the hover state the next frame draws from.
TEST_F(EditorTest, GrabTextsNameTheBandAndPart)
{
  DrawFrames(1);
  const BandPoint& a = State().bandTable[0];
  const struct
  {
    double x, y;
    const char* text;
  } cases[] = {
      {a.pointScreenX, a.pointScreenY, "Band A : freq: 80.0 Hz - gain: 0.0 dB"},
      {a.rightHandleX, a.rightHandleY,
       "Band A, top handle : freq: 80.0 Hz - slope: 0.0  dB/octave"},
      {a.leftHandleX, a.leftHandleY,
       "Band A, bottom handle : freq: 80.0 Hz - slope: 0.0  dB/octave"},
  };
  int part = 0;
  for (const auto& c : cases)
  {
    const int x = static_cast<int>(std::lround(c.x)), y = static_cast<int>(std::lround(c.y));
    Over(x, y);
    EXPECT_EQ(State().view->hoverActive, 1);
    EXPECT_EQ(State().view->hoverPart, part++);
    Down(x, y);
    EXPECT_EQ(Label(), c.text);
    Up(x, y);
    EXPECT_EQ(Label(), "");
  }
}

// Bad input from a view: positions far outside the window, drags without a press, releases
// without a press, and a wheel over the plot change nothing and do not crash.
TEST_F(EditorTest, StrayMouseInputChangesNothing)
{
  DrawFrames(1);
  const std::vector<double> before = BandParams(*plug);
  Drag(100, 100);
  Up(-5, -5);
  Down(-2147483000, 2147483000);
  Drag(2147483000, -2147483000);
  Up(0, 0);
  Over(-2147483000, 5);
  DoubleClick(100000, 100000);
  Graphics()->OnMouseWheel(200, 200, IMouseState{}, 3);
  DrawFrames(2);
  ProcessBlock();
  ExpectUnchanged(before, BandParams(*plug));
}

// After an edit in the plot the rebuild writes the band parameters and pushes them through the
// graphics object into the knobs bound to them (the selected band's three, and the globals), and
// asks the host to refresh its display.
// A drag in the plot is a host-recorded edit: begin-gestures for the parameters it moves at the
// press, their values as the pointer moves, end-gestures at the release. The last values the host
// hears are those the plug-in holds, and the curve drawn from them is the one the drag drew, so
// replaying the host's automation gives the same curve. The knobs follow at the editor's next pass.
TEST_F(EditorTest, PlotDragIsRecordedAsAHostGesture)
{
  SetParam(kParamTranspose, 12.0);
  ProcessBlock();
  DrawFrames(1);
  const BandPoint& c = State().bandTable[2];
  const int x = static_cast<int>(std::lround(c.pointScreenX));
  const int y = static_cast<int>(std::lround(c.pointScreenY));
  plug->mCalls.clear();
  Down(x, y);
  Drag(x + 20, y - 40);
  Drag(x + 40, y - 80);
  Up(x + 40, y - 80);
  const int gain = kParamBandGain + 2, freq = kParamBandFreq + 2;
  std::vector<std::string> order;
  for (const auto& call : plug->mCalls)
    if (call.name != "Refresh") order.push_back(call.name + " " + std::to_string(call.index));
  // The press also puts the band's values on its knobs, which may send them again: between the
  // begins and the ends there are only values of these two, at least one per move.
  ASSERT_GE(order.size(), 8u);
  EXPECT_EQ(order[0], "Begin " + std::to_string(gain));
  EXPECT_EQ(order[1], "Begin " + std::to_string(freq));
  EXPECT_EQ(order[order.size() - 2], "End " + std::to_string(gain));
  EXPECT_EQ(order.back(), "End " + std::to_string(freq));
  int informs[2] = {0, 0};
  for (size_t i = 2; i + 2 < order.size(); ++i)
  {
    informs[0] += order[i] == "Inform " + std::to_string(gain);
    informs[1] += order[i] == "Inform " + std::to_string(freq);
    EXPECT_EQ(order[i].rfind("Inform ", 0), 0u) << order[i];
  }
  EXPECT_GE(informs[0], 2);
  EXPECT_GE(informs[1], 2);
  // The last value sent for each is the parameter's value now; the frequency is the pointer's an
  // octave down (Transpose +12). 1e-12 relative: one pow and one log of difference.
  for (int index : {gain, freq})
  {
    double last = -1.0;
    for (const auto& call : plug->mCalls)
      if (call.name == "Inform" && call.index == index) last = call.value;
    EXPECT_DOUBLE_EQ(last, plug->GetParam(index)->ToNormalised()) << index;
  }
  EXPECT_NEAR(Param(freq), FreqAtX(x + 40) / 2.0, FreqAtX(x + 40) * 1e-12);
  EXPECT_NEAR(Param(gain), CurveDbAtY(y - 80), 1e-9);

  // The rebuild draws the curve of those parameters: the same as a fresh instance given them.
  IControl* gainKnob = Graphics()->GetControl(kControlBandGain);
  ProcessBlock();
  DrawFrames(1);
  EXPECT_DOUBLE_EQ(gainKnob->GetValue(), plug->GetParam(gain)->ToNormalised());
  std::vector<double> dragged(State().displayCurveCopy, State().displayCurveCopy + kPlotSize);
  std::vector<double> values;
  for (int i = 0; i < kTarvexParamCount; ++i) values.push_back(Param(i));
  Recreate();
  for (int i = 0; i < kTarvexParamCount; ++i) SetParam(i, values[i]);
  ProcessBlock();
  DrawFrames(1);
  for (int col = 0; col < kPlotSize; ++col)
    ASSERT_NEAR(State().displayCurveCopy[col], dragged[static_cast<size_t>(col)], 1e-9) << col;
}

// Whatever the user did last wins: a press on another point, a knob turn or a double-click right
// after a drag, before any rebuild, keeps the drag.
TEST_F(EditorTest, NothingUndoesAPlotEditBeforeTheRebuild)
{
  const struct
  {
    const char* what;
    int next; // 0: press band C's point, 1: turn the Overall Gain knob, 2: host sets band D's gain
  } cases[] = {{"press on another point", 0}, {"knob turn", 1}, {"host change", 2}};
  for (const auto& k : cases)
  {
    SCOPED_TRACE(k.what);
    Recreate();
    ProcessBlock();
    DrawFrames(1);
    const BandPoint& a = State().bandTable[0];
    const int x = static_cast<int>(std::lround(a.pointScreenX));
    const int y = static_cast<int>(std::lround(a.pointScreenY));
    DragFromTo(x, y, x + 30, y - 60);
    const double gain = Param(kParamBandGain), freq = Param(kParamBandFreq);
    EXPECT_GT(gain, 5.0);
    if (k.next == 0)
    {
      const BandPoint& c = State().bandTable[2];
      Down(static_cast<int>(std::lround(c.pointScreenX)),
           static_cast<int>(std::lround(c.pointScreenY)));
      Up(static_cast<int>(std::lround(c.pointScreenX)),
         static_cast<int>(std::lround(c.pointScreenY)));
    }
    else if (k.next == 1)
      DragFromTo(648, 162, 648, 150); // Overall Gain
    else
      SetParam(kParamBandGain + 3, -6.0);
    ProcessBlock();
    DrawFrames(1);
    EXPECT_EQ(Param(kParamBandGain), gain);
    EXPECT_EQ(Param(kParamBandFreq), freq);
    // The band table, and so the curve, keeps band A where the drag left it.
    EXPECT_NEAR(State().bandTable[0].freq, freq, freq * 1e-12);
  }
}

// The preferences file is written once, 40 frames after the last change of a global setting.
TEST_F(EditorTest, PreferencesWrittenFortyFramesAfterTheLastChange)
{
  const std::string file = std::string(getenv("XDG_CONFIG_HOME")) + "/Tarvex Preferences.dat";
  for (int i = 0; i < 3; ++i)
  {
    SetParam(kParamLimiter, -3.0 * (i + 1));
    DrawFrames(5);
  }
  DrawFrames(34);
  EXPECT_NE(access(file.c_str(), F_OK), 0) << "39 frames after the last change";
  DrawFrames(1);
  ASSERT_EQ(access(file.c_str(), F_OK), 0) << "40 frames after the last change";
  unlink(file.c_str());
  DrawFrames(60);
  EXPECT_NE(access(file.c_str(), F_OK), 0) << "written once";
}
