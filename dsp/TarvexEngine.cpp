#include "dsp/TarvexEngine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "dsp/Analysis.h"
#include "dsp/DspHost.h"
#include "dsp/DspState.h"
#include "dsp/EngineArrays.h"
#include "dsp/Limiter.h"
#include "dsp/SharedFlags.h"
#include "dsp/VectorClones.h"

namespace
{
constexpr int kNiceSizes[36] = {100,   180,   240,   320,   400,   500,   720,   960,   1280,
                                1600,  2000,  2160,  2304,  2880,  3840,  4800,  5120,  6400,
                                8000,  10000, 11520, 12500, 14400, 15625, 19200, 24000, 25920,
                                32400, 34560, 40000, 43200, 46080, 54000, 57600, 61440, 64000};
// Smallest block the cross-fade window is designed for.
constexpr int kMinBlockSize = 128;
// Longest kernel that still leaves a block of kMinBlockSize in the largest transform.
constexpr int kMaxKernelLength = kMaxFftSize - kMinBlockSize + 1;

// A setting read from a parameter, kept within the range the sizes are computed for (NaN:
// fallback).
double SaneSetting(double v, double lo, double hi, double fallback)
{
  if (std::isnan(v)) return fallback;
  return v < lo ? lo : (v > hi ? hi : v);
}

// Sample rate truncated to an integer, limited so the size arithmetic cannot overflow.
long long WholeSampleRate(double sampleRate)
{
  if (!(sampleRate >= 1.0)) return 1;
  if (sampleRate > 1e7) return 10000000;
  return static_cast<long long>(sampleRate);
}

// Zeroes every value written since the last clear (the arrays are zero beyond their marks). The
// kernel is the synth's to clear (KernelSynthReset); the transform buffers need no clearing, as
// every use writes them in full first.
void ClearDspBuffers(TarvexEngine& e)
{
  DspExtents& x = e.mExtents;
  for (int c = 0; c < 2; ++c)
  {
    ClearToExtent(e.mInput[c], x.input[c]);
    ClearToExtent(e.mRing[c], x.ring[c]);
  }
}

void SynthesizeFromState(TarvexEngine& e, DspState& s)
{
  SynthesizeKernel(&e.synth, s.bandTable, s.sortedPoints, e.mKernelLength, e.mFftSize,
                   e.mSampleRate, s.displayCurve, &s.curveChanged, s.curveLock, kDisplayColumns,
                   &s.sortedCount, s.displayPoints, &s.displayPointCount);
}

// to[i] += from[i]; the two do not overlap.
TARVEX_VECTOR_CLONES void AddInto(double* __restrict to, const double* __restrict from, int count)
{
  for (int i = 0; i < count; ++i) to[i] += from[i];
}

// count values of `from` added into (or stored over) the ring of channel c from position start
// on, wrapping at the ring's end.
void WriteRing(TarvexEngine& e, int c, int start, const double* from, int count, bool add)
{
  double* ring = e.mRing[c];
  const int first = count < e.mRingSize - start ? count : e.mRingSize - start;
  if (add)
  {
    AddInto(ring + start, from, first);
    AddInto(ring, from + first, count - first);
  }
  else
  {
    std::memcpy(ring + start, from, sizeof(double) * first);
    std::memcpy(ring, from + first, sizeof(double) * (count - first));
  }
  RaiseExtent(e.mExtents.ring[c], start + first); // a wrapped part ends before start
}

// Puts the N result samples of one block into the ring of channel c from the block's output
// position on. The first N - B overlap what earlier blocks left there and are added. The last B
// fall where no earlier block reaches: the first block result to land there (fresh) is stored over
// what was played out before; the second half of a cross-fade adds to it.
void PutInRing(TarvexEngine& e, int c, const double* result, bool fresh)
{
  const int n = e.mFftSize, b = e.mBlockSize;
  const int start = (e.mWriteOffset + e.mReadPos) % e.mRingSize;
  WriteRing(e, c, start, result, n - b, true);
  WriteRing(e, c, (start + n - b) % e.mRingSize, result + n - b, b, !fresh);
}

// Which half of a cross-fade a block goes through, if any.
enum class Fade
{
  kNone,
  kOut, // with the kernel that was playing
  kIn,  // with the rebuilt one
};

// The block of channel c as the transforms read it: the gathered input itself (zero from B to N),
// or, for a half of a cross-fade, a copy in buffer faded for it.
const double* BlockInput(const TarvexEngine& e, int c, double* buffer, Fade fade)
{
  if (fade == Fade::kNone) return e.mInput[c];
  const int b = e.mBlockSize;
  std::memcpy(buffer, e.mInput[c], sizeof(double) * b);
  std::memset(buffer + b, 0, sizeof(double) * (e.mFftSize - b));
  FadeWindow(buffer, b, fade == Fade::kOut);
  return buffer;
}

// Convolves the block of channel c with the kernel in use (two real transforms into mBlock[0])
// and puts it into the ring.
void ConvolveChannel(TarvexEngine& e, int c, Fade fade)
{
  double* block = e.mBlock[0];
  const double* in = BlockInput(e, c, block, fade);
  FftConvolveReal(in, block, e.mConvKernel, e.mFftSize, e.mConvPlan);
  PutInRing(e, c, block, fade != Fade::kIn);
}

// Both channels at once through one complex transform into mBlock.
void ConvolveStereo(TarvexEngine& e, Fade fade)
{
  const double* const in[2] = {BlockInput(e, 0, e.mBlock[0], fade),
                               BlockInput(e, 1, e.mBlock[1], fade)};
  double* const out[2] = {e.mBlock[0], e.mBlock[1]};
  FftConvolveStereo(in, out, e.mConvKernel, e.mFftSize, e.mStereoPlan);
  PutInRing(e, 0, e.mBlock[0], fade != Fade::kIn);
  PutInRing(e, 1, e.mBlock[1], fade != Fade::kIn);
}

void ConvolveBlocks(TarvexEngine& e, int channels, Fade fade)
{
  if (channels == 2 && StereoTransformPays(e.mFftSize))
    ConvolveStereo(e, fade);
  else
    for (int c = 0; c < channels; ++c) ConvolveChannel(e, c, fade);
}

void RunBlockStep(DspHost& host, TarvexEngine& e, DspState& s, int channels)
{
  // A rebuild cross-fades from the kernel that was playing: the block goes through it faded out,
  // the rebuild then rewrites the kernel in place, and the block goes through the new one faded in
  // (each channel's ring gets the two halves in that order). Before the first block since the last
  // reset none was playing (settings restored before the first block, or changed with
  // Resolution), and the new kernel applies from the first sample. Only a rebuild clears
  // paramsChanged, under dspLock, which this step holds: a flag seen set here is still set at the
  // rebuild.
  const bool crossFade = e.mBlockConvolved && s.synth && LoadFlag(s.paramsChanged);
  e.mBlockConvolved = true;
  if (crossFade)
  {
    ConvolveBlocks(e, channels, Fade::kOut);
    RebuildKernelIfChanged(host, s);
    ConvolveBlocks(e, channels, Fade::kIn);
  }
  else
  {
    RebuildKernelIfChanged(host, s);
    ConvolveBlocks(e, channels, Fade::kNone);
  }
  e.mWriteOffset += e.mBlockSize;
}

TARVEX_VECTOR_CLONES void CopySanitised(const double* __restrict from, double* __restrict to,
                                        int count)
{
  for (int i = 0; i < count; ++i)
  {
    const double x = from[i];
    to[i] = std::isfinite(x) ? x : 0.0;
  }
}

// One run of at most mRunLength frames: gather, capture, block step when the block is full (the
// run's remaining samples then start the next block), play out, limit.
void ProcessRun(DspHost& host, TarvexEngine& e, DspState& s, double* const* inputs,
                double* const* outputs, int frames, int channels, double threshold)
{
  const int b = e.mBlockSize;
  if (channels == 2 && !e.mSecondChannelLive)
  {
    // The second channel is back after mono runs: its gathered input and its ring hold nothing of
    // this stream (played-out values stay in the ring until a block result is stored over them),
    // so it starts from silence.
    ClearToExtent(e.mInput[1], e.mExtents.input[1]);
    ClearToExtent(e.mRing[1], e.mExtents.ring[1]);
  }
  e.mSecondChannelLive = channels == 2;
  const int taken = e.mInputFill + frames > b ? b - e.mInputFill : frames;
  for (int c = 0; c < channels; ++c) CopySanitised(inputs[c], e.mInput[c] + e.mInputFill, taken);
  e.mInputFill += taken;

  CaptureInput(s, inputs, frames, channels);

  if (e.mInputFill == b)
  {
    RunBlockStep(host, e, s, channels);
    // The next block starts with the run's remaining samples; gathering overwrites the rest of the
    // last one before the next block step reads it.
    const int rest = frames - taken;
    for (int c = 0; c < channels; ++c)
    {
      CopySanitised(inputs[c] + taken, e.mInput[c], rest);
      RaiseExtent(e.mExtents.input[c], b);
    }
    e.mInputFill = rest;
  }
  else
  {
    for (int c = 0; c < channels; ++c) RaiseExtent(e.mExtents.input[c], e.mInputFill);
  }

  const int first = frames < e.mRingSize - e.mReadPos ? frames : e.mRingSize - e.mReadPos;
  for (int c = 0; c < channels; ++c)
  {
    double* ring = e.mRing[c];
    double* out = outputs[c];
    std::memcpy(out, ring + e.mReadPos, sizeof(double) * first);
    std::memcpy(out + first, ring, sizeof(double) * (frames - first));
  }

  // The display decays the light while this raises it: one load and one store, no lock.
  double light = LoadShared(s.limiterLight);
  ApplyLimiter(outputs, channels, frames, threshold, s.sampleRate, s.limiterEnvelope, s.limiterTime,
               light);
  StoreShared(s.limiterLight, light);

  e.mWriteOffset -= frames;
  e.mReadPos = (e.mReadPos + frames) % e.mRingSize;
}

// Flush-to-zero and denormals-are-zero for the scope of a process call: subnormal values in the
// filter tails would otherwise cost a micro-code assist per operation. The caller's control word
// comes back on return.
class FlushDenormals
{
public:
#if defined(__x86_64__) || defined(__i386__)
  FlushDenormals() : mSaved(_mm_getcsr())
  {
    _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero);
  }
  ~FlushDenormals()
  {
    _mm_setcsr(mSaved);
  }

private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  unsigned mSaved;
#endif
};

