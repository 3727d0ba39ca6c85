// The render path as hosts drive it: a render callback, connections to upstream units (ours and
// the test host's source), slices up to the maximum frames and one above, buffer-less and in-place
// outputs, render notifications and bypass; and the output compared with the VST build's.
#include <cmath>

#include "tests/au/AuUnit.h"
#include "tests/vst/VstTestHost.h"

using namespace authost;

namespace
{
class AuRender : public AuHostTest
{
};

// Deterministic noise in [-0.5, 0.5].
std::vector<float> Noise(int frames, unsigned seed)
{
  std::vector<float> out(static_cast<size_t>(frames));
  for (float& v : out)
  {
    seed = seed * 1103515245u + 12345u;
    v = static_cast<float>(((seed >> 8) & 0xffff) / 65535.0 - 0.5);
  }
  return out;
}

// A host's render callback that plays two channels of a fixed signal from the time stamp on.
struct CallbackSource
{
  std::vector<float> channel[2];
  int calls = 0;
  UInt32 lastBus = 99;
  float* inPlace[2] = {nullptr, nullptr}; // when set: hand the unit these buffers instead
};

OSStatus PlayCallback(void* user, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                      UInt32 bus, UInt32 frames, AudioBufferList* list)
{
  CallbackSource* source = static_cast<CallbackSource*>(user);
  ++source->calls;
  source->lastBus = bus;
  EXPECT_EQ(*flags, 0u);
  const size_t start = static_cast<size_t>(ts->mSampleTime);
  for (UInt32 b = 0; b < list->mNumberBuffers && b < 2; ++b)
  {
    if (source->inPlace[b]) list->mBuffers[b].mData = source->inPlace[b];
    float* out = static_cast<float*>(list->mBuffers[b].mData);
    EXPECT_NE(out, nullptr);
    EXPECT_GE(list->mBuffers[b].mDataByteSize, frames * sizeof(float));
    for (UInt32 s = 0; s < frames; ++s)
    {
      const size_t i = start + s;
      out[s] = i < source->channel[b].size() ? source->channel[b][i] : 0.0f;
    }
  }
  return noErr;
}

using Stereo = std::vector<std::vector<float>>;

// Renders `frames` in slices of `slice` with host memory for the outputs.
Stereo RenderSlices(Unit& unit, int frames, int slice)
{
  Stereo out(2, std::vector<float>(static_cast<size_t>(frames), -9.0f));
  for (int start = 0; start < frames; start += slice)
  {
    const UInt32 n = static_cast<UInt32>(std::min(slice, frames - start));
    BufferList list;
    for (int c = 0; c < 2; ++c) list[c] = {1, n * 4, out[static_cast<size_t>(c)].data() + start};
    const AudioTimeStamp ts = TimeStamp(start);
    AudioUnitRenderActionFlags flags = 0;
    EXPECT_EQ(unit.Render(&flags, &ts, 0, n, list.get()), noErr) << "at " << start;
  }
  return out;
}

// A prepared unit playing the source through its render callback.
void Play(Unit& unit, CallbackSource& source, UInt32 maxFrames = 1024)
{
  ASSERT_EQ(unit.Prepare(maxFrames), noErr);
  ASSERT_EQ(unit.SetCallback(PlayCallback, &source), noErr);
}

// Settings given to both builds, in values that floats hold exactly.
const std::pair<int, float> kSettings[] = {{5, 6.0f},  {9, 1000.0f}, {13, -12.25f},
                                           {6, -3.5f}, {17, -1.5f},  {23, 12.0f}};
} // namespace

