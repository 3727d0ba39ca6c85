// The X11 view end to end: the view-test bundle loaded through its VST entry point by an X11 host
// on a private Xvfb server, driven with XTest pointer and key input.
#include "tests/graphics/x11/ViewTestPicture.h"
#include "tests/graphics/x11/X11TestHost.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <memory>

using namespace x11test;
using namespace viewtest;

namespace
{
Instance::Entry ViewTestEntry()
{
  static Instance::Entry entry = nullptr;
  if (!entry)
  {
    std::string error;
    entry = Instance::LoadEntry(VIEWTEST_BUNDLE_BINARY, &error);
    EXPECT_NE(entry, nullptr) << error;
  }
  return entry;
}

IRECT Centre(const IRECT& r)
{
  return IRECT((r.L + r.R) / 2, (r.T + r.B) / 2, 0, 0);
}

// The picture the plug-in must show for the parameter values the host reads.
std::vector<uint32_t> ExpectedPicture(Instance& plug)
{
  std::vector<uint32_t> out(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      out[static_cast<size_t>(y) * kWidth + x] = BackgroundPixel(x, y);
  auto fill = [&](const IRECT& r, uint32_t rgb)
  {
    for (int y = r.T; y < r.B; ++y)
      for (int x = r.L; x < r.R; ++x) out[static_cast<size_t>(y) * kWidth + x] = rgb;
  };
  fill(KnobRect(), ValuePixel(plug.Get(kParamKnob), 0x20));
  fill(ModeRect(), ValuePixel(plug.Get(kParamMode), 0x40));
  fill(RecorderRect(), ValuePixel(plug.Get(kParamClicks), 0x60));
  fill(GainRect(), ValuePixel(plug.Get(kParamGain), 0x80));
  return out;
}

// Pixels whose channels differ by more than 1 step: the host reads float parameters while the
// controls draw from doubles, so a value exactly between two levels may round either way. bits:
// of each channel of the screen (rgb 5-6-5 on a 16-bit server), compared at that precision.
int CountMismatches(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                    const int bits[3] = nullptr)
{
  if (a.size() != b.size()) return -1;
  static const int kEight[3] = {8, 8, 8};
  if (!bits) bits = kEight;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int c = 0; c < 3; ++c)
    {
      const int shift = 16 - 8 * c, drop = 8 - bits[c];
      const int ca = static_cast<int>((a[i] >> shift) & 0xff) >> drop;
      const int cb = static_cast<int>((b[i] >> shift) & 0xff) >> drop;
      if (std::abs(ca - cb) > 1)
      {
        ++n;
        break;
      }
    }
  return n;
}

class X11View : public ::testing::TestWithParam<bool>
{
protected:
  void SetUp() override
  {
    std::string error;
    ASSERT_TRUE(mSession.Start(GetParam(), &error)) << error;
    ASSERT_NE(ViewTestEntry(), nullptr);
    mPlug = std::make_unique<Instance>(ViewTestEntry());
    ASSERT_TRUE(*mPlug);
    ASSERT_TRUE(mPlug->HasEditor());
    mParent = mSession.MakeParent();
    Requests().Clear();
    ASSERT_TRUE(mPlug->OpenEditor(mParent));
    const std::vector<Window> children = mSession.Children(mParent);
    ASSERT_EQ(children.size(), 1u);
    mEditor = children[0];
    // The first frame, before any input.
    ASSERT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  }
  void TearDown() override
  {
    if (mPlug && *mPlug) mPlug->CloseEditor();
    mPlug.reset();
  }
  bool ShowsExpected()
  {
    return CountMismatches(mSession.Capture(mEditor, kWidth, kHeight), ExpectedPicture(*mPlug)) ==
           0;
  }

