// Requests the plug-in sends to its host, the exports of the bundle, and hostile input through
// every entry.
#include <cmath>
#include <cstdio>
#include <random>
#include <set>

#include "tests/vst/VstTestHost.h"

using namespace vsttest;

TEST(VstHostRequests, HostIdentifiedAtOpenWithPackedVendorVersion)
{
  Instance plug;
  ASSERT_TRUE(plug);
  Host().vendorVersion = 4100;
  plug.Dispatch(effOpen);
  EXPECT_EQ(Host().count(audioMasterGetProductString), 1);
  EXPECT_EQ(Host().count(audioMasterGetVendorVersion), 1);
  // A second open asks nothing again.
  plug.Dispatch(effOpen);
  EXPECT_EQ(Host().count(audioMasterGetProductString), 1);
}

TEST(VstHostRequests, NothingButTheEntryRequestsDuringConstruction)
{
  Instance plug;
  ASSERT_TRUE(plug);
  for (const Request& r : Host().requests)
  {
    EXPECT_NE(r.opcode, audioMasterIOChanged);
    EXPECT_NE(r.opcode, audioMasterAutomate);
  }
}

TEST(VstHostRequests, ParameterChangesFromTheHostAreNotEchoed)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Start();
  Host().requests.clear();
  plug->setParameter(plug.get(), kParamBandGain, 0.7f);
  char text[16] = "3";
  plug.Dispatch(effString2Parameter, kParamBandGain + 1, 0, text);
  EXPECT_EQ(Host().count(audioMasterAutomate), 0);
  EXPECT_EQ(Host().count(audioMasterBeginEdit), 0);
}

TEST(VstExports, OnlyTheTwoEntryPoints)
{
  const std::string command = "nm -D --defined-only '" + BundleBinary() + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[1024];
  while (fgets(line, sizeof(line), pipe))
  {
    char address[64], type[8], name[900];
    if (sscanf(line, "%63s %7s %899s", address, type, name) == 3) names.insert(name);
  }
  const int status = pclose(pipe);
  ASSERT_EQ(status, 0) << "nm failed";
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(VstRobustness, NullPointersAndOddIndexesThroughEveryOpcode)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Start();
  for (int32_t opcode = 0; opcode < 80; ++opcode)
  {
    if (opcode == effClose) continue;
    // effSetBlockSize with absurd values is covered below; here every opcode sees null pointers
    // and out-of-range indexes.
    for (int32_t index : {-1, 0, 1, 7, 24, 1 << 30})
      for (VstIntPtr value : {VstIntPtr(0), VstIntPtr(-1), VstIntPtr(24)})
      {
        if (opcode == effSetBlockSize && value <= 0) continue;
        // These two take record pointers in value: only null is a value a host can pass.
        if ((opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement) && value)
          continue;
        plug.Dispatch(opcode, index, value, nullptr, 0.5f);
      }
  }
  // Still alive and processing.
  std::vector<float> buffer(512, 0.1f);
  float* io[2] = {buffer.data(), buffer.data()};
  plug->processReplacing(plug.get(), io, io, 512);
  EXPECT_EQ(plug.Text(effGetEffectName, 0), "Tarvex");
}

TEST(VstRobustness, NullBuffersAndOddFrameCounts)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Start(44100.0f, 128);
  std::vector<float> buffer(1024, 0.5f);
  float* both[2] = {buffer.data(), buffer.data() + 512};
  float* nulls[2] = {nullptr, nullptr};
  plug->processReplacing(plug.get(), nullptr, both, 512);
  plug->processReplacing(plug.get(), both, nullptr, 512);
  plug->processReplacing(plug.get(), nulls, both, 512);
  plug->processReplacing(plug.get(), both, nulls, 512);
  plug->process(plug.get(), both, nulls, 512);
  plug->processReplacing(plug.get(), both, both, 0);
  plug->processReplacing(plug.get(), both, both, -5);
  std::vector<double> d(1024, 0.5);
  double* dboth[2] = {d.data(), d.data() + 512};
  double* dnulls[2] = {nullptr, nullptr};
  plug->processDoubleReplacing(plug.get(), dnulls, dboth, 512);
  plug->processDoubleReplacing(plug.get(), dboth, dnulls, 512);
  plug->processDoubleReplacing(plug.get(), nullptr, dboth, 512);
  for (double v : d) ASSERT_TRUE(std::isfinite(v));
  // Block sizes the plug-in cannot use are ignored; huge ones are clamped, calls still slice.
  plug.Dispatch(effSetBlockSize, 0, 0);
  plug.Dispatch(effSetBlockSize, 0, -100);
  plug->processReplacing(plug.get(), both, both, 512);
  plug.Dispatch(effSetBlockSize, 0, VstIntPtr(1) << 40);
  plug.Dispatch(effSetBlockSize, 0, 32);
  plug->processReplacing(plug.get(), both, both, 512);
  for (float v : buffer) ASSERT_TRUE(std::isfinite(v));
}

