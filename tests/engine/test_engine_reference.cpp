// The engine's output against a plain overlap-add written out here from the transform functions,
// as the engine computed it when every stage had arrays of its own: blocks of B input samples,
// zero-padded to N, transformed out of place, multiplied by the kernel in use and added into the
// output at multiples of B; a rebuild's block goes through the old kernel faded out, then through
// the new one faded in. The engine now gathers, transforms and synthesises in shared buffers; the
// transforms give the same results in place as out of place and the additions come in the same
// order, so the outputs must be equal bit for bit, whatever the host's block lengths, the channel
// count and the configurations the instance went through before.
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "dsp/Fft.h"
#include "dsp/TarvexEngine.h"
#include "engine/InstanceState.h"
#include "tests/engine/EngineTestSupport.h"

namespace
{
class EngineReference : public testing::Test
{
protected:
  EmptyPrefs prefs;
};

struct Config
{
  double resolution;
  double inputBufferSize;
  int fft; // N at 44.1 kHz, checked so the rows cover the paths they are meant to
};
const Config kDefaults{1.0, 1.0, 2880};     // joint stereo transform
const Config kLargest{8.0, 3.0, 64000};     // two real transforms per block, runs < B
const Config kLargeStereo{8.0, 2.9, 61440}; // nearly the largest N, many factors of two
const Config kShortBlocks{1.0, 0.0, 1280};  // B = 256: runs of at most B
const Config kOddLength{2.0, 2.9, 15625};   // an odd N (complex real transform)

// Overlap-add of the blocks of in (one or two channels) as the engine's arrays held them: the
// kernel before the rebuild for blocks before fadeBlock, the cross-fade at fadeBlock, the new
// kernel after. Output has in's length; times not yet reached by a result stay 0.
std::vector<std::vector<double>> ReferenceOutput(const std::vector<std::vector<double>>& in, int n,
                                                 int b, const std::vector<double>& oldKernel,
                                                 const std::vector<double>& newKernel,
                                                 size_t fadeBlock)
{
  const size_t channels = in.size();
  const size_t frames = in[0].size();
  const bool joint = channels == 2 && StereoTransformPays(n);
  FftPlan* plan = fftp_plan();
  FftPlan* stereoPlan = fftp_plan();
  std::vector<std::vector<double>> out(channels, std::vector<double>(frames, 0.0));
  std::vector<std::vector<double>> block(channels, std::vector<double>(n));
  std::vector<double> spectrum(n);
  // One pass of every channel's block k through kernel, faded (fade: +1 out, -1 in) or not (0).
  const auto pass = [&](size_t k, const std::vector<double>& kernel, int fade)
  {
    for (size_t c = 0; c < channels; ++c)
    {
      std::fill(block[c].begin(), block[c].end(), 0.0);
      std::copy(in[c].begin() + k * b, in[c].begin() + (k + 1) * b, block[c].begin());
      if (fade != 0) FadeWindow(block[c].data(), b, fade > 0);
    }
    if (joint)
    {
      double* const blocks[2] = {block[0].data(), block[1].data()};
      FftConvolveStereo(blocks, blocks, kernel.data(), n, stereoPlan);
    }
    else
      for (size_t c = 0; c < channels; ++c)
      {
        // Out of place, as the engine once ran them (the fused convolution is checked against
        // transform, multiply and transform in the FFT tests).
        FftConvolveReal(block[c].data(), spectrum.data(), kernel.data(), n, plan);
        block[c] = spectrum;
      }
    for (size_t c = 0; c < channels; ++c)
      for (int j = 0; j < n; ++j)
        if ((k + 1) * b + j < frames) out[c][(k + 1) * b + j] += block[c][j];
  };
  for (size_t k = 0; (k + 1) * b <= frames; ++k)
  {
    if (k == fadeBlock)
    {
      pass(k, oldKernel, +1);
      pass(k, newKernel, -1);
    }
    else
      pass(k, k < fadeBlock ? oldKernel : newKernel, 0);
  }
  fftp_plan_free(stereoPlan);
  fftp_plan_free(plan);
  return out;
}

std::vector<double> KernelInUse(TestTarvex& plug)
{
  const TarvexEngine& e = plug.Engine();
  return std::vector<double>(e.mConvKernel, e.mConvKernel + e.mFftSize);
}

// Configures plug, streams four blocks' worth of noise and more in host blocks of random lengths
// (up to 5000 frames, beyond the longest run) with a band change after the first block, and
// compares with the reference.
void CheckAgainstReference(TestTarvex& plug, const Config& config, bool stereo, unsigned seed)
{
  SetParam(plug, kParamResolution, config.resolution);
  SetParam(plug, kParamInputBufferSize, config.inputBufferSize);
  double unused[2][1];
  double* buffers[2] = {unused[0], unused[1]};
  plug.ProcessFrames(buffers, buffers, 0); // the reset runs, no block yet
  const TarvexEngine& e = plug.Engine();
  ASSERT_EQ(e.mFftSize, config.fft);
  ASSERT_EQ(plug.State()->paramsChanged, 0); // the kernel is the one block 0 will use
  const int b = e.mBlockSize;
  const std::vector<double> oldKernel = KernelInUse(plug);

  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> sample(-0.5, 0.5);
  std::uniform_int_distribution<int> hostBlock(1, 5000);
  // The change comes before the first call that starts after block 0 (so a block was played
  // before it: a real cross-fade), and blocks follow it whatever the call lengths.
  const size_t frames = 4 * static_cast<size_t>(b) + 12000;
  const size_t channels = stereo ? 2 : 1;
  std::vector<std::vector<double>> in(channels, std::vector<double>(frames));
  for (auto& channel : in)
    for (double& x : channel) x = sample(rng);
  std::vector<std::vector<double>> out(2, std::vector<double>(frames, 0.0));
  size_t pos = 0;
  size_t fadeBlock = 0; // the first block whose step comes after the change
  bool changed = false;
  while (pos < frames)
  {
    const int length = static_cast<int>(std::min<size_t>(hostBlock(rng), frames - pos));
    if (!changed && pos > static_cast<size_t>(b))
    {
      // Block k's step comes when sample (k + 1) B - 1 arrives: in this call or a later one for
      // every k >= pos / B.
      SetParam(plug, kParamBandGain + 1, 2.0 + seed % 7); // unlike the last row's gain
      fadeBlock = pos / b;
      changed = true;
    }
    double* ins[2] = {in[0].data() + pos, in[channels - 1].data() + pos};
    double* outs[2] = {out[0].data() + pos, out[1].data() + pos};
    plug.ProcessFrames(ins, outs, length);
    pos += length;
  }
  const std::vector<double> newKernel = KernelInUse(plug);
  ASSERT_NE(newKernel, oldKernel);
  ASSERT_GE(fadeBlock, 1u); // a block played before: a real cross-fade

  const auto expected = ReferenceOutput(in, e.mFftSize, b, oldKernel, newKernel, fadeBlock);
  for (size_t c = 0; c < channels; ++c)
    for (size_t i = 0; i < frames; ++i)
      ASSERT_EQ(out[c][i], expected[c][i]) << "channel " << c << ", sample " << i;
}
} // namespace

