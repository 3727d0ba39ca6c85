#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/IPlugBase.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
// A small plug-in on the recording wrapper: 3 parameters, stereo and mono layouts.
class TestPlug : public IPlugTestWrapper
{
public:
  explicit TestPlug(int nPresets = 0, const char* io = "1-1 2-2")
      : IPlugTestWrapper(InstanceInfo{}, 3, io, nPresets, "Effect", "Product", "Maker", 0x10203,
                         0x54657374, 0x4d6b7231, 0, 0, true, false)
  {
    GetParam(0)->SetupContinuous("Gain", 0.5, -10, 10, 0.01, "dB");
    GetParam(1)->SetupSwitch("On", true);
    GetParam(2)->SetupInteger("Mode", 1, 0, 3, "");
  }
  void ParamChanged(int index) override
  {
    IPlugTestWrapper::ParamChanged(index);
    mChanged.push_back(index);
  }
  std::vector<int> mChanged;
};
} // namespace

TEST(IPlugBase, ChannelLayoutsAndLegalIO)
{
  TestPlug plug;
  EXPECT_EQ(plug.NInChannels(), 2);
  EXPECT_EQ(plug.NOutChannels(), 2);
  ASSERT_EQ(plug.NChannelIO(), 2);
  EXPECT_EQ(plug.GetChannelIO(0)->mIn, 1);
  EXPECT_EQ(plug.GetChannelIO(1)->mOut, 2);
  EXPECT_TRUE(plug.LegalIO(1, -1));
  EXPECT_TRUE(plug.LegalIO(2, 2));
  EXPECT_TRUE(plug.LegalIO(2, -1));
  EXPECT_TRUE(plug.LegalIO(-1, -1));
  EXPECT_FALSE(plug.LegalIO(1, 2));
  EXPECT_FALSE(plug.LegalIO(3, -1));
  EXPECT_FALSE(plug.LegalIO(0, 0));

  TestPlug odd(0, "2-4 garbage 1-1");
  EXPECT_EQ(odd.NInChannels(), 2);
  EXPECT_EQ(odd.NOutChannels(), 4);
  EXPECT_TRUE(odd.LegalIO(0, 0)); // the unparsable token counts as 0-0
  TestPlug none(0, "");
  EXPECT_EQ(none.NInChannels(), 0);
  EXPECT_FALSE(none.LegalIO(-1, -1));
}

TEST(IPlugBase, BlockSizeChangeClearsScratchOnlyWhenTheSizeChanges)
{
  TestPlug plug;
  plug.ChangeBlockSize(4);
  plug.ConnectInputs(0, 2, true);
  plug.ConnectOutputs(0, 2, true);
  float a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
  float* ins[2] = {a, b};
  plug.BindInputBuffers(0, 2, ins, 4);
  plug.ChangeBlockSize(4);
  EXPECT_EQ(plug.InputData()[0][2], 3.0); // kept
  plug.ChangeBlockSize(8);
  plug.BindInputBuffers(0, 2, ins, 0); // rebind the (resized) scratch without converting
  EXPECT_EQ(plug.InputData()[0][2], 0.0);
  EXPECT_EQ(plug.GetBlockSize(), 8);
}

TEST(IPlugBase, BlockSizeChangeLeavesNoDanglingDataSlot)
{
  TestPlug plug;
  plug.ChangeBlockSize(4);
  plug.ConnectInputs(0, 2, false);
  plug.ConnectOutputs(0, 2, false);
  plug.ChangeBlockSize(100000); // the scratch buffers move
  double* in0 = plug.InputData()[0];
  double* out1 = plug.OutputData()[1];
  ASSERT_NE(in0, nullptr);
  EXPECT_EQ(in0[99999], 0.0); // readable: ASan would flag a slot left on the freed buffer
  out1[99999] = 1.0;
  plug.RunEngine(0.0, 100000);
  EXPECT_EQ(plug.OutputData()[1][5], 0.0);
}

TEST(IPlugBase, FloatProcessingCopiesStoresAndAdds)
{
  TestPlug plug;
  plug.ChangeBlockSize(4);
  plug.ConnectInputs(0, 2, true);
  plug.ConnectOutputs(0, 2, true);
  float a[4] = {1, 2, 3, 4}, b[4] = {-1, -2, -3, -4};
  float outA[4] = {10, 10, 10, 10}, outB[4] = {10, 10, 10, 10};
  float* ins[2] = {a, b};
  float* outs[2] = {outA, outB};
  plug.BindInputBuffers(0, 2, ins, 4);
  plug.BindOutputBuffers(0, 2, outs);
  plug.RunEngineAdding(0.0f, 4);
  EXPECT_EQ(outA[3], 14.0f);
  EXPECT_EQ(outB[0], 9.0f);
  plug.RunEngine(0.0f, 4);
  EXPECT_EQ(outA[3], 4.0f);
  EXPECT_EQ(outB[0], -1.0f);
  plug.RunBypass(0.0f, 4);
  EXPECT_EQ(outB[2], -3.0f);
}

