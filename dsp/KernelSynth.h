// Frequency-sampling design of the linear-phase convolution kernel from the band curve.
//
// The curve is sampled on the bins of a length-N transform, given the phase of a delay of L/2
// samples, cut to L samples under a Blackman window and transformed back: the result is the kernel
// spectrum H in half-complex layout such that backward(forward(x) * H) is x filtered at unit scale
// and delayed by L/2. L is odd, 1 <= L <= N - 127, N <= 64000. Audio thread at block boundaries and
// resets, or the display thread while audio is idle; the caller holds the instance's dsp lock.
#pragma once

#include <cstdint>

#include "dsp/BandCurve.h"
#include "dsp/Fft.h"
#include "dsp/SemLock.h"

struct KernelSynth
{
  // Where the kernel spectrum is built (N values): the synth's own, or lent by an owner that keeps
  // the kernel there (the engine lends its convolution kernel, which a synthesis rewrites in place;
  // the kernel that was playing is gone afterwards). Null until the first synthesis.
  double* spectrum;
  bool ownsSpectrum;
  double* window; // Blackman window of length L, the synth's own; null until the first synthesis
  // Both directions, one transform at a time. Null before the first synthesis, which then creates
  // one; an owner may instead lend a plan of its own that no other thread uses during syntheses
  // (the engine lends its convolution plan: both run under the dsp lock, at the same length).
  FftPlan* plan;
  bool ownsPlan; // the plan is the synth's own, freed by KernelSynthFree
  // Scratch of N values (the delay's spectrum, then the transforms' target), so a rebuild
  // allocates nothing; lent like the plan (the engine lends a transform buffer of its block steps,
  // which holds nothing between them). Every synthesis writes it before reading it.
  double* scratch;
  bool ownsScratch;
  // High-water mark of spectrum: values from index 0 that may be non-zero since the last reset
  // (the largest N used). A reset clears exactly these.
  int32_t usedLength;
};

// Creates what the owner has not lent (spectrum, scratch, plan) and the window, and prepares the
// window. False when memory is exhausted (the synth is then left without arrays).
bool KernelSynthInit(KernelSynth* synth, int kernelLength, int fftSize);
// Prepares an existing synth for new L and N: zeroes spectrum (every value written since the last
// reset), rebuilds the window and clears the plan's flag. Nothing is released or recreated.
void KernelSynthReset(KernelSynth* synth, int kernelLength, int fftSize);
// Releases everything the synth owns; the synth reads as never initialised afterwards.
void KernelSynthFree(KernelSynth* synth);

// Builds the kernel spectrum in synth->spectrum from the band table and rewrites the display curve
// (columns amplitudes in reverse column order) under curveLock, setting *curveChanged. Writes n,
// the number of bands that are on, to *sortedCount. When shownPoints is given, the sorted points
// (kSortedPointCount records) and n are copied there and to *shownCount under the same lock: the
// display draws the points from that copy, never from sortedPoints, which a later rebuild rewrites.
void SynthesizeKernel(KernelSynth* synth, BandPoint* bandTable, BandPoint* sortedPoints,
                      int kernelLength, int fftSize, double sampleRate, double* displayCurve,
                      int32_t* curveChanged, SemLock* curveLock, int columns, int32_t* sortedCount,
                      BandPoint* shownPoints = nullptr, int32_t* shownCount = nullptr);

// w[k - 1] = 0.42 - 0.5 cos(2 pi k / (L + 1)) + 0.08 cos(4 pi k / (L + 1)) for k = 1 .. L, with 2
// pi and 4 pi rounded to single precision; the centre value of an odd L is 1.
void BlackmanWindow(double* w, int length);