TEST_F(EngineReference, OutputEqualsPlainOverlapAddBitForBit)
{
  struct Row
  {
    const char* name;
    bool stereo;
    std::vector<Config> configs; // one instance through all of them, each checked afresh
  };
  const Row rows[] = {
      {"stereo, growing", true, {kDefaults, kLargest, kLargeStereo}},
      {"stereo, shrinking and back", true, {kLargest, kShortBlocks, kOddLength, kLargest}},
      {"mono", false, {kLargeStereo, kDefaults, kLargest}},
  };
  unsigned seed = 1;
  for (const Row& row : rows)
  {
    SCOPED_TRACE(row.name);
    auto plug = MakeTarvex(44100.0, row.stereo);
    ASSERT_TRUE(plug);
    SetParam(*plug, kParamLimiter, 60.0); // off: the output is the convolution alone
    for (const Config& config : row.configs)
    {
      SCOPED_TRACE(testing::Message() << "N = " << config.fft);
      CheckAgainstReference(*plug, config, row.stereo, ++seed);
      if (HasFatalFailure()) return;
    }
  }
}

// A second input disconnected for a while and connected again starts from silence: its output is
// that of an instance that stayed stereo and got silence on the second channel until then, not
// what the ring and the gathered block still held from before. Stale values would differ by the
// signal's size (about 0.1); the joint stereo transform lets the first channel's rounding into
// the second (about 1e-16 of the signal), hence 1e-12.
TEST_F(EngineReference, SecondInputConnectedAgainStartsFromSilence)
{
  for (const Config& config : {kDefaults, kLargest})
  {
    SCOPED_TRACE(testing::Message() << "N = " << config.fft);
    auto reconnected = MakeTarvex(44100.0, true);
    auto silentUntil = MakeTarvex(44100.0, true);
    ASSERT_TRUE(reconnected && silentUntil);
    for (TestTarvex* plug : {reconnected.get(), silentUntil.get()})
    {
      SetParam(*plug, kParamLimiter, 60.0);
      SetParam(*plug, kParamResolution, config.resolution);
      SetParam(*plug, kParamInputBufferSize, config.inputBufferSize);
    }
    // Stereo, then mono for longer than the ring, then stereo again: each phase a few blocks long
    // and ending in the middle of a block.
    const size_t n = static_cast<size_t>(config.fft);
    const size_t phaseEnd[3] = {2 * n + 77, 4 * n + 3001, 7 * n};
    std::mt19937 rng(config.fft);
    std::uniform_real_distribution<double> sample(-0.5, 0.5);
    Stereo in(phaseEnd[2]);
    for (size_t i = 0; i < in.size(); ++i) in.left[i] = sample(rng), in.right[i] = sample(rng);
    Stereo quietFirst = in;
    std::fill(quietFirst.right.begin(), quietFirst.right.begin() + phaseEnd[1], 0.0);

    Stereo outReconnected(in.size()), outSilent(in.size());
    std::uniform_int_distribution<int> hostBlock(1, 3000);
    size_t pos = 0;
    for (int phase = 0; phase < 3; ++phase)
    {
      reconnected->ConnectInputs(1, 1, phase != 1);
      while (pos < phaseEnd[phase])
      {
        const int length =
            static_cast<int>(std::min<size_t>(hostBlock(rng), phaseEnd[phase] - pos));
        double* ins[2] = {in.left.data() + pos, in.right.data() + pos};
        double* outs[2] = {outReconnected.left.data() + pos, outReconnected.right.data() + pos};
        reconnected->ProcessFrames(ins, outs, length);
        double* quietIns[2] = {quietFirst.left.data() + pos, quietFirst.right.data() + pos};
        double* silentOuts[2] = {outSilent.left.data() + pos, outSilent.right.data() + pos};
        silentUntil->ProcessFrames(quietIns, silentOuts, length);
        pos += length;
      }
    }
    double worst = 0.0, peak = 0.0;
    for (size_t i = phaseEnd[1]; i < in.size(); ++i)
    {
      worst = std::max(worst, std::fabs(outReconnected.right[i] - outSilent.right[i]));
      peak = std::max(peak, std::fabs(outSilent.right[i]));
    }
    EXPECT_GT(peak, 0.1); // the second channel's signal came through after the reconnection
    EXPECT_LE(worst, 1e-12);
  }
}
