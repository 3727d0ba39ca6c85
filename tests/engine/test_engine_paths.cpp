// The convolution's code paths against each other: a stereo instance (both channels through one
// complex transform) against mono instances (one real transform per channel), and every
// instruction set the processor has against the scalar code; then the floating-point control word
// around a process call.
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "dsp/Fft.h"
#include "dsp/TarvexEngine.h"
#include "tests/engine/EngineTestSupport.h"

namespace
{
constexpr double kEps = 2.220446049250313e-16;

class EnginePaths : public testing::Test
{
protected:
  EmptyPrefs prefs;
  void TearDown() override { FftSetInstructionSet(FftBestInstructionSet()); }
};

Stereo Noise(size_t n, unsigned seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> uniform(-0.25, 0.25);
  Stereo s(n);
  for (size_t i = 0; i < n; ++i) s.left[i] = uniform(rng), s.right[i] = uniform(rng);
  return s;
}

double Rms(const std::vector<double>& v)
{
  double sum = 0;
  for (double x : v) sum += x * x;
  return std::sqrt(sum / v.size());
}

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b)
{
  double worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::fmax(worst, std::fabs(a[i] - b[i]));
  return worst;
}

struct Rendered
{
  Stereo out;
  double gain = 0; // largest amplitude of the final kernel's response
  int n = 0;       // transform length
};

// Noise through boosted and cut bands in 512-frame calls, with a gain change at a block boundary
// (one cross-fade block, four transforms per channel); mono instances take one channel each.
Rendered Render(int set, bool stereo, const Stereo& in)
{
  EXPECT_EQ(set, FftSetInstructionSet(set));
  Rendered r;
  r.out = Stereo(in.size());
  for (int channel = 0; channel < (stereo ? 1 : 2); ++channel)
  {
    auto plug = MakeTarvex(44100.0, stereo);
    SetParam(*plug, kParamBandGain + 1, 9.0);
    SetParam(*plug, kParamBandGain + 2, -12.0);
    Stereo source = in;
    if (!stereo && channel == 1) source.left = in.right;
    const Stereo out = Stream(
        *plug, source, [](int) { return 512; },
        [&](int call, size_t)
        {
          if (call == 20) SetParam(*plug, kParamOverallGain, 4.0);
        });
    if (stereo)
      r.out = out;
    else
      (channel == 0 ? r.out.left : r.out.right) = out.left;
    const TarvexEngine& e = plug->Engine();
    r.n = e.mFftSize;
    // The kernel spectrum holds the response H_k itself (half-complex).
    const double* k = e.mConvKernel;
    double peak = std::fabs(k[0]);
    for (int b = 1; 2 * b < r.n; ++b) peak = std::fmax(peak, std::hypot(k[b], k[r.n - b]));
    r.gain = std::fmax(r.gain, peak);
  }
  return r;
}

// One output sample is the sum of at most two overlapping block results, each of which went
// through two transforms (the FFT's own bound is 4 eps (log2 N + 4) of the signal's rms, see the
// FFT tests) and a multiply by at most the response's peak gain; a cross-fade block doubles the
// transforms. So 2 blocks x 2 fades x 2 transforms x that bound x the gain, against the input's
// rms; a wrong bin, twiddle, channel or scale gives errors of the order of the signal itself.
// (Measured: 5.3e-16 against a bound of 7e-14 at N = 2880.)
double Tolerance(const Rendered& r, double inputRms)
{
  return 8.0 * 4.0 * kEps * (std::log2(static_cast<double>(r.n)) + 4.0) * r.gain * inputRms;
}
} // namespace

TEST_F(EnginePaths, StereoTransformMatchesPerChannelTransforms)
{
  const Stereo in = Noise(30000, 3);
  const Rendered stereo = Render(FftBestInstructionSet(), true, in);
  const Rendered mono = Render(FftBestInstructionSet(), false, in);
  ASSERT_GT(stereo.gain, 3.5); // +9 dB and +4 dB overall are in the kernel
  const double tolerance = Tolerance(stereo, std::fmax(Rms(in.left), Rms(in.right)));
  EXPECT_LE(MaxDifference(stereo.out.left, mono.out.left), tolerance);
  EXPECT_LE(MaxDifference(stereo.out.right, mono.out.right), tolerance);
  // The channels stay apart: the left output is not the right one's.
  EXPECT_GT(MaxDifference(stereo.out.left, stereo.out.right), 0.1);
}

TEST_F(EnginePaths, EveryInstructionSetMatchesTheScalarCode)
{
  const Stereo in = Noise(30000, 5);
  for (bool stereo : {true, false})
  {
    const Rendered scalar = Render(kFftScalar, stereo, in);
    const double tolerance = Tolerance(scalar, std::fmax(Rms(in.left), Rms(in.right)));
    for (int set = kFftSse2; set <= FftBestInstructionSet(); ++set)
    {
      const Rendered other = Render(set, stereo, in);
      EXPECT_LE(MaxDifference(other.out.left, scalar.out.left), tolerance)
          << "set " << set << " stereo " << stereo;
      EXPECT_LE(MaxDifference(other.out.right, scalar.out.right), tolerance)
          << "set " << set << " stereo " << stereo;
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Subnormal input is flushed inside the call (the output is exactly silent instead of carrying
// subnormal values), and the caller's control word, rounding mode included, comes back unchanged.
TEST_F(EnginePaths, ProcessFlushesSubnormalsAndRestoresTheControlWord)
{
  auto plug = MakeTarvex();
  Stereo in(20000);
  for (size_t i = 0; i < in.size(); ++i) in.left[i] = in.right[i] = (i % 7 + 1) * 1e-310;
  const unsigned saved = _mm_getcsr();
  const unsigned caller = (saved & ~0x8040u & ~0x6000u) | 0x2000u; // round down, no flushing
  _mm_setcsr(caller);
  const Stereo out = StreamFixed(*plug, in, 512);
  const unsigned after = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_EQ(after & ~0x3fu, caller & ~0x3fu); // exception flags (low 6 bits) may have been raised
  size_t nonZero = 0;
  for (size_t i = 0; i < out.size(); ++i) nonZero += out.left[i] != 0.0 || out.right[i] != 0.0;
  EXPECT_EQ(nonZero, 0u);
}
#endif
