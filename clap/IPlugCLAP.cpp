#include "clap/IPlugCLAP.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/HostLayer.h"
#include "graphics/IGraphics.h"
#ifdef TARVEX_HAVE_X11
#include "graphics/IGraphicsLinux.h"
#include "graphics/linux/IGraphicsX11View.h"
#endif

namespace
{
IPlugCLAP* Self(const clap_plugin_t* plugin)
{
  return IPlugCLAP::FromClap(plugin);
}

// ---- clap_plugin_t functions ----
bool PluginInit(const clap_plugin_t* plugin)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->Init();
}
// [main-thread & !active]; a host that left the plug-in active or its editor open is forgiven.
void PluginDestroy(const clap_plugin_t* plugin)
{
  IPlugCLAP* self = Self(plugin);
  if (!self || !self->CalledOn(IPlugCLAP::kMainThread, "destroy")) return;
  self->Deactivate();
  self->GuiDestroy();       // timers and descriptor unregistered, the view closed
  CloseViewAndDelete(self); // virtual destructor: the concrete plug-in's runs
}
bool PluginActivate(const clap_plugin_t* plugin, double rate, uint32_t minFrames,
                    uint32_t maxFrames)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->Activate(rate, minFrames, maxFrames);
}
void PluginDeactivate(const clap_plugin_t* plugin)
{
  if (IPlugCLAP* self = Self(plugin)) self->Deactivate();
}
bool PluginStartProcessing(const clap_plugin_t* plugin)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->StartProcessing();
}
void PluginStopProcessing(const clap_plugin_t* plugin)
{
  if (IPlugCLAP* self = Self(plugin)) self->StopProcessing();
}
void PluginReset(const clap_plugin_t* plugin)
{
  if (IPlugCLAP* self = Self(plugin)) self->Reset();
}
clap_process_status PluginProcess(const clap_plugin_t* plugin, const clap_process_t* process)
{
  IPlugCLAP* self = Self(plugin);
  return self ? self->Process(process) : CLAP_PROCESS_ERROR;
}
const void* PluginGetExtension(const clap_plugin_t* plugin, const char* id)
{
  IPlugCLAP* self = Self(plugin);
  return self ? self->GetExtension(id) : nullptr;
}
void PluginOnMainThread(const clap_plugin_t* plugin)
{
  if (IPlugCLAP* self = Self(plugin)) self->OnMainThread();
}

// ---- extensions ----
uint32_t AudioPortsCount(const clap_plugin_t* plugin, bool isInput)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "audio_ports.count")
             ? self->AudioPortCount(isInput)
             : 0;
}
bool AudioPortsGet(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                   clap_audio_port_info_t* info)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "audio_ports.get") &&
         self->AudioPortInfo(index, isInput, info);
}
const clap_plugin_audio_ports_t kAudioPorts = {AudioPortsCount, AudioPortsGet};

uint32_t PortsConfigCount(const clap_plugin_t* plugin)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "audio_ports_config.count") ? 2 : 0;
}
bool PortsConfigGet(const clap_plugin_t* plugin, uint32_t index, clap_audio_ports_config_t* config)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "audio_ports_config.get") &&
         self->AudioPortsConfig(index, config);
}
bool PortsConfigSelect(const clap_plugin_t* plugin, clap_id id)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "audio_ports_config.select") &&
         self->SelectAudioPortsConfig(id);
}
const clap_plugin_audio_ports_config_t kPortsConfig = {PortsConfigCount, PortsConfigGet,
                                                       PortsConfigSelect};

uint32_t ParamsCount(const clap_plugin_t* plugin)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "params.count")
             ? static_cast<uint32_t>(self->NParams())
             : 0;
}
bool ParamsGetInfo(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "params.get_info") &&
         self->ParamInfo(index, info);
}
bool ParamsGetValue(const clap_plugin_t* plugin, clap_id id, double* value)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "params.get_value") &&
         self->ParamValue(id, value);
}
bool ParamsValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* out,
                       uint32_t capacity)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "params.value_to_text") &&
         self->ParamValueToText(id, value, out, capacity);
}
bool ParamsTextToValue(const clap_plugin_t* plugin, clap_id id, const char* text, double* value)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "params.text_to_value") &&
         self->ParamTextToValue(id, text, value);
}
void ParamsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                 const clap_output_events_t* out)
{
  if (IPlugCLAP* self = Self(plugin)) self->Flush(in, out);
}
const clap_plugin_params_t kParams = {ParamsCount,       ParamsGetInfo,     ParamsGetValue,
                                      ParamsValueToText, ParamsTextToValue, ParamsFlush};

bool StateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "state.save") &&
         self->SaveClapState(stream);
}
bool StateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "state.load") &&
         self->LoadClapState(stream);
}
const clap_plugin_state_t kState = {StateSave, StateLoad};