bool Ready(const TarvexEngine& e, const DspState& s)
{
  return e.mConvKernel && e.mBlock[0] && e.mBlock[1] && e.mConvPlan && e.mStereoPlan && s.dspLock &&
         s.drawLock && e.mFftSize > 0;
}
} // namespace

int NiceSize(int m)
{
  for (int size : kNiceSizes)
    if (size >= m) return size;
  return kMaxFftSize;
}

// Whether the joint stereo transform beats two fused real convolutions at length n, as measured in
// the engine (whole block steps with the gathering and the ring around them, not the transforms
// alone; bench-fft's second table times those hot, where the joint one looks better than it is).
// From 3840 on, two real transforms of N points were 1.03 to 1.6 times faster in two runs: they
// keep half the data of one complex transform in the caches. Below, the two ways were within the
// machine's noise of each other or the joint one was faster. An odd length has no fused real
// convolution (its transform has no split pass to fuse), and the joint one took 0.6 to 0.75 of
// the time.
bool StereoTransformPays(int n)
{
  return n < 3840 || n % 2 == 1;
}

int KernelLength(double sampleRate, double resolution)
{
  const long long s = WholeSampleRate(sampleRate);
  const long long k = (s * 1025) / 44100;
  const double r = SaneSetting(resolution, 0.2, 8.0, 1.0);
  double taps = k * r + 0.5;
  if (taps > kMaxKernelLength) taps = kMaxKernelLength;
  return static_cast<int>(taps) | 1;
}

