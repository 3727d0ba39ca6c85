// The LV2 X11 UI under a private Xvfb: opened in a parent window, a knob dragged with XTest comes
// back through the write function with touch gestures, host automation reaches the plug-in through
// port_event, and the UI closes and reopens cleanly, with and without instance access.
#include "tests/graphics/x11/X11TestHost.h"
#include "tests/lv2/Lv2TestHost.h"

#include <cmath>

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

using namespace x11test;

namespace
{
constexpr int kOverallGainX = 648, kOverallGainY = 162; // knob centre; the knob is 50 x 50

struct UiHost
{
  std::mutex lock;
  std::vector<std::pair<uint32_t, float>> writes;
  std::vector<std::pair<uint32_t, bool>> touches;
  int resizeW = 0, resizeH = 0;
  // Writes and touches must come from the UI thread, the test's own.
  std::thread::id uiThread = std::this_thread::get_id();
  int callsElsewhere = 0;

  static void Write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format,
                    const void* buffer)
  {
    auto* h = static_cast<UiHost*>(c);
    if (size != sizeof(float) || format != 0) return;
    std::lock_guard<std::mutex> guard(h->lock);
    h->writes.push_back({port, *static_cast<const float*>(buffer)});
    h->callsElsewhere += std::this_thread::get_id() != h->uiThread;
  }
  static void Touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed)
  {
    auto* h = static_cast<UiHost*>(handle);
    std::lock_guard<std::mutex> guard(h->lock);
    h->touches.push_back({port, grabbed});
    h->callsElsewhere += std::this_thread::get_id() != h->uiThread;
  }
  static int Resize(LV2UI_Feature_Handle handle, int w, int hgt)
  {
    auto* h = static_cast<UiHost*>(handle);
    h->resizeW = w;
    h->resizeH = hgt;
    return 0;
  }
};

const LV2UI_Descriptor* UiDescriptor()
{
  void* lib = dlopen((std::string(TARVEX_TEST_BINARY_DIR) + "/Tarvex.lv2/Tarvex.so").c_str(),
                     RTLD_NOW | RTLD_NODELETE);
  if (!lib) return nullptr;
  auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(lib, "lv2ui_descriptor"));
  return entry ? entry(0) : nullptr;
}

class Lv2Ui : public ::testing::TestWithParam<bool>
{
protected:
  void SetUp() override
  {
    lv2test::TheWorld();
    std::string error;
    ASSERT_TRUE(mSession.Start(true, &error)) << error;
    mParent = mSession.MakeParent();
    mDescriptor = UiDescriptor();
    ASSERT_NE(mDescriptor, nullptr);
    ASSERT_TRUE(mPlug);
  }

  LV2UI_Handle Open(bool instanceAccess, bool withParent = true)
  {
    mParentFeature = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(mParent))};
    mAccessFeature = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(mPlug.get())};
    mTouch = {&mHost, UiHost::Touch};
    mTouchFeature = {LV2_UI__touch, &mTouch};
    mResize = {&mHost, UiHost::Resize};
    mResizeFeature = {LV2_UI__resize, &mResize};
    int n = 0;
    if (withParent) mFeatures[n++] = &mParentFeature;
    if (instanceAccess) mFeatures[n++] = &mAccessFeature;
    mFeatures[n++] = &mTouchFeature;
    mFeatures[n++] = &mResizeFeature;
    mFeatures[n] = nullptr;
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle ui = mDescriptor->instantiate(mDescriptor, lv2test::kUri, "", UiHost::Write,
                                               &mHost, &widget, mFeatures);
    if (ui)
    {
      EXPECT_NE(widget, nullptr);
    }
    return ui;
  }
  int Idle(LV2UI_Handle ui)
  {
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(
        mDescriptor->extension_data(LV2_UI__idleInterface));
    return idle ? idle->idle(ui) : -1;
  }
  float SavedValue(int index)
  {
    struct Out
    {
      std::vector<uint8_t> bytes;
      static LV2_State_Status Put(LV2_State_Handle h, uint32_t, const void* v, size_t size,
                                  uint32_t, uint32_t)
      {
        static_cast<Out*>(h)->bytes.assign(static_cast<const uint8_t*>(v),
                                           static_cast<const uint8_t*>(v) + size);
        return LV2_STATE_SUCCESS;
      }
    } out;
    mPlug.StateInterface()->save(lilv_instance_get_handle(mPlug.get()), Out::Put, &out, 0,
                                 mPlug.Features());
    double v = NAN;
    if (out.bytes.size() >= 8u * (index + 1)) memcpy(&v, out.bytes.data() + 8 * index, 8);
    return static_cast<float>(v);
  }

  Session mSession;
  Window mParent = 0;
  lv2test::Instance mPlug;
  const LV2UI_Descriptor* mDescriptor = nullptr;
  UiHost mHost;
  LV2UI_Touch mTouch;
  LV2UI_Resize mResize;
  LV2_Feature mParentFeature, mAccessFeature, mTouchFeature, mResizeFeature;
  const LV2_Feature* mFeatures[5] = {};
};
} // namespace

