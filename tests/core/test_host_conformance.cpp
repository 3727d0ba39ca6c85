// The same host requests through every built format, VST 2.4, LV2, Audio Unit and CLAP, loaded as
// their hosts load them: values that are not numbers, infinite or out of range, typed texts,
// stepped parameters, saved states that are short, long, empty or damaged, and host blocks from 1
// to 8192 frames. One table of cases and one of the differences between formats that are meant:
// where a format's own contract decides, the answer is written down here, nowhere else.
//
// What a format holds is read back from its own saved state (one double per parameter), so every
// format is judged by the same bytes.
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/au/AuUnit.h"
#include "tests/au/TestCoreFoundation.h"
#ifdef TARVEX_CONFORMANCE_CLAP
#include "tests/clap/ClapTestHost.h"
#endif
#include "tests/lv2/Lv2TestHost.h"
#include "tests/vst/VstTestHost.h"

namespace
{
constexpr int kParams = 24;
constexpr int kBandAOn = 0;      // a switch: values 0 and 1 only
constexpr int kColour = 19;      // an integer 0 .. 3 with texts
constexpr int kOverallGain = 17; // -60 .. 60 dB
constexpr double kGainMin = -60.0, kGainMax = 60.0;

// One format as a host drives it.
class Format
{
public:
  virtual ~Format() = default;
  virtual const char* Name() const = 0;
  // The host's value in the format's own units: VST positions 0..1, real units elsewhere.
  virtual void SetHostValue(int index, double value) = 0;
  virtual bool UsesNormalisedValues() const { return false; }
  // A typed text: 1 taken, 0 refused, -1 the format has no text entry.
  virtual int SetText(int index, const char* text) = 0;
  virtual std::vector<uint8_t> State() = 0; // the parameter state, one double per parameter
  virtual bool Restore(const std::vector<uint8_t>& state) = 0;
  // Stereo noise through the format in host blocks of `block` frames; the left output.
  virtual std::vector<float> Render(int frames, int block) = 0;

  double Value(int index)
  {
    const std::vector<uint8_t> state = State();
    double v = NAN;
    if (state.size() == 8u * kParams) std::memcpy(&v, state.data() + 8 * index, 8);
    return v;
  }
};

void Noise(std::vector<float>& left, std::vector<float>& right, int frames)
{
  lv2test::Noise(left, right, static_cast<size_t>(frames));
}

class VstFormat : public Format
{
public:
  VstFormat() { mPlug.Start(44100.0f, 8192); }
  const char* Name() const override { return "VST"; }
  bool UsesNormalisedValues() const override { return true; }
  void SetHostValue(int index, double value) override
  {
    mPlug->setParameter(mPlug.get(), index, static_cast<float>(value));
  }
  int SetText(int index, const char* text) override
  {
    return static_cast<int>(mPlug.Dispatch(effString2Parameter, index, 0, const_cast<char*>(text)));
  }
  std::vector<uint8_t> State() override
  {
    void* data = nullptr;
    const VstIntPtr size = mPlug.Dispatch(effGetChunk, 1, 0, &data);
    if (size != 8 + 8 * kParams || !data) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data) + 8; // after the 'pfft' header
    return std::vector<uint8_t>(bytes, bytes + 8 * kParams);
  }
  bool Restore(const std::vector<uint8_t>& state) override
  {
    void* data = nullptr;
    const VstIntPtr size = mPlug.Dispatch(effGetChunk, 1, 0, &data);
    if (size < 8 || !data) return false;
    std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + 8);
    chunk.insert(chunk.end(), state.begin(), state.end());
    return mPlug.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()) == 1;
  }
  std::vector<float> Render(int frames, int block) override
  {
    std::vector<float> left, right;
    Noise(left, right, frames);
    for (int start = 0; start < frames; start += block)
    {
      const int n = std::min(block, frames - start);
      float* io[2] = {left.data() + start, right.data() + start};
      mPlug->processReplacing(mPlug.get(), io, io, n);
    }
    return left;
  }

private:
  vsttest::Instance mPlug;
};

