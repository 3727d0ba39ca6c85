#include "vst/IPlugVST.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/HostLayer.h"
#include "graphics/IGraphics.h"

// Longest parameter name, label or display text handed to the host, with the terminator.
static constexpr int kParamTextLength = IParam::kTextLength;

static void ResetSpeakerArrangement(VstSpeakerArrangement* arrangement, int nChannels)
{
  memset(arrangement, 0, sizeof(*arrangement));
  if (nChannels <= 0)
    arrangement->type = kSpeakerArrEmpty;
  else if (nChannels == 1)
    arrangement->type = kSpeakerArrMono;
  else if (nChannels == 2)
    arrangement->type = kSpeakerArrStereo;
  else
    arrangement->type = kSpeakerArrUserDefined;
  arrangement->numChannels = nChannels;
}

IPlugVST::IPlugVST(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* makerName,
                   int version, int uniqueID, int makerID, int latency, int plugFlags,
                   bool doesChunks, bool isInstrument)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version,
                uniqueID, makerID, latency, plugFlags, doesChunks, isInstrument),
      mHostCallback(info.hostCallback), mPlugFlagsByte(static_cast<uint8_t>(plugFlags & 0xff))
{
  TARVEX_TRACE("%s", "IPlugVST");
  ResetSpeakerArrangement(&mInputSpkrArr, NInChannels());
  ResetSpeakerArrangement(&mOutputSpkrArr, NOutChannels());

  memset(&mAEffect, 0, sizeof(mAEffect));
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;
  mAEffect.numPrograms = NPresets();
  mAEffect.numParams = NParams();
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (doesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (isInstrument) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = VersionNumber(true);

  mSliceInputs.Resize(NInChannels());
  mSliceOutputs.Resize(NOutChannels());
  mSliceInputsD.Resize(NInChannels());
  mSliceOutputsD.Resize(NOutChannels());
  ConnectInputs(0, NInChannels(), true);
  ConnectOutputs(0, NOutChannels(), true);
  SetBlockSize(1024);
}

IPlugVST::~IPlugVST() = default;

VstIntPtr IPlugVST::CallHost(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
  if (!mHostCallback) return 0;
  return mHostCallback(&mAEffect, opcode, index, value, ptr, opt);
}

// ---- host-facing operations ----

void IPlugVST::BeginInformHostOfParamChange(int index)
{
  CallHost(audioMasterBeginEdit, index);
}

void IPlugVST::InformHostOfParamChange(int index, double normalised)
{
  CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalised));
}

void IPlugVST::EndInformHostOfParamChange(int index)
{
  CallHost(audioMasterEndEdit, index);
}

void IPlugVST::RequestHostRefresh()
{
  // Often the audio thread (a kernel rebuild after an edit in the plot): the host hears it at its
  // next idle call, on its own thread.
  mRefreshRequested.store(true, std::memory_order_release);
}

void IPlugVST::DeliverHostRefresh()
{
  if (mRefreshRequested.exchange(false, std::memory_order_acq_rel))
    CallHost(audioMasterUpdateDisplay);
}

VstIntPtr IPlugVST::DispatchEditor(int32_t opcode, void* ptr)
{
  switch (opcode)
  {
  case effEditIdle:
    if (mGraphics) mGraphics->OnHostIdle();
    DeliverHostRefresh();
    return 0;
  case effIdle:
    DeliverHostRefresh();
    return 0;
  case effEditGetRect:
    if (!ptr || !mGraphics) return 0;
    // The open window's size, or the size of the one effEditOpen will make: hosts ask before
    // opening to size their own window, and the factor decided now is the one Open takes.
    SetEditRect(mGraphics->ViewScale());
    *static_cast<ERect**>(ptr) = &mEditRect;
    return 1;
  case effEditOpen:
  {
    if (!mGraphics) return 0;
#ifdef __APPLE__
    void* view = (mHostCapabilities & kHostCapCockosViewAsConfig)
                     ? mGraphics->OpenCocoaView(ptr)
                     : mGraphics->OpenCarbonView(ptr, nullptr);
#else
    // X11 hosts pass their parent Window id itself as ptr.
    void* view = mGraphics->OpenX11View(ptr);
#endif
    if (!view) return 0;
    WDL_MutexLock lock(&mMutex);
    EditorOpened();
    return 1;
  }
  case effEditClose:
    if (!mGraphics) return 0;
    {
      WDL_MutexLock lock(&mMutex);
      EditorClosed();
    }
    mGraphics->CloseView();
    return 1;
  default:
    return 0;
  }
}

