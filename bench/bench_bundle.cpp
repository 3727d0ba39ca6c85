// The plug-in as a host sees it: the built VST bundle loaded with dlopen and driven through its
// dispatcher and processReplacing with float buffers, 20 s of stereo white noise at 44.1 kHz in
// blocks of 512 frames. Only the process calls are timed, in CPU time of the whole process (so work
// a plug-in hands to threads of its own counts too), less the clock's own cost; each figure is the
// median of five renders, taken in rounds that render every instance once in a rotating order.
// The same measurement runs on the LSP parametric equaliser (x16 stereo, FIR mode, four bells)
// when its VST 2 build is installed: a peer to compare with, loaded only here, at run time. After
// the runs a table gives both and their ratio from this one run. TARVEX_BENCH_COMPARE=<bundle> adds
// another build of the plug-in (an earlier version, say) to the same run. The CLAP build of the
// same tree (Tarvex.clap) is measured in the same run, through a CLAP host's process calls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bench/ClapBenchPlugin.h"
#include "tools/tarvex-render-host.h"

#ifndef TARVEX_BENCH_BUNDLE
#define TARVEX_BENCH_BUNDLE "Tarvex.vst"
#endif
#ifndef TARVEX_BENCH_CLAP
#define TARVEX_BENCH_CLAP "Tarvex.clap"
#endif

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kSeconds = 20;
constexpr int kRenders = 5;
const char* const kPeerPath = "/usr/lib/vst/lsp-plugins/para-equalizer-x16-stereo.so";

// Results for the table: CPU ms per second of audio (median of the renders), and the latency.
struct Figure
{
  double cpuMsPerSecond = 0;
  int latency = 0;
};
std::map<std::string, Figure> gFigures;

// Instances read an empty preferences folder, never the machine's.
void UseEmptyPrefs()
{
  static bool done = false;
  if (done) return;
  char tmpl[] = "/tmp/tarvex-bench-XXXXXX";
  if (mkdtemp(tmpl)) setenv("XDG_CONFIG_HOME", tmpl, 1);
  done = true;
}

