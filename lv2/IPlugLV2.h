// LV2 face of the plug-in base: the DSP half (ports, run, state) and the link to the UI half.
//
// Threads: Run is the host's audio thread; ConnectPort, Activate and Deactivate the host's
// instantiation thread; state save and restore any thread. Every one of them takes the plug-in
// mutex for its whole run, as the VST processing and dispatcher functions do, so processing, host
// calls and the editor never overlap. Run never allocates: scratch is sized at construction from
// the host's maximum block length, and longer runs are processed in slices of that size.
//
// The UI link: requests meant for the host's UI (gestures and knob values from the editor,
// refreshes after an edit in the plot, which the audio thread may ask for) are queued here under
// the plug-in mutex (the refresh request as a lock-free flag) and handed out by TakeUiEvents in the
// UI's idle call, where the UI's write and touch functions are called.
#pragma once

#include <atomic>

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "core/IPlugBase.h"

// The data of the feature with this URI in a host's null-terminated list, or null.
const void* FindLv2Feature(const LV2_Feature* const* features, const char* uri);

class IPlugLV2 : public IPlugBase
{
public:
  struct InstanceInfo
  {
    double sampleRate = 44100.0;
    const LV2_Feature* const* features = nullptr; // may be null
  };

  // Block size used when the host names no maximum; runs of any length still work, in slices.
  static constexpr int kDefaultBlockSize = 4096;
  // Largest maximum block length taken from the host; larger ones are clamped.
  static constexpr int kMaxBlockSize = 1 << 16;

  struct UiEvent
  {
    enum EType
    {
      kBeginGesture,
      kValue,
      kEndGesture,
    };
    int32_t mType;
    int32_t mIndex; // parameter index
    float mValue;   // real units, for kValue
  };
  static constexpr int kUiQueueLength = 256;

  IPlugLV2(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* makerName, int version,
           int uniqueID, int makerID, int latency, int plugFlags, bool doesChunks,
           bool isInstrument);
  ~IPlugLV2() override;

  // ---- the base's host-facing operations ----
  void BeginInformHostOfParamChange(int index) override;
  void InformHostOfParamChange(int index, double normalised) override;
  void EndInformHostOfParamChange(int index) override;
  void RequestHostRefresh() override;
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int* numerator, int* denominator) override;
  void ResizeHostView(int, int) override {}
  void HostSetup() override;
  bool EmitMidi(MidiMessage*) override { return false; }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>*) override { return false; }

  // ---- the plug-in descriptor's functions ----
  // Unknown ports are ignored; a null pointer disconnects (null audio inputs read as silence, null
  // outputs are discarded, null control ports keep their parameter as it is).
  void ConnectPort(uint32_t port, void* data);
  void Activate();
  void Deactivate();
  // Audio thread: applies changed control ports, processes nFrames, writes the latency port.
  void Run(uint32_t nFrames);
  LV2_State_Status SaveLv2State(LV2_State_Store_Function store, LV2_State_Handle handle,
                                const LV2_Feature* const* features);
  // Refuses (changing nothing) a missing property, another type, a size other than the
  // parameter state's, or non-finite values.
  LV2_State_Status RestoreLv2State(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                   const LV2_Feature* const* features);

  // Values the host's control ports start from (the port defaults): a port still holding its
  // starting value at the first run changes nothing, so values read from the preferences stay.
  void SetControlStartValues(const double* values, int count);

  // Block size taken from the host's options (or the default), and the URID map if any.
  int MaxBlockLength() const { return mMaxBlockLength; }
  const LV2_URID_Map* UridMap() const { return mMap; }

  // ---- the UI link (UI thread) ----
  // Starts (or stops) queueing requests for a UI; the queue starts empty.
  void AttachUi(bool attached);
  // Moves up to maxEvents queued requests into events and returns their count; *refresh is set when
  // the parameters may have changed without requests of their own (edits in the plot), so the UI
  // should compare every value. Takes the plug-in mutex.
  int TakeUiEvents(UiEvent* events, int maxEvents, bool* refresh);
  // Applies a value from the host's UI side (automation seen by the UI) as a control port change.
  void ApplyControlFromUi(int index, float value);

protected:
  // Sends a control value through the path a VST parameter change takes; mutex held.
  void ApplyControl(int index, float value);

private:
  void QueueUiEvent(int32_t type, int32_t index, float value);
  void ReadOptions(const LV2_Feature* const* features);
  void SetBlockSize(int frames);
  LV2_URID MapUri(const LV2_Feature* const* features, const char* uri) const;

  const LV2_URID_Map* mMap = nullptr;
  int mMaxBlockLength = kDefaultBlockSize;
  bool mActive = false;

  // Ports as connected by the host.
  float* mAudioIn[2] = {nullptr, nullptr};
  float* mAudioOut[2] = {nullptr, nullptr};
  float* mLatencyPort = nullptr;
  WDL_TypedBuf<float*> mControlPorts; // one per parameter
  WDL_TypedBuf<float> mLastControl;   // last value seen at each control port

  // Processing scratch: stand-in outputs for null ports, the host pointers of one slice.
  WDL_TypedBuf<float> mDiscardOutput;
  float* mSliceIn[2] = {nullptr, nullptr};
  float* mSliceOut[2] = {nullptr, nullptr};

  // UI queue, guarded by the plug-in mutex.
  std::atomic<bool> mUiAttached{false};
  std::atomic<bool> mUiRefresh{false}; // set without the mutex (RequestHostRefresh)
  int mUiQueueCount = 0;
  UiEvent mUiQueue[kUiQueueLength];
};
