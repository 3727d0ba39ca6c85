// The audio path of one Tarvex instance: input gathered into blocks of B samples, each block
// convolved with the kernel by FFT of length N (overlap-add) into an output ring, played out at a
// fixed latency of B + L/2 samples, then limited. Also the choice of L, N and B, the DSP reset, the
// host notifications and the engine's share of construction and destruction.
//
// Threads: ProcessEngineFrames runs on the audio thread and takes the instance's dspLock; resets
// take drawLock then dspLock. Construction, destruction and host notifications run under the
// plug-in mutex. The editor's thread uses the engine without the mutex, through these locks only
// (RebuildKernelIfChanged in the idle rule, the hand-off copies). The engine never allocates in
// steady-state processing; buffers are created at construction and never resized. It reaches the
// plug-in that owns it only through a DspHost (DspHost.h).
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

// High-water marks of the engine's arrays (EngineArrays.h): values from index 0 that may be
// non-zero since the array was last cleared. ConfigureDsp raises them to the lengths its sizes use;
// the reset's clearing zeroes exactly those values, so a smaller configuration after a larger one
// starts from silence while pages no configuration used stay untouched.
struct DspExtents
{
  int32_t savedInput;
  int32_t convKernel;
  int32_t input[2];
  int32_t carry[2];
  int32_t work;
  int32_t ring[2];
};

struct TarvexEngine
{
  double mSampleRate; // Hz, the rate the engine is configured for
  int32_t mLatency;   // B + L/2 samples, as reported to the host
  KernelSynth synth;
  double* mSavedInput;   // copy of an input block during a cross-fade
  double* mConvKernel;   // kernel spectrum the convolution uses, half-complex, N values
  int32_t mKernelLength; // L, odd
  double* mInput[2];     // per channel: the block being gathered (B samples, then zeros up to N)
  int32_t mBlockSize;    // B = N - L + 1
  int32_t mInputFill;    // samples gathered so far, 0 .. B
  double* mCarry[2];     // per channel: samples of a call that did not fit into the current block
  int32_t mCarryCount;
  int32_t mCarryCapacity;
  int32_t mFftSize; // N
  double* mWork;    // transform output
  FftPlan* mConvPlan;
  FftPlan* mStereoPlan; // complex transform of both channels' blocks at once (FftConvolveStereo)
  double* mRing[2];     // per channel: output ring the block results are added into
  int32_t mWriteOffset; // distance from the read position to where the next block result starts
  int32_t mRingSize;    // B + N
  int32_t mReadPos;     // next ring position to play out
  // A block has been convolved since construction or the last reset. Until then the ring holds
  // nothing of an earlier kernel, so a pending rebuild takes over without a cross-fade.
  bool mBlockConvolved;
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
// longer than B runs as consecutive runs of at most B frames, with the output of a host that sent
// those runs one by one, so the latency depends only on Resolution, Input Buffer Size and the
// sample rate. Non-finite input samples are taken as silence. Runs with subnormal numbers flushed
// to zero (the caller's floating-point control word is restored on return). A kernel rebuild
// cross-fades over one block from the kernel that was playing; the first block after construction
// or a reset has none to fade from and uses the settings it finds from its first sample.
void ProcessEngineFrames(DspHost& host, TarvexEngine& engine, DspState& state, double** inputs,
                         double** outputs, int frames);

// Host reset: at a new (positive, finite) sample rate, resets the DSP and the capture; otherwise
// nothing.
void EngineHostReset(DspHost& host, TarvexEngine& engine, DspState& state);

// Pending kernel rebuild, if paramsChanged is set: maps parameters to bands (or bands back to
// parameters after an edit in the display), keeps the old spectrum in synth.previous, synthesises
// and publishes the new kernel into the convolution kernel. Caller holds dspLock. True when it
// rebuilt.
bool RebuildKernelIfChanged(DspHost& host, DspState& state);

// Band table from the current parameter values.
void BandsFromParams(const DspHost& host, BandPoint* bandTable);
// Band parameters from the band table after an edit in the display, handed to
// host.TakeEditedBandParams, which stores and shows them.
void ParamsFromBands(DspHost& host, DspState& state);