double ProcessCpuSeconds()
{
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Sets a parameter to the normalised value whose display text starts with `text`; false if none.
bool SetParamText(RenderPlugin& plug, const char* name, const char* text)
{
  const int index = plug.FindParam(name);
  if (index < 0) return false;
  AEffect* e = plug.Effect();
  for (int k = 0; k <= 1000; ++k)
  {
    e->setParameter(e, index, k / 1000.0f);
    if (plug.ParamDisplay(index).rfind(text, 0) == 0) return true;
  }
  return false;
}

// Sets a parameter to the normalised value whose displayed number is nearest to `value`.
bool SetParamNumber(RenderPlugin& plug, const char* name, double value)
{
  const int index = plug.FindParam(name);
  if (index < 0) return false;
  AEffect* e = plug.Effect();
  float best = 0.0f;
  double bestDistance = HUGE_VAL;
  for (int k = 0; k <= 2000; ++k)
  {
    const float v = k / 2000.0f;
    e->setParameter(e, index, v);
    const double shown = std::atof(plug.ParamDisplay(index).c_str());
    if (std::fabs(shown - value) < bestDistance) bestDistance = std::fabs(shown - value), best = v;
  }
  e->setParameter(e, index, best);
  return true;
}

// 20 s of independent uniform noise per channel, -6 dBFS peak.
struct Noise
{
  std::vector<float> channel[2];
  Noise()
  {
    std::mt19937 generator(12);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    for (auto& c : channel)
    {
      c.resize(static_cast<size_t>(kRate) * kSeconds);
      for (float& x : c) x = uniform(generator);
    }
  }
};

const Noise& TheNoise()
{
  static const Noise noise;
  return noise;
}

// What one reading of the clock adds to an interval (a system call): the median of empty
// intervals, taken off every timed call.
double ClockOverhead()
{
  static const double overhead = []
  {
    std::vector<double> empty(2001);
    for (double& d : empty)
    {
      const double before = ProcessCpuSeconds();
      d = ProcessCpuSeconds() - before;
    }
    std::sort(empty.begin(), empty.end());
    return empty[empty.size() / 2];
  }();
  return overhead;
}

// One instance under measurement: a VST plug-in through the render host, or a CLAP instance.
struct Measured
{
  std::unique_ptr<RenderPlugin> vst;
  std::unique_ptr<ClapBenchPlugin> clap;
  void ProcessFloat(float** in, float** out, int frames)
  {
    if (clap)
      clap->Process(in, out, static_cast<uint32_t>(frames));
    else
      vst->ProcessFloat(in, out, frames);
  }
  int Latency() const { return clap ? clap->Latency() : vst->Latency(); }
};

// CPU seconds of the process calls of one render of the whole noise; `sum` keeps the output live.
double Render(Measured& plug, double* sum)
{
  const double overhead = ClockOverhead();
  const Noise& noise = TheNoise();
  const int frames = static_cast<int>(noise.channel[0].size());
  std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
  double cpu = 0;
  for (int at = 0; at + kBlock <= frames; at += kBlock)
  {
    float* ins[2] = {const_cast<float*>(noise.channel[0].data()) + at,
                     const_cast<float*>(noise.channel[1].data()) + at};
    float* outs[2] = {out[0].data(), out[1].data()};
    const double before = ProcessCpuSeconds();
    plug.ProcessFloat(ins, outs, kBlock);
    cpu += ProcessCpuSeconds() - before - overhead;
    *sum += out[0][kBlock - 1] + out[1][kBlock - 1];
  }
  return cpu;
}

// Sets a parameter to a normalised value and checks the text it then shows.
bool SetParamExactly(RenderPlugin& plug, const char* name, float normalised, const char* shown)
{
  const int index = plug.FindParam(name);
  if (index < 0) return false;
  plug.Effect()->setParameter(plug.Effect(), index, normalised);
  return plug.ParamDisplay(index) == shown;
}

bool OpenStarted(RenderPlugin& plug, const std::string& path, std::string* error)
{
  if (!plug.Load(path, error)) return false;
  plug.Open(kRate, kBlock);
  plug.Start();
  return true;
}

// maximum: Resolution and Input Buffer Size at the top of their ranges (8 and 3); else defaults.
bool OpenTarvex(RenderPlugin& plug, const std::string& bundle, bool maximum, std::string* error)
{
  UseEmptyPrefs();
  if (!OpenStarted(plug, bundle, error)) return false;
  if (maximum && (!SetParamExactly(plug, "Resolution", 1.0f, "8.0") ||
                  !SetParamExactly(plug, "Input Buffer Size", 1.0f, "3.0")))
  {
    *error = bundle + ": Resolution 8 or Input Buffer Size 3 not found";
    return false;
  }
  return true;
}

// FIR mode, bells at 100 Hz, 500 Hz, 2 kHz and 8 kHz (+6, -6, +3, -3 dB, Q 1).
bool OpenPeer(RenderPlugin& plug, std::string* error)
{
  if (!OpenStarted(plug, kPeerPath, error)) return false;
  static const double kFreq[4] = {100, 500, 2000, 8000};
  static const double kGain[4] = {6, -6, 3, -3};
  bool ok = SetParamText(plug, "mode", "FIR");
  for (int b = 0; b < 4; ++b)
  {
    const std::string k = std::to_string(b);
    ok = ok && SetParamText(plug, ("ft_" + k).c_str(), "Bell") &&
         SetParamNumber(plug, ("f_" + k).c_str(), kFreq[b]) &&
         SetParamNumber(plug, ("g_" + k).c_str(), kGain[b]) &&
         SetParamNumber(plug, ("q_" + k).c_str(), 1.0);
  }
  if (!ok) *error = "peer parameters not found by name";
  return ok;
}

bool PeerInstalled()
{
  struct stat st;
  return stat(kPeerPath, &st) == 0;
}

// One plug-in instance being measured.
struct Subject
{
  std::string key;
  std::unique_ptr<Measured> plug = std::make_unique<Measured>();
  std::vector<double> cpu; // seconds per render
};

// The CLAP build: the same settings as OpenTarvex, set as plain values before activation.
bool OpenClap(Measured& m, bool maximum, std::string* error)
{
  UseEmptyPrefs();
  m.clap = std::make_unique<ClapBenchPlugin>();
  std::vector<std::pair<clap_id, double>> values;
  if (maximum) values = {{21, 8.0}, {22, 3.0}}; // Resolution, Input Buffer Size
  return m.clap->Open(TARVEX_BENCH_CLAP, kRate, kBlock, values, error);
}

bool ClapBuilt()
{
  struct stat st;
  return stat(TARVEX_BENCH_CLAP, &st) == 0;
}

// Every instance is loaded and rendered once (resets, kernel set-up, first blocks); then kRenders
// rounds render each instance once, in an order that rotates from round to round, so that a busy
// spell of the machine falls on all of them alike. Each figure is the median of its renders.
void SideBySide(benchmark::State& state)
{
  std::vector<Subject> subjects;
  std::string error;
  const auto add = [&](const std::string& key, auto&& open)
  {
    Subject s;
    s.key = key;
    s.plug->vst = std::make_unique<RenderPlugin>();
    if (!open(*s.plug->vst, &error)) return false;
    subjects.push_back(std::move(s));
    return true;
  };
  bool ok = add("defaults", [](RenderPlugin& p, std::string* e)
                { return OpenTarvex(p, TARVEX_BENCH_BUNDLE, false, e); }) &&
            add("resolution8", [](RenderPlugin& p, std::string* e)
                { return OpenTarvex(p, TARVEX_BENCH_BUNDLE, true, e); });
  const char* compare = std::getenv("TARVEX_BENCH_COMPARE");
  if (ok && compare && *compare)
  {
    const std::string other = compare;
    ok = add("compare_defaults",
             [&](RenderPlugin& p, std::string* e) { return OpenTarvex(p, other, false, e); }) &&
         add("compare_resolution8",
             [&](RenderPlugin& p, std::string* e) { return OpenTarvex(p, other, true, e); });
  }
  const auto addClap = [&](const std::string& key, bool maximum)
  {
    Subject s;
    s.key = key;
    if (!OpenClap(*s.plug, maximum, &error)) return false;
    subjects.push_back(std::move(s));
    return true;
  };
  if (ok && ClapBuilt()) ok = addClap("clap_defaults", false) && addClap("clap_resolution8", true);
  if (ok && PeerInstalled()) ok = add("lsp", OpenPeer);
  if (!ok)
  {
    state.SkipWithError(error.c_str());
    return;
  }
  double sum = 0;
  for (Subject& s : subjects) Render(*s.plug, &sum);
  const int count = static_cast<int>(subjects.size());
  for (auto _ : state)
  {
    for (int round = 0; round < kRenders; ++round)
      for (int i = 0; i < count; ++i)
      {
        Subject& s = subjects[(round + i) % count];
        s.cpu.push_back(Render(*s.plug, &sum));
      }
    state.SetIterationTime(0.0);
  }
  benchmark::DoNotOptimize(sum);
  for (Subject& s : subjects)
  {
    std::sort(s.cpu.begin(), s.cpu.end());
    Figure f;
    f.cpuMsPerSecond = s.cpu[s.cpu.size() / 2] * 1000.0 / kSeconds;
    f.latency = s.plug->Latency();
    gFigures[s.key] = f;
    state.counters[s.key + "_cpu_ms_per_audio_s"] = f.cpuMsPerSecond;
  }
}
} // namespace

