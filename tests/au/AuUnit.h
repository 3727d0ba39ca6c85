// One Audio Unit instance of the built bundle as a host holds it, with the calls the tests make.
#pragma once

#include <vector>

#include "dsp/ParamIndex.h"
#include "tests/au/AuTestHost.h"

namespace authost
{
constexpr int kLatency44k = 2368; // B + L/2 with the default settings at 44.1 kHz

class Unit
{
public:
  explicit Unit(ComponentRoutineProcPtr entry = BundleEntry())
  {
    if (entry) mCI = OpenInstance(entry, kTarvexDescription, &mOpenResult);
  }
  ~Unit() { Close(); }
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;

  void Close()
  {
    if (mCI) CloseInstance(mCI);
    mCI = nullptr;
  }
  explicit operator bool() const { return mCI != nullptr; }
  ComponentInstance ci() const { return mCI; }
  ComponentResult openResult() const { return mOpenResult; }

  template <class... A> ComponentResult Call(SInt16 what, A... args)
  {
    return authost::Call(mCI, what, args...);
  }
  ComponentResult Info(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       UInt32* size, Boolean* writable)
  {
    return Call(kAudioUnitGetPropertyInfoSelect, id, scope, element, size, writable);
  }
  ComponentResult Get(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                      void* data, UInt32* size)
  {
    return Call(kAudioUnitGetPropertySelect, id, scope, element, data, size);
  }
  template <class T>
  ComponentResult GetValue(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           T* value)
  {
    UInt32 size = sizeof(T);
    return Get(id, scope, element, value, &size);
  }
  ComponentResult Set(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                      const void* data, UInt32 size)
  {
    return Call(kAudioUnitSetPropertySelect, id, scope, element, data, size);
  }
  template <class T>
  ComponentResult SetValue(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           const T& value)
  {
    return Set(id, scope, element, &value, sizeof(T));
  }
  ComponentResult SetFormat(AudioUnitScope scope, AudioUnitElement element, UInt32 channels,
                            double rate = 44100.0, UInt32 formatID = kAudioFormatLinearPCM,
                            UInt32 flags = 41)
  {
    const AudioStreamBasicDescription f = {rate, formatID, flags, 4, 1, 4, channels, 32, 0};
    return SetValue(kAudioUnitProperty_StreamFormat, scope, element, f);
  }
  UInt32 FormatChannels(AudioUnitScope scope, AudioUnitElement element = 0)
  {
    AudioStreamBasicDescription f = {};
    GetValue(kAudioUnitProperty_StreamFormat, scope, element, &f);
    return f.mChannelsPerFrame;
  }
  float Param(AudioUnitParameterID id)
  {
    float value = -12345.0f;
    Call(kAudioUnitGetParameterSelect, id, kAudioUnitScope_Global, 0u, &value);
    return value;
  }
  ComponentResult SetParam(AudioUnitParameterID id, float value,
                           AudioUnitScope scope = kAudioUnitScope_Global)
  {
    return Call(kAudioUnitSetParameterSelect, id, scope, 0u, value, 0u);
  }
  ComponentResult SetCallback(AURenderCallback proc, void* user)
  {
    const AURenderCallbackStruct callback = {proc, user};
    return SetValue(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, callback);
  }
  ComponentResult Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus,
                         UInt32 frames, AudioBufferList* list)
  {
    return Call(kAudioUnitRenderSelect, flags, ts, bus, frames, list);
  }
  // Formats 2-2 at the rate, the block size, then Initialize: the set-up hosts do before audio.
  ComponentResult Prepare(UInt32 maxFrames = 1024, double rate = 44100.0)
  {
    SetFormat(kAudioUnitScope_Input, 0, 2, rate);
    SetFormat(kAudioUnitScope_Output, 0, 2, rate);
    SetValue<UInt32>(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                     maxFrames);
    return Call(kAudioUnitInitializeSelect);
  }

private:
  ComponentInstance mCI = nullptr;
  ComponentResult mOpenResult = 0;
};

inline AudioTimeStamp TimeStamp(double sampleTime)
{
  AudioTimeStamp ts;
  memset(&ts, 0, sizeof(ts));
  ts.mSampleTime = sampleTime;
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  return ts;
}

// A stereo AudioBufferList with room for n buffers.
struct BufferList
{
  explicit BufferList(UInt32 n = 2)
  {
    memset(&storage, 0, sizeof(storage));
    storage.list.mNumberBuffers = n;
  }
  AudioBufferList* get() { return &storage.list; }
  AudioBuffer& operator[](int i) { return storage.list.mBuffers[i]; }
  union
  {
    AudioBufferList list;
    char bytes[sizeof(AudioBufferList) + 4 * sizeof(AudioBuffer)];
  } storage;
};
} // namespace authost
