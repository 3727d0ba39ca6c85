// The component as a validating host drives it, in that order: open, CanDo and version, every
// property in each scope, stream formats and channel configurations, initialise, latency,
// parameters, class info, uninitialise, close; then hostile input through every selector.
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <set>

#include "tests/au/AuUnit.h"

using namespace authost;

namespace
{
class AuComponent : public AuHostTest
{
};

// Copies the "data" of a class-info dictionary.
std::vector<UInt8> StateOf(Unit& unit)
{
  CFPropertyListRef dict = nullptr;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &dict), noErr);
  std::vector<UInt8> bytes;
  if (!dict) return bytes;
  CFTypeRef data = CFDictionaryGetValue(static_cast<CFDictionaryRef>(dict), CFSTR("data"));
  if (data && CFGetTypeID(data) == CFDataGetTypeID())
  {
    const UInt8* p = CFDataGetBytePtr(static_cast<CFDataRef>(data));
    if (p) bytes.assign(p, p + CFDataGetLength(static_cast<CFDataRef>(data)));
  }
  CFRelease(dict);
  return bytes;
}
} // namespace

TEST_F(AuComponent, OpenCanDoVersionClose)
{
  Unit unit;
  ASSERT_TRUE(unit) << unit.openResult();
  EXPECT_NE(StorageOf(unit.ci()), nullptr);
  const std::set<int> handled = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17};
  for (int selector = -8; selector <= 300; ++selector)
    EXPECT_EQ(unit.Call(kComponentCanDoSelect, static_cast<SInt16>(selector)),
              handled.count(selector) ? 1 : 0)
        << "selector " << selector;
  EXPECT_EQ(unit.Call(kComponentVersionSelect), 0x10000);
  EXPECT_EQ(CloseInstance(unit.ci()), noErr);
  EXPECT_EQ(StorageOf(unit.ci()), nullptr);
}

TEST_F(AuComponent, EveryPropertyInItsScopes)
{
  Unit unit;
  ASSERT_TRUE(unit);
  constexpr ComponentResult kInvalid = kAudioUnitErr_InvalidProperty;
  struct Case
  {
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    ComponentResult status;
    UInt32 size;
    bool writable;
    bool makesObject; // the value is a CoreFoundation object the host releases
  };
  const Case cases[] = {
      {0, 0, 0, noErr, 8, true, true},
      {0, 2, 0, noErr, 8, true, true},
      {1, 0, 0, noErr, 16, true, false},
      {1, 1, 0, noErr, 16, true, false},
      {1, 2, 0, kInvalid, 0, false, false},
      {2, 0, 0, noErr, 8, true, false},
      {2, 1, 0, noErr, 8, true, false},
      {3, 0, 0, noErr, 96, false, false},
      {3, 1, 0, noErr, 0, false, false},
      {4, 0, 8, noErr, 104, false, false},
      {4, 1, 8, kInvalid, 0, false, false},
      {4, 0, 24, kAudioUnitErr_InvalidParameter, 0, false, false},
      {5, 0, 6, noErr, 8, false, false},
      {5, 0, 7, noErr, 8, false, false},
      {5, 0, 14, noErr, 8, false, false},
      {5, 0, 8, kAudioUnitErr_InvalidElement, 0, false, false},
      {8, 0, 0, noErr, 40, true, false},
      {8, 1, 0, noErr, 40, true, false},
      {8, 2, 0, noErr, 40, true, false},
      {8, 1, 1, kInvalid, 0, false, false},
      {8, 3, 0, kInvalid, 0, false, false},
      {11, 0, 0, noErr, 4, false, false},
      {11, 7, 0, noErr, 4, false, false},
      {12, 0, 0, noErr, 8, false, false},
      {12, 1, 0, kInvalid, 0, false, false},
      {13, 0, 0, noErr, 8, false, false},
      {14, 0, 0, noErr, 4, true, false},
      {14, 2, 0, kInvalid, 0, false, false},
      {16, 0, 0, noErr, 8, false, true},
      {16, 0, 4, kInvalid, 0, false, false},
      {18, 0, 0, noErr, 20, false, false}, // the Carbon view component of the editor
      {20, 0, 0, noErr, 8, false, false},
      {21, 0, 0, noErr, 4, true, false},
      {21, 1, 0, kInvalid, 0, false, false},
      {22, 0, 0, noErr, 4, false, false},
      {23, 1, 0, noErr, 16, true, false},
      {23, 1, 1, kInvalid, 0, false, false},
      {23, 2, 0, kInvalid, 0, false, false},
      {24, 0, 0, noErr, 8, false, true},
      {27, 0, 0, noErr, 40, true, false},
      {27, 1, 0, kInvalid, 0, false, false},
      {28, 0, 0, noErr, 16, true, false},
      {36, 0, 0, noErr, 16, true, false},
      {31, 0, 0, noErr, 16, false, false}, // the Cocoa view factory of the editor
      {37, 0, 0, kInvalid, 0, false, false},
      {1000, 0, 0, kInvalid, 0, false, false},
      {6, 0, 0, kInvalid, 0, false, false},
      {99999, 0, 0, kInvalid, 0, false, false},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message()
                 << "property " << c.id << " scope " << c.scope << " element " << c.element);
    UInt32 size = 12345;
    Boolean writable = 7;
    EXPECT_EQ(unit.Info(c.id, c.scope, c.element, &size, &writable), c.status);
    if (c.status != noErr) continue;
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(writable != 0, c.writable);
    EXPECT_EQ(unit.Info(c.id, c.scope, c.element, nullptr, nullptr), noErr);
    // The value, into a buffer of exactly the size, with a guard after it.
    std::vector<UInt8> buffer(size + 16, 0xA5);
    UInt32 ioSize = size;
    EXPECT_EQ(unit.Get(c.id, c.scope, c.element, buffer.data(), &ioSize), noErr);
    EXPECT_EQ(ioSize, size);
    for (size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xA5) << "written past";
    if (c.makesObject)
    {
      CFTypeRef object;
      memcpy(&object, buffer.data(), sizeof(object));
      ASSERT_NE(object, nullptr);
      CFRelease(object);
    }
    if (c.id == kAudioUnitProperty_ParameterInfo)
    {
      AudioUnitParameterInfo info;
      memcpy(&info, buffer.data(), sizeof(info));
      CFRelease(info.cfNameString);
      if (info.unitName) CFRelease(info.unitName);
    }
    if (c.id == kAudioUnitProperty_CocoaUI)
    {
      AudioUnitCocoaViewInfo cocoa;
      memcpy(&cocoa, buffer.data(), sizeof(cocoa));
      EXPECT_EQ(testcf::StringValue(cocoa.mCocoaAUViewClass[0]), "Tarvex_View");
      CFRelease(cocoa.mCocoaAUViewBundleLocation);
      CFRelease(cocoa.mCocoaAUViewClass[0]);
    }
    if (c.id == 28 || c.id == 36)
    {
      AUPreset preset;
      memcpy(&preset, buffer.data(), sizeof(preset));
      EXPECT_EQ(preset.presetNumber, 0);
      EXPECT_EQ(testcf::StringValue(preset.presetName), "");
      CFRelease(preset.presetName);
    }
    // One byte short: an error, and nothing written.
    if (size > 0)
    {
      std::vector<UInt8> small(size, 0x5A);
      UInt32 smallSize = size - 1;
      EXPECT_EQ(unit.Get(c.id, c.scope, c.element, small.data(), &smallSize), kAudio_ParamError);
      for (UInt8 b : small) ASSERT_EQ(b, 0x5A);
    }
  }
}