const VstTimeInfo* IPlugVST::GetTimeInfo(int32_t flags)
{
  const auto* info = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, flags));
  if (!info) return nullptr;
  if (flags && !(info->flags & flags)) return nullptr;
  return info;
}

int IPlugVST::HostSamplePosition()
{
  const VstTimeInfo* info = GetTimeInfo(0);
  if (!info || !(info->samplePos >= 0.0)) return 0;
  const double position = info->samplePos + 0.5;
  return position < static_cast<double>(INT_MAX) ? static_cast<int>(position) : INT_MAX;
}

double IPlugVST::HostTempo()
{
  if (!mHostCallback) return 0.0;
  const VstTimeInfo* info = GetTimeInfo(kVstTempoValid);
  return (info && info->tempo >= 0.0) ? info->tempo : 0.0;
}

void IPlugVST::HostTimeSignature(int* numerator, int* denominator)
{
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
  const VstTimeInfo* info = GetTimeInfo(kVstTimeSigValid);
  if (!info || info->timeSigNumerator < 0 || info->timeSigDenominator < 0) return;
  if (numerator) *numerator = info->timeSigNumerator;
  if (denominator) *denominator = info->timeSigDenominator;
}

int IPlugVST::HostCode()
{
  if (mHost != kHostUninit) return mHost;
  char product[256];
  memset(product, 0, sizeof(product));
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[sizeof(product) - 1] = 0;
  const VstIntPtr v = CallHost(audioMasterGetVendorVersion);
  const long long version = v < 0 ? 0 : static_cast<long long>(v);
  const long long packed =
      (version / 10000) * 65536 + ((version % 10000) / 100) * 256 + (version % 100);
  SetHost(product, packed > INT_MAX ? INT_MAX : static_cast<int>(packed));
  return mHost;
}

void IPlugVST::ResizeHostView(int, int)
{
  if (mGraphics) SetEditRect(1);
}

void IPlugVST::SetEditRect(int scale)
{
  mEditRect.top = mEditRect.left = 0;
  mEditRect.bottom = static_cast<int16_t>(mGraphics->Height() * scale);
  mEditRect.right = static_cast<int16_t>(mGraphics->Width() * scale);
}

void IPlugVST::HostSetup()
{
  if (mHostSetupDone) return;
  mHostSetupDone = true;
  const int host = HostCode();
  if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio)
  {
    ConnectInputs(2, NInChannels() - 2, false);
    ConnectOutputs(2, NOutChannels() - 2, true);
  }
  mInputSpkrArr.numChannels = mAEffect.numInputs = NInChannels();
  mOutputSpkrArr.numChannels = mAEffect.numOutputs = NOutChannels();
}

void IPlugVST::AdoptGraphics(IGraphics* graphics)
{
  if (!graphics) return;
  IPlugBase::AdoptGraphics(graphics);
  mAEffect.flags |= effFlagsHasEditor;
  SetEditRect(1); // scaled when the host asks for it (effEditGetRect)
}

void IPlugVST::ReportLatency(int samples)
{
  const bool changed = samples != mAEffect.initialDelay;
  mAEffect.initialDelay = samples;
  IPlugBase::ReportLatency(samples);
  if (changed && mMainsOn) CallHost(audioMasterIOChanged);
}