uint32_t LatencyGet(const clap_plugin_t* plugin)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "latency.get") ? self->LatencyForHost() : 0;
}
const clap_plugin_latency_t kLatency = {LatencyGet};

bool RenderHardRealtime(const clap_plugin_t*)
{
  return false; // offline rendering runs the same code, at any speed
}
bool RenderSet(const clap_plugin_t* plugin, clap_plugin_render_mode mode)
{
  IPlugCLAP* self = Self(plugin);
  return self && self->CalledOn(IPlugCLAP::kMainThread, "render.set") &&
         (mode == CLAP_RENDER_REALTIME || mode == CLAP_RENDER_OFFLINE);
}
const clap_plugin_render_t kRender = {RenderHardRealtime, RenderSet};

void TimerTick(const clap_plugin_t* plugin, clap_id id)
{
  IPlugCLAP* self = Self(plugin);
  if (self && self->CalledOn(IPlugCLAP::kMainThread, "timer_support.on_timer")) self->OnTimer(id);
}
const clap_plugin_timer_support_t kTimers = {TimerTick};

void FdReady(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags)
{
  IPlugCLAP* self = Self(plugin);
  if (self && self->CalledOn(IPlugCLAP::kMainThread, "posix_fd_support.on_fd"))
    self->OnFd(fd, flags);
}
const clap_plugin_posix_fd_support_t kFds = {FdReady};

// Every gui function is [main-thread].
#define TARVEX_GUI_SELF(name, fail)                                                                \
  IPlugCLAP* self = Self(plugin);                                                                  \
  if (!self || !self->CalledOn(IPlugCLAP::kMainThread, "gui." name)) return fail
bool GuiIsApiSupported(const clap_plugin_t* plugin, const char* api, bool floating)
{
  TARVEX_GUI_SELF("is_api_supported", false);
  return self->GuiApiSupported(api, floating);
}
bool GuiPreferredApi(const clap_plugin_t* plugin, const char** api, bool* floating)
{
  TARVEX_GUI_SELF("get_preferred_api", false);
  if (!self->GuiApiSupported(CLAP_WINDOW_API_X11, false)) return false;
  if (api) *api = CLAP_WINDOW_API_X11;
  if (floating) *floating = false;
  return true;
}
bool GuiCreate(const clap_plugin_t* plugin, const char* api, bool floating)
{
  TARVEX_GUI_SELF("create", false);
  return self->GuiCreate(api, floating);
}
void GuiDestroy(const clap_plugin_t* plugin)
{
  TARVEX_GUI_SELF("destroy", );
  self->GuiDestroy();
}
bool GuiSetScale(const clap_plugin_t* plugin, double scale)
{
  TARVEX_GUI_SELF("set_scale", false);
  return self->GuiSetScale(scale);
}
bool GuiGetSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
{
  TARVEX_GUI_SELF("get_size", false);
  return self->GuiSize(width, height);
}
bool GuiCanResize(const clap_plugin_t*)
{
  return false;
}
bool GuiResizeHints(const clap_plugin_t*, clap_gui_resize_hints_t*)
{
  return false;
}
bool GuiAdjustSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
{
  TARVEX_GUI_SELF("adjust_size", false);
  return self->GuiSize(width, height); // the one size there is at the view's factor
}
bool GuiSetSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height)
{
  TARVEX_GUI_SELF("set_size", false);
  return self->GuiSetSize(width, height);
}
bool GuiSetParent(const clap_plugin_t* plugin, const clap_window_t* window)
{
  TARVEX_GUI_SELF("set_parent", false);
  return self->GuiSetParent(window);
}
bool GuiSetTransient(const clap_plugin_t*, const clap_window_t*)
{
  return false; // embedded only
}
void GuiSuggestTitle(const clap_plugin_t*, const char*) {}
bool GuiShow(const clap_plugin_t* plugin)
{
  TARVEX_GUI_SELF("show", false);
  return self->GuiShow();
}
bool GuiHide(const clap_plugin_t* plugin)
{
  TARVEX_GUI_SELF("hide", false);
  return self->GuiHide();
}
#undef TARVEX_GUI_SELF
const clap_plugin_gui_t kGui = {GuiIsApiSupported, GuiPreferredApi, GuiCreate,    GuiDestroy,
                                GuiSetScale,       GuiGetSize,      GuiCanResize, GuiResizeHints,
                                GuiAdjustSize,     GuiSetSize,      GuiSetParent, GuiSetTransient,
                                GuiSuggestTitle,   GuiShow,         GuiHide};

bool AllZero(const float* data, uint32_t frames)
{
  for (uint32_t i = 0; i < frames; ++i)
    if (data[i] != 0.0f) return false;
  return true;
}
} // namespace

