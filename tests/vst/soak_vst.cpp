// Soak run through the VST ABI (make soak; not part of the test suite): random automation of all
// 24 parameters over their full ranges, random host blocks of 1 to 8192 frames through the three
// processing functions, and now and then a suspend and resume with a new sample rate. Checks:
//  - every output sample is finite and below kSampleBound;
//  - after every latency change and every resume the reported latency equals the delay measured
//    on an impulse (the energy centroid of the response, which for a linear-phase kernel is its
//    centre of symmetry), within kDelayTolerance samples;
//  - no process call costs more thread CPU time than its real-time length plus kCallAllowance.
// Duration from TARVEX_SOAK_SECONDS (default 600); prints the figures at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "tests/vst/VstTestHost.h"

namespace
{
// The curve can ask for about +300 dB at a band point (60 dB gains times Gain Scale 4, plus 60 dB
// Overall Gain), and its cubic segments may overshoot the points; 1e20 (+400 dB) leaves room for
// that while any runaway or garbage value lies far beyond.
constexpr double kSampleBound = 1e20;
// The response of a symmetric kernel has its energy centroid exactly at the centre; FFT rounding
// moves it by far less than this.
constexpr double kDelayTolerance = 0.01;
// One process call may complete a block and rebuild the kernel or reset the engine at the largest
// sizes (a few ms on this machine); 50 ms leaves room for a loaded machine. A denormal stall over a
// block of thousands of samples costs far more.
constexpr double kCallAllowance = 0.050;

VstIntPtr SoakCallback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
{
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetProductString && ptr) strcpy(static_cast<char*>(ptr), "soak host");
  return 0;
}

double ThreadSeconds()
{
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

struct Figures
{
  long calls = 0, frames = 0, automations = 0, resumes = 0, latencyChecks = 0, silentKernels = 0;
  long badSamples = 0, slowCalls = 0, delayMismatches = 0;
  double peak = 0.0, worstDelayError = 0.0, worstCallSeconds = 0.0, worstCallRatio = 0.0;
  long worstCallFrames = 0;
};

class Soak
{
public:
  Soak(AEffect* e, unsigned seed) : mEffect(e), mRng(seed) {}

  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f)
  {
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  }

  void Start()
  {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(mRate));
    Dispatch(effSetBlockSize, 0, 8192);
    Dispatch(effMainsChanged, 0, 1);
    mLatency = mEffect->initialDelay;
    CheckLatency();
  }

  // One host block with random automation before it.
  void Step()
  {
    if (mRng() % 4 == 0)
    {
      const int changes = 1 + static_cast<int>(mRng() % 4);
      for (int i = 0; i < changes; ++i) Automate();
    }
    if (mRng() % 2000 == 0) Resume();
    const int frames = RandomBlock();
    Process(frames, mRng() % 8 == 0 ? 0.0 : Level(), static_cast<int>(mRng() % 3));
    if (mEffect->initialDelay != mLatency)
    {
      mLatency = mEffect->initialDelay;
      CheckLatency();
    }
  }

  Figures figures;

