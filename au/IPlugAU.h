// Audio Unit (version 2) face of the plug-in base: the component entry and its selectors, the
// property table, the class-info dictionary that carries the saved state, buses and channel
// rules, the render path with its input types, parameter access and events, and the host's time
// callbacks.
//
// Threads: the component entry takes the plug-in mutex around every selector except Open and
// Close. The FastDispatch parameter procedures take it themselves; the FastDispatch render
// procedure takes no lock (the engine hands off to the editor with its own locks). Render never
// allocates: its scratch is sized by ChangeBlockSize. The editor's gesture and value events
// (Begin/Inform/EndInformHostOfParamChange) are sent from the editor's thread, the main thread
// of the Cocoa and Carbon views; parameter values set by the host reach the view's knobs at its
// next timer tick.
#pragma once

#include <vector>

#include "au/AppleApi.h"
#include "core/IPlugBase.h"
#include "core/WDL_String.h"

class IPlugAU : public IPlugBase
{
public:
  struct InstanceInfo
  {
    const char* bundleID;      // the plug-in bundle's identifier (resources, the Cocoa view)
    const char* viewClassName; // the Cocoa view factory class
  };

  // One stereo pair (or the remaining channel) of the plug-in's inputs or outputs.
  struct BusChannels
  {
    bool mConnected = false;
    int mNHostChannels = -1; // channels the host agreed for the bus; -1 while unset
    int mNPlugChannels = 0;  // plug-in channels the bus carries
    int mPlugChannelStartIdx = 0;
  };

  enum EInputType
  {
    eNotConnected = 0,
    eDirectFastProc = 1,
    eDirectNoFastProc = 2,
    eRenderCallback = 3,
  };

  // Where one input bus gets its audio.
  struct InputConnection
  {
    void* mUpstreamObj = nullptr; // upstream instance storage, when it offers a fast render proc
    AudioUnit mUpstreamUnit = nullptr;
    int mUpstreamBusIdx = 0;
    AudioUnitRenderProc mUpstreamRenderProc = nullptr;
    AURenderCallbackStruct mCallback = {nullptr, nullptr};
    int mInputType = eNotConnected;
  };

  struct PropertyListener
  {
    AudioUnitPropertyID mPropID;
    AudioUnitPropertyListenerProc mListenerProc;
    void* mProcArgs;
  };

  struct RenderNotify
  {
    AURenderCallback mProc;
    void* mUserData;
  };

  // Largest MaximumFramesPerSlice kept; larger requests are refused.
  static constexpr int kMaxFramesPerSlice = 1 << 20;
  // Longest preset name a class-info dictionary may carry.
  static constexpr int kMaxPresetNameLength = 63;

  IPlugAU(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
          const char* effectName, const char* productName, const char* makerName, int version,
          int uniqueID, int makerID, int latency, int plugFlags, bool doesChunks,
          bool isInstrument);
  ~IPlugAU() override;

