// Processing through the three AEffect functions, mono set-up, latency and its announcement.
#include <cfloat>
#include <cmath>
#include <functional>
#include <memory>

#include "tests/vst/VstTestHost.h"

// valgrind (make memcheck) runs SSE arithmetic without the control word's flush-to-zero and
// denormals-are-zero modes, which the double path relies on: that check means nothing there.
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define TARVEX_UNDER_VALGRIND() (RUNNING_ON_VALGRIND != 0)
#else
#define TARVEX_UNDER_VALGRIND() false
#endif

using namespace vsttest;

namespace
{
// Deterministic test signal in [-0.5, 0.5].
std::vector<double> Noise(int frames, unsigned seed)
{
  std::vector<double> out(static_cast<size_t>(frames));
  for (double& v : out)
  {
    seed = seed * 1103515245u + 12345u;
    v = ((seed >> 8) & 0xffff) / 65535.0 - 0.5;
  }
  return out;
}

// Stereo render through processDoubleReplacing in calls of `block` frames.
std::vector<std::vector<double>> RenderDouble(Instance& plug, const std::vector<double>& left,
                                              const std::vector<double>& right, int block)
{
  const int frames = static_cast<int>(left.size());
  std::vector<std::vector<double>> out(2, std::vector<double>(static_cast<size_t>(frames)));
  for (int start = 0; start < frames; start += block)
  {
    const int n = std::min(block, frames - start);
    double* in[2] = {const_cast<double*>(left.data()) + start,
                     const_cast<double*>(right.data()) + start};
    double* o[2] = {out[0].data() + start, out[1].data() + start};
    plug->processDoubleReplacing(plug.get(), in, o, n);
  }
  return out;
}
// Sum of sines from 100 Hz to 10 kHz at 44.1 kHz, peak below 0.5: inside the band where the
// default curve is flat, so the plug-in must pass it unchanged apart from the delay.
std::vector<double> InBandSignal(int frames, double phase)
{
  static const double kFreqs[] = {100.0, 330.0, 1000.0, 3300.0, 10000.0};
  std::vector<double> out(static_cast<size_t>(frames));
  for (int s = 0; s < frames; ++s)
    for (double f : kFreqs)
      out[static_cast<size_t>(s)] += 0.09 * std::sin(2.0 * M_PI * f * s / 44100.0 + phase * f);
  return out;
}
} // namespace

TEST(VstAudio, DefaultSettingsDelayTheInputByTheReportedLatency)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Start();
  EXPECT_EQ(plug->initialDelay, kLatency44k);
  const int latency = plug->initialDelay;
  const int frames = 3 * latency + 4096;
  const std::vector<double> left = InBandSignal(frames, 0.0), right = InBandSignal(frames, 1.0);
  const auto out = RenderDouble(plug, left, right, 512);
  // The default curve is flat (1e-6 dB) over the signal's band; the kernel's ripple there keeps
  // the error near -60 dB of the signal, while a misalignment by one sample would give about
  // -10 dB at 10 kHz. The first kernel length is skipped (start-up transient of the sines).
  double worst = 0.0;
  for (int c = 0; c < 2; ++c)
    for (int s = latency; s < frames - latency; ++s)
      worst = std::max(worst, std::fabs(out[c][static_cast<size_t>(s + latency)] -
                                        (c ? right : left)[static_cast<size_t>(s)]));
  EXPECT_LT(worst, 1e-3);
  // Nothing before the delay but the kernel's pre-ringing of the first samples.
  for (int s = 0; s < latency / 2; ++s) ASSERT_LT(std::fabs(out[0][static_cast<size_t>(s)]), 1e-6);
}