bool IPlugVST::EmitMidi(MidiMessage* message)
{
  if (!message) return false;
  VstMidiEvent event;
  memset(&event, 0, sizeof(event));
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = message->mOffset;
  event.midiData[0] = static_cast<char>(message->mStatus);
  event.midiData[1] = static_cast<char>(message->mData1);
  event.midiData[2] = static_cast<char>(message->mData2);
  VstEvents events;
  memset(&events, 0, sizeof(events));
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::EmitMidiList(WDL_TypedBuf<MidiMessage>* messages)
{
  if (!messages) return false;
  bool all = true;
  for (int i = 0; i < messages->GetSize(); ++i) all = EmitMidi(messages->Get() + i) && all;
  return all;
}

// ---- dispatcher ----

VstIntPtr IPlugVST::VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                  void* ptr, float opt)
{
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (!plug) return 0;
  // The editor's opcodes run on the host's GUI thread without the plug-in mutex: opening and
  // closing connect to the X server and make or free the window, and idle draws a frame, none of
  // which processing may wait for.
  if (opcode == effEditIdle || opcode == effIdle || opcode == effEditOpen ||
      opcode == effEditClose || opcode == effEditGetRect)
    return plug->DispatchEditor(opcode, ptr);
  WDL_Mutex* mutex = plug->GetMutex();
  mutex->Enter();
  TraceHook("VSTDispatcher", __LINE__, "%d(%s):%d:%d", opcode, "", index, static_cast<int>(value));
  if (opcode == effClose)
  {
    mutex->Leave();
    CloseViewAndDelete(plug);
    return 0;
  }
  const VstIntPtr result = plug->Dispatch(opcode, index, value, ptr, opt);
  mutex->Leave();
  return result;
}

VstIntPtr IPlugVST::Dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
  char* text = static_cast<char*>(ptr);
  IParam* param = (index >= 0 && index < NParams()) ? GetParam(index) : nullptr;
  switch (opcode)
  {
  case effOpen:
    HostSetup();
    NotifyAllParams();
    return 0;
  case effSetProgram:
    OverwriteCurrentPreset(nullptr);
    if (value >= 0 && value < NPresets()) ApplyPreset(static_cast<int>(value));
    return 0;
  case effGetProgram:
    return GetCurrentPresetIdx();
  case effSetProgramName:
    if (text)
    {
      char name[IPreset::kNameLength];
      CopyTextBounded(name, text, sizeof(name));
      OverwriteCurrentPreset(name);
    }
    return 0;
  case effGetProgramName:
    if (text) CopyTextBounded(text, PresetName(GetCurrentPresetIdx()), kVstMaxProgNameLen);
    return 0;
  case effGetParamLabel:
    if (text && param) CopyTextBounded(text, param->LabelText(), kParamTextLength);
    return 0;
  case effGetParamDisplay:
    if (text && param) param->FormatValue(param->mValue, false, text, kParamTextLength);
    return 0;
  case effGetParamName:
    if (text && param) CopyTextBounded(text, param->NameText(), kParamTextLength);
    return 0;
  case effSetSampleRate:
    // A rate that is not a positive finite number is ignored: the engine could not run at it.
    if (std::isfinite(opt) && opt > 0.0f) StoreSampleRate(opt);
    HostReset();
    return 0;
  case effSetBlockSize:
    SetBlockSize(value);
    HostReset();
    return 0;
  case effMainsChanged:
    if (value)
    {
      ActivationChanged(true);
      mMainsOn = true;
    }
    else
    {
      mMainsOn = false;
      ActivationChanged(false);
      HostReset();
    }
    return 0;
  case effIdentify:
    return VstFourCC("NvEf");
  case effGetChunk:
    return GetChunk(index, ptr);
  case effSetChunk:
    return SetChunk(index, value, ptr);
  case effProcessEvents:
    if (!ptr) return 0;
    ProcessEvents(static_cast<const VstEvents*>(ptr));
    return 1;
  case effCanBeAutomated:
    return 1;
  case effString2Parameter:
    return String2Parameter(index, text);
  case effGetProgramNameIndexed:
    if (!text) return 0;
    CopyTextBounded(text, PresetName(index), kVstMaxProgNameLen);
    return *text ? 1 : 0;
  case effGetInputProperties:
    return PinProperties(index, ptr, true);
  case effGetOutputProperties:
    return PinProperties(index, ptr, false);
  case effGetPlugCategory:
    return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
  case effSetSpeakerArrangement:
    SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                          static_cast<const VstSpeakerArrangement*>(ptr));
    return 1;
  case effGetEffectName:
    if (!text) return 0;
    CopyTextBounded(text, GetEffectName(), kVstMaxEffectNameLen);
    return 1;
  case effGetVendorString:
    if (!text) return 0;
    CopyTextBounded(text, GetMakerName(), kVstMaxVendorStrLen);
    return 1;
  case effGetProductString:
    if (!text) return 0;
    CopyTextBounded(text, GetProductName(), kVstMaxProductStrLen);
    return 1;
  case effVendorSpecific:
  {
    // index 7: display text of an arbitrary normalised value opt of parameter `value`.
    if (index != 7 || !text || value < 0 || value >= NParams()) return 0;
    GetParam(static_cast<int>(value))->FormatValue(opt, true, text, kParamTextLength);
    return 0xBEEF;
  }
  case effCanDo:
    return CanDo(text);
  case effGetVstVersion:
    return 2400;
  case effGetMidiKeyName:
  {
    if (!ptr) return 0;
    MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
    key->keyName[0] = 0;
    return NoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
  }
  case effGetSpeakerArrangement:
    if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkrArr;
    if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkrArr;
    return 1;
  default:
    return 0;
  }
}

