// Our real FFT beside FFTW on the 36 transform lengths of the engine, forward and backward, out of
// place. FFTW runs three ways: r2hc/hc2r (the same half-complex layout as ours), r2c/c2r plus the
// copy between its complex layout and ours, and r2c/c2r alone; all planned with FFTW_MEASURE.
// No FFTW result is scaled (ours is, by 1/sqrt(n)). Each runs five times, all repetitions of all
// benchmarks in random order; after the runs a table
// gives the ratios ours / FFTW per length. fft/ours_stereo_convolve times FftConvolveStereo and
// fft/ours_pair_convolve two FftConvolveReal calls, the engine's two ways of convolving a stereo
// block, on every length; a second table gives their ratio beside the way the engine takes.
#include "dsp/Fft.h"
#include "dsp/TarvexEngine.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{

// Repetitions of every benchmark, run in random order among all of them (see main): each ratio
// compares the fastest repetition of ours with FFTW's, taken across the whole run rather than in
// one stretch, so that a slow phase of a shared machine weighs on both alike.
constexpr int kRepetitions = 5;

const int kLengths[36] = {100,   180,   240,   320,   400,   500,   720,   960,   1280,
                          1600,  2000,  2160,  2304,  2880,  3840,  4800,  5120,  6400,
                          8000,  10000, 11520, 12500, 14400, 15625, 19200, 24000, 25920,
                          32400, 34560, 40000, 43200, 46080, 54000, 57600, 61440, 64000};

// fftw_malloc'd doubles, freed on scope exit.
struct FftwBuffer
{
  double* data;
  explicit FftwBuffer(size_t count)
      : data(static_cast<double*>(fftw_malloc(count * sizeof(double))))
  {
    std::mt19937 generator(static_cast<unsigned>(count));
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (size_t i = 0; i < count; ++i) data[i] = uniform(generator);
  }
  ~FftwBuffer() { fftw_free(data); }
};

void Ours(benchmark::State& state, int direction)
{
  const int n = static_cast<int>(state.range(0));
  FftPlan* plan = fftp_plan();
  FftwBuffer in(n), out(n);
  fftp(in.data, out.data, n, direction, plan); // set-up outside the timing
  for (auto _ : state)
  {
    fftp(in.data, out.data, n, direction, plan);
    benchmark::DoNotOptimize(out.data);
    benchmark::ClobberMemory();
  }
  fftp_plan_free(plan);
}

void FftwHalfComplex(benchmark::State& state, int direction)
{
  const int n = static_cast<int>(state.range(0));
  FftwBuffer in(n), out(n);
  fftw_plan plan = fftw_plan_r2r_1d(n, in.data, out.data,
                                    direction == kFftForward ? FFTW_R2HC : FFTW_HC2R, FFTW_MEASURE);
  FftwBuffer fresh(n);
  for (int i = 0; i < n; ++i) in.data[i] = fresh.data[i]; // measuring overwrote the input
  for (auto _ : state)
  {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out.data);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
}