TEST(IPlugBase, UnconnectedInputReadsZerosAndTakesNoHostBuffer)
{
  TestPlug plug;
  plug.ChangeBlockSize(3);
  plug.ConnectInputs(0, 1, false);
  plug.ConnectInputs(1, 1, true);
  plug.ConnectOutputs(0, 2, true);
  double host[3] = {7, 8, 9};
  double* ins[1] = {host};
  double o0[3], o1[3];
  double* outs[2] = {o0, o1};
  plug.BindInputBuffers(0, 2, ins);
  plug.BindOutputBuffers(0, 2, outs);
  plug.RunEngine(0.0, 3);
  EXPECT_EQ(o0[1], 0.0);
  EXPECT_EQ(o1[1], 8.0); // the connected second channel took the first host buffer
  EXPECT_FALSE(plug.InputConnected(0));
  EXPECT_TRUE(plug.InputConnected(1));
  EXPECT_FALSE(plug.InputConnected(5));
}

TEST(IPlugBase, MoreFramesThanAnnouncedDoNotOverrunScratch)
{
  TestPlug plug;
  plug.ChangeBlockSize(4);
  plug.ConnectInputs(0, 2, true);
  plug.ConnectOutputs(0, 2, true);
  std::vector<float> a(64, 0.5f), b(64, 0.25f), oa(64), ob(64);
  float* ins[2] = {a.data(), b.data()};
  float* outs[2] = {oa.data(), ob.data()};
  plug.BindInputBuffers(0, 2, ins, 64);
  plug.BindOutputBuffers(0, 2, outs);
  plug.RunEngine(0.0f, 64);
  EXPECT_EQ(oa[63], 0.5f);
  EXPECT_EQ(ob[63], 0.25f);
}

TEST(IPlugBase, NullHostPointersAreIgnored)
{
  TestPlug plug;
  plug.BindInputBuffers(0, 2, static_cast<float**>(nullptr), 4);
  plug.BindOutputBuffers(0, 2, static_cast<double**>(nullptr));
  plug.ProcessFrames(nullptr, nullptr, 16);
  plug.RunEngine(0.0, 0);
  plug.ConnectInputs(-3, 100, true); // out-of-range channels are skipped
  EXPECT_TRUE(plug.InputConnected(1));
  EXPECT_FALSE(plug.WriteParamState(nullptr));
  EXPECT_EQ(plug.UnserializeParams(nullptr, 0), -1);
  EXPECT_EQ(plug.ReadPresetBank(nullptr, 0), -1);
}

TEST(IPlugBase, HostIdentificationAndVersion)
{
  EXPECT_EQ(LookUpHost("REAPER"), kHostReaper);
  EXPECT_EQ(LookUpHost("Ableton Live 8"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Cubase Live"), kHostCubase); // earlier substring wins
  EXPECT_EQ(LookUpHost(""), kHostUnknown);
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
  EXPECT_EQ(LookUpHost("PreSonus VST2 Host"), kHostStudioOne);
  const std::string longName = std::string(300, 'a') + "reaper";
  EXPECT_EQ(LookUpHost(longName.c_str()), kHostUnknown); // only the first 255 characters count

  TestPlug plug;
  EXPECT_EQ(plug.GetHost(), kHostUninit);
  plug.SetHost("Orion", 5);
  EXPECT_EQ(plug.HostCode(), kHostOrion);
  EXPECT_EQ(plug.GetHostVersion(), 5);
  EXPECT_EQ(plug.VersionNumber(false), 0x10203);
  EXPECT_EQ(plug.VersionNumber(true), 10203);
  char text[16];
  plug.VersionText(text, sizeof(text));
  EXPECT_STREQ(text, "v1.02");
}

TEST(IPlugBase, ParameterFromEditorInformsHostWithTheValuePassed)
{
  TestPlug plug;
  plug.SetParameterFromGUI(2, 0.4); // integer: 0.4 * 3 = 1.2 rounds to 1
  EXPECT_EQ(plug.GetParam(2)->mValue, 1.0);
  ASSERT_EQ(plug.CountCalls("Inform"), 1);
  EXPECT_EQ(plug.mCalls.back().index, 2);
  EXPECT_EQ(plug.mCalls.back().value, 0.4);
  EXPECT_EQ(plug.mChanged, std::vector<int>({2}));
  plug.SetParameterFromGUI(99, 0.5); // no such parameter: nothing happens
  EXPECT_EQ(plug.CountCalls("Inform"), 1);
  plug.mChanged.clear();
  plug.NotifyAllParams();
  EXPECT_EQ(plug.mChanged, std::vector<int>({0, 1, 2}));
}

TEST(IPlugBase, LongNamesAreCut)
{
  const std::string longName(400, 'n');
  IPlugTestWrapper plug(IPlugTestWrapper::InstanceInfo{}, 0, "1-1", 0, longName.c_str(), nullptr,
                        longName.c_str(), 1, 1, 1, 0, 0, false, false);
  EXPECT_EQ(strlen(plug.GetEffectName()), 127u);
  EXPECT_STREQ(plug.GetProductName(), "");
}
