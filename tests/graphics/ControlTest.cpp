#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Resources.h"
#include "tests/graphics/GraphicsTestSupport.h"
#include "tests/graphics/PngTestFiles.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <sys/stat.h>

namespace
{
IMouseState Mods(bool shift = false, bool ctrl = false, bool right = false)
{
  IMouseState s;
  s.left = !right;
  s.right = right;
  s.shift = shift;
  s.ctrl = ctrl;
  return s;
}

// Sums of a few decimal steps in double precision; 1e-12 is far above their rounding and far below
// the smallest step (0.001).
constexpr double kTol = 1e-12;

// A plug-in with an attached graphics object holding one 50 x 50 knob bound to parameter 0.
class KnobFixture : public ::testing::Test
{
protected:
  KnobFixture() : graphics(new RecordingGraphics(&plug))
  {
    knob = new IKnobControl(&plug, IRECT(0, 0, 50, 50), 0, 0, 4.0);
    graphics->AddControl(knob);
    plug.AdoptGraphics(graphics);
    plug.log.clear();
  }
  TestPlug plug;
  RecordingGraphics* graphics;
  IKnobControl* knob;
};
} // namespace

TEST_F(KnobFixture, VerticalDragFollowsGearingAndFineAdjustment)
{
  knob->OnMouseDrag(0, 0, 0, -20, Mods()); // up 20 of 4 x 50 pixels
  EXPECT_NEAR(knob->GetValue(), 0.1, kTol);
  EXPECT_NEAR(plug.GetParam(0)->mValue, 0.1, kTol); // pushed through SetParameterFromGUI
  knob->OnMouseDrag(0, 0, 0, -20, Mods(true));
  EXPECT_NEAR(knob->GetValue(), 0.11, kTol);
  knob->OnMouseDrag(0, 0, 0, -20, Mods(false, true));
  EXPECT_NEAR(knob->GetValue(), 0.12, kTol);
  knob->OnMouseDrag(0, 0, 0, 30, Mods()); // down 30 of 200 pixels lowers it by 0.15
  EXPECT_EQ(knob->GetValue(), 0.0);       // 0.12 - 0.15, clamped
  knob->OnMouseDrag(0, 0, 0, 1000, Mods());
  EXPECT_EQ(knob->GetValue(), 0.0);         // clamped at the bottom
  knob->OnMouseDrag(0, 0, 0, -200, Mods()); // exactly one full sweep
  EXPECT_NEAR(knob->GetValue(), 1.0, kTol);
  knob->OnMouseDrag(0, 0, 0, -1, Mods());
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(plug.informed.back(), 1.0);
}

TEST(Knob, HorizontalDragUsesTheWidthAndFlatRectsAreSafe)
{
  TestPlug plug;
  IKnobControl wide(&plug, IRECT(0, 0, 100, 10), 1, 1, 2.0);
  wide.OnMouseDrag(0, 0, 50, -999, Mods()); // vertical motion is ignored
  EXPECT_NEAR(wide.GetValue(), 0.25, kTol);

  IKnobControl flat(&plug, IRECT(0, 10, 50, 10), 1, 0, 4.0);
  flat.SetValueFromUser(0.5);
  flat.OnMouseDrag(0, 0, 3, 0, Mods());
  flat.OnMouseDrag(0, 0, 0, 5, Mods());
  EXPECT_EQ(flat.GetValue(), 0.5);
  IKnobControl ungeared(&plug, IRECT(0, 0, 50, 50), 1, 0, 0.0);
  ungeared.SetValueFromUser(0.5);
  ungeared.OnMouseDrag(0, 0, 4, 0, Mods());
  EXPECT_EQ(ungeared.GetValue(), 0.5);
  EXPECT_FALSE(std::isnan(plug.GetParam(1)->mValue));
}

TEST_F(KnobFixture, WheelStepsClampAndPush)
{
  knob->SetValueFromUser(0.995);
  knob->OnMouseWheel(0, 0, Mods(), 1);
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(plug.informed.back(), 1.0);

  knob->SetValueFromUser(0.995);
  knob->OnMouseWheel(0, 0, Mods(true), 1);
  EXPECT_NEAR(knob->GetValue(), 0.996, kTol);
  knob->OnMouseWheel(0, 0, Mods(false, true), -2);
  EXPECT_NEAR(knob->GetValue(), 0.994, kTol);

  knob->OnMouseWheel(0, 0, Mods(), -200);
  EXPECT_EQ(knob->GetValue(), 0.0);
  const size_t pushes = plug.informed.size();
  knob->OnMouseWheel(0, 0, Mods(), 0); // still pushes the unchanged value
  EXPECT_EQ(plug.informed.size(), pushes + 1);
  EXPECT_EQ(plug.informed.back(), 0.0);
}

