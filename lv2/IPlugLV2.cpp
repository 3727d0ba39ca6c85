#include "lv2/IPlugLV2.h"

#include <cmath>
#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>

#include "core/HostLayer.h"
#include "graphics/IGraphics.h"
#include "lv2/Lv2Ports.h"

const void* FindLv2Feature(const LV2_Feature* const* features, const char* uri)
{
  if (!features || !uri) return nullptr;
  for (const LV2_Feature* const* f = features; *f; ++f)
    if ((*f)->URI && !strcmp((*f)->URI, uri)) return (*f)->data;
  return nullptr;
}

IPlugLV2::IPlugLV2(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* makerName,
                   int version, int uniqueID, int makerID, int latency, int plugFlags,
                   bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version,
                uniqueID, makerID, latency, plugFlags, doesChunks, isInstrument)
{
  TARVEX_TRACE("%s", "IPlugLV2");
  StoreSampleRate(info.sampleRate);
  mMap = static_cast<const LV2_URID_Map*>(FindLv2Feature(info.features, LV2_URID__map));
  if (mMap && !mMap->map) mMap = nullptr;
  ReadOptions(info.features);

  mControlPorts.Resize(nParams);
  mLastControl.Resize(nParams);
  for (int i = 0; i < nParams; ++i)
  {
    mControlPorts.Get()[i] = nullptr;
    mLastControl.Get()[i] = NAN;
  }
  ConnectInputs(0, NInChannels(), true);
  ConnectOutputs(0, NOutChannels(), true);
  SetBlockSize(mMaxBlockLength);
}

IPlugLV2::~IPlugLV2() = default;

