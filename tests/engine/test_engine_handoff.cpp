// What the engine hands to the display: curve, kernel response, captured spectrum, the idle rule
// and edits made in the display travelling back to the parameters.
#include <atomic>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "dsp/Analysis.h"
#include "dsp/KernelSynth.h"
#include "dsp/SemLock.h"
#include "dsp/SharedFlags.h"
#include "dsp/TarvexEngine.h"
#include "engine/InstanceState.h"
#include "tests/engine/EngineTestSupport.h"

namespace
{
class EngineHandoff : public testing::Test
{
protected:
  EmptyPrefs prefs;
};

void Process(TestTarvex& plug, Stereo& in, int frames)
{
  Stereo out(frames);
  double* ins[2] = {in.left.data(), in.right.data()};
  double* outs[2] = {out.left.data(), out.right.data()};
  plug.ProcessFrames(ins, outs, frames);
}
} // namespace

TEST_F(EngineHandoff, FlatKernelResponseIsUnityInEveryColumn)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  EXPECT_EQ(s.kernelChanged, 1);
  KernelResponseColumns(s, kDisplayColumns);
  EXPECT_EQ(s.kernelChanged, 0);
  // 20 Hz .. 20 kHz lie well inside the band where the flat kernel's ripple is below 1e-3.
  for (int c = 0; c < kDisplayColumns; ++c) EXPECT_NEAR(s.kernelColumns[c], 1.0, 1e-3) << c;
  for (int c = 0; c < kDisplayColumns; ++c) EXPECT_NEAR(s.displayCurve[c], 1.0, 1e-6) << c;
}

TEST_F(EngineHandoff, DisplayCurveFollowsTheBandsInReverseColumnOrder)
{
  auto plug = MakeTarvex();
  SetParam(*plug, kParamBandGain + 0, 20.0); // band A at 80 Hz
  SetParam(*plug, kParamBandGain + 3, kCurveDbFloor);
  SetParam(*plug, kParamBandSlope + 3, 100.0);
  SetParam(*plug, kParamBandGain + 2, 60.0);
  SetParam(*plug, kParamBandSlope + 2, 100.0);
  Stereo in(2000);
  Process(*plug, in, 2000); // one block step with the rebuild
  InstanceState& s = *plug->State();
  EXPECT_EQ(s.curveChanged, 1);
  EXPECT_EQ(s.paramsChanged, 0);
  // Column l sits at x = l / 512; entry 511 - l holds it. 80 Hz is x = log(4) / log(1000).
  const int column = static_cast<int>(std::ceil(512 * std::log(4.0) / std::log(1000.0)));
  const double x = column / 512.0;
  const double f = 20 * std::pow(1000.0, x);
  EXPECT_NEAR(s.displayCurve[511 - column], std::pow(10.0, 20.0 / 20), 0.2); // near the 10x point
  EXPECT_GT(f, 80.0);
  EXPECT_NEAR(s.displayCurve[511], AmpFromCurveDb(s.sortedPoints[0].gain), 1e-12); // 20 Hz
  // Steep slopes drive the curve through both ends of the scale: exact silence and exactly 1000.
  bool sawZero = false, sawCeiling = false;
  for (int c = 0; c < 512; ++c)
  {
    sawZero |= s.displayCurve[c] == 0.0;
    sawCeiling |= s.displayCurve[c] == 1000.0;
  }
  EXPECT_TRUE(sawZero);
  EXPECT_TRUE(sawCeiling);
}

