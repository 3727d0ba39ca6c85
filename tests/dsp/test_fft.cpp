// Tests of the real FFT against a long-double DFT and FFTW, plus its plan, layout and error
// contracts.
#include "dsp/Fft.h"

#include <gtest/gtest.h>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{

const int kTableLengths[36] = {100,   180,   240,   320,   400,   500,   720,   960,   1280,
                               1600,  2000,  2160,  2304,  2880,  3840,  4800,  5120,  6400,
                               8000,  10000, 11520, 12500, 14400, 15625, 19200, 24000, 25920,
                               32400, 34560, 40000, 43200, 46080, 54000, 57600, 61440, 64000};

// Odd and even lengths off the table: primes (a single general stage), mixed general factors,
// lengths whose complex half has no factor 4 or 5, and short ones.
const int kOtherLengths[] = {2,   3,    4,    5,    6,    7,    8,    9,    11,    12,   13,
                             14,  18,   22,   27,   49,   54,   97,   98,   121,   162,  210,
                             343, 1024, 1025, 1026, 2310, 4096, 6561, 7919, 10007, 65536};

std::vector<double> RandomSignal(int n, unsigned seed)
{
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = uniform(generator);
  return x;
}

// Orthonormal DFT in long double, in half-complex order.
std::vector<double> NaiveForward(const std::vector<double>& x)
{
  const int n = static_cast<int>(x.size());
  const long double twoPi = 6.283185307179586476925286766559L;
  std::vector<long double> cosines(n), sines(n);
  for (int t = 0; t < n; ++t)
  {
    cosines[t] = std::cos(twoPi * t / n);
    sines[t] = std::sin(twoPi * t / n);
  }
  std::vector<double> out(n);
  for (int k = 0; 2 * k <= n; ++k)
  {
    long double re = 0, im = 0;
    for (int j = 0; j < n; ++j)
    {
      const int t = static_cast<int>((static_cast<int64_t>(j) * k) % n);
      re += x[j] * cosines[t];
      im -= x[j] * sines[t];
    }
    const long double scale = 1.0L / std::sqrt(static_cast<long double>(n));
    out[k] = static_cast<double>(re * scale);
    if (k > 0 && 2 * k < n) out[n - k] = static_cast<double>(im * scale);
  }
  return out;
}

double Rms(const std::vector<double>& x)
{
  double sum = 0;
  for (double v : x) sum += v * v;
  return std::sqrt(sum / x.size());
}

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b)
{
  double worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::fmax(worst, std::fabs(a[i] - b[i]));
  return worst;
}

int LargestPrimeFactor(int n)
{
  int largest = 1;
  for (int p = 2; n > 1; ++p)
  {
    if (static_cast<int64_t>(p) * p > n) p = n;
    while (n % p == 0) n /= p, largest = p;
  }
  return largest;
}

// Rounding error of an FFT grows with log2(n) ulps of the signal's rms, plus sqrt(p) for a stage of
// a prime p summed directly; 4 eps per unit leaves a margin of about 7 over the largest error
// measured on these lengths, and a wrong twiddle or index gives errors of order 1.
double Tolerance(int n, double rms)
{
  const int p = LargestPrimeFactor(n);
  const double generalStage = p > 5 ? std::sqrt(static_cast<double>(p)) : 0.0;
  return 4.0 * 2.220446049250313e-16 * (std::log2(static_cast<double>(n)) + 4.0 + generalStage) *
         rms;
}

struct PlanHolder
{
  FftPlan* plan = fftp_plan();
  ~PlanHolder() { fftp_plan_free(plan); }
};

std::vector<double> Forward(std::vector<double> x, FftPlan* plan)
{
  std::vector<double> out(x.size());
  fftp(x.data(), out.data(), static_cast<int>(x.size()), kFftForward, plan);
  return out;
}

std::vector<double> Backward(std::vector<double> x, FftPlan* plan)
{
  std::vector<double> out(x.size());
  fftp(x.data(), out.data(), static_cast<int>(x.size()), kFftBackward, plan);
  return out;
}

