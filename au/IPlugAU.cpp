#include "au/IPlugAU.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "au/AUClassInfo.h"
#include "core/HostLayer.h"
#include "graphics/IGraphics.h"

namespace
{
// The selector's argument i (1 = first after the instance) from its 8-byte slot; narrower types
// sit in the low bytes.
template <class T> T Arg(const ComponentParameters* params, int i)
{
  T value;
  memcpy(&value, &params->params[i], sizeof(T));
  return value;
}

// Channels of one bus at most (buses are stereo pairs).
constexpr int kMaxBusChannels = 2;

// AudioBufferList with room for one bus, on the stack of the render.
struct BusBufferList
{
  UInt32 mNumberBuffers;
  AudioBuffer mBuffers[kMaxBusChannels];
};
static_assert(offsetof(BusBufferList, mBuffers) == offsetof(AudioBufferList, mBuffers),
              "bus buffer list layout");

bool IsGlobal(AudioUnitScope scope)
{
  return scope == kAudioUnitScope_Global;
}

CFStringRef MakeString(const char* text)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
}

// An integer for a display-text lookup: truncated, clamped to int32; non-finite values give 0.
int32_t TruncatedIndex(double value)
{
  if (!std::isfinite(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// A record of T copied from untyped host memory (no alignment assumed).
template <class T> T Read(const void* data)
{
  T value;
  memcpy(&value, data, sizeof(T));
  return value;
}
template <class T> void Write(void* data, const T& value)
{
  memcpy(data, &value, sizeof(T));
}

// noErr when ok is true, error otherwise.
ComponentResult NoErrorIf(bool ok, ComponentResult error)
{
  return ok ? ComponentResult(noErr) : error;
}

// Non-interleaved 32-bit float at this rate and channel count.
AudioStreamBasicDescription CanonicalFormat(double sampleRate, UInt32 nChannels)
{
  AudioStreamBasicDescription format;
  memset(&format, 0, sizeof(format));
  format.mSampleRate = sampleRate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags =
      kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  format.mBytesPerPacket = format.mBytesPerFrame = sizeof(Float32);
  format.mFramesPerPacket = 1;
  format.mChannelsPerFrame = nChannels;
  format.mBitsPerChannel = 32;
  return format;
}

// The location of the bundle with this identifier (the caller releases it), or null.
CFURLRef CopyBundleURL(const char* identifier)
{
  CFStringRef name = MakeString(identifier);
  CFBundleRef bundle = name ? CFBundleGetBundleWithIdentifier(name) : nullptr;
  if (name) CFRelease(name);
  return bundle ? CFBundleCopyBundleURL(bundle) : nullptr;
}
} // namespace

IPlugAU::IPlugAU(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
                 const char* effectName, const char* productName, const char* makerName,
                 int version, int uniqueID, int makerID, int latency, int plugFlags,
                 bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version,
                uniqueID, makerID, latency, plugFlags, doesChunks, isInstrument),
      mBundleID(info.bundleID), mCocoaViewFactoryClassName(info.viewClassName)
{
  TARVEX_TRACE("%s", "IPlugAU");
  for (int remaining = NInChannels(), i = 0; remaining > 0 && i < NInChannels() / 2;
       ++i, remaining -= 2)
  {
    BusChannels bus;
    bus.mPlugChannelStartIdx = 2 * i;
    bus.mNPlugChannels = remaining < 2 ? remaining : 2;
    mInBuses.push_back(bus);
  }
  for (int remaining = NOutChannels(), i = 0; remaining > 0 && i < NOutChannels() / 2;
       ++i, remaining -= 2)
  {
    BusChannels bus;
    bus.mPlugChannelStartIdx = 2 * i;
    bus.mNPlugChannels = remaining < 2 ? remaining : 2;
    mOutBuses.push_back(bus);
  }
  mInputConnections.resize(mInBuses.size());
  mPropertyListeners.reserve(16);
  mRenderNotify.reserve(16); // the render walks this list without a lock
  AssessInputConnections();
  ChangeBlockSize(1024);
}

IPlugAU::~IPlugAU()
{
  for (AUPreset& preset : mFactoryPresetRecords)
    if (preset.presetName) CFRelease(preset.presetName);
}

// ---- component entry ----

ComponentResult IPlugAU::IPlugAUEntry(ComponentParameters* params, void* storage)
{
  if (!params) return kAudio_ParamError;
  const int select = params->what;
  TraceHook("IPlugAUEntry", __LINE__, "(%d)", select);
  const ComponentInstance ci = Arg<ComponentInstance>(params, 0);

  if (select == kComponentOpenSelect)
  {
    if (!ci) return kAudio_ParamError;
    IPlugAU* plug = CreatePluginInstance();
    if (!plug) return memFullErr;
    plug->HostSetup();
    plug->DropEmptyPresets();
    plug->mCI = ci;
    SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(plug));
    return noErr;
  }
  if (select == kComponentCanDoSelect)
  {
    switch (Arg<SInt16>(params, 1))
    {
    case kAudioUnitInitializeSelect:
    case kAudioUnitUninitializeSelect:
    case kAudioUnitGetPropertyInfoSelect:
    case kAudioUnitGetPropertySelect:
    case kAudioUnitSetPropertySelect:
    case kAudioUnitGetParameterSelect:
    case kAudioUnitSetParameterSelect:
    case kAudioUnitResetSelect:
    case kAudioUnitAddPropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRenderSelect:
    case kAudioUnitAddRenderNotifySelect:
    case kAudioUnitRemoveRenderNotifySelect:
    case kAudioUnitScheduleParametersSelect:
      return 1;
    default:
      return 0;
    }
  }

  IPlugAU* plug = static_cast<IPlugAU*>(storage);
  if (!plug) return kAudio_ParamError;
  if (select == kComponentCloseSelect)
  {
    plug->ClearConnections();
    if (ci) SetComponentInstanceStorage(ci, nullptr);
    // A host that closes the unit with its view still open: the view goes first.
    CloseViewAndDelete(plug);
    return noErr;
  }
  WDL_MutexLock lock(plug->GetMutex());
  return plug->Dispatch(params);
}

ComponentResult IPlugAU::Dispatch(ComponentParameters* params)
{
  switch (params->what)
  {
  case kComponentVersionSelect:
    return VersionNumber(false);
  case kAudioUnitInitializeSelect:
    if (!CheckLegalIO()) return badComponentSelector;
    mActive = true;
    NotifyAllParams();
    ActivationChanged(true);
    return noErr;
  case kAudioUnitUninitializeSelect:
    mActive = false;
    ActivationChanged(false);
    return noErr;
  case kAudioUnitGetPropertyInfoSelect:
    return GetPropertyInfo(Arg<AudioUnitPropertyID>(params, 1), Arg<AudioUnitScope>(params, 2),
                           Arg<AudioUnitElement>(params, 3), Arg<UInt32*>(params, 4),
                           Arg<Boolean*>(params, 5));
  case kAudioUnitGetPropertySelect:
    return GetProperty(Arg<AudioUnitPropertyID>(params, 1), Arg<AudioUnitScope>(params, 2),
                       Arg<AudioUnitElement>(params, 3), Arg<void*>(params, 4),
                       Arg<UInt32*>(params, 5));
  case kAudioUnitSetPropertySelect:
    return SetProperty(Arg<AudioUnitPropertyID>(params, 1), Arg<AudioUnitScope>(params, 2),
                       Arg<AudioUnitElement>(params, 3), Arg<const void*>(params, 4),
                       Arg<UInt32>(params, 5));
  case kAudioUnitGetParameterSelect:
    return GetParamProc(this, Arg<AudioUnitParameterID>(params, 1), Arg<AudioUnitScope>(params, 2),
                        Arg<AudioUnitElement>(params, 3), Arg<AudioUnitParameterValue*>(params, 4));
  case kAudioUnitSetParameterSelect:
    return SetParamProc(this, Arg<AudioUnitParameterID>(params, 1), Arg<AudioUnitScope>(params, 2),
                        Arg<AudioUnitElement>(params, 3), Arg<AudioUnitParameterValue>(params, 4),
                        Arg<UInt32>(params, 5));
  case kAudioUnitResetSelect:
    HostReset();
    return noErr;
  case kAudioUnitAddPropertyListenerSelect:
  {
    const PropertyListener listener = {Arg<AudioUnitPropertyID>(params, 1),
                                       Arg<AudioUnitPropertyListenerProc>(params, 2),
                                       Arg<void*>(params, 3)};
    if (!listener.mListenerProc) return kAudio_ParamError;
    for (const PropertyListener& l : mPropertyListeners)
      if (l.mPropID == listener.mPropID && l.mListenerProc == listener.mListenerProc) return noErr;
    mPropertyListeners.push_back(listener);
    return noErr;
  }
  case kAudioUnitRemovePropertyListenerSelect:
  case kAudioUnitRemovePropertyListenerWithUserDataSelect:
  {
    const bool withUserData = params->what == kAudioUnitRemovePropertyListenerWithUserDataSelect;
    const AudioUnitPropertyID propID = Arg<AudioUnitPropertyID>(params, 1);
    const AudioUnitPropertyListenerProc proc = Arg<AudioUnitPropertyListenerProc>(params, 2);
    void* userData = withUserData ? Arg<void*>(params, 3) : nullptr;
    for (size_t i = 0; i < mPropertyListeners.size(); ++i)
    {
      const PropertyListener& l = mPropertyListeners[i];
      if (l.mPropID == propID && l.mListenerProc == proc &&
          (!withUserData || l.mProcArgs == userData))
      {
        mPropertyListeners.erase(mPropertyListeners.begin() + static_cast<long>(i));
        break;
      }
    }
    return noErr;
  }
  case kAudioUnitRenderSelect:
    return Render(Arg<AudioUnitRenderActionFlags*>(params, 1),
                  Arg<const AudioTimeStamp*>(params, 2), Arg<UInt32>(params, 3),
                  Arg<UInt32>(params, 4), Arg<AudioBufferList*>(params, 5));
  case kAudioUnitAddRenderNotifySelect:
  {
    const RenderNotify notify = {Arg<AURenderCallback>(params, 1), Arg<void*>(params, 2)};
    if (!notify.mProc) return kAudio_ParamError;
    // The render walks the list without a lock: never let it reallocate under a running render.
    if (mRenderNotify.size() == mRenderNotify.capacity()) return kAudio_ParamError;
    mRenderNotify.push_back(notify);
    return noErr;
  }
  case kAudioUnitRemoveRenderNotifySelect:
  {
    const AURenderCallback proc = Arg<AURenderCallback>(params, 1);
    for (size_t i = 0; i < mRenderNotify.size(); ++i)
      if (mRenderNotify[i].mProc == proc)
      {
        mRenderNotify.erase(mRenderNotify.begin() + static_cast<long>(i));
        break;
      }
    return noErr;
  }
  case kAudioUnitScheduleParametersSelect:
    return ScheduleParameters(Arg<const AudioUnitParameterEvent*>(params, 1),
                              Arg<UInt32>(params, 2));
  case kMusicDeviceMIDIEventSelect:
  {
    MidiMessage message;
    message.mOffset = static_cast<int32_t>(Arg<UInt32>(params, 4));
    message.mStatus = static_cast<uint8_t>(Arg<UInt32>(params, 1));
    message.mData1 = static_cast<uint8_t>(Arg<UInt32>(params, 2));
    message.mData2 = static_cast<uint8_t>(Arg<UInt32>(params, 3));
    ReceiveMidi(&message);
    return noErr;
  }
  case kMusicDevicePrepareInstrumentSelect:
  case kMusicDeviceReleaseInstrumentSelect:
    return noErr;
  case kMusicDeviceStartNoteSelect:
  {
    NoteInstanceID* noteID = Arg<NoteInstanceID*>(params, 3);
    const MusicDeviceNoteParams* note = Arg<const MusicDeviceNoteParams*>(params, 5);
    if (noteID && note) *noteID = static_cast<NoteInstanceID>(TruncatedIndex(note->mPitch));
    return noErr; // the note-on goes nowhere: this is an effect
  }
  case kMusicDeviceStopNoteSelect:
    return noErr;
  default:
    return badComponentSelector;
  }
}

// ---- properties ----

// The property table: every property the unit knows, the scopes it answers in, its size and
// whether it is writable, with one small function to read it and one to write it.
// GetPropertyInfo, GetProperty and SetProperty only look records up here.
struct IPlugAU::Properties
{
  // Sets of scopes: bit n stands for scope n.
  static constexpr unsigned kGlobal = 1u << kAudioUnitScope_Global;
  static constexpr unsigned kInput = 1u << kAudioUnitScope_Input;
  static constexpr unsigned kOutput = 1u << kAudioUnitScope_Output;
  static constexpr unsigned kAnyScope = ~0u;

  // The error an element (or the unit as it is) gives before any size is told, or noErr.
  using Check = ComponentResult (*)(IPlugAU&, AudioUnitScope, AudioUnitElement);
  using SizeOf = UInt32 (*)(IPlugAU&, AudioUnitScope);
  // Writes the value into data, which holds its size (a request is read from data first).
  using Getter = ComponentResult (*)(IPlugAU&, AudioUnitScope, AudioUnitElement, void* data);
  // data holds size bytes, at least the shortest record the property accepts.
  using Setter = ComponentResult (*)(IPlugAU&, AudioUnitScope, AudioUnitElement, const void* data,
                                     UInt32 size);

  struct Reading
  {
    unsigned scopes; // elsewhere kAudioUnitErr_InvalidProperty, size 0
    Check check;     // null: every element answers
    UInt32 size;     // bytes of the value, unless sizeOf computes them
    SizeOf sizeOf;
    Getter get; // null: write-only; a read answers noErr and leaves data as it was
  };
  struct Writing
  {
    unsigned scopes; // elsewhere kAudioUnitErr_InvalidProperty, after the listeners were told
    UInt32 size;     // the shortest record accepted
    Setter set;      // null: read-only
  };
  struct Record
  {
    AudioUnitPropertyID id;
    Reading read;
    Writing write;
  };
  static constexpr Writing kReadOnly = {0, 0, nullptr};
  static const Record kTable[];

  static const Record* Find(AudioUnitPropertyID id); // null for a property the unit lacks
  static bool InScopes(unsigned scopes, AudioUnitScope scope)
  {
    return scopes == kAnyScope || (scope < 32 && ((scopes >> scope) & 1u) != 0);
  }
  // The error a read gives in this scope and element, or noErr.
  static ComponentResult Answers(IPlugAU& plug, const Reading& read, AudioUnitScope scope,
                                 AudioUnitElement element)
  {
    if (!InScopes(read.scopes, scope)) return kAudioUnitErr_InvalidProperty;
    return read.check ? read.check(plug, scope, element) : noErr;
  }
  static UInt32 Size(IPlugAU& plug, const Reading& read, AudioUnitScope scope)
  {
    return read.sizeOf ? read.sizeOf(plug, scope) : read.size;
  }

  // ---- checks and computed sizes ----

  static ComponentResult CheckParameter(IPlugAU& plug, AudioUnitScope, AudioUnitElement element)
  {
    return NoErrorIf(element < static_cast<UInt32>(plug.NParams()), kAudioUnitErr_InvalidParameter);
  }
  // Bool and enum parameters with value texts list them.
  static ComponentResult CheckValueStrings(IPlugAU& plug, AudioUnitScope, AudioUnitElement element)
  {
    const IParam* param = plug.GetParam(static_cast<int>(element));
    const bool listed = element < static_cast<UInt32>(plug.NParams()) && param &&
                        param->ValueTextCount() > 0 &&
                        (param->mType == IParam::kTypeBool || param->mType == IParam::kTypeEnum);
    return NoErrorIf(listed, kAudioUnitErr_InvalidProperty);
  }
  static ComponentResult CheckFastDispatch(IPlugAU&, AudioUnitScope, AudioUnitElement element)
  {
    return NoErrorIf(FastDispatchProc(element) != nullptr, kAudioUnitErr_InvalidElement);
  }
  static ComponentResult CheckBus(IPlugAU& plug, AudioUnitScope scope, AudioUnitElement element)
  {
    return NoErrorIf(plug.FindBus(scope, element) != nullptr, kAudioUnitErr_InvalidProperty);
  }
  static ComponentResult CheckInputBus(IPlugAU& plug, AudioUnitScope, AudioUnitElement element)
  {
    return NoErrorIf(element < plug.mInBuses.size(), kAudioUnitErr_InvalidProperty);
  }
  // The view properties exist only for a plug-in with an editor.
  static ComponentResult CheckEditor(IPlugAU& plug, AudioUnitScope, AudioUnitElement)
  {
    return NoErrorIf(plug.GetGUI() != nullptr, kAudioUnitErr_InvalidProperty);
  }
  static ComponentResult CheckInstrument(IPlugAU& plug, AudioUnitScope, AudioUnitElement)
  {
    return NoErrorIf(plug.IsInstrument(), kAudioUnitErr_InvalidProperty);
  }
  // The parameter list is empty outside the global scope.
  static UInt32 ParameterListSize(IPlugAU& plug, AudioUnitScope scope)
  {
    return IsGlobal(scope) ? static_cast<UInt32>(sizeof(AudioUnitParameterID) * plug.NParams()) : 0;
  }
  static UInt32 ChannelInfoSize(IPlugAU& plug, AudioUnitScope)
  {
    return static_cast<UInt32>(sizeof(AUChannelInfo) * plug.NChannelIO());
  }

  // ---- state, rate and block size ----

  static ComponentResult GetClassInfo(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    return plug.GetClassInfo(static_cast<CFPropertyListRef*>(data));
  }
  static ComponentResult SetClassInfo(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                      const void* data, UInt32)
  {
    return plug.SetClassInfo(Read<CFPropertyListRef>(data));
  }
  static ComponentResult GetSampleRate(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    Write<Float64>(data, plug.GetSampleRate());
    return noErr;
  }
  static ComponentResult SetSampleRate(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                       const void* data, UInt32)
  {
    const Float64 rate = Read<Float64>(data);
    if (!(rate > 0.0) || !std::isfinite(rate)) return kAudioUnitErr_InvalidPropertyValue;
    plug.StoreSampleRate(rate);
    plug.HostReset();
    return noErr;
  }
  static ComponentResult GetMaxFrames(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    Write<UInt32>(data, static_cast<UInt32>(plug.GetBlockSize()));
    return noErr;
  }
  static ComponentResult SetMaxFrames(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                      const void* data, UInt32)
  {
    const UInt32 frames = Read<UInt32>(data);
    if (frames < 1 || frames > static_cast<UInt32>(kMaxFramesPerSlice))
      return kAudioUnitErr_InvalidPropertyValue;
    plug.ChangeBlockSize(static_cast<int>(frames));
    plug.HostReset();
    return noErr;
  }
  // Latency and tail time: the engine's delay in seconds.
  static ComponentResult GetLatency(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    const double rate = plug.GetSampleRate();
    Write<Float64>(data, rate > 0.0 ? plug.GetLatency() / rate : 0.0);
    return noErr;
  }
  static ComponentResult GetBypass(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    Write<UInt32>(data, plug.mBypassed ? 1 : 0);
    return noErr;
  }
  static ComponentResult SetBypass(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                   const void* data, UInt32)
  {
    plug.mBypassed = Read<UInt32>(data) != 0;
    plug.HostReset();
    return noErr;
  }
  static ComponentResult GetLastRenderError(IPlugAU&, AudioUnitScope, AudioUnitElement, void* data)
  {
    Write<OSStatus>(data, noErr);
    return noErr;
  }
  // Any prefix of the record; the rest is cleared.
  static ComponentResult SetHostCallbacks(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                          const void* data, UInt32 size)
  {
    HostCallbackInfo& callbacks = plug.mHostCallbacks;
    memset(&callbacks, 0, sizeof(callbacks));
    memcpy(&callbacks, data, size < sizeof(callbacks) ? size : sizeof(callbacks));
    return noErr;
  }
  static ComponentResult GetInstrumentCount(IPlugAU&, AudioUnitScope, AudioUnitElement, void* data)
  {
    Write<UInt32>(data, 1);
    return noErr;
  }

  // ---- presets ----

  static ComponentResult GetFactoryPresets(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                           void* data)
  {
    Write<CFArrayRef>(data, plug.MakeFactoryPresets());
    return noErr;
  }
  static ComponentResult GetPreset(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    AUPreset preset;
    preset.presetNumber = plug.GetCurrentPresetIdx();
    preset.presetName = MakeString(plug.PresetName(plug.GetCurrentPresetIdx()));
    Write(data, preset);
    return noErr;
  }
  // Only the preset number, which leads the record, is read.
  static ComponentResult SetPreset(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                   const void* data, UInt32)
  {
    // A negative number names a user preset the host restored itself: nothing to apply.
    const SInt32 number = Read<SInt32>(data);
    if (number < 0) return noErr;
    return plug.ApplyPreset(number) ? ComponentResult(noErr)
                                    : ComponentResult(kAudioUnitErr_InvalidPropertyValue);
  }

  // ---- buses, connections and render procedures ----

  static ComponentResult GetStreamFormat(IPlugAU& plug, AudioUnitScope scope,
                                         AudioUnitElement element, void* data)
  {
    const BusChannels* bus = plug.FindBus(scope, element);
    const int nChannels = bus->mNHostChannels >= 0 ? bus->mNHostChannels : bus->mNPlugChannels;
    Write(data, CanonicalFormat(plug.GetSampleRate(), static_cast<UInt32>(nChannels)));
    return noErr;
  }
  static ComponentResult SetStreamFormat(IPlugAU& plug, AudioUnitScope scope,
                                         AudioUnitElement element, const void* data, UInt32)
  {
    const AudioStreamBasicDescription format = Read<AudioStreamBasicDescription>(data);
    return plug.SetStreamFormat(scope, element, &format);
  }
  static ComponentResult GetElementCount(IPlugAU& plug, AudioUnitScope scope, AudioUnitElement,
                                         void* data)
  {
    UInt32 count = 0;
    if (scope == kAudioUnitScope_Input)
      count = static_cast<UInt32>(plug.mInBuses.size());
    else if (scope == kAudioUnitScope_Output)
      count = static_cast<UInt32>(plug.mOutBuses.size());
    else if (IsGlobal(scope))
      count = 1;
    Write(data, count);
    return noErr;
  }
  static ComponentResult GetSupportedNumChannels(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                                 void* data)
  {
    for (int i = 0; i < plug.NChannelIO(); ++i)
    {
      const ChannelIO* io = plug.GetChannelIO(i);
      const AUChannelInfo info = {static_cast<SInt16>(io->mIn), static_cast<SInt16>(io->mOut)};
      Write(static_cast<char*>(data) + sizeof(AUChannelInfo) * i, info);
    }
    return noErr;
  }
  static ComponentResult SetConnection(IPlugAU& plug, AudioUnitScope, AudioUnitElement,
                                       const void* data, UInt32)
  {
    return plug.MakeConnection(static_cast<const AudioUnitConnection*>(data));
  }
  static ComponentResult SetRenderCallback(IPlugAU& plug, AudioUnitScope, AudioUnitElement element,
                                           const void* data, UInt32)
  {
    return plug.SetRenderCallback(element, static_cast<const AURenderCallbackStruct*>(data));
  }
  // The FastDispatch procedure an element names, or null.
  static void* FastDispatchProc(AudioUnitElement element)
  {
    switch (element)
    {
    case kAudioUnitGetParameterSelect:
      return reinterpret_cast<void*>(&IPlugAU::GetParamProc);
    case kAudioUnitSetParameterSelect:
      return reinterpret_cast<void*>(&IPlugAU::SetParamProc);
    case kAudioUnitRenderSelect:
      return reinterpret_cast<void*>(&IPlugAU::RenderProc);
    default:
      return nullptr;
    }
  }
  static ComponentResult GetFastDispatch(IPlugAU&, AudioUnitScope, AudioUnitElement element,
                                         void* data)
  {
    Write(data, FastDispatchProc(element));
    return noErr;
  }

  // ---- parameters ----

  static ComponentResult GetParameterList(IPlugAU& plug, AudioUnitScope scope, AudioUnitElement,
                                          void* data)
  {
    if (!IsGlobal(scope)) return noErr;
    for (int i = 0; i < plug.NParams(); ++i)
      Write<AudioUnitParameterID>(static_cast<char*>(data) + 4 * i, static_cast<UInt32>(i));
    return noErr;
  }
  static ComponentResult GetParameterInfo(IPlugAU& plug, AudioUnitScope, AudioUnitElement element,
                                          void* data)
  {
    AudioUnitParameterInfo info;
    const ComponentResult result = plug.GetParameterInfo(element, &info);
    if (result == noErr) Write(data, info);
    return result;
  }
  // The host releases the array.
  static ComponentResult GetValueStrings(IPlugAU& plug, AudioUnitScope, AudioUnitElement element,
                                         void* data)
  {
    const IParam* param = plug.GetParam(static_cast<int>(element));
    const int count = param->ValueTextCount();
    std::vector<const void*> strings(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
      strings[static_cast<size_t>(i)] = MakeString(param->TextForValue(i));
    CFArrayRef array =
        CFArrayCreate(kCFAllocatorDefault, strings.data(), count, &kCFTypeArrayCallBacks);
    for (const void* s : strings)
      if (s) CFRelease(s);
    Write(data, array);
    return noErr;
  }
  // The parameter a request names, or null.
  static const IParam* RequestedParam(IPlugAU& plug, AudioUnitParameterID id)
  {
    const IParam* param = plug.GetParam(static_cast<int>(id));
    return id < static_cast<UInt32>(plug.NParams()) ? param : nullptr;
  }
  // The three requests below are answered in the global scope; elsewhere data is left as it was.
  static ComponentResult GetStringFromValue(IPlugAU& plug, AudioUnitScope scope, AudioUnitElement,
                                            void* data)
  {
    if (!IsGlobal(scope)) return noErr;
    AudioUnitParameterStringFromValue request = Read<AudioUnitParameterStringFromValue>(data);
    const IParam* param = RequestedParam(plug, request.inParamID);
    if (!param) return kAudioUnitErr_InvalidParameter;
    const double value = request.inValue ? *request.inValue : param->Value();
    request.outString = MakeString(param->TextForValue(TruncatedIndex(value)));
    Write(data, request);
    return noErr;
  }
  static ComponentResult GetParameterName(IPlugAU& plug, AudioUnitScope scope, AudioUnitElement,
                                          void* data)
  {
    if (!IsGlobal(scope)) return noErr;
    AudioUnitParameterIDName request = Read<AudioUnitParameterIDName>(data);
    const IParam* param = RequestedParam(plug, request.inID);
    if (!param) return kAudioUnitErr_InvalidParameter;
    char name[IParam::kTextLength];
    CopyTextBounded(name, param->NameText(), sizeof(name));
    if (request.inDesiredLength != kAudioUnitParameterName_Full)
      name[ClampedNameLength(request.inDesiredLength)] = 0;
    request.outName = MakeString(name);
    Write(data, request);
    return noErr;
  }
  static int ClampedNameLength(SInt32 desired)
  {
    if (desired < 0) return 0;
    return desired > IParam::kTextLength - 1 ? IParam::kTextLength - 1 : desired;
  }
  static ComponentResult GetValueFromString(IPlugAU& plug, AudioUnitScope scope, AudioUnitElement,
                                            void* data)
  {
    if (!IsGlobal(scope)) return noErr;
    AudioUnitParameterValueFromString request = Read<AudioUnitParameterValueFromString>(data);
    const IParam* param = RequestedParam(plug, request.inParamID);
    if (!param) return kAudioUnitErr_InvalidParameter;
    double value;
    if (!ValueFromCFString(*param, request.inString, &value))
      return kAudioUnitErr_InvalidPropertyValue;
    request.outValue = static_cast<AudioUnitParameterValue>(value);
    Write(data, request);
    return noErr;
  }
  // False for anything but a CFString that reads as a value of the parameter.
  static bool ValueFromCFString(const IParam& param, CFStringRef string, double* value)
  {
    if (!string || CFGetTypeID(string) != CFStringGetTypeID()) return false;
    char text[256];
    if (!CFStringGetCString(string, text, sizeof(text), kCFStringEncodingUTF8)) return false;
    return ParamValueFromText(param, text, value);
  }

  // ---- views ----

  static ComponentResult GetCarbonView(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    ComponentDescription description;
    description.componentType = kTarvexCarbonViewComponentType;
    description.componentSubType = static_cast<OSType>(plug.GetUniqueID());
    description.componentManufacturer = static_cast<OSType>(plug.GetMakerID());
    description.componentFlags = 0;
    description.componentFlagsMask = 0;
    Write(data, description);
    return noErr;
  }
  // 64-bit hosts run on 10.5 or later, where Cocoa views exist.
  static ComponentResult GetCocoaView(IPlugAU& plug, AudioUnitScope, AudioUnitElement, void* data)
  {
    CFURLRef url = CopyBundleURL(plug.mBundleID.Get());
    if (!url) return kAudioUnitErr_InvalidProperty; // our own bundle cannot be found
    AudioUnitCocoaViewInfo info;
    info.mCocoaAUViewBundleLocation = url;
    info.mCocoaAUViewClass[0] = MakeString(plug.mCocoaViewFactoryClassName.Get());
    Write(data, info);
    return noErr;
  }
};

// Each record: {id, {read scopes, check, size, computed size, get}, {write scopes, shortest
// record, set}}.
const IPlugAU::Properties::Record IPlugAU::Properties::kTable[] = {
    {kAudioUnitProperty_ClassInfo,
     {kAnyScope, nullptr, sizeof(CFPropertyListRef), nullptr, &GetClassInfo},
     {kAnyScope, sizeof(CFPropertyListRef), &SetClassInfo}},
    {kAudioUnitProperty_MakeConnection,
     {kGlobal | kInput, nullptr, sizeof(AudioUnitConnection), nullptr, nullptr},
     {kGlobal | kInput, sizeof(AudioUnitConnection), &SetConnection}},
    {kAudioUnitProperty_SampleRate,
     {kAnyScope, nullptr, sizeof(Float64), nullptr, &GetSampleRate},
     {kAnyScope, sizeof(Float64), &SetSampleRate}},
    {kAudioUnitProperty_ParameterList,
     {kAnyScope, nullptr, 0, &ParameterListSize, &GetParameterList},
     kReadOnly},
    {kAudioUnitProperty_ParameterInfo,
     {kGlobal, &CheckParameter, sizeof(AudioUnitParameterInfo), nullptr, &GetParameterInfo},
     kReadOnly},
    {kAudioUnitProperty_FastDispatch,
     {kAnyScope, &CheckFastDispatch, sizeof(void*), nullptr, &GetFastDispatch},
     kReadOnly},
    {kAudioUnitProperty_StreamFormat,
     {kGlobal | kInput | kOutput, &CheckBus, sizeof(AudioStreamBasicDescription), nullptr,
      &GetStreamFormat},
     {kGlobal | kInput | kOutput, sizeof(AudioStreamBasicDescription), &SetStreamFormat}},
    {kAudioUnitProperty_ElementCount,
     {kAnyScope, nullptr, sizeof(UInt32), nullptr, &GetElementCount},
     kReadOnly},
    {kAudioUnitProperty_Latency,
     {kGlobal, nullptr, sizeof(Float64), nullptr, &GetLatency},
     kReadOnly},
    {kAudioUnitProperty_TailTime,
     {kGlobal, nullptr, sizeof(Float64), nullptr, &GetLatency},
     kReadOnly},
    {kAudioUnitProperty_SupportedNumChannels,
     {kGlobal, nullptr, 0, &ChannelInfoSize, &GetSupportedNumChannels},
     kReadOnly},
    {kAudioUnitProperty_MaximumFramesPerSlice,
     {kGlobal, nullptr, sizeof(UInt32), nullptr, &GetMaxFrames},
     {kAnyScope, sizeof(UInt32), &SetMaxFrames}},
    {kAudioUnitProperty_ParameterValueStrings,
     {kGlobal, &CheckValueStrings, sizeof(CFArrayRef), nullptr, &GetValueStrings},
     kReadOnly},
    {kAudioUnitProperty_GetUIComponentList,
     {kAnyScope, &CheckEditor, sizeof(ComponentDescription), nullptr, &GetCarbonView},
     kReadOnly},
    {kAudioUnitProperty_BypassEffect,
     {kGlobal, nullptr, sizeof(UInt32), nullptr, &GetBypass},
     {kGlobal, sizeof(UInt32), &SetBypass}},
    {kAudioUnitProperty_LastRenderError,
     {kGlobal, nullptr, sizeof(OSStatus), nullptr, &GetLastRenderError},
     kReadOnly},
    {kAudioUnitProperty_SetRenderCallback,
     {kGlobal | kInput, &CheckInputBus, sizeof(AURenderCallbackStruct), nullptr, nullptr},
     {kInput, sizeof(AURenderCallbackStruct), &SetRenderCallback}},
    {kAudioUnitProperty_FactoryPresets,
     {kAnyScope, nullptr, sizeof(CFArrayRef), nullptr, &GetFactoryPresets},
     kReadOnly},
    {kAudioUnitProperty_HostCallbacks,
     {kGlobal, nullptr, sizeof(HostCallbackInfo), nullptr, nullptr},
     {kGlobal, 1, &SetHostCallbacks}},
    {kAudioUnitProperty_CurrentPreset,
     {kAnyScope, nullptr, sizeof(AUPreset), nullptr, &GetPreset},
     {kAnyScope, sizeof(SInt32), &SetPreset}},
    {kAudioUnitProperty_PresentPreset,
     {kAnyScope, nullptr, sizeof(AUPreset), nullptr, &GetPreset},
     {kAnyScope, sizeof(SInt32), &SetPreset}},
    {kAudioUnitProperty_CocoaUI,
     {kAnyScope, &CheckEditor, sizeof(AudioUnitCocoaViewInfo), nullptr, &GetCocoaView},
     kReadOnly},
    {kAudioUnitProperty_ParameterStringFromValue,
     {kAnyScope, nullptr, sizeof(AudioUnitParameterStringFromValue), nullptr, &GetStringFromValue},
     kReadOnly},
    {kAudioUnitProperty_ParameterIDName,
     {kAnyScope, nullptr, sizeof(AudioUnitParameterIDName), nullptr, &GetParameterName},
     kReadOnly},
    {kAudioUnitProperty_ParameterValueFromString,
     {kAnyScope, nullptr, sizeof(AudioUnitParameterValueFromString), nullptr, &GetValueFromString},
     kReadOnly},
    {kMusicDeviceProperty_InstrumentCount,
     {kGlobal, &CheckInstrument, sizeof(UInt32), nullptr, &GetInstrumentCount},
     kReadOnly},
};

const IPlugAU::Properties::Record* IPlugAU::Properties::Find(AudioUnitPropertyID id)
{
  for (const Record& record : kTable)
    if (record.id == id) return &record;
  return nullptr;
}

ComponentResult IPlugAU::GetPropertyInfo(AudioUnitPropertyID propID, AudioUnitScope scope,
                                         AudioUnitElement element, UInt32* size, Boolean* writable)
{
  if (size) *size = 0;
  if (writable) *writable = false;
  const Properties::Record* property = Properties::Find(propID);
  if (!property) return kAudioUnitErr_InvalidProperty;
  const ComponentResult result = Properties::Answers(*this, property->read, scope, element);
  if (result != noErr) return result;
  if (size) *size = Properties::Size(*this, property->read, scope);
  if (writable) *writable = property->write.set != nullptr;
  return noErr;
}

ComponentResult IPlugAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, void* data, UInt32* size)
{
  if (!size) return kAudio_ParamError;
  UInt32 needed = 0;
  const ComponentResult result = GetPropertyInfo(propID, scope, element, &needed, nullptr);
  if (result != noErr) return result;
  if (data && *size < needed) return kAudio_ParamError; // nothing is written
  const Properties::Getter get = Properties::Find(propID)->read.get;
  const ComponentResult got = data && get ? get(*this, scope, element, data) : noErr;
  if (got == noErr) *size = needed;
  return got;
}

const IPlugAU::BusChannels* IPlugAU::GetBus(AudioUnitScope scope, AudioUnitElement element) const
{
  return const_cast<IPlugAU*>(this)->FindBus(scope, element);
}

IPlugAU::BusChannels* IPlugAU::FindBus(AudioUnitScope scope, AudioUnitElement element)
{
  if (scope == kAudioUnitScope_Input)
    return element < mInBuses.size() ? &mInBuses[element] : nullptr;
  if (scope == kAudioUnitScope_Output || scope == kAudioUnitScope_Global)
    return element < mOutBuses.size() ? &mOutBuses[element] : nullptr;
  return nullptr;
}

const IPlugAU::InputConnection* IPlugAU::GetInputConnection(int bus) const
{
  return bus >= 0 && bus < NInputBuses() ? &mInputConnections[static_cast<size_t>(bus)] : nullptr;
}

ComponentResult IPlugAU::GetParameterInfo(AudioUnitElement element, AudioUnitParameterInfo* info)
{
  const IParam* param = GetParam(static_cast<int>(element));
  if (!param) return kAudioUnitErr_InvalidParameter;
  memset(info, 0, sizeof(*info));
  info->flags = kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
                kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease;
  CopyTextBounded(info->name, param->NameText(), sizeof(info->name));
  info->cfNameString = MakeString(param->NameText());
  if (param->mType == IParam::kTypeBool)
    info->unit = kAudioUnitParameterUnit_Boolean;
  else if (param->mType == IParam::kTypeEnum)
    info->unit = kAudioUnitParameterUnit_Indexed;
  else if (param->LabelText()[0])
  {
    info->unit = kAudioUnitParameterUnit_CustomUnit;
    info->unitName = MakeString(param->LabelText()); // released by the host (CFNameRelease)
  }
  else
    info->unit = kAudioUnitParameterUnit_Generic;
  info->minValue = static_cast<AudioUnitParameterValue>(param->mMin);
  info->maxValue = static_cast<AudioUnitParameterValue>(param->mMax);
  info->defaultValue = static_cast<AudioUnitParameterValue>(param->mValue);
  return noErr;
}

CFMutableArrayRef IPlugAU::MakeFactoryPresets()
{
  // The records live in the plug-in; the arrays only point at them.
  if (static_cast<int>(mFactoryPresetRecords.size()) != NPresets())
  {
    for (AUPreset& preset : mFactoryPresetRecords)
      if (preset.presetName) CFRelease(preset.presetName);
    mFactoryPresetRecords.resize(static_cast<size_t>(NPresets()));
    for (int i = 0; i < NPresets(); ++i)
      mFactoryPresetRecords[static_cast<size_t>(i)] = {i, MakeString(PresetName(i))};
  }
  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, NPresets(), nullptr);
  if (!array) return nullptr;
  for (const AUPreset& preset : mFactoryPresetRecords) CFArrayAppendValue(array, &preset);
  return array;
}