TEST_F(AuComponent, ElementCountsChannelPairsAndFactoryPresets)
{
  Unit unit;
  ASSERT_TRUE(unit);
  for (auto [scope, count] : {std::pair<UInt32, UInt32>{0, 1}, {1, 1}, {2, 1}, {5, 0}})
  {
    UInt32 n = 99;
    EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ElementCount, scope, 0, &n), noErr);
    EXPECT_EQ(n, count) << "scope " << scope;
  }
  AUChannelInfo pairs[2] = {};
  UInt32 size = sizeof(pairs);
  EXPECT_EQ(unit.Get(kAudioUnitProperty_SupportedNumChannels, 0, 0, pairs, &size), noErr);
  EXPECT_EQ(pairs[0].inChannels, 1);
  EXPECT_EQ(pairs[0].outChannels, 1);
  EXPECT_EQ(pairs[1].inChannels, 2);
  EXPECT_EQ(pairs[1].outChannels, 2);
  CFArrayRef presets = nullptr;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_FactoryPresets, 0, 0, &presets), noErr);
  EXPECT_EQ(testcf::ArrayCount(presets), 0); // no presets in the Audio Unit build
  CFRelease(presets);
  AudioUnitParameterID ids[kParamCount] = {};
  size = sizeof(ids);
  EXPECT_EQ(unit.Get(kAudioUnitProperty_ParameterList, 0, 0, ids, &size), noErr);
  for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(ids[i], static_cast<UInt32>(i));
}

TEST_F(AuComponent, StreamFormatsAndChannelConfigurations)
{
  struct Case
  {
    const char* what;
    UInt32 inChannels, outChannels; // set in this order before Initialize; 0: not set
    ComponentResult initialize;
  };
  const Case configurations[] = {
      {"stereo", 2, 2, noErr},
      {"mono", 1, 1, noErr},
      {"nothing set", 0, 0, noErr},
      {"mono in, stereo out", 1, 2, badComponentSelector},
  };
  for (const Case& c : configurations)
  {
    SCOPED_TRACE(c.what);
    Unit unit;
    ASSERT_TRUE(unit);
    if (c.inChannels)
    {
      EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Input, 0, c.inChannels), noErr);
    }
    if (c.outChannels)
    {
      EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, c.outChannels), noErr);
    }
    EXPECT_EQ(unit.Call(kAudioUnitInitializeSelect), c.initialize);
    EXPECT_EQ(unit.Call(kAudioUnitUninitializeSelect), noErr);
  }

  // Formats refused on the output bus, after a good one: the good one stays.
  struct Refused
  {
    const char* what;
    UInt32 channels, formatID, flags;
  };
  const Refused refused[] = {
      {"no channels", 0, kAudioFormatLinearPCM, 41},
      {"three channels", 3, kAudioFormatLinearPCM, 41},
      {"not linear PCM", 2, 0x61616320 /* 'aac ' */, 41},
      {"neither float nor packed", 2, kAudioFormatLinearPCM, 4},
  };
  Unit unit;
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, 2), noErr);
  for (const Refused& r : refused)
  {
    EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, r.channels, 44100.0, r.formatID, r.flags),
              kAudioUnitErr_InvalidProperty)
        << r.what;
    EXPECT_EQ(unit.FormatChannels(kAudioUnitScope_Output), 2u) << r.what;
  }
  EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Output, 1, 2), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit.SetFormat(3, 0, 2), kAudioUnitErr_InvalidProperty);
  // Initialised 2-2: a mono output would make 2-1, which is not a legal pair.
  ASSERT_EQ(unit.SetFormat(kAudioUnitScope_Input, 0, 2), noErr);
  ASSERT_EQ(unit.Call(kAudioUnitInitializeSelect), noErr);
  EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, 1), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, 2), noErr);
  // A format's sample rate becomes the unit's.
  EXPECT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, 2, 48000.0), noErr);
  Float64 rate = 0.0;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_SampleRate, 0, 0, &rate), noErr);
  EXPECT_EQ(rate, 48000.0);
  // ... and the engine follows it: the latency is no longer 44.1 kHz's sample count.
  Float64 latency = 0.0;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_Latency, 0, 0, &latency), noErr);
  EXPECT_GT(latency, 0.0);
  EXPECT_NE(latency, kLatency44k / 48000.0);
}