TEST(Fft, ImpulseGivesFlatSpectrum)
{
  for (int n : {1, 2, 7, 100, 1025, 2880, 15625})
  {
    PlanHolder holder;
    std::vector<double> x(n, 0.0);
    x[0] = 1.0;
    const std::vector<double> spectrum = Forward(x, holder.plan);
    const double expected = 1.0 / std::sqrt(static_cast<double>(n));
    for (int k = 0; k < n; ++k)
    {
      const bool real = 2 * k <= n;
      // The impulse meets only twiddles of exponent 0, so the results are exact to the last
      // scaling.
      EXPECT_NEAR(spectrum[k], real ? expected : 0.0, 1e-15) << "n " << n << " k " << k;
    }
  }
}

// Every instruction set the processor has, both directions: the fused multiply-add sets round
// differently from the others, so each is held to the reference rather than to another set.
TEST(Fft, EveryInstructionSetMatchesLongDoubleDft)
{
  std::vector<int> lengths(std::begin(kOtherLengths), std::end(kOtherLengths));
  for (int n = 1; n <= 40; ++n) lengths.push_back(n);
  for (int n : {100, 180, 240, 320, 400, 500, 2304, 2880}) lengths.push_back(n);
  for (int n : lengths)
  {
    if (n > 8000) continue; // the reference costs n^2
    const std::vector<double> x = RandomSignal(n, n);
    const std::vector<double> expected = NaiveForward(x);
    for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
    {
      ASSERT_EQ(set, FftSetInstructionSet(set));
      PlanHolder holder;
      EXPECT_LE(MaxDifference(Forward(x, holder.plan), expected), Tolerance(n, Rms(x)))
          << "n " << n << " set " << set;
      EXPECT_LE(MaxDifference(Backward(expected, holder.plan), x), Tolerance(n, Rms(x)))
          << "n " << n << " set " << set;
    }
    FftSetInstructionSet(FftBestInstructionSet());
  }
}