void IPlugAU::NotifyPropertyListeners(AudioUnitPropertyID propID, AudioUnitScope scope,
                                      AudioUnitElement element)
{
  // A listener may add or remove listeners: walk a copy of the matching entries.
  PropertyListener matching[32];
  int n = 0;
  for (const PropertyListener& l : mPropertyListeners)
    if (l.mPropID == propID && n < 32) matching[n++] = l;
  for (int i = 0; i < n; ++i)
    matching[i].mListenerProc(matching[i].mProcArgs, mCI, propID, scope, element);
}

ComponentResult IPlugAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, const void* data, UInt32 size)
{
  const Properties::Record* property = Properties::Find(propID);
  const Properties::Writing* write = property && property->write.set ? &property->write : nullptr;
  // A writable property's record is checked before anyone is told.
  if (write && !data) return kAudio_ParamError;
  if (write && size < write->size) return kAudioUnitErr_InvalidPropertyValue;
  NotifyPropertyListeners(propID, scope, 0);
  if (!write || !Properties::InScopes(write->scopes, scope)) return kAudioUnitErr_InvalidProperty;
  return write->set(*this, scope, element, data, size);
}

// ---- buses and connections ----

int IPlugAU::NHostChannelsConnected(const std::vector<BusChannels>& buses,
                                    const BusChannels* proposed, int proposedCount)
{
  bool any = false;
  int n = 0;
  for (const BusChannels& bus : buses)
  {
    const int channels = &bus == proposed ? proposedCount : bus.mNHostChannels;
    if (channels >= 0)
    {
      any = true;
      n += channels;
    }
  }
  return any ? n : -1;
}

