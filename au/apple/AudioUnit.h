// The Component Manager, CoreAudio, AudioUnit and AudioToolbox interfaces as far as the Audio Unit
// wrapper uses them, for builds on systems without Apple's frameworks. Declarations only, under
// Apple's names, with Apple's numeric values and 64-bit (LP64) layouts: on Linux the host process
// defines the functions and the bundle imports them when it is loaded. macOS builds include the
// real <AudioUnit/AudioUnit.h>, <AudioToolbox/AudioToolbox.h> and <CoreServices/CoreServices.h>
// instead (au/AppleApi.h).
//
// Imported functions: SetComponentInstanceStorage, GetComponentInstanceStorage, GetComponentInfo
// (Component Manager); AudioUnitGetProperty, AudioUnitRender, AUEventListenerNotify
// (AudioToolbox); and the CoreFoundation list in au/apple/CoreFoundation.h. Nothing else.
#pragma once

#include <cstddef>

#include "au/apple/CoreFoundation.h"

extern "C"
{

  typedef SInt32 OSStatus;
  typedef SInt16 OSErr;
  typedef UInt32 OSType;
  typedef char* Ptr;
  typedef Ptr* Handle;

  // ---- Component Manager ----
  typedef SInt32 ComponentResult; // 32 bits on LP64
  typedef struct ComponentRecord* Component;
  typedef struct ComponentInstanceRecord* ComponentInstance;

  struct ComponentDescription
  {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
  };

  // The block handed to a component entry. On LP64: the instance in params[0], then the selector's
  // arguments in forward order, one 8-byte slot each (a float in the low 4 bytes of its slot).
  struct ComponentParameters
  {
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    UInt32 padding;
    long params[1];
  };

  typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* params, Handle storage);

  enum : SInt16
  {
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
  };

  enum : OSStatus
  {
    noErr = 0,
    memFullErr = -108,
    badComponentSelector = static_cast<OSStatus>(0x80008002),
  };

  void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage);
  Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance);
  OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName,
                         Handle componentInfo, Handle componentIcon);

  // ---- CoreAudio types ----
  struct SMPTETime
  {
    SInt16 mSubframes;
    SInt16 mSubframeDivisor;
    UInt32 mCounter;
    UInt32 mType;
    UInt32 mFlags;
    SInt16 mHours;
    SInt16 mMinutes;
    SInt16 mSeconds;
    SInt16 mFrames;
  };

  struct AudioTimeStamp
  {
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    SMPTETime mSMPTETime;
    UInt32 mFlags;
    UInt32 mReserved;
  };
  enum : UInt32
  {
    kAudioTimeStampSampleTimeValid = 1u << 0,
  };

  struct AudioStreamBasicDescription
  {
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
  };
  enum : UInt32
  {
    kAudioFormatLinearPCM = 0x6C70636D, // 'lpcm'
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsBigEndian = 1u << 1,
    kAudioFormatFlagIsSignedInteger = 1u << 2,
    kAudioFormatFlagIsPacked = 1u << 3,
    kAudioFormatFlagIsNonInterleaved = 1u << 5,
  };

  struct AudioBuffer
  {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
  };
  struct AudioBufferList
  {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1]; // mNumberBuffers entries
  };

  enum : OSStatus
  {
    kAudio_ParamError = -50,
  };

  // ---- AudioUnit ----
  typedef ComponentInstance AudioUnit;
  typedef UInt32 AudioUnitPropertyID;
  typedef UInt32 AudioUnitScope;
  typedef UInt32 AudioUnitElement;
  typedef UInt32 AudioUnitParameterID;
  typedef Float32 AudioUnitParameterValue;
  typedef UInt32 AudioUnitRenderActionFlags;
  typedef UInt32 AUParameterEventType;

  enum : OSType
  {
    kAudioUnitType_Effect = 0x61756678,             // 'aufx'
    kAudioUnitCarbonViewComponentType = 0x61757677, // 'auvw'
  };

  enum : SInt16
  {
    kAudioUnitInitializeSelect = 1,
    kAudioUnitUninitializeSelect = 2,
    kAudioUnitGetPropertyInfoSelect = 3,
    kAudioUnitGetPropertySelect = 4,
    kAudioUnitSetPropertySelect = 5,
    kAudioUnitGetParameterSelect = 6,
    kAudioUnitSetParameterSelect = 7,
    kAudioUnitResetSelect = 9,
    kAudioUnitAddPropertyListenerSelect = 10,
    kAudioUnitRemovePropertyListenerSelect = 11,
    kAudioUnitRenderSelect = 14,
    kAudioUnitAddRenderNotifySelect = 15,
    kAudioUnitRemoveRenderNotifySelect = 16,
    kAudioUnitScheduleParametersSelect = 17,
    kAudioUnitRemovePropertyListenerWithUserDataSelect = 18,
    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
    kMusicDevicePrepareInstrumentSelect = 0x0103,
    kMusicDeviceReleaseInstrumentSelect = 0x0104,
    kMusicDeviceStartNoteSelect = 0x0105,
    kMusicDeviceStopNoteSelect = 0x0106,
    kAudioUnitCarbonViewCreateSelect = 0x0301,
  };

  enum : AudioUnitScope
  {
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
  };

  enum : AudioUnitPropertyID
  {
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_MakeConnection = 1,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_FastDispatch = 5,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_GetUIComponentList = 18,
    kAudioUnitProperty_TailTime = 20,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_LastRenderError = 22,
    kAudioUnitProperty_SetRenderCallback = 23,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_HostCallbacks = 27,
    kAudioUnitProperty_CurrentPreset = 28,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_ParameterIDName = 34,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_OfflineRender = 37,
    kAudioUnitProperty_ParameterValueFromString = 38,
    kMusicDeviceProperty_InstrumentCount = 1000,
  };

  enum : OSStatus
  {
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_NoConnection = -10876,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_InvalidPropertyValue = -10851,
  };

  enum : AudioUnitRenderActionFlags
  {
    kAudioUnitRenderAction_PreRender = 1u << 2,
    kAudioUnitRenderAction_PostRender = 1u << 3,
  };

  typedef UInt32 AudioUnitParameterUnit;
  enum : AudioUnitParameterUnit
  {
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1,
    kAudioUnitParameterUnit_Boolean = 2,
    kAudioUnitParameterUnit_CustomUnit = 26,
  };
  enum : UInt32
  {
    kAudioUnitParameterFlag_CFNameRelease = 1u << 4,
    kAudioUnitParameterFlag_HasCFNameString = 1u << 27,
    kAudioUnitParameterFlag_IsReadable = 1u << 30,
    kAudioUnitParameterFlag_IsWritable = 1u << 31,
  };
  enum : SInt32
  {
    kAudioUnitParameterName_Full = -1,
  };

  struct AudioUnitParameterInfo
  {
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    AudioUnitParameterUnit unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    UInt32 flags;
  };

  struct AudioUnitConnection
  {
    AudioUnit sourceAudioUnit;
    UInt32 sourceOutputNumber;
    UInt32 destInputNumber;
  };

  typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                       const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                       UInt32 inNumberFrames, AudioBufferList* ioData);
  struct AURenderCallbackStruct
  {
    AURenderCallback inputProc;
    void* inputProcRefCon;
  };

  typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit,
                                                AudioUnitPropertyID inID, AudioUnitScope inScope,
                                                AudioUnitElement inElement);

  // FastDispatch procedures: called by the host with the instance storage, without the entry.
  typedef OSStatus (*AudioUnitGetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                                AudioUnitScope inScope, AudioUnitElement inElement,
                                                AudioUnitParameterValue* outValue);
  typedef OSStatus (*AudioUnitSetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                                AudioUnitScope inScope, AudioUnitElement inElement,
                                                AudioUnitParameterValue inValue,
                                                UInt32 inBufferOffsetInFrames);
  typedef OSStatus (*AudioUnitRenderProc)(void* inComponentStorage,
                                          AudioUnitRenderActionFlags* ioActionFlags,
                                          const AudioTimeStamp* inTimeStamp,
                                          UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                                          AudioBufferList* ioData);

  struct AUChannelInfo
  {
    SInt16 inChannels;
    SInt16 outChannels;
  };

  struct AUPreset
  {
    SInt32 presetNumber;
    CFStringRef presetName;
  };

  struct AudioUnitCocoaViewInfo
  {
    CFURLRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
  };

  struct AudioUnitParameterStringFromValue
  {
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue;
    CFStringRef outString;
  };
  struct AudioUnitParameterIDName
  {
    AudioUnitParameterID inID;
    SInt32 inDesiredLength;
    CFStringRef outName;
  };
  struct AudioUnitParameterValueFromString
  {
    AudioUnitParameterID inParamID;
    CFStringRef inString;
    AudioUnitParameterValue outValue;
  };

  typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                   Float64* outCurrentTempo);
  typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData,
                                                          UInt32* outDeltaSampleOffsetToNextBeat,
                                                          Float32* outTimeSig_Numerator,
                                                          UInt32* outTimeSig_Denominator,
                                                          Float64* outCurrentMeasureDownBeat);
  typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                     Boolean* outTransportStateChanged,
                                                     Float64* outCurrentSampleInTimeLine,
                                                     Boolean* outIsCycling,
                                                     Float64* outCycleStartBeat,
                                                     Float64* outCycleEndBeat);
  typedef OSStatus (*HostCallback_GetTransportState2)(
      void* inHostUserData, Boolean* outIsPlaying, Boolean* outIsRecording,
      Boolean* outTransportStateChanged, Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
      Float64* outCycleStartBeat, Float64* outCycleEndBeat);
  struct HostCallbackInfo
  {
    void* hostUserData;
    HostCallback_GetBeatAndTempo beatAndTempoProc;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
    HostCallback_GetTransportState transportStateProc;
    HostCallback_GetTransportState2 transportStateProc2;
  };

  enum : AUParameterEventType
  {
    kParameterEvent_Immediate = 1,
    kParameterEvent_Ramped = 2,
  };
  struct AudioUnitParameterEvent
  {
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    AUParameterEventType eventType;
    union
    {
      struct
      {
        SInt32 startBufferOffset;
        UInt32 durationInFrames;
        AudioUnitParameterValue startValue;
        AudioUnitParameterValue endValue;
      } ramp;
      struct
      {
        UInt32 bufferOffset;
        AudioUnitParameterValue value;
      } immediate;
    } eventValues;
  };

  // MusicDevice arguments (the wrapper only passes them through).
  typedef UInt32 MusicDeviceInstrumentID;
  typedef UInt32 MusicDeviceGroupID;
  typedef UInt32 NoteInstanceID;
  struct NoteParamsControlValue
  {
    AudioUnitParameterID mID;
    AudioUnitParameterValue mValue;
  };
  struct MusicDeviceNoteParams
  {
    UInt32 argCount;
    Float32 mPitch;
    Float32 mVelocity;
    NoteParamsControlValue mControls[1];
  };

  // ---- AudioToolbox events ----
  typedef struct AUListenerBase* AUEventListenerRef;
  typedef UInt32 AudioUnitEventType;
  enum : AudioUnitEventType
  {
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
  };
  struct AudioUnitParameter
  {
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
  };
  struct AudioUnitProperty
  {
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
  };
  struct AudioUnitEvent
  {
    AudioUnitEventType mEventType;
    union
    {
      AudioUnitParameter mParameter;
      AudioUnitProperty mProperty;
    } mArgument;
  };

  OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
  OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                           const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                           UInt32 inNumberFrames, AudioBufferList* ioData);
  OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                 const AudioUnitEvent* inEvent);

  // ---- Carbon view component (only the types its create selector passes) ----
  typedef struct OpaqueWindowPtr* WindowRef;
  typedef struct OpaqueControlRef* ControlRef;
  struct Float32Point
  {
    Float32 x;
    Float32 y;
  };

} // extern "C"