void IPlugLV2::ReadOptions(const LV2_Feature* const* features)
{
  const auto* options =
      static_cast<const LV2_Options_Option*>(FindLv2Feature(features, LV2_OPTIONS__options));
  if (!options || !mMap) return;
  const LV2_URID maxBlock = mMap->map(mMap->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atomInt = mMap->map(mMap->handle, LV2_ATOM__Int);
  const LV2_URID atomLong = mMap->map(mMap->handle, LV2_ATOM__Long);
  for (const LV2_Options_Option* o = options; o->key || o->value; ++o)
  {
    if (o->key != maxBlock || !o->value) continue;
    long long frames = 0;
    if (o->type == atomInt && o->size == sizeof(int32_t))
      frames = *static_cast<const int32_t*>(o->value);
    else if (o->type == atomLong && o->size == sizeof(int64_t))
      frames = *static_cast<const int64_t*>(o->value);
    else
      continue;
    if (frames >= 1) mMaxBlockLength = frames > kMaxBlockSize ? kMaxBlockSize : int(frames);
  }
}

void IPlugLV2::SetBlockSize(int frames)
{
  ChangeBlockSize(frames);
  mDiscardOutput.Resize(frames);
}

// ---- host-facing operations ----

void IPlugLV2::QueueUiEvent(int32_t type, int32_t index, float value)
{
  WDL_MutexLock lock(&mMutex);
  if (!mUiAttached.load(std::memory_order_acquire)) return;
  if (mUiQueueCount >= kUiQueueLength)
  {
    // A UI that has not collected for a long time: it compares every value instead.
    mUiRefresh.store(true, std::memory_order_release);
    return;
  }
  mUiQueue[mUiQueueCount++] = UiEvent{type, index, value};
}

void IPlugLV2::BeginInformHostOfParamChange(int index)
{
  QueueUiEvent(UiEvent::kBeginGesture, index, 0.0f);
}

void IPlugLV2::InformHostOfParamChange(int index, double)
{
  // The base has already set the parameter: its real value is what the host's port takes.
  const IParam* param = GetParam(index);
  if (param) QueueUiEvent(UiEvent::kValue, index, static_cast<float>(param->mValue));
}

void IPlugLV2::EndInformHostOfParamChange(int index)
{
  QueueUiEvent(UiEvent::kEndGesture, index, 0.0f);
}

void IPlugLV2::RequestHostRefresh()
{
  // No mutex: the editor's idle rebuild asks for this while it holds the engine's dspLock, which
  // processing takes inside the mutex.
  if (mUiAttached.load(std::memory_order_acquire))
    mUiRefresh.store(true, std::memory_order_release);
}

void IPlugLV2::HostTimeSignature(int* numerator, int* denominator)
{
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
}

void IPlugLV2::HostSetup()
{
  // LV2 names no host product: the host stays unknown.
  if (mHost == kHostUninit) SetHost("", 0);
}

// ---- descriptor functions ----

void IPlugLV2::ConnectPort(uint32_t port, void* data)
{
  WDL_MutexLock lock(&mMutex);
  float* buffer = static_cast<float*>(data);
  if (port == kLv2PortAudioInL || port == kLv2PortAudioInR)
    mAudioIn[port - kLv2PortAudioInL] = buffer;
  else if (port == kLv2PortAudioOutL || port == kLv2PortAudioOutR)
    mAudioOut[port - kLv2PortAudioOutL] = buffer;
  else if (port == Lv2LatencyPort(NParams()))
    mLatencyPort = buffer;
  else if (port >= kLv2PortFirstParam && port < Lv2LatencyPort(NParams()))
    mControlPorts.Get()[port - kLv2PortFirstParam] = buffer;
}

void IPlugLV2::Activate()
{
  WDL_MutexLock lock(&mMutex);
  HostSetup();
  mActive = true;
  ActivationChanged(true);
}

void IPlugLV2::Deactivate()
{
  WDL_MutexLock lock(&mMutex);
  mActive = false;
  ActivationChanged(false);
  HostReset();
}

void IPlugLV2::ApplyControl(int index, float portValue)
{
  IParam* param = GetParam(index);
  if (!param) return;
  // A port holding the parameter's own value (to float precision) changes nothing: ports carry
  // floats, and a restored state keeps its exact doubles when the host sets the ports to them.
  if (static_cast<float>(param->Value()) == portValue) return;
  // Ports are automation: stepped parameters land on their grid.
  SetParamFromHost(*this, index, portValue, HostUnits::kReal, HostSteps::kRound);
}

void IPlugLV2::Run(uint32_t nFrames)
{
  WDL_MutexLock lock(&mMutex);
  float* const* ports = mControlPorts.Get();
  float* last = mLastControl.Get();
  for (int i = 0; i < NParams(); ++i)
  {
    if (!ports[i]) continue;
    const float v = *ports[i];
    if (v == last[i] || std::isnan(v)) continue;
    last[i] = v;
    ApplyControl(i, v);
  }

  const int slice = mBlockSize;
  if (slice > 0 && mDiscardOutput.GetSize() >= slice)
  {
    const int frames = nFrames > 0x7fffffffu ? 0x7fffffff : static_cast<int>(nFrames);
    ForEachRun(frames, slice,
               [&](int start, int n)
               {
                 for (int c = 0; c < 2; ++c)
                 {
                   // Null inputs stay null: the base converts a null float buffer as silence.
                   mSliceIn[c] = mAudioIn[c] ? mAudioIn[c] + start : nullptr;
                   mSliceOut[c] = mAudioOut[c] ? mAudioOut[c] + start : mDiscardOutput.Get();
                 }
                 BindInputBuffers(0, NInChannels(), mSliceIn, n);
                 BindOutputBuffers(0, NOutChannels(), mSliceOut);
                 RunEngine(0.0f, n);
               });
  }
  if (mLatencyPort) *mLatencyPort = static_cast<float>(GetLatency());
}

// ---- state ----

LV2_URID IPlugLV2::MapUri(const LV2_Feature* const* features, const char* uri) const
{
  const LV2_URID_Map* map = mMap;
  if (!map) map = static_cast<const LV2_URID_Map*>(FindLv2Feature(features, LV2_URID__map));
  return (map && map->map) ? map->map(map->handle, uri) : 0;
}

LV2_State_Status IPlugLV2::SaveLv2State(LV2_State_Store_Function store, LV2_State_Handle handle,
                                        const LV2_Feature* const* features)
{
  if (!store) return LV2_STATE_ERR_UNKNOWN;
  const LV2_URID key = MapUri(features, kTarvexLv2StateKeyURI);
  const LV2_URID chunkType = MapUri(features, LV2_ATOM__Chunk);
  if (!key || !chunkType) return LV2_STATE_ERR_NO_FEATURE;
  StateChunk chunk;
  {
    WDL_MutexLock lock(&mMutex);
    if (!SaveState(&chunk) || chunk.Size() <= 0) return LV2_STATE_ERR_UNKNOWN;
  }
  return store(handle, key, chunk.GetBytes(), static_cast<size_t>(chunk.Size()), chunkType,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IPlugLV2::RestoreLv2State(LV2_State_Retrieve_Function retrieve,
                                           LV2_State_Handle handle,
                                           const LV2_Feature* const* features)
{
  if (!retrieve) return LV2_STATE_ERR_UNKNOWN;
  const LV2_URID key = MapUri(features, kTarvexLv2StateKeyURI);
  const LV2_URID chunkType = MapUri(features, LV2_ATOM__Chunk);
  if (!key || !chunkType) return LV2_STATE_ERR_NO_FEATURE;
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* data = retrieve(handle, key, &size, &type, &flags);
  if (!data) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != chunkType) return LV2_STATE_ERR_BAD_TYPE;
  return RestoreParamState(*this, data, size) ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

void IPlugLV2::SetControlStartValues(const double* values, int count)
{
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; values && i < count && i < NParams(); ++i)
    mLastControl.Get()[i] = static_cast<float>(values[i]);
}

// ---- UI link ----

void IPlugLV2::AttachUi(bool attached)
{
  WDL_MutexLock lock(&mMutex);
  mUiAttached.store(attached, std::memory_order_release);
  mUiRefresh.store(false, std::memory_order_release);
  mUiQueueCount = 0;
}

int IPlugLV2::TakeUiEvents(UiEvent* events, int maxEvents, bool* refresh)
{
  WDL_MutexLock lock(&mMutex);
  int n = mUiQueueCount < maxEvents ? mUiQueueCount : (maxEvents < 0 ? 0 : maxEvents);
  if (events && n > 0)
    memcpy(events, mUiQueue, sizeof(UiEvent) * static_cast<size_t>(n));
  else
    n = 0;
  memmove(mUiQueue, mUiQueue + n, sizeof(UiEvent) * static_cast<size_t>(mUiQueueCount - n));
  mUiQueueCount -= n;
  if (refresh)
  {
    *refresh = mUiRefresh.exchange(false, std::memory_order_acq_rel);
  }
  return n;
}

void IPlugLV2::ApplyControlFromUi(int index, float value)
{
  WDL_MutexLock lock(&mMutex);
  ApplyControl(index, value);
}