bool IPlugAU::CheckLegalIO()
{
  const int nIn = NHostChannelsConnected(mInBuses);
  const int nOut = NHostChannelsConnected(mOutBuses);
  return (nIn == 0 && nOut == 0) || LegalIO(nIn, nOut);
}

bool IPlugAU::CheckLegalIO(AudioUnitScope scope, const BusChannels* bus, int nChannels)
{
  const bool input = scope == kAudioUnitScope_Input;
  // The proposed bus at its new count, the other buses of its scope as set (unset ones as 0).
  int nThis = 0;
  for (const BusChannels& b : input ? mInBuses : mOutBuses)
  {
    const int channels = &b == bus ? nChannels : b.mNHostChannels;
    if (channels > 0) nThis += channels;
  }
  const int nOther = mActive ? NHostChannelsConnected(input ? mOutBuses : mInBuses) : -1;
  return input ? LegalIO(nThis, nOther) : LegalIO(nOther, nThis);
}

ComponentResult IPlugAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                         const AudioStreamBasicDescription* format)
{
  BusChannels* bus = FindBus(scope, element);
  if (!bus) return kAudioUnitErr_InvalidProperty;
  const bool linearPCM = format->mFormatID == kAudioFormatLinearPCM;
  const bool canonical =
      (format->mFormatFlags & (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked)) != 0;
  const int nChannels = format->mChannelsPerFrame > static_cast<UInt32>(INT_MAX)
                            ? INT_MAX
                            : static_cast<int>(format->mChannelsPerFrame);
  const bool connectionOK =
      nChannels >= 1 &&
      CheckLegalIO(scope == kAudioUnitScope_Input ? scope : kAudioUnitScope_Output, bus, nChannels);
  TARVEX_TRACE("%s:%s:%s", linearPCM ? "linearPCM" : "notLinearPCM",
               canonical ? "canonicalFormat" : "notCanonicalFormat",
               connectionOK ? "connectionOK" : "connectionNotOK");
  const bool accepted = linearPCM && canonical && connectionOK;
  if (accepted)
  {
    bus->mNHostChannels = nChannels;
    const double rate = format->mSampleRate;
    if (rate > 0.0 && std::isfinite(rate) && rate != GetSampleRate())
    {
      StoreSampleRate(rate);
      HostReset(); // the engine follows the new rate before the next render
    }
  }
  // A refused format leaves the bus as it was, so the unit keeps working with the last good one.
  AssessInputConnections();
  return accepted ? ComponentResult(noErr) : ComponentResult(kAudioUnitErr_InvalidProperty);
}