  Session mSession;
  std::unique_ptr<Instance> mPlug;
  Window mParent = 0, mEditor = 0;
};

// The view runs only in the host's calls: WaitUntil and SleepMs send effEditIdle, as a host's GUI
// thread does; input and frames are handled there.
TEST_P(X11View, WindowIsTheEditorSizeAndShowsTheBitmap)
{
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(mSession.display(), mEditor, &attributes));
  EXPECT_EQ(attributes.width, kWidth);
  EXPECT_EQ(attributes.height, kHeight);
  EXPECT_EQ(attributes.map_state, IsViewable);
  ERect* rect = nullptr;
  ASSERT_EQ(mPlug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, kWidth);
  EXPECT_EQ(rect->bottom - rect->top, kHeight);

  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  // A change from another host thread waits for the next idle call: the view has no thread that
  // could draw it, and nothing is drawn off the host's GUI thread.
  const std::vector<uint32_t> before = mSession.Capture(mEditor, kWidth, kHeight);
  std::thread([&] { mPlug->Set(kParamKnob, 0.9f); }).join();
  std::this_thread::sleep_for(std::chrono::milliseconds(100)); // six frame periods, no idle call
  EXPECT_EQ(mSession.Capture(mEditor, kWidth, kHeight), before);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  EXPECT_EQ(mSession.Capture(mEditor, kWidth, kHeight)[120 * kWidth + 120],
            ValuePixel(static_cast<double>(0.9f), 0x20)); // the value as the host set it
}

TEST_P(X11View, KnobDragChangesTheParameterWithHostGestures)
{
  const IRECT c = Centre(KnobRect());
  const float before = mPlug->Get(kParamKnob);
  // 32 pixels up on a 64-pixel knob with gearing 4: +32 / 256 = 0.125.
  mSession.Drag(c.L, c.T, c.L, c.T - 32, 4);
  ASSERT_TRUE(WaitUntil([&] { return Requests().Count(audioMasterEndEdit, kParamKnob) == 1; }));
  EXPECT_NEAR(mPlug->Get(kParamKnob), before + 0.125f, 1e-6); // float parameter precision
  EXPECT_EQ(Requests().Count(audioMasterBeginEdit, kParamKnob), 1);
  EXPECT_GE(Requests().Count(audioMasterAutomate, kParamKnob), 1);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));

  // The wheel steps the knob by 0.01 per notch (button 4 up, 5 down).
  const float afterDrag = mPlug->Get(kParamKnob);
  mSession.Move(c.L, c.T);
  mSession.Button(4, true);
  mSession.Button(4, false);
  ASSERT_TRUE(WaitUntil([&] { return mPlug->Get(kParamKnob) > afterDrag + 0.005f; }));
  EXPECT_NEAR(mPlug->Get(kParamKnob), afterDrag + 0.01f, 1e-6);
}

TEST_P(X11View, DoubleClickIsTwoQuickPressesAtOnePlace)
{
  const IRECT r = Centre(RecorderRect());
  const float step = 1.0f / 1000.0f; // one count on the 0..1000 parameter
  mSession.Click(r.L, r.T);
  mSession.Click(r.L + 1, r.T + 1); // within the slop, well within the interval
  ASSERT_TRUE(WaitUntil([&] { return mPlug->Get(kParamClicks) > 0.5f * step; }));
  EXPECT_NEAR(mPlug->Get(kParamClicks), step, 1e-6);

  // Two presses further apart in time are two single clicks.
  mSession.Click(r.L, r.T);
  SleepMs(600);
  mSession.Click(r.L, r.T);
  // And two quick presses far apart in place too.
  SleepMs(600);
  mSession.Click(r.L - 30, r.T);
  mSession.Click(r.L + 30, r.T);
  SleepMs(200);
  EXPECT_NEAR(mPlug->Get(kParamClicks), step, 1e-6);

  // Moves without a button are hovers (at the control's own x); with one they are drags.
  mSession.Move(r.L - 20, r.T);
  ASSERT_TRUE(WaitUntil([&] { return std::fabs(mPlug->Get(kParamHover) - 0.03f) < 1e-6f; }));
  mSession.Drag(r.L - 20, r.T, r.L + 10, r.T, 3);
  SleepMs(100);
  EXPECT_NEAR(mPlug->Get(kParamHover), 0.03f, 1e-6); // 30 of 0..1000, unchanged by the drag
  mSession.Move(r.L + 10, r.T + 1);
  ASSERT_TRUE(WaitUntil([&] { return std::fabs(mPlug->Get(kParamHover) - 0.06f) < 1e-6f; }));

  // The base double-click on a knob restores its default (5 of 0..10).
  mPlug->Set(kParamKnob, 0.8f);
  const IRECT k = Centre(KnobRect());
  mSession.Click(k.L, k.T);
  mSession.Click(k.L, k.T);
  ASSERT_TRUE(WaitUntil([&] { return std::fabs(mPlug->Get(kParamKnob) - 0.5f) < 1e-6f; }));
}

