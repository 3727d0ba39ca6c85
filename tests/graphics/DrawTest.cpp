#include "graphics/LICE_Bitmap.h"
#include "tests/graphics/GraphicsTestSupport.h"

#include <gtest/gtest.h>

namespace
{
// Background (index 0) over the whole editor, knob K1 overlapping knob K2, and K3 apart from both.
class DrawFixture : public ::testing::Test
{
protected:
  DrawFixture() : graphics(&plug)
  {
    graphics.AddControl(new ProbeControl(&events, "bg", &plug, IRECT(0, 0, 200, 100)));
    graphics.AddControl(new ProbeControl(&events, "K1", &plug, IRECT(10, 10, 40, 40)));
    graphics.AddControl(new ProbeControl(&events, "K2", &plug, IRECT(40, 10, 70, 40)));
    graphics.AddControl(new ProbeControl(&events, "K3", &plug, IRECT(150, 60, 180, 90)));
  }
  void CleanAll()
  {
    for (int i = 0; i < graphics.NControls(); ++i)
    {
      graphics.GetControl(i)->MarkClean();
      graphics.GetControl(i)->MarkClean();
    }
    events.clear();
  }
  bool Dirty(int i) { return graphics.GetControl(i)->IsDirty(); }

  Log events;
  TestPlug plug;
  RecordingGraphics graphics;
};
} // namespace

TEST(IRECT, UnionAndIntersectionRules)
{
  const IRECT empty;
  const IRECT a(10, 10, 20, 20);
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(empty.Union(a), a);
  EXPECT_EQ(a.Union(empty), a);
  EXPECT_EQ(a.Union(IRECT(0, 15, 12, 30)), IRECT(0, 10, 20, 30));
  EXPECT_FALSE(a.Intersects(empty));
  EXPECT_FALSE(empty.Intersects(a));
  // The first operand's right and bottom edges are inside, the second's are not.
  const IRECT right(20, 10, 30, 20);
  EXPECT_TRUE(a.Intersects(right));
  EXPECT_FALSE(right.Intersects(a));
  const IRECT below(10, 20, 20, 30);
  EXPECT_TRUE(a.Intersects(below));
  EXPECT_FALSE(below.Intersects(a));
  EXPECT_FALSE(a.Intersects(IRECT(21, 10, 30, 20)));
}

TEST_F(DrawFixture, RectDrivenDrawsWhatTheRectTouchesAndCleansEverything)
{
  EXPECT_TRUE(graphics.IsRectDriven());
  graphics.GetControl(2)->Hide(true);
  events.clear();
  EXPECT_TRUE(graphics.Draw(IRECT(0, 0, 30, 30)));
  EXPECT_EQ(events, (Log{"bg draw", "K1 draw"}));
  EXPECT_EQ(graphics.GetDrawRect(), IRECT(0, 0, 30, 30));
  ASSERT_EQ(graphics.presented.size(), 1u);
  EXPECT_EQ(graphics.presented[0], IRECT(0, 0, 30, 30));
  // Every control went through MarkClean once; Hide asked for a second pass for K2.
  EXPECT_FALSE(Dirty(0));
  EXPECT_FALSE(Dirty(3));
  EXPECT_TRUE(Dirty(2));
  events.clear();
  graphics.Draw(IRECT(0, 0, 200, 100));
  EXPECT_EQ(events, (Log{"bg draw", "K1 draw", "K3 draw"})); // hidden K2 is not drawn
  EXPECT_FALSE(Dirty(2));
}

TEST_F(DrawFixture, BackgroundDirtyRedrawsEveryVisibleControl)
{
  graphics.SetRectDrivenDrawing(false);
  CleanAll();
  graphics.GetControl(3)->Hide(true);
  graphics.GetControl(0)->MarkDirty(false);
  events.clear();
  IRECT dirty;
  EXPECT_TRUE(graphics.CollectDirtyRect(&dirty));
  EXPECT_EQ(dirty, IRECT(0, 0, 200, 100));
  EXPECT_TRUE(graphics.Draw(IRECT(5, 5, 6, 6))); // the rect only says what to present
  EXPECT_EQ(events, (Log{"bg draw", "K1 draw", "K2 draw"}));
  EXPECT_EQ(graphics.GetDrawRect(), IRECT(0, 0, 200, 100));
  EXPECT_EQ(graphics.presented.back(), IRECT(5, 5, 6, 6));
  EXPECT_FALSE(Dirty(0));
  EXPECT_FALSE(Dirty(1));
}