IPlugCLAP::IPlugCLAP(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* makerName,
                     int version, int uniqueID, int makerID, int latency, int plugFlags,
                     bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version,
                uniqueID, makerID, latency, plugFlags, doesChunks, isInstrument),
      mClapHost(info.host), mDefaults(info.defaults)
{
  TARVEX_TRACE("%s", "IPlugCLAP");
  memset(&mClapPlugin, 0, sizeof(mClapPlugin));
  mClapPlugin.desc = info.descriptor;
  mClapPlugin.plugin_data = this;
  mClapPlugin.init = PluginInit;
  mClapPlugin.destroy = PluginDestroy;
  mClapPlugin.activate = PluginActivate;
  mClapPlugin.deactivate = PluginDeactivate;
  mClapPlugin.start_processing = PluginStartProcessing;
  mClapPlugin.stop_processing = PluginStopProcessing;
  mClapPlugin.reset = PluginReset;
  mClapPlugin.process = PluginProcess;
  mClapPlugin.get_extension = PluginGetExtension;
  mClapPlugin.on_main_thread = PluginOnMainThread;
  ConnectInputs(0, NInChannels(), true);
  ConnectOutputs(0, NOutChannels(), true);
  SetBlockSize(1024);
}

IPlugCLAP::~IPlugCLAP() = default;

IPlugCLAP* IPlugCLAP::FromClap(const clap_plugin_t* plugin)
{
  return plugin ? static_cast<IPlugCLAP*>(plugin->plugin_data) : nullptr;
}

template <class Ext> const Ext* IPlugCLAP::HostExtension(const char* id) const
{
  if (!mClapHost || !mClapHost->get_extension) return nullptr;
  return static_cast<const Ext*>(mClapHost->get_extension(mClapHost, id));
}

void IPlugCLAP::Log(clap_log_severity severity, const char* message) const
{
  if (mHostLog && mHostLog->log) mHostLog->log(mClapHost, severity, message);
}

bool IPlugCLAP::CalledOn(EThread thread, const char* function) const
{
  const clap_host_thread_check_t* check = mHostThreadCheck;
  if (!check) return true;
  const bool right = thread == kMainThread
                         ? (!check->is_main_thread || check->is_main_thread(mClapHost))
                         : (!check->is_audio_thread || check->is_audio_thread(mClapHost));
  if (right) return true;
#ifndef NDEBUG
  char message[160];
  snprintf(message, sizeof(message), "Tarvex: %s called off the %s thread; ignored", function,
           thread == kMainThread ? "main" : "audio");
  Log(CLAP_LOG_HOST_MISBEHAVING, message);
#else
  (void)function;
#endif
  return false;
}

// ---- the base's host-facing operations ----

void IPlugCLAP::QueueEvent(uint16_t type, int index, double value)
{
  WDL_MutexLock lock(&mMutex);
  if (mQueueCount >= kEventQueueLength)
  {
    // A host that has not processed or flushed for a long time: it re-reads every value instead.
    mRefreshRequested.store(true, std::memory_order_release);
    return;
  }
  mQueue[mQueueCount++] = QueuedEvent{type, static_cast<clap_id>(index), value};
  mFlushWanted.store(true, std::memory_order_release);
}

void IPlugCLAP::BeginInformHostOfParamChange(int index)
{
  QueueEvent(CLAP_EVENT_PARAM_GESTURE_BEGIN, index, 0.0);
}

void IPlugCLAP::InformHostOfParamChange(int index, double)
{
  // The base has already set the parameter: its plain value is what the host records.
  if (const IParam* param = GetParam(index))
    QueueEvent(CLAP_EVENT_PARAM_VALUE, index, param->mValue);
}

void IPlugCLAP::EndInformHostOfParamChange(int index)
{
  QueueEvent(CLAP_EVENT_PARAM_GESTURE_END, index, 0.0);
}

void IPlugCLAP::RequestHostRefresh()
{
  // No mutex: the engine asks for this on the audio thread, and the editor's rebuild while it holds
  // the engine's dspLock. The host is asked for a main-thread callback once per request.
  if (!mRefreshRequested.exchange(true, std::memory_order_acq_rel) && mClapHost &&
      mClapHost->request_callback)
    mClapHost->request_callback(mClapHost);
}

void IPlugCLAP::HostTimeSignature(int* numerator, int* denominator)
{
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
}

void IPlugCLAP::HostSetup()
{
  if (mClapHost == nullptr || GetHost() != kHostUninit) return;
  SetHost(mClapHost->name ? mClapHost->name : "", 0);
}