TEST_F(AuRender, CallbackRenderMatchesTheVstBuild)
{
  const int frames = 12000;
  CallbackSource source;
  source.channel[0] = Noise(frames, 11);
  source.channel[1] = Noise(frames, 12);
  Unit unit;
  ASSERT_TRUE(unit);
  for (const auto& [index, value] : kSettings) ASSERT_EQ(unit.SetParam(index, value), noErr);
  Play(unit, source, 512);
  const Stereo au = RenderSlices(unit, frames, 512);
  EXPECT_EQ(source.calls, (frames + 511) / 512);
  EXPECT_EQ(source.lastBus, 0u);

  vsttest::Instance vst;
  ASSERT_TRUE(vst);
  vst.Start(44100.0f, 512);
  for (const auto& [index, value] : kSettings)
  {
    char text[32];
    snprintf(text, sizeof(text), "%g", static_cast<double>(value));
    vst.Dispatch(effString2Parameter, index, 0, text);
  }
  Stereo reference(2, std::vector<float>(frames));
  for (int start = 0; start < frames; start += 512)
  {
    const int n = std::min(512, frames - start);
    float* in[2] = {source.channel[0].data() + start, source.channel[1].data() + start};
    float* out[2] = {reference[0].data() + start, reference[1].data() + start};
    vst->processReplacing(vst.get(), in, out, n);
  }
  // The same engine on the same float input, converted to double and back in the same way:
  // the outputs must agree exactly (tolerance 0), and they are not silence.
  double energy = 0.0;
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < frames; ++s)
    {
      ASSERT_EQ(au[c][s], reference[c][s]) << "channel " << c << " sample " << s;
      energy += au[c][s] * au[c][s];
    }
  EXPECT_GT(energy, 100.0);
}

TEST_F(AuRender, SlicesUpToTheMaximumAgreeAndOneAboveIsRefused)
{
  const int frames = 9000;
  CallbackSource source;
  source.channel[0] = Noise(frames, 21);
  source.channel[1] = Noise(frames, 22);
  Unit reference;
  ASSERT_TRUE(reference);
  Play(reference, source, 1024);
  const Stereo expected = RenderSlices(reference, frames, 1024);
  for (int slice : {1000, 333, 64, 1})
  {
    Unit unit;
    ASSERT_TRUE(unit);
    Play(unit, source, 1024);
    const Stereo out = RenderSlices(unit, slice == 1 ? 3000 : frames, slice);
    // The engine gathers its own blocks: the slicing must not change a single sample.
    for (int c = 0; c < 2; ++c)
      for (size_t s = 0; s < out[c].size(); ++s)
        ASSERT_EQ(out[c][s], expected[c][s]) << "slice " << slice << " sample " << s;
  }

  // One frame above the maximum: refused before anything is pulled, told or written.
  Unit unit;
  ASSERT_TRUE(unit);
  Play(unit, source, 1024);
  int notified = 0;
  auto Notify = [](void* user, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                   AudioBufferList*) -> OSStatus
  {
    ++*static_cast<int*>(user);
    return noErr;
  };
  ASSERT_EQ(unit.Call(kAudioUnitAddRenderNotifySelect, static_cast<AURenderCallback>(Notify),
                      static_cast<void*>(&notified)),
            noErr);
  const int callsBefore = source.calls;
  std::vector<float> guard[2] = {std::vector<float>(1025 + 64, 7.0f),
                                 std::vector<float>(1025 + 64, 7.0f)};
  BufferList list;
  for (int c = 0; c < 2; ++c) list[c] = {1, 1025 * 4, guard[c].data()};
  const AudioTimeStamp ts = TimeStamp(0);
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(unit.Render(&flags, &ts, 0, 1025, list.get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(notified, 0);
  EXPECT_EQ(source.calls, callsBefore);
  for (int c = 0; c < 2; ++c)
    for (float v : guard[c]) ASSERT_EQ(v, 7.0f);
  // Exactly the maximum, into buffers with a guard behind them: nothing past the frames.
  for (int c = 0; c < 2; ++c) list[c] = {1, 1024 * 4, guard[c].data()};
  EXPECT_EQ(unit.Render(&flags, &ts, 0, 1024, list.get()), noErr);
  EXPECT_EQ(notified, 2);
  for (int c = 0; c < 2; ++c)
    for (size_t s = 1024; s < guard[c].size(); ++s) ASSERT_EQ(guard[c][s], 7.0f);
}

TEST_F(AuRender, RefusedRendersTouchNothing)
{
  CallbackSource source;
  source.channel[0] = source.channel[1] = Noise(512, 3);
  Unit unit;
  ASSERT_TRUE(unit);
  Play(unit, source, 512);
  std::vector<float> left(512, 7.0f), right(512, 7.0f);
  BufferList list;
  list[0] = {1, 512 * 4, left.data()};
  list[1] = {1, 512 * 4, right.data()};
  AudioTimeStamp ts = TimeStamp(0);
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(unit.Render(&flags, (const AudioTimeStamp*)nullptr, 0, 256, list.get()),
            kAudio_ParamError);
  EXPECT_EQ(unit.Render(&flags, &ts, 0, 256, (AudioBufferList*)nullptr), kAudio_ParamError);
  EXPECT_EQ(unit.Render(&flags, &ts, 1, 256, list.get()), kAudioUnitErr_InvalidPropertyValue);
  ts.mFlags = 0;
  EXPECT_EQ(unit.Render(&flags, &ts, 0, 256, list.get()), kAudioUnitErr_InvalidPropertyValue);
  ts = TimeStamp(0);
  list[1].mDataByteSize = 255 * 4; // one frame short
  EXPECT_EQ(unit.Render(&flags, &ts, 0, 256, list.get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(source.calls, 0);
  for (float v : left) ASSERT_EQ(v, 7.0f);
  for (float v : right) ASSERT_EQ(v, 7.0f);
  AudioUnitRenderProc proc = nullptr;
  ASSERT_EQ(unit.GetValue(kAudioUnitProperty_FastDispatch, 0, kAudioUnitRenderSelect, &proc),
            noErr);
  EXPECT_EQ(proc(nullptr, &flags, &ts, 0, 256, list.get()), kAudio_ParamError);
}

TEST_F(AuRender, BypassCopiesTheInputExactly)
{
  CallbackSource source;
  source.channel[0] = Noise(3000, 5);
  source.channel[1] = Noise(3000, 6);
  Unit unit;
  ASSERT_TRUE(unit);
  Play(unit, source, 512);
  ASSERT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, 1), noErr);
  const Stereo out = RenderSlices(unit, 3000, 500);
  for (int c = 0; c < 2; ++c) EXPECT_EQ(out[c], source.channel[c]);
  ASSERT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, 0), noErr);
  EXPECT_EQ(unit.Call(kAudioUnitResetSelect, 0u, 0u), noErr);
  const Stereo processed = RenderSlices(unit, 3000, 500);
  EXPECT_NE(processed[0], source.channel[0]); // delayed by the latency: not a copy
}