// The 64-bit layouts the wrapper and its hosts rely on.
static_assert(offsetof(ComponentParameters, what) == 2, "ComponentParameters.what");
static_assert(offsetof(ComponentParameters, params) == 8, "ComponentParameters.params");
static_assert(sizeof(ComponentParameters) == 16, "ComponentParameters");
static_assert(sizeof(ComponentDescription) == 20, "ComponentDescription");
static_assert(sizeof(SMPTETime) == 24, "SMPTETime");
static_assert(sizeof(AudioTimeStamp) == 64 && offsetof(AudioTimeStamp, mFlags) == 56,
              "AudioTimeStamp");
static_assert(sizeof(AudioStreamBasicDescription) == 40, "AudioStreamBasicDescription");
static_assert(sizeof(AudioBuffer) == 16, "AudioBuffer");
static_assert(offsetof(AudioBufferList, mBuffers) == 8 && sizeof(AudioBufferList) == 24,
              "AudioBufferList");
static_assert(sizeof(AudioUnitParameterInfo) == 104, "AudioUnitParameterInfo");
static_assert(offsetof(AudioUnitParameterInfo, unitName) == 56 &&
                  offsetof(AudioUnitParameterInfo, cfNameString) == 72 &&
                  offsetof(AudioUnitParameterInfo, unit) == 80 &&
                  offsetof(AudioUnitParameterInfo, flags) == 96,
              "AudioUnitParameterInfo fields");
static_assert(sizeof(AudioUnitConnection) == 16, "AudioUnitConnection");
static_assert(sizeof(AURenderCallbackStruct) == 16, "AURenderCallbackStruct");
static_assert(sizeof(AUChannelInfo) == 4, "AUChannelInfo");
static_assert(sizeof(AUPreset) == 16, "AUPreset");
static_assert(sizeof(AudioUnitCocoaViewInfo) == 16, "AudioUnitCocoaViewInfo");
static_assert(sizeof(AudioUnitParameterStringFromValue) == 24, "ParameterStringFromValue");
static_assert(sizeof(AudioUnitParameterIDName) == 16, "ParameterIDName");
static_assert(sizeof(AudioUnitParameterValueFromString) == 24 &&
                  offsetof(AudioUnitParameterValueFromString, outValue) == 16,
              "ParameterValueFromString");
static_assert(sizeof(HostCallbackInfo) == 40, "HostCallbackInfo");
static_assert(sizeof(AudioUnitParameterEvent) == 32, "AudioUnitParameterEvent");
static_assert(offsetof(AudioUnitEvent, mArgument) == 8 && sizeof(AudioUnitEvent) == 32,
              "AudioUnitEvent");
