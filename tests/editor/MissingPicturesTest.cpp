// An editor whose bundle has no pictures (or whose resources were removed): it is still created,
// draws its frames without fonts, knob strip or background, and edits the curve.
#include "tests/editor/EditorTestSupport.h"

#include "editor/Panel.h"

TEST_F(EditorTest, MissingPicturesDrawNothingOfThemAndEditingStillWorks)
{
  EXPECT_EQ(TheEditorResources().font12, nullptr);
  EXPECT_EQ(TheEditorResources().knobStrip.mBitmap, nullptr);
  SetParam(kParamColour, 2);
  DrawFrames(2);
  Over(300, 200);
  EXPECT_EQ(Label().rfind("freq:", 0), 0u);
  // Outside the plot, where the background picture would be, the canvas stays white.
  EXPECT_EQ(Pixel(700, 560)[1], 255);
  const BandPoint& b = State().bandTable[0];
  const int x = static_cast<int>(std::lround(b.pointScreenX));
  const int y = static_cast<int>(std::lround(b.pointScreenY));
  DragFromTo(x, y, x, y - 50);
  ProcessBlock();
  EXPECT_GT(Param(kParamBandGain), 10.0);
  DrawFrames(1);
}