ComponentResult IPlugAU::MakeConnection(const AudioUnitConnection* data)
{
  const AudioUnitConnection connection = Read<AudioUnitConnection>(data);
  if (connection.destInputNumber >= mInBuses.size()) return kAudioUnitErr_InvalidProperty;
  InputConnection& record = mInputConnections[connection.destInputNumber];
  record = InputConnection();
  if (connection.sourceAudioUnit)
  {
    AudioStreamBasicDescription format;
    UInt32 size = sizeof(format);
    OSStatus status =
        AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                             kAudioUnitScope_Output, connection.sourceOutputNumber, &format, &size);
    if (status == noErr && size >= sizeof(format))
      status = SetStreamFormat(kAudioUnitScope_Input, connection.destInputNumber, &format);
    else if (status == noErr)
      status = kAudioUnitErr_InvalidProperty;
    if (status != noErr)
    {
      AssessInputConnections();
      return kAudioUnitErr_InvalidProperty;
    }
    record.mUpstreamUnit = connection.sourceAudioUnit;
    record.mUpstreamBusIdx = static_cast<int>(connection.sourceOutputNumber);
    AudioUnitRenderProc proc = nullptr;
    size = sizeof(proc);
    if (AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_FastDispatch,
                             kAudioUnitScope_Global, kAudioUnitRenderSelect, &proc,
                             &size) == noErr &&
        size == sizeof(proc) && proc)
    {
      record.mUpstreamRenderProc = proc;
      record.mUpstreamObj = GetComponentInstanceStorage(connection.sourceAudioUnit);
    }
  }
  AssessInputConnections();
  return noErr;
}