TEST(VstAudio, ReplacingAddingAndDoubleAgree)
{
  const int frames = 6000;
  const std::vector<double> left = Noise(frames, 3), right = Noise(frames, 4);
  Instance d;
  ASSERT_TRUE(d);
  d.Start();
  const auto reference = RenderDouble(d, left, right, 500);
  d.Close();

  for (bool adding : {false, true})
  {
    Instance plug;
    ASSERT_TRUE(plug);
    plug.Start();
    std::vector<float> inL(left.begin(), left.end()), inR(right.begin(), right.end());
    std::vector<float> outL(frames, 0.25f), outR(frames, -0.25f); // what the host buffers held
    for (int start = 0; start < frames; start += 500)
    {
      float* in[2] = {inL.data() + start, inR.data() + start};
      float* out[2] = {outL.data() + start, outR.data() + start};
      (adding ? plug->process : plug->processReplacing)(plug.get(), in, out, 500);
    }
    // Float input and output round to 24-bit mantissas: 1e-6 of full scale covers both.
    const float offset = adding ? 0.25f : 0.0f;
    for (int s = 0; s < frames; ++s)
    {
      ASSERT_NEAR(outL[s] - offset, reference[0][s], 1e-6) << (adding ? "adding " : "") << s;
      ASSERT_NEAR(outR[s] + offset, reference[1][s], 1e-6) << (adding ? "adding " : "") << s;
    }
  }
}

TEST(VstAudio, CallsLongerThanTheBlockSizeRunInSlices)
{
  const int frames = 5000;
  const std::vector<double> left = Noise(frames, 5), right = Noise(frames, 6);
  Instance small;
  ASSERT_TRUE(small);
  small.Start(44100.0f, 64);
  const auto reference = RenderDouble(small, left, right, 64);
  small.Close();

  Instance big;
  ASSERT_TRUE(big);
  big.Start(44100.0f, 64); // announces 64, then sends whole calls of 5000
  std::vector<float> inL(left.begin(), left.end()), inR(right.begin(), right.end());
  std::vector<float> outL(frames), outR(frames);
  float* in[2] = {inL.data(), inR.data()};
  float* out[2] = {outL.data(), outR.data()};
  big->processReplacing(big.get(), in, out, frames);
  for (int s = 0; s < frames; ++s) ASSERT_NEAR(outL[s], reference[0][s], 1e-6) << s;
  const auto doubled = [&]
  {
    Instance again;
    again.Start(44100.0f, 64);
    return RenderDouble(again, left, right, frames);
  }();
  for (int s = 0; s < frames; ++s) ASSERT_EQ(doubled[1][s], reference[1][s]) << s;
}

TEST(VstAudio, MonoArrangementUsesOneBufferEachWay)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Dispatch(effOpen);
  VstSpeakerArrangement mono{};
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono),
            1);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  plug.Dispatch(effSetBlockSize, 0, 256);
  plug.Dispatch(effMainsChanged, 0, 1);
  const int latency = plug->initialDelay;
  const int frames = 3 * latency + 2048;
  const std::vector<double> signal = InBandSignal(frames, 0.5);
  std::vector<double> out(static_cast<size_t>(frames));
  // One-element pointer arrays on the heap: a read of a second channel would be caught.
  std::unique_ptr<double*[]> in(new double*[1]), o(new double*[1]);
  for (int start = 0; start < frames; start += 256)
  {
    in[0] = const_cast<double*>(signal.data()) + start;
    o[0] = out.data() + start;
    plug->processDoubleReplacing(plug.get(), in.get(), o.get(), std::min(256, frames - start));
  }
  // Same tolerance as the stereo identity.
  for (int s = latency; s < frames - latency; ++s)
    ASSERT_NEAR(out[static_cast<size_t>(s + latency)], signal[static_cast<size_t>(s)], 1e-3) << s;
}