namespace
{
struct ListenerLog
{
  std::vector<AudioUnitPropertyID> calls;
  Unit* unit = nullptr;
  Float64 latencySeen = -1.0;
};
void LogListener(void* user, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  ListenerLog* log = static_cast<ListenerLog*>(user);
  log->calls.push_back(id);
  if (id == kAudioUnitProperty_Latency && log->unit)
    log->unit->GetValue(kAudioUnitProperty_Latency, 0, 0, &log->latencySeen);
}
void OtherListener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}
} // namespace

TEST_F(AuComponent, InitializeLatencyAndPropertyListeners)
{
  Unit unit;
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit.Prepare(), noErr);
  Float64 latency = 0.0, tail = 0.0;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_Latency, 0, 0, &latency), noErr);
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_TailTime, 0, 0, &tail), noErr);
  EXPECT_DOUBLE_EQ(latency, kLatency44k / 44100.0);
  EXPECT_DOUBLE_EQ(tail, latency);

  ListenerLog log;
  log.unit = &unit;
  ListenerLog other;
  EXPECT_EQ(unit.Call(kAudioUnitAddPropertyListenerSelect, kAudioUnitProperty_Latency, &LogListener,
                      &log),
            noErr);
  // The same property and procedure again is not added twice.
  EXPECT_EQ(unit.Call(kAudioUnitAddPropertyListenerSelect, kAudioUnitProperty_Latency, &LogListener,
                      &log),
            noErr);
  EXPECT_EQ(unit.Call(kAudioUnitAddPropertyListenerSelect, kAudioUnitProperty_SampleRate,
                      &LogListener, &log),
            noErr);
  EXPECT_EQ(unit.Call(kAudioUnitAddPropertyListenerSelect, kAudioUnitProperty_SampleRate,
                      &OtherListener, &other),
            noErr);
  // A new rate rebuilds the engine: the listeners hear of SampleRate, then of the new Latency,
  // which a listener reads at once.
  EXPECT_EQ(unit.SetValue<Float64>(kAudioUnitProperty_SampleRate, 0, 0, 96000.0), noErr);
  ASSERT_GE(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[0], kAudioUnitProperty_SampleRate);
  EXPECT_EQ(log.calls[1], kAudioUnitProperty_Latency);
  EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), kAudioUnitProperty_Latency), 1);
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_Latency, 0, 0, &latency), noErr);
  EXPECT_GT(latency, 0.0);
  EXPECT_DOUBLE_EQ(log.latencySeen, latency);

  // Removal by procedure, and by procedure and user data.
  log.calls.clear();
  EXPECT_EQ(
      unit.Call(kAudioUnitRemovePropertyListenerSelect, kAudioUnitProperty_Latency, &LogListener),
      noErr);
  EXPECT_EQ(unit.Call(kAudioUnitRemovePropertyListenerWithUserDataSelect,
                      kAudioUnitProperty_SampleRate, &LogListener, &other),
            noErr); // wrong user data: stays
  EXPECT_EQ(unit.SetValue<Float64>(kAudioUnitProperty_SampleRate, 0, 0, 44100.0), noErr);
  EXPECT_EQ(log.calls, std::vector<AudioUnitPropertyID>{kAudioUnitProperty_SampleRate});
  EXPECT_EQ(unit.Call(kAudioUnitRemovePropertyListenerWithUserDataSelect,
                      kAudioUnitProperty_SampleRate, &LogListener, &log),
            noErr);
  log.calls.clear();
  EXPECT_EQ(unit.SetValue<Float64>(kAudioUnitProperty_SampleRate, 0, 0, 48000.0), noErr);
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(unit.Call(kAudioUnitAddPropertyListenerSelect, 12u,
                      (AudioUnitPropertyListenerProc) nullptr, nullptr),
            kAudio_ParamError);
}

TEST_F(AuComponent, ParameterInfoForEveryParameter)
{
  Unit unit;
  ASSERT_TRUE(unit);
  struct Expected
  {
    int index;
    const char* name;
    AudioUnitParameterUnit unit;
    const char* unitName;
    float min, max, defaultValue;
  };
  const Expected expected[] = {
      {0, "Band A on", kAudioUnitParameterUnit_Boolean, nullptr, 0, 1, 1},
      {4, "Band A gain", kAudioUnitParameterUnit_CustomUnit, "dB", -68.68589f, 60, 1e-6f},
      {8, "Band A freq", kAudioUnitParameterUnit_CustomUnit, "Hz", 0, 20000, 80},
      {15, "Band D slope", kAudioUnitParameterUnit_CustomUnit, "dB/oct", -100, 100, 0},
      {19, "Colour", kAudioUnitParameterUnit_Generic, nullptr, 0, 3, 0},
      {21, "Resolution", kAudioUnitParameterUnit_CustomUnit, "x", 0.2f, 8, 1},
  };
  for (int i = 0; i < kParamCount; ++i)
  {
    AudioUnitParameterInfo info;
    memset(&info, 0xEE, sizeof(info));
    ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ParameterInfo, 0, static_cast<UInt32>(i), &info),
              noErr);
    EXPECT_EQ(info.flags, 0xC8000010u) << i;
    EXPECT_EQ(testcf::StringValue(info.cfNameString), std::string(info.name)) << i;
    for (const Expected& e : expected)
    {
      if (e.index != i) continue;
      EXPECT_STREQ(info.name, e.name);
      EXPECT_EQ(info.unit, e.unit) << e.name;
      if (e.unitName)
        EXPECT_EQ(testcf::StringValue(info.unitName), e.unitName);
      else
        EXPECT_EQ(info.unitName, nullptr);
      // Bounds and defaults are floats of the doubles: 1e-5 relative covers the rounding.
      EXPECT_NEAR(info.minValue, e.min, 1e-5 * (1 + std::fabs(e.min))) << e.name;
      EXPECT_NEAR(info.maxValue, e.max, 1e-5 * (1 + std::fabs(e.max))) << e.name;
      EXPECT_NEAR(info.defaultValue, e.defaultValue, 1e-5 * (1 + std::fabs(e.defaultValue)));
    }
    // The host releases the names it was given (CFNameRelease).
    CFRelease(info.cfNameString);
    if (info.unitName) CFRelease(info.unitName);
  }
  // The default reported is the current value.
  ASSERT_EQ(unit.SetParam(kParamBandFreq, 1234.5f), noErr);
  AudioUnitParameterInfo info;
  ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ParameterInfo, 0, 8, &info), noErr);
  EXPECT_FLOAT_EQ(info.defaultValue, 1234.5f);
  CFRelease(info.cfNameString);
  CFRelease(info.unitName);
}