TEST_F(EngineHandoff, CaptureFollowsTheDisplayAndKeepsTheLatestSamples)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  ASSERT_EQ(s.captureLength, 8000);
  Stereo in(10000);
  for (int i = 0; i < 10000; ++i) in.left[i] = i, in.right[i] = -i;
  // Until a display draws, nothing is captured.
  Process(*plug, in, 10000);
  EXPECT_EQ(s.captureChanged, 0);
  for (int i = 0; i < 8000; ++i) ASSERT_EQ(s.captureRing[0][i], 0.0) << i;
  // One capture of a block longer than the rings keeps its last 8000 samples from position 0.
  s.samplesSinceDraw = 0; // as a display frame does
  double* direct[2] = {in.left.data(), in.right.data()};
  CaptureInput(s, direct, 10000, 2);
  EXPECT_EQ(s.captureWritePos, 0);
  EXPECT_EQ(s.captureRing[0][0], 2000.0);
  EXPECT_EQ(s.captureRing[1][7999], -9999.0);
  EXPECT_EQ(s.samplesSinceDraw, 10000);
  // Through the plug-in the call runs in pieces of at most B: the rings hold the same latest 8000
  // samples, the oldest at the write position.
  s.samplesSinceDraw = 0;
  Process(*plug, in, 10000);
  for (int i = 0; i < 8000; ++i)
    ASSERT_EQ(s.captureRing[0][(s.captureWritePos + i) % 8000], 2000.0 + i) << i;
  EXPECT_EQ(s.samplesSinceDraw, 10000);
  // Nobody draws: after a second of audio capture stops.
  Stereo more(44100);
  more.left.assign(44100, 5.0);
  Process(*plug, more, 44100);
  s.captureChanged = 0;
  Stereo late(100);
  late.left.assign(100, 7.0);
  Process(*plug, late, 100);
  EXPECT_EQ(s.captureChanged, 0);
  EXPECT_NE(s.captureRing[0][(s.captureWritePos + 7999) % 8000], 7.0);

  // Mono: both rings get the first input.
  auto mono = MakeTarvex(44100, false);
  mono->State()->samplesSinceDraw = 0;
  Stereo m(300);
  for (int i = 0; i < 300; ++i) m.left[i] = i + 1, m.right[i] = 99;
  Process(*mono, m, 300);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(mono->State()->captureRing[1][i], i + 1.0);
}

TEST_F(EngineHandoff, SpectrumOfAKilohertzSinePeaksAtItsColumn)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  Stereo in(8000);
  for (int i = 0; i < 8000; ++i)
    in.left[i] = in.right[i] = 0.5 * std::sin(2 * M_PI * 1000.0 * i / 44100);
  s.samplesSinceDraw = 0;
  Process(*plug, in, 8000);
  ASSERT_EQ(s.captureChanged, 1);
  AnalyseCapture(s, kDisplayColumns);
  EXPECT_EQ(s.captureChanged, 0);
  int peak = 0;
  for (int c = 0; c < 512; ++c)
    if (s.spectrumColumns[0][c] > s.spectrumColumns[0][peak]) peak = c;
  // Column 289 from 20 Hz (511 * ln 50 / ln 1000) is stored at 511 - 289 = 222; allow one column.
  EXPECT_NEAR(peak, 222, 1);
  for (int c = 0; c < 512; ++c)
  {
    ASSERT_DOUBLE_EQ(s.spectrumColumns[2][c], s.spectrumColumns[0][c] + s.spectrumColumns[1][c]);
    ASSERT_TRUE(std::isfinite(s.spectrumColumns[0][c]));
  }
}

TEST_F(EngineHandoff, IdleDisplayTakesOverRebuildsAndClearsTheSpectrumOnce)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  Stereo in(4000);
  for (int i = 0; i < 4000; ++i) in.left[i] = in.right[i] = std::sin(i * 0.1);
  s.samplesSinceDraw = 0;
  Process(*plug, in, 4000);
  AnalyseCapture(s, kDisplayColumns);
  // Left, right and the sum the colour field draws.
  for (int k = 0; k < 3; ++k) ASSERT_GT(s.spectrumColumns[k][300], 0.0) << k;
  for (int frame = 0; frame < 16; ++frame) RunDisplayIdleRule(s);
  EXPECT_EQ(s.idleFrames, 16);
  EXPECT_GT(s.spectrumColumns[2][300], 0.0); // not yet idle long enough
  RunDisplayIdleRule(s);
  EXPECT_EQ(s.idleFrames, 1000);
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < kDisplayColumns; ++c)
      ASSERT_EQ(s.spectrumColumns[k][c], 0.0) << "array " << k << ", column " << c;

  // Transport stopped: a parameter change reaches the kernel through the display.
  s.kernelChanged = 0;
  SetParam(*plug, kParamBandGain + 1, 6.0);
  RunDisplayIdleRule(s);
  EXPECT_EQ(s.paramsChanged, 0);
  EXPECT_EQ(s.kernelChanged, 1);
  KernelResponseColumns(s, kDisplayColumns);
  // Column of 370 Hz: the realised response shows the boost (the kernel smooths it by ~0.2 dB).
  const int column = static_cast<int>(std::lround(511 * std::log(370.0 / 20) / std::log(1000.0)));
  EXPECT_NEAR(20 * std::log10(s.kernelColumns[511 - column]), 6.0, 0.3);

  Process(*plug, in, 16);
  EXPECT_EQ(s.idleFrames, 0);
}

