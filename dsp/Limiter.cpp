#include "dsp/Limiter.h"

#include <cfloat>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
constexpr double kHoldSeconds = 2.3;
// pi (single precision) / 2.3: the release's raised cosine spans kHoldSeconds.
constexpr double kReleaseRadiansPerSecond = 1.3659098873967712;
// Hold plus release; after this long without a new peak the envelope is dropped.
constexpr double kEnvelopeLifeSeconds = 4.6;

// Raises peak to the largest magnitude of x[0 .. count) and clears allFinite if any sample is
// infinite or NaN. The maximum is exact, so the result does not depend on the order of the scan.
void PeakOf(const double* x, int count, double& peak, bool& allFinite)
{
  int i = 0;
#if defined(__SSE2__)
  const __m128d signBit = _mm_set1_pd(-0.0);
  const __m128d largest = _mm_set1_pd(DBL_MAX);
  __m128d vPeak = _mm_set1_pd(peak);
  __m128d vBad = _mm_setzero_pd();
  for (; i + 2 <= count; i += 2)
  {
    const __m128d a = _mm_andnot_pd(signBit, _mm_loadu_pd(x + i));
    vBad = _mm_or_pd(vBad, _mm_cmpnle_pd(a, largest)); // true for infinities and NaN
    vPeak = _mm_max_pd(vPeak, a);
  }
  double lanes[2];
  _mm_storeu_pd(lanes, vPeak);
  peak = lanes[0] > lanes[1] ? lanes[0] : lanes[1];
  if (_mm_movemask_pd(vBad)) allFinite = false;
#endif
  for (; i < count; ++i)
  {
    const double a = std::fabs(x[i]);
    if (!(a <= DBL_MAX)) allFinite = false;
    peak = a > peak ? a : peak;
  }
}
} // namespace

double LimiterThreshold(double limiterDb)
{
  return std::pow(10.0, 0.05 * limiterDb);
}

void ApplyLimiter(double* const* outputs, int channels, int frames, double threshold,
                  double sampleRate, double& envelope, double& time, double& light)
{
  if (!(threshold < 999.0)) return;
  const double t = threshold;
  // Fast path for the usual call: no sample above the threshold, no gain reduction in progress, all
  // samples finite. Then only the light can change, to the largest overshoot: the same value the
  // per-sample loop below would reach.
  if (envelope <= t)
  {
    double peak = 0.0;
    bool allFinite = true;
    for (int c = 0; c < channels; ++c) PeakOf(outputs[c], frames, peak, allFinite);
    if (allFinite && peak <= t)
    {
      if (peak - t > light) light = peak - t;
      return;
    }
  }
  const double secondsPerFrame = 1.0 / sampleRate;
  for (int i = 0; i < frames; ++i)
  {
    for (int c = 0; c < channels; ++c)
    {
      double x = outputs[c][i];
      if (!std::isfinite(x))
      {
        outputs[c][i] = 0.0;
        continue;
      }
      const double a = std::fabs(x);
      if (a - t > light) light = a - t;
      if (a <= t && envelope <= t) continue;
      if (c == 0) time += secondsPerFrame;
      if (a > envelope)
      {
        envelope = a;
        time = 0.0;
      }
      const double e = envelope;
      if (e > t)
      {
        if (time <= kHoldSeconds)
        {
          x = x * t / e;
        }
        else
        {
          const double r =
              (0.5 * std::cos((time - kHoldSeconds) * kReleaseRadiansPerSecond) + 0.5) * (e - t) +
              t;
          if (2.0 * std::fabs(x) > r)
          {
            envelope = r;
            time = 0.0;
          }
          x = x * t / r;
        }
      }
      if (time > kEnvelopeLifeSeconds) envelope = 0.0;
      outputs[c][i] = x;
    }
  }
}