ComponentResult IPlugAU::SetRenderCallback(AudioUnitElement element,
                                           const AURenderCallbackStruct* data)
{
  if (element >= mInBuses.size()) return kAudioUnitErr_InvalidProperty;
  const AURenderCallbackStruct callback = Read<AURenderCallbackStruct>(data);
  InputConnection& record = mInputConnections[element];
  record = InputConnection();
  if (callback.inputProc) record.mCallback = callback;
  AssessInputConnections();
  return noErr;
}

void IPlugAU::AssessInputConnections()
{
  TARVEX_TRACE("%s", "AssessInputConnections");
  WDL_MutexLock lock(GetMutex());
  ConnectInputs(0, NInChannels(), false);
  for (size_t i = 0; i < mInBuses.size(); ++i)
  {
    BusChannels& bus = mInBuses[i];
    InputConnection& record = mInputConnections[i];
    if (record.mUpstreamRenderProc && record.mUpstreamObj)
      record.mInputType = eDirectFastProc;
    else if (!record.mUpstreamUnit)
      record.mInputType = record.mCallback.inputProc ? eRenderCallback : eNotConnected;
    else
      record.mInputType = eDirectNoFastProc;
    bus.mConnected = record.mInputType != eNotConnected;
    if (!bus.mConnected) continue;
    if (bus.mNHostChannels < 0)
    {
      TARVEX_TRACE("AssumeChannels:%d", bus.mNPlugChannels);
      bus.mNHostChannels = bus.mNPlugChannels;
    }
    const int nHost = bus.mNHostChannels;
    ConnectInputs(bus.mPlugChannelStartIdx, nHost, true);
    const int rest = bus.mNPlugChannels - nHost;
    ConnectInputs(bus.mPlugChannelStartIdx + nHost, rest > 0 ? rest : 0, false);
  }
}