// A host restoring a session sets the parameters before the first block: an impulse at the very
// first sample must come out as one many blocks later, at any block size and after a resume at a
// new rate (the engine's reset).
TEST(VstAudio, SettingsMadeBeforeTheFirstBlockApplyFromItsFirstSample)
{
  struct Case
  {
    const char* name;
    int block;
    std::function<void(Instance&)> beforeImpulses; // after Start, before the settings
  };
  const Case cases[] = {
      {"blocks of 1", 1, nullptr},
      {"blocks of 512", 512, nullptr},
      {"blocks of 4096", 4096, nullptr},
      {"resumed at 48 kHz after playing", 512,
       [](Instance& plug)
       {
         const std::vector<double> noise = Noise(5120, 9);
         std::vector<float> in(noise.begin(), noise.end()), out(512);
         for (int start = 0; start < 5120; start += 512)
         {
           float* i[2] = {in.data() + start, in.data() + start};
           float* o[2] = {out.data(), out.data()};
           plug->processReplacing(plug.get(), i, o, 512);
         }
         plug.Dispatch(effMainsChanged, 0, 0);
         plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
         plug.Dispatch(effMainsChanged, 0, 1);
       }},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    Instance plug;
    ASSERT_TRUE(plug);
    plug.Start(44100.0f, c.block);
    if (c.beforeImpulses) c.beforeImpulses(plug);
    char gain[] = "12", limiter[] = "60";
    plug.Dispatch(effString2Parameter, kParamBandGain + 1, 0,
                  gain); // Band B gain: +12 dB at 370 Hz
    plug.Dispatch(effString2Parameter, kParamLimiter, 0,
                  limiter); // limiter off: the response peaks at 1.6
    const int latency = plug->initialDelay;
    const int later = 20000; // ten engine blocks and more
    const int frames = later + latency + 2000;
    std::vector<float> in(static_cast<size_t>(frames), 0.0f), outL(in.size()), outR(in.size());
    in[0] = in[static_cast<size_t>(later)] = 1.0f;
    for (int start = 0; start < frames; start += c.block)
    {
      float* i[2] = {in.data() + start, in.data() + start};
      float* o[2] = {outL.data() + start, outR.data() + start};
      plug->processReplacing(plug.get(), i, o, std::min(c.block, frames - start));
    }
    // 1201 samples around each delayed impulse hold the whole kernel (1025 taps at 44.1 kHz, 1115
    // at 48 kHz). Float output rounds to 24 bits (1.2e-7 at the peak of 1.6): 1e-6 covers that,
    // while a first block cross-faded from the flat kernel differs by 0.03 to 0.07.
    double worst = 0.0;
    for (int k = -600; k <= 600; ++k)
      for (const std::vector<float>* out : {&outL, &outR})
        worst = std::max(worst, std::fabs(double((*out)[static_cast<size_t>(latency + k)]) -
                                          (*out)[static_cast<size_t>(later + latency + k)]));
    EXPECT_LT(worst, 1e-6);
    EXPECT_GT(std::fabs(outL[static_cast<size_t>(latency)]), 1.0f); // the boost is there
  }
}