void IPlugCLAP::ReportLatency(int samples)
{
  IPlugBase::ReportLatency(samples);
  // Any thread (the engine reconfigures at the start of a process call). activate tells the host.
  if (mActive.load(std::memory_order_acquire) && !mActivating && samples != mAnnouncedLatency &&
      !mRestartRequested.exchange(true, std::memory_order_acq_rel) && mClapHost &&
      mClapHost->request_restart)
    mClapHost->request_restart(mClapHost);
}

void IPlugCLAP::DeliverHostRequests()
{
  if (mRefreshRequested.exchange(false, std::memory_order_acq_rel) && mHostParams &&
      mHostParams->rescan)
    mHostParams->rescan(mClapHost, CLAP_PARAM_RESCAN_VALUES);
  if (mFlushWanted.exchange(false, std::memory_order_acq_rel))
  {
    if (mHostParams && mHostParams->request_flush)
      mHostParams->request_flush(mClapHost);
    else if (mClapHost && mClapHost->request_process)
      mClapHost->request_process(mClapHost);
  }
}

// ---- plug-in functions ----

bool IPlugCLAP::Init()
{
  if (!CalledOn(kMainThread, "init")) return false;
  mHostLog = HostExtension<clap_host_log_t>(CLAP_EXT_LOG);
  if (mHostLog && !mHostLog->log) mHostLog = nullptr;
  mHostThreadCheck = HostExtension<clap_host_thread_check_t>(CLAP_EXT_THREAD_CHECK);
  mHostParams = HostExtension<clap_host_params_t>(CLAP_EXT_PARAMS);
  mHostLatency = HostExtension<clap_host_latency_t>(CLAP_EXT_LATENCY);
  mHostTimers = HostExtension<clap_host_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
  if (mHostTimers && (!mHostTimers->register_timer || !mHostTimers->unregister_timer))
    mHostTimers = nullptr;
  mHostFd = HostExtension<clap_host_posix_fd_support_t>(CLAP_EXT_POSIX_FD_SUPPORT);
  if (mHostFd && (!mHostFd->register_fd || !mHostFd->unregister_fd)) mHostFd = nullptr;
  WDL_MutexLock lock(&mMutex);
  HostSetup();
  NotifyAllParams();
  return true;
}

void IPlugCLAP::SetBlockSize(uint32_t frames)
{
  const int size = static_cast<int>(frames > kMaxBlockSize ? kMaxBlockSize : frames);
  ChangeBlockSize(size);
  mDiscardOutput.Resize(size);
  for (WDL_TypedBuf<float>& buffer : mConstantBuffer) buffer.Resize(size);
}

bool IPlugCLAP::Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames)
{
  (void)minFrames;
  if (!CalledOn(kMainThread, "activate") || IsActive()) return false;
  if (!std::isfinite(sampleRate) || sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate)
    return false;
  if (maxFrames < 1) return false;
  bool changed = false;
  {
    WDL_MutexLock lock(&mMutex);
    SetBlockSize(maxFrames);
    const int size = static_cast<int>(maxFrames > kMaxBlockSize ? kMaxBlockSize : maxFrames);
    if (GetBlockSize() != size || mDiscardOutput.GetSize() != size ||
        mConstantBuffer[1].GetSize() != size)
      return false; // scratch could not be had
    StoreSampleRate(sampleRate);
    mActivating = true;
    HostReset();
    PrepareActivation();
    mActivating = false;
    // A latency other than the one the host last heard of is announced below.
    const int latency = GetLatency();
    changed = mAnnouncedLatency >= 0 && latency != mAnnouncedLatency;
    mAnnouncedLatency = latency;
    mRestartRequested.store(false, std::memory_order_release);
    ActivationChanged(true);
    mProcessing = false;
    mActive.store(true, std::memory_order_release);
  }
  // [being-activated], without the mutex: the host may ask for the latency from within.
  if (changed && mHostLatency && mHostLatency->changed) mHostLatency->changed(mClapHost);
  return true;
}

void IPlugCLAP::Deactivate()
{
  if (!CalledOn(kMainThread, "deactivate") || !IsActive()) return;
  WDL_MutexLock lock(&mMutex);
  mActive.store(false, std::memory_order_release);
  mProcessing = false;
  ActivationChanged(false);
  HostReset();
}

bool IPlugCLAP::StartProcessing()
{
  if (!CalledOn(kAudioThread, "start_processing") || !IsActive()) return false;
  WDL_MutexLock lock(&mMutex);
  mProcessing = true;
  return true;
}

void IPlugCLAP::StopProcessing()
{
  if (!CalledOn(kAudioThread, "stop_processing")) return;
  WDL_MutexLock lock(&mMutex);
  mProcessing = false;
}

