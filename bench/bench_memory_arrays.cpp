// Where an instance's resident memory goes: for each large buffer of the engine
// (ListEngineBuffers), the bytes of it that are resident (mincore), after a run of the kind
// bench-memory measures and after longer runs with kernel rebuilds (cross-fades) and display
// analyses. bench-memory gives the total a host sees; this gives its parts.
//
// Every scenario runs in a child process of its own that first opens a warm instance (so the
// process-wide FFT tables of a length are not counted, as in bench-memory), then one measured
// instance through the test wrapper (the engine as the plug-in runs it), 512-frame blocks of a
// loud stereo signal at 44.1 kHz. "rest" is the growth of the process's resident set minus the
// listed buffers: the plug-in object, its parameters, small arrays and allocator pages.
//
//   bench-memory-arrays            all scenarios
//   bench-memory-arrays NAME...    the scenarios whose names contain one of the words
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/ResidentMemory.h"
#include "dsp/Analysis.h"
#include "dsp/TarvexEngine.h"
#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
using MeasuredTarvex = Tarvex<IPlugTestWrapper>;
constexpr int kHostBlock = 512;
const size_t kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));

struct Scenario
{
  const char* name;
  double resolution;
  double inputBufferSize;
  int blocks;          // host blocks of 512 frames
  int gainChangeEvery; // blocks between band gain changes (kernel rebuilds), 0: none
  bool display;        // an open editor: analyses every 20 blocks, as its frames would
};

const Scenario kScenarios[] = {
    {"defaults-100", 1.0, 1.0, 100, 0, false},
    {"res8-ibs3-100", 8.0, 3.0, 100, 0, false},
    {"defaults-20s-rebuilds", 1.0, 1.0, 1723, 86, false},
    {"res8-ibs3-20s-rebuilds", 8.0, 3.0, 1723, 86, false},
    {"res8-ibs2.9-20s-rebuilds", 8.0, 2.9, 1723, 86, false},
    {"res8-ibs3-20s-rebuilds-display", 8.0, 3.0, 1723, 86, true},
};

// Resident bytes of [p, p + bytes): whole pages, also the partly covered ones at either end.
size_t ResidentBytes(const void* p, size_t bytes)
{
  if (!p || bytes == 0) return 0;
  const uintptr_t first = reinterpret_cast<uintptr_t>(p) & ~(kPage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(p) + bytes;
  std::vector<unsigned char> in((end - first + kPage - 1) / kPage);
  if (mincore(reinterpret_cast<void*>(first), end - first, in.data()) != 0) return 0;
  size_t resident = 0;
  for (unsigned char c : in) resident += c & 1;
  return resident * kPage;
}

std::unique_ptr<MeasuredTarvex> Open(const Scenario& sc)
{
  std::unique_ptr<MeasuredTarvex> plug(
      CreateTarvex<IPlugTestWrapper>(IPlugTestWrapper::InstanceInfo{}));
  if (!plug) return nullptr;
  plug->ConnectInputs(0, 2, true);
  plug->ConnectOutputs(0, 2, true);
  plug->GetParam(kParamResolution)->mValue = sc.resolution;
  plug->GetParam(kParamInputBufferSize)->mValue = sc.inputBufferSize;
  plug->ParamChanged(kParamResolution);
  return plug;
}

void Run(MeasuredTarvex& plug, const Scenario& sc)
{
  std::vector<double> in[2] = {std::vector<double>(kHostBlock), std::vector<double>(kHostBlock)};
  std::vector<double> out[2] = {std::vector<double>(kHostBlock), std::vector<double>(kHostBlock)};
  InstanceState& s = *plug.State();
  long frame = 0;
  for (int k = 0; k < sc.blocks; ++k)
  {
    for (int i = 0; i < kHostBlock; ++i, ++frame)
    {
      in[0][i] = 0.5 * std::sin(frame * 0.031) + 0.2 * std::sin(frame * 0.7);
      in[1][i] = 0.5 * std::sin(frame * 0.017) + 0.2 * std::sin(frame * 1.3);
    }
    if (sc.gainChangeEvery > 0 && k > 0 && k % sc.gainChangeEvery == 0)
    {
      plug.GetParam(kParamBandGain + 1)->mValue = (k / sc.gainChangeEvery) % 2 ? 6.0 : -3.0;
      plug.ParamChanged(kParamBandGain + 1);
    }
    double* ins[2] = {in[0].data(), in[1].data()};
    double* outs[2] = {out[0].data(), out[1].data()};
    plug.ProcessFrames(ins, outs, kHostBlock);
    if (sc.display && k % 20 == 0)
    {
      // What an editor frame does with the engine's hand-off (Display.cpp), on this thread.
      StoreFlag(s.samplesSinceDraw, 0);
      if (LoadFlag(s.kernelChanged)) KernelResponseColumns(s, kDisplayColumns);
      if (LoadFlag(s.captureChanged)) AnalyseCapture(s, kDisplayColumns);
    }
  }
}

// In a child: prints the breakdown of one scenario.
int MeasureHere(const Scenario& sc)
{
  char tmpl[] = "/tmp/tarvex-bench-memory-arrays-XXXXXX";
  if (mkdtemp(tmpl)) setenv("XDG_CONFIG_HOME", tmpl, 1);
  auto warm = Open(sc);
  if (!warm) return 1;
  Run(*warm, Scenario{sc.name, sc.resolution, sc.inputBufferSize, 200, 0, false});
  const long before = ResidentKiB();
  auto plug = Open(sc);
  if (!plug) return 1;
  Run(*plug, sc);
  const long after = ResidentKiB();

  EngineBuffer buffers[kMaxEngineBuffers];
  const int count = ListEngineBuffers(plug->Engine(), *plug->State(), buffers);
  const TarvexEngine& e = plug->Engine();
  std::printf("%s: N = %d, L = %d, B = %d\n", sc.name, e.mFftSize, e.mKernelLength, e.mBlockSize);
  double listed = 0;
  for (int i = 0; i < count; ++i)
  {
    const double kib = ResidentBytes(buffers[i].data, buffers[i].bytes) / 1024.0;
    listed += kib;
    if (kib > 0) std::printf("  %-28s %8.0f KiB\n", buffers[i].name, kib);
  }
  const double growth = static_cast<double>(after - before);
  std::printf("  %-28s %8.0f KiB  (%.2f MiB)\n", "listed buffers", listed, listed / 1024);
  std::printf("  %-28s %8.0f KiB\n", "rest", growth - listed);
  std::printf("  %-28s %8.0f KiB  (%.2f MiB)\n\n", "resident growth", growth, growth / 1024);
  return 0;
}

bool Selected(const Scenario& sc, int argc, char** argv)
{
  if (argc < 2) return true;
  for (int i = 1; i < argc; ++i)
    if (std::strstr(sc.name, argv[i])) return true;
  return false;
}
} // namespace

int main(int argc, char** argv)
{
  int failures = 0;
  for (const Scenario& sc : kScenarios)
  {
    if (!Selected(sc, argc, argv)) continue;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0)
    {
      const int rc = MeasureHere(sc);
      std::fflush(nullptr); // _exit does not flush
      _exit(rc);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    {
      std::fprintf(stderr, "%s: could not be measured\n", sc.name);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