int FftSizeFor(int hostBlock, int kernelLength, double inputBufferSize)
{
  if (hostBlock > 0)
  {
    const long long wanted = static_cast<long long>(hostBlock) + kernelLength - 1;
    return NiceSize(wanted > kMaxFftSize ? kMaxFftSize : static_cast<int>(wanted));
  }
  const double ibs = SaneSetting(inputBufferSize, 0.0, 3.0, 1.0);
  const int fromBuffer = static_cast<int>((kernelLength - 1) * ibs * 2.5 + 0.5);
  const int least = kernelLength + kMinBlockSize - 1;
  return NiceSize(fromBuffer > least ? fromBuffer : least);
}

int CaptureLength(double sampleRate)
{
  const long long s = WholeSampleRate(sampleRate);
  const long long m = (s * 7500) / 44100;
  return NiceSize(m > kMaxFftSize ? kMaxFftSize : static_cast<int>(m));
}

void FadeWindow(double* buffer, int length, bool fadeOut)
{
  const double piSingle = 3.1415927410125732;
  const double sign = fadeOut ? 0.5 : -0.5;
  for (int k = 0; k < length; ++k)
  {
    const double c = std::cos(k * piSingle / (length - 1));
    buffer[k] *= 0.5 + sign * c;
  }
}