TEST(Control, DoubleClickRestoresTheFirstPluginValue)
{
  TestPlug plug;
  IKnobControl knob(&plug, IRECT(0, 0, 10, 10), 2);
  knob.SetValueFromUser(0.7);
  knob.OnMouseDoubleClick(0, 0, Mods());
  EXPECT_EQ(knob.GetValue(), 0.7); // no default known yet
  knob.SetValueFromPlugin(0.3);
  knob.SetValueFromPlugin(0.8);
  EXPECT_EQ(knob.GetDefaultValue(), 0.3);
  plug.informed.clear();
  knob.OnMouseDoubleClick(0, 0, Mods());
  EXPECT_EQ(knob.GetValue(), 0.3);
  EXPECT_EQ(plug.informed, (std::vector<double>{0.3}));
}

TEST(Control, DirtyCycleAndUnchangedValues)
{
  TestPlug plug;
  IKnobControl knob(&plug, IRECT(0, 0, 10, 10), 0);
  EXPECT_TRUE(knob.IsDirty()); // new controls are drawn once
  knob.MarkClean();
  EXPECT_FALSE(knob.IsDirty());
  knob.SetValueFromPlugin(0.4); // first value: dirty for two passes even though it equals nothing
  knob.MarkClean();
  EXPECT_TRUE(knob.IsDirty());
  knob.MarkClean();
  EXPECT_FALSE(knob.IsDirty());
  knob.SetValueFromPlugin(0.4);
  EXPECT_FALSE(knob.IsDirty());
  knob.SetValueFromUser(0.4); // equal: nothing pushed
  EXPECT_TRUE(plug.informed.empty());
  knob.SetValueFromUser(1.5); // compared before clamping, then clamped and pushed
  EXPECT_EQ(knob.GetValue(), 1.0);
  EXPECT_EQ(plug.informed, (std::vector<double>{1.0}));
  knob.SetValueFromUser(std::nan(""));
  EXPECT_EQ(knob.GetValue(), 0.0);
  knob.SetValueFromPlugin(-0.5); // later plug-in values are clamped too
  EXPECT_EQ(knob.GetValue(), 0.0);
  EXPECT_EQ(knob.GetDefaultValue(), 0.4);
}

TEST(Control, HitTestHideAndGrayOut)
{
  IKnobControl knob(nullptr, IRECT(10, 20, 30, 40), -1);
  EXPECT_TRUE(knob.HitTest(10, 20));
  EXPECT_TRUE(knob.HitTest(29, 39));
  EXPECT_FALSE(knob.HitTest(30, 30));
  EXPECT_FALSE(knob.HitTest(20, 40));
  EXPECT_FALSE(knob.HitTest(9, 30));
  IKnobControl nowhere(nullptr, IRECT(), -1);
  EXPECT_FALSE(nowhere.HitTest(0, 0));

  knob.MarkClean();
  knob.GrayOut(true);
  EXPECT_TRUE(knob.IsGrayed());
  EXPECT_EQ(knob.GetBlend().mWeight, 0.25f);
  EXPECT_TRUE(knob.IsDirty());
  knob.MarkClean();
  EXPECT_FALSE(knob.IsDirty()); // grey-out redraws once
  knob.GrayOut(false);
  EXPECT_EQ(knob.GetBlend().mWeight, 1.0f);

  knob.MarkClean();
  knob.Hide(true);
  knob.MarkClean();
  EXPECT_TRUE(knob.IsDirty()); // hiding redraws twice, so what was under it is repainted
  knob.MarkClean();
  EXPECT_FALSE(knob.IsDirty());
  // No plug-in: wheel and double-click change the value but push nothing and do not crash.
  knob.OnMouseWheel(0, 0, Mods(), 3);
  EXPECT_NEAR(knob.GetValue(), 0.03, kTol);
}

