// VST 2.4 face of the plug-in base: fills the AEffect record the host holds, answers the
// dispatcher, runs the three processing functions and the parameter functions, and sends the base's
// notifications to the host through its audioMaster callback.
//
// Threads: every AEffect function (dispatcher, process*, get/setParameter) takes the plug-in mutex
// for its whole run, so host calls, processing and the editor's SetParameterFromGUI never overlap,
// except the editor's opcodes (effEditOpen, effEditIdle, effEditClose, effEditGetRect, effIdle):
// they run on the host's GUI thread without it, so that opening, drawing and closing the editor
// never make processing wait. effEditGetRect gives the window's size at the view's scale factor
// (IGraphics::ViewScale): before effEditOpen, the factor the opening will take. The editor runs
// entirely inside those calls. Host notifications the editor causes (audioMasterBeginEdit,
// Automate, EndEdit) are sent from that thread; audioMasterUpdateDisplay, which a kernel rebuild on
// the audio thread may request, waits for the next effEditIdle or effIdle. Processing never
// allocates: all scratch is sized by effSetBlockSize, and longer calls are run in slices of at most
// that size.
#pragma once

#include <atomic>

#include "core/IPlugBase.h"
#include "vst/VstAbi.h"

class IPlugVST : public IPlugBase
{
public:
  struct InstanceInfo
  {
    audioMasterCallback hostCallback;
  };

  // Host capability bits learnt from effCanDo.
  enum EHostCaps
  {
    kHostCapCockosExtensions = 1 << 0,
    kHostCapCockosViewAsConfig = 1 << 1,
  };

  // Largest block size kept for the scratch buffers; larger announcements are clamped (calls of
  // any length still run, in slices).
  static constexpr int kMaxBlockSize = 1 << 20;

  IPlugVST(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* makerName, int version,
           int uniqueID, int makerID, int latency, int plugFlags, bool doesChunks,
           bool isInstrument);
  ~IPlugVST() override;

  // ---- the base's host-facing operations ----
  void BeginInformHostOfParamChange(int index) override;
  void InformHostOfParamChange(int index, double normalised) override;
  void EndInformHostOfParamChange(int index) override;
  // Any thread: audioMasterUpdateDisplay at the host's next idle call.
  void RequestHostRefresh() override;
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  int HostCode() override;
  void ResizeHostView(int width, int height) override;
  void HostSetup() override;
  void AdoptGraphics(IGraphics* graphics) override;
  // Stores the latency into initialDelay; while the host is running (mains on) a changed value is
  // announced with audioMasterIOChanged so the host re-reads it.
  void ReportLatency(int samples) override;
  bool EmitMidi(MidiMessage* message) override;
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>* messages) override;

  AEffect* GetAEffect() { return &mAEffect; }
  int HostCapabilities() const { return mHostCapabilities; }
  bool MainsOn() const { return mMainsOn; }

  // ---- the AEffect functions (any host thread; each takes the plug-in mutex) ----
  static VstIntPtr VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                 void* ptr, float opt);
  static void VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                        int32_t frames);
  static float VSTGetParameter(AEffect* effect, int32_t index);
  static void VSTSetParameter(AEffect* effect, int32_t index, float value);

private:
  // Dispatcher body; mutex held by the caller. effClose is handled by the caller.
  VstIntPtr Dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt);
  // The editor's opcodes and effIdle; host GUI thread, mutex not held.
  VstIntPtr DispatchEditor(int32_t opcode, void* ptr);
  // Host GUI thread: a refresh requested since the last idle call.
  void DeliverHostRefresh();
  // mEditRect: the graphics object's size times scale, at the origin. Graphics required.
  void SetEditRect(int scale);
  VstIntPtr GetChunk(int32_t index, void* ptr);
  VstIntPtr SetChunk(int32_t index, VstIntPtr size, void* ptr);
  VstIntPtr String2Parameter(int32_t index, const char* text);
  VstIntPtr CanDo(const char* text);
  VstIntPtr PinProperties(int32_t index, void* ptr, bool input);
  void ProcessEvents(const VstEvents* events);
  void SetSpeakerArrangement(const VstSpeakerArrangement* in, const VstSpeakerArrangement* out);
  void SetBlockSize(VstIntPtr frames);

  template <class Sample> void Process(Sample** inputs, Sample** outputs, int frames, int mode);
  template <class Sample> Sample** SliceBuffer(bool input);
  template <class Sample> Sample* ZeroInput();
  template <class Sample> Sample* DiscardOutput();
  void BindInput(float** buffers, int frames);
  void BindInput(double** buffers, int frames);

  // The host's audioMaster callback with this effect; 0 without a callback.
  VstIntPtr CallHost(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  const VstTimeInfo* GetTimeInfo(int32_t flags);

  ERect mEditRect = {0, 0, 0, 0};
  audioMasterCallback mHostCallback;
  VstSpeakerArrangement mInputSpkrArr;
  VstSpeakerArrangement mOutputSpkrArr;
  uint8_t mPlugFlagsByte;
  bool mHostSetupDone = false;
  int mHostCapabilities = 0;
  StateChunk mProgramChunk;
  StateChunk mBankChunk;
  AEffect mAEffect;

  bool mMainsOn = false;
  std::atomic<bool> mRefreshRequested{false};
  // Processing scratch, sized at construction and by effSetBlockSize; never resized while
  // processing. Stand-ins for null host buffers, and the host pointers of one slice.
  WDL_TypedBuf<double> mZeroInput;
  WDL_TypedBuf<double> mDiscardOutput;
  WDL_TypedBuf<float> mDiscardOutputFloat;
  WDL_TypedBuf<float*> mSliceInputs;
  WDL_TypedBuf<float*> mSliceOutputs;
  WDL_TypedBuf<double*> mSliceInputsD;
  WDL_TypedBuf<double*> mSliceOutputsD;
};