// Quiet input near the bottom of the float range, processed and bypassed: no subnormal float
// leaves the unit (the bypass copies the input otherwise exactly), while the signal above FLT_MIN
// still comes through.
TEST_F(AuRender, QuietInputGivesNoSubnormalOutput)
{
  const int frames = 44100;
  CallbackSource source;
  for (int c = 0; c < 2; ++c)
  {
    source.channel[c] = Noise(frames, 31 + c);
    for (float& v : source.channel[c]) v *= 1e-37f; // peak 5e-38: a quarter below FLT_MIN
  }
  for (bool bypassed : {false, true})
  {
    SCOPED_TRACE(bypassed ? "bypassed" : "processed");
    Unit unit;
    ASSERT_TRUE(unit);
    Play(unit, source, 512);
    ASSERT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, bypassed), noErr);
    const Stereo out = RenderSlices(unit, frames, 512);
    int subnormal = 0, normal = 0;
    for (const std::vector<float>& channel : out)
      for (float v : channel)
      {
        subnormal += std::fpclassify(v) == FP_SUBNORMAL;
        normal += std::fpclassify(v) == FP_NORMAL;
      }
    EXPECT_EQ(subnormal, 0) << "of " << 2 * frames;
    EXPECT_GT(normal, frames); // about three quarters, after the latency when processed
  }
}

