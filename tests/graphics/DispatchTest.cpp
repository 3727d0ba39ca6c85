#include "tests/graphics/GraphicsTestSupport.h"

#include <gtest/gtest.h>

namespace
{
const IMouseState kLeft = []
{
  IMouseState s;
  s.left = true;
  return s;
}();

// Background 0..200 x 0..100; A (index 1) and B (index 2) overlap on 30..50 x 30..50.
class DispatchFixture : public ::testing::Test
{
protected:
  DispatchFixture() : graphics(new RecordingGraphics(&plug))
  {
    graphics->AddControl(new ProbeControl(&events, "bg", &plug, IRECT(0, 0, 200, 100)));
    graphics->AddControl(new ProbeControl(&events, "A", &plug, IRECT(10, 10, 50, 50), 1));
    graphics->AddControl(new ProbeControl(&events, "B", &plug, IRECT(30, 30, 70, 70), 2));
    plug.AdoptGraphics(graphics); // the plug-in owns and deletes it
    events.clear();
    plug.log.clear();
  }
  IControl* Control(int i) { return graphics->GetControl(i); }

  Log events;
  TestPlug plug;
  RecordingGraphics* graphics;
};
} // namespace

TEST_F(DispatchFixture, LaterControlsSitOnTopAndHiddenOrGreyedOnesAreSkipped)
{
  EXPECT_EQ(graphics->ControlIndexAt(40, 40), 2);
  EXPECT_EQ(graphics->ControlIndexAt(20, 20), 1);
  EXPECT_EQ(graphics->ControlIndexAt(150, 90), 0);
  EXPECT_EQ(graphics->ControlIndexAt(250, 90), -1);
  EXPECT_EQ(graphics->ControlIndexAt(200, 50), -1); // right edge is outside

  graphics->OnMouseDown(40, 40, kLeft);
  graphics->OnMouseUp(40, 40, kLeft);
  Control(2)->Hide(true);
  graphics->OnMouseDown(40, 40, kLeft);
  graphics->OnMouseUp(40, 40, kLeft);
  Control(2)->Hide(false);
  Control(2)->GrayOut(true);
  graphics->OnMouseDown(40, 40, kLeft);
  graphics->OnMouseUp(40, 40, kLeft);
  Control(1)->Hide(true);
  graphics->OnMouseDown(40, 40, kLeft);
  graphics->OnMouseUp(40, 40, kLeft);
  EXPECT_EQ(events,
            (Log{"B down", "B up", "A down", "A up", "A down", "A up", "bg down", "bg up"}));
  // The background has no parameter: no gesture for its press.
  EXPECT_EQ(plug.Gestures(), (Log{"begin 2", "end 2", "begin 1", "end 1", "begin 1", "end 1"}));

  events.clear();
  graphics->OnMouseDown(250, 50, kLeft); // over nothing: ignored
  graphics->OnMouseDrag(260, 50, kLeft);
  graphics->OnMouseUp(260, 50, kLeft);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(graphics->GetMouseCapture(), -1);
}

TEST_F(DispatchFixture, CaptureHoldsAcrossAReleaseOutsideTheControl)
{
  graphics->OnMouseDown(20, 20, kLeft);
  EXPECT_EQ(graphics->GetMouseCapture(), 1);
  EXPECT_EQ(graphics->ControlIndexAt(190, 90), 1); // wherever the pointer is
  graphics->OnMouseDrag(20, 10, kLeft);
  graphics->OnMouseDrag(190, 90, kLeft); // far outside A, over the background
  graphics->OnMouseWheel(190, 90, kLeft, 1);
  graphics->OnMouseUp(190, 90, kLeft);
  EXPECT_EQ(events, (Log{"A down", "A drag 0 -10", "A drag 170 80", "A wheel 1", "A up"}));
  EXPECT_EQ(graphics->GetMouseCapture(), -1);
  // Each drag step pushed A's value to parameter 1 inside one gesture.
  EXPECT_EQ(plug.log.front(), "begin 1");
  EXPECT_EQ(plug.log.back(), "end 1");
  EXPECT_EQ(plug.Gestures(), (Log{"begin 1", "end 1"}));
  EXPECT_GT(plug.informed.size(), 0u);
}

TEST_F(DispatchFixture, RepeatedDragsAtOnePositionAreDeliveredOnce)
{
  graphics->OnMouseDown(20, 20, kLeft);
  graphics->OnMouseDrag(20, 20, kLeft); // the press position itself
  graphics->OnMouseDrag(22, 25, kLeft);
  graphics->OnMouseDrag(22, 25, kLeft);
  graphics->OnMouseDrag(21, 25, kLeft);
  graphics->OnMouseUp(21, 25, kLeft);
  graphics->OnMouseDrag(30, 30, kLeft); // no capture any more
  EXPECT_EQ(events, (Log{"A down", "A drag 2 5", "A drag -1 0", "A up"}));
}