private:
  // Log-uniform in 1 .. 8192 so that short blocks are as common as long ones.
  int RandomBlock()
  {
    std::uniform_real_distribution<double> u(0.0, std::log(8193.0));
    return std::min(8192, std::max(1, static_cast<int>(std::exp(u(mRng)))));
  }
  double Level()
  {
    std::uniform_real_distribution<double> db(-90.0, 0.0);
    return std::pow(10.0, db(mRng) / 20.0);
  }

  void Automate()
  {
    const int index = static_cast<int>(mRng() % kParamCount);
    std::uniform_real_distribution<float> position(0.0f, 1.0f);
    const int pick = static_cast<int>(mRng() % 10);
    const float value = pick == 0 ? 0.0f : (pick == 1 ? 1.0f : position(mRng)); // ends too
    mEffect->setParameter(mEffect, index, value);
    ++figures.automations;
  }

  void Resume()
  {
    static const double kRates[] = {8000, 22050, 44100, 48000, 88200, 96000, 176400, 192000};
    Dispatch(effMainsChanged, 0, 0);
    mRate = kRates[mRng() % (sizeof(kRates) / sizeof(kRates[0]))];
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(mRate));
    if (mRng() % 2) Dispatch(effSetBlockSize, 0, 1 + static_cast<int>(mRng() % 8192));
    Dispatch(effMainsChanged, 0, 1);
    ++figures.resumes;
    mLatency = mEffect->initialDelay;
    // The new rate takes effect at the first block after the resume.
    Process(1, 0.0, 2);
    mLatency = mEffect->initialDelay;
    CheckLatency();
  }

  // Processes `frames` of noise at `level` through process (0), processReplacing (1) or
  // processDoubleReplacing (2), timing the call and checking every output sample.
  void Process(int frames, double level, int mode, const double* impulse = nullptr,
               std::vector<double>* capture = nullptr)
  {
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (int c = 0; c < 2; ++c)
    {
      mInD[c].resize(frames);
      mOutD[c].assign(frames, 0.0);
      mInF[c].resize(frames);
      mOutF[c].assign(frames, 0.0f);
      for (int i = 0; i < frames; ++i)
      {
        mInD[c][i] = impulse ? impulse[i] : level * noise(mRng);
        mInF[c][i] = static_cast<float>(mInD[c][i]);
      }
    }
    const double begin = ThreadSeconds();
    if (mode == 2)
    {
      double* in[2] = {mInD[0].data(), mInD[1].data()};
      double* out[2] = {mOutD[0].data(), mOutD[1].data()};
      mEffect->processDoubleReplacing(mEffect, in, out, frames);
    }
    else
    {
      float* in[2] = {mInF[0].data(), mInF[1].data()};
      float* out[2] = {mOutF[0].data(), mOutF[1].data()};
      if (mode == 0)
        mEffect->process(mEffect, in, out, frames); // adds into the zeroed outputs
      else
        mEffect->processReplacing(mEffect, in, out, frames);
    }
    const double cost = ThreadSeconds() - begin;

    ++figures.calls;
    figures.frames += frames;
    if (cost > figures.worstCallSeconds)
    {
      figures.worstCallSeconds = cost;
      figures.worstCallFrames = frames;
    }
    const double budget = frames / mRate + kCallAllowance;
    figures.worstCallRatio = std::max(figures.worstCallRatio, cost / budget);
    if (cost > budget) ++figures.slowCalls;
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < frames; ++i)
      {
        const double v = mode == 2 ? mOutD[c][i] : mOutF[c][i];
        if (!(std::fabs(v) <= kSampleBound)) ++figures.badSamples; // NaN too
        figures.peak = std::max(figures.peak, std::fabs(v));
      }
    if (capture) capture->insert(capture->end(), mOutD[0].begin(), mOutD[0].end());
  }

  // Measures the delay of the current settings on an impulse, with the limiter off so that the
  // response is the kernel's alone, then puts the Limiter back.
  void CheckLatency()
  {
    ++figures.latencyChecks;
    const float limiter = mEffect->getParameter(mEffect, kParamLimiter);
    mEffect->setParameter(mEffect, kParamLimiter, 1.0f);
    const int latency = mEffect->initialDelay;
    // Flush: the latency covers the block length, so three latencies of silence empty the ring and
    // finish any kernel cross-fade.
    for (int left = 3 * latency + 1; left > 0; left -= 4096) Process(std::min(left, 4096), 0.0, 2);
    std::vector<double> impulse(1, 0.0), response;
    impulse[0] = 1.0;
    Process(1, 0.0, 2, impulse.data(), &response);
    const std::vector<double> silence(4096, 0.0);
    while (static_cast<int>(response.size()) < 2 * latency + 2)
      Process(4096, 0.0, 2, silence.data(), &response);
    double energy = 0.0, moment = 0.0;
    for (size_t i = 0; i < response.size(); ++i)
    {
      energy += response[i] * response[i];
      moment += static_cast<double>(i) * response[i] * response[i];
    }
    mEffect->setParameter(mEffect, kParamLimiter, limiter);
    if (!(energy > 1e-30))
    {
      ++figures.silentKernels; // a curve at silence everywhere has no delay to measure
      return;
    }
    const double error = std::fabs(moment / energy - latency);
    figures.worstDelayError = std::max(figures.worstDelayError, error);
    if (error > kDelayTolerance)
    {
      ++figures.delayMismatches;
      if (figures.delayMismatches <= 5)
        printf("soak: latency %d reported, %.3f measured at %.0f Hz\n", latency, moment / energy,
               mRate);
    }
  }

  AEffect* mEffect;
  std::mt19937 mRng;
  double mRate = 44100.0;
  int mLatency = 0;
  std::vector<double> mInD[2], mOutD[2];
  std::vector<float> mInF[2], mOutF[2];
};
} // namespace

TEST(VstSoak, RandomAutomationBlocksAndRates)
{
  const char* text = getenv("TARVEX_SOAK_SECONDS");
  const double seconds = text && atof(text) > 0 ? atof(text) : 600.0;
  VstPluginMainProc entry = vsttest::Entry();
  ASSERT_NE(entry, nullptr);
  AEffect* e = entry(SoakCallback);
  ASSERT_NE(e, nullptr);
  Soak soak(e, 20261209);
  soak.Start();
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) soak.Step();
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);

  const Figures& f = soak.figures;
  printf("soak: %.0f s, %ld calls, %ld frames (%.2e per second), %ld automations, %ld resumes\n",
         seconds, f.calls, f.frames, f.frames / seconds, f.automations, f.resumes);
  printf("soak: peak |sample| %.3g (bound %.0e), %ld samples out of bounds\n", f.peak, kSampleBound,
         f.badSamples);
  printf("soak: %ld latency checks, worst error %.2e samples (tolerance %.2f), %ld mismatches, "
         "%ld silent kernels not measured\n",
         f.latencyChecks, f.worstDelayError, kDelayTolerance, f.delayMismatches, f.silentKernels);
  printf("soak: worst call %.2f ms CPU for %ld frames; worst cost / budget %.3f; %ld calls over "
         "budget (real time + %.0f ms)\n",
         1e3 * f.worstCallSeconds, f.worstCallFrames, f.worstCallRatio, f.slowCalls,
         1e3 * kCallAllowance);
  EXPECT_EQ(f.badSamples, 0);
  EXPECT_EQ(f.delayMismatches, 0);
  EXPECT_EQ(f.slowCalls, 0);
  EXPECT_GT(f.latencyChecks - f.silentKernels, 0);
}