// copy: convert between FFTW's complex layout and ours inside the timing (false: the plain
// r2c / c2r transform alone).
void FftwComplex(benchmark::State& state, int direction, bool copy)
{
  const int n = static_cast<int>(state.range(0));
  const int bins = n / 2 + 1;
  FftwBuffer real(n), complex(2 * bins), ours(n);
  fftw_complex* spectrum = reinterpret_cast<fftw_complex*>(complex.data);
  fftw_plan plan = direction == kFftForward
                       ? fftw_plan_dft_r2c_1d(n, real.data, spectrum, FFTW_MEASURE)
                       : fftw_plan_dft_c2r_1d(n, spectrum, real.data, FFTW_MEASURE);
  FftwBuffer fresh(n);
  for (int i = 0; i < n; ++i) real.data[i] = fresh.data[i];
  for (auto _ : state)
  {
    if (!copy)
    {
      fftw_execute(plan);
      benchmark::DoNotOptimize(direction == kFftForward ? complex.data : real.data);
    }
    else if (direction == kFftForward)
    {
      fftw_execute(plan);
      ours.data[0] = spectrum[0][0];
      for (int k = 1; 2 * k < n; ++k)
      {
        ours.data[k] = spectrum[k][0];
        ours.data[n - k] = spectrum[k][1];
      }
      if (n % 2 == 0) ours.data[n / 2] = spectrum[n / 2][0];
      benchmark::DoNotOptimize(ours.data);
    }
    else
    {
      spectrum[0][0] = ours.data[0];
      spectrum[0][1] = 0.0;
      for (int k = 1; 2 * k < n; ++k)
      {
        spectrum[k][0] = ours.data[k];
        spectrum[k][1] = ours.data[n - k];
      }
      if (n % 2 == 0)
      {
        spectrum[n / 2][0] = ours.data[n / 2];
        spectrum[n / 2][1] = 0.0;
      }
      fftw_execute(plan);
      benchmark::DoNotOptimize(real.data);
    }
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
}

// The engine's per-block transform: both channels convolved with one kernel spectrum.
void OursStereo(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  FftPlan* plan = fftp_plan();
  FftwBuffer left(n), right(n), kernel(n), outLeft(n), outRight(n);
  const double* in[2] = {left.data, right.data};
  double* out[2] = {outLeft.data, outRight.data};
  FftConvolveStereo(in, out, kernel.data, n, plan); // set-up outside the timing
  for (auto _ : state)
  {
    FftConvolveStereo(in, out, kernel.data, n, plan);
    benchmark::DoNotOptimize(outLeft.data);
    benchmark::DoNotOptimize(outRight.data);
    benchmark::ClobberMemory();
  }
  fftp_plan_free(plan);
}

// The other way: each channel through the fused real convolution.
void OursPair(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  FftPlan* plan = fftp_plan();
  FftwBuffer left(n), right(n), kernel(n), outLeft(n), outRight(n);
  FftConvolveReal(left.data, outLeft.data, kernel.data, n, plan); // set-up outside the timing
  for (auto _ : state)
  {
    FftConvolveReal(left.data, outLeft.data, kernel.data, n, plan);
    FftConvolveReal(right.data, outRight.data, kernel.data, n, plan);
    benchmark::DoNotOptimize(outLeft.data);
    benchmark::DoNotOptimize(outRight.data);
    benchmark::ClobberMemory();
  }
  fftp_plan_free(plan);
}

// Keeps, per benchmark, the lowest mean CPU time per iteration over its repetitions for the ratio
// table: CPU time and the minimum, since other jobs share the machine and only ever add time.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
  std::map<std::string, double> nanoseconds;

  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
      {
        const double mean = run.cpu_accumulated_time / run.iterations * 1e9;
        auto found = nanoseconds.find(run.run_name.function_name + "/" + run.run_name.args);
        if (found == nanoseconds.end() || mean < found->second)
          nanoseconds[run.run_name.function_name + "/" + run.run_name.args] = mean;
      }
    ConsoleReporter::ReportRuns(runs);
  }
};

const char* const kDirectionNames[2] = {"forward", "backward"};

std::string Base(const char* who, int direction)
{
  return std::string("fft/") + who + "_" + kDirectionNames[direction];
}

std::string Name(const char* who, int direction, int n)
{
  return Base(who, direction) + "/" + std::to_string(n);
}

} // namespace

