// CLAP face of the plug-in base: the clap_plugin_t record the host holds and the extensions it
// offers (audio-ports, audio-ports-config, params, state, latency, gui, render, timer-support,
// posix-fd-support).
//
// Threads, as the standard names them. Main thread: init, destroy, activate, deactivate, the
// parameter queries, state, latency, audio ports, render, the gui functions and the timer and fd
// callbacks. Audio thread: start/stop_processing, reset, process, and flush while active. When the
// host offers thread-check, a call on the wrong thread is ignored (process returns an error) and,
// in debug builds, reported through the host's log. Every entry that touches parameters, state or
// processing takes the plug-in mutex for its whole run, as the VST and LV2 faces do; the editor's
// entries (gui create/set_parent/destroy, on_timer, on_fd) run without it, as effEditOpen,
// effEditIdle and effEditClose do, so opening, drawing and closing never make processing wait.
//
// The editor: it has no thread of its own. Its window is the editor's size times its view factor
// (1 or 2: the host's set_scale first, else GDK_SCALE or the display's Xft.dpi). set_parent opens
// the X11 view and registers a host timer at the editor's frame rate (and the X connection's
// descriptor with posix-fd-support when the host offers it); each timer tick and each readable
// descriptor runs the view's idle work. A host without timer-support gets gui.create refused.
//
// Parameter changes the editor makes (gestures begin, values, gestures end) are queued here under
// the plug-in mutex and sent to the host as output events at the start of the next process call or
// flush, which the host is asked for with params.request_flush from the main thread. Processing
// never allocates: scratch is sized at activate for the host's largest block (up to kMaxBlockSize;
// longer calls run in slices), and a call is cut at each parameter event's time so automation lands
// on its sample.
#pragma once

#include <atomic>

#include "clap/ClapAbi.h"
#include "core/IPlugBase.h"

class IPlugCLAP : public IPlugBase
{
public:
  struct InstanceInfo
  {
    const clap_host_t* host = nullptr;
    const clap_plugin_descriptor_t* descriptor = nullptr;
    const double* defaults = nullptr; // nParams default values for params.get_info, or null
  };

  // Rates an instance activates at; others are refused by activate.
  static constexpr double kMinSampleRate = 8000.0;
  static constexpr double kMaxSampleRate = 768000.0;
  // Largest scratch taken from the host's maximum frame count; longer calls run in slices.
  static constexpr uint32_t kMaxBlockSize = 1 << 16;
  // Editor requests waiting for the next process or flush.
  static constexpr int kEventQueueLength = 256;
  // Audio port configurations (audio-ports-config ids).
  enum EPortConfig : clap_id
  {
    kConfigStereo = 0,
    kConfigMono = 1,
  };

  IPlugCLAP(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
            const char* effectName, const char* productName, const char* makerName, int version,
            int uniqueID, int makerID, int latency, int plugFlags, bool doesChunks,
            bool isInstrument);
  ~IPlugCLAP() override;

  const clap_plugin_t* ClapPlugin() const { return &mClapPlugin; }
  static IPlugCLAP* FromClap(const clap_plugin_t* plugin);

