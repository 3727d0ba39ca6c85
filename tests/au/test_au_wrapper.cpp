// The wrapper compiled into the test program, for what a host cannot reach through the bundle
// alone: the editor's parameter gestures as Audio Unit events, the host's time callbacks, host
// identification, and the two view factories with and without editor graphics.
#include "au/AUViewFactories.h"
#include "au/IPlugAU.h"
#include "tests/au/AuUnit.h"
#include "tests/vst/RecordingGraphics.h"

extern "C" ComponentResult Tarvex_Entry(ComponentParameters* params, Handle storage);
extern "C" ComponentResult Tarvex_ViewEntry(ComponentParameters* params, Handle storage);

using namespace authost;

namespace
{
class AuWrapper : public AuHostTest
{
protected:
  void SetUp() override
  {
    AuHostTest::SetUp();
    testcf::RegisterBundle("com.vennmoor.audiounit.Tarvex", "/bundles/Tarvex.component");
  }
  static IPlugAU* PlugOf(const Unit& unit)
  {
    return reinterpret_cast<IPlugAU*>(StorageOf(unit.ci()));
  }
};

struct TimeInfo
{
  int beatCalls = 0;
  double tempo = 133.0;
  double sample = 1234.6;
  float numerator = 7.0f;
  UInt32 denominator = 8;
};
OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo)
{
  TimeInfo* info = static_cast<TimeInfo*>(user);
  ++info->beatCalls;
  *beat = 3.0;
  *tempo = info->tempo;
  return noErr;
}
OSStatus MusicalTime(void* user, UInt32* delta, Float32* numerator, UInt32* denominator,
                     Float64* downBeat)
{
  TimeInfo* info = static_cast<TimeInfo*>(user);
  *delta = 10;
  *numerator = info->numerator;
  *denominator = info->denominator;
  *downBeat = 4.0;
  return noErr;
}
OSStatus Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                   Boolean* cycling, Float64* cycleStart, Float64* cycleEnd)
{
  *playing = 1;
  *changed = 0;
  *sample = static_cast<TimeInfo*>(user)->sample;
  *cycling = 0;
  *cycleStart = *cycleEnd = 0.0;
  return noErr;
}
} // namespace

TEST_F(AuWrapper, EditorGesturesBecomeAudioUnitEvents)
{
  Unit unit(Tarvex_Entry);
  ASSERT_TRUE(unit);
  IPlugAU* plug = PlugOf(unit);
  ASSERT_NE(plug, nullptr);
  EXPECT_EQ(plug->GetComponentInstance(), unit.ci());
  Events().clear();
  plug->BeginInformHostOfParamChange(kParamBandGain + 1);
  plug->SetParameterFromGUI(kParamBandGain + 1, 0.25);
  plug->SetParameterFromGUI(kParamBandGain + 1, 0.5);
  plug->EndInformHostOfParamChange(kParamBandGain + 1);
  const AudioUnitEventType expected[] = {
      kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
      kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_EndParameterChangeGesture};
  ASSERT_EQ(Events().size(), 4u);
  for (size_t i = 0; i < 4; ++i)
  {
    EXPECT_EQ(Events()[i].type, expected[i]) << i;
    EXPECT_EQ(Events()[i].unit, unit.ci());
    EXPECT_EQ(Events()[i].parameter, 5u);
    EXPECT_EQ(Events()[i].scope, 0u);
    EXPECT_EQ(Events()[i].element, 0u);
  }
  // The value itself travels through GetParameter.
  EXPECT_FLOAT_EQ(unit.Param(kParamBandGain + 1),
                  static_cast<float>(plug->GetParam(kParamBandGain + 1)->mValue));
  // The host's own changes are not echoed.
  Events().clear();
  ASSERT_EQ(unit.SetParam(kParamBandGain + 1, 3.0f), noErr);
  EXPECT_TRUE(Events().empty());
}