struct PromptCase
{
  const char* name;
  IRECT control;
  int param;
  std::vector<KeySym> keys; // after the prompt opens
  const char* typed;        // then typed
  const char* expected;     // the parameter's display text afterwards
};

TEST_P(X11View, PromptAppliesOnReturn)
{
  const PromptCase cases[] = {
      {"negative number", GainRect(), kParamGain, {}, "-3", "-3.00"},
      {"number", KnobRect(), kParamKnob, {}, "7.25", "7.25"},
      {"backspace edits", KnobRect(), kParamKnob, {}, "1.55", "1.55"},
      {"list moved down", ModeRect(), kParamMode, {XK_Down}, "", "high"},
      {"list moved up", ModeRect(), kParamMode, {XK_Up, XK_Up}, "", "low"},
      {"text of the list", ModeRect(), kParamMode, {}, "mid", "mid"},
  };
  for (const PromptCase& c : cases)
  {
    SCOPED_TRACE(c.name);
    const IRECT p = Centre(c.control);
    mSession.Click(p.L, p.T, 3);
    // The prompt shows the current text over the knob: wait for it to appear.
    ASSERT_TRUE(WaitUntil([&] { return !ShowsExpected(); }));
    for (KeySym key : c.keys) mSession.Key(key);
    mSession.Type(c.typed);
    if (std::string(c.name) == "backspace edits")
    {
      mSession.Key(XK_5);
      mSession.Key(XK_BackSpace);
    }
    mSession.Key(XK_Return);
    ASSERT_TRUE(WaitUntil([&] { return mPlug->ParamText(c.param) == c.expected; }))
        << mPlug->ParamText(c.param);
    EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); })); // the prompt is gone
  }
}

TEST_P(X11View, PromptCancelsOnEscapeAndClicksElsewhere)
{
  const IRECT gain = Centre(GainRect());
  const std::string before = mPlug->ParamText(kParamGain);

  // Escape.
  mSession.Click(gain.L, gain.T, 3);
  ASSERT_TRUE(WaitUntil([&] { return !ShowsExpected(); }));
  mSession.Type("12");
  mSession.Key(XK_Escape);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  EXPECT_EQ(mPlug->ParamText(kParamGain), before);

  // A right-click elsewhere closes it and does nothing else: no prompt opens on the other knob.
  mSession.Click(gain.L, gain.T, 3);
  ASSERT_TRUE(WaitUntil([&] { return !ShowsExpected(); }));
  mSession.Type("12");
  const IRECT knob = Centre(KnobRect());
  mSession.Click(knob.L, knob.T, 3);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  mSession.Type("9");
  mSession.Key(XK_Return);
  SleepMs(100);
  EXPECT_EQ(mPlug->ParamText(kParamGain), before);
  EXPECT_EQ(mPlug->ParamText(kParamKnob), "5.00");

  // A left-click elsewhere closes it unapplied and then reaches the editor: here the recorder's
  // double-click.
  mSession.Click(gain.L, gain.T, 3);
  ASSERT_TRUE(WaitUntil([&] { return !ShowsExpected(); }));
  mSession.Type("12");
  const IRECT rec = Centre(RecorderRect());
  mSession.Click(rec.L, rec.T);
  mSession.Click(rec.L, rec.T);
  EXPECT_TRUE(WaitUntil([&] { return mPlug->Get(kParamClicks) > 0.0005f; }));
  EXPECT_EQ(mPlug->ParamText(kParamGain), before);
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPutImage, X11View, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info)
                         { return info.param ? "XShm" : "XPutImage"; });

