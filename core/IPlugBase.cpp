#include "core/IPlugBase.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "graphics/IGraphics.h"

void TraceHook(const char*, int, const char*, ...) {}

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* makerName, int version, int uniqueID,
                     int makerID, int latency, int plugFlags, bool doesChunks, bool isInstrument)
    : mUniqueID(uniqueID), mMakerID(makerID), mVersion(version), mPlugFlags(plugFlags),
      mStateChunks(doesChunks), mIsInstrument(isInstrument), mLatency(latency)
{
  TARVEX_TRACE("%s:%s", effectName ? effectName : "", "");
  for (int i = 0; i < nParams; ++i) mParams.Add(new IParam);
  for (int i = 0; i < nPresets; ++i)
  {
    IPreset* preset = new IPreset;
    snprintf(preset->mName, sizeof(preset->mName), "- %d -", i + 1);
    mPresets.Add(preset);
  }
  CopyTextBounded(mEffectName, effectName, kNameLength);
  CopyTextBounded(mProductName, productName, kNameLength);
  CopyTextBounded(mMakerName, makerName, kNameLength);

  // Channel I/O string: pairs "in-out" separated by single spaces.
  int maxIn = 0, maxOut = 0;
  for (const char* p = channelIOStr ? channelIOStr : ""; p && *p;)
  {
    int nIn = 0, nOut = 0;
    sscanf(p, "%d-%d", &nIn, &nOut);
    if (nIn < 0) nIn = 0;
    if (nOut < 0) nOut = 0;
    mChannelIO.Add(new ChannelIO{nIn, nOut});
    if (nIn > maxIn) maxIn = nIn;
    if (nOut > maxOut) maxOut = nOut;
    p = strchr(p, ' ');
    if (p) ++p;
  }
  mInData.Resize(maxIn);
  mOutData.Resize(maxOut);
  for (int i = 0; i < maxIn; ++i)
  {
    mInData.Get()[i] = nullptr;
    InChannel* channel = new InChannel;
    channel->mSrc = mInData.Get() + i;
    mInChannels.Add(channel);
  }
  for (int i = 0; i < maxOut; ++i)
  {
    mOutData.Get()[i] = nullptr;
    OutChannel* channel = new OutChannel;
    channel->mDest = mOutData.Get() + i;
    mOutChannels.Add(channel);
  }
}

IPlugBase::~IPlugBase()
{
  delete mGraphics;
  mGraphics = nullptr;
  mParams.Empty(true);
  mPresets.Empty(true);
  mInChannels.Empty(true);
  mOutChannels.Empty(true);
  mChannelIO.Empty(true);
}

void IPlugBase::HostReset()
{
  WDL_MutexLock lock(&mMutex);
}

void IPlugBase::ParamChanged(int)
{
  WDL_MutexLock lock(&mMutex);
}

void IPlugBase::ActivationChanged(bool)
{
  WDL_MutexLock lock(&mMutex);
}

void IPlugBase::ProcessFrames(double** inputs, double** outputs, int nFrames)
{
  PassThrough(inputs, outputs, nFrames);
}

void IPlugBase::PassThrough(double** inputs, double** outputs, int nFrames)
{
  if (!outputs || nFrames <= 0) return;
  const int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i)
  {
    double* out = outputs[i];
    if (!out) continue;
    const double* in = (inputs && i < nIn) ? inputs[i] : nullptr;
    if (in)
    {
      if (in != out) memmove(out, in, sizeof(double) * static_cast<size_t>(nFrames));
    }
    else
      memset(out, 0, sizeof(double) * static_cast<size_t>(nFrames));
  }
}

bool IPlugBase::NoteName(int, char* name)
{
  if (name) *name = 0;
  return false;
}

int IPlugBase::VersionNumber(bool decimal) const
{
  if (!decimal) return mVersion;
  const int major = (mVersion >> 16) & 0xffff, minor = (mVersion >> 8) & 0xff,
            rev = mVersion & 0xff;
  return major * 10000 + minor * 100 + rev;
}