TEST_F(AuRender, BufferlessAndInPlaceOutputsGetTheSameResult)
{
  const int frames = 6000, slice = 500;
  CallbackSource source;
  source.channel[0] = Noise(frames, 31);
  source.channel[1] = Noise(frames, 32);
  Unit reference;
  ASSERT_TRUE(reference);
  Play(reference, source, 512);
  const Stereo expected = RenderSlices(reference, frames, slice);

  // No memory in the host's buffers: the unit points them at its own, filled with the result.
  Unit bufferless;
  ASSERT_TRUE(bufferless);
  Play(bufferless, source, 512);
  for (int start = 0; start < frames; start += slice)
  {
    BufferList list;
    list[0] = {1, 0, nullptr};
    list[1] = {1, 0, nullptr};
    const AudioTimeStamp ts = TimeStamp(start);
    AudioUnitRenderActionFlags flags = 0;
    ASSERT_EQ(bufferless.Render(&flags, &ts, 0, slice, list.get()), noErr);
    for (int c = 0; c < 2; ++c)
    {
      ASSERT_NE(list[c].mData, nullptr);
      EXPECT_EQ(list[c].mDataByteSize, static_cast<UInt32>(slice * 4));
      const float* out = static_cast<const float*>(list[c].mData);
      for (int s = 0; s < slice; ++s) ASSERT_EQ(out[s], expected[c][start + s]) << start + s;
    }
    EXPECT_NE(list[0].mData, list[1].mData);
  }

  // In place: the callback hands over the very buffers the output goes to.
  Unit inPlace;
  ASSERT_TRUE(inPlace);
  Play(inPlace, source, 512);
  std::vector<float> io[2] = {std::vector<float>(slice), std::vector<float>(slice)};
  source.inPlace[0] = io[0].data();
  source.inPlace[1] = io[1].data();
  for (int start = 0; start < frames; start += slice)
  {
    BufferList list;
    list[0] = {1, slice * 4, io[0].data()};
    list[1] = {1, slice * 4, io[1].data()};
    const AudioTimeStamp ts = TimeStamp(start);
    AudioUnitRenderActionFlags flags = 0;
    ASSERT_EQ(inPlace.Render(&flags, &ts, 0, slice, list.get()), noErr);
    for (int c = 0; c < 2; ++c)
      for (int s = 0; s < slice; ++s) ASSERT_EQ(io[c][s], expected[c][start + s]) << start + s;
  }
}

namespace
{
struct NotifyLog
{
  std::vector<std::pair<AudioUnitRenderActionFlags, double>> calls;
};
OSStatus LogNotify(void* user, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32,
                   UInt32, AudioBufferList*)
{
  static_cast<NotifyLog*>(user)->calls.emplace_back(*flags, ts->mSampleTime);
  return noErr;
}
} // namespace

TEST_F(AuRender, NotificationsAroundEachRenderAndOnePullPerTime)
{
  CallbackSource source;
  source.channel[0] = source.channel[1] = Noise(2048, 7);
  Unit unit;
  ASSERT_TRUE(unit);
  Play(unit, source, 512);
  NotifyLog log;
  ASSERT_EQ(unit.Call(kAudioUnitAddRenderNotifySelect, &LogNotify, static_cast<void*>(&log)),
            noErr);
  std::vector<float> left(256, 9.0f), right(256, 9.0f);
  BufferList list;
  list[0] = {1, 256 * 4, left.data()};
  list[1] = {1, 256 * 4, right.data()};
  const AudioTimeStamp ts = TimeStamp(256);
  AudioUnitRenderActionFlags flags = 0;
  ASSERT_EQ(unit.Render(&flags, &ts, 0, 256, list.get()), noErr);
  std::fill(left.begin(), left.end(), 9.0f);
  ASSERT_EQ(unit.Render(&flags, &ts, 0, 256, list.get()), noErr);
  EXPECT_EQ(source.calls, 1); // the same time is pulled once
  EXPECT_NE(left[0], 9.0f);   // and the engine still ran
  using Call = std::pair<AudioUnitRenderActionFlags, double>;
  EXPECT_EQ(log.calls, (std::vector<Call>{{kAudioUnitRenderAction_PreRender, 256.0},
                                          {kAudioUnitRenderAction_PostRender, 256.0},
                                          {kAudioUnitRenderAction_PreRender, 256.0},
                                          {kAudioUnitRenderAction_PostRender, 256.0}}));
  ASSERT_EQ(unit.Call(kAudioUnitRemoveRenderNotifySelect, &LogNotify, static_cast<void*>(&log)),
            noErr);
  log.calls.clear();
  const AudioTimeStamp next = TimeStamp(512);
  ASSERT_EQ(unit.Render(&flags, &next, 0, 256, list.get()), noErr);
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(source.calls, 2);
}