// Several instances with editors opened and closed over and over while an audio thread processes
// all of them: nothing crashes, and every window, connection, thread and shared segment goes away.
TEST(X11ViewLifecycle, ManyEditorsOpenAndCloseWithAudioRunning)
{
  Session session;
  std::string error;
  ASSERT_TRUE(session.Start(true, &error)) << error;
  ASSERT_NE(ViewTestEntry(), nullptr);
  constexpr int kInstances = 3, kCycles = 8;
  std::vector<std::unique_ptr<Instance>> plugs;
  std::vector<Window> parents;
  for (int i = 0; i < kInstances; ++i)
  {
    plugs.push_back(std::make_unique<Instance>(ViewTestEntry()));
    ASSERT_TRUE(*plugs.back());
    parents.push_back(session.MakeParent(40 * i, 30 * i));
  }
  const int fds = CountEntries("/proc/self/fd");
  const int threads = CountEntries("/proc/self/task");
  const int segments = CountOwnShmSegments();

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio(
      [&]
      {
        while (!stop.load())
        {
          for (auto& plug : plugs) plug->Process(512);
          ++blocks;
        }
      });
  int opened = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle)
  {
    for (int i = 0; i < kInstances; ++i) opened += plugs[i]->OpenEditor(parents[i]);
    // Reopening without a close replaces the view.
    opened += plugs[0]->OpenEditor(parents[0]);
    EXPECT_EQ(session.Children(parents[0]).size(), 1u);
    // Input while the audio thread runs.
    session.Drag(132 + 40 * (kInstances - 1), 132 + 30 * (kInstances - 1),
                 132 + 40 * (kInstances - 1), 100, 2);
    // Idle calls from a host that sends them change nothing.
    for (int k = 0; k < 3; ++k)
      for (auto& plug : plugs) EXPECT_EQ(plug->Dispatch(effEditIdle), 0);
    SleepMs(30);
    for (int i = 0; i < kInstances; ++i) plugs[i]->CloseEditor();
  }
  stop.store(true);
  audio.join();
  EXPECT_EQ(opened, kCycles * (kInstances + 1));
  EXPECT_GT(blocks.load(), 0);
  for (Window parent : parents) EXPECT_TRUE(session.Children(parent).empty());
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountOwnShmSegments(), segments);

  // A host that closes the instance with its editor still open.
  ASSERT_TRUE(plugs[1]->OpenEditor(parents[1]));
  plugs[1].reset();
  EXPECT_TRUE(session.Children(parents[1]).empty());
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

// Bad parents and no server: effEditOpen answers 0 and leaves nothing behind.
TEST(X11ViewLifecycle, OpenFailsCleanlyWithoutAUsableParent)
{
  Session session;
  std::string error;
  ASSERT_TRUE(session.Start(true, &error)) << error;
  ASSERT_NE(ViewTestEntry(), nullptr);
  Instance plug(ViewTestEntry());
  ASSERT_TRUE(plug);
  const int fds = CountEntries("/proc/self/fd");
  EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_FALSE(plug.OpenEditor(0x7ffffff)); // no such window
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
  const std::string display = getenv("DISPLAY");
  unsetenv("DISPLAY");
  const Window parent = session.MakeParent();
  EXPECT_FALSE(plug.OpenEditor(parent));
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_TRUE(session.Children(parent).empty());
  EXPECT_TRUE(plug.OpenEditor(parent)); // and it still opens once all is well
  plug.CloseEditor();
}
} // namespace

namespace
{
int gHostErrors = 0;
int CountHostError(Display*, XErrorEvent*)
{
  ++gHostErrors;
  return 0;
}

// Hosts often destroy their window before effEditClose, and have X error handlers of their own.
TEST(X11ViewLifecycle, HostWindowDestroyedFirstAndHostErrorHandlerKept)
{
  Session session;
  std::string error;
  ASSERT_TRUE(session.Start(true, &error)) << error;
  ASSERT_NE(ViewTestEntry(), nullptr);
  Instance plug(ViewTestEntry());
  ASSERT_TRUE(plug);
  const XErrorHandler before = XSetErrorHandler(CountHostError);
  const int threads = CountEntries("/proc/self/task");

  const Window parent = session.MakeParent();
  ASSERT_TRUE(plug.OpenEditor(parent));
  // The host's own errors still reach the host's handler while a view is open.
  XWindowAttributes attributes;
  gHostErrors = 0;
  EXPECT_FALSE(XGetWindowAttributes(session.display(), 0x7ffffff, &attributes));
  EXPECT_EQ(gHostErrors, 1);

  XDestroyWindow(session.display(), parent);
  XSync(session.display(), False);
  plug.Set(0, 0.25f); // a redraw into the destroyed window
  SleepMs(100);
  // Right-click and typing into a window that is gone.
  session.Click(132, 132, 3);
  session.Type("3");
  SleepMs(50);
  plug.CloseEditor();
  EXPECT_EQ(gHostErrors, 1); // the view's errors on the dead window stayed with the view
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  // With the last view closed, the host's handler is the installed one again.
  EXPECT_EQ(XSetErrorHandler(before), CountHostError);
}
} // namespace