void IPlugBase::VersionText(char* out, int outSize) const
{
  if (!out || outSize <= 0) return;
  snprintf(out, static_cast<size_t>(outSize), "v%d.%02d", (mVersion >> 16) & 0xffff,
           (mVersion >> 8) & 0xff);
}

int LookUpHost(const char* productName)
{
  char lower[256];
  CopyTextBounded(lower, productName, sizeof(lower));
  for (char* c = lower; *c; ++c) *c = static_cast<char>(tolower(static_cast<unsigned char>(*c)));
  static const struct
  {
    const char* text;
    int code;
  } kHosts[] = {
      {"cubase", kHostCubase},
      {"reaper", kHostReaper},
      {"nuendo", kHostNuendo},
      {"cakewalk", kHostSonar},
      {"samplitude", kHostSamplitude},
      {"fruity", kHostFL},
      {"live", kHostAbletonLive},
      {"melodyne", kHostMelodyne},
      {"vstmanlib", kHostVSTScanner},
      {"aulab", kHostAULab},
      {"forte", kHostForte},
      {"chainer", kHostChainer},
      {"audition", kHostAudition},
      {"orion", kHostOrion},
      {"sawstudio", kHostSAWStudio},
      {"logic", kHostLogic},
      {"digital", kHostDigitalPerformer},
      {"audiomulch", kHostAudioMulch},
      {"presonus vst2 host", kHostStudioOne},
  };
  for (const auto& host : kHosts)
    if (strstr(lower, host.text)) return host.code;
  return kHostUnknown;
}

void IPlugBase::SetHost(const char* productName, int version)
{
  mHost = LookUpHost(productName);
  mHostVersion = version;
  TARVEX_TRACE("host_%sknown:%s:%d", mHost == kHostUnknown ? "un" : "",
               productName ? productName : "", version);
}

void IPlugBase::SetParameterFromGUI(int index, double normalised)
{
  TARVEX_TRACE("%d:%f", index, normalised);
  WDL_MutexLock lock(&mMutex);
  IParam* param = GetParam(index);
  if (!param) return; // the editor passes only existing indexes; a stray one changes nothing
  param->SetFromNormalised(normalised);
  InformHostOfParamChange(index, normalised);
  ParamChanged(index);
}

void IPlugBase::NotifyAllParams()
{
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
}

void IPlugBase::PushParamsToEditor()
{
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i)
    mGraphics->SetParameterFromPlugin(i, GetParam(i)->mValue, false);
}

void IPlugBase::AdoptGraphics(IGraphics* graphics)
{
  if (!graphics) return;
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i)
    graphics->SetParameterFromPlugin(i, GetParam(i)->ToNormalised(), true);
  // No view is open yet, so nothing else uses the controls: they take the values now.
  graphics->ApplyParameterValues();
  graphics->PrepareDrawing();
  if (mGraphics && mGraphics != graphics) delete mGraphics;
  mGraphics = graphics;
}

void IPlugBase::ChangeBlockSize(int nFrames)
{
  if (nFrames < 0) nFrames = 0;
  if (nFrames == mBlockSize) return;
  // Resizing may move a scratch buffer; slots that pointed at the old one are pointed at the new
  // one, so no data slot is left dangling (connected channels are bound afresh with every call
  // anyway).
  for (int i = 0; i < NInChannels(); ++i)
  {
    InChannel* channel = mInChannels.Get(i);
    WDL_TypedBuf<double>& buf = channel->mScratchBuf;
    const bool slotOnScratch = *channel->mSrc && *channel->mSrc == buf.Get();
    buf.Resize(nFrames);
    if (buf.Get()) memset(buf.Get(), 0, sizeof(double) * static_cast<size_t>(buf.GetSize()));
    if (slotOnScratch || !channel->mConnected) *channel->mSrc = buf.Get();
  }
  for (int i = 0; i < NOutChannels(); ++i)
  {
    OutChannel* channel = mOutChannels.Get(i);
    WDL_TypedBuf<double>& buf = channel->mScratchBuf;
    const bool slotOnScratch = *channel->mDest && *channel->mDest == buf.Get();
    buf.Resize(nFrames);
    if (buf.Get()) memset(buf.Get(), 0, sizeof(double) * static_cast<size_t>(buf.GetSize()));
    if (slotOnScratch || !channel->mConnected) *channel->mDest = buf.Get();
  }
  mBlockSize = nFrames;
}

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
  bool legal = false;
  for (int i = 0; i < NChannelIO() && !legal; ++i)
  {
    const ChannelIO* pair = mChannelIO.Get(i);
    legal = (nIn < 0 || nIn == pair->mIn) && (nOut < 0 || nOut == pair->mOut);
  }
  TARVEX_TRACE("%d:%d:%s", nIn, nOut, legal ? "legal" : "illegal");
  return legal;
}