// The 'pfft' header: magic and version, then the state.
static constexpr int32_t kChunkMagic = 0x70666674;
static constexpr int32_t kChunkVersion = 0x10000;

VstIntPtr IPlugVST::GetChunk(int32_t index, void* ptr)
{
  if (!ptr) return 0;
  const bool isBank = index == 0;
  StateChunk& chunk = isBank ? mBankChunk : mProgramChunk;
  chunk.Clear();
  chunk.AppendBytes(&kChunkMagic, 4);
  chunk.AppendBytes(&kChunkVersion, 4);
  bool ok;
  if (isBank)
  {
    OverwriteCurrentPreset(nullptr);
    ok = WritePresetBank(&chunk);
  }
  else
    ok = SaveState(&chunk);
  if (!ok || chunk.Size() <= 0) return 0;
  *static_cast<void**>(ptr) = chunk.GetBytes();
  return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(int32_t index, VstIntPtr size, void* ptr)
{
  if (!ptr) return 0;
  // Sizes outside int32 cannot be a state of ours; a negative one would be read as empty.
  if (size < 0 || size > INT_MAX) return 0;
  const bool isBank = index == 0;
  StateChunk& chunk = isBank ? mBankChunk : mProgramChunk;
  if (!ChunkFromBytes(ptr, static_cast<size_t>(size), &chunk)) return 0;

  int position = 0;
  int32_t magic = 0, version = 0;
  if (chunk.ReadBytes(&magic, 4, 0) >= 0 && magic == kChunkMagic)
  {
    position = chunk.ReadBytes(&version, 4, 4);
    if (position < 0) return 0; // the header alone, cut short
  }
  else
    version = 0;

  if (isBank && version > 0xFFFF)
    position = ReadPresetBank(&chunk, position);
  else
  {
    // A parameter state after the header must be whole: a short, long or damaged one is refused
    // before anything changes.
    if (!IsCompleteParamState(chunk.GetBytes() + position, static_cast<size_t>(size - position),
                              NParams()))
      return 0;
    position = LoadState(&chunk, position);
    OverwriteCurrentPreset(nullptr);
  }
  if (position < 0) return 0;
  PushParamsToEditor();
  return 1;
}

VstIntPtr IPlugVST::String2Parameter(int32_t index, const char* text)
{
  if (index < 0 || index >= NParams()) return 0;
  if (!text) return 1; // hosts ask whether the parameter takes texts at all
  double value;
  if (!ParamValueFromText(*GetParam(index), text, &value)) return 0;
  // Clamped only, not rounded to the step: a typed 2.7 on an integer parameter stays 2.7.
  return SetParamFromHost(*this, index, value, HostUnits::kReal, HostSteps::kKeep) ? 1 : 0;
}

VstIntPtr IPlugVST::CanDo(const char* text)
{
  TraceHook("VSTCanDo", __LINE__, "VSTCanDo(%s)", text ? text : "");
  if (!text) return 0;
  if (!strcmp(text, "receiveVstTimeInfo")) return 1;
  if (mPlugFlagsByte && (!strcmp(text, "sendVstEvents") || !strcmp(text, "sendVstMidiEvent") ||
                         !strcmp(text, "receiveVstEvents") || !strcmp(text, "receiveVstMidiEvent")))
    return 1;
  if (!strcmp(text, "hasCockosExtensions"))
  {
    mHostCapabilities |= kHostCapCockosExtensions;
    return static_cast<VstIntPtr>(0xBEEF0000);
  }
  if (!strcmp(text, "hasCockosViewAsConfig"))
  {
    mHostCapabilities |= kHostCapCockosViewAsConfig;
    return static_cast<VstIntPtr>(0xBEEF0000);
  }
  return 0;
}

VstIntPtr IPlugVST::PinProperties(int32_t index, void* ptr, bool input)
{
  const int nChannels = input ? NInChannels() : NOutChannels();
  if (!ptr || index < 0 || index >= nChannels) return 0;
  VstPinProperties* pin = static_cast<VstPinProperties*>(ptr);
  pin->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < nChannels - 1) pin->flags |= kVstPinIsStereo;
  snprintf(pin->label, sizeof(pin->label), input ? "Input %d" : "Output %d", index + 1);
  return 1;
}