TEST_F(DispatchFixture, DoubleClickCapturesOnlyWhenDeliveredAsPress)
{
  EXPECT_FALSE(graphics->OnMouseDoubleClick(20, 20, kLeft));
  EXPECT_EQ(graphics->GetMouseCapture(), -1);
  graphics->OnMouseDrag(25, 25, kLeft); // ignored until the next press
  graphics->OnMouseUp(25, 25, kLeft);
  EXPECT_EQ(events, (Log{"A double", "A up"}));
  EXPECT_TRUE(plug.Gestures().empty()); // no gesture was begun, so none is ended

  events.clear();
  Control(1)->SetDoubleClickAsDown(true);
  EXPECT_TRUE(graphics->OnMouseDoubleClick(20, 20, kLeft));
  EXPECT_EQ(graphics->GetMouseCapture(), 1);
  graphics->OnMouseDrag(25, 26, kLeft);
  graphics->OnMouseUp(25, 26, kLeft);
  EXPECT_EQ(events, (Log{"A down", "A drag 5 6", "A up"}));
  EXPECT_TRUE(plug.Gestures().empty());

  EXPECT_FALSE(graphics->OnMouseDoubleClick(250, 20, kLeft)); // over nothing
}

TEST_F(DispatchFixture, GestureEndsForTheParameterItBeganWith)
{
  graphics->OnMouseDown(20, 20, kLeft);
  Control(1)->SetParamIdx(3); // the editor rebinds knobs while the mouse is down
  graphics->OnMouseUp(20, 20, kLeft);
  EXPECT_EQ(plug.Gestures(), (Log{"begin 1", "end 1"}));

  // A press whose release was lost closes the open gesture before beginning the next.
  plug.log.clear();
  graphics->OnMouseDown(40, 40, kLeft);
  graphics->OnMouseDown(20, 20, kLeft);
  graphics->OnMouseUp(20, 20, kLeft);
  EXPECT_EQ(plug.Gestures(), (Log{"begin 2", "end 2", "begin 3", "end 3"}));
}

TEST_F(DispatchFixture, HoverTracksTheControlUnderThePointerOnlyWhenEnabled)
{
  EXPECT_FALSE(graphics->OnMouseOver(20, 20, kLeft));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(graphics->GetMouseOver(), -1);

  graphics->SetHandleMouseOver(true);
  EXPECT_TRUE(graphics->OnMouseOver(20, 20, kLeft));
  EXPECT_TRUE(graphics->OnMouseOver(21, 20, kLeft));
  EXPECT_TRUE(graphics->OnMouseOver(60, 60, kLeft));
  EXPECT_TRUE(graphics->OnMouseOver(300, 300, kLeft)); // over nothing: no out, index kept
  EXPECT_EQ(graphics->GetMouseOver(), 2);
  EXPECT_EQ(graphics->GetMouseX(), 60);
  EXPECT_EQ(events, (Log{"A over", "A over", "B over", "A out"}));
}

TEST_F(DispatchFixture, WheelGoesToTheControlUnderThePointer)
{
  graphics->OnMouseWheel(40, 40, kLeft, -2);
  graphics->OnMouseWheel(300, 40, kLeft, 1);
  EXPECT_EQ(events, (Log{"B wheel -2"}));
}

TEST(Dispatch, EventsWithoutControlsAreIgnored)
{
  TestPlug plug;
  RecordingGraphics graphics(&plug);
  graphics.OnMouseDown(1, 1, kLeft);
  graphics.OnMouseDrag(2, 2, kLeft);
  graphics.OnMouseUp(2, 2, kLeft);
  graphics.SetHandleMouseOver(true);
  graphics.OnMouseOver(2, 2, kLeft);
  graphics.OnMouseWheel(2, 2, kLeft, 3);
  EXPECT_FALSE(graphics.OnMouseDoubleClick(2, 2, kLeft));
  EXPECT_EQ(graphics.ControlIndexAt(1, 1), -1);
  EXPECT_EQ(graphics.GetControl(0), nullptr);
  EXPECT_EQ(graphics.GetControl(-1), nullptr);
  EXPECT_EQ(graphics.AddControl(nullptr), -1);
  EXPECT_TRUE(plug.log.empty());
}
