// Host-independent core of the plug-in object: identity, channel plumbing between host buffers and
// the engine, parameters, presets and saved state, the attached editor graphics, and one recursive
// mutex that serialises host calls, the audio callbacks and the editor's short edits.
//
// Class chain: IPlugBase <- a wrapper (IPlugVST, IPlugAU, IPlugLV2, or a test wrapper) <- the
// concrete plug-in. Threads: host entries run on host threads with mMutex held by the wrapper;
// ProcessFrames runs on the audio thread; the editor runs on the host's GUI thread and takes mMutex
// only for short work (a batch of mouse events, SetParameterFromGUI), never for a whole frame, for
// opening or for closing. Parameter values may be read without the mutex (IParam's SharedDouble).
#pragma once

#include <cstdint>

#include "core/IParam.h"
#include "core/StateChunk.h"
#include "core/WDL_Mutex.h"
#include "core/WDL_PtrList.h"

class IGraphics;

// Empty trace hook called by public entries with the operation's name, a line and a printf format.
void TraceHook(const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
#define TARVEX_TRACE(...) TraceHook(__func__, __LINE__, __VA_ARGS__)

struct MidiMessage
{
  int32_t mOffset;
  uint8_t mStatus, mData1, mData2;
};

// A preset: a named parameter state. Owned by the plug-in base; owns its chunk.
struct IPreset
{
  static constexpr int kNameLength = 256; // with the terminator
  bool mInitialised = false;
  char mName[kNameLength] = {};
  StateChunk mChunk;
};

// Host codes of SetHost (0 unknown, -1 not yet identified).
enum EHost
{
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostMelodyne = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostDigitalPerformer = 22,
  kHostAudioMulch = 23,
  kHostStudioOne = 24,
};

// Code of a host product name by case-insensitive substring; exposed for tests.
int LookUpHost(const char* productName);

class IPlugBase
{
public:
  static constexpr int kNameLength = 128; // effect, product and maker names, with the terminator

  struct ChannelIO
  {
    int32_t mIn, mOut;
  };
  struct InChannel
  {
    bool mConnected = false;
    double** mSrc = nullptr;          // this channel's slot in the input data array
    WDL_TypedBuf<double> mScratchBuf; // block size doubles
  };
  struct OutChannel
  {
    bool mConnected = false;
    double** mDest = nullptr;         // this channel's slot in the output data array
    float* mFDest = nullptr;          // host's float buffer of the current call, or null
    WDL_TypedBuf<double> mScratchBuf; // block size doubles
  };

  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* makerName, int version, int uniqueID, int makerID,
            int latency, int plugFlags, bool doesChunks, bool isInstrument);

  // ---- virtual operations, in slot order ----
  virtual ~IPlugBase();
  // Host thread, mutex taken.
  virtual void HostReset();
  // Any thread that changed the parameter, mutex taken; only sets flags and values.
  virtual void ParamChanged(int index);
  // Audio thread. Base: copies input i to output i for every input channel, zero-fills other
  // outputs.
  virtual void ProcessFrames(double** inputs, double** outputs, int nFrames);
  // Host GUI thread, mutex held by the wrapper for the call only (the view itself opens and closes
  // without it).
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  virtual void UnusedHook7() {}
  virtual void ActivationChanged(bool active);
  virtual void ReceiveMidi(MidiMessage* message) { EmitMidi(message); }
  virtual bool NoteName(int note, char* name);
  virtual bool SaveState(StateChunk* chunk) { return WriteParamState(chunk); }
  virtual int LoadState(const StateChunk* chunk, int start)
  {
    return UnserializeParams(chunk, start);
  }
  // Host GUI thread (the editor's gestures and edits), mutex held: the wrapper tells the host at
  // once (VST, Audio Unit) or queues it for the UI's idle call (LV2).
  virtual void BeginInformHostOfParamChange(int index) = 0;
  virtual void InformHostOfParamChange(int index, double normalised) = 0;
  virtual void EndInformHostOfParamChange(int index) = 0;
  // Any thread, the audio thread included, lock-free: the host is asked to re-read the parameters
  // from its own thread later (VST at the next idle call, LV2 in the UI's idle).
  virtual void RequestHostRefresh() = 0;
  virtual int HostSamplePosition() = 0;
  virtual double HostTempo() = 0;
  virtual void HostTimeSignature(int* numerator, int* denominator) = 0;
  virtual int HostCode() { return mHost; }
  virtual void ResizeHostView(int width, int height) = 0;
  virtual void UnusedHook22() {}
  virtual void HostSetup() = 0;
  virtual void AdoptGraphics(IGraphics* graphics);
  virtual void ChangeBlockSize(int nFrames);
  virtual void ReportLatency(int samples) { mLatency = samples; }
  virtual bool EmitMidi(MidiMessage* message) = 0;
  virtual bool EmitMidiList(WDL_TypedBuf<MidiMessage>* messages) = 0;
  virtual bool WriteParamState(StateChunk* chunk);
  virtual int UnserializeParams(const StateChunk* chunk, int start);
  virtual bool WritePresetBank(StateChunk* chunk);
  virtual int ReadPresetBank(const StateChunk* chunk, int start);

  // ---- identity ----
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMakerName() const { return mMakerName; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMakerID() const { return mMakerID; }
  int GetPlugFlags() const { return mPlugFlags; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInstrument; }
  // Packed version (major << 16 | minor << 8 | revision), or major*10000 + minor*100 + revision.
  int VersionNumber(bool decimal = false) const;
  // "v%d.%02d" with major and minor, cut to outSize bytes.
  void VersionText(char* out, int outSize = 32) const;
  int GetHost() const { return mHost; }
  int GetHostVersion() const { return mHostVersion; }
  void SetHost(const char* productName, int version);

  // ---- parameters ----
  int NParams() const { return mParams.GetSize(); }
  IParam* GetParam(int index) const { return mParams.Get(index); }
  // Editor thread: sets a parameter from a normalised value and tells host and engine; takes the
  // mutex for that short work.
  void SetParameterFromGUI(int index, double normalised);
  // Caller holds the mutex.
  void NotifyAllParams();
  // Any thread, caller holds the mutex: the values reach the knobs at the editor's next frame.
  void PushParamsToEditor();
  IGraphics* GetGUI() const { return mGraphics; }

  // ---- channels ----
  bool LegalIO(int nIn, int nOut) const;
  int NChannelIO() const { return mChannelIO.GetSize(); }
  const ChannelIO* GetChannelIO(int index) const { return mChannelIO.Get(index); }
  int NInChannels() const { return mInChannels.GetSize(); }
  int NOutChannels() const { return mOutChannels.GetSize(); }
  void ConnectInputs(int first, int count, bool connected);
  void ConnectOutputs(int first, int count, bool connected);
  bool InputConnected(int index) const;
  bool OutputConnected(int index) const;
  void BindInputBuffers(int first, int count, float** buffers, int nFrames);
  void BindInputBuffers(int first, int count, double** buffers);
  void BindOutputBuffers(int first, int count, float** buffers);
  void BindOutputBuffers(int first, int count, double** buffers);
  // Audio thread. float: runs the engine, then stores (or adds) each connected output as float,
  // values below FLT_MIN in magnitude as 0 (no subnormal float leaves the plug-in). double: the
  // engine's own output, computed with subnormal doubles flushed to zero.
  void RunEngine(float, int nFrames);
  void RunEngineAdding(float, int nFrames);
  void RunEngine(double, int nFrames);
  // The base's own pass-through, never the engine, then converted to float as RunEngine(float).
  void RunBypass(float, int nFrames);
  double** InputData() { return mInData.Get(); }
  double** OutputData() { return mOutData.Get(); }

  // ---- host settings ----
  double GetSampleRate() const { return mSampleRate; }
  void StoreSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }

  // ---- presets ----
  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  bool ApplyPreset(int index);
  bool ApplyPreset(const char* name);
  const char* PresetName(int index) const;
  // Renames a preset (cut to 255 characters); false for an index out of range.
  bool SetPresetName(int index, const char* name);
  void NextUserPresetName(char* out, int outSize = IPreset::kNameLength) const;
  void FillDefaultPresets(const char* name, int count);
  void OverwriteCurrentPreset(const char* name);
  void DropEmptyPresets();
  void EnsureOnePreset();

  WDL_Mutex* GetMutex() { return &mMutex; }

protected:
  void PassThrough(double** inputs, double** outputs, int nFrames);
  void StoreOutputsAsFloat(int nFrames, bool adding);

  WDL_PtrList<ChannelIO> mChannelIO;
  WDL_PtrList<IParam> mParams;
  WDL_PtrList<IPreset> mPresets;
  int mCurrentPresetIdx = 0;
  WDL_Mutex mMutex;
  char mEffectName[kNameLength] = {};
  char mProductName[kNameLength] = {};
  char mMakerName[kNameLength] = {};
  int mUniqueID;
  int mMakerID;
  int mVersion;
  int mHost = kHostUninit;
  int mHostVersion = 0;
  int mPlugFlags;
  bool mStateChunks;
  bool mIsInstrument;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  IGraphics* mGraphics = nullptr;
  WDL_TypedBuf<double*> mInData;
  WDL_TypedBuf<double*> mOutData;
  WDL_PtrList<InChannel> mInChannels;
  WDL_PtrList<OutChannel> mOutChannels;
};
