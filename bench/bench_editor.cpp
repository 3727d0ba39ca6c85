// Cost of the editor: one whole display frame at 752 x 576 with the colour field and both analyses,
// each layer of it alone, and the audio thread's cost with the editor drawing versus closed.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

#include "dsp/Analysis.h"
#include "dsp/SemLock.h"
#include "dsp/SharedFlags.h"
#include "editor/Display.h"
#include "editor/EditorViewState.h"
#include "editor/Panel.h"
#include "editor/SpectrumField.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE_Resources.h"
#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
using BenchTarvex = Tarvex<IPlugTestWrapper>;
constexpr int kHostBlock = 512;
constexpr int kCallsPerSecond = 87; // 87 * 512 frames, about one second at 44.1 kHz

std::unique_ptr<BenchTarvex> MakeInstance()
{
  static bool once = false;
  if (!once)
  {
    char tmpl[] = "/tmp/tarvex-bench-editor-XXXXXX";
    if (mkdtemp(tmpl)) setenv("XDG_CONFIG_HOME", tmpl, 1);
    RegisterBundleFolder(kTarvexVstBundleID, TARVEX_BENCH_BUNDLE);
    once = true;
  }
  std::unique_ptr<BenchTarvex> plug(
      CreateTarvex<IPlugTestWrapper>(IPlugTestWrapper::InstanceInfo{}));
  plug->ConnectInputs(0, 2, true);
  plug->ConnectOutputs(0, 2, true);
  return plug;
}

struct Audio
{
  std::vector<double> in[2], out[2];
  Audio()
  {
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 0.1);
    for (int c = 0; c < 2; ++c)
    {
      in[c].resize(kHostBlock * kCallsPerSecond);
      out[c].resize(kHostBlock);
      for (double& v : in[c]) v = noise(rng);
    }
  }
  void Process(BenchTarvex& plug, int call)
  {
    const size_t at = static_cast<size_t>(call % kCallsPerSecond) * kHostBlock;
    double* ins[2] = {in[0].data() + at, in[1].data() + at};
    double* outs[2] = {out[0].data(), out[1].data()};
    plug.ProcessFrames(ins, outs, kHostBlock);
  }
};

// An instance with a shaped curve and a second of noise in the capture, as while playing.
std::unique_ptr<BenchTarvex> MakeBusyEditor(Audio& audio)
{
  auto plug = MakeInstance();
  const double gains[4] = {6.0, -9.0, 12.0, -4.0};
  for (int b = 0; b < 4; ++b)
  {
    plug->GetParam(kParamBandGain + b)->mValue = gains[b];
    plug->ParamChanged(kParamBandGain + b);
  }
  IGraphics* g = plug->GetGUI();
  g->Draw(IRECT(0, 0, kEditorWidth, kEditorHeight));
  for (int i = 0; i < kCallsPerSecond; ++i) audio.Process(*plug, i);
  return plug;
}

// What a playing host leaves for every frame: new audio and a new kernel (so both analyses run),
// the audio thread active (no idle take-over).
void PrepareFrame(InstanceState& s)
{
  StoreFlag(s.captureChanged, 1);
  StoreFlag(s.kernelChanged, 1);
  StoreFlag(s.idleFrames, 0);
}

void BM_EditorFrame(benchmark::State& state)
{
  Audio audio;
  auto plug = MakeBusyEditor(audio);
  InstanceState& s = *plug->State();
  IGraphics* g = plug->GetGUI();
  for (auto _ : state)
  {
    PrepareFrame(s);
    g->Draw(IRECT(0, 0, kEditorWidth, kEditorHeight));
  }
}

// One layer of the frame alone, under drawLock as in the frame.
enum Layer
{
  kLayerClear,
  kLayerCurveCopy,
  kLayerKernelResponse,
  kLayerCaptureSpectrum,
  kLayerColourField,
  kLayerGrid,
  kLayerPoints,
  kLayerResponse,
  kLayerPanel,
  kLayerLabel,
};

void BM_EditorLayer(benchmark::State& state)
{
  Audio audio;
  auto plug = MakeBusyEditor(audio);
  InstanceState& s = *plug->State();
  const int layer = static_cast<int>(state.range(0));
  static const char* names[] = {"background clear",
                                "curve copy",
                                "kernel response",
                                "capture spectrum",
                                "colour field",
                                "grid blend",
                                "points and curve",
                                "response line",
                                "panel",
                                "label"};
  state.SetLabel(names[layer]);
  if (layer == kLayerGrid) state.counters["grid_pixels"] = s.view->gridPixelCount;
  for (auto _ : state)
  {
    SemLockAcquire(s.drawLock);
    switch (layer)
    {
    case kLayerClear:
      ClearCanvas(s);
      break;
    case kLayerCurveCopy:
      StoreFlag(s.curveChanged, 1);
      TakeNewCurve(s);
      break;
    case kLayerKernelResponse:
      KernelResponseColumns(s, kPlotSize);
      break;
    case kLayerCaptureSpectrum:
      AnalyseCapture(s, kPlotSize);
      break;
    case kLayerColourField:
      DrawSpectrumField(s, kPlotSize, s.colourScheme);
      break;
    case kLayerGrid:
      s.revealTimer = 0.5;
      BlendGridPicture(s);
      break;
    case kLayerPoints:
      DrawBandPoints(s);
      break;
    case kLayerResponse:
      DrawRealisedResponse(s);
      break;
    case kLayerPanel:
      DrawPanel(s);
      break;
    case kLayerLabel:
      DrawLabelLine(s);
      break;
    }
    SemLockRelease(s.drawLock);
  }
}

// One second of audio in host blocks of 512 at defaults. Closed: nobody draws, the capture has
// stopped. Drawing: the display drew within the last second (the capture runs); with a display
// thread, a real editor draws 60 frames a second on another thread meanwhile.
void BM_AudioEditor(benchmark::State& state)
{
  const int mode = static_cast<int>(state.range(0));
  state.SetLabel(mode == 0 ? "editor closed" : mode == 1 ? "capture running" : "editor drawing");
  Audio audio;
  auto plug = MakeInstance();
  InstanceState& s = *plug->State();
  IGraphics* g = plug->GetGUI();
  for (int i = 0; i < 2 * kCallsPerSecond; ++i) audio.Process(*plug, i); // past the capture second
  std::atomic<bool> run{mode == 2};
  std::thread display;
  if (mode == 2)
    display = std::thread(
        [&]
        {
          while (run.load())
          {
            g->Draw(IRECT(0, 0, kEditorWidth, kEditorHeight));
            std::this_thread::sleep_for(std::chrono::microseconds(16667));
          }
        });
  for (auto _ : state)
  {
    for (int i = 0; i < kCallsPerSecond; ++i)
    {
      if (mode == 1) StoreFlag(s.samplesSinceDraw, 0);
      audio.Process(*plug, i);
    }
  }
  run = false;
  if (display.joinable()) display.join();
}
} // namespace

BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorLayer)->DenseRange(0, 9)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AudioEditor)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK_MAIN();
