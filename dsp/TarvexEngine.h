// The audio path of one Tarvex instance: input gathered into blocks of B samples, each block
// convolved with the kernel by FFT of length N (overlap-add) into an output ring, played out at a
// fixed latency of B + L/2 samples, then limited. Also the choice of L, N and B, the DSP reset, the
// host notifications and the engine's share of construction and destruction.
//
// Threads: ProcessEngineFrames runs on the audio thread and takes the instance's dspLock; resets
// take drawLock then dspLock. Construction, destruction and host notifications run under the
// plug-in mutex. The editor's thread uses the engine without the mutex, through these locks only
// (RebuildKernelIfChanged in the idle rule, the hand-off reads of Analysis.h). The engine never
// allocates in steady-state processing; buffers are created at construction and never resized. It
// reaches the plug-in that owns it only through a DspHost (DspHost.h).
//
// Memory: only the state that lives from one call to the next is kept per purpose (the gathered
// input, the output ring, the kernel). A block step works in the transform buffers, which hold
// nothing between block steps and also serve the kernel synthesis; a rebuild rewrites the kernel in
// place between the two halves of its cross-fade, so no second kernel is kept.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/Fft.h"
#include "dsp/KernelSynth.h"

class DspHost;
struct DspState;

// Largest transform length; blocks and kernels are sized so that N never exceeds it.
constexpr int kMaxFftSize = 64000;
// Columns of every per-column display array.
constexpr int kDisplayColumns = 512;

// Longest run ProcessEngineFrames hands to one block step's gathering and play-out (fewer when B
// is shorter). The output ring needs N values plus one run.
constexpr int kMaxRunFrames = 2048;

// High-water marks of the engine's arrays (EngineArrays.h): values from index 0 that may be
// non-zero since the array was last cleared, raised as the arrays are written. The reset's
// clearing zeroes exactly those values, so a smaller configuration after a larger one starts from
// silence while pages no configuration wrote stay untouched.
struct DspExtents
{
  int32_t input[2];
  int32_t ring[2];
};

struct TarvexEngine
{
  double mSampleRate; // Hz, the rate the engine is configured for
  int32_t mLatency;   // B + L/2 samples, as reported to the host
  // Kernel synthesis into mConvKernel, with the convolution plan and mBlock[0] lent as its plan and
  // scratch (all used under the dsp lock only).
  KernelSynth synth;
  // The kernel spectrum in use, half-complex, N values. Only a synthesis writes it (under the dsp
  // lock); the display reads it under the same lock (KernelResponseColumns).
  double* mConvKernel;
  int32_t mKernelLength; // L, odd
  // Per channel: the block being gathered, B samples, then zeros up to N (the transforms read the
  // block zero-padded from here; nothing writes beyond B).
  double* mInput[2];
  int32_t mBlockSize; // B = N - L + 1
  int32_t mInputFill; // samples gathered so far, 0 .. B - 1 between calls
  int32_t mFftSize;   // N
  // Transform buffers of a block step, N values each: the convolved block before it goes into
  // the ring (mBlock[1] only for the joint stereo transform), and a cross-fade's faded copy of the
  // block. They hold nothing between block steps: every use writes all N values first.
  double* mBlock[2];
  FftPlan* mConvPlan;
  // Complex transform of both channels' blocks at once (FftConvolveStereo); it shares mConvPlan's
  // work arrays (the two never transform at the same time) and holds its own tables.
  FftPlan* mStereoPlan;
  // Per channel: output ring the block results go into. Values played out stay until the next
  // block result that reaches them is stored over them.
  double* mRing[2];
  int32_t mWriteOffset; // distance from the read position to where the next block result starts
  int32_t mRunLength;   // longest run: min(B, kMaxRunFrames)
  int32_t mRingSize;    // N + mRunLength
  int32_t mReadPos;     // next ring position to play out
  // A block has been convolved since construction or the last reset. Until then the ring holds
  // nothing of an earlier kernel, so a pending rebuild takes over without a cross-fade.
  bool mBlockConvolved;
  // The last run gathered and played both channels: the second channel's input and ring belong to
  // this stream. Cleared by a mono run; the next stereo run then clears them first.
  bool mSecondChannelLive;
  DspExtents mExtents;
};