void IPlugCLAP::Reset()
{
  if (!CalledOn(kAudioThread, "reset") || !IsActive()) return;
  WDL_MutexLock lock(&mMutex);
  ClearAudioState();
}

void IPlugCLAP::OnMainThread()
{
  if (!CalledOn(kMainThread, "on_main_thread")) return;
  DeliverHostRequests();
}

const void* IPlugCLAP::GetExtension(const char* id) const
{
  if (!id) return nullptr;
  if (!strcmp(id, CLAP_EXT_AUDIO_PORTS)) return &kAudioPorts;
  if (!strcmp(id, CLAP_EXT_AUDIO_PORTS_CONFIG)) return &kPortsConfig;
  if (!strcmp(id, CLAP_EXT_PARAMS)) return &kParams;
  if (!strcmp(id, CLAP_EXT_STATE)) return &kState;
  if (!strcmp(id, CLAP_EXT_LATENCY)) return &kLatency;
  if (!strcmp(id, CLAP_EXT_RENDER)) return &kRender;
#ifdef TARVEX_HAVE_X11
  if (mGraphics)
  {
    if (!strcmp(id, CLAP_EXT_GUI)) return &kGui;
    if (!strcmp(id, CLAP_EXT_TIMER_SUPPORT)) return &kTimers;
    if (!strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT)) return &kFds;
  }
#endif
  return nullptr;
}

// ---- processing ----

void IPlugCLAP::SendQueuedEvents(const clap_output_events_t* out)
{
  if (!out || !out->try_push || mQueueCount == 0) return;
  int sent = 0;
  for (; sent < mQueueCount; ++sent)
  {
    const QueuedEvent& q = mQueue[sent];
    bool pushed;
    if (q.type == CLAP_EVENT_PARAM_VALUE)
    {
      clap_event_param_value_t e;
      memset(&e, 0, sizeof(e));
      e.header = {sizeof(e), 0, CLAP_CORE_EVENT_SPACE_ID, q.type, 0};
      e.param_id = q.id;
      e.note_id = -1;
      e.port_index = e.channel = e.key = -1;
      e.value = q.value;
      pushed = out->try_push(out, &e.header);
    }
    else
    {
      clap_event_param_gesture_t e;
      memset(&e, 0, sizeof(e));
      e.header = {sizeof(e), 0, CLAP_CORE_EVENT_SPACE_ID, q.type, 0};
      e.param_id = q.id;
      pushed = out->try_push(out, &e.header);
    }
    if (!pushed) break; // the rest go with the next call
  }
  memmove(mQueue, mQueue + sent, sizeof(QueuedEvent) * static_cast<size_t>(mQueueCount - sent));
  mQueueCount -= sent;
}

void IPlugCLAP::ApplyEvent(const clap_event_header_t* event)
{
  if (!event || event->space_id != CLAP_CORE_EVENT_SPACE_ID) return;
  if (event->type != CLAP_EVENT_PARAM_VALUE || event->size < sizeof(clap_event_param_value_t))
    return;
  const auto* e = reinterpret_cast<const clap_event_param_value_t*>(event);
  // Plain values; automation of a stepped parameter lands on its grid, as LV2's ports do.
  if (e->param_id < static_cast<clap_id>(NParams()))
    SetParamFromHost(*this, static_cast<int>(e->param_id), e->value, HostUnits::kReal,
                     HostSteps::kRound);
}

void IPlugCLAP::RunFrames(uint32_t start, uint32_t end)
{
  ForEachRun(static_cast<int>(end - start), mBlockSize,
             [&](int offset, int n)
             {
               const uint32_t s = start + static_cast<uint32_t>(offset);
               for (int c = 0; c < 2; ++c)
               {
                 // Null inputs read as silence; a constant input reads from the stand-in.
                 mSliceIn[c] = mCallIn[c] ? mCallIn[c] + s
                                          : (mInIsConstant[c] ? mConstantBuffer[c].Get() : nullptr);
                 mSliceOut[c] = mCallOut[c] ? mCallOut[c] + s : mDiscardOutput.Get();
               }
               BindInputBuffers(0, NInChannels(), mSliceIn, n);
               BindOutputBuffers(0, NOutChannels(), mSliceOut);
               RunEngine(0.0f, n);
             });
}