TEST_F(KnobFixture, RightClickPromptsOnlyForABoundControl)
{
  IKnobControl* unbound = new IKnobControl(&plug, IRECT(60, 0, 70, 10), -1);
  graphics->AddControl(unbound);
  unbound->OnMouseDown(60, 0, Mods(false, false, true));
  EXPECT_EQ(graphics->promptControl, nullptr);
  knob->OnMouseDown(5, 5, Mods()); // a left press is not a prompt
  EXPECT_EQ(graphics->promptControl, nullptr);
  knob->OnMouseDown(5, 5, Mods(false, false, true));
  EXPECT_EQ(graphics->promptControl, knob);
  EXPECT_EQ(graphics->promptParam, plug.GetParam(0));
  knob->SetParamIdx(99); // no such parameter: no prompt
  graphics->promptControl = nullptr;
  knob->PromptUserInput();
  EXPECT_EQ(graphics->promptControl, nullptr);
  EXPECT_TRUE(plug.log.empty());
}

TEST(ParameterFlow, HostChangesReachEveryBoundControl)
{
  TestPlug plug(3);
  plug.GetParam(1)->SetupContinuous("gain", 0.0, -60.0, 60.0, 0.01, "dB");
  plug.GetParam(1)->mValue = 30.0;
  RecordingGraphics* graphics = new RecordingGraphics(&plug, 752, 576);
  IControl* a = new IKnobControl(&plug, IRECT(0, 0, 10, 10), 1);
  IControl* b = new IKnobControl(&plug, IRECT(10, 0, 20, 10), 1);
  IControl* other = new IKnobControl(&plug, IRECT(20, 0, 30, 10), 2);
  graphics->AddControl(a);
  graphics->AddControl(b);
  graphics->AddControl(other);
  plug.AdoptGraphics(graphics);
  EXPECT_EQ(plug.GetGUI(), graphics);
  ASSERT_NE(graphics->GetDrawBitmap(), nullptr);
  EXPECT_EQ(graphics->GetDrawBitmap()->Width(), 752);
  EXPECT_EQ(a->GetValue(), 0.75);
  EXPECT_EQ(a->GetDefaultValue(), 0.75);
  EXPECT_EQ(b->GetValue(), 0.75);

  // A value from the plug-in waits for the editor thread's next pass; the last one wins.
  graphics->SetParameterFromPlugin(1, 0.9, true);
  graphics->SetParameterFromPlugin(1, -30.0, false); // real units
  EXPECT_EQ(a->GetValue(), 0.75);
  EXPECT_TRUE(graphics->ApplyParameterValues());
  EXPECT_EQ(a->GetValue(), 0.25);
  EXPECT_EQ(b->GetValue(), 0.25);
  EXPECT_EQ(other->GetValue(), 0.0);
  EXPECT_FALSE(graphics->ApplyParameterValues()); // nothing left
  graphics->SetParameterFromPlugin(2, 0.6, true);
  IRECT dirty;
  graphics->CollectDirtyRect(&dirty); // a redraw pass moves the values first
  EXPECT_EQ(other->GetValue(), 0.6);
  EXPECT_EQ(a->GetValue(), 0.25);

  plug.GetParam(1)->mValue = 60.0;
  plug.PushParamsToEditor();
  graphics->ApplyParameterValues();
  EXPECT_EQ(a->GetValue(), 1.0);
  EXPECT_EQ(b->GetValue(), 1.0);
  EXPECT_EQ(other->GetValue(), 0.0); // parameter 2 still holds 0 in the plug-in

  graphics->SetParameterFromPlugin(7, 5.0, false); // no such parameter: nothing happens
  graphics->SetParameterFromPlugin(-1, 0.5, true);
  EXPECT_FALSE(graphics->ApplyParameterValues());
  EXPECT_EQ(a->GetValue(), 1.0);
  EXPECT_TRUE(plug.log.empty()); // values from the plug-in are never pushed back
}