// The realised response is read from the kernel in use under dspLock, taken without waiting:
// while processing holds the lock the columns wait for a later frame.
TEST_F(EngineHandoff, KernelResponseReadsTheKernelInUseWithoutWaiting)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  ASSERT_EQ(s.kernelChanged, 1);
  for (int c = 0; c < kDisplayColumns; ++c) s.kernelColumns[c] = -1.0;
  SemLockAcquire(s.dspLock); // as a process call holds it
  EXPECT_FALSE(KernelResponseColumns(s, kDisplayColumns));
  SemLockRelease(s.dspLock);
  EXPECT_EQ(s.kernelChanged, 1);
  for (int c = 0; c < kDisplayColumns; ++c) ASSERT_EQ(s.kernelColumns[c], -1.0) << c;
  EXPECT_TRUE(KernelResponseColumns(s, kDisplayColumns));
  EXPECT_EQ(s.kernelChanged, 0);
  const std::vector<double> first(s.kernelColumns, s.kernelColumns + kDisplayColumns);
  // Twice the kernel gives exactly twice every column (scaling by 2 is exact throughout): the
  // columns come from the engine's kernel itself.
  TarvexEngine& e = plug->Engine();
  for (int j = 0; j < e.mFftSize; ++j) e.mConvKernel[j] *= 2.0;
  EXPECT_TRUE(KernelResponseColumns(s, kDisplayColumns));
  for (int c = 0; c < kDisplayColumns; ++c) ASSERT_EQ(s.kernelColumns[c], 2.0 * first[c]) << c;
}

TEST_F(EngineHandoff, DisplayEditsWriteTheParametersBackAndRefreshTheHost)
{
  auto plug = MakeTarvex();
  SetParam(*plug, kParamTranspose, 12.0);
  Stereo in(4000);
  Process(*plug, in, 4000);
  InstanceState& s = *plug->State();
  const int refreshes = plug->CountCalls("Refresh");
  // The display drags band C to 5 kHz (transposed), +4 dB, and above 20 kHz for band D.
  s.bandTable[2].freq = 5000;
  s.bandTable[2].gain = 4;
  s.bandTable[3].freq = 50000;
  s.editedInDisplay = 1;
  s.paramsChanged = 1;
  Process(*plug, in, 4000);
  EXPECT_DOUBLE_EQ(plug->GetParam(kParamBandFreq + 2)->mValue, 2500);
  EXPECT_DOUBLE_EQ(plug->GetParam(kParamBandGain + 2)->mValue, 4);
  EXPECT_DOUBLE_EQ(plug->GetParam(kParamBandFreq + 3)->mValue, 20000);
  EXPECT_DOUBLE_EQ(s.bandTable[3].freq, 40000);
  EXPECT_EQ(plug->CountCalls("Refresh"), refreshes + 1);
}

TEST(KernelSynthLifecycle, SynthesisCreatesItsArraysAndResetsKeepThem)
{
  KernelSynth synth{};
  BandPoint table[4] = {};
  BandPoint sorted[6] = {};
  for (int i = 0; i < 4; ++i) table[i].on = 1, table[i].freq = 100.0 * (i + 1), table[i].gain = 0;
  table[1].gain = 6; // a bump at 200 Hz: a kernel of many taps, not a lone impulse
  double curve[512] = {};
  int32_t curveChanged = 0, count = -1;
  SynthesizeKernel(&synth, table, sorted, 205, 720, 44100, curve, &curveChanged, nullptr, 512,
                   &count);
  ASSERT_NE(synth.spectrum, nullptr);
  EXPECT_TRUE(synth.ownsSpectrum && synth.ownsScratch && synth.ownsPlan); // nothing was lent
  EXPECT_EQ(count, 4);
  EXPECT_EQ(curveChanged, 1);
  double* spectrum = synth.spectrum;
  KernelSynthReset(&synth, 1025, 2880);
  EXPECT_EQ(synth.spectrum, spectrum);
  // The window's centre value of an odd length is 1.
  EXPECT_NEAR(synth.window[512], 1.0, 1e-12);
  SynthesizeKernel(&synth, table, sorted, 1025, 2880, 44100, curve, &curveChanged, nullptr, 512,
                   &count);
  // The kernel in time: L = 1025 taps centred on the delay of L/2 = 512 samples, symmetric about
  // it (linear phase) and zero beyond L. Beyond L only the transforms' rounding is left, below
  // 1e-12 of the peak; mirrored taps also differ by the window's own asymmetry (its 2 pi and 4 pi
  // are rounded to single precision), parts in 1e12 of the peak, so they are held to 1e-9. A tap
  // out of place would show at the size of the response itself.
  std::vector<double> taps(synth.spectrum, synth.spectrum + 2880);
  fftp(taps.data(), taps.data(), 2880, kFftBackward, synth.plan);
  int peak = 0;
  for (int j = 0; j < 2880; ++j)
    if (std::fabs(taps[j]) > std::fabs(taps[peak])) peak = j;
  EXPECT_EQ(peak, 512);
  const double peakSize = std::fabs(taps[512]);
  for (int k = 1; k <= 512; ++k) ASSERT_NEAR(taps[512 - k], taps[512 + k], 1e-9 * peakSize) << k;
  for (int j = 1025; j < 2880; ++j) ASSERT_NEAR(taps[j], 0.0, 1e-12 * peakSize) << j;
  KernelSynthFree(&synth);
  EXPECT_EQ(synth.spectrum, nullptr);
  EXPECT_EQ(synth.window, nullptr);
}