// The scratch buffer of a channel must hold a whole call; it holds the block size normally, and
// grows only when a caller passes more frames than it announced (never on a correctly driven audio
// thread).
static double* ScratchFor(WDL_TypedBuf<double>& buf, int nFrames)
{
  if (buf.GetSize() < nFrames)
  {
    const int old = buf.GetSize();
    buf.Resize(nFrames, false);
    if (buf.GetSize() >= nFrames)
      memset(buf.Get() + old, 0, sizeof(double) * static_cast<size_t>(nFrames - old));
  }
  return buf.Get();
}

void IPlugBase::ConnectInputs(int first, int count, bool connected)
{
  for (int i = first < 0 ? 0 : first; i < first + count && i < NInChannels(); ++i)
  {
    InChannel* channel = mInChannels.Get(i);
    channel->mConnected = connected;
    if (!connected)
      *channel->mSrc = ScratchFor(channel->mScratchBuf, mBlockSize > 0 ? mBlockSize : 1);
  }
}

void IPlugBase::ConnectOutputs(int first, int count, bool connected)
{
  for (int i = first < 0 ? 0 : first; i < first + count && i < NOutChannels(); ++i)
  {
    OutChannel* channel = mOutChannels.Get(i);
    channel->mConnected = connected;
    if (!connected)
    {
      *channel->mDest = ScratchFor(channel->mScratchBuf, mBlockSize > 0 ? mBlockSize : 1);
      channel->mFDest = nullptr;
    }
  }
}

bool IPlugBase::InputConnected(int index) const
{
  const InChannel* channel = mInChannels.Get(index);
  return channel && channel->mConnected;
}

bool IPlugBase::OutputConnected(int index) const
{
  const OutChannel* channel = mOutChannels.Get(index);
  return channel && channel->mConnected;
}

void IPlugBase::BindInputBuffers(int first, int count, float** buffers, int nFrames)
{
  if (!buffers) return;
  int next = 0;
  for (int i = first < 0 ? 0 : first; i < first + count && i < NInChannels(); ++i)
  {
    InChannel* channel = mInChannels.Get(i);
    if (!channel->mConnected) continue;
    const float* src = buffers[next++];
    double* scratch = ScratchFor(channel->mScratchBuf, nFrames);
    if (!scratch) continue;
    if (src)
      for (int s = 0; s < nFrames; ++s) scratch[s] = src[s]; // one vectorised conversion pass
    else
      memset(scratch, 0, sizeof(double) * static_cast<size_t>(nFrames));
    *channel->mSrc = scratch;
  }
}

void IPlugBase::BindInputBuffers(int first, int count, double** buffers)
{
  if (!buffers) return;
  int next = 0;
  for (int i = first < 0 ? 0 : first; i < first + count && i < NInChannels(); ++i)
  {
    InChannel* channel = mInChannels.Get(i);
    if (channel->mConnected) *channel->mSrc = buffers[next++];
  }
}

void IPlugBase::BindOutputBuffers(int first, int count, float** buffers)
{
  if (!buffers) return;
  int next = 0;
  for (int i = first < 0 ? 0 : first; i < first + count && i < NOutChannels(); ++i)
  {
    OutChannel* channel = mOutChannels.Get(i);
    if (!channel->mConnected) continue;
    channel->mFDest = buffers[next++];
    *channel->mDest = channel->mScratchBuf.Get();
  }
}