// A 16-bit server (5-6-5 visual, no fast pixel path): the view converts every channel.
TEST(X11ViewLifecycle, SixteenBitScreenShowsTheConvertedBitmap)
{
  Session session;
  std::string error;
  ASSERT_TRUE(session.Start(true, &error, 16)) << error;
  ASSERT_NE(ViewTestEntry(), nullptr);
  Instance plug(ViewTestEntry());
  ASSERT_TRUE(plug);
  const Window parent = session.MakeParent();
  ASSERT_TRUE(plug.OpenEditor(parent));
  const std::vector<Window> children = session.Children(parent);
  ASSERT_EQ(children.size(), 1u);
  const int bits[3] = {5, 6, 5};
  EXPECT_TRUE(WaitUntil(
      [&]
      {
        return CountMismatches(session.Capture(children[0], kWidth, kHeight), ExpectedPicture(plug),
                               bits) == 0;
      }));
  plug.CloseEditor();
}

// ---- the editor at twice its size ----
namespace
{
// One way of asking for a scale factor, and the factor the editor must then take.
struct ScaleCase
{
  const char* name;
  const char* gdkScale;  // GDK_SCALE; null: unset
  const char* resources; // the root window's RESOURCE_MANAGER; null: none
  int scale;
  bool shm = true;
  int depth = 24;
};

// Test names and failure messages show the case's name.
void PrintTo(const ScaleCase& c, std::ostream* os)
{
  *os << c.name;
}

const ScaleCase kNoScale{"Nothing", nullptr, nullptr, 1};
const ScaleCase kGdkScale2{"GdkScale2", "2", nullptr, 2};
const ScaleCase kXftDpi192{"XftDpi192", nullptr,
                           "Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", 2};
const ScaleCase kGdkScale2PutImage{"GdkScale2PutImage", "2", nullptr, 2, false};

// The picture at scale: each pixel a scale x scale block.
std::vector<uint32_t> Blocks(const std::vector<uint32_t>& picture, int scale)
{
  std::vector<uint32_t> out(picture.size() * scale * scale);
  const int w = kWidth * scale;
  for (size_t i = 0; i < out.size(); ++i)
  {
    const int x = static_cast<int>(i % w) / scale, y = static_cast<int>(i / w) / scale;
    out[i] = picture[static_cast<size_t>(y) * kWidth + x];
  }
  return out;
}

// Opens the view-test editor the way the case asks for its factor, in a parent of the size the
// plug-in reports before opening (as hosts size their window).
class X11ViewScale : public ::testing::TestWithParam<ScaleCase>
{
protected:
  void SetUp() override
  {
    const ScaleCase& c = GetParam();
    mScale = c.scale;
    std::string error;
    ASSERT_TRUE(mSession.Start(c.shm, &error, c.depth)) << error;
    mSession.GdkScale(c.gdkScale);
    if (c.resources) mSession.SetResources(c.resources);
    ASSERT_NE(ViewTestEntry(), nullptr);
    mPlug = std::make_unique<Instance>(ViewTestEntry());
    ASSERT_TRUE(*mPlug);
    ERect* rect = nullptr;
    ASSERT_EQ(mPlug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, kWidth * mScale) << "before opening";
    EXPECT_EQ(rect->bottom - rect->top, kHeight * mScale) << "before opening";
    mParent = mSession.MakeParent(0, 0, rect->right - rect->left, rect->bottom - rect->top);
    Requests().Clear();
    ASSERT_TRUE(mPlug->OpenEditor(mParent));
    const std::vector<Window> children = mSession.Children(mParent);
    ASSERT_EQ(children.size(), 1u);
    mEditor = children[0];
    ASSERT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  }
  void TearDown() override
  {
    if (mPlug && *mPlug) mPlug->CloseEditor();
    mPlug.reset();
  }
  bool ShowsExpected()
  {
    static const int kSixteen[3] = {5, 6, 5};
    return CountMismatches(mSession.Capture(mEditor, kWidth * mScale, kHeight * mScale),
                           Blocks(ExpectedPicture(*mPlug), mScale),
                           GetParam().depth == 16 ? kSixteen : nullptr) == 0;
  }
  // An editor position in window pixels: the top-left pixel of its block, plus offset (below the
  // factor: the same editor pixel).
  int W(int editor, int offset = 0) const { return editor * mScale + offset; }