clap_process_status IPlugCLAP::Process(const clap_process_t* process)
{
  if (!CalledOn(kAudioThread, "process") || !process) return CLAP_PROCESS_ERROR;
  WDL_MutexLock lock(&mMutex);
  if (!IsActive() || mBlockSize < 1) return CLAP_PROCESS_ERROR;
  SendQueuedEvents(process->out_events);

  const uint32_t frames = process->frames_count;
  const clap_audio_buffer_t* in = process->audio_inputs_count ? process->audio_inputs : nullptr;
  clap_audio_buffer_t* out = process->audio_outputs_count ? process->audio_outputs : nullptr;
  const uint32_t channels = static_cast<uint32_t>(mChannels);
  for (uint32_t c = 0; c < 2; ++c)
  {
    float* src =
        (in && in->data32 && c < in->channel_count && c < channels) ? in->data32[c] : nullptr;
    mInIsConstant[c] = false;
    if (src && frames > 0 && ((in->constant_mask >> c) & 1))
    {
      // Only the first sample of a constant channel is read; silence stays a null input.
      const float value = src[0];
      src = nullptr;
      if (value != 0.0f && std::isfinite(value))
      {
        mInIsConstant[c] = true;
        float* buffer = mConstantBuffer[c].Get();
        for (int i = 0; i < mBlockSize; ++i) buffer[i] = value;
      }
    }
    mCallIn[c] = src;
    mCallOut[c] =
        (out && out->data32 && c < out->channel_count && c < channels) ? out->data32[c] : nullptr;
  }

  // The call is cut at every event's time: the frames before it run with the values before it.
  const clap_input_events_t* events = process->in_events;
  const uint32_t count = (events && events->size && events->get) ? events->size(events) : 0;
  uint32_t next = 0, position = 0;
  for (;;)
  {
    for (; next < count; ++next)
    {
      const clap_event_header_t* event = events->get(events, next);
      if (event && event->time > position && event->time < frames) break;
      ApplyEvent(event); // events at or past the end of the call apply before its last frames
    }
    if (position >= frames) break;
    uint32_t end = frames;
    if (next < count)
    {
      const clap_event_header_t* event = events->get(events, next);
      if (event && event->time < end) end = event->time;
    }
    RunFrames(position, end);
    position = end;
  }

  // Output channels: our own, then silence for any others the host passed; silent ones are marked.
  if (out && out->data32)
  {
    uint64_t mask = 0;
    for (uint32_t c = 0; c < out->channel_count && c < 64; ++c)
    {
      float* data = out->data32[c];
      if (!data) continue;
      if (c >= channels) memset(data, 0, sizeof(float) * frames);
      if (AllZero(data, frames)) mask |= uint64_t(1) << c;
    }
    out->constant_mask = mask;
  }
  for (uint32_t p = 1; p < process->audio_outputs_count; ++p)
  {
    clap_audio_buffer_t& extra = process->audio_outputs[p];
    for (uint32_t c = 0; extra.data32 && c < extra.channel_count; ++c)
      if (extra.data32[c]) memset(extra.data32[c], 0, sizeof(float) * frames);
    extra.constant_mask = ~uint64_t(0);
  }
  return CLAP_PROCESS_CONTINUE;
}

void IPlugCLAP::Flush(const clap_input_events_t* in, const clap_output_events_t* out)
{
  if (!CalledOn(IsActive() ? kAudioThread : kMainThread, "params.flush")) return;
  WDL_MutexLock lock(&mMutex);
  const uint32_t count = (in && in->size && in->get) ? in->size(in) : 0;
  for (uint32_t i = 0; i < count; ++i) ApplyEvent(in->get(in, i));
  SendQueuedEvents(out);
}

// ---- audio ports ----

uint32_t IPlugCLAP::AudioPortCount(bool) const
{
  return 1;
}

bool IPlugCLAP::AudioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t* info) const
{
  if (index != 0 || !info) return false;
  memset(info, 0, sizeof(*info));
  info->id = 0;
  snprintf(info->name, sizeof(info->name), "%s", isInput ? "Input" : "Output");
  info->flags = CLAP_AUDIO_PORT_IS_MAIN;
  info->channel_count = static_cast<uint32_t>(mChannels);
  info->port_type = mChannels == 1 ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
  info->in_place_pair = 0; // the output may share the input's buffers
  return true;
}

bool IPlugCLAP::AudioPortsConfig(uint32_t index, clap_audio_ports_config_t* config) const
{
  if (index > 1 || !config) return false;
  // The channel configurations "1-1 2-2", stereo first.
  const uint32_t channels = index == 0 ? 2 : 1;
  const char* type = channels == 1 ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
  if (!LegalIO(static_cast<int>(channels), static_cast<int>(channels))) return false;
  memset(config, 0, sizeof(*config));
  config->id = index == 0 ? kConfigStereo : kConfigMono;
  snprintf(config->name, sizeof(config->name), "%s", channels == 1 ? "Mono" : "Stereo");
  config->input_port_count = config->output_port_count = 1;
  config->has_main_input = config->has_main_output = true;
  config->main_input_channel_count = config->main_output_channel_count = channels;
  config->main_input_port_type = config->main_output_port_type = type;
  return true;
}