void IPlugAU::ClearConnections()
{
  for (size_t i = 0; i < mInBuses.size(); ++i)
  {
    mInBuses[i].mConnected = false;
    mInBuses[i].mNHostChannels = -1;
    mInputConnections[i] = InputConnection();
  }
  for (BusChannels& bus : mOutBuses)
  {
    bus.mConnected = false;
    bus.mNHostChannels = -1;
  }
}

// ---- render ----

OSStatus IPlugAU::RenderProc(void* plug, AudioUnitRenderActionFlags* flags,
                             const AudioTimeStamp* timestamp, UInt32 outputBusIdx, UInt32 nFrames,
                             AudioBufferList* bufferList)
{
  if (!plug) return kAudio_ParamError;
  return static_cast<IPlugAU*>(plug)->Render(flags, timestamp, outputBusIdx, nFrames, bufferList);
}

void IPlugAU::SendRenderNotify(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timestamp,
                               UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList)
{
  for (const RenderNotify& notify : mRenderNotify)
  {
    AudioUnitRenderActionFlags actionFlags = flags;
    notify.mProc(notify.mUserData, &actionFlags, timestamp, outputBusIdx, nFrames, bufferList);
  }
}

OSStatus IPlugAU::PullInputs(const AudioTimeStamp* timestamp, UInt32 nFrames)
{
  const int blockSize = GetBlockSize();
  for (size_t i = 0; i < mInBuses.size(); ++i)
  {
    const BusChannels& bus = mInBuses[i];
    const InputConnection& record = mInputConnections[i];
    if (!bus.mConnected || record.mInputType == eNotConnected) continue;
    int nHost = bus.mNHostChannels;
    if (nHost > kMaxBusChannels) nHost = kMaxBusChannels;
    if (nHost < 0) nHost = 0;

    BusBufferList list;
    memset(&list, 0, sizeof(list));
    list.mNumberBuffers = static_cast<UInt32>(nHost);
    for (int k = 0; k < nHost; ++k)
    {
      list.mBuffers[k].mNumberChannels = 1;
      list.mBuffers[k].mDataByteSize = nFrames * sizeof(float);
      list.mBuffers[k].mData = nullptr;
    }
    AudioBufferList* bufferList = reinterpret_cast<AudioBufferList*>(&list);
    AudioUnitRenderActionFlags flags = 0;
    OSStatus status = noErr;
    switch (record.mInputType)
    {
    case eDirectNoFastProc:
      status = AudioUnitRender(record.mUpstreamUnit, &flags, timestamp,
                               static_cast<UInt32>(record.mUpstreamBusIdx), nFrames, bufferList);
      break;
    case eRenderCallback:
      for (int k = 0; k < nHost; ++k)
      {
        const int channel = bus.mPlugChannelStartIdx + k;
        if (channel < NInChannels())
          list.mBuffers[k].mData = mInScratchBuf.Get() + static_cast<size_t>(channel) * blockSize;
        else
          list.mBuffers[k].mDataByteSize = 0;
      }
      status = record.mCallback.inputProc(record.mCallback.inputProcRefCon, &flags, timestamp,
                                          static_cast<UInt32>(i), nFrames, bufferList);
      break;
    case eDirectFastProc:
      status = record.mUpstreamRenderProc(record.mUpstreamObj, &flags, timestamp,
                                          static_cast<UInt32>(record.mUpstreamBusIdx), nFrames,
                                          bufferList);
      break;
    default:
      break;
    }
    if (status != noErr) return status;
    // Buffers the upstream left without memory, too short or missing read as silence.
    const UInt32 nReturned = list.mNumberBuffers < static_cast<UInt32>(nHost)
                                 ? list.mNumberBuffers
                                 : static_cast<UInt32>(nHost);
    for (int k = 0; k < nHost; ++k)
    {
      const AudioBuffer& buffer = list.mBuffers[k];
      float* samples = static_cast<UInt32>(k) < nReturned && buffer.mData &&
                               buffer.mDataByteSize >= nFrames * sizeof(float)
                           ? static_cast<float*>(buffer.mData)
                           : nullptr;
      BindInputBuffers(bus.mPlugChannelStartIdx + k, 1, &samples, static_cast<int>(nFrames));
    }
  }
  return noErr;
}