int main(int argc, char** argv)
{
  benchmark::RegisterBenchmark("bundle/side_by_side", SideBySide)
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  if (!PeerInstalled()) std::printf("%s not installed: peer not measured\n", kPeerPath);
  if (!ClapBuilt()) std::printf("%s not built: CLAP not measured\n", TARVEX_BENCH_CLAP);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();

  std::printf("\nCPU ms per second of stereo audio (process calls only, median of %d renders of "
              "%d s, 44.1 kHz, %d-frame float blocks)\n",
              kRenders, kSeconds, kBlock);
  std::printf("%-30s %10s %10s %10s %10s\n", "", "cpu ms/s", "cpu/lsp", "latency", "lat/lsp");
  const auto peer = gFigures.find("lsp");
  const std::pair<const char*, const char*> rows[7] = {
      {"defaults", "Tarvex defaults"},
      {"resolution8", "Tarvex Res 8, Buffer 3"},
      {"clap_defaults", "Tarvex CLAP defaults"},
      {"clap_resolution8", "Tarvex CLAP Res 8, Buffer 3"},
      {"compare_defaults", "compared build, defaults"},
      {"compare_resolution8", "compared build, Res 8, Buf 3"},
      {"lsp", "LSP x16 stereo, FIR, 4 bells"}};
  for (const auto& row : rows)
  {
    const auto found = gFigures.find(row.first);
    if (found == gFigures.end()) continue;
    const Figure& f = found->second;
    const bool versus = peer != gFigures.end() && peer->second.cpuMsPerSecond > 0;
    std::printf("%-30s %10.3f", row.second, f.cpuMsPerSecond);
    if (versus)
      std::printf(" %10.3f", f.cpuMsPerSecond / peer->second.cpuMsPerSecond);
    else
      std::printf(" %10s", "-");
    std::printf(" %10d", f.latency);
    if (versus && peer->second.latency > 0)
      std::printf(" %10.3f", static_cast<double>(f.latency) / peer->second.latency);
    std::printf("\n");
  }
  benchmark::Shutdown();
  return 0;
}