TEST_F(AuComponent, ParametersAcrossTheirRange)
{
  Unit unit;
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit.Prepare(), noErr);
  AudioUnitGetParameterProc getProc = nullptr;
  AudioUnitSetParameterProc setProc = nullptr;
  ASSERT_EQ(
      unit.GetValue(kAudioUnitProperty_FastDispatch, 0, kAudioUnitGetParameterSelect, &getProc),
      noErr);
  ASSERT_EQ(
      unit.GetValue(kAudioUnitProperty_FastDispatch, 0, kAudioUnitSetParameterSelect, &setProc),
      noErr);
  void* storage = StorageOf(unit.ci());
  for (int i = 0; i < kParamCount; ++i)
  {
    AudioUnitParameterInfo info;
    ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ParameterInfo, 0, static_cast<UInt32>(i), &info),
              noErr);
    CFRelease(info.cfNameString);
    if (info.unitName) CFRelease(info.unitName);
    const float lo = info.minValue, hi = info.maxValue, mid = 0.5f * (lo + hi);
    // {value set, value read back}: in range kept, outside clamped to the bounds.
    const std::pair<float, float> cases[] = {
        {lo, lo}, {hi, hi}, {mid, mid}, {lo - 1000.0f, lo}, {hi + 1000.0f, hi}};
    for (const auto& [in, out] : cases)
    {
      ASSERT_EQ(unit.SetParam(static_cast<UInt32>(i), in), noErr);
      // Stored as a double, read back as a float: equal to the float of the stored bound.
      EXPECT_FLOAT_EQ(unit.Param(static_cast<UInt32>(i)), out)
          << "parameter " << i << " set " << in;
      float fast = -1.0f;
      EXPECT_EQ(getProc(storage, static_cast<UInt32>(i), 0, 0, &fast), noErr);
      EXPECT_FLOAT_EQ(fast, out);
    }
    EXPECT_EQ(setProc(storage, static_cast<UInt32>(i), 0, 0, mid, 0), noErr);
    EXPECT_FLOAT_EQ(unit.Param(static_cast<UInt32>(i)), mid);
  }
  // The example: a gain of 100 dB is stored as 60.
  EXPECT_EQ(unit.SetParam(kParamBandGain, 100.0f), noErr);
  EXPECT_EQ(unit.Param(kParamBandGain), 60.0f);
  // Outside the global scope, unknown parameters, NaN, null outputs.
  float v = 0.0f;
  EXPECT_EQ(unit.SetParam(kParamBandGain, 1.0f, kAudioUnitScope_Input),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit.SetParam(kParamCount, 1.0f), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(unit.SetParam(0xFFFFFFFFu, 1.0f), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(unit.SetParam(kParamBandGain, std::nanf("")), kAudio_ParamError);
  EXPECT_EQ(unit.Param(kParamBandGain), 60.0f);
  EXPECT_EQ(unit.Call(kAudioUnitGetParameterSelect, 24u, 0u, 0u, &v),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(unit.Call(kAudioUnitGetParameterSelect, 4u, 2u, 0u, &v), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit.Call(kAudioUnitGetParameterSelect, 4u, 0u, 0u, (float*)nullptr),
            kAudio_ParamError);
  EXPECT_EQ(getProc(nullptr, 4, 0, 0, &v), kAudio_ParamError);
  EXPECT_EQ(setProc(nullptr, 4, 0, 0, 1.0f, 0), kAudio_ParamError);
}

TEST_F(AuComponent, ScheduledParameterEventsApplyOnlyImmediateOnes)
{
  Unit unit;
  ASSERT_TRUE(unit);
  AudioUnitParameterEvent events[3];
  memset(events, 0, sizeof(events));
  events[0].parameter = 17;
  events[0].eventType = kParameterEvent_Ramped;
  events[0].eventValues.ramp = {0, 64, -10.0f, 10.0f};
  events[1].parameter = 18;
  events[1].eventType = kParameterEvent_Immediate;
  events[1].eventValues.immediate = {0, 2.5f};
  events[2].parameter = 99; // unknown: the call stops here with its error
  events[2].eventType = kParameterEvent_Immediate;
  EXPECT_EQ(
      unit.Call(kAudioUnitScheduleParametersSelect, (const AudioUnitParameterEvent*)events, 2u),
      noErr);
  EXPECT_EQ(unit.Param(kParamOverallGain), 0.0f);
  EXPECT_EQ(unit.Param(kParamGainScale), 2.5f);
  EXPECT_EQ(
      unit.Call(kAudioUnitScheduleParametersSelect, (const AudioUnitParameterEvent*)events, 3u),
      kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(
      unit.Call(kAudioUnitScheduleParametersSelect, (const AudioUnitParameterEvent*)nullptr, 1u),
      kAudio_ParamError);
  EXPECT_EQ(
      unit.Call(kAudioUnitScheduleParametersSelect, (const AudioUnitParameterEvent*)nullptr, 0u),
      noErr);
}

TEST_F(AuComponent, ParameterTextsThroughTheStringProperties)
{
  Unit unit;
  ASSERT_TRUE(unit);
  CFArrayRef strings = nullptr;
  ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ParameterValueStrings, 0, 0, &strings), noErr);
  ASSERT_EQ(testcf::ArrayCount(strings), 2);
  EXPECT_EQ(testcf::StringValue(testcf::ArrayValue(strings, 0)), "off");
  EXPECT_EQ(testcf::StringValue(testcf::ArrayValue(strings, 1)), "on");
  CFRelease(strings);
  UInt32 size = 77;
  EXPECT_EQ(unit.Info(kAudioUnitProperty_ParameterValueStrings, 0, 4, &size, nullptr),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(size, 0u);

  struct FromValue
  {
    AudioUnitParameterID id;
    bool given;
    float value;
    const char* text;
  };
  for (const FromValue& c : {FromValue{0, true, 0.0f, "off"}, FromValue{1, true, 1.7f, "on"},
                             FromValue{2, false, 0.0f, "on"}, FromValue{4, true, 3.0f, ""}})
  {
    AudioUnitParameterStringFromValue request = {c.id, c.given ? &c.value : nullptr, nullptr};
    ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ParameterStringFromValue, 0, 0, &request), noErr);
    EXPECT_EQ(testcf::StringValue(request.outString), c.text) << c.id;
    CFRelease(request.outString);
  }
  struct IDName
  {
    SInt32 length;
    const char* name;
  };
  for (const IDName& c :
       {IDName{-1, "Overall Gain"}, IDName{4, "Over"}, IDName{0, ""}, IDName{200, "Overall Gain"}})
  {
    AudioUnitParameterIDName request = {17, c.length, nullptr};
    ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ParameterIDName, 0, 0, &request), noErr);
    EXPECT_EQ(testcf::StringValue(request.outName), c.name) << c.length;
    CFRelease(request.outName);
  }
  struct FromString
  {
    AudioUnitParameterID id;
    const char* text;
    float value;
  };
  // "inf" is the end of the range; text without a number is refused, so a slip changes nothing.
  for (const FromString& c :
       {FromString{0, "on", 1.0f}, FromString{0, "off", 0.0f}, FromString{4, "-12.5", -12.5f},
        FromString{17, "inf", 60.0f}, FromString{17, "-inf", -60.0f}, FromString{8, "garbage", NAN},
        FromString{8, "nan", NAN}})
  {
    AudioUnitParameterValueFromString request = {c.id, CFSTR(""), -1.0f};
    request.inString =
        CFStringCreateWithCString(kCFAllocatorDefault, c.text, kCFStringEncodingUTF8);
    const ComponentResult result =
        unit.GetValue(kAudioUnitProperty_ParameterValueFromString, 0, 0, &request);
    CFRelease(request.inString);
    if (std::isnan(c.value))
    {
      EXPECT_EQ(result, kAudioUnitErr_InvalidPropertyValue) << c.text;
      continue;
    }
    EXPECT_EQ(result, noErr) << c.text;
    EXPECT_EQ(request.outValue, c.value) << c.text;
  }
  // Outside the global scope nothing is written and the answer is 0; unknown parameters and
  // missing strings are errors.
  AudioUnitParameterIDName untouched = {17, -1, nullptr};
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ParameterIDName, 1, 0, &untouched), noErr);
  EXPECT_EQ(untouched.outName, nullptr);
  AudioUnitParameterIDName unknown = {24, -1, nullptr};
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ParameterIDName, 0, 0, &unknown),
            kAudioUnitErr_InvalidParameter);
  AudioUnitParameterStringFromValue unknownValue = {999, nullptr, nullptr};
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ParameterStringFromValue, 0, 0, &unknownValue),
            kAudioUnitErr_InvalidParameter);
  AudioUnitParameterValueFromString noString = {4, nullptr, 0.0f};
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ParameterValueFromString, 0, 0, &noString),
            kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(AuComponent, ClassInfoRoundTripRestoresTheStateBitForBit)
{
  Unit unit;
  ASSERT_TRUE(unit);
  for (int i = 4; i < 19; ++i)
    ASSERT_EQ(unit.SetParam(static_cast<UInt32>(i), 0.37f * i - 3.0f), noErr);
  CFPropertyListRef saved = nullptr;
  ASSERT_EQ(unit.GetValue(kAudioUnitProperty_ClassInfo, 0, 0, &saved), noErr);
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(saved);
  EXPECT_EQ(testcf::DictionaryCount(dict), 6);
  const std::pair<const char*, SInt32> numbers[] = {
      {"version", 0x10000},
      {"type", static_cast<SInt32>(FourCC("aufx"))},
      {"subtype", static_cast<SInt32>(FourCC("Trvx"))},
      {"manufacturer", static_cast<SInt32>(FourCC("Vnmr"))}};
  for (const auto& [key, value] : numbers)
  {
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    SInt32 v = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(dict, k)),
                                 kCFNumberSInt32Type, &v));
    EXPECT_EQ(v, value) << key;
    CFRelease(k);
  }
  EXPECT_EQ(testcf::StringValue(CFDictionaryGetValue(dict, CFSTR("name"))), "");
  const std::vector<UInt8> before = StateOf(unit);
  ASSERT_EQ(before.size(), 8u * kParamCount);

  // Another instance takes the state over exactly.
  Unit other;
  ASSERT_TRUE(other);
  EXPECT_NE(StateOf(other), before);
  EXPECT_EQ(other.SetValue(kAudioUnitProperty_ClassInfo, 0, 0, saved), noErr);
  EXPECT_EQ(StateOf(other), before);
  for (int i = 0; i < kParamCount; ++i)
    EXPECT_EQ(other.Param(static_cast<UInt32>(i)), unit.Param(static_cast<UInt32>(i))) << i;
  // The dictionary is the host's: still alive once, until it releases it.
  EXPECT_EQ(testcf::RetainCount(saved), 1);
  CFRelease(saved);

  // A failing Component Manager: its error is passed through, nothing created or changed.
  FailComponentInfo(-3000);
  CFPropertyListRef none = nullptr;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_ClassInfo, 0, 0, &none), -3000);
  EXPECT_EQ(none, nullptr);
  FailComponentInfo(0);
}

