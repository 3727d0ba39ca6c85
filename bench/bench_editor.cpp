// Cost of the editor: one whole display frame at 752 x 576 with the colour field and both analyses,
// each layer of it alone, the audio thread's cost with the editor drawing versus closed, and the
// present of a frame at scale 1 and 2: the conversion of the screen bitmap into the window's image
// alone, and (when built with X11 and Xvfb is installed) the X11 view's whole present on a private
// Xvfb, conversion, XShmPutImage and the wait for the server.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
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
#include "graphics/IGraphicsView.h"
#include "graphics/LICE_Bitmap.h"
#include "graphics/LICE_Resources.h"
#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"
#ifdef TARVEX_BENCH_X11
#include <X11/Xlib.h>

#include "graphics/IGraphicsLinux.h"
#include "graphics/linux/IGraphicsX11View.h"
#include "tools/x11/XvfbServer.h"
#endif

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

// Between timed iterations of the "cold" variants: writes 64 MB, more than this machine's caches
// hold, so that bitmap and image come from memory, as after 16 ms of other work.
void EvictCaches()
{
  static std::vector<unsigned char> junk(64u << 20);
  for (size_t i = 0; i < junk.size(); i += 64) ++junk[i];
  benchmark::DoNotOptimize(junk.data());
}

// The conversion of a drawn frame's screen bitmap into a 32-bit image the X11 view presents (its
// path for 24- and 32-bit TrueColor screens), at the view's scale factor: each pixel a block.
void BM_PresentConvert(benchmark::State& state)
{
  const int scale = static_cast<int>(state.range(0));
  const bool cold = state.range(1) != 0;
  state.SetLabel(std::string(scale == 1 ? "scale 1, 752 x 576" : "scale 2, 1504 x 1152") +
                 (cold ? ", cold caches" : ", warm"));
  Audio audio;
  auto plug = MakeBusyEditor(audio);
  LICE_IBitmap* bitmap = plug->GetGUI()->GetDrawBitmap();
  const int w = bitmap->Width(), h = bitmap->Height();
  const int bytesPerLine = w * scale * 4;
  // Page-aligned, as a shared memory segment is.
  std::unique_ptr<unsigned char, void (*)(void*)> image(
      static_cast<unsigned char*>(
          aligned_alloc(4096, static_cast<size_t>(bytesPerLine) * h * scale)),
      free);
  for (auto _ : state)
  {
    if (cold)
    {
      state.PauseTiming();
      EvictCaches();
      state.ResumeTiming();
    }
    ExpandBitmapToXrgb(bitmap->PixelData(), bitmap->RowSpan(), w, h, scale, 0, image.get(),
                       bytesPerLine);
    benchmark::DoNotOptimize(image.get());
    benchmark::ClobberMemory();
  }
  state.counters["window_pixels"] = static_cast<double>(w) * h * scale * scale;
}

// The reference for the conversion's cost: the X11 view's conversion before it drew at scale 2, a
// pixel at a time into 32-bit words at scale 1, on the same frame.
void BM_PresentConvertBefore(benchmark::State& state)
{
  const bool cold = state.range(0) != 0;
  state.SetLabel(std::string("scale 1, a pixel at a time (the view's conversion before scale 2)") +
                 (cold ? ", cold caches" : ", warm"));
  Audio audio;
  auto plug = MakeBusyEditor(audio);
  LICE_IBitmap* bitmap = plug->GetGUI()->GetDrawBitmap();
  const int w = bitmap->Width(), h = bitmap->Height(), span = bitmap->RowSpan();
  const int bytesPerLine = w * 4;
  std::unique_ptr<unsigned char, void (*)(void*)> image(
      static_cast<unsigned char*>(aligned_alloc(4096, static_cast<size_t>(bytesPerLine) * h)),
      free);
  const uint32_t opaqueBits = 0;
  for (auto _ : state)
  {
    if (cold)
    {
      state.PauseTiming();
      EvictCaches();
      state.ResumeTiming();
    }
    const unsigned char* src = bitmap->PixelData();
    for (int y = 0; y < h; ++y)
    {
      const unsigned char* row = src + static_cast<size_t>(y) * span * 4;
      uint32_t* dst =
          reinterpret_cast<uint32_t*>(image.get() + static_cast<size_t>(y) * bytesPerLine);
      for (int x = 0; x < w; ++x)
      {
        const unsigned char* p = row + 4 * x;
        dst[x] = (static_cast<uint32_t>(p[LICE_PIXEL_R]) << 16) |
                 (static_cast<uint32_t>(p[LICE_PIXEL_G]) << 8) | p[LICE_PIXEL_B] | opaqueBits;
      }
    }
    benchmark::DoNotOptimize(image.get());
    benchmark::ClobberMemory();
  }
}