void BandsFromParams(const DspHost& host, BandPoint* bandTable)
{
  double values[kCurveParamCount];
  for (int i = 0; i < kCurveParamCount; ++i) values[i] = host.ParamValue(i);
  BandsFromParamValues(values, bandTable);
}

void ParamsFromBands(DspHost& host, DspState& state)
{
  double values[kCurveParamCount];
  double lo[kCurveParamCount];
  double hi[kCurveParamCount];
  for (int i = 0; i < kCurveParamCount; ++i)
  {
    values[i] = host.ParamValue(i);
    host.ParamRange(i, &lo[i], &hi[i]);
  }
  ParamValuesFromBands(state.bandTable, values, lo, hi);
  host.TakeEditedBandParams(values);
}

bool RebuildKernelIfChanged(DspHost& host, DspState& s)
{
  if (!LoadFlag(s.paramsChanged) || !s.synth) return false;
  const int32_t fromDisplay = LoadFlag(s.editedInDisplay);
  StoreFlag(s.paramsChanged, 0);
  if (fromDisplay)
    ParamsFromBands(host, s);
  else
    BandsFromParams(host, s.bandTable);

  KernelSynth* synth = s.synth;
  SynthesizeKernel(synth, s.bandTable, s.sortedPoints, *s.kernelLengthRef, *s.fftSizeRef,
                   s.sampleRate, s.displayCurve, &s.curveChanged, s.curveLock, kDisplayColumns,
                   &s.sortedCount, s.displayPoints, &s.displayPointCount);
  if (!synth->window) return false; // the synth could not be set up: the kernel is unchanged
  StoreFlag(s.kernelChanged, 1);
  return true;
}

void ConfigureDsp(DspHost& host, TarvexEngine& e, DspState& s, int hostBlock,
                  double inputBufferSize, double resolution)
{
  const int l = KernelLength(e.mSampleRate, resolution);
  const int n = FftSizeFor(hostBlock, l, inputBufferSize);
  e.mInputFill = 0;
  e.mReadPos = 0;
  e.mBlockConvolved = false;
  e.mSecondChannelLive = true;
  e.mFftSize = n;
  e.mKernelLength = l;
  e.mBlockSize = n - l + 1;
  e.mLatency = e.mBlockSize + l / 2;
  if (e.synth.window) KernelSynthReset(&e.synth, l, n);
  SynthesizeFromState(e, s);
  if (e.synth.window) StoreFlag(s.kernelChanged, 1);
  e.mWriteOffset = e.mBlockSize;
  e.mRunLength = e.mBlockSize < kMaxRunFrames ? e.mBlockSize : kMaxRunFrames;
  e.mRingSize = n + e.mRunLength;
  // Tables for the new N now, so that the first block finds its plans set up. (A reset may run on
  // the audio thread: setting up allocates nothing, see fftp_prepare.)
  e.mConvPlan->initialised = 0;
  e.mStereoPlan->initialised = 0;
  fftp_prepare(e.mConvPlan, n);
  if (StereoTransformPays(n)) fftp_prepare(e.mStereoPlan, n, true);
  host.ReportLatency(e.mLatency);
}

