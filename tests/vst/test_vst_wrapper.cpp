// IPlugVST's notifications and questions to the host, called directly on an instance built in
// this test with a recording callback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "plugin/Tarvex.h"
#include "tests/vst/RecordingGraphics.h"
#include "vst/IPlugVST.h"

namespace
{
struct Recorded
{
  int32_t opcode, index;
  VstIntPtr value;
  float opt;
  std::vector<unsigned char> midi; // the first event's bytes for audioMasterProcessEvents
};

std::vector<Recorded> gRequests;
VstTimeInfo gTime{};
bool gAnswerTime = true;
VstIntPtr gVendorVersion = 0;
const char* gProduct = "";
VstIntPtr gEventsAnswer = 1;

VstIntPtr Record(AEffect*, int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
  Recorded r{opcode, index, value, opt, {}};
  if (opcode == audioMasterProcessEvents && ptr)
  {
    const VstEvents* events = static_cast<const VstEvents*>(ptr);
    const VstMidiEvent* e = reinterpret_cast<const VstMidiEvent*>(events->events[0]);
    r.midi = {
        static_cast<unsigned char>(e->type),        static_cast<unsigned char>(e->byteSize),
        static_cast<unsigned char>(e->deltaFrames), static_cast<unsigned char>(e->midiData[0]),
        static_cast<unsigned char>(e->midiData[1]), static_cast<unsigned char>(e->midiData[2])};
  }
  gRequests.push_back(r);
  switch (opcode)
  {
  case audioMasterGetTime:
    return gAnswerTime ? reinterpret_cast<VstIntPtr>(&gTime) : 0;
  case audioMasterGetProductString:
    snprintf(static_cast<char*>(ptr), 64, "%s", gProduct);
    return 1;
  case audioMasterGetVendorVersion:
    return gVendorVersion;
  case audioMasterProcessEvents:
    return gEventsAnswer;
  default:
    return 0;
  }
}

class VstWrapper : public ::testing::Test
{
protected:
  void SetUp() override
  {
    gRequests.clear();
    gTime = VstTimeInfo{};
    gAnswerTime = true;
    gVendorVersion = 0;
    gProduct = "";
    gEventsAnswer = 1;
    plug.reset(CreateTarvex<IPlugVST>(IPlugVST::InstanceInfo{Record}));
    ASSERT_NE(plug, nullptr);
    gRequests.clear();
  }
  std::unique_ptr<Tarvex<IPlugVST>> plug;
};
} // namespace