TEST_F(AuWrapper, HostTimeCallbacks)
{
  Unit unit(Tarvex_Entry);
  ASSERT_TRUE(unit);
  IPlugAU* plug = PlugOf(unit);
  // Before the host gives callbacks: 0, the remembered 120, no time signature.
  EXPECT_EQ(plug->HostSamplePosition(), 0);
  EXPECT_EQ(plug->HostTempo(), 120.0);
  int numerator = -1, denominator = -1;
  plug->HostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 0);
  EXPECT_EQ(denominator, 0);

  TimeInfo time;
  HostCallbackInfo callbacks = {&time, BeatAndTempo, MusicalTime, Transport, nullptr};
  ASSERT_EQ(unit.SetValue(kAudioUnitProperty_HostCallbacks, 0, 0, callbacks), noErr);
  EXPECT_EQ(plug->HostSamplePosition(), 1235); // sample + 0.5, truncated
  EXPECT_EQ(plug->HostTempo(), 133.0);
  EXPECT_EQ(time.beatCalls, 1);
  time.tempo = 0.0; // not a tempo: the last one stays
  EXPECT_EQ(plug->HostTempo(), 133.0);
  plug->HostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 7);
  EXPECT_EQ(denominator, 8);
  plug->HostTimeSignature(nullptr, nullptr);

  // A host that gives only the first 16 bytes (user data and the beat procedure).
  ASSERT_EQ(unit.Set(kAudioUnitProperty_HostCallbacks, 0, 0, &callbacks, 16), noErr);
  time.tempo = 90.0;
  EXPECT_EQ(plug->HostTempo(), 90.0);
  EXPECT_EQ(plug->HostSamplePosition(), 0);
  plug->HostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 0);
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_HostCallbacks, 1, 0, callbacks),
            kAudioUnitErr_InvalidProperty);
}

TEST_F(AuWrapper, HostIdentifiedFromTheMainBundle)
{
  const std::pair<const char*, int> hosts[] = {
      {"com.apple.logic10", kHostLogic},      {"com.cockos.reaper", kHostReaper},
      {"com.ableton.live", kHostAbletonLive}, {"com.apple.audio.aulab", kHostAULab},
      {"com.example.host", kHostUnknown},     {nullptr, kHostUnknown}};
  for (const auto& [identifier, code] : hosts)
  {
    testcf::SetMainBundleIdentifier(identifier);
    Unit unit(Tarvex_Entry);
    ASSERT_TRUE(unit);
    EXPECT_EQ(PlugOf(unit)->GetHost(), code) << (identifier ? identifier : "no main bundle");
  }
}