void IPlugVST::ProcessEvents(const VstEvents* events)
{
  VstEvent* const* list = events->events;
  for (int i = 0; i < events->numEvents; ++i)
  {
    VstEvent* event = list[i];
    if (!event) continue;
    if (event->type == kVstMidiType)
    {
      const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
      MidiMessage message;
      message.mOffset = midi->deltaFrames;
      message.mStatus = static_cast<uint8_t>(midi->midiData[0]);
      message.mData1 = static_cast<uint8_t>(midi->midiData[1]);
      message.mData2 = static_cast<uint8_t>(midi->midiData[2]);
      ReceiveMidi(&message);
    }
    else
    {
      VstEvents one;
      memset(&one, 0, sizeof(one));
      one.numEvents = 1;
      one.events[0] = event;
      CallHost(audioMasterProcessEvents, 0, 0, &one);
    }
  }
}

void IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* in,
                                     const VstSpeakerArrangement* out)
{
  if (in)
  {
    const int n = in->numChannels < 0 ? 0 : in->numChannels;
    ConnectInputs(0, n, true);
    ConnectInputs(n, NInChannels() - n, false);
  }
  if (out)
  {
    const int n = out->numChannels < 0 ? 0 : out->numChannels;
    ConnectOutputs(0, n, true);
    ConnectOutputs(n, NOutChannels() - n, false);
  }
}

void IPlugVST::SetBlockSize(VstIntPtr frames)
{
  // A block size below 1 is ignored; the scratch keeps a size that processing can slice by.
  if (frames < 1) return;
  const int size = frames > kMaxBlockSize ? kMaxBlockSize : static_cast<int>(frames);
  ChangeBlockSize(size); // also re-points the slots that were on the resized scratch buffers
  mZeroInput.Resize(size);
  if (mZeroInput.Get()) memset(mZeroInput.Get(), 0, sizeof(double) * mZeroInput.GetSize());
  mDiscardOutput.Resize(size);
  mDiscardOutputFloat.Resize(size);
}

// ---- processing and parameters ----