void IPlugBase::BindOutputBuffers(int first, int count, double** buffers)
{
  if (!buffers) return;
  int next = 0;
  for (int i = first < 0 ? 0 : first; i < first + count && i < NOutChannels(); ++i)
  {
    OutChannel* channel = mOutChannels.Get(i);
    if (!channel->mConnected) continue;
    *channel->mDest = buffers[next++];
    channel->mFDest = nullptr;
  }
}

// A float below the smallest normal one (FLT_MIN) in magnitude becomes 0: quiet doubles would
// otherwise leave as subnormal floats, which cost the host and later plug-ins a micro-code assist
// per operation. A compare and a select, which the compiler vectorises.
static inline float FlushedFloat(float v)
{
  return std::fabs(v) < FLT_MIN ? 0.0f : v;
}

void IPlugBase::StoreOutputsAsFloat(int nFrames, bool adding)
{
  for (int i = 0; i < NOutChannels(); ++i)
  {
    OutChannel* channel = mOutChannels.Get(i);
    if (!channel->mConnected || !channel->mFDest) continue;
    const double* src = channel->mScratchBuf.Get();
    float* dst = channel->mFDest;
    if (!src) continue;
    if (adding)
      for (int s = 0; s < nFrames; ++s) dst[s] = FlushedFloat(dst[s] + static_cast<float>(src[s]));
    else
      for (int s = 0; s < nFrames; ++s) dst[s] = FlushedFloat(static_cast<float>(src[s]));
  }
}

// Float outputs render into the channels' scratch buffers; make sure they can hold the call.
static void PrepareFloatOutputs(WDL_PtrList<IPlugBase::OutChannel>& channels, int nFrames)
{
  for (int i = 0; i < channels.GetSize(); ++i)
  {
    IPlugBase::OutChannel* channel = channels.Get(i);
    if (channel->mConnected && channel->mFDest)
      *channel->mDest = ScratchFor(channel->mScratchBuf, nFrames);
  }
}

void IPlugBase::RunEngine(float, int nFrames)
{
  if (nFrames <= 0) return;
  PrepareFloatOutputs(mOutChannels, nFrames);
  ProcessFrames(mInData.Get(), mOutData.Get(), nFrames);
  StoreOutputsAsFloat(nFrames, false);
}

void IPlugBase::RunEngineAdding(float, int nFrames)
{
  if (nFrames <= 0) return;
  PrepareFloatOutputs(mOutChannels, nFrames);
  ProcessFrames(mInData.Get(), mOutData.Get(), nFrames);
  StoreOutputsAsFloat(nFrames, true);
}

void IPlugBase::RunEngine(double, int nFrames)
{
  if (nFrames <= 0) return;
  ProcessFrames(mInData.Get(), mOutData.Get(), nFrames);
}

void IPlugBase::RunBypass(float, int nFrames)
{
  if (nFrames <= 0) return;
  PrepareFloatOutputs(mOutChannels, nFrames);
  PassThrough(mInData.Get(), mOutData.Get(), nFrames);
  StoreOutputsAsFloat(nFrames, false);
}

// ---- saved state and presets ----

bool IPlugBase::WriteParamState(StateChunk* chunk)
{
  if (!chunk) return false;
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i)
  {
    const double v = GetParam(i)->mValue;
    chunk->AppendBytes(&v, 8);
  }
  return true;
}

int IPlugBase::UnserializeParams(const StateChunk* chunk, int start)
{
  TARVEX_TRACE("%d %s", start, "");
  if (!chunk) return -1;
  WDL_MutexLock lock(&mMutex);
  int position = start;
  for (int i = 0; i < NParams() && position >= 0; ++i)
  {
    double v = 0.0;
    position = chunk->ReadBytes(&v, 8, position);
    IParam* param = GetParam(i);
    param->mValue = param->Clamped(v);
  }
  NotifyAllParams();
  return position;
}

bool IPlugBase::WritePresetBank(StateChunk* chunk)
{
  if (!chunk) return false;
  for (int i = 0; i < NPresets(); ++i)
  {
    IPreset* preset = mPresets.Get(i);
    chunk->AppendText(preset->mName);
    chunk->AppendFlag(preset->mInitialised);
    if (preset->mInitialised) chunk->AppendChunk(&preset->mChunk);
  }
  return true;
}