bool IPlugCLAP::SelectAudioPortsConfig(clap_id id)
{
  if (IsActive() || (id != kConfigStereo && id != kConfigMono)) return false;
  WDL_MutexLock lock(&mMutex);
  mChannels = id == kConfigMono ? 1 : 2;
  ConnectInputs(0, mChannels, true);
  ConnectInputs(mChannels, NInChannels() - mChannels, false);
  ConnectOutputs(0, mChannels, true);
  ConnectOutputs(mChannels, NOutChannels() - mChannels, false);
  return true;
}

// ---- params ----

bool IPlugCLAP::ParamInfo(uint32_t index, clap_param_info_t* info)
{
  if (!info || index >= static_cast<uint32_t>(NParams())) return false;
  const IParam* param = GetParam(static_cast<int>(index));
  memset(info, 0, sizeof(*info));
  info->id = index; // stable: a parameter's index is its identity
  info->flags = CLAP_PARAM_IS_AUTOMATABLE;
  if (param->mType == IParam::kTypeBool || param->mType == IParam::kTypeInt ||
      param->mType == IParam::kTypeEnum)
    info->flags |= CLAP_PARAM_IS_STEPPED;
  if (param->mType == IParam::kTypeEnum) info->flags |= CLAP_PARAM_IS_ENUM;
  snprintf(info->name, sizeof(info->name), "%s", param->NameText());
  param->GetRange(&info->min_value, &info->max_value);
  info->default_value =
      mDefaults ? param->Clamped(mDefaults[index]) : static_cast<double>(param->mValue);
  return true;
}

bool IPlugCLAP::ParamValue(clap_id id, double* value)
{
  const IParam* param =
      id < static_cast<clap_id>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
  if (!param || !value) return false;
  *value = param->mValue;
  return true;
}

bool IPlugCLAP::ParamValueToText(clap_id id, double value, char* out, uint32_t capacity)
{
  const IParam* param =
      id < static_cast<clap_id>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
  if (!param || !out || capacity == 0 || !std::isfinite(value)) return false;
  char text[IParam::kTextLength];
  param->FormatValue(value, false, text, sizeof(text));
  // A listed text ("Off", "-INF") stands alone; a number takes its unit.
  const bool listed = value >= INT32_MIN && value <= INT32_MAX &&
                      *param->TextForValue(static_cast<int32_t>(value)) != 0;
  if (!listed && *param->LabelText())
    snprintf(out, capacity, "%s %s", text, param->LabelText());
  else
    snprintf(out, capacity, "%s", text);
  return true;
}

bool IPlugCLAP::ParamTextToValue(clap_id id, const char* text, double* value)
{
  const IParam* param =
      id < static_cast<clap_id>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
  // A display text, else the leading number (a unit after it, as value_to_text writes, is left).
  return param && ParamValueFromText(*param, text, value);
}

// ---- state ----

