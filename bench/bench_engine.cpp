// Cost of the audio path: ProcessFrames per second of stereo audio at 44.1 kHz in host blocks of
// 512, one kernel rebuild, and the resident memory one instance adds.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

#include "dsp/TarvexEngine.h"
#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
using BenchTarvex = Tarvex<IPlugTestWrapper>;
constexpr double kRate = 44100.0;
constexpr int kHostBlock = 512;
constexpr int kCallsPerSecond = 87; // 87 * 512 = 44544 frames, about 1.01 s

// Instances read an empty preferences folder, never the machine's.
void UseEmptyPrefs()
{
  static bool done = false;
  if (done) return;
  char tmpl[] = "/tmp/tarvex-bench-XXXXXX";
  if (mkdtemp(tmpl)) setenv("XDG_CONFIG_HOME", tmpl, 1);
  done = true;
}

std::unique_ptr<BenchTarvex> MakeInstance(double resolution, double inputBufferSize)
{
  UseEmptyPrefs();
  std::unique_ptr<BenchTarvex> plug(
      CreateTarvex<IPlugTestWrapper>(IPlugTestWrapper::InstanceInfo{}));
  plug->ConnectInputs(0, 2, true);
  plug->ConnectOutputs(0, 2, true);
  plug->GetParam(kParamResolution)->mValue = resolution;
  plug->GetParam(kParamInputBufferSize)->mValue = inputBufferSize;
  plug->ParamChanged(kParamResolution);
  return plug;
}