  Session mSession;
  std::unique_ptr<Instance> mPlug;
  Window mParent = 0, mEditor = 0;
  int mScale = 1;
};

TEST_P(X11ViewScale, WindowIsTheScaledEditorOfBlocks)
{
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(mSession.display(), mEditor, &attributes));
  EXPECT_EQ(attributes.width, kWidth * mScale);
  EXPECT_EQ(attributes.height, kHeight * mScale);
  ERect* rect = nullptr;
  ASSERT_EQ(mPlug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, kWidth * mScale) << "while open";
  EXPECT_EQ(rect->bottom - rect->top, kHeight * mScale) << "while open";
  // A host-side change reaches every pixel of the knob's blocks.
  mPlug->Set(kParamKnob, 0.9f);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  // Closed and opened again, it asks again and takes the same factor.
  mPlug->CloseEditor();
  ASSERT_EQ(mPlug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, kWidth * mScale) << "closed";
  ASSERT_TRUE(mPlug->OpenEditor(mParent));
  mEditor = mSession.Children(mParent).at(0);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
}

INSTANTIATE_TEST_SUITE_P(
    WaysOfAsking, X11ViewScale,
    ::testing::Values(kNoScale, kGdkScale2, kXftDpi192, kGdkScale2PutImage,
                      ScaleCase{"GdkScale1OverXftDpi192", "1", "Xft.dpi:\t192\n", 1},
                      ScaleCase{"XftDpi144", nullptr, "Xft.dpi:\t144\n", 2},
                      ScaleCase{"XftDpi120", nullptr, "Xft.dpi:\t120\n", 1},
                      ScaleCase{"XftDpiGarbage", nullptr, "Xft.dpi:\tlarge\nXft.dpi\n:::\n", 1},
                      ScaleCase{"GdkScaleAbcThenXftDpi192", "abc", "Xft.dpi:\t192\n", 2},
                      ScaleCase{"GdkScale0", "0", nullptr, 1},
                      ScaleCase{"GdkScaleMinus1", "-1", nullptr, 1},
                      ScaleCase{"GdkScale2Point6", "2.6", nullptr, 1},
                      ScaleCase{"GdkScaleHuge", "99999999999999999999999", nullptr, 2},
                      ScaleCase{"GdkScale2SixteenBit", "2", nullptr, 2, true, 16}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) { return info.param.name; });

// The gestures of the scale-1 tests at the window's scale: the parameters move exactly as they do
// there, because the view hands the graphics object editor pixels.
using X11ViewScaleInput = X11ViewScale;

TEST_P(X11ViewScaleInput, DragWheelAndHoverInEditorPixels)
{
  const IRECT c = Centre(KnobRect());
  const float before = mPlug->Get(kParamKnob);
  // 32 editor pixels up on the 64-pixel knob with gearing 4: +0.125, at any scale.
  mSession.Drag(W(c.L), W(c.T), W(c.L), W(c.T - 32), 4);
  ASSERT_TRUE(WaitUntil([&] { return Requests().Count(audioMasterEndEdit, kParamKnob) == 1; }));
  EXPECT_NEAR(mPlug->Get(kParamKnob), before + 0.125f, 1e-6); // float parameter precision
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
  // One wheel notch: +0.01.
  const float afterDrag = mPlug->Get(kParamKnob);
  mSession.Move(W(c.L, mScale - 1), W(c.T, mScale - 1));
  mSession.Button(4, true);
  mSession.Button(4, false);
  ASSERT_TRUE(WaitUntil([&] { return mPlug->Get(kParamKnob) > afterDrag + 0.005f; }));
  EXPECT_NEAR(mPlug->Get(kParamKnob), afterDrag + 0.01f, 1e-6);
  // A hover reports the editor x within the recorder: 10 from its left edge, from either window
  // pixel of that column.
  const IRECT r = RecorderRect();
  for (int offset = 0; offset < mScale; ++offset)
  {
    mSession.Move(W(r.L + 20), W(r.T + 10));
    ASSERT_TRUE(WaitUntil([&] { return std::fabs(mPlug->Get(kParamHover) - 0.02f) < 1e-6f; }));
    mSession.Move(W(r.L + 10, offset), W(r.T + 10));
    ASSERT_TRUE(WaitUntil([&] { return std::fabs(mPlug->Get(kParamHover) - 0.01f) < 1e-6f; }))
        << "offset " << offset << ": " << mPlug->Get(kParamHover) * 1000.0f;
  }
}

