#include "dsp/Analysis.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "dsp/BandCurve.h"
#include "dsp/DspState.h"
#include "dsp/EngineArrays.h"
#include "dsp/Fft.h"
#include "dsp/KernelSynth.h"
#include "dsp/SemLock.h"
#include "dsp/SharedFlags.h"
#include "dsp/TarvexEngine.h"

namespace
{
// Display frames without a process call after which the display takes over kernel rebuilds.
constexpr int32_t kIdleFramesBeforeTakeOver = 16;
// Marks that the idle handling (clearing the spectrum) has been done.
constexpr int32_t kIdleHandled = 1000;

double SafeSample(double x)
{
  return std::isfinite(x) ? x : 0.0;
}

// dst[i] = src[i], non-finite samples as 0. x - x is 0 exactly for finite x, NaN otherwise.
void CopyFinite(double* __restrict dst, const double* __restrict src, int count)
{
  for (int i = 0; i < count; ++i)
  {
    const double x = src[i];
    dst[i] = x - x == 0.0 ? x : 0.0;
  }
}

// Magnitude of bin k of a spectrum of length n after HalfComplexMagnitude; bins at or above
// (n + 1) / 2 hold no magnitude and read as 0, so low sample rates cannot read imaginary parts.
double MagnitudeAt(const double* m, int n, int k)
{
  return (k >= 0 && k < (n + 1) / 2) ? m[k] : 0.0;
}

// Magnitude of bin k of a half-complex spectrum of length n, as HalfComplexMagnitude computes it;
// bins at or above (n + 1) / 2 read as 0, as in MagnitudeAt.
double HalfComplexMagnitudeAt(const double* p, int n, int k)
{
  if (k < 0 || k >= (n + 1) / 2) return 0.0;
  if (k == 0) return std::fabs(p[0]);
  return std::sqrt(p[k] * p[k] + p[n - k] * p[n - k]);
}

// Floor of a fractional bin, limited to the array so a degenerate rate cannot index out of it.
int BinFloor(double b, int limit)
{
  if (!(b > 0.0)) return 0;
  if (b >= limit) return limit;
  return static_cast<int>(b);
}
} // namespace

void CaptureInput(DspState& s, double* const* inputs, int frames, int channels)
{
  const int32_t sinceDraw = LoadFlag(s.samplesSinceDraw);
  if (static_cast<double>(sinceDraw) < s.sampleRate && frames > 0)
  {
    const int n = s.captureLength;
    const double* left = inputs[0];
    const double* right = channels > 1 ? inputs[1] : inputs[0];
    if (frames <= n)
    {
      // Two straight runs (up to the ring's end, then from its start) that the compiler can
      // vectorise: this runs for every host block while the editor is open.
      const int pos = s.captureWritePos;
      const int first = frames < n - pos ? frames : n - pos;
      CopyFinite(s.captureRing[0] + pos, left, first);
      CopyFinite(s.captureRing[1] + pos, right, first);
      CopyFinite(s.captureRing[0], left + first, frames - first);
      CopyFinite(s.captureRing[1], right + first, frames - first);
      s.captureWritePos = pos + frames >= n ? pos + frames - n : pos + frames;
    }
    else
    {
      const int from = frames - n;
      for (int i = 0; i < n; ++i)
      {
        s.captureRing[0][i] = SafeSample(left[from + i]);
        s.captureRing[1][i] = SafeSample(right[from + i]);
      }
      s.captureWritePos = 0;
    }
    StoreFlag(s.captureChanged, 1);
  }
  else if (static_cast<double>(sinceDraw) < s.sampleRate)
  {
    StoreFlag(s.captureChanged, 1);
  }
  // Saturates instead of wrapping, so hours with the editor closed cannot restart the capture.
  const long long next = static_cast<long long>(sinceDraw) + (frames > 0 ? frames : 0);
  StoreFlag(s.samplesSinceDraw, next > INT32_MAX ? INT32_MAX : static_cast<int32_t>(next));
}