TEST_F(EngineHandoff, OnlyCurveParametersRebuildAndOnlySizesReset)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  Stereo in(4000);
  Process(*plug, in, 4000);
  s.kernelChanged = 0;
  const int reports = plug->CountCalls("Latency");
  SetParam(*plug, kParamLimiter, -6.0);
  SetParam(*plug, kParamColour, 2.0);
  SetParam(*plug, kParamColourGain, 3.0);
  EXPECT_EQ(s.paramsChanged, 0);
  EXPECT_EQ(s.resetRequested, 0);
  Process(*plug, in, 4000);
  EXPECT_EQ(s.kernelChanged, 0);
  EXPECT_EQ(plug->CountCalls("Latency"), reports);
  SetParam(*plug, kParamResolution, 0.2);
  EXPECT_EQ(s.resetRequested, 1);
  Process(*plug, in, 16);
  EXPECT_EQ(s.resetRequested, 0);
  EXPECT_EQ(plug->GetLatency(), 618);
}

// The display thread's frame (idle rule, then under drawLock the analyses) running against the
// audio thread with parameter changes and resets: no deadlock, finite output, consistent hand-off
// arrays.
TEST_F(EngineHandoff, DisplayFramesRunAlongsideProcessing)
{
  auto plug = MakeTarvex();
  InstanceState& s = *plug->State();
  std::atomic<bool> stop{false};
  std::thread display(
      [&]
      {
        while (!stop)
        {
          RunDisplayIdleRule(s);
          SemLockAcquire(s.drawLock);
          // The flags through their atomic accesses, as the display's frame does.
          if (LoadFlag(s.captureChanged)) AnalyseCapture(s, kDisplayColumns);
          if (LoadFlag(s.kernelChanged)) KernelResponseColumns(s, kDisplayColumns);
          SemLockAcquire(s.curveLock);
          std::memcpy(s.displayCurveCopy, s.displayCurve, sizeof(double) * kDisplayColumns);
          StoreFlag(s.curveChanged, 0);
          SemLockRelease(s.curveLock);
          StoreFlag(s.samplesSinceDraw, 0);
          SemLockRelease(s.drawLock);
          SleepMs(1);
        }
      });
  Stereo in = TestSignal(512);
  bool finite = true;
  for (int call = 0; call < 400; ++call)
  {
    if (call % 50 == 10) SetParam(*plug, kParamBandGain + (call / 50) % 4, (call % 7) - 3.0);
    if (call == 200) SetParam(*plug, kParamInputBufferSize, 0.5);
    Stereo out(512);
    double* ins[2] = {in.left.data(), in.right.data()};
    double* outs[2] = {out.left.data(), out.right.data()};
    plug->ProcessFrames(ins, outs, 512);
    for (int i = 0; i < 512; ++i)
      finite = finite && std::isfinite(out.left[i]) && std::isfinite(out.right[i]);
  }
  stop = true;
  display.join();
  EXPECT_TRUE(finite);
  for (int c = 0; c < kDisplayColumns; ++c) ASSERT_TRUE(std::isfinite(s.kernelColumns[c]));
}