int main(int argc, char** argv)
{
  for (int n : kLengths)
    for (int direction : {kFftForward, kFftBackward})
    {
      benchmark::RegisterBenchmark(Base("ours", direction).c_str(), Ours, direction)
          ->Arg(n)
          ->Unit(benchmark::kMicrosecond)
          ->Repetitions(kRepetitions)
          ->MinTime(0.1);
      benchmark::RegisterBenchmark(Base("fftw_hc", direction).c_str(), FftwHalfComplex, direction)
          ->Arg(n)
          ->Unit(benchmark::kMicrosecond)
          ->Repetitions(kRepetitions)
          ->MinTime(0.1);
      benchmark::RegisterBenchmark(Base("fftw_c", direction).c_str(), FftwComplex, direction, true)
          ->Arg(n)
          ->Unit(benchmark::kMicrosecond)
          ->Repetitions(kRepetitions)
          ->MinTime(0.1);
      benchmark::RegisterBenchmark(Base("fftw_plain", direction).c_str(), FftwComplex, direction,
                                   false)
          ->Arg(n)
          ->Unit(benchmark::kMicrosecond)
          ->Repetitions(kRepetitions)
          ->MinTime(0.1);
    }
  for (int n : kLengths)
  {
    benchmark::RegisterBenchmark("fft/ours_stereo_convolve", OursStereo)
        ->Arg(n)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(kRepetitions)
        ->MinTime(0.1);
    benchmark::RegisterBenchmark("fft/ours_pair_convolve", OursPair)
        ->Arg(n)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(kRepetitions)
        ->MinTime(0.1);
  }
  // Random interleaving unless the command line says otherwise (its flags come later and win).
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  // The table has a column per FFTW variant that ran (a --benchmark_filter may leave some out);
  // a length appears when ours ran in both directions.
  const char* const kFftw[3] = {"fftw_hc", "fftw_c", "fftw_plain"};
  const char* const kColumns[3] = {"/hc", "/c", "/plain"};
  bool present[3] = {};
  for (int i = 0; i < 3; ++i)
    for (int n : kLengths)
      for (int direction : {kFftForward, kFftBackward})
        if (reporter.nanoseconds.count(Name(kFftw[i], direction, n))) present[i] = true;
  std::printf("\nRatios of CPU times per transform (lowest repetition), ours / FFTW (below 1: ours "
              "faster). hc = r2hc or hc2r, c = r2c or c2r plus the layout copy, plain = r2c or c2r "
              "alone.\n");
  std::printf("%8s", "n");
  for (int direction : {kFftForward, kFftBackward})
  {
    std::printf("  %10s", direction == kFftForward ? "fwd us" : "bwd us");
    for (int i = 0; i < 3; ++i)
      if (present[i]) std::printf(" %8s", kColumns[i]);
  }
  std::printf("\n");
  for (int n : kLengths)
  {
    const auto ours = [&](int direction)
    { return reporter.nanoseconds.find(Name("ours", direction, n)); };
    if (ours(kFftForward) == reporter.nanoseconds.end() ||
        ours(kFftBackward) == reporter.nanoseconds.end())
      continue;
    std::printf("%8d", n);
    for (int direction : {kFftForward, kFftBackward})
    {
      const double mine = ours(direction)->second;
      std::printf("  %10.2f", mine / 1000.0);
      for (int i = 0; i < 3; ++i)
      {
        if (!present[i]) continue;
        auto found = reporter.nanoseconds.find(Name(kFftw[i], direction, n));
        if (found == reporter.nanoseconds.end())
          std::printf(" %8s", "-");
        else
          std::printf(" %8.2f", mine / found->second);
      }
    }
    std::printf("\n");
  }

  std::printf("\nStereo block convolution: one complex transform / two fused real ones (below 1: "
              "the complex one is faster), and the way the engine takes.\n");
  std::printf("%8s  %10s %10s %8s  %s\n", "n", "joint us", "pair us", "ratio", "engine");
  for (int n : kLengths)
  {
    auto joint = reporter.nanoseconds.find("fft/ours_stereo_convolve/" + std::to_string(n));
    auto pair = reporter.nanoseconds.find("fft/ours_pair_convolve/" + std::to_string(n));
    if (joint == reporter.nanoseconds.end() || pair == reporter.nanoseconds.end()) continue;
    std::printf("%8d  %10.2f %10.2f %8.2f  %s\n", n, joint->second / 1000.0, pair->second / 1000.0,
                joint->second / pair->second, StereoTransformPays(n) ? "joint" : "pair");
  }
  benchmark::Shutdown();
  return 0;
}