namespace
{
// ResetDsp with drawLock and dspLock held.
void ResetDspLocked(DspHost& host, TarvexEngine& e, DspState& s, int hostBlock,
                    double inputBufferSize, double resolution)
{
  ClearDspBuffers(e);
  ConfigureDsp(host, e, s, hostBlock, inputBufferSize, resolution);
  const double sr = e.mSampleRate;
  std::snprintf(s.labelLineText, sizeof(s.labelLineText),
                "Delay: %.0f ms (kernel: %0.f ms, buffer: %0.f ms)", e.mLatency * 1000 / sr,
                (e.mKernelLength / 2) * 1000 / sr, (e.mFftSize - e.mKernelLength + 1) * 1000 / sr);
}
} // namespace

void ResetDsp(DspHost& host, TarvexEngine& e, DspState& s, int hostBlock, double inputBufferSize,
              double resolution)
{
  SemLockAcquire(s.drawLock);
  SemLockAcquire(s.dspLock);
  ResetDspLocked(host, e, s, hostBlock, inputBufferSize, resolution);
  SemLockRelease(s.dspLock);
  SemLockRelease(s.drawLock);
}

bool TryResetDsp(DspHost& host, TarvexEngine& e, DspState& s, int hostBlock, double inputBufferSize,
                 double resolution)
{
  if (!SemLockTryAcquire(s.drawLock)) return false;
  if (!SemLockTryAcquire(s.dspLock))
  {
    SemLockRelease(s.drawLock);
    return false;
  }
  ResetDspLocked(host, e, s, hostBlock, inputBufferSize, resolution);
  SemLockRelease(s.dspLock);
  SemLockRelease(s.drawLock);
  return true;
}

void ProcessEngineFrames(DspHost& host, TarvexEngine& e, DspState& s, double** inputs,
                         double** outputs, int frames)
{
  StoreFlag(s.idleFrames, 0);
  if (!Ready(e, s) || !inputs || !outputs) return;
  const FlushDenormals flush;
  const double ibs = host.ParamValue(kParamInputBufferSize);
  const double resolution = host.ParamValue(kParamResolution);
  // The audio thread never waits for a display frame: a reset that finds the editor drawing stays
  // requested and runs at a later call.
  if (ExchangeFlag(s.resetRequested, 0) && !TryResetDsp(host, e, s, 0, ibs, resolution))
    StoreFlag(s.resetRequested, 1);

  const int channels = host.SecondInputConnected() ? 2 : 1;
  for (int c = 0; c < channels; ++c)
    if (!inputs[c] || !outputs[c]) return;

  // Runs of at most mRunLength frames; a call of 0 frames still makes one (empty) run.
  int done = 0;
  do
  {
    const int remaining = frames > done ? frames - done : 0;
    const int run = remaining < e.mRunLength ? remaining : e.mRunLength;
    double* in[2] = {inputs[0] + done, channels > 1 ? inputs[1] + done : nullptr};
    double* out[2] = {outputs[0] + done, channels > 1 ? outputs[1] + done : nullptr};
    SemLockAcquire(s.dspLock);
    const double threshold = LimiterThreshold(host.ParamValue(kParamLimiter));
    ProcessRun(host, e, s, in, out, run, channels, threshold);
    SemLockRelease(s.dspLock);
    done += run;
  } while (done < frames);
}

void EngineHostReset(DspHost& host, TarvexEngine& e, DspState& s)
{
  const double rate = host.SampleRate();
  if (!(rate != e.mSampleRate) || !(rate > 0.0) || !std::isfinite(rate) || !Ready(e, s)) return;
  // The editor's frame (drawLock) and its idle rebuild (dspLock) read the rate without the mutex.
  SemLockAcquire(s.drawLock);
  SemLockAcquire(s.dspLock);
  e.mSampleRate = rate;
  s.sampleRate = rate;
  SemLockRelease(s.dspLock);
  SemLockRelease(s.drawLock);
  ResetDsp(host, e, s, 0, host.ParamValue(kParamInputBufferSize),
           host.ParamValue(kParamResolution));
  SemLockAcquire(s.drawLock);
  SemLockAcquire(s.dspLock);
  s.captureLength = CaptureLength(rate);
  s.captureWritePos = 0;
  s.analysisPlan->initialised = 0;
  SemLockRelease(s.dspLock);
  SemLockRelease(s.drawLock);
}