TEST_F(AuComponent, MalformedClassInfoIsRefusedWithoutChange)
{
  Unit unit;
  ASSERT_TRUE(unit);
  for (int i = 4; i < 8; ++i) ASSERT_EQ(unit.SetParam(static_cast<UInt32>(i), -7.0f - i), noErr);
  const std::vector<UInt8> before = StateOf(unit);
  ASSERT_EQ(before.size(), 192u);

  // A good dictionary to spoil, one way per case.
  std::vector<UInt8> goodData(192, 0);
  for (int i = 0; i < kParamCount; ++i)
  {
    const double v = 0.5;
    memcpy(goodData.data() + 8 * i, &v, 8);
  }
  auto Make = [&](const char* drop, const char* replaceKey, CFTypeRef replacement)
  {
    CFMutableDictionaryRef d = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                         &kCFTypeDictionaryValueCallBacks);
    auto Put = [&](const char* key, CFTypeRef value)
    {
      if (drop && !strcmp(drop, key)) return;
      if (replaceKey && !strcmp(replaceKey, key)) value = replacement;
      CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
      CFDictionarySetValue(d, k, value);
      CFRelease(k);
    };
    const SInt32 ints[4] = {0x10000, static_cast<SInt32>(FourCC("aufx")),
                            static_cast<SInt32>(FourCC("Trvx")),
                            static_cast<SInt32>(FourCC("Vnmr"))};
    const char* keys[4] = {"version", "type", "subtype", "manufacturer"};
    for (int i = 0; i < 4; ++i)
    {
      CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &ints[i]);
      Put(keys[i], n);
      CFRelease(n);
    }
    CFStringRef name = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
    Put("name", name);
    CFRelease(name);
    CFDataRef data = CFDataCreate(nullptr, goodData.data(), static_cast<CFIndex>(goodData.size()));
    Put("data", data);
    CFRelease(data);
    return d;
  };
  const SInt32 otherSubtype = static_cast<SInt32>(FourCC("Othr"));
  CFNumberRef otherNumber = CFNumberCreate(nullptr, kCFNumberSInt32Type, &otherSubtype);
  const double big = 1e300;
  CFNumberRef hugeNumber = CFNumberCreate(nullptr, kCFNumberFloat64Type, &big);
  CFStringRef aString = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
  CFStringRef longName =
      CFStringCreateWithCString(nullptr, std::string(64, 'n').c_str(), kCFStringEncodingUTF8);
  CFDataRef shortData = CFDataCreate(nullptr, goodData.data(), 100);
  CFDataRef emptyData = CFDataCreate(nullptr, nullptr, 0);
  std::vector<UInt8> nanData = goodData;
  const double nan = std::nan("");
  memcpy(nanData.data() + 8 * 5, &nan, 8);
  CFDataRef notFinite = CFDataCreate(nullptr, nanData.data(), 192);

  struct Case
  {
    const char* what;
    const char* drop;
    const char* replaceKey;
    CFTypeRef replacement;
  };
  const Case cases[] = {
      {"no version", "version", nullptr, nullptr},
      {"no type", "type", nullptr, nullptr},
      {"no subtype", "subtype", nullptr, nullptr},
      {"no manufacturer", "manufacturer", nullptr, nullptr},
      {"no name", "name", nullptr, nullptr},
      {"no data", "data", nullptr, nullptr},
      {"another subtype", nullptr, "subtype", otherNumber},
      {"another manufacturer", nullptr, "manufacturer", otherNumber},
      {"a type out of range", nullptr, "type", hugeNumber},
      {"a string for a number", nullptr, "version", aString},
      {"a string for the data", nullptr, "data", aString},
      {"a number for the name", nullptr, "name", otherNumber},
      {"a name of 64 bytes", nullptr, "name", longName},
      {"100 bytes of data", nullptr, "data", shortData},
      {"empty data", nullptr, "data", emptyData},
      {"a NaN in the data", nullptr, "data", notFinite},
  };
  for (const Case& c : cases)
  {
    CFMutableDictionaryRef d = Make(c.drop, c.replaceKey, c.replacement);
    CFPropertyListRef plist = d;
    EXPECT_EQ(unit.SetValue(kAudioUnitProperty_ClassInfo, 0, 0, plist),
              kAudioUnitErr_InvalidPropertyValue)
        << c.what;
    EXPECT_EQ(StateOf(unit), before) << c.what;
    CFRelease(d);
  }
  // Not a dictionary at all, a null dictionary, a null or short pointer to it.
  CFPropertyListRef number = otherNumber;
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_ClassInfo, 0, 0, number),
            kAudioUnitErr_InvalidPropertyValue);
  CFPropertyListRef null = nullptr;
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_ClassInfo, 0, 0, null),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_ClassInfo, 0, 0, nullptr, 8), kAudio_ParamError);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_ClassInfo, 0, 0, &number, 4),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(StateOf(unit), before);
  // The good one is taken: every parameter 0.5 clamped to its bounds.
  CFMutableDictionaryRef good = Make(nullptr, nullptr, nullptr);
  CFPropertyListRef plist = good;
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_ClassInfo, 0, 0, plist), noErr);
  EXPECT_EQ(unit.Param(kParamBandGain), 0.5f);
  EXPECT_EQ(unit.Param(kParamResolution), 0.5f);
  CFRelease(good);
  for (CFTypeRef o :
       {(CFTypeRef)otherNumber, (CFTypeRef)hugeNumber, (CFTypeRef)aString, (CFTypeRef)longName,
        (CFTypeRef)shortData, (CFTypeRef)emptyData, (CFTypeRef)notFinite})
    CFRelease(o);
}