OSStatus IPlugAU::Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timestamp,
                         UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList)
{
  (void)flags;
  if (!timestamp || !bufferList) return kAudio_ParamError;
  if (!(timestamp->mFlags & kAudioTimeStampSampleTimeValid) || outputBusIdx >= mOutBuses.size() ||
      nFrames > static_cast<UInt32>(GetBlockSize()))
    return kAudioUnitErr_InvalidPropertyValue;
  const UInt32 nBuffers = bufferList->mNumberBuffers;
  for (UInt32 k = 0; k < nBuffers; ++k)
  {
    const AudioBuffer& buffer = bufferList->mBuffers[k];
    if (buffer.mData && buffer.mDataByteSize < nFrames * sizeof(float))
      return kAudioUnitErr_InvalidPropertyValue; // would be written past its end
  }

  SendRenderNotify(kAudioUnitRenderAction_PreRender, timestamp, outputBusIdx, nFrames, bufferList);

  if (timestamp->mSampleTime != mRenderTimestamp)
  {
    const OSStatus status = PullInputs(timestamp, nFrames);
    if (status != noErr) return status;
    mRenderTimestamp = timestamp->mSampleTime;
  }

  BusChannels& bus = mOutBuses[outputBusIdx];
  // A bus whose format the host never set carries the channels its StreamFormat reports.
  const int nHost = bus.mNHostChannels >= 0 ? bus.mNHostChannels : bus.mNPlugChannels;
  if (!bus.mConnected || nHost != static_cast<int>(nBuffers))
  {
    int n = nHost < static_cast<int>(nBuffers) ? nHost : static_cast<int>(nBuffers);
    if (n < 0) n = 0;
    ConnectOutputs(bus.mPlugChannelStartIdx, n, true);
    const int rest = bus.mNPlugChannels - n;
    ConnectOutputs(bus.mPlugChannelStartIdx + n, rest > 0 ? rest : 0, false);
    bus.mConnected = true;
  }
  const int blockSize = GetBlockSize();
  for (UInt32 k = 0; k < nBuffers; ++k)
  {
    AudioBuffer& buffer = bufferList->mBuffers[k];
    const int channel = bus.mPlugChannelStartIdx + static_cast<int>(k);
    if (static_cast<int>(k) >= bus.mNPlugChannels || channel >= NOutChannels())
    {
      // More buffers than the bus has channels: silence where there is memory.
      if (buffer.mData) memset(buffer.mData, 0, nFrames * sizeof(float));
      continue;
    }
    if (!buffer.mData)
    {
      buffer.mData = mOutScratchBuf.Get() + static_cast<size_t>(channel) * blockSize;
      buffer.mDataByteSize = nFrames * sizeof(float);
    }
    float* samples = static_cast<float*>(buffer.mData);
    BindOutputBuffers(channel, 1, &samples);
  }

  if (mBypassed)
    RunBypass(0.0f, static_cast<int>(nFrames));
  else
    RunEngine(0.0f, static_cast<int>(nFrames));

  SendRenderNotify(kAudioUnitRenderAction_PostRender, timestamp, outputBusIdx, nFrames, bufferList);
  return noErr;
}

void IPlugAU::ChangeBlockSize(int nFrames)
{
  if (nFrames < 0) nFrames = 0;
  const size_t nIn = static_cast<size_t>(NInChannels()) * static_cast<size_t>(nFrames);
  const size_t nOut = static_cast<size_t>(NOutChannels()) * static_cast<size_t>(nFrames);
  mInScratchBuf.Resize(static_cast<int>(nIn));
  mOutScratchBuf.Resize(static_cast<int>(nOut));
  if (mInScratchBuf.Get()) memset(mInScratchBuf.Get(), 0, sizeof(float) * mInScratchBuf.GetSize());
  if (mOutScratchBuf.Get())
    memset(mOutScratchBuf.Get(), 0, sizeof(float) * mOutScratchBuf.GetSize());
  IPlugBase::ChangeBlockSize(nFrames);
}

// ---- parameters ----

OSStatus IPlugAU::GetParamProc(void* plug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement, AudioUnitParameterValue* value)
{
  if (!plug) return kAudio_ParamError;
  return static_cast<IPlugAU*>(plug)->GetParameter(paramID, scope, value);
}

