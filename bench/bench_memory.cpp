// Resident memory per instance, measured the way a host sees it: the built VST bundle is loaded
// through the plug-in ABI (no engine code is linked), 8 instances are opened, resumed and run for
// 100 blocks of 512 frames at 44.1 kHz, and the growth of the process's resident set
// (/proc/self/statm) is divided by 8. One warm instance is opened first, so the library's code,
// its process-wide tables and the instance table are not counted.
//
// Each figure is measured in a child process of its own, so memory a previous measurement left in
// the allocator cannot hide growth. The figures are counters (KiB and MiB per instance); the
// benchmark's time is meaningless. bench-memory-arrays gives the parts of these figures, buffer by
// buffer. TARVEX_BENCH_COMPARE=<other Tarvex.vst> measures another build beside this one in the
// same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/ResidentMemory.h"
#include "tools/tarvex-render-host.h"

namespace
{
constexpr double kRate = 44100.0;
constexpr int kHostBlock = 512;
constexpr int kBlocks = 100;
constexpr int kInstances = 8;
const char* const kPeerPath = "/usr/lib/vst/lsp-plugins/para-equalizer-x16-stereo.so";

// Instances read an empty preferences folder, never the machine's (Resolution and Input Buffer
// Size are also global settings kept there).
void UseEmptyPrefs()
{
  char tmpl[] = "/tmp/tarvex-bench-memory-XXXXXX";
  if (mkdtemp(tmpl)) setenv("XDG_CONFIG_HOME", tmpl, 1);
}

struct Settings
{
  double resolution = -1;      // normalised value to set, or < 0 to keep the default
  double inputBufferSize = -1; // likewise
};

// Opens, configures, resumes and runs one instance for kBlocks blocks of a loud stereo signal.
bool RunInstance(RenderPlugin& plug, const std::string& path, const Settings& settings,
                 std::vector<double>* in, std::vector<double>* out)
{
  std::string error;
  if (!plug.Load(path, &error)) return false;
  plug.Open(kRate, kHostBlock);
  AEffect* effect = plug.Effect();
  if (settings.resolution >= 0 || settings.inputBufferSize >= 0)
  {
    const int r = plug.FindParam("Resolution");
    const int b = plug.FindParam("Input Buffer Size");
    if (r < 0 || b < 0) return false;
    effect->setParameter(effect, r, static_cast<float>(settings.resolution));
    effect->setParameter(effect, b, static_cast<float>(settings.inputBufferSize));
  }
  plug.Start();
  for (int k = 0; k < kBlocks; ++k)
  {
    double* ins[2] = {in[0].data() + k * kHostBlock, in[1].data() + k * kHostBlock};
    double* outs[2] = {out[0].data() + k * kHostBlock, out[1].data() + k * kHostBlock};
    plug.Process(ins, outs, 2, kHostBlock);
  }
  return true;
}

// In the child: KiB of resident memory per instance, or -1 when the plug-in cannot be run.
double MeasureHere(const std::string& path, const Settings& settings)
{
  UseEmptyPrefs();
  const size_t frames = static_cast<size_t>(kHostBlock) * kBlocks;
  std::vector<double> in[2] = {std::vector<double>(frames), std::vector<double>(frames)};
  std::vector<double> out[2] = {std::vector<double>(frames), std::vector<double>(frames)};
  for (size_t i = 0; i < frames; ++i)
  {
    in[0][i] = 0.5 * std::sin(i * 0.031) + 0.2 * std::sin(i * 0.7);
    in[1][i] = 0.5 * std::sin(i * 0.017) + 0.2 * std::sin(i * 1.3);
  }
  std::vector<std::unique_ptr<RenderPlugin>> plugs;
  for (int i = 0; i <= kInstances; ++i) plugs.push_back(std::make_unique<RenderPlugin>());

  if (!RunInstance(*plugs[0], path, settings, in, out)) return -1;
  const long before = ResidentKiB();
  for (int i = 1; i <= kInstances; ++i)
    if (!RunInstance(*plugs[i], path, settings, in, out)) return -1;
  const long after = ResidentKiB();
  if (before < 0 || after < 0) return -1;
  return static_cast<double>(after - before) / kInstances;
}

// Runs MeasureHere in a child process and returns its figure (-1 on any failure).
double Measure(const std::string& path, const Settings& settings)
{
  int fds[2];
  if (pipe(fds) != 0) return -1;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0)
  {
    close(fds[0]);
    close(fds[1]);
    return -1;
  }
  if (child == 0)
  {
    close(fds[0]);
    const double kib = MeasureHere(path, settings);
    const ssize_t written = write(fds[1], &kib, sizeof(kib));
    _exit(written == static_cast<ssize_t>(sizeof(kib)) ? 0 : 1);
  }
  close(fds[1]);
  double kib = -1;
  if (read(fds[0], &kib, sizeof(kib)) != static_cast<ssize_t>(sizeof(kib))) kib = -1;
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kib : -1;
}

void Report(benchmark::State& state, const std::string& path, const Settings& settings)
{
  double kib = -1;
  for (auto _ : state) kib = Measure(path, settings);
  if (kib < 0)
  {
    state.SkipWithError(("cannot run " + path).c_str());
    return;
  }
  state.counters["KiB_per_instance"] = kib;
  state.counters["MiB_per_instance"] = kib / 1024.0;
}

void BM_TarvexResidentDefaults(benchmark::State& state)
{
  Report(state, TARVEX_VST_BUNDLE, Settings{});
}

// Resolution 8 and Input Buffer Size 3 are both the top of their ranges (normalised 1), giving the
// largest transform.
void BM_TarvexResidentResolution8Buffer3(benchmark::State& state)
{
  Report(state, TARVEX_VST_BUNDLE, Settings{1.0, 1.0});
}

void BM_PeerResidentDefaults(benchmark::State& state)
{
  struct stat st;
  if (stat(kPeerPath, &st) != 0)
  {
    state.SkipWithError("peer not installed (lsp-plugins-vst)");
    for (auto _ : state)
    {
    }
    return;
  }
  Report(state, kPeerPath, Settings{});
}
} // namespace

BENCHMARK(BM_TarvexResidentDefaults)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarvexResidentResolution8Buffer3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerResidentDefaults)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
  const char* compare = std::getenv("TARVEX_BENCH_COMPARE");
  if (compare && *compare)
  {
    const std::string other = compare;
    benchmark::RegisterBenchmark("BM_CompareResidentDefaults", [other](benchmark::State& state)
                                 { Report(state, other, Settings{}); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_CompareResidentResolution8Buffer3",
                                 [other](benchmark::State& state) {
                                   Report(state, other, Settings{1.0, 1.0});
                                 })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