  // ---- the base's host-facing operations ----
  void BeginInformHostOfParamChange(int index) override;
  void InformHostOfParamChange(int index, double normalised) override;
  void EndInformHostOfParamChange(int index) override;
  void RequestHostRefresh() override {}
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  int HostCode() override;
  void ResizeHostView(int, int) override {}
  void HostSetup() override;
  void ChangeBlockSize(int nFrames) override;
  void ReportLatency(int samples) override;
  bool EmitMidi(MidiMessage*) override { return false; }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>* messages) override;

  // The component entry (exported by the bundle as its entry). storage is null at Open and the
  // plug-in object afterwards.
  static ComponentResult IPlugAUEntry(ComponentParameters* params, void* storage);

  // The FastDispatch procedures ("GetParamProc", "SetParamProc", "RenderProc").
  static OSStatus GetParamProc(void* plug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* value);
  static OSStatus SetParamProc(void* plug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 offsetFrames);
  static OSStatus RenderProc(void* plug, AudioUnitRenderActionFlags* flags,
                             const AudioTimeStamp* timestamp, UInt32 outputBusIdx, UInt32 nFrames,
                             AudioBufferList* bufferList);

  // Class-info state. GetClassInfo hands the host a new dictionary (the host releases it).
  // SetClassInfo checks the whole dictionary before it changes anything: a dictionary of another
  // component, or one whose "data" is missing, short or not finite, changes nothing and answers
  // kAudioUnitErr_InvalidPropertyValue.
  ComponentResult GetClassInfo(CFPropertyListRef* dictionary);
  ComponentResult SetClassInfo(CFPropertyListRef dictionary);

  // Properties (the table in IPlugAU.cpp). GetPropertyInfo: size and writability, both zeroed
  // first (either pointer may be null). GetProperty: the size into *size, and with data the value
  // too, when *size bytes hold it (kAudio_ParamError otherwise, nothing written).
  ComponentResult GetPropertyInfo(AudioUnitPropertyID propID, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* size, Boolean* writable);
  ComponentResult GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                              AudioUnitElement element, void* data, UInt32* size);
  ComponentResult SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                              AudioUnitElement element, const void* data, UInt32 size);

  // ---- inspection (tests, view factories) ----
  ComponentInstance GetComponentInstance() const { return mCI; }
  const char* GetBundleID() const { return mBundleID.Get(); }
  const char* GetViewClassName() const { return mCocoaViewFactoryClassName.Get(); }
  bool IsInitialized() const { return mActive; }
  bool IsBypassed() const { return mBypassed; }
  int NInputBuses() const { return static_cast<int>(mInBuses.size()); }
  int NOutputBuses() const { return static_cast<int>(mOutBuses.size()); }
  const BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element) const;
  const InputConnection* GetInputConnection(int bus) const;
  int NPropertyListeners() const { return static_cast<int>(mPropertyListeners.size()); }
  int NRenderNotify() const { return static_cast<int>(mRenderNotify.size()); }

private:
  ComponentResult Dispatch(ComponentParameters* params);
  struct Properties; // the property table and its functions
  void NotifyPropertyListeners(AudioUnitPropertyID propID, AudioUnitScope scope,
                               AudioUnitElement element);
  BusChannels* FindBus(AudioUnitScope scope, AudioUnitElement element);
  // Sum of the host channels that are set on the buses, or -1 when none is.
  static int NHostChannelsConnected(const std::vector<BusChannels>& buses,
                                    const BusChannels* proposed = nullptr, int proposedCount = 0);
  bool CheckLegalIO();
  bool CheckLegalIO(AudioUnitScope scope, const BusChannels* bus, int nChannels);
  void AssessInputConnections();
  void ClearConnections();
  ComponentResult SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                  const AudioStreamBasicDescription* format);
  // The property table checked the scope of these two.
  ComponentResult MakeConnection(const AudioUnitConnection* connection);
  ComponentResult SetRenderCallback(AudioUnitElement element,
                                    const AURenderCallbackStruct* callback);
  ComponentResult GetParameterInfo(AudioUnitElement element, AudioUnitParameterInfo* info);
  ComponentResult GetParameter(AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitParameterValue* value);
  ComponentResult SetParameter(AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitParameterValue value);
  ComponentResult ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count);
  OSStatus Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timestamp,
                  UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList);
  OSStatus PullInputs(const AudioTimeStamp* timestamp, UInt32 nFrames);
  void SendRenderNotify(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timestamp,
                        UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList);
  void SendAUEvent(AudioUnitEventType type, int paramIdx);
  CFMutableArrayRef MakeFactoryPresets();

  WDL_String mBundleID;
  WDL_String mCocoaViewFactoryClassName;
  ComponentInstance mCI = nullptr;
  bool mActive = false;
  bool mBypassed = false;
  bool mIsOffline = false;
  double mRenderTimestamp = -1.0;
  double mTempo = 120.0;
  HostCallbackInfo mHostCallbacks = {};
  WDL_TypedBuf<float> mInScratchBuf;
  WDL_TypedBuf<float> mOutScratchBuf;
  std::vector<RenderNotify> mRenderNotify;
  std::vector<BusChannels> mInBuses;
  std::vector<BusChannels> mOutBuses;
  std::vector<InputConnection> mInputConnections;
  std::vector<PropertyListener> mPropertyListeners;
  std::vector<AUPreset> mFactoryPresetRecords; // referenced by the FactoryPresets arrays
};

// The concrete plug-in's factory (Tarvex: CreateTarvex under the factory mutex). Null when no
// instance can be made.
IPlugAU* CreatePluginInstance();