  // ---- the base's host-facing operations ----
  void BeginInformHostOfParamChange(int index) override;
  void InformHostOfParamChange(int index, double normalised) override;
  void EndInformHostOfParamChange(int index) override;
  // Any thread, lock-free: the host re-reads the values (params.rescan) from the main thread.
  void RequestHostRefresh() override;
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int* numerator, int* denominator) override;
  void ResizeHostView(int, int) override {}
  void HostSetup() override;
  // While active, a new latency makes the plug-in ask the host for a restart; activate then tells
  // the host (latency.changed) and latency.get answers the new value.
  void ReportLatency(int samples) override;
  bool EmitMidi(MidiMessage*) override { return false; }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>*) override { return false; }

  // ---- plug-in functions (see the thread notes above) ----
  bool Init();
  bool Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void Deactivate();
  bool StartProcessing();
  void StopProcessing();
  void Reset();
  clap_process_status Process(const clap_process_t* process);
  const void* GetExtension(const char* id) const;
  void OnMainThread();
  bool IsActive() const { return mActive.load(std::memory_order_acquire); }

  // ---- audio ports ----
  uint32_t AudioPortCount(bool isInput) const;
  bool AudioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t* info) const;
  bool AudioPortsConfig(uint32_t index, clap_audio_ports_config_t* config) const;
  bool SelectAudioPortsConfig(clap_id id);
  int Channels() const { return mChannels; }

  // ---- params ----
  bool ParamInfo(uint32_t index, clap_param_info_t* info);
  bool ParamValue(clap_id id, double* value);
  bool ParamValueToText(clap_id id, double value, char* out, uint32_t capacity);
  bool ParamTextToValue(clap_id id, const char* text, double* value);
  void Flush(const clap_input_events_t* in, const clap_output_events_t* out);

  // ---- state: the parameter state (one little-endian double per parameter) ----
  bool SaveClapState(const clap_ostream_t* stream);
  // Refuses (changing nothing) a stream that fails, ends early, holds more, or non-finite values.
  bool LoadClapState(const clap_istream_t* stream);

  // ---- latency ----
  uint32_t LatencyForHost();

  // ---- gui ----
  bool GuiApiSupported(const char* api, bool floating) const;
  bool GuiCreate(const char* api, bool floating);
  void GuiDestroy();
  bool GuiSetScale(double scale);
  bool GuiSize(uint32_t* width, uint32_t* height);
  bool GuiSetSize(uint32_t width, uint32_t height);
  bool GuiSetParent(const clap_window_t* window);
  bool GuiShow();
  bool GuiHide();
  void OnTimer(clap_id timerId);
  void OnFd(int fd, clap_posix_fd_flags_t flags);
  bool GuiOpen() const { return mViewOpen; }

  // ---- thread checks ----
  enum EThread
  {
    kMainThread,
    kAudioThread,
  };
  // True when the call may go on: the host offers no thread-check, or says it is on `thread`.
  // Otherwise reports the call (debug builds) and returns false.
  bool CalledOn(EThread thread, const char* function) const;

protected:
  // Activation, mutex held, after the rate and block size are set: the plug-in configures its
  // processing afresh (and so reports its latency). Base: nothing.
  virtual void PrepareActivation() {}
  // reset: the plug-in's audio state is to be cleared before the next samples. Base: nothing.
  virtual void ClearAudioState() {}

private:
  struct QueuedEvent
  {
    uint16_t type; // CLAP_EVENT_PARAM_GESTURE_BEGIN, _VALUE or _END
    clap_id id;
    double value;
  };

  template <class Ext> const Ext* HostExtension(const char* id) const;
  void Log(clap_log_severity severity, const char* message) const;
  void SetBlockSize(uint32_t frames);
  void QueueEvent(uint16_t type, int index, double value);
  // Mutex held: pushes the queued editor requests to out (those it takes; the rest stay queued).
  void SendQueuedEvents(const clap_output_events_t* out);
  // Mutex held: a host event; only parameter values in the core space do anything.
  void ApplyEvent(const clap_event_header_t* event);
  // Mutex held: frames [start, end) of the current call, in slices of at most the block size.
  void RunFrames(uint32_t start, uint32_t end);
  // Main thread: the refresh and flush requests the editor and engine left.
  void DeliverHostRequests();
  void CloseGui();

  clap_plugin_t mClapPlugin;
  const clap_host_t* mClapHost;
  const double* mDefaults;
  const clap_host_thread_check_t* mHostThreadCheck = nullptr;
  const clap_host_log_t* mHostLog = nullptr;
  const clap_host_params_t* mHostParams = nullptr;
  const clap_host_latency_t* mHostLatency = nullptr;
  const clap_host_timer_support_t* mHostTimers = nullptr;
  const clap_host_posix_fd_support_t* mHostFd = nullptr;

  std::atomic<bool> mActive{false};
  bool mActivating = false;
  bool mProcessing = false;
  int mChannels = 2;
  int mAnnouncedLatency = -1; // the latency the host last heard of at activation
  std::atomic<bool> mRestartRequested{false};
  std::atomic<bool> mRefreshRequested{false};
  std::atomic<bool> mFlushWanted{false};

  // Editor requests, guarded by the plug-in mutex.
  int mQueueCount = 0;
  QueuedEvent mQueue[kEventQueueLength];

  // Process scratch, sized at activate. The host pointers of the current call, and stand-ins.
  float* mCallIn[2] = {nullptr, nullptr};
  float* mCallOut[2] = {nullptr, nullptr};
  float mConstantIn[2] = {0.0f, 0.0f}; // value of a constant, non-zero input channel
  bool mInIsConstant[2] = {false, false};
  WDL_TypedBuf<float> mConstantBuffer[2];
  WDL_TypedBuf<float> mDiscardOutput;
  float* mSliceIn[2] = {nullptr, nullptr};
  float* mSliceOut[2] = {nullptr, nullptr};

  // Editor, main thread only.
  bool mGuiCreated = false;
  bool mViewOpen = false;
  clap_id mTimerId = CLAP_INVALID_ID;
  int mFd = -1;
};