TEST_F(AuRender, UpstreamUnitsArePulledByTheirFastProcedureOrAudioUnitRender)
{
  const int frames = 5000, slice = 500;
  // What the source plays, given to a callback-driven unit for reference.
  CallbackSource played;
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < frames; ++s) played.channel[c].push_back(SourceSample(c, s));
  Unit reference;
  ASSERT_TRUE(reference);
  Play(reference, played, 512);
  const Stereo expected = RenderSlices(reference, frames, slice);

  for (bool fast : {true, false})
  {
    SCOPED_TRACE(fast ? "fast procedure" : "AudioUnitRender");
    SourceOptions options;
    options.fastDispatch = fast;
    ComponentInstance source = OpenSource(options);
    ASSERT_NE(source, nullptr);
    Unit unit;
    ASSERT_TRUE(unit);
    ASSERT_EQ(unit.Prepare(512), noErr);
    const AudioUnitConnection connection = {source, 0, 0};
    ASSERT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, connection), noErr);
    const Stereo out = RenderSlices(unit, frames, slice);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(SourceRenders(source), frames / slice);
    EXPECT_EQ(RenderCalls(source), fast ? 0 : frames / slice);
    // Disconnecting: silence in, nothing pulled any more.
    const AudioUnitConnection none = {nullptr, 0, 0};
    ASSERT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, none), noErr);
    RenderSlices(unit, 500, 500);
    EXPECT_EQ(SourceRenders(source), frames / slice);
    unit.Close();
    CloseInstance(source);
  }

  // Our own unit upstream, bypassed, through its FastDispatch render: the same as the callback.
  Unit upstream;
  ASSERT_TRUE(upstream);
  Play(upstream, played, 512);
  played.calls = 0;
  ASSERT_EQ(upstream.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, 1), noErr);
  Unit chained;
  ASSERT_TRUE(chained);
  ASSERT_EQ(chained.Prepare(512), noErr);
  const AudioUnitConnection toOurs = {upstream.ci(), 0, 0};
  ASSERT_EQ(chained.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, toOurs), noErr);
  EXPECT_EQ(RenderSlices(chained, frames, slice), expected);
  EXPECT_EQ(RenderCalls(upstream.ci()), 0);
  EXPECT_EQ(played.calls, frames / slice);
}

