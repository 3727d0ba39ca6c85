// The limiter against a plain per-sample evaluation of its formulas (the code it had before its
// hold was vectorised), over long signals with peaks, holds, releases, restarts and non-finite
// samples, in blocks of varying length.
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "dsp/Limiter.h"

namespace
{
// The reference: instant attack, 2.3 s hold, raised-cosine release, every sample through libm's
// cos and a division, exactly as the limiter was first written.
struct ReferenceLimiter
{
  double envelope = 0, time = 0, light = 0;
  long holdSamples = 0, releaseSamples = 0, restarts = 0;

  void Run(double* const* outputs, int channels, int frames, double t, double sampleRate)
  {
    constexpr double kHoldSeconds = 2.3;
    constexpr double kReleaseRadiansPerSecond = 1.3659098873967712;
    constexpr double kEnvelopeLifeSeconds = 4.6;
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
            ++holdSamples;
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
              ++restarts;
            }
            x = x * t / r;
            ++releaseSamples;
          }
        }
        if (time > kEnvelopeLifeSeconds) envelope = 0.0;
        outputs[c][i] = x;
      }
    }
  }
};

struct Random
{
  uint64_t state = 0x9E3779B97F4A7C15ull;
  double Uniform() // [0, 1)
  {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1.0p-53;
  }
};

// Bursts of loud noise (new peaks and hold restarts), decaying tones (releases), quiet stretches
// below the threshold (releases that run to their end), and now and then a NaN or an infinity.
std::vector<double> TestSignal(int frames, double rate, Random& rnd, int channel)
{
  std::vector<double> x(frames);
  double level = 0.0;
  for (int i = 0; i < frames; ++i)
  {
    if (rnd.Uniform() < 1.0 / (1.7 * rate)) level = 0.2 + 3.0 * rnd.Uniform(); // a burst
    level *= std::exp(-1.0 / (0.9 * rate));                                    // decays
    const double tone = std::sin(2 * M_PI * (110.0 + 30 * channel) * i / rate);
    x[i] = level * (0.6 * tone + 0.8 * (rnd.Uniform() - 0.5)) + 0.05 * (rnd.Uniform() - 0.5);
    if (rnd.Uniform() < 2e-6)
      x[i] = rnd.Uniform() < 0.5 ? std::numeric_limits<double>::quiet_NaN()
                                 : -std::numeric_limits<double>::infinity();
  }
  return x;
}

// Runs both limiters over `seconds` of stereo (or mono) signal at `rate` in blocks of 1 to 700
// frames and compares every sample, and the state after every block.
void CompareWithReference(double rate, double limiterDb, int channels, double seconds,
                          ReferenceLimiter& ref)
{
  Random rnd;
  const int frames = static_cast<int>(seconds * rate);
  std::vector<double> in[2] = {TestSignal(frames, rate, rnd, 0), TestSignal(frames, rate, rnd, 1)};
  std::vector<double> out[2] = {in[0], in[1]};
  std::vector<double> want[2] = {in[0], in[1]};
  const double t = LimiterThreshold(limiterDb);
  double envelope = 0, time = 0, light = 0;
  // Relative tolerance: the limiter scales a hold's samples by one precomputed gain t / e instead
  // of computing x * t / e, one more rounding (at most 2^-52 relative); 1e-12 leaves room for that
  // and nothing else (a release one frame early or late differs by more than 1e-9).
  constexpr double kTolerance = 1e-12;
  int worst = 0;
  double worstError = 0;
  for (int done = 0; done < frames;)
  {
    const int block = std::min(frames - done, 1 + static_cast<int>(rnd.Uniform() * 700));
    double* outs[2] = {out[0].data() + done, out[1].data() + done};
    double* wants[2] = {want[0].data() + done, want[1].data() + done};
    ApplyLimiter(outs, channels, block, t, rate, envelope, time, light);
    ref.Run(wants, channels, block, t, rate);
    // The state is not rounded differently anywhere: it must match exactly.
    ASSERT_EQ(envelope, ref.envelope) << "after frame " << done + block;
    ASSERT_EQ(time, ref.time) << "after frame " << done + block;
    ASSERT_EQ(light, ref.light) << "after frame " << done + block;
    done += block;
  }
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i)
    {
      const double error = std::fabs(out[c][i] - want[c][i]);
      if (error > kTolerance * std::fabs(want[c][i]) && error > worstError)
        worstError = error, worst = i;
    }
  EXPECT_EQ(worstError, 0.0) << "worst difference beyond " << kTolerance << " relative at frame "
                             << worst;
}
} // namespace

TEST(LimiterReference, StereoAt44kHzMatchesThePerSampleFormulas)
{
  ReferenceLimiter ref;
  CompareWithReference(44100.0, -12.0, 2, 60.0, ref);
  // The signal must have exercised every branch for the comparison to mean anything.
  EXPECT_GT(ref.holdSamples, 1000000);
  EXPECT_GT(ref.releaseSamples, 10000);
  EXPECT_GT(ref.restarts, 10);
}

TEST(LimiterReference, MonoAtLowAndHighRatesMatchesThePerSampleFormulas)
{
  for (double rate : {8000.0, 96000.0, 192000.0})
  {
    ReferenceLimiter ref;
    CompareWithReference(rate, -6.0, 1, 40.0, ref);
    EXPECT_GT(ref.holdSamples, 10 * rate) << rate;
    EXPECT_GT(ref.releaseSamples, rate / 10) << rate;
  }
}

// A single peak and then silence: a hold that starts at time 0 and crosses every binade of the
// timer up to 2.3 s, and a release that runs to the end of the envelope's life.
TEST(LimiterReference, OnePeakThenSilenceHoldsAndReleasesLikeTheFormulas)
{
  for (double rate : {44100.0, 48000.0, 88200.0})
  {
    const int frames = static_cast<int>(5.0 * rate);
    std::vector<double> out(frames, 0.3), want(frames, 0.3);
    out[10] = want[10] = 3.0;
    double* outs[1] = {out.data()};
    double* wants[1] = {want.data()};
    double envelope = 0, time = 0, light = 0;
    ReferenceLimiter ref;
    for (int done = 0; done < frames; done += 4096)
    {
      const int block = std::min(4096, frames - done);
      double* o[1] = {outs[0] + done};
      double* w[1] = {wants[0] + done};
      ApplyLimiter(o, 1, block, 1.0, rate, envelope, time, light);
      ref.Run(w, 1, block, 1.0, rate);
      ASSERT_EQ(time, ref.time) << rate << " Hz, after frame " << done + block;
    }
    for (int i = 0; i < frames; ++i)
      ASSERT_NEAR(out[i], want[i], 1e-12 * std::fabs(want[i])) << rate << " Hz, frame " << i;
    EXPECT_EQ(envelope, 0.0); // the envelope's life ended
    EXPECT_GT(ref.releaseSamples, rate);
  }
}