// Every instruction set on the engine's lengths and the others: the widest sets run the strided
// stages and split passes on other lane counts than the narrow ones, chosen by stride and length.
TEST(Fft, EveryInstructionSetMatchesFftwOnTableLengths)
{
  std::vector<int> lengths(std::begin(kTableLengths), std::end(kTableLengths));
  lengths.insert(lengths.end(), std::begin(kOtherLengths), std::end(kOtherLengths));
  for (int n : lengths)
  {
    const std::vector<double> x = RandomSignal(n, 7 * n);
    std::vector<double> in = x, reference(n);
    fftw_plan plan = fftw_plan_r2r_1d(n, in.data(), reference.data(), FFTW_R2HC, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    const double scale = 1.0 / std::sqrt(static_cast<double>(n));
    for (double& v : reference) v *= scale;

    // FFTW's unnormalised inverse, scaled to ours, from the same spectrum.
    const std::vector<double> spectrum = RandomSignal(n, 11 * n);
    std::vector<double> inverse(n);
    in = spectrum;
    plan = fftw_plan_r2r_1d(n, in.data(), inverse.data(), FFTW_HC2R, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    for (double& v : inverse) v *= scale;

    for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
    {
      ASSERT_EQ(set, FftSetInstructionSet(set));
      PlanHolder holder;
      EXPECT_LE(MaxDifference(Forward(x, holder.plan), reference), Tolerance(n, Rms(x)))
          << "n " << n << " set " << set;
      EXPECT_LE(MaxDifference(Backward(spectrum, holder.plan), inverse),
                Tolerance(n, Rms(spectrum)))
          << "n " << n << " set " << set;
    }
    FftSetInstructionSet(FftBestInstructionSet());
  }
}

// FftConvolveStereo on every set against the two channels convolved one by one through fftp and
// HalfComplexMultiply (checked above and below): both are a forward and a backward transform of
// the same length apart from the multiply, so they agree to twice a transform's tolerance on the
// output's rms.
TEST(Fft, StereoConvolutionMatchesChannelByChannelOnEverySet)
{
  // Table lengths of each kind of stage plan (first radix 8 or 10, general stages, long strides of
  // a power of two), and short, odd and prime ones.
  const int lengths[] = {100,   180,   240, 500, 2160, 2880, 5120, 8000, 12500, 15625, 46080,
                         61440, 64000, 2,   3,   7,    16,   98,   1025, 4096,  10007, 65536};
  for (int n : lengths)
  {
    const std::vector<double> left = RandomSignal(n, n), right = RandomSignal(n, n + 1);
    const std::vector<double> kernelSignal = RandomSignal(n, n + 2);
    std::vector<std::vector<double>> expected(2);
    {
      PlanHolder holder;
      const std::vector<double> kernel = Forward(kernelSignal, holder.plan);
      for (int c = 0; c < 2; ++c)
      {
        std::vector<double> spectrum = Forward(c == 0 ? left : right, holder.plan);
        HalfComplexMultiply(spectrum.data(), kernel.data(), spectrum.data(), n);
        expected[c] = Backward(spectrum, holder.plan);
      }
    }
    PlanHolder kernelHolder;
    const std::vector<double> kernel = Forward(kernelSignal, kernelHolder.plan);
    for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
    {
      ASSERT_EQ(set, FftSetInstructionSet(set));
      PlanHolder holder;
      std::vector<double> outLeft = left, outRight = right; // in place, as the engine runs it
      const double* in[2] = {outLeft.data(), outRight.data()};
      double* out[2] = {outLeft.data(), outRight.data()};
      FftConvolveStereo(in, out, kernel.data(), n, holder.plan);
      for (int c = 0; c < 2; ++c)
        EXPECT_LE(MaxDifference(c == 0 ? outLeft : outRight, expected[c]),
                  2 * Tolerance(n, Rms(expected[c])))
            << "n " << n << " set " << set << " channel " << c;
    }
    FftSetInstructionSet(FftBestInstructionSet());
  }
}

TEST(Fft, RoundTripReturnsSignal)
{
  std::vector<int> lengths = {100, 2880, 15625, 61440, 64000, 7, 1025, 1, 2, 3, 98, 10007, 65536};
  for (int n : lengths)
  {
    PlanHolder holder;
    const std::vector<double> x = RandomSignal(n, 3 * n);
    const std::vector<double> back = Backward(Forward(x, holder.plan), holder.plan);
    EXPECT_LE(MaxDifference(back, x), 2 * Tolerance(n, Rms(x))) << "n " << n;
  }
}

TEST(Fft, NyquistAndOddLayout)
{
  PlanHolder even;
  std::vector<double> alternating(2880);
  for (int j = 0; j < 2880; ++j) alternating[j] = j % 2 ? -1.0 : 1.0;
  const std::vector<double> spectrum = Forward(alternating, even.plan);
  // All energy in the Nyquist entry: sqrt(n) there, rounding (ulps of sqrt(n)) elsewhere.
  EXPECT_NEAR(spectrum[1440], std::sqrt(2880.0), 1e-12);
  for (int k = 0; k < 2880; ++k)
    if (k != 1440)
    {
      EXPECT_NEAR(spectrum[k], 0.0, 1e-12) << k;
    }

  // Odd n: a cosine and a sine at the highest bin, (n - 1) / 2, land in entries (n - 1) / 2 and
  // (n + 1) / 2.
  const int n = 1025, top = 512;
  PlanHolder odd;
  std::vector<double> wave(n);
  for (int j = 0; j < n; ++j)
  {
    const double angle = 2 * M_PI * top * j / n;
    wave[j] = std::cos(angle) - 2 * std::sin(angle);
  }
  const std::vector<double> odds = Forward(wave, odd.plan);
  const double half = std::sqrt(static_cast<double>(n)) / 2;
  EXPECT_NEAR(odds[top], half, 1e-11);
  EXPECT_NEAR(odds[top + 1], 2 * half, 1e-11); // Im X = -2 * (-n / 2) / sqrt(n)
  for (int k = 0; k < n; ++k)
    if (k != top && k != top + 1)
    {
      EXPECT_NEAR(odds[k], 0.0, 1e-11) << k;
    }
}

// Scalar, SSE2 and AVX perform the same operations in the same order; each set is also
// deterministic in itself, in place or not, with or without a plan.
TEST(Fft, InPlaceBackwardSourceAndInstructionSetsAgreeBitForBit)
{
  // 100 to 500: the lengths the fused multiply-add sets run through codelets.
  std::vector<int> lengths = {2,   6,    12,   30,   100,   180,   240, 320,  400,
                              500, 1025, 2304, 2880, 15625, 64000, 98,  1331, 6006};
  for (int n : lengths)
    for (int direction : {kFftForward, kFftBackward})
    {
      const std::vector<double> x = RandomSignal(n, n + direction);
      std::vector<std::vector<double>> results;
      for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
      {
        if (FftSetInstructionSet(set) != set) continue;
        if (set >= kFftFma)
        {
          PlanHolder holder;
          std::vector<double> source = x, out(n), inPlace = x, once = x;
          fftp(source.data(), out.data(), n, direction, holder.plan);
          if (direction == kFftBackward)
          {
            EXPECT_EQ(source, x) << "backward changed its source, n " << n << " set " << set;
          }
          fftp(inPlace.data(), inPlace.data(), n, direction, holder.plan);
          EXPECT_EQ(out, inPlace) << "n " << n << " set " << set;
          fftp_once(once.data(), once.data(), n, direction);
          EXPECT_EQ(out, once) << "n " << n << " set " << set;
          continue;
        }
        PlanHolder holder;
        std::vector<double> source = x, out(n);
        fftp(source.data(), out.data(), n, direction, holder.plan);
        if (direction == kFftBackward)
        {
          EXPECT_EQ(source, x) << "backward changed its source, n " << n;
        }
        results.push_back(out);

        std::vector<double> inPlace = x;
        fftp(inPlace.data(), inPlace.data(), n, direction, holder.plan);
        results.push_back(inPlace);

        std::vector<double> once = x;
        fftp_once(once.data(), once.data(), n, direction);
        results.push_back(once);
      }
      FftSetInstructionSet(FftBestInstructionSet());
      for (const std::vector<double>& r : results)
        EXPECT_EQ(0, std::memcmp(r.data(), results[0].data(), n * sizeof(double)))
            << "n " << n << " direction " << direction;
    }
}

// Every set reads and writes exactly the n values of its arrays, whatever the kernels (the quarter
// transforms of 100, 180 and 240 place vectors whose lanes straddle the spectrum's ends): the marks
// around both arrays stay as they were, and a mark read as data would spoil the result.
TEST(Fft, TransformsTouchOnlyTheirNValues)
{
  constexpr int kGuard = 8;
  constexpr double kMark = 1234.5;
  for (int n : {1, 2, 5, 12, 98, 100, 180, 240, 320, 400, 500, 2880})
  {
    const std::vector<double> x = RandomSignal(n, n + 5), spectrum = NaiveForward(x);
    for (int direction : {kFftForward, kFftBackward})
      for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
      {
        ASSERT_EQ(set, FftSetInstructionSet(set));
        PlanHolder holder;
        const std::vector<double>& source = direction == kFftForward ? x : spectrum;
        const std::vector<double>& expected = direction == kFftForward ? spectrum : x;
        std::vector<double> in(n + 2 * kGuard, kMark), out(n + 2 * kGuard, kMark);
        std::copy(source.begin(), source.end(), in.begin() + kGuard);
        fftp(in.data() + kGuard, out.data() + kGuard, n, direction, holder.plan);
        for (int i = 0; i < kGuard; ++i)
        {
          EXPECT_EQ(kMark, out[i]) << "n " << n << " set " << set << " below, " << i;
          EXPECT_EQ(kMark, out[n + kGuard + i]) << "n " << n << " set " << set << " above, " << i;
        }
        const std::vector<double> result(out.begin() + kGuard, out.end() - kGuard);
        EXPECT_LE(MaxDifference(result, expected), Tolerance(n, Rms(x)))
            << "n " << n << " set " << set << " direction " << direction;
      }
  }
  FftSetInstructionSet(FftBestInstructionSet());
}

// The shared tables are found by length, so a plan given another length without its flag cleared
// still transforms with the right tables (it used to keep the stale ones).
TEST(Fft, PlanFollowsTheLengthEvenWithTheFlagSet)
{
  PlanHolder holder;
  const std::vector<double> x100 = RandomSignal(100, 1);
  const std::vector<double> right100 = Forward(x100, holder.plan);
  EXPECT_EQ(1, holder.plan->initialised);
  EXPECT_EQ(100, holder.plan->factors[0]);

  const std::vector<double> x180 = RandomSignal(180, 2);
  const std::vector<double> expected = NaiveForward(x180);
  EXPECT_LE(MaxDifference(Forward(x180, holder.plan), expected), Tolerance(180, Rms(x180)));
  EXPECT_EQ(180, holder.plan->factors[0]);

  holder.plan->initialised = 0;
  EXPECT_LE(MaxDifference(Forward(x180, holder.plan), expected), Tolerance(180, Rms(x180)));
  EXPECT_EQ(180, holder.plan->factors[0]);

  // Reuse for the same length gives identical results every time.
  holder.plan->initialised = 0;
  const std::vector<double> first = Forward(x100, holder.plan);
  EXPECT_EQ(first, Forward(x100, holder.plan));
  EXPECT_EQ(first, right100);
}

TEST(Fft, FactorListOrder)
{
  struct Case
  {
    int n;
    std::vector<int32_t> factors;
  };
  const Case cases[] = {{2880, {4, 4, 4, 3, 3, 5}},
                        {30, {2, 3, 5}},
                        {8, {2, 4}},
                        {98, {2, 7, 7}},
                        {11, {11}},
                        {9, {3, 3}},
                        {15625, {5, 5, 5, 5, 5, 5}},
                        {1025, {5, 5, 41}},
                        {64000, {2, 4, 4, 4, 4, 5, 5, 5}}};
  for (const Case& c : cases)
  {
    PlanHolder holder;
    std::vector<double> x(c.n, 0.5), out(c.n);
    fftp(x.data(), out.data(), c.n, kFftForward, holder.plan);
    EXPECT_EQ(c.n, holder.plan->factors[0]);
    ASSERT_EQ(static_cast<int32_t>(c.factors.size()), holder.plan->factors[1]) << c.n;
    for (size_t i = 0; i < c.factors.size(); ++i)
      EXPECT_EQ(c.factors[i], holder.plan->factors[2 + i]) << c.n;
  }
}

TEST(Fft, BadLengthsAndPointers)
{
  PlanHolder holder;
  std::vector<double> source(8, 3.0), destination(8, 9.0);
  testing::internal::CaptureStderr();
  fftp(source.data(), destination.data(), -5, kFftForward, holder.plan);
  EXPECT_EQ("fftp(): argument n = -5\n", testing::internal::GetCapturedStderr());
  testing::internal::CaptureStderr();
  fftp_once(source.data(), destination.data(), -1, kFftBackward);
  EXPECT_EQ("fftp(): argument n = -1\n", testing::internal::GetCapturedStderr());
  // Beyond what a plan's arrays hold: refused rather than overrunning them.
  testing::internal::CaptureStderr();
  fftp(source.data(), destination.data(), 66553, kFftForward, holder.plan);
  EXPECT_EQ("fftp(): argument n = 66553\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ(std::vector<double>(8, 3.0), source);
  EXPECT_EQ(std::vector<double>(8, 9.0), destination);
  EXPECT_EQ(0, holder.plan->initialised);

  testing::internal::CaptureStderr();
  fftp(source.data(), destination.data(), 0, kFftForward, holder.plan);
  fftp(nullptr, destination.data(), 8, kFftForward, holder.plan);
  fftp(source.data(), nullptr, 8, kFftForward, holder.plan);
  fftp(source.data(), destination.data(), 8, kFftForward, nullptr);
  fftp(source.data(), destination.data(), 8, 7, holder.plan);
  fftp_once(nullptr, nullptr, 8, kFftForward);
  HalfComplexMultiply(nullptr, source.data(), destination.data(), 8);
  HalfComplexMagnitude(nullptr, 8);
  HalfComplexMagnitude(destination.data(), -3);
  fftp_plan_free(nullptr);
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  EXPECT_EQ(std::vector<double>(8, 9.0), destination);

  // n = 1: the value passes unchanged, with or without a plan.
  double one = -2.5, result = 0;
  fftp(&one, &result, 1, kFftForward, holder.plan);
  EXPECT_EQ(-2.5, result);
  fftp_once(&one, &result, 1, kFftBackward);
  EXPECT_EQ(-2.5, result);
}

TEST(Fft, EveryPlanLengthFitsTheTables)
{
  for (int n = 1; 2 * n + 15 <= kFftPlanWorkLength; ++n) ASSERT_TRUE(FftPlanTablesFit(n)) << n;
  EXPECT_FALSE(FftPlanTablesFit(66553));
  EXPECT_FALSE(FftPlanTablesFit(0));
}

// Direct circular convolution against sqrt(n) * backward(product of spectra), in place into one
// operand.
TEST(Fft, MultiplyGivesCircularConvolution)
{
  for (int n : {6, 7, 100, 1025, 2880})
  {
    PlanHolder holder;
    const std::vector<double> x = RandomSignal(n, 5), y = RandomSignal(n, 6);
    std::vector<double> direct(n, 0.0);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) direct[(i + j) % n] += x[i] * y[j];
    std::vector<double> a = Forward(x, holder.plan), b = Forward(y, holder.plan);
    HalfComplexMultiply(a.data(), b.data(), a.data(), n);
    std::vector<double> convolved = Backward(a, holder.plan);
    for (double& v : convolved) v *= std::sqrt(static_cast<double>(n));
    // Sums of n products of values in [-1, 1]: the direct sum itself carries n eps of rounding.
    EXPECT_LE(MaxDifference(convolved, direct), 1e-13 * n) << "n " << n;
  }
}

TEST(Fft, MagnitudeKeepsUpperEntries)
{
  std::vector<double> real = {-3, 2, -1, 0, 0, 0}; // n = 6, imaginary parts zero, Nyquist 0
  HalfComplexMagnitude(real.data(), 6);
  EXPECT_EQ((std::vector<double>{3, 2, 1, 0, 0, 0}), real);

  std::vector<double> even = {-1, 3, 5, 7, 4, 8, -2, 11}; // n = 8: bins 0..3, Nyquist 7 at entry 4
  HalfComplexMagnitude(even.data(), 8);
  EXPECT_EQ((std::vector<double>{1, std::sqrt(9.0 + 121.0), std::sqrt(25.0 + 4.0),
                                 std::sqrt(49.0 + 64.0), 4, 8, -2, 11}),
            even);

  std::vector<double> odd = {2, 3, 4, -4, -3}; // n = 5: bins 0..2
  HalfComplexMagnitude(odd.data(), 5);
  EXPECT_EQ((std::vector<double>{2, std::sqrt(9.0 + 9.0), std::sqrt(16.0 + 16.0), -4, -3}), odd);
}

TEST(Fft, MultiplyBinByBin)
{
  const std::vector<double> a = {2, 1, 3, 5, -1, 4}, b = {-1, 2, 1, 0.5, 3, -2}; // n = 6
  std::vector<double> c(6);
  HalfComplexMultiply(a.data(), b.data(), c.data(), 6);
  // bin 1: (1 + 4i)(2 - 2i) = 10 + 6i; bin 2: (3 - i)(1 + 3i) = 6 + 8i; Nyquist 5 * 0.5
  EXPECT_EQ((std::vector<double>{-2, 10, 6, 2.5, 8, 6}), c);
  std::vector<double> aliased = b;
  HalfComplexMultiply(a.data(), aliased.data(), aliased.data(), 6);
  EXPECT_EQ(c, aliased);
}

// The vector path against the plain bin loop, bit for bit, at lengths around its four-bin groups
// (both parities, with and without a remainder) and a table length, into a third array and in place
// into either operand.
TEST(Fft, MultiplyEveryInstructionSetBitIdentical)
{
  for (int n : {1, 2, 3, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 2880, 2881})
  {
    const std::vector<double> a = RandomSignal(n, 7), b = RandomSignal(n, 8);
    std::vector<double> expected(n);
    expected[0] = a[0] * b[0];
    for (int k = 1; 2 * k < n; ++k)
    {
      expected[k] = a[k] * b[k] - a[n - k] * b[n - k];
      expected[n - k] = a[n - k] * b[k] + a[k] * b[n - k];
    }
    if (n % 2 == 0) expected[n / 2] = a[n / 2] * b[n / 2];
    for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
    {
      ASSERT_EQ(set, FftSetInstructionSet(set));
      std::vector<double> c(n), intoA = a, intoB = b;
      HalfComplexMultiply(a.data(), b.data(), c.data(), n);
      HalfComplexMultiply(intoA.data(), b.data(), intoA.data(), n);
      HalfComplexMultiply(a.data(), intoB.data(), intoB.data(), n);
      EXPECT_EQ(expected, c) << "n " << n << " set " << set;
      EXPECT_EQ(expected, intoA) << "n " << n << " set " << set;
      EXPECT_EQ(expected, intoB) << "n " << n << " set " << set;
    }
    FftSetInstructionSet(FftBestInstructionSet());
  }
}

// The fused convolution against the three steps it replaces, on every instruction set: bit for bit
// where no multiply-add is fused, else within rounding (1e-14 of the largest output: two transforms
// of up to 64000 points, each rounding error about eps * log2 n relative to the signal's scale), at
// small lengths of both parities, each factor mix of the engine's table, and in place.
TEST(Fft, ConvolveRealMatchesTransformMultiplyTransform)
{
  for (int n : {1,  2,  3,  4,   5,   6,    8,    10,   12,    14,    16,
                18, 30, 33, 100, 240, 1280, 2880, 5120, 15625, 46080, 64000})
  {
    const std::vector<double> x = RandomSignal(n, 11), kernelSignal = RandomSignal(n, 12);
    std::vector<double> expected(n);
    for (int set = kFftScalar; set <= FftBestInstructionSet(); ++set)
    {
      ASSERT_EQ(set, FftSetInstructionSet(set));
      PlanHolder holder;
      std::vector<double> kernel = kernelSignal, spectrum(n);
      fftp(kernel.data(), kernel.data(), n, kFftForward, holder.plan);
      std::vector<double> in = x;
      fftp(in.data(), spectrum.data(), n, kFftForward, holder.plan);
      HalfComplexMultiply(spectrum.data(), kernel.data(), spectrum.data(), n);
      fftp(spectrum.data(), expected.data(), n, kFftBackward, holder.plan);

      std::vector<double> out(n), inPlace = x;
      in = x;
      FftConvolveReal(in.data(), out.data(), kernel.data(), n, holder.plan);
      FftConvolveReal(inPlace.data(), inPlace.data(), kernel.data(), n, holder.plan);
      if (set < kFftFma)
      {
        EXPECT_EQ(expected, out) << "n " << n << " set " << set;
      }
      else
      {
        double largest = 0.0;
        for (double v : expected) largest = std::max(largest, std::fabs(v));
        EXPECT_LE(MaxDifference(out, expected), 1e-14 * largest) << "n " << n << " set " << set;
      }
      EXPECT_EQ(out, inPlace) << "n " << n << " set " << set;
    }
    FftSetInstructionSet(FftBestInstructionSet());
  }
  PlanHolder holder;
  std::vector<double> buffer(8, 1.0);
  FftConvolveReal(nullptr, buffer.data(), buffer.data(), 8, holder.plan);
  FftConvolveReal(buffer.data(), buffer.data(), nullptr, 8, holder.plan);
  FftConvolveReal(buffer.data(), buffer.data(), buffer.data(), 8, nullptr);
  FftConvolveReal(buffer.data(), buffer.data(), buffer.data(), -3, holder.plan);
  FftConvolveReal(buffer.data(), buffer.data(), buffer.data(), 1 << 20, holder.plan);
  EXPECT_EQ(std::vector<double>(8, 1.0), buffer);
}

} // namespace