TEST_F(VstWrapper, ParameterGestureRequests)
{
  plug->BeginInformHostOfParamChange(kParamBandFreq + 1);
  plug->SetParameterFromGUI(kParamBandFreq + 1, 0.25);
  plug->EndInformHostOfParamChange(kParamBandFreq + 1);
  ASSERT_EQ(gRequests.size(), 3u);
  EXPECT_EQ(gRequests[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(gRequests[0].index, 9);
  EXPECT_EQ(gRequests[1].opcode, audioMasterAutomate);
  EXPECT_EQ(gRequests[1].index, 9);
  EXPECT_FLOAT_EQ(gRequests[1].opt, 0.25f);
  EXPECT_EQ(gRequests[2].opcode, audioMasterEndEdit);

  // A refresh asked for on another thread (a rebuild on the audio thread) reaches the host once, at
  // its next idle call, on the thread that makes it; other dispatcher calls do not deliver it.
  std::thread([&] { plug->RequestHostRefresh(); }).join();
  std::thread([&] { plug->RequestHostRefresh(); }).join();
  AEffect* effect = plug->GetAEffect();
  effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0.0f);
  ASSERT_EQ(gRequests.size(), 3u);
  for (int32_t idle : {effEditIdle, effIdle})
  {
    plug->RequestHostRefresh();
    effect->dispatcher(effect, idle, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, idle, 0, 0, nullptr, 0.0f);
  }
  ASSERT_EQ(gRequests.size(), 5u);
  EXPECT_EQ(gRequests[3].opcode, audioMasterUpdateDisplay);
  EXPECT_EQ(gRequests[4].opcode, audioMasterUpdateDisplay);
}

TEST_F(VstWrapper, TimeInformation)
{
  gTime.samplePos = 1234.6;
  gTime.tempo = 98.5;
  gTime.timeSigNumerator = 7;
  gTime.timeSigDenominator = 8;
  gTime.flags = kVstTempoValid | kVstTimeSigValid;
  EXPECT_EQ(plug->HostSamplePosition(), 1235);
  EXPECT_DOUBLE_EQ(plug->HostTempo(), 98.5);
  int num = -1, den = -1;
  plug->HostTimeSignature(&num, &den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  ASSERT_EQ(gRequests.size(), 3u);
  EXPECT_EQ(gRequests[0].opcode, audioMasterGetTime);
  EXPECT_EQ(gRequests[0].value, 0);
  EXPECT_EQ(gRequests[1].value, kVstTempoValid);
  EXPECT_EQ(gRequests[2].value, kVstTimeSigValid);

  // Flags asked for but not valid: no answer.
  gTime.flags = 0;
  EXPECT_EQ(plug->HostTempo(), 0.0);
  plug->HostTimeSignature(&num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 0);
  // Negative or huge positions, and no time information at all.
  gTime.samplePos = -10.0;
  EXPECT_EQ(plug->HostSamplePosition(), 0);
  gTime.samplePos = 1e300;
  EXPECT_EQ(plug->HostSamplePosition(), 2147483647);
  gAnswerTime = false;
  EXPECT_EQ(plug->HostSamplePosition(), 0);
  EXPECT_EQ(plug->HostTempo(), 0.0);
  plug->HostTimeSignature(nullptr, nullptr);
}

TEST_F(VstWrapper, HostCodeAndPackedVendorVersion)
{
  gProduct = "REAPER";
  gVendorVersion = 4100;
  EXPECT_EQ(plug->HostCode(), kHostReaper);
  EXPECT_EQ(plug->GetHostVersion(), 10496); // 0 x 65536 + 41 x 256 + 0
  // Known from then on: not asked again.
  gRequests.clear();
  EXPECT_EQ(plug->HostCode(), kHostReaper);
  EXPECT_TRUE(gRequests.empty());
}

TEST_F(VstWrapper, VendorVersionWithMajorMinorAndRevision)
{
  gProduct = "Some Host";
  gVendorVersion = 20304;
  EXPECT_EQ(plug->HostCode(), kHostUnknown);
  EXPECT_EQ(plug->GetHostVersion(), (2 << 16) | (3 << 8) | 4);
}

TEST_F(VstWrapper, MidiOut)
{
  MidiMessage note{12, 0x90, 64, 100};
  EXPECT_TRUE(plug->EmitMidi(&note));
  ASSERT_EQ(gRequests.size(), 1u);
  EXPECT_EQ(gRequests[0].opcode, audioMasterProcessEvents);
  EXPECT_EQ(gRequests[0].midi, (std::vector<unsigned char>{1, 32, 12, 0x90, 64, 100}));
  gEventsAnswer = 0;
  EXPECT_FALSE(plug->EmitMidi(&note));
  EXPECT_FALSE(plug->EmitMidi(nullptr));
  WDL_TypedBuf<MidiMessage> list;
  list.Add(&note);
  list.Add(&note);
  gEventsAnswer = 1;
  EXPECT_TRUE(plug->EmitMidiList(&list));
  gEventsAnswer = 0;
  EXPECT_FALSE(plug->EmitMidiList(&list));
}

TEST_F(VstWrapper, LatencyReportedWhileRunningOnly)
{
  AEffect* effect = plug->GetAEffect();
  plug->ReportLatency(100);
  EXPECT_EQ(effect->initialDelay, 100);
  EXPECT_EQ(plug->GetLatency(), 100);
  EXPECT_TRUE(gRequests.empty());
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  gRequests.clear();
  plug->ReportLatency(200);
  plug->ReportLatency(200); // unchanged: nothing to announce
  ASSERT_EQ(gRequests.size(), 1u);
  EXPECT_EQ(gRequests[0].opcode, audioMasterIOChanged);
  EXPECT_EQ(effect->initialDelay, 200);
}

TEST_F(VstWrapper, NoHostCallbackAtAll)
{
  std::unique_ptr<Tarvex<IPlugVST>> lonely(CreateTarvex<IPlugVST>(IPlugVST::InstanceInfo{nullptr}));
  ASSERT_NE(lonely, nullptr);
  AEffect* effect = lonely->GetAEffect();
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(lonely->HostTempo(), 0.0);
  EXPECT_EQ(lonely->HostSamplePosition(), 0);
  EXPECT_EQ(lonely->HostCode(), kHostUnknown);
  lonely->SetParameterFromGUI(kParamBandOn + 3, 0.0);
}

TEST_F(VstWrapper, EditorOpcodesOnceGraphicsAreAttached)
{
  AEffect* effect = plug->GetAEffect();
  auto dispatch = [&](int32_t op, VstIntPtr value, void* ptr)
  { return effect->dispatcher(effect, op, 0, value, ptr, 0.0f); };
  // The plug-in builds its editor at construction; the recording graphics replace it.
  EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
  IGraphics* graphics = MakeRecordingGraphics(plug.get());
  plug->AdoptGraphics(graphics); // owned by the plug-in from here
  EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);

  ERect* rect = nullptr;
  EXPECT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 576);
  EXPECT_EQ(rect->right, 752);
  EXPECT_EQ(dispatch(effEditGetRect, 0, nullptr), 0);

  int window = 0;
  EXPECT_EQ(dispatch(effEditOpen, 0, &window), 1);
  EXPECT_EQ(dispatch(effEditClose, 0, nullptr), 1);
  // A host that takes a Cocoa view says so first; the next open uses it.
  EXPECT_EQ(dispatch(effCanDo, 0, const_cast<char*>("hasCockosViewAsConfig")),
            static_cast<VstIntPtr>(0xBEEF0000));
  EXPECT_EQ(dispatch(effEditOpen, 0, &window), 1);
  // A view that does not open answers 0.
  EXPECT_EQ(dispatch(effEditOpen, 0, nullptr), 0);
#ifdef __APPLE__
  EXPECT_EQ(ViewsOpened(graphics), (std::vector<std::string>{"carbon", "close", "cocoa", "cocoa"}));
#else
  // X11 hosts always get the X11 view, whatever they answered about Cocoa views.
  EXPECT_EQ(ViewsOpened(graphics), (std::vector<std::string>{"x11", "close", "x11", "x11"}));
#endif
}

