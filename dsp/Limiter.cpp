#include "dsp/Limiter.h"

#include <cfloat>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "dsp/VectorClones.h"

namespace
{
constexpr double kHoldSeconds = 2.3;
// pi (single precision) / 2.3: the release's raised cosine spans kHoldSeconds.
constexpr double kReleaseRadiansPerSecond = 1.3659098873967712;
// Hold plus release; after this long without a new peak the envelope is dropped.
constexpr double kEnvelopeLifeSeconds = 4.6;

#if defined(__x86_64__) && defined(__GNUC__)
// PeakOf's first count - count % 8 samples on four lanes, for processors with AVX.
__attribute__((target("avx"))) void PeakOfAvx(const double* x, int count, double& peak,
                                              bool& allFinite)
{
  const __m256d signBit = _mm256_set1_pd(-0.0);
  const __m256d largest = _mm256_set1_pd(DBL_MAX);
  __m256d vPeak = _mm256_set1_pd(peak), vPeak1 = vPeak;
  __m256d vBad = _mm256_setzero_pd();
  for (int i = 0; i + 8 <= count; i += 8)
  {
    const __m256d a0 = _mm256_andnot_pd(signBit, _mm256_loadu_pd(x + i));
    const __m256d a1 = _mm256_andnot_pd(signBit, _mm256_loadu_pd(x + i + 4));
    // true for infinities and NaN
    vBad = _mm256_or_pd(vBad, _mm256_or_pd(_mm256_cmp_pd(a0, largest, _CMP_NLE_UQ),
                                           _mm256_cmp_pd(a1, largest, _CMP_NLE_UQ)));
    vPeak = _mm256_max_pd(vPeak, a0);
    vPeak1 = _mm256_max_pd(vPeak1, a1);
  }
  vPeak = _mm256_max_pd(vPeak, vPeak1);
  double lanes[4];
  _mm256_storeu_pd(lanes, vPeak);
  for (double lane : lanes) peak = lane > peak ? lane : peak;
  if (_mm256_movemask_pd(vBad)) allFinite = false;
}

bool DetectAvx()
{
  __builtin_cpu_init(); // this may run before the library's own initialisation
  return __builtin_cpu_supports("avx");
}
const bool kHasAvx = DetectAvx();
#endif

// Raises peak to the largest magnitude of x[0 .. count) and clears allFinite if any sample is
// infinite or NaN. The maximum is exact, so the result does not depend on the order of the scan.
void PeakOf(const double* x, int count, double& peak, bool& allFinite)
{
  int i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (kHasAvx)
  {
    PeakOfAvx(x, count, peak, allFinite);
    i = count - count % 8;
  }
#endif
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
// The body of the per-sample loop for frame i of every channel: today's formulas, evaluated
// literally.
inline void LimitFrame(double* const* outputs, int channels, int i, double t,
                       double secondsPerFrame, double& envelope, double& time, double& light)
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
            (0.5 * std::cos((time - kHoldSeconds) * kReleaseRadiansPerSecond) + 0.5) * (e - t) + t;
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

TARVEX_VECTOR_CLONES void ScaleBy(double* x, int count, double gain)
{
  for (int j = 0; j < count; ++j) x[j] *= gain;
}

// Frames of a hold that can run without the per-sample loop: from frame `from`, while every sample
// is finite and no louder than the envelope and the timer stays within the hold. There each sample
// is only scaled by threshold / envelope and the timer advances by one frame per frame.
//
// The timer must come out bit for bit as the per-frame sum time += secondsPerFrame: it decides the
// frame the release starts on. Within one binade [2^m, 2^(m+1)) of time every double is a multiple
// of the same ulp, so each rounded sum adds the same step (secondsPerFrame rounded to that ulp;
// unless it lies exactly halfway, then the rounding depends on time's last bit), and k frames add
// exactly k steps. A run therefore ends where time would leave its binade, and none starts at
// time 0 or at a halfway step.
//
// Returns the frames done (0 when none can be); time and light are advanced past them.
int HoldRun(double* const* outputs, int channels, int from, int frames, double t, double envelope,
            double secondsPerFrame, double& time, double& light)
{
  if (!(time > 0.0) || !(time <= kHoldSeconds)) return 0;
  int exponent = 0;
  std::frexp(time, &exponent); // time = f * 2^exponent, 0.5 <= f < 1
  const double binadeEnd = std::ldexp(1.0, exponent);
  const double ulp = std::ldexp(1.0, exponent - 53);
  const double step = (time + secondsPerFrame) - time; // exact: both multiples of ulp
  if (!(step > 0.0) || std::fabs(secondsPerFrame - step) == 0.5 * ulp) return 0;
  const double timeLimit = binadeEnd < kHoldSeconds ? binadeEnd : kHoldSeconds; // time < or <=
  const auto fits = [&](int k)
  {
    const double after = time + k * step; // exact while it stays in the binade
    return after < binadeEnd && after <= timeLimit;
  };
  int count = frames - from;
  const double estimate = (timeLimit - time) / step;
  if (estimate < count) count = estimate < 0.0 ? 0 : static_cast<int>(estimate) + 1;
  while (count > 0 && !fits(count)) --count;
  if (count <= 0) return 0;

  // Chunks short enough to stay in the first-level cache between the check and the scaling (4 KiB
  // for two channels), and long enough that the four calls per chunk cost little per frame.
  constexpr int kChunk = 256;
  const double gain = t / envelope; // one rounding more than x * t / envelope per sample
  double peak = 0.0;
  int done = 0;
  while (done < count)
  {
    const int start = from + done;
    int length = count - done < kChunk ? count - done : kChunk;
    double chunkPeak = 0.0;
    bool allFinite = true;
    for (int c = 0; c < channels; ++c) PeakOf(outputs[c] + start, length, chunkPeak, allFinite);
    if (!allFinite || chunkPeak > envelope)
    {
      // Shorten the chunk to the frames before the first one the per-sample loop must see.
      int ok = 0;
      for (; ok < length; ++ok)
      {
        bool quiet = true;
        for (int c = 0; c < channels; ++c)
          quiet = quiet && std::fabs(outputs[c][start + ok]) <= envelope;
        if (!quiet) break;
      }
      length = ok;
      chunkPeak = 0.0;
      for (int c = 0; c < channels; ++c) PeakOf(outputs[c] + start, length, chunkPeak, allFinite);
    }
    for (int c = 0; c < channels; ++c) ScaleBy(outputs[c] + start, length, gain);
    if (chunkPeak > peak) peak = chunkPeak;
    done += length;
    if (length < kChunk) break;
  }
  // The largest overshoot is that of the largest magnitude (a - t is monotonic in a).
  if (done > 0 && peak - t > light) light = peak - t;
  time += done * step;
  return done;
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
  // Local copies: stores to the outputs cannot alias them.
  double env = envelope, tm = time, lt = light;
  for (int i = 0; i < frames;)
  {
    if (env > t)
    {
      const int done = HoldRun(outputs, channels, i, frames, t, env, secondsPerFrame, tm, lt);
      if (done > 0)
      {
        i += done;
        continue;
      }
    }
    LimitFrame(outputs, channels, i, t, secondsPerFrame, env, tm, lt);
    ++i;
  }
  envelope = env;
  time = tm;
  light = lt;
}