TEST(ParameterFlow, PromptTextBecomesAValue)
{
  TestPlug plug(3);
  plug.GetParam(0)->SetupSwitch("on", false);
  plug.GetParam(1)->SetupContinuous("gain", 0.0, -60.0, 60.0, 0.01, "dB");
  plug.GetParam(2)->SetupContinuous("cut", 0.0, -60.0, 60.0, 0.01, "dB");
  plug.GetParam(2)->mNegateDisplay = true;
  RecordingGraphics graphics(&plug);
  IKnobControl sw(&plug, IRECT(0, 0, 10, 10), 0);
  IKnobControl gain(&plug, IRECT(0, 0, 10, 10), 1);
  IKnobControl cut(&plug, IRECT(0, 0, 10, 10), 2);

  graphics.ApplyPromptText(&sw, plug.GetParam(0), "on");
  EXPECT_EQ(sw.GetValue(), 1.0);
  EXPECT_EQ(plug.GetParam(0)->mValue, 1.0);
  graphics.ApplyPromptText(&sw, plug.GetParam(0), "On"); // not a display text, no number: kept
  EXPECT_EQ(sw.GetValue(), 1.0);
  graphics.ApplyPromptText(&sw, plug.GetParam(0), "0");
  EXPECT_EQ(sw.GetValue(), 0.0);

  graphics.ApplyPromptText(&gain, plug.GetParam(1), "-3 dB");
  EXPECT_NEAR(plug.GetParam(1)->mValue, -3.0, 1e-9); // through the normalised mapping and back
  graphics.ApplyPromptText(&gain, plug.GetParam(1), "1e9");
  EXPECT_EQ(gain.GetValue(), 1.0);
  graphics.ApplyPromptText(&gain, plug.GetParam(1), "garbage"); // a typing slip changes nothing
  EXPECT_EQ(gain.GetValue(), 1.0);
  graphics.ApplyPromptText(&gain, plug.GetParam(1), "nan");
  EXPECT_EQ(gain.GetValue(), 1.0);
  graphics.ApplyPromptText(&gain, plug.GetParam(1), "-inf"); // the end of the range
  EXPECT_EQ(gain.GetValue(), 0.0);
  graphics.ApplyPromptText(&gain, plug.GetParam(1), "0");
  EXPECT_EQ(gain.GetValue(), 0.5);

  graphics.ApplyPromptText(&cut, plug.GetParam(2), "12");
  EXPECT_NEAR(plug.GetParam(2)->mValue, -12.0, 1e-9);

  graphics.ApplyPromptText(nullptr, plug.GetParam(1), "1");
  graphics.ApplyPromptText(&gain, nullptr, "1");
  graphics.ApplyPromptText(&gain, plug.GetParam(1), nullptr);
  EXPECT_EQ(gain.GetValue(), 0.5);
}

TEST(BitmapResource, LoadsThroughTheCacheAndMissingOnesAreEmpty)
{
  ScratchFolder folder;
  const std::string root = folder.File("Res.vst");
  ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((root + "/Contents").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((root + "/Contents/Resources").c_str(), 0755), 0);
  PngImage image;
  image.width = 5;
  image.height = 12;
  image.colourType = PNG_COLOR_TYPE_GRAY;
  image.rows.assign(12, std::vector<uint8_t>(5, 9));
  ASSERT_TRUE(WritePng(root + "/Contents/Resources/knob.png", image));
  RegisterBundleFolder("com.example.test.Resources", root.c_str());

  TestPlug plug;
  RecordingGraphics graphics(&plug);
  graphics.SetBundleID("com.example.test.Resources");
  EXPECT_STREQ(graphics.GetBundleID(), "com.example.test.Resources");
  IBitmapRef knob = graphics.LoadBitmapResource(7101, "img/knob.png", 3);
  ASSERT_NE(knob.mBitmap, nullptr);
  EXPECT_EQ(knob.mW, 5);
  EXPECT_EQ(knob.mH, 12);
  EXPECT_EQ(knob.mFrames, 3);
  IBitmapRef again = graphics.LoadBitmapResource(7101, "img/other.png", 1); // by id, from the cache
  EXPECT_EQ(again.mBitmap, knob.mBitmap);
  EXPECT_EQ(graphics.platformLoads, 1);

  IBitmapRef missing = graphics.LoadBitmapResource(7102, "img/missing.png", 1);
  EXPECT_EQ(missing.mBitmap, nullptr);
  EXPECT_EQ(missing.mW, 0);
  EXPECT_EQ(missing.mH, 0);
  graphics.LoadBitmapResource(7102, "img/missing.png", 1); // the failure is not retried
  EXPECT_EQ(graphics.platformLoads, 2);
  RegisterBundleFolder("com.example.test.Resources", nullptr);
}