TEST_P(X11ViewScaleInput, DoubleClickSlopIsFourEditorPixels)
{
  const IRECT r = Centre(RecorderRect());
  const float step = 1.0f / 1000.0f; // one count on the 0..1000 parameter
  // 4 editor pixels apart (8 window pixels at scale 2): one double-click.
  mSession.Click(W(r.L), W(r.T));
  mSession.Click(W(r.L + 4), W(r.T + 4));
  ASSERT_TRUE(WaitUntil([&] { return mPlug->Get(kParamClicks) > 0.5f * step; }));
  EXPECT_NEAR(mPlug->Get(kParamClicks), step, 1e-6);
  // 5 editor pixels apart: two single clicks.
  SleepMs(600);
  mSession.Click(W(r.L), W(r.T));
  mSession.Click(W(r.L + 5), W(r.T));
  SleepMs(200);
  EXPECT_NEAR(mPlug->Get(kParamClicks), step, 1e-6);
}

// The prompt covers exactly its field over the knob, scaled; typing and list rows work at scale.
TEST_P(X11ViewScaleInput, PromptOpensOverItsKnob)
{
  const IRECT gain = Centre(GainRect());
  mSession.Click(W(gain.L), W(gain.T), 3);
  ASSERT_TRUE(WaitUntil([&] { return !ShowsExpected(); }));
  SleepMs(50); // a frame more, so the whole prompt is shown
  // The text field's rule (Cocoa's, the X11 view's too): 42 x 21 editor pixels, centred on the
  // knob's centre across, from 11 above it to 10 below.
  const IRECT field(gain.L - 21, gain.T - 11, gain.L + 21, gain.T + 10);
  const std::vector<uint32_t> shown = mSession.Capture(mEditor, kWidth * mScale, kHeight * mScale);
  const std::vector<uint32_t> picture = Blocks(ExpectedPicture(*mPlug), mScale);
  IRECT changed(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
  for (int y = 0; y < kHeight * mScale; ++y)
    for (int x = 0; x < kWidth * mScale; ++x)
    {
      const size_t i = static_cast<size_t>(y) * kWidth * mScale + x;
      if (shown[i] == picture[i]) continue;
      changed = IRECT(std::min(changed.L, x), std::min(changed.T, y), std::max(changed.R, x + 1),
                      std::max(changed.B, y + 1));
    }
  EXPECT_EQ(changed, IRECT(W(field.L), W(field.T), W(field.R), W(field.B)));
  mSession.Type("-3");
  mSession.Key(XK_Return);
  ASSERT_TRUE(WaitUntil([&] { return mPlug->ParamText(kParamGain) == "-3.00"; }))
      << mPlug->ParamText(kParamGain);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));

  // The Mode list: field from the knob's centre down 26 pixels, rows of 16 below it; the third
  // row, "high", is chosen with a click at its middle.
  const IRECT mode = Centre(ModeRect());
  mSession.Click(W(mode.L), W(mode.T), 3);
  ASSERT_TRUE(WaitUntil([&] { return !ShowsExpected(); }));
  mSession.Click(W(mode.L), W(mode.T + 26 + 2 * 16 + 8));
  ASSERT_TRUE(WaitUntil([&] { return mPlug->ParamText(kParamMode) == "high"; }))
      << mPlug->ParamText(kParamMode);
  EXPECT_TRUE(WaitUntil([&] { return ShowsExpected(); }));
}

INSTANTIATE_TEST_SUITE_P(WaysOfAsking, X11ViewScaleInput,
                         ::testing::Values(kNoScale, kGdkScale2, kXftDpi192, kGdkScale2PutImage),
                         [](const ::testing::TestParamInfo<ScaleCase>& info)
                         { return info.param.name; });
} // namespace