TEST_F(AuRender, UpstreamFailuresAndMisbehaviour)
{
  // A failing upstream: its status comes back unchanged.
  SourceOptions failing;
  failing.renderStatus = -12345;
  ComponentInstance bad = OpenSource(failing);
  Unit unit;
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit.Prepare(512), noErr);
  const AudioUnitConnection toBad = {bad, 0, 0};
  ASSERT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, toBad), noErr);
  std::vector<float> left(256), right(256);
  BufferList list;
  list[0] = {1, 1024, left.data()};
  list[1] = {1, 1024, right.data()};
  const AudioTimeStamp ts = TimeStamp(0);
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(unit.Render(&flags, &ts, 0, 256, list.get()), -12345);
  CloseInstance(bad);

  // One that returns buffers without memory: read as silence.
  SourceOptions empty;
  empty.ownBuffers = false;
  ComponentInstance hollow = OpenSource(empty);
  const AudioUnitConnection toHollow = {hollow, 0, 0};
  ASSERT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, toHollow), noErr);
  const Stereo out = RenderSlices(unit, 3000, 500);
  for (int c = 0; c < 2; ++c)
    for (float v : out[c]) ASSERT_EQ(v, 0.0f);
  CloseInstance(hollow);

  // One without a stream format cannot be connected; a mono one makes the input bus mono.
  SourceOptions noFormat;
  noFormat.refuseFormat = true;
  ComponentInstance mute = OpenSource(noFormat);
  const AudioUnitConnection toMute = {mute, 0, 0};
  EXPECT_EQ(unit.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, toMute),
            kAudioUnitErr_InvalidProperty);
  CloseInstance(mute);
  Unit mono;
  ASSERT_TRUE(mono);
  SourceOptions one;
  one.channels = 1;
  ComponentInstance monoSource = OpenSource(one);
  const AudioUnitConnection toMono = {monoSource, 0, 0};
  ASSERT_EQ(mono.SetValue(kAudioUnitProperty_MakeConnection, 1, 0, toMono), noErr);
  EXPECT_EQ(mono.FormatChannels(kAudioUnitScope_Input), 1u);
  mono.Close();
  CloseInstance(monoSource);
}

TEST_F(AuRender, OutputBufferCountsOtherThanTheBus)
{
  CallbackSource source;
  source.channel[0] = Noise(1024, 41);
  source.channel[1] = Noise(1024, 42);
  Unit unit;
  ASSERT_TRUE(unit);
  Play(unit, source, 512);
  ASSERT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, 1), noErr);
  // Three buffers on a stereo bus: the third gets silence, the first two the input.
  std::vector<float> a(256, 5.0f), b(256, 5.0f), c(256, 5.0f);
  BufferList three(3);
  three[0] = {1, 1024, a.data()};
  three[1] = {1, 1024, b.data()};
  three[2] = {1, 1024, c.data()};
  const AudioTimeStamp ts = TimeStamp(0);
  AudioUnitRenderActionFlags flags = 0;
  ASSERT_EQ(unit.Render(&flags, &ts, 0, 256, three.get()), noErr);
  for (int s = 0; s < 256; ++s)
  {
    ASSERT_EQ(a[s], source.channel[0][s]);
    ASSERT_EQ(b[s], source.channel[1][s]);
    ASSERT_EQ(c[s], 0.0f);
  }
  // One buffer: only the left channel is delivered.
  std::vector<float> only(256, 5.0f);
  BufferList one(1);
  one[0] = {1, 1024, only.data()};
  const AudioTimeStamp next = TimeStamp(256);
  ASSERT_EQ(unit.Render(&flags, &next, 0, 256, one.get()), noErr);
  for (int s = 0; s < 256; ++s) ASSERT_EQ(only[s], source.channel[0][256 + s]);
}

TEST_F(AuRender, MonoUnitRendersOneChannel)
{
  CallbackSource source;
  source.channel[0] = Noise(2000, 51);
  Unit unit;
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit.SetFormat(kAudioUnitScope_Input, 0, 1), noErr);
  ASSERT_EQ(unit.SetFormat(kAudioUnitScope_Output, 0, 1), noErr);
  ASSERT_EQ(unit.Call(kAudioUnitInitializeSelect), noErr);
  ASSERT_EQ(unit.SetCallback(PlayCallback, &source), noErr);
  ASSERT_EQ(unit.SetValue<UInt32>(kAudioUnitProperty_BypassEffect, 0, 0, 1), noErr);
  std::vector<float> out(500, 3.0f);
  BufferList list(1);
  list[0] = {1, 2000, out.data()};
  const AudioTimeStamp ts = TimeStamp(0);
  AudioUnitRenderActionFlags flags = 0;
  ASSERT_EQ(unit.Render(&flags, &ts, 0, 500, list.get()), noErr);
  for (int s = 0; s < 500; ++s) ASSERT_EQ(out[s], source.channel[0][s]);
  EXPECT_EQ(unit.Call(kAudioUnitUninitializeSelect), noErr);
}