class Lv2Format : public Format
{
public:
  Lv2Format() : mPlug(44100.0, 8192) {}
  const char* Name() const override { return "LV2"; }
  void SetHostValue(int index, double value) override
  {
    mPlug.Control(index) = static_cast<float>(value);
    std::vector<float> left(1, 0.0f), right(1, 0.0f);
    mPlug.Process(left, right, 1); // ports are read at the next run
  }
  int SetText(int, const char*) override { return -1; }
  std::vector<uint8_t> State() override
  {
    struct Out
    {
      std::vector<uint8_t> bytes;
      static LV2_State_Status Put(LV2_State_Handle h, uint32_t, const void* v, size_t size,
                                  uint32_t, uint32_t)
      {
        const uint8_t* p = static_cast<const uint8_t*>(v);
        static_cast<Out*>(h)->bytes.assign(p, p + size);
        return LV2_STATE_SUCCESS;
      }
    } out;
    mPlug.StateInterface()->save(lilv_instance_get_handle(mPlug.get()), Out::Put, &out, 0,
                                 mPlug.Features());
    return out.bytes;
  }
  bool Restore(const std::vector<uint8_t>& state) override
  {
    struct In
    {
      const std::vector<uint8_t>* bytes;
      static const void* Get(LV2_State_Handle h, uint32_t, size_t* size, uint32_t* type,
                             uint32_t* flags)
      {
        const In* in = static_cast<const In*>(h);
        *size = in->bytes->size();
        *type = lv2test::Urids()(LV2_ATOM__Chunk);
        *flags = LV2_STATE_IS_POD;
        static const uint8_t none = 0;
        return in->bytes->empty() ? &none : in->bytes->data();
      }
    } in{&state};
    return mPlug.StateInterface()->restore(lilv_instance_get_handle(mPlug.get()), In::Get, &in, 0,
                                           mPlug.Features()) == LV2_STATE_SUCCESS;
  }
  std::vector<float> Render(int frames, int block) override
  {
    std::vector<float> left, right;
    Noise(left, right, frames);
    mPlug.Process(left, right, block);
    return left;
  }

private:
  lv2test::Instance mPlug;
};

// A render callback playing the same noise from the time stamp on.
struct AuSource
{
  std::vector<float> channel[2];
  static OSStatus Play(void* user, AudioUnitRenderActionFlags*, const AudioTimeStamp* ts, UInt32,
                       UInt32 frames, AudioBufferList* list)
  {
    const AuSource* source = static_cast<const AuSource*>(user);
    const size_t start = static_cast<size_t>(ts->mSampleTime);
    for (UInt32 b = 0; b < list->mNumberBuffers && b < 2; ++b)
    {
      float* out = static_cast<float*>(list->mBuffers[b].mData);
      for (UInt32 s = 0; s < frames; ++s)
        out[s] = start + s < source->channel[b].size() ? source->channel[b][start + s] : 0.0f;
    }
    return noErr;
  }
};

class AuFormat : public Format
{
public:
  AuFormat() { mUnit.Prepare(8192); }
  const char* Name() const override { return "AU"; }
  void SetHostValue(int index, double value) override
  {
    mUnit.SetParam(static_cast<UInt32>(index), static_cast<float>(value));
  }
  int SetText(int index, const char* text) override
  {
    // The host asks for the value of a text, then sets it.
    AudioUnitParameterValueFromString request = {static_cast<UInt32>(index), nullptr, 0.0f};
    request.inString = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
    const ComponentResult result =
        mUnit.GetValue(kAudioUnitProperty_ParameterValueFromString, 0, 0, &request);
    CFRelease(request.inString);
    if (result != noErr) return 0;
    return mUnit.SetParam(static_cast<UInt32>(index), request.outValue) == noErr ? 1 : 0;
  }
  std::vector<uint8_t> State() override
  {
    CFPropertyListRef dict = nullptr;
    std::vector<uint8_t> bytes;
    if (mUnit.GetValue(kAudioUnitProperty_ClassInfo, 0, 0, &dict) != noErr || !dict) return bytes;
    CFTypeRef data = CFDictionaryGetValue(static_cast<CFDictionaryRef>(dict), CFSTR("data"));
    if (data && CFGetTypeID(data) == CFDataGetTypeID())
    {
      const UInt8* p = CFDataGetBytePtr(static_cast<CFDataRef>(data));
      if (p) bytes.assign(p, p + CFDataGetLength(static_cast<CFDataRef>(data)));
    }
    CFRelease(dict);
    return bytes;
  }
  bool Restore(const std::vector<uint8_t>& state) override
  {
    CFPropertyListRef dict = nullptr;
    if (mUnit.GetValue(kAudioUnitProperty_ClassInfo, 0, 0, &dict) != noErr || !dict) return false;
    static const UInt8 none = 0;
    CFDataRef data = CFDataCreate(nullptr, state.empty() ? &none : state.data(),
                                  static_cast<CFIndex>(state.size()));
    // The dictionary the unit hands out is a mutable one of the host's.
    CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(dict)),
                         CFSTR("data"), data);
    CFRelease(data);
    const bool taken = mUnit.SetValue(kAudioUnitProperty_ClassInfo, 0, 0, dict) == noErr;
    CFRelease(dict);
    return taken;
  }
  std::vector<float> Render(int frames, int block) override
  {
    AuSource source;
    Noise(source.channel[0], source.channel[1], frames);
    mUnit.SetCallback(AuSource::Play, &source);
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    for (int start = 0; start < frames; start += block)
    {
      const UInt32 n = static_cast<UInt32>(std::min(block, frames - start));
      authost::BufferList list;
      list[0] = {1, n * 4, left.data() + start};
      list[1] = {1, n * 4, right.data() + start};
      AudioUnitRenderActionFlags flags = 0;
      const AudioTimeStamp ts = authost::TimeStamp(start);
      mUnit.Render(&flags, &ts, 0, n, list.get());
    }
    return left;
  }