// Every AEffect function waits while another thread holds the plug-in mutex (as the editor does
// in SetParameterFromGUI). The check cannot fail by timing: while the mutex is held the call
// cannot have finished, however late its thread starts.
TEST_F(VstWrapper, EveryEntryWaitsForThePluginMutex)
{
  AEffect* effect = plug->GetAEffect();
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  std::vector<float> buffer(1024, 0.0f);
  const std::vector<std::pair<const char*, std::function<void()>>> entries = {
      {"processReplacing",
       [&]
       {
         float* io[2] = {buffer.data(), buffer.data() + 512};
         effect->processReplacing(effect, io, io, 512);
       }},
      {"process",
       [&]
       {
         float* io[2] = {buffer.data(), buffer.data() + 512};
         effect->process(effect, io, io, 512);
       }},
      {"setParameter", [&] { effect->setParameter(effect, kParamBandOn + 3, 0.0f); }},
      {"getParameter", [&] { effect->getParameter(effect, kParamBandOn + 3); }},
      {"dispatcher", [&] { effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f); }},
  };
  for (const auto& entry : entries)
  {
    std::atomic<bool> done{false};
    plug->GetMutex()->Enter();
    std::thread caller(
        [&]
        {
          entry.second();
          done = true;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done.load()) << entry.first << " ran while the mutex was held";
    plug->GetMutex()->Leave();
    caller.join();
    EXPECT_TRUE(done.load()) << entry.first;
  }
}

// Host automation and state calls on one thread while another processes: nothing breaks and the
// audio stays finite.
TEST_F(VstWrapper, AutomationBesideProcessing)
{
  AEffect* effect = plug->GetAEffect();
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  std::atomic<bool> stop{false};
  std::thread automation(
      [&]
      {
        for (int i = 0; !stop && i < 2000; ++i)
        {
          effect->setParameter(effect, 4 + i % 4, static_cast<float>((i % 100) / 100.0));
          char text[64];
          effect->dispatcher(effect, effGetParamDisplay, i % 24, 0, text, 0.0f);
          void* chunk = nullptr;
          if (i % 50 == 0) effect->dispatcher(effect, effGetChunk, 1, 0, &chunk, 0.0f);
        }
      });
  std::vector<float> left(256), right(256);
  bool finite = true;
  for (int block = 0; block < 400; ++block)
  {
    for (int s = 0; s < 256; ++s) left[s] = right[s] = static_cast<float>(std::sin(0.05 * s));
    float* io[2] = {left.data(), right.data()};
    effect->processReplacing(effect, io, io, 256);
    for (int s = 0; s < 256; ++s)
      finite = finite && std::isfinite(left[s]) && std::isfinite(right[s]);
  }
  stop = true;
  automation.join();
  EXPECT_TRUE(finite);
}