TEST(VstRobustness, DisconnectedChannelSurvivesABlockSizeChange)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Dispatch(effOpen);
  VstSpeakerArrangement mono{};
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono);
  // Growing the scratch moves it: the unconnected second channel must follow.
  plug.Dispatch(effSetBlockSize, 0, 8192);
  plug.Dispatch(effSetBlockSize, 0, 64);
  plug.Dispatch(effSetBlockSize, 0, 4096);
  plug.Dispatch(effMainsChanged, 0, 1);
  std::vector<double> in(4096, 0.25), out(4096);
  double* i[1] = {in.data()};
  double* o[1] = {out.data()};
  plug->processDoubleReplacing(plug.get(), i, o, 4096);
  plug->processDoubleReplacing(plug.get(), i, o, 4096);
  for (double v : out) ASSERT_TRUE(std::isfinite(v));
  // Odd arrangements: negative and too many channels.
  VstSpeakerArrangement odd{};
  odd.numChannels = -3;
  plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&odd), &odd);
  odd.numChannels = 8; // connects both channels: the host then passes two buffers each way
  plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&odd), &odd);
  double* i2[2] = {in.data(), in.data()};
  double* o2[2] = {out.data(), nullptr};
  plug->processDoubleReplacing(plug.get(), i2, o2, 4096);
}

TEST(VstRobustness, GarbageChunksOfAnySize)
{
  Instance plug;
  ASSERT_TRUE(plug);
  std::mt19937 random(20261209);
  std::vector<unsigned char> bytes;
  for (int round = 0; round < 300; ++round)
  {
    const size_t size = round < 64 ? static_cast<size_t>(round) : random() % 5000;
    bytes.resize(size);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    // Half of them with our header, so the state and bank readers see garbage too.
    if (round % 2 && size >= 8)
    {
      const unsigned char header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
      memcpy(bytes.data(), header, 8);
    }
    for (int32_t index : {0, 1})
    {
      const VstIntPtr ok =
          plug.Dispatch(effSetChunk, index, static_cast<VstIntPtr>(size), bytes.data());
      EXPECT_TRUE(ok == 0 || ok == 1);
    }
  }
  // Whatever was read, every value is within its range and shown as a number or a text.
  for (int i = 0; i < kParamCount; ++i)
  {
    const float normalised = plug->getParameter(plug.get(), i);
    EXPECT_TRUE(normalised >= 0.0f && normalised <= 1.0f) << i << ": " << normalised;
  }
  void* data = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, &data), 200);
}

TEST(VstRobustness, ClosedOnAnyStateAndManyInstances)
{
  std::vector<std::unique_ptr<Instance>> instances;
  for (int i = 0; i < 8; ++i)
  {
    instances.emplace_back(new Instance(false));
    ASSERT_TRUE(*instances.back());
    if (i % 2) instances.back()->Start();
  }
  instances.clear();
  // A null effect or one without object answers nothing.
  AEffect empty{};
  Instance probe;
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->dispatcher(&empty, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(probe->dispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  probe->setParameter(&empty, kParamBandOn, 0.5f);
  EXPECT_EQ(probe->getParameter(&empty, kParamBandOn), 0.0f);
  probe->processReplacing(&empty, nullptr, nullptr, 10);
}