bool AnalyseCapture(DspState& s, int columns)
{
  // The audio thread writes the rings under dspLock. They are unwrapped under it too, taken
  // without waiting (a copy of two rings, microseconds): while processing holds it, the analysis
  // waits for a later frame and captureChanged stays set.
  if (!SemLockTryAcquire(s.dspLock)) return false;
  StoreFlag(s.captureChanged, 0);
  const int n = s.captureLength;
  const int w = s.captureWritePos;
  for (int c = 0; c < 2; ++c)
  {
    double* linear = s.captureSpectrum[c]; // time order, windowed, then transformed in place
    std::memcpy(linear, s.captureRing[c] + w, sizeof(double) * (n - w));
    std::memcpy(linear + (n - w), s.captureRing[c], sizeof(double) * w);
  }
  SemLockRelease(s.dspLock);

  for (int k = 0; k < 3; ++k) std::memset(s.spectrumColumns[k], 0, sizeof(double) * columns);
  // The window is the display's own, made for the capture length on first use (the frame holds
  // drawLock, so the length cannot change meanwhile).
  if (s.captureWindowLength != n)
  {
    BlackmanWindow(s.captureWindow, n);
    s.captureWindowLength = n;
  }
  for (int c = 0; c < 2; ++c)
  {
    double* spectrum = s.captureSpectrum[c];
    for (int i = 0; i < n; ++i) spectrum[i] *= s.captureWindow[i];
    fftp(spectrum, spectrum, n, kFftForward, s.analysisPlan);
    HalfComplexMagnitude(spectrum, n);
  }

  const double p = std::log(4.0) / std::log(10.0);
  const double sr = s.sampleRate;
  const double lowBin = n * 20.0 / sr;
  const double highBin = n * 20000.0 / sr;
  const int last = (n + 1) / 2;
  int e = 0;
  for (int i = 0; i < columns; ++i)
  {
    const double b = LogInterp(static_cast<double>(i) / (columns - 1), lowBin, highBin);
    const int end = BinFloor(LogInterp((i + 0.5) / (columns - 1), lowBin, highBin) + 0.5, last);
    double value[2];
    for (int c = 0; c < 2; ++c)
    {
      const double* m = s.captureSpectrum[c];
      if (end != e)
      {
        double sum = 0.0;
        for (int k = e; k <= end; ++k) sum += MagnitudeAt(m, n, k);
        value[c] = std::pow(b * sr / n, p) * sum;
      }
      else
      {
        const int lo = BinFloor(b, last);
        const int hi = BinFloor(std::ceil(b), last);
        const double f = b - std::floor(b);
        value[c] = std::pow(lo * sr / n, p) * MagnitudeAt(m, n, lo) * (1.0 - f) +
                   std::pow(hi * sr / n, p) * MagnitudeAt(m, n, hi) * f;
      }
      value[c] /= (end - e + 1) * 20.0;
    }
    const int index = columns - 1 - i;
    s.spectrumColumns[0][index] = value[0];
    s.spectrumColumns[1][index] = value[1];
    s.spectrumColumns[2][index] = value[0] + value[1];
    e = end;
  }
  return true;
}

bool KernelResponseColumns(DspState& s, int columns)
{
  // Read from the kernel in use under dspLock, taken without waiting: two bins per column, a few
  // microseconds. While processing holds it, the columns wait for a later frame.
  if (!SemLockTryAcquire(s.dspLock)) return false;
  StoreFlag(s.kernelChanged, 0);
  std::memset(s.kernelColumns, 0, sizeof(double) * columns);
  const int n = *s.fftSizeRef;
  const double* kernel = s.convKernelRef;
  const double lowBin = n * 20.0 / s.sampleRate;
  const double highBin = n * 20000.0 / s.sampleRate;
  const int last = (n + 1) / 2;
  for (int i = 0; i < columns; ++i)
  {
    const double b = LogInterp(static_cast<double>(i) / (columns - 1), lowBin, highBin);
    const double f = b - std::floor(b);
    const int lo = BinFloor(b, last);
    const int hi = BinFloor(std::ceil(b), last);
    s.kernelColumns[columns - 1 - i] += (1.0 - f) * HalfComplexMagnitudeAt(kernel, n, lo) +
                                        f * HalfComplexMagnitudeAt(kernel, n, hi);
  }
  SemLockRelease(s.dspLock);
  return true;
}

void RunDisplayIdleRule(DspState& s)
{
  const int32_t idle = LoadFlag(s.idleFrames);
  if (idle < kIdleFramesBeforeTakeOver)
  {
    // Only the display increments; a concurrent reset to 0 by the audio thread wins.
    int32_t expected = idle;
    __atomic_compare_exchange_n(&s.idleFrames, &expected, idle + 1, false, __ATOMIC_ACQ_REL,
                                __ATOMIC_ACQUIRE);
    return;
  }
  SemLockAcquire(s.dspLock);
  if (LoadFlag(s.paramsChanged) && s.host) RebuildKernelIfChanged(*s.host, s);
  SemLockRelease(s.dspLock);
  if (idle != kIdleHandled)
  {
    // Left, right and the sum the colour field draws: the spectrum leaves the screen. An analysis
    // still pending (Colour Gain 0 skips it) would bring the stopped audio back.
    StoreFlag(s.captureChanged, 0);
    for (int k = 0; k < 3; ++k)
      std::memset(s.spectrumColumns[k], 0, sizeof(double) * kDisplayColumns);
    // Only the current capture length: every reader stops there and the analysis rewrites it
    // before reading, so values a longer capture left behind can never be seen; clearing the
    // whole array would only make its untouched pages resident.
    const int n = s.captureLength < kEngineArrayLength ? s.captureLength : kEngineArrayLength;
    if (n > 0)
    {
      std::memset(s.captureSpectrum[0], 0, sizeof(double) * n);
      std::memset(s.captureSpectrum[1], 0, sizeof(double) * n);
    }
  }
  int32_t expected = idle;
  __atomic_compare_exchange_n(&s.idleFrames, &expected, kIdleHandled, false, __ATOMIC_ACQ_REL,
                              __ATOMIC_ACQUIRE);
}