namespace
{
double* CreateColumns()
{
  return static_cast<double*>(std::calloc(kDisplayColumns, sizeof(double)));
}

void FreeColumns(double*& a)
{
  std::free(a);
  a = nullptr;
}

SemLock* CreateSemLock()
{
  SemLock* lock = new SemLock;
  if (!SemLockInit(lock))
  {
    delete lock;
    return nullptr;
  }
  return lock;
}

void FreeSemLock(SemLock*& lock)
{
  if (!lock) return;
  SemLockDestroy(lock);
  delete lock;
  lock = nullptr;
}

void FreePlan(FftPlan*& plan)
{
  if (plan) fftp_plan_free(plan);
  plan = nullptr;
}
} // namespace

bool CreateEngine(DspHost& host, TarvexEngine& e, DspState& s)
{
  std::memset(static_cast<void*>(&e), 0, sizeof(TarvexEngine));
  s.host = &host;
  double rate = host.SampleRate();
  if (!(rate > 0.0) || !std::isfinite(rate)) rate = 44100.0;
  e.mSampleRate = rate;
  s.sampleRate = rate;
  s.fftSizeRef = &e.mFftSize;
  s.kernelLengthRef = &e.mKernelLength;

  s.captureLength = CaptureLength(rate);
  s.captureWritePos = 0;
  s.captureChanged = 0;
  for (int c = 0; c < 2; ++c)
  {
    s.captureRing[c] = CreateEngineArray();
    s.captureSpectrum[c] = CreateEngineArray();
  }
  // The display's arrays are written by the display alone, when it analyses (the window included),
  // so an instance whose editor never opens leaves their pages untouched.
  s.captureWindow = CreateEngineArray();
  s.captureWindowLength = 0;
  s.analysisPlan = fftp_plan();

  for (int k = 0; k < 3; ++k) s.spectrumColumns[k] = CreateColumns();
  s.kernelColumns = CreateColumns();
  s.displayCurve = CreateColumns();
  s.displayCurveCopy = CreateColumns();
  s.curveChanged = 0;

  s.curveLock = CreateSemLock();
  s.drawLock = CreateSemLock();
  s.dspLock = CreateSemLock();

  std::memset(static_cast<void*>(s.bandTable), 0, sizeof(s.bandTable));
  std::memset(static_cast<void*>(s.sortedPoints), 0, sizeof(s.sortedPoints));
  s.sortedCount = 0;
  std::memset(static_cast<void*>(s.displayPoints), 0, sizeof(s.displayPoints));
  std::memset(static_cast<void*>(s.displayPointsCopy), 0, sizeof(s.displayPointsCopy));
  s.displayPointCount = s.displayPointCountCopy = 0;
  BandsFromParams(host, s.bandTable);
  for (int i = 0; i < kBandCount; ++i)
  {
    s.bandTable[i].bandIndex = i;
    s.bandTable[i].resetFreq = s.bandTable[i].on ? s.bandTable[i].freq : -1.0;
  }
  s.idleFrames = 0;
  // No display has drawn yet: nothing is captured until one does.
  s.samplesSinceDraw = INT32_MAX;
  s.limiterEnvelope = 0.0;
  s.limiterTime = 0.0;
  s.limiterLight = 0.0;

  s.synth = &e.synth;
  s.kernelChanged = 0;
  e.mConvKernel = CreateEngineArray();
  s.convKernelRef = e.mConvKernel;
  for (int c = 0; c < 2; ++c)
  {
    e.mInput[c] = CreateEngineArray();
    e.mRing[c] = CreateEngineArray();
    e.mBlock[c] = CreateEngineArray();
  }
  e.mConvPlan = fftp_plan();
  e.mStereoPlan = fftp_plan_sharing(e.mConvPlan);
  // Kernel syntheses and block steps both run under the dsp lock, with real transforms of N
  // points: one plan (and its pair of work arrays) serves both, the synthesis writes the kernel in
  // place, and a transform buffer of the block steps, which holds nothing between them, is its
  // scratch.
  e.synth.spectrum = e.mConvKernel;
  e.synth.ownsSpectrum = false;
  e.synth.plan = e.mConvPlan;
  e.synth.ownsPlan = false;
  e.synth.scratch = e.mBlock[0];
  e.synth.ownsScratch = false;

  bool ok = s.captureWindow && s.analysisPlan && s.kernelColumns && s.displayCurve &&
            s.displayCurveCopy && s.curveLock && s.drawLock && s.dspLock && e.mConvKernel &&
            e.mConvPlan && e.mStereoPlan;
  for (int c = 0; c < 2; ++c)
    ok = ok && s.captureRing[c] && s.captureSpectrum[c] && e.mInput[c] && e.mRing[c] && e.mBlock[c];
  for (int k = 0; k < 3; ++k) ok = ok && s.spectrumColumns[k];
  if (!ok) DestroyEngine(e, s);
  return ok;
}

