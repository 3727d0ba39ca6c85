// The engine's share of an instance's state: change flags, the arrays and locks the audio thread
// hands over to the display, and the band tables. A plain record, zero-filled before first use
// (the plug-in's instance table embeds it in every slot); CreateEngine sets afresh every field it
// uses.
//
// Flags are set by their writer and cleared by their reader, through SharedFlags.h's atomic
// accesses. The audio thread and the display reach shared arrays only under the engine's locks.
#pragma once

#include <cstdint>
#include <type_traits>

#include "dsp/BandCurve.h"

class DspHost;
struct FftPlan;
struct KernelSynth;
struct SemLock;

struct DspState
{
  DspHost* host; // the owning plug-in's parameters and host notifications

  // Change flags (1 set, 0 clear).
  int32_t paramsChanged;   // a kernel rebuild is pending
  int32_t editedInDisplay; // the pending change came from editing in the display
  int32_t resetRequested; // Resolution or Input Buffer Size changed; reset at the next process call

  // Text of the label line at the top of the editor, under drawLock: a DSP reset writes its delay
  // readout here.
  char labelLineText[512];

  // Engine hand-off. Arrays of 133120 doubles unless a length is given; pairs are left, right.
  // Created by CreateEngine, freed by DestroyEngine. Per-column arrays hold 512 values in reverse
  // column order.
  double* captureRing[2]; // most recent input samples (audio thread, under dspLock)
  // The rings unwrapped into time order and windowed, then transformed in place into their
  // magnitude spectra (display).
  double* captureSpectrum[2];
  int32_t captureLength;       // length of rings and spectra
  int32_t captureWritePos;     // next ring position to write; the oldest sample sits there
  int32_t captureChanged;      // rings got samples since the last analysis
  FftPlan* analysisPlan;       // spectrum analysis, length captureLength (display)
  int32_t* fftSizeRef;         // the engine's N
  int32_t* kernelLengthRef;    // the engine's L
  double* convKernelRef;       // the engine's convolution kernel spectrum, under dspLock
  int32_t kernelChanged;       // the kernel was rewritten (set under dspLock)
  double* kernelColumns;       // 512: kernel magnitude per column
  double* captureWindow;       // Blackman window of captureWindowLength (display)
  int32_t captureWindowLength; // 0 until the display first analyses
  double* displayCurve;        // 512: curve amplitudes per column, under curveLock
  double* displayCurveCopy;    // 512: the display's copy of displayCurve
  int32_t curveChanged;        // displayCurve was rewritten
  double sampleRate;           // Hz, the engine's rate
  double* spectrumColumns[3];  // 512 each: spectrum per column, left, right, left + right
  KernelSynth* synth;          // the plug-in object's kernel synthesiser
  BandPoint bandTable[kBandCount];
  BandPoint sortedPoints[kSortedPointCount];
  int32_t sortedCount; // n, bands on in sortedPoints
  // sortedPoints and sortedCount as of the latest rebuild, published with displayCurve under
  // curveLock (curveChanged), and the display's copy of them, which it draws the points from.
  BandPoint displayPoints[kSortedPointCount];
  int32_t displayPointCount;
  BandPoint displayPointsCopy[kSortedPointCount];
  int32_t displayPointCountCopy;
  SemLock* curveLock;       // order: drawLock, dspLock, then curveLock
  SemLock* drawLock;        // a whole display frame, and DSP resets
  SemLock* dspLock;         // block processing, resets, the display's idle rebuild
  int32_t samplesSinceDraw; // samples processed since the display last drew (saturates)
  double limiterLight;      // overshoot above the limiter threshold, decayed by the display
  int32_t idleFrames;       // display frames since the last process call; 1000: idle handled
  double limiterEnvelope;   // linear amplitude
  double limiterTime;       // seconds
};

static_assert(std::is_trivial<DspState>::value,
              "DspState is zero-filled before first use: it must stay a plain record");