void ProcessSecond(benchmark::State& state, double resolution, double inputBufferSize)
{
  auto plug = MakeInstance(resolution, inputBufferSize);
  const int frames = kHostBlock * kCallsPerSecond;
  std::vector<double> inL(frames), inR(frames), outL(frames), outR(frames);
  for (int i = 0; i < frames; ++i)
  {
    inL[i] = 0.3 * std::sin(i * 0.031) + 0.1 * std::sin(i * 0.7);
    inR[i] = 0.3 * std::sin(i * 0.017);
  }
  auto run = [&]
  {
    for (int k = 0; k < kCallsPerSecond; ++k)
    {
      double* ins[2] = {inL.data() + k * kHostBlock, inR.data() + k * kHostBlock};
      double* outs[2] = {outL.data() + k * kHostBlock, outR.data() + k * kHostBlock};
      plug->ProcessFrames(ins, outs, kHostBlock);
    }
  };
  run(); // applies the reset and fills the first blocks
  for (auto _ : state)
  {
    run();
    benchmark::DoNotOptimize(outL.data());
    benchmark::ClobberMemory();
  }
  const double audioSeconds = frames / kRate;
  state.counters["N"] = plug->Engine().mFftSize;
  state.counters["latency"] = plug->GetLatency();
  // CPU ms per second of audio, and how many times faster than real time (per instance, one core).
  // (Counter value = CPU seconds / (audio seconds / 1000), printed with a time suffix: read it as
  // ms.)
  state.counters["cpu_ms_per_audio_s"] =
      benchmark::Counter(audioSeconds / 1000.0, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
  state.counters["realtime_factor"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ProcessDefaults(benchmark::State& state)
{
  ProcessSecond(state, 1.0, 1.0);
}
void BM_ProcessResolution8Buffer3(benchmark::State& state)
{
  ProcessSecond(state, 8.0, 3.0);
}

// The limiter's cost at defaults: the same stereo noise (peaks near 0.5) through a limiter at 0 dB,
// which it never reaches (idle), and at -12 dB, which it exceeds in every block (engaged).
void ProcessNoise(benchmark::State& state, double limiterDb)
{
  auto plug = MakeInstance(1.0, 1.0);
  plug->GetParam(kParamLimiter)->mValue = limiterDb;
  const int frames = kHostBlock * kCallsPerSecond;
  std::vector<double> inL(frames), inR(frames), outL(frames), outR(frames);
  uint32_t seed = 12345;
  const auto noise = [&seed]
  {
    seed = seed * 1664525u + 1013904223u;
    return (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.9;
  };
  for (int i = 0; i < frames; ++i)
  {
    inL[i] = noise();
    inR[i] = noise();
  }
  auto run = [&]
  {
    for (int k = 0; k < kCallsPerSecond; ++k)
    {
      double* ins[2] = {inL.data() + k * kHostBlock, inR.data() + k * kHostBlock};
      double* outs[2] = {outL.data() + k * kHostBlock, outR.data() + k * kHostBlock};
      plug->ProcessFrames(ins, outs, kHostBlock);
    }
  };
  run();
  double peak = 0;
  for (int i = 0; i < frames; ++i) peak = std::fmax(peak, std::fabs(inL[i]));
  for (auto _ : state)
  {
    run();
    benchmark::DoNotOptimize(outL.data());
    benchmark::ClobberMemory();
  }
  state.counters["input_peak"] = peak;
  state.counters["cpu_ms_per_audio_s"] =
      benchmark::Counter(frames / kRate / 1000.0, benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_ProcessLimiterIdle(benchmark::State& state)
{
  ProcessNoise(state, 0.0);
}
void BM_ProcessLimiterEngaged(benchmark::State& state)
{
  ProcessNoise(state, -12.0);
}

void KernelRebuild(benchmark::State& state, double resolution, double inputBufferSize)
{
  auto plug = MakeInstance(resolution, inputBufferSize);
  double silence[2][kHostBlock] = {};
  double out[2][kHostBlock];
  double* ins[2] = {silence[0], silence[1]};
  double* outs[2] = {out[0], out[1]};
  plug->ProcessFrames(ins, outs, kHostBlock); // applies the reset
  TarvexEngine& e = plug->Engine();
  InstanceState& s = *plug->State();
  double gain = 0;
  for (auto _ : state)
  {
    s.bandTable[1].gain = (gain += 0.01);
    SynthesizeKernel(&e.synth, s.bandTable, s.sortedPoints, e.mKernelLength, e.mFftSize,
                     e.mSampleRate, s.displayCurve, &s.curveChanged, s.curveLock, kDisplayColumns,
                     &s.sortedCount); // into the convolution kernel, in place
    benchmark::ClobberMemory();
  }
  state.counters["N"] = e.mFftSize;
}

void BM_KernelRebuildDefaults(benchmark::State& state)
{
  KernelRebuild(state, 1.0, 1.0);
}
void BM_KernelRebuildN64000(benchmark::State& state)
{
  KernelRebuild(state, 8.0, 3.0);
}

long ResidentKiB()
{
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Resident memory added by constructed instances that have processed a second of audio (so every
// array they touch is resident), averaged over 8.
void BM_ResidentMemoryPerInstance(benchmark::State& state)
{
  constexpr int kInstances = 8;
  double perInstance = 0;
  for (auto _ : state)
  {
    auto warm = MakeInstance(1.0, 1.0); // process-wide tables and the instance table
    const long before = ResidentKiB();
    std::vector<std::unique_ptr<BenchTarvex>> plugs;
    std::vector<double> in(kHostBlock, 0.1), out(kHostBlock);
    for (int i = 0; i < kInstances; ++i)
    {
      plugs.push_back(MakeInstance(1.0, 1.0));
      double* ins[2] = {in.data(), in.data()};
      double* outs[2] = {out.data(), out.data()};
      for (int k = 0; k < kCallsPerSecond; ++k) plugs.back()->ProcessFrames(ins, outs, kHostBlock);
    }
    perInstance = static_cast<double>(ResidentKiB() - before) / kInstances;
  }
  state.counters["KiB_per_instance"] = perInstance;
}
} // namespace

BENCHMARK(BM_ProcessDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessResolution8Buffer3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessLimiterIdle)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessLimiterEngaged)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KernelRebuildDefaults)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KernelRebuildN64000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResidentMemoryPerInstance)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