private:
  authost::Unit mUnit;
};

#ifdef TARVEX_CONFORMANCE_CLAP
// CLAP: host values and typed texts (text_to_value, then the value) arrive as parameter events of a
// flush on the audio thread, as an active plug-in takes them outside processing.
class ClapFormat : public Format
{
public:
  ClapFormat() { mPlug.Activate(44100.0, 8192); }
  const char* Name() const override { return "CLAP"; }
  void SetHostValue(int index, double value) override
  {
    mPlug.Flush({{static_cast<clap_id>(index), value}});
  }
  int SetText(int index, const char* text) override
  {
    double value = NAN;
    if (!mPlug.Params()->text_to_value(mPlug.get(), static_cast<clap_id>(index), text, &value))
      return 0;
    SetHostValue(index, value);
    return 1;
  }
  std::vector<uint8_t> State() override { return mPlug.Save(); }
  bool Restore(const std::vector<uint8_t>& state) override { return mPlug.Load(state); }
  std::vector<float> Render(int frames, int block) override
  {
    claptest::Stereo in(static_cast<size_t>(frames));
    Noise(in.l, in.r, frames);
    return mPlug.Process(in, static_cast<uint32_t>(block)).l;
  }

private:
  claptest::Host mHost;
  claptest::Instance mPlug{mHost};
};
#endif

using MakeFormat = std::function<std::unique_ptr<Format>()>;
const std::vector<MakeFormat>& Formats()
{
  static const std::vector<MakeFormat> formats = {
      [] { return std::unique_ptr<Format>(new VstFormat); },
      [] { return std::unique_ptr<Format>(new Lv2Format); },
      [] { return std::unique_ptr<Format>(new AuFormat); },
#ifdef TARVEX_CONFORMANCE_CLAP
      [] { return std::unique_ptr<Format>(new ClapFormat); },
#endif
  };
  return formats;
}

class HostConformance : public authost::AuHostTest
{
};

// Values a host may send. Expected: the value the parameter then holds, NAN for "unchanged".
// (A NaN in CLAP is a parameter event's plain value, refused like the others.)
TEST_F(HostConformance, HostValues)
{
  struct Case
  {
    const char* what;
    int index;
    double normalised, real; // the value in each kind of units
    double expected;         // in real units; NAN: the value it had
  };
  const Case cases[] = {
      {"not a number", kOverallGain, NAN, NAN, NAN},
      {"+inf", kOverallGain, INFINITY, INFINITY, kGainMax},
      {"-inf", kOverallGain, -INFINITY, -INFINITY, kGainMin},
      {"above the range", kOverallGain, 1.5, 1e9, kGainMax},
      {"below the range", kOverallGain, -0.5, -1e9, kGainMin},
      {"in range", kOverallGain, 0.25, -30.0, -30.0},
      {"switch on", kBandAOn, 1.0, 1.0, 1.0},
  };
  for (const MakeFormat& make : Formats())
  {
    std::unique_ptr<Format> format = make();
    for (const Case& c : cases)
    {
      SCOPED_TRACE(std::string(format->Name()) + ": " + c.what);
      format->SetHostValue(c.index, format->UsesNormalisedValues() ? 0.5 : 7.0);
      const double before = format->Value(c.index);
      format->SetHostValue(c.index, format->UsesNormalisedValues() ? c.normalised : c.real);
      // 1e-9: a normalised position maps to the range through a power; in range values are exact.
      EXPECT_NEAR(format->Value(c.index), std::isnan(c.expected) ? before : c.expected, 1e-9);
    }
  }
}

