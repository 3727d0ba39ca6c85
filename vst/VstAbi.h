// The VST 2.4 binary interface as the host sees it: the records passed across the plug-in
// boundary, the dispatcher opcodes, the host request numbers and the flag values. Written from the
// published layout; only what this plug-in and its hosts use is named.
//
// Every record is plain data with the natural C layout of the x86_64 ABI; the sizes the host relies
// on are checked below.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

using VstIntPtr = intptr_t;
using audioMasterCallback = VstIntPtr (*)(AEffect* effect, int32_t opcode, int32_t index,
                                          VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr (*)(AEffect* effect, int32_t opcode, int32_t index,
                                            VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t frames);
using AEffectProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                          int32_t frames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);
// The plug-in's exported entry: "VSTPluginMain" (and "main").
using VstPluginMainProc = AEffect* (*)(audioMasterCallback host);

constexpr int32_t VstFourCC(const char (&s)[5])
{
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(s[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(s[3])));
}

constexpr int32_t kEffectMagic = VstFourCC("VstP");

struct AEffect
{
  int32_t magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process; // accumulating
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  int32_t numPrograms;
  int32_t numParams;
  int32_t numInputs;
  int32_t numOutputs;
  int32_t flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  int32_t initialDelay; // samples
  int32_t realQualities;
  int32_t offQualities;
  float ioRatio;
  void* object; // the plug-in object
  void* user;   // the host's
  int32_t uniqueID;
  int32_t version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

enum VstAEffectFlags : int32_t
{
  effFlagsHasEditor = 1 << 0,
  effFlagsCanMono = 1 << 3,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes (host to plug-in).
enum VstOpcode : int32_t
{
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effSetSpeakerArrangement = 42,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetVstVersion = 58,
  effGetMidiKeyName = 66,
  effGetSpeakerArrangement = 69,
};

// Host requests (plug-in to host).
enum VstHostOpcode : int32_t
{
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterIOChanged = 13,
  audioMasterSizeWindow = 15,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
};

enum VstPlugCategory : int32_t
{
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

// Text lengths of the interface, with the terminator.
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxEffectNameLen = 32;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;
constexpr int kVstMaxLabelLen = 64;
constexpr int kVstMaxShortLabelLen = 8;

struct ERect
{
  int16_t top, left, bottom, right;
};

enum VstPinPropertiesFlags : int32_t
{
  kVstPinIsActive = 1 << 0,
  kVstPinIsStereo = 1 << 1,
  kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties
{
  char label[kVstMaxLabelLen];
  int32_t flags;
  int32_t arrangementType;
  char shortLabel[kVstMaxShortLabelLen];
  char future[48];
};

enum VstSpeakerArrangementType : int32_t
{
  kSpeakerArrUserDefined = -2,
  kSpeakerArrEmpty = -1,
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
};

struct VstSpeakerProperties
{
  float azimuth, elevation, radius, reserved;
  char name[64];
  int32_t type;
  char future[28];
};

struct VstSpeakerArrangement
{
  int32_t type;
  int32_t numChannels;
  VstSpeakerProperties speakers[8];
};

enum VstTimeInfoFlags : int32_t
{
  kVstTransportPlaying = 1 << 1,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
};

struct VstTimeInfo
{
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  int32_t timeSigNumerator;
  int32_t timeSigDenominator;
  int32_t smpteOffset;
  int32_t smpteFrameRate;
  int32_t samplesToNextClock;
  int32_t flags;
};

enum VstEventType : int32_t
{
  kVstMidiType = 1,
};

struct VstEvent
{
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  char data[16];
};

struct VstMidiEvent
{
  int32_t type;
  int32_t byteSize; // 32
  int32_t deltaFrames;
  int32_t flags;
  int32_t noteLength;
  int32_t noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

// numEvents pointers follow; the declared two are the minimum the layout reserves.
struct VstEvents
{
  int32_t numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};

struct MidiKeyName
{
  int32_t thisProgramIndex;
  int32_t thisKeyNumber;
  char keyName[kVstMaxLabelLen];
  int32_t reserved;
  int32_t flags;
};

static_assert(sizeof(void*) != 8 || sizeof(AEffect) == 192, "AEffect layout");
static_assert(sizeof(void*) != 8 || offsetof(AEffect, initialDelay) == 80, "AEffect layout");
static_assert(sizeof(void*) != 8 || offsetof(AEffect, processReplacing) == 120, "AEffect layout");
static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties layout");
static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties layout");
static_assert(sizeof(VstSpeakerArrangement) == 8 + 8 * 112, "VstSpeakerArrangement layout");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo layout");
static_assert(sizeof(VstMidiEvent) == 32 && sizeof(VstEvent) == 32, "event layout");
static_assert(sizeof(ERect) == 8, "ERect layout");