// Smallest of the 36 transform lengths (only prime factors 2, 3, 5) that is >= m; 64000 above
// 61440.
int NiceSize(int m);
// Odd kernel length for a sample rate and a Resolution value (1025 taps at 44.1 kHz and resolution
// 1).
int KernelLength(double sampleRate, double resolution);
// N for a host block (0: chosen from the Input Buffer Size), a kernel length and an Input Buffer
// Size.
int FftSizeFor(int hostBlock, int kernelLength, double inputBufferSize);
// Length of the input capture for the display's spectrum: 8000 at 44.1 kHz.
int CaptureLength(double sampleRate);
// Whether blocks of transform length n run through the joint stereo transform (FftConvolveStereo)
// when both channels are connected; otherwise each channel goes through FftConvolveReal.
bool StereoTransformPays(int n);
// Multiplies length values by a raised cosine from 1 to 0 (fadeOut) or from 0 to 1; the two add
// to 1.
void FadeWindow(double* buffer, int length, bool fadeOut);

// One large buffer of an instance, for memory accounting (tools and tests): its storage and size in
// bytes. Buffers that several names share are listed once.
struct EngineBuffer
{
  const char* name;
  const void* data;
  size_t bytes;
};
// Most buffers ListEngineBuffers writes.
constexpr int kMaxEngineBuffers = 40;
// Writes every large buffer of the engine, its kernel synthesis, its FFT plans and the display
// hand-off to out (null pointers included) and returns their number. Reads pointers only; any
// thread.
int ListEngineBuffers(const TarvexEngine& engine, const DspState& state, EngineBuffer* out);

// Engine part of construction, after the parameters and the instance slot exist: creates every
// array, plan and lock of the engine and the slot, fills the band table from the parameters and
// points state.host at host. The caller then reads the preferences and calls ConfigureDsp(host,
// engine, state, 0, ...). False when memory or a lock could not be had (the engine then processes
// nothing and passes silence).
bool CreateEngine(DspHost& host, TarvexEngine& engine, DspState& state);
// Releases everything CreateEngine made; the slot keeps no dangling pointer.
void DestroyEngine(TarvexEngine& engine, DspState& state);

// Chooses L, N and B, rebuilds the kernel from the band table as it is and reports the latency. No
// locks: construction, or inside ResetDsp.
void ConfigureDsp(DspHost& host, TarvexEngine& engine, DspState& state, int hostBlock,
                  double inputBufferSize, double resolution);
// ConfigureDsp under drawLock and dspLock after clearing every buffer (the audio in flight is
// lost: every value a configuration since the last clear may have written is zeroed), and writes
// the "Delay: ..." readout into the label line.
void ResetDsp(DspHost& host, TarvexEngine& engine, DspState& state, int hostBlock,
              double inputBufferSize, double resolution);

// ResetDsp only when neither lock is held (the editor is not drawing); never waits. False when it
// did nothing.
bool TryResetDsp(DspHost& host, TarvexEngine& engine, DspState& state, int hostBlock,
                 double inputBufferSize, double resolution);

// Audio thread: processes frames samples of one channel (second input not connected) or two. A call
// longer than mRunLength runs as consecutive runs of at most mRunLength frames, with the output of
// a host that sent those runs one by one, so the latency depends only on Resolution, Input Buffer
// Size and the sample rate. Non-finite input samples are taken as silence. Runs with subnormal
// numbers flushed to zero (the caller's floating-point control word is restored on return). A
// kernel rebuild cross-fades over one block from the kernel that was playing; the first block after
// construction or a reset has none to fade from and uses the settings it finds from its first
// sample.
void ProcessEngineFrames(DspHost& host, TarvexEngine& engine, DspState& state, double** inputs,
                         double** outputs, int frames);

// Host reset: at a new (positive, finite) sample rate, resets the DSP and the capture; otherwise
// nothing.
void EngineHostReset(DspHost& host, TarvexEngine& engine, DspState& state);

// Pending kernel rebuild, if paramsChanged is set: maps parameters to bands (or bands back to
// parameters after an edit in the display) and synthesises the new kernel into the convolution
// kernel, setting kernelChanged. Caller holds dspLock. True when it rebuilt.
bool RebuildKernelIfChanged(DspHost& host, DspState& state);

// Band table from the current parameter values.
void BandsFromParams(const DspHost& host, BandPoint* bandTable);
// Band parameters from the band table after an edit in the display, handed to
// host.TakeEditedBandParams, which stores and shows them.
void ParamsFromBands(DspHost& host, DspState& state);
