#include "dsp/KernelSynth.h"

#include <cmath>
#include <cstring>

#include "dsp/EngineArrays.h"
#include "dsp/SharedFlags.h"

namespace
{
// ceil(v) limited to [lo, hi]; NaN gives lo. Keeps bin and column ranges inside the arrays whatever
// the band frequencies or the sample rate.
int ClampedCeil(double v, int lo, int hi)
{
  if (!(v > lo)) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(std::ceil(v));
}

void ZeroValues(double* a, int count)
{
  std::memset(a, 0, sizeof(double) * count);
}

void BuildDelaySpectrum(KernelSynth* synth, int kernelLength, int fftSize)
{
  RaiseExtent(synth->usedLength, fftSize);
  double* delay = synth->delaySpectrum;
  delay[kernelLength / 2] = 1.0;
  // The plan's flag is clear here (fresh plan or just reset), so it is set up for fftSize.
  fftp(delay, synth->scratch, fftSize, kFftForward, synth->forwardPlan);
  const double dc = synth->scratch[0];
  for (int j = 0; j < fftSize; ++j) delay[j] = dc != 0.0 ? synth->scratch[j] / dc : 0.0;
}
} // namespace

void BlackmanWindow(double* w, int length)
{
  const double twoPi = 6.2831854820251465;
  const double fourPi = 12.566370964050293;
  for (int k = 1; k <= length; ++k)
  {
    w[k - 1] = 0.42 - 0.5 * std::cos(k * twoPi / (length + 1)) +
               0.08 * std::cos(k * fourPi / (length + 1));
  }
}

bool KernelSynthInit(KernelSynth* synth, int kernelLength, int fftSize)
{
  synth->spectrum = CreateEngineArray();
  synth->previous = CreateEngineArray();
  synth->delaySpectrum = CreateEngineArray();
  synth->window = CreateEngineArray();
  synth->scratch = CreateEngineArray();
  synth->forwardPlan = fftp_plan();
  synth->inversePlan = fftp_plan();
  if (!synth->spectrum || !synth->previous || !synth->delaySpectrum || !synth->window ||
      !synth->scratch || !synth->forwardPlan || !synth->inversePlan)
  {
    KernelSynthFree(synth);
    return false;
  }
  BuildDelaySpectrum(synth, kernelLength, fftSize);
  BlackmanWindow(synth->window, kernelLength);
  return true;
}

void KernelSynthReset(KernelSynth* synth, int kernelLength, int fftSize)
{
  // The three arrays share one mark: clear each to it, then lower it.
  int32_t extent = synth->usedLength;
  ClearToExtent(synth->spectrum, extent);
  extent = synth->usedLength;
  ClearToExtent(synth->previous, extent);
  ClearToExtent(synth->delaySpectrum, synth->usedLength);
  synth->forwardPlan->initialised = 0;
  synth->inversePlan->initialised = 0;
  BuildDelaySpectrum(synth, kernelLength, fftSize);
  BlackmanWindow(synth->window, kernelLength);
}

void KernelSynthFree(KernelSynth* synth)
{
  FreeEngineArray(synth->spectrum);
  FreeEngineArray(synth->previous);
  FreeEngineArray(synth->delaySpectrum);
  FreeEngineArray(synth->window);
  FreeEngineArray(synth->scratch);
  synth->usedLength = 0;
  if (synth->forwardPlan) fftp_plan_free(synth->forwardPlan);
  if (synth->inversePlan) fftp_plan_free(synth->inversePlan);
  synth->forwardPlan = nullptr;
  synth->inversePlan = nullptr;
}

void SynthesizeKernel(KernelSynth* synth, BandPoint* bandTable, BandPoint* sortedPoints,
                      int kernelLength, int fftSize, double sampleRate, double* displayCurve,
                      int32_t* curveChanged, SemLock* curveLock, int columns, int32_t* sortedCount,
                      BandPoint* shownPoints, int32_t* shownCount)
{
  if (!synth->spectrum && !KernelSynthInit(synth, kernelLength, fftSize)) return;
  RaiseExtent(synth->usedLength, fftSize);
  double* spectrum = synth->spectrum;
  const int n = fftSize;
  const int last = (n + 1) / 2;

  const int count = SortBandPoints(bandTable, sortedPoints);
  SetControlPoints(sortedPoints, count);
  *sortedCount = count;

  SemLockAcquire(curveLock);
  for (int i = 0; i <= count; ++i)
  {
    const int firstBin = ClampedCeil(n * sortedPoints[i].freq / sampleRate, 1, last);
    const int endBin = ClampedCeil(n * sortedPoints[i + 1].freq / sampleRate, 0, last);
    for (int j = firstBin; j < endBin; ++j)
    {
      const double x = LogPos(j * sampleRate / n, 20.0, 20000.0);
      spectrum[j] = AmpFromCurveDb(EvalCurve(sortedPoints, i, x));
    }
    const int firstColumn = ClampedCeil(columns * sortedPoints[i].logPos, 0, columns);
    const int endColumn = ClampedCeil(columns * sortedPoints[i + 1].logPos, 0, columns);
    for (int l = firstColumn; l < endColumn; ++l)
    {
      displayCurve[columns - 1 - l] =
          AmpFromCurveDb(EvalCurve(sortedPoints, i, static_cast<double>(l) / columns));
    }
  }
  if (shownPoints && shownCount)
  {
    std::memcpy(static_cast<void*>(shownPoints), sortedPoints,
                sizeof(BandPoint) * kSortedPointCount);
    *shownCount = count;
  }
  StoreFlag(*curveChanged, 1);
  SemLockRelease(curveLock);

  const int leftEnd = ClampedCeil(n * sortedPoints[0].freq / sampleRate, 0, last);
  const double leftAmp = AmpFromCurveDb(sortedPoints[0].gain);
  for (int j = 0; j < leftEnd; ++j) spectrum[j] = leftAmp;
  const int rightStart = ClampedCeil(n * sortedPoints[count + 1].freq / sampleRate, 0, last);
  const double rightAmp = AmpFromCurveDb(sortedPoints[count + 1].gain);
  for (int j = rightStart; j < last; ++j) spectrum[j] = rightAmp;
  ZeroValues(spectrum + last, n - last);

  // Zero-phase real response -> delay of L/2, to time, window to L taps, back to a spectrum. The
  // transforms run out of place through scratch; the results equal those of in-place calls.
  HalfComplexMultiply(synth->delaySpectrum, spectrum, spectrum, n);
  double* scratch = synth->scratch;
  fftp(spectrum, scratch, n, kFftBackward, synth->inversePlan);
  for (int j = 0; j < kernelLength; ++j) spectrum[j] = scratch[j] * synth->window[j];
  ZeroValues(spectrum + kernelLength, n - kernelLength);
  fftp(spectrum, scratch, n, kFftForward, synth->forwardPlan);
  std::memcpy(spectrum, scratch, sizeof(double) * n);
}

void CopyKernelForDisplay(const double* source, double* destination, int fftSize,
                          double* kernelCopy, SemLock* kernelLock, int32_t* kernelChanged)
{
  if (destination != source) std::memmove(destination, source, sizeof(double) * fftSize);
  SemLockAcquire(kernelLock);
  std::memcpy(kernelCopy, source, sizeof(double) * fftSize);
  StoreFlag(*kernelChanged, 1);
  SemLockRelease(kernelLock);
}