TEST_P(Lv2Ui, KnobDragComesBackThroughWrite)
{
  const bool access = GetParam();
  EXPECT_EQ(Open(access, false), nullptr) << "a UI without a parent window is refused";
  for (int round = 0; round < 2; ++round) // open, close, and open again
  {
    mHost.writes.clear();
    mHost.touches.clear();
    LV2UI_Handle ui = Open(access);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(mHost.resizeW, 752);
    EXPECT_EQ(mHost.resizeH, 576);
    ASSERT_EQ(mSession.Children(mParent).size(), 1u);
    SleepMs(200); // a few frames
    // Host automation of Overall Gain to -30 dB, then 25 pixels up on a 50-pixel knob with gearing
    // 4: +0.125 of the 120 dB range, +15 dB.
    const float automated = -30.0f;
    mDescriptor->port_event(ui, lv2test::kFirstParam + kParamOverallGain, sizeof(float), 0,
                            &automated);
    if (access)
    {
      EXPECT_FLOAT_EQ(SavedValue(kParamOverallGain), automated);
    }
    SleepMs(100);
    mSession.Drag(kOverallGainX, kOverallGainY, kOverallGainX, kOverallGainY - 25, 5);
    const uint32_t port = lv2test::kFirstParam + kParamOverallGain;
    ASSERT_TRUE(WaitUntil(
        [&]
        {
          Idle(ui);
          std::lock_guard<std::mutex> guard(mHost.lock);
          return !mHost.touches.empty() && !mHost.touches.back().second;
        }))
        << "no end of gesture";
    {
      std::lock_guard<std::mutex> guard(mHost.lock);
      ASSERT_FALSE(mHost.writes.empty());
      EXPECT_EQ(mHost.writes.back().first, port);
      EXPECT_NEAR(mHost.writes.back().second, automated + 15.0f, 1e-3); // float port precision
      ASSERT_EQ(mHost.touches.size(), 2u);
      EXPECT_EQ(mHost.touches.front(), std::make_pair(port, true));
      EXPECT_EQ(mHost.touches.back(), std::make_pair(port, false));
      EXPECT_EQ(mHost.callsElsewhere, 0);
    }
    if (access)
    {
      EXPECT_NEAR(SavedValue(kParamOverallGain), automated + 15.0f, 1e-3);
    }
    EXPECT_EQ(Idle(ui), 0);
    mDescriptor->cleanup(ui);
    EXPECT_TRUE(mSession.Children(mParent).empty()) << "the editor window stays after cleanup";
    // The instance still runs after its UI has gone.
    std::vector<float> l(512, 0.1f), r(512, 0.1f);
    mPlug.Process(l, r, 512);
  }
}

// A band point dragged in the plot: ui:touch begins for its gain and frequency ports, their values
// through write as it moves, touch ends at the release; the last gain written is the plug-in's.
TEST_P(Lv2Ui, PlotDragComesBackAsATouchGesture)
{
  const bool access = GetParam();
  LV2UI_Handle ui = Open(access);
  ASSERT_NE(ui, nullptr);
  const uint32_t gainPort = lv2test::kFirstParam + 5, freqPort = lv2test::kFirstParam + 9;
  // Band B at its default 370 Hz and 0 dB: x from the log position, y from the 0 dB row.
  const int x = 32 + static_cast<int>(511.0 * std::log(370.0 / 20.0) / std::log(1000.0) + 0.5);
  const int y = 32 + 511 - static_cast<int>(511.0 * 68.68588963806504 / 128.68588963806504 + 0.5);
  Idle(ui); // a frame, so the points have their positions
  mSession.Drag(x, y, x + 20, y - 60, 6);
  ASSERT_TRUE(WaitUntil(
      [&]
      {
        Idle(ui);
        std::lock_guard<std::mutex> guard(mHost.lock);
        return mHost.touches.size() >= 4;
      }))
      << "no complete gesture";
  std::lock_guard<std::mutex> guard(mHost.lock);
  const std::vector<std::pair<uint32_t, bool>> expected = {
      {gainPort, true}, {freqPort, true}, {gainPort, false}, {freqPort, false}};
  EXPECT_EQ(mHost.touches, expected);
  float lastGain = NAN;
  for (const auto& w : mHost.writes)
    if (w.first == gainPort) lastGain = w.second;
  EXPECT_GT(lastGain, 10.0f); // 60 rows up from 0 dB, about +15 dB
  if (access)
  {
    EXPECT_FLOAT_EQ(SavedValue(5), lastGain);
  }
  EXPECT_EQ(mHost.callsElsewhere, 0);
  mDescriptor->cleanup(ui);
}

INSTANTIATE_TEST_SUITE_P(InstanceAccess, Lv2Ui, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info)
                         { return info.param ? "WithInstanceAccess" : "PrivateEditor"; });