// Quiet input near the bottom of the float range: what leaves the plug-in as float holds no
// subnormal number (hosts and later plug-ins would pay for each), while the signal above the
// smallest normal float still comes through. Doubles are produced with subnormals flushed as the
// engine computes them, so subnormal double input gives none either.
TEST(VstAudio, QuietInputGivesNoSubnormalOutput)
{
  const int frames = 44100;
  const std::vector<double> left = Noise(frames, 13), right = Noise(frames, 14);
  enum Path
  {
    kReplacing,
    kAdding,
    kDouble
  };
  for (Path path : {kReplacing, kAdding, kDouble})
  {
    SCOPED_TRACE(path == kReplacing ? "processReplacing" : path == kAdding ? "process" : "double");
    Instance plug;
    ASSERT_TRUE(plug);
    plug.Start();
    int subnormal = 0;
    if (path == kDouble)
    {
      if (TARVEX_UNDER_VALGRIND()) continue;
      std::vector<double> l(left), r(right);
      for (size_t s = 0; s < l.size(); ++s)
      {
        // Peak 5e-307: most products with the kernel's taps lie below DBL_MIN (2.2e-308).
        l[s] *= 1e-306;
        r[s] *= 1e-306;
      }
      const auto out = RenderDouble(plug, l, r, 512);
      for (const auto& channel : out)
        for (double v : channel) subnormal += std::fpclassify(v) == FP_SUBNORMAL;
      EXPECT_EQ(subnormal, 0) << "of " << 2 * frames;
      continue;
    }
    // Noise of peak 5e-38: a quarter of the samples lie below FLT_MIN (1.2e-38).
    std::vector<float> inL(left.size()), inR(right.size());
    for (size_t s = 0; s < inL.size(); ++s)
    {
      inL[s] = static_cast<float>(left[s] * 1e-37);
      inR[s] = static_cast<float>(right[s] * 1e-37);
    }
    std::vector<float> outL(inL.size(), 0.0f), outR(inR.size(), 0.0f);
    for (int start = 0; start < frames; start += 512)
    {
      float* in[2] = {inL.data() + start, inR.data() + start};
      float* out[2] = {outL.data() + start, outR.data() + start};
      (path == kAdding ? plug->process : plug->processReplacing)(plug.get(), in, out,
                                                                 std::min(512, frames - start));
    }
    int normal = 0;
    for (const std::vector<float>* out : {&outL, &outR})
      for (float v : *out)
      {
        subnormal += std::fpclassify(v) == FP_SUBNORMAL;
        normal += std::fpclassify(v) == FP_NORMAL;
      }
    EXPECT_EQ(subnormal, 0) << "of " << 2 * frames;
    // After the latency about three quarters of the output is above FLT_MIN.
    EXPECT_GT(normal, frames);
  }
}

TEST(VstLatency, SampleRateChangeWhileRunningIsAnnounced)
{
  Instance plug;
  ASSERT_TRUE(plug);
  // Construction and set-up while suspended: no announcement.
  plug.Dispatch(effOpen);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  plug.Dispatch(effSetBlockSize, 0, 512);
  EXPECT_EQ(plug->initialDelay, kLatency44k);
  EXPECT_EQ(Host().count(audioMasterIOChanged), 0);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  const int suspendedLatency = plug->initialDelay;
  EXPECT_NE(suspendedLatency, kLatency44k);
  EXPECT_EQ(Host().count(audioMasterIOChanged), 0);

  plug.Dispatch(effMainsChanged, 0, 1);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  EXPECT_EQ(plug->initialDelay, kLatency44k);
  EXPECT_EQ(Host().count(audioMasterIOChanged), 1);
  // The same rate again changes nothing and announces nothing.
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  EXPECT_EQ(Host().count(audioMasterIOChanged), 1);
  // Rates that are not positive finite numbers are ignored.
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, -48000.0f);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, NAN);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, INFINITY);
  EXPECT_EQ(plug->initialDelay, kLatency44k);
  plug.Dispatch(effMainsChanged, 0, 0);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_EQ(plug->initialDelay, suspendedLatency);
  EXPECT_EQ(Host().count(audioMasterIOChanged), 1);
}

TEST(VstLatency, ResolutionChangeWhileRunningIsAnnounced)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Start();
  ASSERT_EQ(plug->initialDelay, kLatency44k);
  char text[16] = "4";
  plug.Dispatch(effString2Parameter, kParamResolution, 0, text); // Resolution
  // The reset runs at the next block boundary on the audio thread.
  std::vector<float> silence(512, 0.0f);
  std::vector<float> out(1024);
  float* in[2] = {silence.data(), silence.data()};
  float* o[2] = {out.data(), out.data() + 512};
  for (int i = 0; i < 20; ++i) plug->processReplacing(plug.get(), in, o, 512);
  EXPECT_GT(plug->initialDelay, kLatency44k);
  EXPECT_GE(Host().count(audioMasterIOChanged), 1);
}