TEST_F(AuWrapper, ViewPropertiesAndFactoriesWithEditorGraphics)
{
  Unit unit(Tarvex_Entry);
  ASSERT_TRUE(unit);
  IPlugAU* plug = PlugOf(unit);
  // The editor's own graphics object has no Cocoa view on this platform: the factory still
  // records the unit it served and returns none.
  IPlugAU* served = nullptr;
  EXPECT_EQ(OpenCocoaViewForAudioUnit(unit.ci(), FourCC("Trvx"), FourCC("Vnmr"), &served), nullptr);
  EXPECT_EQ(served, plug);

  IGraphics* graphics = MakeRecordingGraphics(plug);
  plug->AdoptGraphics(graphics); // owned by the plug-in from here
  ComponentDescription view = {};
  ASSERT_EQ(unit.GetValue(kAudioUnitProperty_GetUIComponentList, 0, 0, &view), noErr);
  EXPECT_EQ(view.componentType, FourCC("auvw"));
  EXPECT_EQ(view.componentSubType, FourCC("Trvx"));
  EXPECT_EQ(view.componentManufacturer, FourCC("Vnmr"));
  EXPECT_EQ(view.componentFlags, 0u);
  AudioUnitCocoaViewInfo cocoa = {};
  ASSERT_EQ(unit.GetValue(kAudioUnitProperty_CocoaUI, 0, 0, &cocoa), noErr);
  EXPECT_EQ(testcf::URLPath(cocoa.mCocoaAUViewBundleLocation), "/bundles/Tarvex.component");
  EXPECT_EQ(testcf::StringValue(cocoa.mCocoaAUViewClass[0]), "Tarvex_View");
  CFRelease(cocoa.mCocoaAUViewBundleLocation);
  CFRelease(cocoa.mCocoaAUViewClass[0]);

  // The Cocoa factory asks the graphics object for its view; a unit of another maker gets none.
  OpenCocoaViewForAudioUnit(unit.ci(), FourCC("Trvx"), FourCC("Vnmr"), &served);
  EXPECT_EQ(ViewsOpened(graphics), std::vector<std::string>{"cocoa"});
  ComponentInstance source = OpenSource(SourceOptions());
  EXPECT_EQ(OpenCocoaViewForAudioUnit(source, FourCC("Trvx"), FourCC("Vnmr"), &served), nullptr);
  EXPECT_EQ(served, nullptr);
  EXPECT_EQ(OpenCocoaViewForAudioUnit(nullptr, FourCC("Trvx"), FourCC("Vnmr"), nullptr), nullptr);

  // The Carbon view component: open, create for our unit, refuse another, close.
  ComponentInstance carbon = OpenInstance(Tarvex_ViewEntry, kTarvexViewDescription);
  ASSERT_NE(carbon, nullptr);
  int window = 0, parent = 0;
  Float32Point location = {0, 0}, extent = {752, 576};
  ControlRef control = nullptr;
  EXPECT_EQ(Call(carbon, kAudioUnitCarbonViewCreateSelect, source, &window, &parent, &location,
                 &extent, &control),
            badComponentSelector);
  EXPECT_EQ(Call(carbon, kAudioUnitCarbonViewCreateSelect, unit.ci(), &window, &parent, &location,
                 &extent, &control),
            noErr);
  EXPECT_EQ(static_cast<void*>(control), static_cast<void*>(&window));
  EXPECT_EQ(Call(carbon, 0x0302, 0L), badComponentSelector);
  EXPECT_EQ(CloseInstance(carbon), noErr);
  EXPECT_EQ(ViewsOpened(graphics),
            (std::vector<std::string>{"cocoa", "carbon with control", "close"}));
  CloseInstance(source);
}

TEST_F(AuWrapper, CarbonViewOfTheBundleCreatesNoControl)
{
  // The bundle's editor has no Carbon view on this platform: the view component creates the view
  // record and answers 0, with a null control, as a universal build does on a Mac.
  Unit unit;
  ASSERT_TRUE(unit);
  ComponentRoutineProcPtr viewEntry = BundleViewEntry();
  ASSERT_NE(viewEntry, nullptr);
  ComponentInstance carbon = OpenInstance(viewEntry, kTarvexViewDescription);
  ASSERT_NE(carbon, nullptr);
  ControlRef control = reinterpret_cast<ControlRef>(&unit);
  int window = 0;
  EXPECT_EQ(Call(carbon, kAudioUnitCarbonViewCreateSelect, unit.ci(), &window, nullptr, nullptr,
                 nullptr, &control),
            noErr);
  EXPECT_EQ(control, nullptr);
  EXPECT_EQ(Call(carbon, kAudioUnitCarbonViewCreateSelect, nullptr, nullptr, nullptr, nullptr,
                 nullptr, nullptr),
            badComponentSelector);
  EXPECT_EQ(Call(carbon, kComponentVersionSelect), badComponentSelector);
  EXPECT_EQ(CloseInstance(carbon), noErr);
  EXPECT_EQ(viewEntry(nullptr, nullptr), kAudio_ParamError);
  EXPECT_EQ(CallEntry(viewEntry, nullptr, nullptr, kComponentOpenSelect, {}), kAudio_ParamError);
  EXPECT_EQ(CallEntry(viewEntry, nullptr, nullptr, kComponentCloseSelect, {}), kAudio_ParamError);
  // The unit names its Cocoa view factory.
  UInt32 size = 0;
  EXPECT_EQ(unit.Info(kAudioUnitProperty_CocoaUI, 0, 0, &size, nullptr), noErr);
  EXPECT_EQ(size, 16u);
}