OSStatus IPlugAU::SetParamProc(void* plug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement, AudioUnitParameterValue value, UInt32)
{
  if (!plug) return kAudio_ParamError;
  return static_cast<IPlugAU*>(plug)->SetParameter(paramID, scope, value);
}

ComponentResult IPlugAU::GetParameter(AudioUnitParameterID paramID, AudioUnitScope scope,
                                      AudioUnitParameterValue* value)
{
  if (!IsGlobal(scope)) return kAudioUnitErr_InvalidProperty;
  if (!value) return kAudio_ParamError;
  WDL_MutexLock lock(GetMutex());
  const IParam* param = GetParam(static_cast<int>(paramID));
  if (paramID >= static_cast<UInt32>(NParams()) || !param) return kAudioUnitErr_InvalidParameter;
  *value = static_cast<AudioUnitParameterValue>(param->mValue);
  return noErr;
}

ComponentResult IPlugAU::SetParameter(AudioUnitParameterID paramID, AudioUnitScope scope,
                                      AudioUnitParameterValue value)
{
  if (!IsGlobal(scope)) return kAudioUnitErr_InvalidProperty;
  TraceHook("SetParameter", __LINE__, "%u:%f", paramID, static_cast<double>(value));
  WDL_MutexLock lock(GetMutex());
  IParam* param = GetParam(static_cast<int>(paramID));
  if (paramID >= static_cast<UInt32>(NParams()) || !param) return kAudioUnitErr_InvalidParameter;
  if (std::isnan(value)) return kAudio_ParamError; // the parameter keeps its value
  // Clamped, not rounded to the step, as Audio Unit hosts have always had it.
  SetParamFromHost(*this, static_cast<int>(paramID), value, HostUnits::kReal, HostSteps::kKeep);
  return noErr;
}

ComponentResult IPlugAU::ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count)
{
  if (!events && count > 0) return kAudio_ParamError;
  for (UInt32 i = 0; i < count; ++i)
  {
    const AudioUnitParameterEvent& event = events[i];
    if (event.eventType != kParameterEvent_Immediate) continue; // ramps are not followed
    const OSStatus status =
        SetParamProc(this, event.parameter, event.scope, event.element,
                     event.eventValues.immediate.value, event.eventValues.immediate.bufferOffset);
    if (status != noErr) return status;
  }
  return noErr;
}

// ---- class info ----

ComponentResult IPlugAU::GetClassInfo(CFPropertyListRef* dictionary)
{
  ComponentDescription description;
  memset(&description, 0, sizeof(description));
  const OSErr err =
      GetComponentInfo(reinterpret_cast<Component>(mCI), &description, nullptr, nullptr, nullptr);
  if (err != noErr) return err;
  StateChunk state;
  const bool saved = DoesStateChunks() ? SaveState(&state) : WriteParamState(&state);
  CFMutableDictionaryRef dict =
      WriteAUClassInfo(description, VersionNumber(false), PresetName(GetCurrentPresetIdx()),
                       saved ? &state : nullptr);
  if (!dict) return memFullErr;
  *dictionary = dict;
  return noErr;
}

ComponentResult IPlugAU::SetClassInfo(CFPropertyListRef dictionary)
{
  ComponentDescription description;
  memset(&description, 0, sizeof(description));
  const OSErr err =
      GetComponentInfo(reinterpret_cast<Component>(mCI), &description, nullptr, nullptr, nullptr);
  if (err != noErr) return err;
  AUClassInfoFields fields;
  if (!ReadAUClassInfo(dictionary, &fields) ||
      fields.type != static_cast<SInt32>(description.componentType) ||
      fields.subtype != static_cast<SInt32>(description.componentSubType) ||
      fields.manufacturer != static_cast<SInt32>(description.componentManufacturer))
    return kAudioUnitErr_InvalidPropertyValue;
  // The whole state must be there before anything changes: a short or damaged "data" is refused.
  constexpr CFIndex kMaxStateBytes = 1 << 26;
  if (!fields.data || fields.dataLength > kMaxStateBytes) return kAudioUnitErr_InvalidPropertyValue;
  if (DoesStateChunks()
          ? fields.dataLength <= 0
          : !IsCompleteParamState(fields.data, static_cast<size_t>(fields.dataLength), NParams()))
    return kAudioUnitErr_InvalidPropertyValue;

  ApplyPreset(fields.name);
  StateChunk chunk;
  chunk.SetLength(static_cast<int>(fields.dataLength));
  if (chunk.Size() != static_cast<int>(fields.dataLength)) return memFullErr;
  if (fields.dataLength > 0)
    memcpy(chunk.GetBytes(), fields.data, static_cast<size_t>(fields.dataLength));
  const int position = DoesStateChunks() ? LoadState(&chunk, 0) : UnserializeParams(&chunk, 0);
  if (position == 0) return kAudioUnitErr_InvalidPropertyValue;
  PushParamsToEditor();
  return noErr;
}

// ---- notifications and host information ----

void IPlugAU::SendAUEvent(AudioUnitEventType type, int paramIdx)
{
  if (!mCI) return;
  AudioUnitEvent event;
  memset(&event, 0, sizeof(event));
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mCI;
  event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(paramIdx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPlugAU::BeginInformHostOfParamChange(int index)
{
  SendAUEvent(kAudioUnitEvent_BeginParameterChangeGesture, index);
}

void IPlugAU::InformHostOfParamChange(int index, double)
{
  SendAUEvent(kAudioUnitEvent_ParameterValueChange, index);
}

void IPlugAU::EndInformHostOfParamChange(int index)
{
  SendAUEvent(kAudioUnitEvent_EndParameterChangeGesture, index);
}

int IPlugAU::HostSamplePosition()
{
  if (!mHostCallbacks.transportStateProc) return 0;
  Boolean playing = false, changed = false, cycling = false;
  Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
  if (mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &sample,
                                        &cycling, &cycleStart, &cycleEnd) != noErr)
    return 0;
  const double position = sample + 0.5;
  if (!(position >= 0.0)) return 0;
  return position < 2147483647.0 ? static_cast<int>(position) : INT_MAX;
}

double IPlugAU::HostTempo()
{
  if (mHostCallbacks.beatAndTempoProc)
  {
    Float64 beat = 0.0, tempo = 0.0;
    if (mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &beat, &tempo) == noErr &&
        tempo > 0.0 && std::isfinite(tempo))
      mTempo = tempo;
  }
  return mTempo;
}

void IPlugAU::HostTimeSignature(int* numerator, int* denominator)
{
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
  if (!mHostCallbacks.musicalTimeLocationProc) return;
  UInt32 deltaToNextBeat = 0, den = 0;
  Float32 num = 0.0f;
  Float64 downBeat = 0.0;
  if (mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &deltaToNextBeat, &num,
                                             &den, &downBeat) != noErr)
    return;
  if (numerator) *numerator = TruncatedIndex(num);
  if (denominator) *denominator = den > static_cast<UInt32>(INT_MAX) ? 0 : static_cast<int>(den);
}

int IPlugAU::HostCode()
{
  if (mHost != kHostUninit) return mHost;
  char identifier[256] = "";
  CFBundleRef mainBundle = CFBundleGetMainBundle();
  CFStringRef id = mainBundle ? CFBundleGetIdentifier(mainBundle) : nullptr;
  if (!id || !CFStringGetCString(id, identifier, sizeof(identifier), kCFStringEncodingUTF8))
    identifier[0] = 0;
  identifier[sizeof(identifier) - 1] = 0;
  SetHost(identifier, 0);
  return mHost;
}

void IPlugAU::HostSetup()
{
  HostCode();
}

void IPlugAU::ReportLatency(int samples)
{
  // Stored first, so that a listener that reads Latency at once sees the new value.
  IPlugBase::ReportLatency(samples);
  NotifyPropertyListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0);
}

bool IPlugAU::EmitMidiList(WDL_TypedBuf<MidiMessage>* messages)
{
  if (messages)
    for (int i = 0; i < messages->GetSize(); ++i) EmitMidi(messages->Get() + i);
  return true;
}
