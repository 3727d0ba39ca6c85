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

// The unit-magnitude spectrum of a delay of L/2 samples into delay (fftSize values), transformed in
// place: the impulse's spectrum divided by its DC value.
void BuildDelaySpectrum(double* delay, int kernelLength, int fftSize, FftPlan* plan)
{
  ZeroValues(delay, fftSize);
  delay[kernelLength / 2] = 1.0;
  fftp(delay, delay, fftSize, kFftForward, plan);
  const double dc = delay[0];
  for (int j = 0; j < fftSize; ++j) delay[j] = dc != 0.0 ? delay[j] / dc : 0.0;
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
  (void)fftSize;
  synth->window = CreateEngineArray();
  if (!synth->spectrum)
  {
    synth->spectrum = CreateEngineArray();
    synth->ownsSpectrum = true;
  }
  if (!synth->scratch)
  {
    synth->scratch = CreateEngineArray();
    synth->ownsScratch = true;
  }
  if (!synth->plan)
  {
    synth->plan = fftp_plan();
    synth->ownsPlan = true;
  }
  if (!synth->spectrum || !synth->window || !synth->scratch || !synth->plan)
  {
    KernelSynthFree(synth);
    return false;
  }
  BlackmanWindow(synth->window, kernelLength);
  return true;
}

void KernelSynthReset(KernelSynth* synth, int kernelLength, int fftSize)
{
  (void)fftSize;
  ClearToExtent(synth->spectrum, synth->usedLength);
  synth->plan->initialised = 0;
  BlackmanWindow(synth->window, kernelLength);
}

void KernelSynthFree(KernelSynth* synth)
{
  if (synth->ownsSpectrum) FreeEngineArray(synth->spectrum);
  synth->spectrum = nullptr;
  synth->ownsSpectrum = false;
  FreeEngineArray(synth->window);
  if (synth->ownsScratch) FreeEngineArray(synth->scratch);
  synth->scratch = nullptr;
  synth->ownsScratch = false;
  synth->usedLength = 0;
  if (synth->plan && synth->ownsPlan) fftp_plan_free(synth->plan);
  synth->plan = nullptr;
  synth->ownsPlan = false;
}

void SynthesizeKernel(KernelSynth* synth, BandPoint* bandTable, BandPoint* sortedPoints,
                      int kernelLength, int fftSize, double sampleRate, double* displayCurve,
                      int32_t* curveChanged, SemLock* curveLock, int columns, int32_t* sortedCount,
                      BandPoint* shownPoints, int32_t* shownCount)
{
  if (!synth->window && !KernelSynthInit(synth, kernelLength, fftSize)) return;
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
  // delay's spectrum is made in scratch for each synthesis (one transform), which then takes the
  // backward transform; in-place and out-of-place transforms give the same results.
  double* scratch = synth->scratch;
  BuildDelaySpectrum(scratch, kernelLength, n, synth->plan);
  HalfComplexMultiply(scratch, spectrum, spectrum, n);
  fftp(spectrum, scratch, n, kFftBackward, synth->plan);
  for (int j = 0; j < kernelLength; ++j) spectrum[j] = scratch[j] * synth->window[j];
  ZeroValues(spectrum + kernelLength, n - kernelLength);
  fftp(spectrum, spectrum, n, kFftForward, synth->plan);
}