// A stepped parameter given a value between its steps. Intended difference: automation (VST
// positions, LV2 ports, CLAP parameter events) lands on the grid; the Audio Unit's SetParameter
// keeps the value as sent, as Audio Unit hosts have always had it (the display truncates it).
TEST_F(HostConformance, SteppedParametersBetweenTheirSteps)
{
  const struct
  {
    const char* format;
    double sent, held;
  } expected[] = {{"VST", 0.4, 1.0}, {"LV2", 1.4, 1.0}, {"AU", 1.4, 1.4}, {"CLAP", 1.4, 1.0}};
  size_t i = 0;
  for (const MakeFormat& make : Formats())
  {
    std::unique_ptr<Format> format = make();
    ASSERT_STREQ(format->Name(), expected[i].format);
    // Colour 0 .. 3: the VST position 0.4 is 1.2, the nearest step 1.
    format->SetHostValue(kColour, expected[i].sent);
    EXPECT_NEAR(format->Value(kColour), expected[i].held, 1e-6) << format->Name(); // float ports
    ++i;
  }
}

// Texts typed into a host's field for a parameter. Intended difference: LV2 has no text entry
// (hosts show the port's own range), so it takes part in none of these.
TEST_F(HostConformance, TypedTexts)
{
  struct Case
  {
    const char* text;
    int index;
    int taken;       // 1 taken, 0 refused
    double expected; // NAN: unchanged
  };
  const Case cases[] = {
      {"-3.5", kOverallGain, 1, -3.5},
      {"inf", kOverallGain, 1, kGainMax},
      {"-inf", kOverallGain, 1, kGainMin},
      {"1e9", kOverallGain, 1, kGainMax},
      {"nan", kOverallGain, 0, NAN},
      {"abc", kOverallGain, 0, NAN},
      {"", kOverallGain, 0, NAN},
      {"off", kBandAOn, 1, 0.0},
      {"on", kBandAOn, 1, 1.0},
  };
  for (const MakeFormat& make : Formats())
  {
    std::unique_ptr<Format> format = make();
    for (const Case& c : cases)
    {
      SCOPED_TRACE(std::string(format->Name()) + ": \"" + c.text + "\"");
      const double before = format->Value(c.index);
      const int taken = format->SetText(c.index, c.text);
      if (taken < 0) continue; // no text entry in this format
      EXPECT_EQ(taken, c.taken);
      // 1e-6: the Audio Unit carries values as floats.
      EXPECT_NEAR(format->Value(c.index), std::isnan(c.expected) ? before : c.expected, 1e-6);
    }
  }
}

// Saved states: only a whole state of finite values is taken; anything else changes nothing.
TEST_F(HostConformance, SavedStates)
{
  for (const MakeFormat& make : Formats())
  {
    std::unique_ptr<Format> format = make();
    SCOPED_TRACE(format->Name());
    const std::vector<uint8_t> original = format->State();
    ASSERT_EQ(original.size(), 8u * kParams);
    std::vector<uint8_t> changed = original;
    const double gain = -12.25;
    std::memcpy(changed.data() + 8 * kOverallGain, &gain, 8);
    std::vector<uint8_t> shortState(changed.begin(), changed.begin() + 100);
    std::vector<uint8_t> longState = changed;
    longState.resize(longState.size() + 8);
    std::vector<uint8_t> damaged = changed;
    const double nan = NAN;
    std::memcpy(damaged.data() + 8 * 20, &nan, 8);
    const struct
    {
      const char* what;
      const std::vector<uint8_t>* bytes;
    } refused[] = {
        {"short", &shortState}, {"long", &longState}, {"empty", nullptr}, {"not finite", &damaged}};
    for (const auto& r : refused)
    {
      const std::vector<uint8_t> none;
      EXPECT_FALSE(format->Restore(r.bytes ? *r.bytes : none)) << r.what;
      EXPECT_EQ(format->State(), original) << r.what;
    }
    EXPECT_TRUE(format->Restore(changed));
    EXPECT_EQ(format->State(), changed); // bit for bit
  }
}

// Host blocks of any length give the same output: the engine runs in blocks of its own.
TEST_F(HostConformance, BlockSizesFromOneTo8192)
{
  constexpr int kFrames = 24000;
  for (const MakeFormat& make : Formats())
  {
    std::unique_ptr<Format> reference = make();
    SCOPED_TRACE(reference->Name());
    reference->SetHostValue(kOverallGain, reference->UsesNormalisedValues() ? 0.55 : 6.0);
    const std::vector<float> expected = reference->Render(kFrames, 512);
    double energy = 0.0;
    for (float v : expected) energy += static_cast<double>(v) * v;
    ASSERT_GT(energy, 1.0); // the latency has passed: there is sound to compare
    for (int block : {1, 64, 333, 4096, 8192})
    {
      std::unique_ptr<Format> format = make();
      format->SetHostValue(kOverallGain, format->UsesNormalisedValues() ? 0.55 : 6.0);
      EXPECT_EQ(format->Render(kFrames, block), expected) << block; // bit for bit
    }
  }
}
} // namespace
