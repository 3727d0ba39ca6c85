// The views' platform-neutral half: coordinates, modifier bits, wheel, frame clock, click counting,
// prompt layout, prompt close rules and prompt results.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

#include "core/IParam.h"
#include "graphics/IGraphicsView.h"
#include "tests/graphics/GraphicsTestSupport.h"

namespace
{
constexpr int kH = 576;

TEST(ViewCoordinates, CocoaPointsAndRectanglesFlipAroundTheEditorHeight)
{
  struct PointCase
  {
    double px, py;
    int x, y;
  };
  const PointCase points[] = {
      {10.7, 565.2, 10, 11},                        // truncated before the flip
      {0.0, 0.0, 0, 576},                           // bottom-left corner of the view
      {751.99, 576.0, 751, 0}, {-0.5, 0.3, 0, 576}, // truncation is towards zero
      {-3.7, 600.9, -3, -24},
  };
  for (const PointCase& c : points)
  {
    int x = 99, y = 99;
    CocoaPointToEditor(c.px, c.py, kH, &x, &y);
    EXPECT_EQ(x, c.x) << c.px << "," << c.py;
    EXPECT_EQ(y, c.y) << c.px << "," << c.py;
  }
  CocoaPointToEditor(std::nan(""), 1e30, kH, nullptr, nullptr); // no crash without outputs

  EXPECT_EQ(CocoaRectToEditor(0, 0, 752, 576, kH), IRECT(0, 0, 752, 576));
  EXPECT_EQ(CocoaRectToEditor(584.9, 414.2, 128.7, 86.1, kH), IRECT(584, 76, 712, 162));
  EXPECT_EQ(EditorRectToCocoa(IRECT(584, 76, 712, 162), kH), (IViewRect{584, 414, 128, 86}));
  EXPECT_EQ(EditorRectToTopLeft(IRECT(584, 76, 712, 162)), (IViewRect{584, 76, 128, 86}));
  // Editor to view and back is the identity for whole pixels.
  for (const IRECT& r : {IRECT(0, 0, 752, 576), IRECT(1, 2, 3, 4), IRECT(700, 500, 752, 576)})
  {
    const IViewRect v = EditorRectToCocoa(r, kH);
    EXPECT_EQ(CocoaRectToEditor(v.x, v.y, v.w, v.h, kH), r);
  }
}

struct ModsCase
{
  const char* name;
  IMouseState mods;
  bool left, right, shift, ctrl, alt;
};

void ExpectMods(const ModsCase& c)
{
  EXPECT_EQ(c.mods.left, c.left) << c.name;
  EXPECT_EQ(c.mods.right, c.right) << c.name;
  EXPECT_EQ(c.mods.shift, c.shift) << c.name;
  EXPECT_EQ(c.mods.ctrl, c.ctrl) << c.name;
  EXPECT_EQ(c.mods.alt, c.alt) << c.name;
}

TEST(ViewMouseState, ModifierBitsOfEachPlatform)
{
  const uint64_t shift = 1ull << 17, control = 1ull << 18, option = 1ull << 19,
                 command = 1ull << 20;
  const ModsCase cases[] = {
      {"cocoa plain", MouseStateFromCocoa(0, false), true, false, false, false, false},
      {"cocoa command-click", MouseStateFromCocoa(command, false), true, true, false, false, false},
      {"cocoa shift", MouseStateFromCocoa(shift, false), true, false, true, false, false},
      {"cocoa control", MouseStateFromCocoa(control, false), true, false, false, true, false},
      {"cocoa option", MouseStateFromCocoa(option, false), true, false, false, false, true},
      {"cocoa all", MouseStateFromCocoa(shift | control | option | command, false), true, true,
       true, true, true},
      {"cocoa other bits", MouseStateFromCocoa(~(shift | control | option | command), false), true,
       false, false, false, false},
      {"cocoa right button", MouseStateFromCocoa(shift, true), false, true, true, false, false},
      {"carbon button 1", MouseStateFromCarbon(0, 1), true, false, false, false, false},
      {"carbon button 2", MouseStateFromCarbon(0, 2), true, true, false, false, false},
      {"carbon command-click", MouseStateFromCarbon(1u << 8, 1), true, true, false, false, false},
      {"carbon command, button 3", MouseStateFromCarbon(1u << 8, 3), true, false, false, false,
       false},
      {"carbon shift", MouseStateFromCarbon(1u << 9, 1), true, false, true, false, false},
      {"carbon option", MouseStateFromCarbon(1u << 11, 1), true, false, false, false, true},
      {"carbon control", MouseStateFromCarbon(1u << 12, 1), true, false, false, true, false},
      {"x11 plain", MouseStateFromX11(0, false), true, false, false, false, false},
      {"x11 button 3", MouseStateFromX11(0, true), false, true, false, false, false},
      {"x11 shift", MouseStateFromX11(1u << 0, false), true, false, true, false, false},
      {"x11 lock is not shift", MouseStateFromX11(1u << 1, false), true, false, false, false,
       false},
      {"x11 control", MouseStateFromX11(1u << 2, false), true, false, false, true, false},
      {"x11 alt", MouseStateFromX11(1u << 3, false), true, false, false, false, true},
      {"x11 button masks ignored", MouseStateFromX11(0x1f00, false), true, false, false, false,
       false},
  };
  for (const ModsCase& c : cases) ExpectMods(c);
}

TEST(ViewWheel, DeltaIsTruncatedTowardsZero)
{
  const struct
  {
    double in;
    int out;
  } cases[] = {{0.9, 0},  {-0.9, 0},         {-1.7, -1},      {1.0, 1},
               {3.99, 3}, {std::nan(""), 0}, {1e20, INT_MAX}, {-1e20, INT_MIN}};
  for (const auto& c : cases) EXPECT_EQ(WheelDeltaFromScroll(c.in), c.out) << c.in;
}

TEST(ViewFrameClock, TicksAtTheFrameRateWithoutCatchUpBursts)
{
  IFrameClock clock(60);
  EXPECT_EQ(clock.IntervalNs(), 16666666);
  EXPECT_EQ(IFrameClock(0).IntervalNs(), 1000000000 / 24); // a rate below 1 is 24
  clock.Start(1000);
  EXPECT_FALSE(clock.Due(1000));
  EXPECT_EQ(clock.WaitNs(1000), 16666666);
  EXPECT_TRUE(clock.Due(1000 + 16666666));
  EXPECT_FALSE(clock.Due(1000 + 16666667)); // one frame per interval
  EXPECT_TRUE(clock.Due(1000 + 2 * 16666666));
  // Half a second late: one frame now, the next a whole interval later.
  const int64_t late = 1000 + 500000000;
  EXPECT_TRUE(clock.Due(late));
  EXPECT_FALSE(clock.Due(late + 1));
  EXPECT_EQ(clock.WaitNs(late), 16666666);
  EXPECT_TRUE(clock.Due(late + 16666666));
}

TEST(ViewRedraw, TimerCollectsTheUnionOfDirtyControlsFromAnEmptyRect)
{
  Log log; // outlives the controls, which log their deletion
  TestPlug plug;
  RecordingGraphics graphics(&plug, 752, 576, 60);
  graphics.AddControl(new ProbeControl(&log, "a", &plug, IRECT(10, 10, 20, 20)));
  graphics.AddControl(new ProbeControl(&log, "b", &plug, IRECT(100, 50, 120, 60)));
  IRECT dirty(1, 1, 700, 500); // whatever the caller held is ignored
  ASSERT_TRUE(CollectRedraw(&graphics, &dirty));
  EXPECT_EQ(dirty, IRECT(10, 10, 120, 60));
  graphics.Draw(dirty);
  ASSERT_FALSE(CollectRedraw(&graphics, &dirty));
  EXPECT_TRUE(dirty.Empty());
  graphics.GetControl(1)->SetValueFromUser(0.5); // dirty for two passes
  ASSERT_TRUE(CollectRedraw(&graphics, &dirty));
  EXPECT_EQ(dirty, IRECT(100, 50, 120, 60));
  EXPECT_FALSE(CollectRedraw(nullptr, &dirty));
  EXPECT_FALSE(CollectRedraw(&graphics, nullptr));
}

TEST(ViewClicks, DoubleClickNeedsTheSameButtonPlaceAndTime)
{
  struct Press
  {
    int button, x, y;
    int64_t ms;
    int count;
  };
  const struct
  {
    const char* name;
    std::vector<Press> presses;
  } cases[] = {
      {"quick pair", {{1, 10, 10, 0, 1}, {1, 10, 10, 200, 2}}},
      {"at the interval", {{1, 10, 10, 0, 1}, {1, 10, 10, 400, 2}}},
      {"too slow", {{1, 10, 10, 0, 1}, {1, 10, 10, 401, 1}}},
      {"within the slop", {{1, 10, 10, 0, 1}, {1, 14, 6, 100, 2}}},
      {"moved too far", {{1, 10, 10, 0, 1}, {1, 15, 10, 100, 1}}},
      {"other button", {{1, 10, 10, 0, 1}, {3, 10, 10, 100, 1}}},
      {"third press starts over", {{1, 10, 10, 0, 1}, {1, 10, 10, 100, 2}, {1, 10, 10, 200, 1}}},
      {"clock going back", {{1, 10, 10, 500, 1}, {1, 10, 10, 100, 1}}},
  };
  for (const auto& c : cases)
  {
    IClickCounter counter;
    for (const Press& p : c.presses)
      EXPECT_EQ(counter.Press(p.button, p.x, p.y, p.ms), p.count) << c.name << " at " << p.ms;
  }
  IClickCounter counter;
  counter.Press(1, 0, 0, 0);
  counter.Reset();
  EXPECT_EQ(counter.Press(1, 0, 0, 10), 1);
}

// A plug-in whose parameters cover the prompt's kinds.
class PromptPlug : public TestPlug
{
public:
  enum
  {
    kSwitch,
    kEnum,
    kNumber,
    kNegated,
    kIntWithTexts,
  };
  PromptPlug() : TestPlug(5)
  {
    // The test plug-in made every parameter continuous; the kinds are set before the set-up.
    GetParam(kSwitch)->mType = IParam::kTypeBool;
    GetParam(kSwitch)->SetupSwitch("Switch", true);
    IParam* e = GetParam(kEnum);
    e->mType = IParam::kTypeEnum;
    e->SetupInteger("Enum", 2, 0, 3);
    for (const char* t : {"RGB", "CMY", "CMYW", "RGBW"}) e->AddValueText(e->ValueTextCount(), t);
    GetParam(kNumber)->SetupContinuous("Number", 1.0, -10.0, 10.0, 0.01, "dB");
    GetParam(kNegated)->SetupContinuous("Negated", -2.0, -10.0, 10.0, 0.01);
    GetParam(kNegated)->mNegateDisplay = true;
    GetParam(kIntWithTexts)->mType = IParam::kTypeInt;
    GetParam(kIntWithTexts)->SetupInteger("Int", 0, 0, 5);
    GetParam(kIntWithTexts)->AddValueText(0, "none");
  }
};

TEST(ViewPrompt, LayoutFollowsTheCocoaAndCarbonRules)
{
  PromptPlug plug;
  IKnobControl knob(&plug, IRECT(559, 51, 609, 101), 0); // centre (584, 76)
  struct Case
  {
    const char* name;
    int param;
    EPromptPlatform platform;
    EPromptKind kind;
    IRECT rect;
    IViewRect view;
    const char* text;
    int selected;
  };
  const Case cases[] = {
      // "off" and "on": w = 8 x 3 + 24 = 48.
      {"switch, cocoa",
       PromptPlug::kSwitch,
       kPromptCocoa,
       kPromptList,
       IRECT(560, 76, 608, 102),
       {560, 474, 48, 26},
       "on",
       1},
      // "CMYW", "RGBW": 8 x 4 + 24 = 56.
      {"enum, cocoa",
       PromptPlug::kEnum,
       kPromptCocoa,
       kPromptList,
       IRECT(556, 76, 612, 102),
       {556, 474, 56, 26},
       "CMYW",
       2},
      {"enum, carbon",
       PromptPlug::kEnum,
       kPromptCarbon,
       kPromptList,
       IRECT(556, 76, 612, 98),
       {556, 76, 56, 22},
       "CMYW",
       2},
      {"number, cocoa",
       PromptPlug::kNumber,
       kPromptCocoa,
       kPromptTextField,
       IRECT(563, 65, 605, 86),
       {563, 490, 42, 21},
       "1.00",
       -1},
      {"number, carbon",
       PromptPlug::kNumber,
       kPromptCarbon,
       kPromptTextField,
       IRECT(568, 69, 600, 83),
       {568, 69, 32, 14},
       "1.00",
       -1},
      // Display texts on an integer parameter do not make a list.
      {"int with texts",
       PromptPlug::kIntWithTexts,
       kPromptCocoa,
       kPromptTextField,
       IRECT(563, 65, 605, 86),
       {563, 490, 42, 21},
       "none",
       -1},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    IPromptLayout layout;
    ASSERT_TRUE(LayoutPrompt(&knob, plug.GetParam(c.param), kH, c.platform, &layout));
    EXPECT_EQ(layout.mKind, c.kind);
    EXPECT_EQ(layout.mRect, c.rect);
    EXPECT_EQ(layout.mViewRect, c.view);
    EXPECT_EQ(layout.mText, c.text);
    EXPECT_EQ(layout.mSelected, c.selected);
  }
  IPromptLayout layout;
  layout.mText = "kept";
  EXPECT_FALSE(LayoutPrompt(nullptr, plug.GetParam(0), kH, kPromptCocoa, &layout));
  EXPECT_FALSE(LayoutPrompt(&knob, nullptr, kH, kPromptCocoa, &layout));
  EXPECT_FALSE(LayoutPrompt(&knob, plug.GetParam(0), kH, kPromptCocoa, nullptr));
  EXPECT_EQ(layout.mText, "kept");
}

TEST(ViewPrompt, ClicksWhileOpen)
{
  const struct
  {
    EPromptPlatform platform;
    bool inside, right;
    bool close, apply, dispatch;
  } cases[] = {
      {kPromptCocoa, false, false, true, false, true}, // left elsewhere: cancel, then dispatch
      {kPromptCocoa, false, true, true, false, false}, // right elsewhere: cancel and stop
      {kPromptCocoa, true, false, false, false, false},
      {kPromptCocoa, true, true, false, false, false},
      {kPromptCarbon, false, false, true, true, true}, // applied, then handled
      {kPromptCarbon, false, true, true, false, false},
      {kPromptCarbon, true, false, false, false, false},
  };
  for (const auto& c : cases)
  {
    const IPromptClick click = DecidePromptClick(c.platform, c.inside, c.right);
    EXPECT_EQ(click.mClose, c.close) << c.platform << c.inside << c.right;
    EXPECT_EQ(click.mApply, c.apply) << c.platform << c.inside << c.right;
    EXPECT_EQ(click.mDispatch, c.dispatch) << c.platform << c.inside << c.right;
  }
}

TEST(ViewPrompt, EditingAndApplyingTheResult)
{
  PromptPlug plug;
  RecordingGraphics graphics(&plug, 752, 576, 60);
  auto* number = new IKnobControl(&plug, IRECT(0, 0, 50, 50), PromptPlug::kNumber);
  auto* negated = new IKnobControl(&plug, IRECT(0, 0, 50, 50), PromptPlug::kNegated);
  auto* list = new IKnobControl(&plug, IRECT(100, 100, 150, 150), PromptPlug::kEnum);
  graphics.AddControl(number);
  graphics.AddControl(negated);
  graphics.AddControl(list);
  IParam* numberParam = plug.GetParam(PromptPlug::kNumber);
  IParam* enumParam = plug.GetParam(PromptPlug::kEnum);

  struct Step
  {
    const char* name;
    IControl* control;
    IParam* param;
    std::function<void(IPromptEditor&)> edit;
    double expected; // normalised value of the control afterwards
  };
  const Step steps[] = {
      // Typing replaces the selected text; -3 in the parameter's units.
      {"typed -3", number, numberParam, [](IPromptEditor& p) { p.Type("-3"); },
       numberParam->ToNormalised(-3.0)},
      {"typed then edited", number, numberParam,
       [](IPromptEditor& p)
       {
         p.Type("4");
         p.Type(".55");
         p.Backspace();
       },
       numberParam->ToNormalised(4.5)},
      {"text without a number changes nothing", number, numberParam,
       [](IPromptEditor& p) { p.Type("abc"); }, numberParam->ToNormalised(4.5)},
      {"negated display", negated, plug.GetParam(PromptPlug::kNegated),
       [](IPromptEditor& p) { p.Type("3"); },
       plug.GetParam(PromptPlug::kNegated)->ToNormalised(-3.0)},
      // Lists: the selected index, or typed text found among the display texts.
      {"list down", list, enumParam, [](IPromptEditor& p) { p.MoveSelection(1); },
       enumParam->ToNormalised(3.0)},
      {"list clamps", list, enumParam, [](IPromptEditor& p) { p.MoveSelection(-9); },
       enumParam->ToNormalised(0.0)},
      {"list item chosen", list, enumParam, [](IPromptEditor& p) { p.Select(1); },
       enumParam->ToNormalised(1.0)},
      {"list typed", list, enumParam, [](IPromptEditor& p) { p.Type("RGBW"); },
       enumParam->ToNormalised(3.0)},
  };
  for (const Step& s : steps)
  {
    SCOPED_TRACE(s.name);
    IPromptEditor prompt;
    ASSERT_TRUE(prompt.Open(s.control, s.param, kH, kPromptCocoa));
    EXPECT_TRUE(prompt.AllSelected());
    EXPECT_FALSE(prompt.Open(s.control, s.param, kH, kPromptCocoa)); // one prompt at a time
    s.edit(prompt);
    prompt.Apply(&graphics);
    EXPECT_FALSE(prompt.IsOpen());
    EXPECT_NEAR(s.control->GetValue(), s.expected, 1e-12) << prompt.Text();
    // The control pushes its value on as the parameter: they agree.
    s.param->SetFromNormalised(s.control->GetValue());
  }

  // Cancelling applies nothing; edits on a closed prompt do nothing.
  const double before = number->GetValue();
  IPromptEditor prompt;
  ASSERT_TRUE(prompt.Open(number, numberParam, kH, kPromptCocoa));
  prompt.Type("9");
  prompt.Close();
  prompt.Type("7");
  prompt.Backspace();
  prompt.MoveSelection(1);
  prompt.Select(0);
  prompt.Apply(&graphics);
  EXPECT_EQ(number->GetValue(), before);
  EXPECT_FALSE(prompt.Open(nullptr, numberParam, kH, kPromptCocoa));
  EXPECT_FALSE(prompt.Open(number, nullptr, kH, kPromptCocoa));
  // Control characters are not text.
  ASSERT_TRUE(prompt.Open(number, numberParam, kH, kPromptCocoa));
  prompt.Type("\x1b\t\x7f");
  EXPECT_EQ(prompt.Text(), "");
  prompt.Close();
}

TEST(ViewPrompt, ListRowsAreTheDropDownUnderTheField)
{
  PromptPlug plug;
  IKnobControl knob(&plug, IRECT(100, 100, 150, 150), PromptPlug::kEnum);
  IPromptEditor prompt;
  ASSERT_TRUE(prompt.Open(&knob, plug.GetParam(PromptPlug::kEnum), kH, kPromptCocoa));
  const IRECT field = prompt.Layout().mRect;
  EXPECT_EQ(prompt.ListRowRect(0), IRECT(field.L, field.B, field.R, field.B + 16));
  EXPECT_EQ(prompt.ListRowAt(field.L, field.B + 16 * 3), 3);
  EXPECT_EQ(prompt.ListRowAt(field.L, field.B + 16 * 4), -1); // below the last row
  EXPECT_TRUE(prompt.Contains(field.L, field.T));
  EXPECT_FALSE(prompt.Contains(field.R, field.T));
  EXPECT_EQ(prompt.ListRowAt(field.L, field.T), -1); // the field itself is no row
}
} // namespace
