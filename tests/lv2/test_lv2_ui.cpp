// The LV2 X11 UI under a private Xvfb: opened in a parent window, a knob dragged with XTest comes
// back through the write function with touch gestures, host automation reaches the plug-in through
// port_event, and the UI closes and reopens cleanly, with and without instance access. The host's
// ui:scaleFactor option sizes the UI.
#include "tests/graphics/x11/X11TestHost.h"
#include "tests/lv2/Lv2TestHost.h"

#include <cmath>

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

using namespace x11test;

namespace
{
constexpr int kOverallGain = 17;
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

  // options: the host's options (null: no options feature); withMap: the URID map feature.
  LV2UI_Handle Open(bool instanceAccess, bool withParent = true,
                    const LV2_Options_Option* options = nullptr, bool withMap = true,
                    Window parent = 0)
  {
    if (!parent) parent = mParent;
    mParentFeature = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
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
    mMapFeature = {LV2_URID__map, &lv2test::Urids().map};
    if (withMap) mFeatures[n++] = &mMapFeature;
    mOptionsFeature = {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    if (options) mFeatures[n++] = &mOptionsFeature;
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
  LV2_Feature mParentFeature, mAccessFeature, mTouchFeature, mResizeFeature, mMapFeature,
      mOptionsFeature;
  const LV2_Feature* mFeatures[7] = {};
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
    mDescriptor->port_event(ui, lv2test::kFirstParam + kOverallGain, sizeof(float), 0, &automated);
    if (access)
    {
      EXPECT_FLOAT_EQ(SavedValue(kOverallGain), automated);
    }
    SleepMs(100);
    mSession.Drag(kOverallGainX, kOverallGainY, kOverallGainX, kOverallGainY - 25, 5);
    const uint32_t port = lv2test::kFirstParam + kOverallGain;
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
      EXPECT_NEAR(SavedValue(kOverallGain), automated + 15.0f, 1e-3);
    }
    EXPECT_EQ(Idle(ui), 0);
    mDescriptor->cleanup(ui);
    EXPECT_TRUE(mSession.Children(mParent).empty()) << "the editor window stays after cleanup";
    // The instance still runs after its UI has gone.
    std::vector<float> l(512, 0.1f), r(512, 0.1f);
    mPlug.Process(l, r, 512);
  }
}

namespace
{
// One ui:scaleFactor option as a host may give it, and what the UI must make of it.
struct ScaleOption
{
  const char* name;
  const char* type; // the option's type URI; null: no options at all
  uint32_t size;
  double value;
  bool withMap;
  const char* gdkScale; // GDK_SCALE meanwhile; null: unset
  int scale;            // the factor the UI must take
};

// The options array for o: the scale factor, then the terminator. value holds its bytes.
const LV2_Options_Option* ScaleOptions(const ScaleOption& o, LV2_Options_Option (&array)[2],
                                       double* value)
{
  if (!o.type) return nullptr;
  if (!strcmp(o.type, LV2_ATOM__Double))
    *value = o.value;
  else if (!strcmp(o.type, LV2_ATOM__Int))
  {
    const int32_t whole = static_cast<int32_t>(o.value);
    memcpy(value, &whole, sizeof(whole));
  }
  else
  {
    const float single = static_cast<float>(o.value);
    memcpy(value, &single, sizeof(single));
  }
  array[0] = {LV2_OPTIONS_INSTANCE,     0,    lv2test::Urids()(LV2_UI__scaleFactor), o.size,
              lv2test::Urids()(o.type), value};
  array[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
  return array;
}
} // namespace

// Each way a host may give the factor, in turn on one plug-in instance: a UI never keeps the
// factor of the one before it. The window and the size asked for with ui:resize agree.
TEST_P(Lv2Ui, HostScaleFactorSizesTheUi)
{
  const ScaleOption cases[] = {
      {"float 2", LV2_ATOM__Float, 4, 2.0, true, nullptr, 2},
      {"no options", nullptr, 0, 0.0, true, nullptr, 1},
      {"double 2", LV2_ATOM__Double, 8, 2.0, true, nullptr, 2},
      {"float 1 before GDK_SCALE 2", LV2_ATOM__Float, 4, 1.0, true, "2", 1},
      {"float 1.6", LV2_ATOM__Float, 4, 1.6, true, nullptr, 2},
      {"float 1.4", LV2_ATOM__Float, 4, 1.4, true, nullptr, 1},
      {"float 3 is 2", LV2_ATOM__Float, 4, 3.0, true, nullptr, 2},
      {"float 1e30 is 2", LV2_ATOM__Float, 4, 1e30, true, nullptr, 2},
      {"float NaN: none", LV2_ATOM__Float, 4, NAN, true, nullptr, 1},
      {"float -2: none", LV2_ATOM__Float, 4, -2.0, true, nullptr, 1},
      {"float 0: none, GDK_SCALE 2", LV2_ATOM__Float, 4, 0.0, true, "2", 2},
      {"int 2: not a float", LV2_ATOM__Int, 4, 2.0, true, nullptr, 1},
      {"float of 8 bytes", LV2_ATOM__Float, 8, 2.0, true, nullptr, 1},
      {"float 2 without urid:map", LV2_ATOM__Float, 4, 2.0, false, nullptr, 1},
  };
  for (const ScaleOption& c : cases)
  {
    SCOPED_TRACE(c.name);
    mSession.GdkScale(c.gdkScale);
    LV2_Options_Option array[2];
    double value = 0.0;
    mHost.resizeW = mHost.resizeH = 0;
    LV2UI_Handle ui = Open(GetParam(), true, ScaleOptions(c, array, &value), c.withMap);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(mHost.resizeW, 752 * c.scale);
    EXPECT_EQ(mHost.resizeH, 576 * c.scale);
    const std::vector<Window> children = mSession.Children(mParent);
    ASSERT_EQ(children.size(), 1u);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(mSession.display(), children[0], &attributes));
    EXPECT_EQ(attributes.width, 752 * c.scale);
    EXPECT_EQ(attributes.height, 576 * c.scale);
    EXPECT_EQ(Idle(ui), 0);
    mDescriptor->cleanup(ui);
  }
}

// At the host's factor 2 the knob takes the drag of twice as many window pixels as at 1.
TEST_P(Lv2Ui, KnobDragAtTheHostScaleFactor)
{
  const Window parent = mSession.MakeParent(0, 0, 2 * 752, 2 * 576);
  const ScaleOption twice{"float 2", LV2_ATOM__Float, 4, 2.0, true, nullptr, 2};
  LV2_Options_Option array[2];
  double value = 0.0;
  LV2UI_Handle ui = Open(GetParam(), true, ScaleOptions(twice, array, &value), true, parent);
  ASSERT_NE(ui, nullptr);
  ASSERT_EQ(mHost.resizeW, 2 * 752);
  SleepMs(200);
  const float automated = -30.0f;
  mDescriptor->port_event(ui, lv2test::kFirstParam + kOverallGain, sizeof(float), 0, &automated);
  SleepMs(100);
  // 25 editor pixels up, 50 window pixels: +15 dB as at scale 1.
  mSession.Drag(2 * kOverallGainX, 2 * kOverallGainY, 2 * kOverallGainX, 2 * (kOverallGainY - 25),
                5);
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
    EXPECT_EQ(mHost.writes.back().first, lv2test::kFirstParam + kOverallGain);
    EXPECT_NEAR(mHost.writes.back().second, automated + 15.0f, 1e-3); // float port precision
  }
  mDescriptor->cleanup(ui);
  EXPECT_TRUE(mSession.Children(parent).empty());
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