int IPlugBase::ReadPresetBank(const StateChunk* chunk, int start)
{
  if (!chunk) return -1;
  int position = start;
  WDL_String name;
  for (int i = 0; i < NPresets() && position >= 0; ++i)
  {
    IPreset* preset = mPresets.Get(i);
    position = chunk->ReadText(&name, position);
    CopyTextBounded(preset->mName, name.Get(), IPreset::kNameLength);
    position = chunk->ReadFlag(&preset->mInitialised, position);
    if (preset->mInitialised)
    {
      position = UnserializeParams(chunk, position);
      if (position > 0)
      {
        preset->mChunk.Clear();
        WriteParamState(&preset->mChunk);
      }
      else if (preset->mChunk.Size() != 8 * NParams())
        preset->mInitialised = false; // its state was cut short and it holds no earlier one
    }
  }
  ApplyPreset(mCurrentPresetIdx);
  return position;
}

bool IPlugBase::ApplyPreset(int index)
{
  IPreset* preset = mPresets.Get(index);
  if (!preset) return false;
  bool ok;
  if (preset->mInitialised)
    ok = UnserializeParams(&preset->mChunk, 0) > 0;
  else
  {
    preset->mInitialised = true;
    NextUserPresetName(preset->mName, IPreset::kNameLength);
    preset->mChunk.Clear(); // a state left from before a bank cleared the flag is replaced
    ok = WriteParamState(&preset->mChunk);
  }
  if (ok)
  {
    mCurrentPresetIdx = index;
    PushParamsToEditor();
  }
  return ok;
}

bool IPlugBase::ApplyPreset(const char* name)
{
  if (!name || !*name) return false;
  for (int i = 0; i < NPresets(); ++i)
    if (!strcmp(mPresets.Get(i)->mName, name)) return ApplyPreset(i);
  return false;
}

const char* IPlugBase::PresetName(int index) const
{
  const IPreset* preset = mPresets.Get(index);
  return preset ? preset->mName : "";
}

bool IPlugBase::SetPresetName(int index, const char* name)
{
  IPreset* preset = mPresets.Get(index);
  if (!preset) return false;
  CopyTextBounded(preset->mName, name, IPreset::kNameLength);
  return true;
}

void IPlugBase::NextUserPresetName(char* out, int outSize) const
{
  if (!out || outSize <= 0) return;
  int count = 0;
  for (int i = 0; i < NPresets(); ++i)
    if (strstr(mPresets.Get(i)->mName, "user preset")) ++count;
  snprintf(out, static_cast<size_t>(outSize), "%s %d", "user preset", count + 1);
}

void IPlugBase::FillDefaultPresets(const char* name, int count)
{
  for (int n = 0; n < count; ++n)
  {
    IPreset* preset = nullptr;
    for (int i = 0; i < NPresets() && !preset; ++i)
      if (!mPresets.Get(i)->mInitialised) preset = mPresets.Get(i);
    if (!preset) return;
    preset->mInitialised = true;
    CopyTextBounded(preset->mName, name ? name : "Default", IPreset::kNameLength);
    preset->mChunk.Clear();
    WriteParamState(&preset->mChunk);
  }
}

void IPlugBase::OverwriteCurrentPreset(const char* name)
{
  IPreset* preset = mPresets.Get(mCurrentPresetIdx);
  if (!preset) return;
  preset->mChunk.Clear();
  WriteParamState(&preset->mChunk);
  if (name && *name) CopyTextBounded(preset->mName, name, IPreset::kNameLength);
}

void IPlugBase::DropEmptyPresets()
{
  for (int i = NPresets() - 1; i >= 0; --i)
    if (!mPresets.Get(i)->mInitialised) mPresets.Delete(i, true);
  if (mCurrentPresetIdx >= NPresets()) mCurrentPresetIdx = 0;
}

void IPlugBase::EnsureOnePreset()
{
  if (NPresets() > 0) return;
  IPreset* preset = new IPreset;
  snprintf(preset->mName, sizeof(preset->mName), "- %d -", 1);
  mPresets.Add(preset);
  FillDefaultPresets(nullptr, 1);
}