bool IPlugCLAP::SaveClapState(const clap_ostream_t* stream)
{
  if (!stream || !stream->write) return false;
  StateChunk chunk;
  {
    WDL_MutexLock lock(&mMutex);
    if (!SaveState(&chunk) || chunk.Size() <= 0) return false;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(chunk.GetBytes());
  int64_t done = 0;
  const int64_t size = chunk.Size();
  // A stream may take fewer bytes per call; one that takes none or fails ends the save.
  while (done < size)
  {
    const int64_t n = stream->write(stream, bytes + done, static_cast<uint64_t>(size - done));
    if (n <= 0 || n > size - done) return false;
    done += n;
  }
  return true;
}

bool IPlugCLAP::LoadClapState(const clap_istream_t* stream)
{
  if (!stream || !stream->read) return false;
  const size_t expected = sizeof(double) * static_cast<size_t>(NParams());
  // One byte more than a state holds, so that a longer stream is seen as such.
  uint8_t bytes[sizeof(double) * 64 + 1];
  if (expected + 1 > sizeof(bytes)) return false;
  size_t done = 0;
  while (done < expected + 1)
  {
    const int64_t n = stream->read(stream, bytes + done, expected + 1 - done);
    if (n < 0 || static_cast<uint64_t>(n) > expected + 1 - done) return false;
    if (n == 0) break; // the end of the stream
    done += static_cast<size_t>(n);
  }
  // Taken only whole: a short, long, empty or non-finite state changes nothing.
  if (!RestoreParamState(*this, bytes, done)) return false;
  if (mHostParams && mHostParams->rescan) mHostParams->rescan(mClapHost, CLAP_PARAM_RESCAN_VALUES);
  return true;
}

// ---- latency ----

uint32_t IPlugCLAP::LatencyForHost()
{
  WDL_MutexLock lock(&mMutex);
  const int latency = GetLatency();
  return latency > 0 ? static_cast<uint32_t>(latency) : 0;
}

// ---- gui ----

bool IPlugCLAP::GuiApiSupported(const char* api, bool floating) const
{
#ifdef TARVEX_HAVE_X11
  return mGraphics && api && !strcmp(api, CLAP_WINDOW_API_X11) && !floating;
#else
  (void)api;
  (void)floating;
  return false;
#endif
}

bool IPlugCLAP::GuiCreate(const char* api, bool floating)
{
  // The editor runs only in the host's timer ticks: without timers it could never draw.
  if (!GuiApiSupported(api, floating) || mGuiCreated || !mHostTimers) return false;
  mGuiCreated = true;
  return true;
}

void IPlugCLAP::CloseGui()
{
  if (mTimerId != CLAP_INVALID_ID) mHostTimers->unregister_timer(mClapHost, mTimerId);
  mTimerId = CLAP_INVALID_ID;
  if (mFd >= 0) mHostFd->unregister_fd(mClapHost, mFd);
  mFd = -1;
  if (!mViewOpen) return;
  mViewOpen = false;
  {
    WDL_MutexLock lock(&mMutex);
    EditorClosed();
  }
  // Frees every X resource of the view on this thread, without the plug-in mutex.
  if (mGraphics) mGraphics->CloseView();
}

void IPlugCLAP::GuiDestroy()
{
  if (!mGuiCreated) return;
  CloseGui();
  mGuiCreated = false;
}

bool IPlugCLAP::GuiSetScale(double scale)
{
  // X11 sizes are physical pixels: the host's factor picks the editor's (1 or 2) for the next
  // opening, before every other source.
  if (!mGuiCreated || !mGraphics || !std::isfinite(scale) || scale <= 0.0) return false;
  mGraphics->SetHostScale(scale);
  return true;
}

bool IPlugCLAP::GuiSize(uint32_t* width, uint32_t* height)
{
  if (!mGuiCreated || !mGraphics) return false;
  // The open window's size, or the size of the one set_parent will make.
  const int scale = mGraphics->ViewScale();
  if (width) *width = static_cast<uint32_t>(mGraphics->Width() * scale);
  if (height) *height = static_cast<uint32_t>(mGraphics->Height() * scale);
  return true;
}

bool IPlugCLAP::GuiSetSize(uint32_t width, uint32_t height)
{
  uint32_t w = 0, h = 0;
  return GuiSize(&w, &h) && width == w && height == h;
}

bool IPlugCLAP::GuiSetParent(const clap_window_t* window)
{
#ifdef TARVEX_HAVE_X11
  if (!mGuiCreated || !mGraphics || !window || !window->api ||
      strcmp(window->api, CLAP_WINDOW_API_X11) != 0 || window->x11 == 0)
    return false;
  CloseGui(); // a second parent replaces the first
  // The window, its connection and the first frame are made without the plug-in mutex.
  void* view = mGraphics->OpenX11View(reinterpret_cast<void*>(static_cast<uintptr_t>(window->x11)));
  if (!view) return false;
  mViewOpen = true;
  {
    WDL_MutexLock lock(&mMutex);
    EditorOpened();
  }
  const int fps = mGraphics->FPS() > 0 ? mGraphics->FPS() : 60;
  const uint32_t period = static_cast<uint32_t>(1000 / fps) > 0 ? 1000 / fps : 1;
  clap_id timer = CLAP_INVALID_ID;
  if (!mHostTimers->register_timer(mClapHost, period, &timer) || timer == CLAP_INVALID_ID)
  {
    CloseGui();
    return false;
  }
  mTimerId = timer;
  // Pointer and key events are handled as soon as they arrive when the host watches the X
  // connection; the timer alone handles them otherwise, at the next tick.
  if (mHostFd)
  {
    const int fd = static_cast<IGraphicsX11View*>(view)->ConnectionFd();
    if (fd >= 0 && mHostFd->register_fd(mClapHost, fd, CLAP_POSIX_FD_READ)) mFd = fd;
  }
  return true;
#else
  (void)window;
  return false;
#endif
}

bool IPlugCLAP::GuiShow()
{
  return mGuiCreated; // the view is mapped in its parent from set_parent on
}

bool IPlugCLAP::GuiHide()
{
  return mGuiCreated; // the host hides the parent, and the view with it
}

void IPlugCLAP::OnTimer(clap_id timerId)
{
  if (timerId == mTimerId && mViewOpen && mGraphics) mGraphics->OnHostIdle();
  DeliverHostRequests();
}

void IPlugCLAP::OnFd(int fd, clap_posix_fd_flags_t)
{
  if (fd == mFd && mViewOpen && mGraphics) mGraphics->OnHostIdle();
  DeliverHostRequests();
}