#ifdef TARVEX_BENCH_X11
// A private Xvfb for the X11 present, started once; DISPLAY points at it.
Display* BenchDisplay()
{
  static XvfbServer server;
  static Display* display = [&]() -> Display*
  {
    std::string error;
    if (!server.Start({}, &error, 10000, "1600x1200x24")) return nullptr;
    setenv("DISPLAY", server.DisplayName().c_str(), 1);
    return XOpenDisplay(server.DisplayName().c_str());
  }();
  return display;
}

// The X11 view's present of one frame at scale 1 or 2 (GDK_SCALE asks for it): the conversion,
// the XShmPutImage of the window, and waiting for the server's copy of the frame before. Real
// time, since the server copies in its own process. Back to back (range 1 = 0), each present waits
// for the copy of the one before: the throughput of view and server together. A frame every
// 16.7 ms (range 1 = 1), as the editor draws: the host thread's cost of a present, the copy done
// meanwhile (its completion event is not read here, so a round trip stays in the figure).
void BM_PresentX11(benchmark::State& state)
{
  const int scale = static_cast<int>(state.range(0));
  const bool spaced = state.range(1) != 0;
  Display* display = BenchDisplay();
  if (!display)
  {
    state.SkipWithError("no Xvfb");
    return;
  }
  Audio audio;
  auto plug = MakeBusyEditor(audio);
  auto* graphics = dynamic_cast<IGraphicsLinux*>(plug->GetGUI());
  if (!graphics)
  {
    state.SkipWithError("the editor is not a Linux graphics object");
    return;
  }
  XSetWindowAttributes a{};
  a.override_redirect = True;
  const Window parent = XCreateWindow(
      display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(kEditorWidth * scale),
      static_cast<unsigned>(kEditorHeight * scale), 0, CopyFromParent, InputOutput, CopyFromParent,
      CWOverrideRedirect, &a);
  XMapRaised(display, parent);
  XSync(display, False);
  setenv("GDK_SCALE", std::to_string(scale).c_str(), 1);
  graphics->OpenX11View(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
  IGraphicsX11View* view = graphics->GetX11View();
  if (!view || view->Scale() != scale)
  {
    state.SkipWithError("the view did not open at the scale asked for");
    graphics->CloseView();
    return;
  }
  state.SetLabel(std::string("scale ") + std::to_string(scale) +
                 (view->UsesSharedMemory() ? ", MIT-SHM" : ", XPutImage") +
                 (spaced ? ", a frame every 16.7 ms" : ", back to back"));
  const IRECT all(0, 0, kEditorWidth, kEditorHeight);
  for (auto _ : state)
  {
    if (spaced)
    {
      state.PauseTiming();
      std::this_thread::sleep_for(std::chrono::microseconds(16667));
      state.ResumeTiming();
    }
    view->Present(all);
    view->Show();
  }
  graphics->CloseView();
  unsetenv("GDK_SCALE");
  XDestroyWindow(display, parent);
  XSync(display, False);
}
#endif
} // namespace

// Cold: a fixed count, 64 MB written untimed before each.
BENCHMARK(BM_PresentConvertBefore)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentConvertBefore)->Arg(1)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentConvert)->Args({1, 0})->Args({2, 0})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentConvert)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);
#ifdef TARVEX_BENCH_X11
BENCHMARK(BM_PresentX11)->Args({1, 0})->Args({2, 0})->Unit(benchmark::kMicrosecond)->UseRealTime();
// Spaced: a fixed count, 16.7 ms untimed before each.
BENCHMARK(BM_PresentX11)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
#endif
BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorLayer)->DenseRange(0, 9)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AudioEditor)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK_MAIN();
