#include "engine/Limiter.h"

#include <cmath>

namespace
{
constexpr double kHoldSeconds = 2.3;
// pi (single precision) / 2.3: the release's raised cosine spans kHoldSeconds.
constexpr double kReleaseRadiansPerSecond = 1.3659098873967712;
// Hold plus release; after this long without a new peak the envelope is dropped.
constexpr double kEnvelopeLifeSeconds = 4.6;
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