void DestroyEngine(TarvexEngine& e, DspState& s)
{
  KernelSynthFree(&e.synth);
  for (int c = 0; c < 2; ++c)
  {
    FreeEngineArray(s.captureRing[c]);
    FreeEngineArray(s.captureSpectrum[c]);
    FreeEngineArray(e.mInput[c]);
    FreeEngineArray(e.mRing[c]);
    FreeEngineArray(e.mBlock[c]);
  }
  FreeEngineArray(s.captureWindow);
  FreeEngineArray(e.mConvKernel);
  FreePlan(s.analysisPlan);
  FreePlan(e.mStereoPlan); // before the plan whose arrays it shares
  FreePlan(e.mConvPlan);
  for (int k = 0; k < 3; ++k) FreeColumns(s.spectrumColumns[k]);
  FreeColumns(s.kernelColumns);
  FreeColumns(s.displayCurve);
  FreeColumns(s.displayCurveCopy);
  FreeSemLock(s.curveLock);
  FreeSemLock(s.drawLock);
  FreeSemLock(s.dspLock);
  s.host = nullptr;
  s.synth = nullptr;
  s.convKernelRef = nullptr;
  s.fftSizeRef = nullptr;
  s.kernelLengthRef = nullptr;
  e.mFftSize = 0;
}

int ListEngineBuffers(const TarvexEngine& e, const DspState& s, EngineBuffer* out)
{
  constexpr size_t kArray = sizeof(double) * kEngineArrayLength;
  constexpr size_t kPlanArray = sizeof(double) * kFftPlanWorkLength;
  int count = 0;
  const auto add = [&](const char* name, const void* data, size_t bytes)
  {
    if (count < kMaxEngineBuffers) out[count++] = EngineBuffer{name, data, bytes};
  };
  const auto addPlan = [&](const char* work, const char* scratch, const FftPlan* plan)
  {
    add(work, plan ? plan->work : nullptr, kPlanArray);
    add(scratch, plan ? plan->scratch : nullptr, kPlanArray);
  };
  add("input left", e.mInput[0], kArray);
  add("input right", e.mInput[1], kArray);
  add("ring left", e.mRing[0], kArray);
  add("ring right", e.mRing[1], kArray);
  add("block 0 (synth scratch)", e.mBlock[0], kArray);
  add("block 1", e.mBlock[1], kArray);
  add("convolution kernel", e.mConvKernel, kArray);
  add("synth window", e.synth.window, kArray);
  if (e.synth.ownsSpectrum) add("synth spectrum", e.synth.spectrum, kArray);
  if (e.synth.ownsScratch) add("synth scratch", e.synth.scratch, kArray);
  // The stereo plan works in the convolution plan's arrays.
  addPlan("conv+stereo plan work", "conv+stereo plan scratch", e.mConvPlan);
  if (e.synth.ownsPlan) addPlan("synth plan work", "synth plan scratch", e.synth.plan);
  add("capture ring left", s.captureRing[0], kArray);
  add("capture ring right", s.captureRing[1], kArray);
  add("capture spectrum left", s.captureSpectrum[0], kArray);
  add("capture spectrum right", s.captureSpectrum[1], kArray);
  add("capture window", s.captureWindow, kArray);
  addPlan("analysis plan work", "analysis plan scratch", s.analysisPlan);
  return count;
}
