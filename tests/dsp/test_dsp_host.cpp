// The engine on a host of plain values, with nothing of the plug-in base or the editor linked: it
// reports its latency, processes, rebuilds its kernel when the parameters change and hands band
// parameters edited in the display back through the DspHost.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "dsp/DspHost.h"
#include "dsp/DspState.h"
#include "dsp/ParamIndex.h"
#include "dsp/SemLock.h"
#include "dsp/SharedFlags.h"
#include "dsp/TarvexEngine.h"

namespace
{
constexpr double kRate = 44100.0;
constexpr int kDefaultLatency = 2368; // B + L/2 = 1856 + 512 at 44.1 kHz

// The plug-in's defaults and ranges as plain numbers (engine/TarvexParams.cpp has the real table).
class ValueHost final : public DspHost
{
public:
  ValueHost()
  {
    const double freqs[kBandCount] = {80, 370, 1700, 8000};
    for (int b = 0; b < kBandCount; ++b)
    {
      Set(kParamBandOn + b, 1, 0, 1);
      Set(kParamBandGain + b, 1e-6, kCurveDbFloor, 60);
      Set(kParamBandFreq + b, freqs[b], 0, 20000);
      Set(kParamBandSlope + b, 0, -100, 100);
    }
    Set(kParamTranspose, 0, -120, 120);
    Set(kParamOverallGain, 0, -60, 60);
    Set(kParamGainScale, 1, -4, 4);
    Set(kParamColour, 0, 0, 3);
    Set(kParamColourGain, 1, 0, 40);
    Set(kParamResolution, 1, 0.2, 8);
    Set(kParamInputBufferSize, 1, 0, 3);
    Set(kParamLimiter, 60, -30, 60); // off: the tests measure the kernel alone
  }

  double ParamValue(int index) const override { return Has(index) ? values[index] : 0.0; }
  void ParamRange(int index, double* minValue, double* maxValue) const override
  {
    *minValue = Has(index) ? lo[index] : 0.0;
    *maxValue = Has(index) ? hi[index] : 0.0;
  }
  double SampleRate() const override { return kRate; }
  bool SecondInputConnected() const override { return true; }
  void ReportLatency(int samples) override
  {
    latency = samples;
    ++latencyReports;
  }
  void TakeEditedBandParams(const double* edited) override
  {
    for (int i = 0; i < kBandParamCount; ++i) values[i] = edited[i];
    ++edits;
  }

  double values[kParamCount] = {};
  double lo[kParamCount] = {};
  double hi[kParamCount] = {};
  int latency = -1;
  int latencyReports = 0;
  int edits = 0;

private:
  static bool Has(int index) { return index >= 0 && index < kParamCount; }
  void Set(int index, double value, double minValue, double maxValue)
  {
    values[index] = value;
    lo[index] = minValue;
    hi[index] = maxValue;
  }
};

class DspOnPlainHost : public testing::Test
{
protected:
  void SetUp() override
  {
    state = std::make_unique<DspState>(); // zero-filled, as the instance table gives it
    engine = std::make_unique<TarvexEngine>();
    ASSERT_TRUE(CreateEngine(host, *engine, *state));
    ConfigureDsp(host, *engine, *state, 0, host.values[kParamInputBufferSize],
                 host.values[kParamResolution]);
  }
  void TearDown() override
  {
    DestroyEngine(*engine, *state);
    EXPECT_EQ(state->host, nullptr);
  }

  // A sine of f Hz on both channels through the engine in blocks of 512; returns the left output.
  std::vector<double> Run(double f, double amplitude, size_t n)
  {
    std::vector<double> inL(n), inR(n), outL(n), outR(n);
    for (size_t i = 0; i < n; ++i) inL[i] = inR[i] = amplitude * std::sin(2 * M_PI * f * i / kRate);
    for (size_t pos = 0; pos < n; pos += 512)
    {
      const int frames = static_cast<int>(n - pos < 512 ? n - pos : 512);
      double* in[2] = {inL.data() + pos, inR.data() + pos};
      double* out[2] = {outL.data() + pos, outR.data() + pos};
      ProcessEngineFrames(host, *engine, *state, in, out, frames);
    }
    return outL;
  }

  // Amplitude of the component at f Hz over [from, to).
  static double ToneAmplitude(const std::vector<double>& v, double f, size_t from, size_t to)
  {
    double c = 0, s = 0;
    for (size_t i = from; i < to; ++i)
    {
      c += v[i] * std::cos(2 * M_PI * f * i / kRate);
      s += v[i] * std::sin(2 * M_PI * f * i / kRate);
    }
    return 2 * std::hypot(c, s) / (to - from);
  }

  ValueHost host;
  std::unique_ptr<DspState> state;
  std::unique_ptr<TarvexEngine> engine;
};
} // namespace

TEST_F(DspOnPlainHost, ReportsItsLatencyAndPassesAFlatCurveDelayed)
{
  EXPECT_EQ(state->host, &host);
  EXPECT_EQ(host.latency, kDefaultLatency);
  EXPECT_EQ(engine->mLatency, kDefaultLatency);

  const size_t n = 20000;
  const std::vector<double> out = Run(997.0, 0.5, n);
  for (int i = 0; i < kDefaultLatency - 600; ++i) ASSERT_EQ(out[i], 0.0) << i;
  double worst = 0.0;
  for (size_t i = kDefaultLatency + 600; i < n; ++i)
    worst = std::fmax(worst, std::fabs(out[i] - 0.5 * std::sin(2 * M_PI * 997.0 *
                                                               (i - kDefaultLatency) / kRate)));
  EXPECT_LT(worst, 5e-4);
}

TEST_F(DspOnPlainHost, ParameterChangesRebuildTheKernel)
{
  host.values[kParamBandGain + 1] = 12.0; // band B at 370 Hz
  StoreFlag(state->paramsChanged, 1);
  const size_t n = 30000;
  const std::vector<double> out = Run(370.0, 0.1, n);
  EXPECT_EQ(LoadFlag(state->paramsChanged), 0);
  const double gainDb = 20 * std::log10(ToneAmplitude(out, 370.0, n - 8820, n) / 0.1);
  EXPECT_NEAR(gainDb, 12.0, 0.5);
  EXPECT_EQ(host.edits, 0); // a host change maps parameters to bands, never back
}

TEST_F(DspOnPlainHost, AnEditInTheDisplayComesBackAsBandParameters)
{
  state->bandTable[2].gain = -6.0; // band C, as a drag in the plot leaves it
  StoreFlag(state->editedInDisplay, 1);
  StoreFlag(state->paramsChanged, 1);
  SemLockAcquire(state->dspLock);
  EXPECT_TRUE(RebuildKernelIfChanged(host, *state));
  SemLockRelease(state->dspLock);
  EXPECT_EQ(host.edits, 1);
  EXPECT_NEAR(host.values[kParamBandGain + 2], -6.0, 1e-9);
  EXPECT_EQ(host.values[kParamBandFreq + 2], 1700.0);
  EXPECT_EQ(host.latencyReports, 1); // a rebuild keeps the sizes
}