namespace
{
enum EProcessMode
{
  kProcessAdding,
  kProcessReplacing,
  kProcessDouble,
};
} // namespace

template <> float** IPlugVST::SliceBuffer<float>(bool input)
{
  return input ? mSliceInputs.Get() : mSliceOutputs.Get();
}
template <> double** IPlugVST::SliceBuffer<double>(bool input)
{
  return input ? mSliceInputsD.Get() : mSliceOutputsD.Get();
}
// Float inputs may stay null: the base converts a null buffer as silence.
template <> float* IPlugVST::ZeroInput<float>()
{
  return nullptr;
}
template <> double* IPlugVST::ZeroInput<double>()
{
  return mZeroInput.Get();
}
template <> float* IPlugVST::DiscardOutput<float>()
{
  return mDiscardOutputFloat.Get();
}
template <> double* IPlugVST::DiscardOutput<double>()
{
  return mDiscardOutput.Get();
}
void IPlugVST::BindInput(float** buffers, int frames)
{
  BindInputBuffers(0, NInChannels(), buffers, frames);
}
void IPlugVST::BindInput(double** buffers, int)
{
  BindInputBuffers(0, NInChannels(), buffers);
}

template <class Sample>
void IPlugVST::Process(Sample** inputs, Sample** outputs, int frames, int mode)
{
  WDL_MutexLock lock(&mMutex);
  if (mPlugFlagsByte) CallHost(audioMasterWantMidi);
  const int slice = mBlockSize;
  if (frames <= 0 || !outputs || slice <= 0) return;
  if (mZeroInput.GetSize() < slice || mDiscardOutput.GetSize() < slice ||
      mDiscardOutputFloat.GetSize() < slice)
    return; // scratch could not be had at the last block size change

  int nIn = 0, nOut = 0;
  for (int i = 0; i < NInChannels(); ++i) nIn += InputConnected(i);
  for (int i = 0; i < NOutChannels(); ++i) nOut += OutputConnected(i);
  Sample** sliceIn = SliceBuffer<Sample>(true);
  Sample** sliceOut = SliceBuffer<Sample>(false);

  ForEachRun(frames, slice,
             [&](int start, int n)
             {
               for (int i = 0; i < nIn; ++i)
               {
                 Sample* src = inputs ? inputs[i] : nullptr;
                 sliceIn[i] = src ? src + start : ZeroInput<Sample>();
               }
               for (int i = 0; i < nOut; ++i)
               {
                 Sample* dst = outputs[i];
                 sliceOut[i] = dst ? dst + start : DiscardOutput<Sample>();
               }
               BindInput(sliceIn, n);
               BindOutputBuffers(0, NOutChannels(), sliceOut);
               if (mode == kProcessAdding)
                 RunEngineAdding(0.0f, n);
               else if (mode == kProcessReplacing)
                 RunEngine(0.0f, n);
               else
                 RunEngine(0.0, n);
             });
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (plug) plug->Process(inputs, outputs, frames, kProcessAdding);
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (plug) plug->Process(inputs, outputs, frames, kProcessReplacing);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                         int32_t frames)
{
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (plug) plug->Process(inputs, outputs, frames, kProcessDouble);
}

float IPlugVST::VSTGetParameter(AEffect* effect, int32_t index)
{
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (!plug) return 0.0f;
  TraceHook("VSTGetParameter", __LINE__, "%d", index);
  WDL_MutexLock lock(plug->GetMutex());
  const IParam* param = plug->GetParam(index);
  return param ? static_cast<float>(param->ToNormalised()) : 0.0f;
}

void IPlugVST::VSTSetParameter(AEffect* effect, int32_t index, float value)
{
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (!plug) return;
  TraceHook("VSTSetParameter", __LINE__, "%d:%f", index, static_cast<double>(value));
  WDL_MutexLock lock(plug->GetMutex());
  SetParamFromHost(*plug, index, value, HostUnits::kNormalised, HostSteps::kRound);
}
