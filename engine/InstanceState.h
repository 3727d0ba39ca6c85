// Per-instance record shared by the plug-in object, the engine and the editor, held in the
// process-wide instance table. Zero-filled when the table is created; the constructor sets afresh
// every field it uses.
//
// Flags are set by their writer and cleared by their reader. The audio thread and the editor reach
// shared arrays only under the engine's locks. The fields marked (main) are written by host calls
// under the plug-in mutex and used by the editor thread, which draws without the mutex: the scalar
// ones are read and written with SharedFlags.h's atomic accesses, the label text under drawLock.
#pragma once

#include <cstdint>
#include <type_traits>

#include "editor/EditorViewState.h"
#include "engine/BandCurve.h"

class IPlugBase;
class IGraphics;
struct FftPlan;
struct KernelSynth;
struct SemLock;

struct InstanceState
{
  uint8_t inUse;   // slot taken; first field of the record
  IPlugBase* plug; // owning plug-in object

  // Change flags (1 set, 0 clear).
  int32_t paramsChanged;   // a kernel rebuild is pending
  int32_t editedInDisplay; // the pending change came from editing in the display
  int32_t resetRequested; // Resolution or Input Buffer Size changed; reset at the next process call

  // Editor view state (main).
  IGraphics* graphics;     // the editor's graphics object, null while there is none
  int32_t colourScheme;    // Colour parameter truncated to an integer
  double colourGain;       // Colour Gain parameter
  int32_t prefsFrameCount; // editor frames since the last change of a global setting
  int32_t prefsDirty;      // a preferences write is pending
  double revealTimer;      // display reveal animation; restarted by band parameter changes
  char labelLineText[512]; // text of the label line at the top of the editor

  // Engine hand-off. Arrays of 133120 doubles unless a length is given; pairs are left, right.
  // Created by CreateEngine, freed by DestroyEngine. Per-column arrays hold 512 values in reverse
  // column order.
  double* captureRing[2];     // most recent input samples (audio thread, under dspLock)
  double* captureLinear[2];   // rings unwrapped into time order and windowed (display)
  double* captureSpectrum[2]; // magnitude spectra of captureLinear (display)
  int32_t captureLength;      // length of rings and spectra
  int32_t captureWritePos;    // next ring position to write; the oldest sample sits there
  int32_t captureChanged;     // rings got samples since the last analysis
  FftPlan* analysisPlan;      // spectrum analysis, length captureLength (display)
  double* kernelCopy;         // kernel spectrum as last published, under kernelLock
  double* kernelCopyWork;     // display's working copy of kernelCopy
  int32_t* fftSizeRef;        // the engine's N
  int32_t* kernelLengthRef;   // the engine's L
  double* convKernelRef;      // the engine's convolution kernel spectrum
  int32_t kernelChanged;      // kernelCopy was rewritten
  double* kernelColumns;      // 512: kernel magnitude per column
  double* captureWindow;      // Blackman window of captureLength
  double* displayCurve;       // 512: curve amplitudes per column, under curveLock
  double* displayCurveCopy;   // 512: the display's copy of displayCurve
  int32_t curveChanged;       // displayCurve was rewritten
  double sampleRate;          // Hz, the engine's rate
  double* spectrumColumns[3]; // 512 each: spectrum per column, left, right, left + right
  KernelSynth* synth;         // the plug-in object's kernel synthesiser
  BandPoint bandTable[kBandCount];
  BandPoint sortedPoints[kSortedPointCount];
  int32_t sortedCount; // n, bands on in sortedPoints
  // sortedPoints and sortedCount as of the latest rebuild, published with displayCurve under
  // curveLock (curveChanged), and the display's copy of them, which it draws the points from.
  BandPoint displayPoints[kSortedPointCount];
  int32_t displayPointCount;
  BandPoint displayPointsCopy[kSortedPointCount];
  int32_t displayPointCountCopy;
  SemLock* kernelLock; // order: drawLock, dspLock, then curveLock or kernelLock
  SemLock* curveLock;
  SemLock* drawLock;        // a whole display frame, and DSP resets
  SemLock* dspLock;         // block processing, resets, the display's idle rebuild
  int32_t samplesSinceDraw; // samples processed since the display last drew (saturates)
  double limiterLight;      // overshoot above the limiter threshold, decayed by the display
  int32_t selectedBand;     // 0 .. 3, the band the panel's knobs show
  int32_t idleFrames;       // display frames since the last process call; 1000: idle handled
  double limiterEnvelope;   // linear amplitude
  double limiterTime;       // seconds

  // The display's own fields (editor thread).
  EditorViewState view;
};

static_assert(
    std::is_trivial<InstanceState>::value,
    "the instance table is allocated zero-filled: InstanceState must stay a plain record");