TEST_F(AuComponent, PresetsBypassAndBlockSizeThroughProperties)
{
  Unit unit;
  ASSERT_TRUE(unit);
  // No presets: a host's user preset (negative number) is accepted, preset 0 cannot be applied.
  const AUPreset user = {-1, CFSTR("my sound")};
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_PresentPreset, 0, 0, user), noErr);
  const AUPreset first = {0, nullptr};
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_CurrentPreset, 0, 0, first),
            kAudioUnitErr_InvalidPropertyValue);
  UInt32 flag = 0;
  EXPECT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, 1), noErr);
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_BypassEffect, 0, 0, &flag), noErr);
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 1, 0, 1),
            kAudioUnitErr_InvalidProperty);
  for (UInt32 frames : {0u, (1u << 20) + 1, 0xFFFFFFFFu})
    EXPECT_EQ(unit.SetValue(kAudioUnitProperty_MaximumFramesPerSlice, 0, 0, frames),
              kAudioUnitErr_InvalidPropertyValue)
        << frames;
  EXPECT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_MaximumFramesPerSlice, 0, 0, 4096), noErr);
  UInt32 frames = 0;
  EXPECT_EQ(unit.GetValue(kAudioUnitProperty_MaximumFramesPerSlice, 0, 0, &frames), noErr);
  EXPECT_EQ(frames, 4096u);
  for (Float64 rate : {0.0, -44100.0, std::nan(""), double(INFINITY)})
    EXPECT_EQ(unit.SetValue(kAudioUnitProperty_SampleRate, 0, 0, rate),
              kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_LastRenderError, 0, 0, 1),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit.SetValue<UInt32>(99999, 0, 0, 1), kAudioUnitErr_InvalidProperty);
  // Records too short and missing data.
  EXPECT_EQ(unit.Set(kAudioUnitProperty_SampleRate, 0, 0, &frames, 4),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_StreamFormat, 2, 0, &frames, 4),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_SetRenderCallback, 1, 0, &frames, 8),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_MakeConnection, 1, 0, &frames, 12),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_BypassEffect, 0, 0, nullptr, 4), kAudio_ParamError);
  EXPECT_EQ(unit.Set(kAudioUnitProperty_HostCallbacks, 0, 0, &frames, 0),
            kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(AuComponent, HostileInputThroughTheEntry)
{
  ComponentRoutineProcPtr entry = BundleEntry();
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(nullptr, nullptr), kAudio_ParamError);
  // Open without an instance, any selector without storage.
  EXPECT_EQ(CallEntry(entry, nullptr, nullptr, kComponentOpenSelect, {}), kAudio_ParamError);
  for (SInt16 what : {SInt16(kComponentCloseSelect), SInt16(kAudioUnitInitializeSelect),
                      SInt16(kAudioUnitGetPropertySelect), SInt16(kAudioUnitRenderSelect)})
    EXPECT_EQ(CallEntry(entry, nullptr, nullptr, what, {0, 0, 0, 0, 0}), kAudio_ParamError) << what;

  Unit unit;
  ASSERT_TRUE(unit);
  for (SInt16 what : {-5, -6, 0, 8, 12, 13, 19, 20, 21, 258, 0x0301, 0x0302, 999, 32767})
    EXPECT_EQ(unit.Call(what, 0L, 0L, 0L, 0L, 0L, 0L), badComponentSelector) << what;
  // Instrument selectors answer 0 and write the note instance.
  EXPECT_EQ(unit.Call(kMusicDeviceMIDIEventSelect, 0x90u, 60u, 100u, 0u), noErr);
  MusicDeviceNoteParams note = {2, 64.0f, 100.0f, {}};
  NoteInstanceID id = 0;
  EXPECT_EQ(unit.Call(kMusicDeviceStartNoteSelect, 0u, 0u, &id, 0u, &note), noErr);
  EXPECT_EQ(id, 64u);
  EXPECT_EQ(unit.Call(kMusicDeviceStartNoteSelect, 0u, 0u, (NoteInstanceID*)nullptr, 0u,
                      (MusicDeviceNoteParams*)nullptr),
            noErr);
  EXPECT_EQ(unit.Call(kMusicDeviceStopNoteSelect, 0u, 64u, 0u), noErr);
  EXPECT_EQ(unit.Call(kMusicDevicePrepareInstrumentSelect, 0u), noErr);
  EXPECT_EQ(unit.Call(kMusicDeviceReleaseInstrumentSelect, 0u), noErr);
  // Null sizes and buffers.
  EXPECT_EQ(unit.Get(kAudioUnitProperty_SampleRate, 0, 0, nullptr, nullptr), kAudio_ParamError);
  UInt32 size = 0;
  EXPECT_EQ(unit.Get(kAudioUnitProperty_SampleRate, 0, 0, nullptr, &size), noErr);
  EXPECT_EQ(size, 8u);
  Float64 rate = 0.0;
  size = 0;
  EXPECT_EQ(unit.Get(kAudioUnitProperty_SampleRate, 0, 0, &rate, &size), kAudio_ParamError);
  EXPECT_EQ(rate, 0.0);
  // Render notifications without a procedure, removal of ones never added.
  EXPECT_EQ(unit.Call(kAudioUnitAddRenderNotifySelect, (AURenderCallback) nullptr, nullptr),
            kAudio_ParamError);
  EXPECT_EQ(unit.Call(kAudioUnitRemoveRenderNotifySelect, (AURenderCallback) nullptr, nullptr),
            noErr);
  EXPECT_EQ(unit.Call(kAudioUnitRemovePropertyListenerSelect, 12u,
                      (AudioUnitPropertyListenerProc) nullptr),
            noErr);
  // Connections to units that are not there, or out of range.
  const AudioUnitConnection bogus = {reinterpret_cast<AudioUnit>(&size), 0, 0};
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, bogus),
            kAudioUnitErr_InvalidProperty);
  const AudioUnitConnection wrongBus = {nullptr, 0, 1};
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, wrongBus),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 2, 0, wrongBus),
            kAudioUnitErr_InvalidProperty);
}

