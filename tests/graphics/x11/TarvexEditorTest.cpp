// The Tarvex bundle's own editor through the X11 view, as a user works it: a knob drag, adding and
// removing a band by double-click in the plot, and a typed value in a knob's prompt; at scale 1
// and at twice its size, asked for through GDK_SCALE or the display's Xft.dpi, with the same
// gestures at window coordinates. The bundle must announce its editor (effFlagsHasEditor).
#include "tests/graphics/x11/X11TestHost.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "dsp/ParamIndex.h"

using namespace x11test;

namespace
{
// Parameter indices and panel positions of the Tarvex editor.
constexpr int kOverallGainX = 648, kOverallGainY = 162; // knob centre; the knob is 50 x 50
constexpr int kPlotLeft = 32, kPlotTop = 32;            // the 512 x 512 plot's top-left pixel

// Window position of a band point at frequency f (Hz) and 0 dB: x = plotLeft + 511 * LogPos(f),
// y from the row of 0 curve dB on the 512-row scale from -68.68588963806504 to +60 dB.
void BandPointAtZeroDb(double f, int* x, int* y)
{
  *x = kPlotLeft + static_cast<int>(511.0 * std::log(f / 20.0) / std::log(1000.0) + 0.5);
  const double row = 511.0 * 68.68588963806504 / (60.0 + 68.68588963806504);
  *y = kPlotTop + 511 - static_cast<int>(row + 0.5);
}

constexpr int kEditorWidth = 752, kEditorHeight = 576;

struct EditorScaleCase
{
  const char* name;
  const char* gdkScale;  // GDK_SCALE; null: unset
  const char* resources; // the root window's RESOURCE_MANAGER; null: none
  int scale;
};

void PrintTo(const EditorScaleCase& c, std::ostream* os)
{
  *os << c.name;
}

class TarvexEditor : public ::testing::TestWithParam<EditorScaleCase>
{
protected:
  void SetUp() override
  {
    mScale = GetParam().scale;
    // Preferences of this run stay in a folder of its own.
    char folder[] = "/tmp/tarvex-editor-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    mConfigDir = folder;
    setenv("XDG_CONFIG_HOME", folder, 1);
    std::string error;
    static Instance::Entry entry = Instance::LoadEntry(TARVEX_BUNDLE_BINARY, &error);
    ASSERT_NE(entry, nullptr) << error;
    mPlug = std::make_unique<Instance>(entry);
    ASSERT_TRUE(*mPlug);
    ASSERT_TRUE(mPlug->HasEditor()) << "the Tarvex bundle must announce its editor";
    ASSERT_TRUE(mSession.Start(true, &error)) << error;
    mSession.GdkScale(GetParam().gdkScale);
    if (GetParam().resources) mSession.SetResources(GetParam().resources);
    // The host sizes its window from the size reported before opening.
    ERect* rect = nullptr;
    ASSERT_EQ(mPlug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    ASSERT_EQ(rect->right - rect->left, kEditorWidth * mScale);
    ASSERT_EQ(rect->bottom - rect->top, kEditorHeight * mScale);
    mParent = mSession.MakeParent(0, 0, kEditorWidth * mScale, kEditorHeight * mScale);
    Requests().Clear();
    ASSERT_TRUE(mPlug->OpenEditor(mParent));
    // The editor takes over kernel rebuilds only while the host is not processing; an audio
    // thread keeps the analyses fed as a playing host does.
    mAudio = std::thread(
        [this]
        {
          while (!mStop.load()) mPlug->Process(512);
        });
    SleepMs(300); // a few display frames, so the band points have positions
  }
  void TearDown() override
  {
    mStop.store(true);
    if (mAudio.joinable()) mAudio.join();
    if (mPlug && *mPlug && mPlug->HasEditor()) mPlug->CloseEditor();
    mPlug.reset();
    if (!mConfigDir.empty())
    {
      const std::string prefs = mConfigDir + "/Tarvex Preferences.dat";
      unlink(prefs.c_str());
      rmdir(mConfigDir.c_str());
    }
  }

  // An editor coordinate in window pixels.
  int W(int editor) const { return editor * mScale; }

  Session mSession;
  std::unique_ptr<Instance> mPlug;
  Window mParent = 0;
  int mScale = 1;
  std::thread mAudio;
  std::atomic<bool> mStop{false};
  std::string mConfigDir;
};

// The window is the editor's size times the factor, and every block of factor x factor pixels is
// one colour: the editor's picture, not a scaled-down or smoothed one.
TEST_P(TarvexEditor, WindowIsTheEditorInBlocks)
{
  const std::vector<Window> children = mSession.Children(mParent);
  ASSERT_EQ(children.size(), 1u);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(mSession.display(), children[0], &attributes));
  EXPECT_EQ(attributes.width, kEditorWidth * mScale);
  EXPECT_EQ(attributes.height, kEditorHeight * mScale);
  const int w = kEditorWidth * mScale, h = kEditorHeight * mScale;
  const std::vector<uint32_t> shown = mSession.Capture(children[0], w, h);
  ASSERT_EQ(shown.size(), static_cast<size_t>(w) * h);
  int brokenBlocks = 0;
  std::vector<uint32_t> colours;
  for (int y = 0; y < h; y += mScale)
    for (int x = 0; x < w; x += mScale)
    {
      const uint32_t c = shown[static_cast<size_t>(y) * w + x];
      bool same = true;
      for (int dy = 0; dy < mScale; ++dy)
        for (int dx = 0; dx < mScale; ++dx)
          same &= shown[static_cast<size_t>(y + dy) * w + x + dx] == c;
      brokenBlocks += !same;
      if (colours.size() < 1000 && std::find(colours.begin(), colours.end(), c) == colours.end())
        colours.push_back(c);
    }
  EXPECT_EQ(brokenBlocks, 0);
  // A drawn editor, not an empty window (which would be all blocks too): the panel and the plot
  // have well over a hundred colours.
  EXPECT_GT(colours.size(), 100u);
}

TEST_P(TarvexEditor, KnobDragRaisesOverallGain)
{
  const float before = mPlug->Get(kParamOverallGain);
  // 25 editor pixels up on a 50-pixel knob with gearing 4: +0.125, at any scale.
  mSession.Drag(W(kOverallGainX), W(kOverallGainY), W(kOverallGainX), W(kOverallGainY - 25), 5);
  ASSERT_TRUE(
      WaitUntil([&] { return Requests().Count(audioMasterEndEdit, kParamOverallGain) >= 1; }));
  EXPECT_NEAR(mPlug->Get(kParamOverallGain), before + 0.125f, 1e-6); // float parameter precision
}

TEST_P(TarvexEditor, DoubleClickRemovesABandAndAddsOne)
{
  int x = 0, y = 0;
  BandPointAtZeroDb(80.0, &x, &y); // band A at its default
  ASSERT_GT(mPlug->Get(kParamBandOn), 0.5f);
  mSession.Click(W(x), W(y));
  mSession.Click(W(x), W(y));
  ASSERT_TRUE(WaitUntil([&] { return mPlug->Get(kParamBandOn) < 0.5f; }))
      << "band A was not removed";
  // An empty spot of the plot: the first band that is off (A) comes back there.
  mSession.Click(W(kPlotLeft + 300), W(kPlotTop + 150));
  mSession.Click(W(kPlotLeft + 300), W(kPlotTop + 150));
  ASSERT_TRUE(WaitUntil([&] { return mPlug->Get(kParamBandOn) > 0.5f; })) << "no band was added";
  // 20 * 1000^(300/511) Hz, about 1.15 kHz.
  const double expected = 20.0 * std::pow(1000.0, 300.0 / 511.0);
  EXPECT_NEAR(std::atof(mPlug->ParamText(kParamBandFreq).c_str()), expected,
              expected * 0.01); // 1 %: one column
}

// A band point dragged in the plot reaches the host as a gesture, from the host's GUI thread: begin
// for gain and frequency, automation as it moves, end at the release, and the last value sent is
// the one the plug-in holds. The same for the knob; the double-click sends its changes as one.
TEST_P(TarvexEditor, PlotDragIsRecordedByTheHostOnItsGuiThread)
{
  constexpr int kBandBGain = 5, kBandBFreq = 9;
  int x = 0, y = 0;
  BandPointAtZeroDb(370.0, &x, &y); // band B at its default
  Requests().Clear();
  mSession.Drag(W(x), W(y), W(x + 20), W(y - 60), 6);
  ASSERT_TRUE(WaitUntil([&] { return Requests().Count(audioMasterEndEdit, kBandBFreq) >= 1; }))
      << "no end of gesture";
  std::vector<Request> seen;
  {
    std::lock_guard<std::mutex> guard(Requests().lock);
    seen = Requests().requests;
  }
  int begins = 0, ends = 0;
  float lastGain = -1.0f;
  for (const Request& r : seen)
  {
    if (r.opcode == audioMasterBeginEdit && (r.index == kBandBGain || r.index == kBandBFreq))
    {
      EXPECT_EQ(ends, 0) << "a begin after an end";
      ++begins;
    }
    if (r.opcode == audioMasterEndEdit) ++ends;
    if (r.opcode == audioMasterAutomate && r.index == kBandBGain)
    {
      EXPECT_EQ(begins, 2) << "automation outside the gesture";
      EXPECT_EQ(ends, 0) << "automation outside the gesture";
      lastGain = r.opt;
    }
  }
  EXPECT_EQ(begins, 2);
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(lastGain, mPlug->Get(kBandBGain)); // the value as the host will replay it
  EXPECT_GT(mPlug->ParamText(kBandBGain).empty() ? 0.0
                                                 : std::atof(mPlug->ParamText(kBandBGain).c_str()),
            10.0);
  const auto gui = std::this_thread::get_id();
  for (int32_t opcode :
       {audioMasterAutomate, audioMasterBeginEdit, audioMasterEndEdit, audioMasterUpdateDisplay})
    EXPECT_EQ(Requests().CountOffThread(opcode, gui), 0) << opcode;
}

TEST_P(TarvexEditor, PromptAppliesATypedValue)
{
  mSession.Click(W(kOverallGainX), W(kOverallGainY), 3);
  SleepMs(200);
  mSession.Type("-3");
  mSession.Key(XK_Return);
  ASSERT_TRUE(WaitUntil([&] { return mPlug->ParamText(kParamOverallGain) == "-3.00"; }))
      << mPlug->ParamText(kParamOverallGain);
}

INSTANTIATE_TEST_SUITE_P(Scales, TarvexEditor,
                         ::testing::Values(EditorScaleCase{"Nothing", nullptr, nullptr, 1},
                                           EditorScaleCase{"GdkScale2", "2", nullptr, 2},
                                           EditorScaleCase{"XftDpi192", nullptr, "Xft.dpi:\t192\n",
                                                           2}),
                         [](const ::testing::TestParamInfo<EditorScaleCase>& info)
                         { return info.param.name; });
} // namespace