TEST_F(DrawFixture, DirtyKnobRedrawsItselfAndWhatItTouches)
{
  graphics.SetRectDrivenDrawing(false);
  CleanAll();
  graphics.GetControl(1)->MarkDirty(false);
  EXPECT_TRUE(graphics.Draw(IRECT(0, 0, 200, 100)));
  // K2 starts at K1's right edge. The other control's rect is the first operand, so K2's own left
  // edge does not reach into K1 and K2 is not drawn; K3 is apart.
  EXPECT_EQ(events, (Log{"bg draw", "K1 draw"}));
  EXPECT_EQ(graphics.GetDrawRect(), IRECT(10, 10, 40, 40));
  EXPECT_FALSE(Dirty(1));
  EXPECT_FALSE(Dirty(0)); // drawn only because it overlaps: left as it was (clean)

  // Two dirty knobs: one pass each. In K2's pass K1's inclusive right edge touches K2, so K1 is
  // drawn.
  CleanAll();
  graphics.GetControl(2)->MarkDirty(false);
  graphics.GetControl(3)->MarkDirty(false);
  graphics.Draw(IRECT(0, 0, 200, 100));
  EXPECT_EQ(events, (Log{"bg draw", "K1 draw", "K2 draw", "bg draw", "K3 draw"}));
  IRECT dirty;
  EXPECT_FALSE(graphics.CollectDirtyRect(&dirty));
  EXPECT_TRUE(dirty.Empty());
}

TEST_F(DrawFixture, ChangedValueIsDrawnOnTwoPasses)
{
  graphics.SetRectDrivenDrawing(false);
  CleanAll();
  IControl* knob = graphics.GetControl(3);
  knob->SetParamIdx(0);
  graphics.SetParameterFromPlugin(0, 0.5, true);
  IRECT dirty;
  EXPECT_TRUE(graphics.CollectDirtyRect(&dirty));
  EXPECT_EQ(dirty, IRECT(150, 60, 180, 90));
  graphics.Draw(dirty);
  EXPECT_TRUE(knob->IsDirty());
  graphics.Draw(dirty);
  EXPECT_FALSE(knob->IsDirty());
  EXPECT_EQ(events, (Log{"bg draw", "K3 draw", "bg draw", "K3 draw"}));
  events.clear();
  graphics.Draw(dirty);
  EXPECT_TRUE(events.empty());
}

TEST(Draw, NoControlsMeansNothingDrawnOrPresented)
{
  TestPlug plug;
  RecordingGraphics graphics(&plug);
  EXPECT_TRUE(graphics.Draw(IRECT(0, 0, 10, 10)));
  EXPECT_TRUE(graphics.presented.empty());
  IRECT dirty;
  EXPECT_FALSE(graphics.CollectDirtyRect(&dirty));
  EXPECT_FALSE(graphics.CollectDirtyRect(nullptr));
}

TEST(Draw, LinuxGraphicsHasNoViewToPresentTo)
{
  TestPlug plug;
  IGraphicsLinux graphics(&plug, 752, 576, 0);
  EXPECT_EQ(graphics.FPS(), 24);
  graphics.AddControl(new IKnobControl(&plug, IRECT(0, 0, 10, 10), -1));
  EXPECT_FALSE(graphics.Draw(IRECT(0, 0, 10, 10)));
  EXPECT_EQ(graphics.OpenCocoaView(nullptr), nullptr);
  EXPECT_EQ(graphics.OpenCarbonView(nullptr, nullptr), nullptr);
  graphics.CloseView();
  EXPECT_EQ(graphics.GetDrawBitmap(), nullptr);
  graphics.PrepareDrawing();
  ASSERT_NE(graphics.GetDrawBitmap(), nullptr);
  EXPECT_EQ(graphics.GetDrawBitmap()->Width(), 752);
  EXPECT_EQ(graphics.GetDrawBitmap()->RowSpan(), 752);
}

TEST(Draw, ControlsAreDeletedLastAttachedFirst)
{
  Log events;
  TestPlug plug;
  {
    RecordingGraphics graphics(&plug);
    graphics.AddControl(new ProbeControl(&events, "a", &plug, IRECT(0, 0, 1, 1)));
    graphics.AddControl(new ProbeControl(&events, "b", &plug, IRECT(0, 0, 1, 1)));
    graphics.AddControl(new ProbeControl(&events, "c", &plug, IRECT(0, 0, 1, 1)));
  }
  EXPECT_EQ(events, (Log{"c deleted", "b deleted", "a deleted"}));
}