TEST_F(AuComponent, ExportsOnlyTheTwoEntriesAndImportsOnlyApplesList)
{
  ASSERT_NE(BundleEntry(), nullptr);
  const std::set<std::string> apple = {"SetComponentInstanceStorage",
                                       "GetComponentInstanceStorage",
                                       "GetComponentInfo",
                                       "AudioUnitGetProperty",
                                       "AudioUnitRender",
                                       "AUEventListenerNotify",
                                       "CFRetain",
                                       "CFRelease",
                                       "CFGetTypeID",
                                       "CFDictionaryGetTypeID",
                                       "CFNumberGetTypeID",
                                       "CFStringGetTypeID",
                                       "CFDataGetTypeID",
                                       "CFArrayGetTypeID",
                                       "CFDictionaryCreateMutable",
                                       "CFDictionarySetValue",
                                       "CFDictionaryGetValue",
                                       "CFNumberCreate",
                                       "CFNumberGetValue",
                                       "CFStringCreateWithCString",
                                       "CFStringGetCString",
                                       "CFStringGetLength",
                                       "CFDataCreate",
                                       "CFDataGetBytePtr",
                                       "CFDataGetLength",
                                       "CFArrayCreate",
                                       "CFArrayCreateMutable",
                                       "CFArrayAppendValue",
                                       "CFBundleGetMainBundle",
                                       "CFBundleGetIdentifier",
                                       "CFBundleGetBundleWithIdentifier",
                                       "CFBundleCopyBundleURL",
                                       "kCFAllocatorDefault",
                                       "kCFTypeDictionaryKeyCallBacks",
                                       "kCFTypeDictionaryValueCallBacks",
                                       "kCFTypeArrayCallBacks",
                                       "__CFStringMakeConstantString"};
  auto Symbols = [](const std::string& options)
  {
    std::set<std::string> names;
    const std::string command = "nm -D " + options + " '" + BundleBinary() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[1024];
    while (fgets(line, sizeof(line), pipe))
    {
      char a[64], b[64], c[900];
      const int n = sscanf(line, "%63s %63s %899s", a, b, c);
      if (n == 3)
        names.insert(c); // address, type, name
      else if (n == 2 && !strcmp(a, "U"))
        names.insert(b); // U name
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return names;
  };
  EXPECT_EQ(Symbols("--defined-only"), (std::set<std::string>{"Tarvex_Entry", "Tarvex_ViewEntry"}));
  // Every undefined symbol is Apple's (from this process) or comes from a system library; none
  // may be taken from this test program by accident.
  int appleImports = 0;
  for (const std::string& name : Symbols("--undefined-only"))
  {
    const std::string bare = name.substr(0, name.find('@'));
    if (apple.count(bare))
    {
      ++appleImports;
      continue;
    }
    if (bare.rfind("__asan", 0) == 0 || bare.rfind("__ubsan", 0) == 0 ||
        bare.rfind("__sanitizer", 0) == 0 || bare.rfind("__lsan", 0) == 0)
      continue;
    void* address = dlsym(RTLD_DEFAULT, bare.c_str());
    if (!address) continue; // weak references (__gmon_start__ ...)
    Dl_info info;
    ASSERT_TRUE(dladdr(address, &info)) << bare;
    if (!strstr(info.dli_fname, "au_component_tests")) continue;
    // Data of the C and C++ libraries is copied into the program (stderr ...): still theirs.
    bool systemSymbol = false;
    for (const char* lib : {"libc.so.6", "libstdc++.so.6", "libm.so.6", "libgcc_s.so.1"})
    {
      void* handle = dlopen(lib, RTLD_NOW | RTLD_NOLOAD);
      if (handle && dlsym(handle, bare.c_str())) systemSymbol = true;
      if (handle) dlclose(handle);
    }
    EXPECT_TRUE(systemSymbol)
        << bare << " is resolved from the test host, yet it is not one of Apple's functions";
  }
  EXPECT_GE(appleImports, 30);
}

TEST_F(AuComponent, AHostWithoutApplesFunctionsFailsToLoadTheBundleByName)
{
  const std::string command =
      std::string("'") + TARVEX_AU_BARE_LOADER + "' '" + BundleBinary() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char line[1024];
  while (fgets(line, sizeof(line), pipe)) output += line;
  EXPECT_NE(pclose(pipe), 0) << output;
  EXPECT_NE(output.find("undefined symbol"), std::string::npos) << output;
  bool named = false;
  for (const char* name : {"CF", "AudioUnit", "AUEventListenerNotify", "Component", "kCF"})
    named = named || output.find(name) != std::string::npos;
  EXPECT_TRUE(named) << output;
}
