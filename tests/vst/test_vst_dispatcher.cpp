// The dispatcher as hosts use it: identity, parameters, chunks, programs, canDo, pins, speakers.
#include <cmath>

#include "tests/support/ScopedEnv.h"
#include "tests/vst/VstTestHost.h"

using namespace vsttest;

TEST(VstIdentity, AEffectRecordAsHostsReadIt)
{
  Instance plug;
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->magic, VstFourCC("VstP"));
  EXPECT_EQ(plug->uniqueID, VstFourCC("Trvx"));
  EXPECT_EQ(plug->version, 10000);
  EXPECT_EQ(plug->numParams, kParamCount);
  EXPECT_EQ(plug->numInputs, 2);
  EXPECT_EQ(plug->numOutputs, 2);
  EXPECT_EQ(plug->numPrograms, 1);
  EXPECT_EQ(plug->ioRatio, 1.0f);
  // Replacing, double replacing and mono, no chunk flag; the editor flag is set once the plug-in
  // builds its editor (VstEditor checks that it agrees with the editor opcodes).
  EXPECT_EQ(plug->flags & ~effFlagsHasEditor,
            effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsCanMono);
  EXPECT_NE(plug->process, nullptr);
  EXPECT_NE(plug->processReplacing, nullptr);
  EXPECT_NE(plug->processDoubleReplacing, nullptr);
  EXPECT_EQ(plug.Dispatch(effIdentify), VstFourCC("NvEf"));
  EXPECT_EQ(plug.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(plug.Dispatch(effGetVendorVersion), 0);
  EXPECT_EQ(plug.Dispatch(effGetPlugCategory), kPlugCategEffect);
  EXPECT_EQ(plug.Dispatch(effGetTailSize), 0);
  EXPECT_EQ(plug.Text(effGetEffectName, 0), "Tarvex");
  EXPECT_EQ(plug.Text(effGetVendorString, 0), "Vennmoor");
  EXPECT_EQ(plug.Text(effGetProductString, 0), "");
  EXPECT_EQ(plug.Dispatch(effGetEffectName, 0, 0, nullptr), 0);
}

TEST(VstIdentity, MainIsTheSameEntry)
{
  VstPluginMainProc entry = Entry("main");
  ASSERT_NE(entry, nullptr);
  Host() = HostState();
  AEffect* effect = entry(Callback);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->uniqueID, VstFourCC("Trvx"));
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(VstParams, NamesLabelsAndDisplayTexts)
{
  Instance plug;
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug.Text(effGetParamName, kParamBandFreq), "Band A freq");
  EXPECT_EQ(plug.Text(effGetParamLabel, kParamBandFreq), "Hz");
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), "80.00");
  EXPECT_EQ(plug.Text(effGetParamName, kParamLimiter), "Limiter");
  // Out of range: nothing written.
  EXPECT_EQ(plug.Text(effGetParamName, kParamCount), "");
  EXPECT_EQ(plug.Text(effGetParamName, -1), "");
  // Texts are terminated within 32 bytes whatever their length.
  for (int i = 0; i < kParamCount; ++i)
    for (int32_t op : {effGetParamName, effGetParamLabel, effGetParamDisplay})
    {
      std::vector<char> text(64, 'x');
      plug.Dispatch(op, i, 0, text.data());
      EXPECT_LT(strnlen(text.data(), 64), 32u) << "opcode " << op << " param " << i;
      EXPECT_EQ(text[33], 'x') << "wrote past 32 bytes";
    }
}

TEST(VstParams, NormalisedGetAndSet)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug->setParameter(plug.get(), kParamBandFreq, 0.5f);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), "2500.00");
  EXPECT_FLOAT_EQ(plug->getParameter(plug.get(), kParamBandFreq), 0.5f);
  // Integer parameters round: Colour 0..3 at 0.6 becomes 2, read back as 2/3.
  plug->setParameter(plug.get(), kParamColour, 0.6f);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamColour), "2");
  EXPECT_FLOAT_EQ(plug->getParameter(plug.get(), kParamColour), 2.0f / 3.0f);
  // Outside the list: ignored, answers 0.
  plug->setParameter(plug.get(), kParamCount, 0.5f);
  plug->setParameter(plug.get(), -1, 0.5f);
  EXPECT_EQ(plug->getParameter(plug.get(), kParamCount), 0.0f);
  EXPECT_EQ(plug->getParameter(plug.get(), -7), 0.0f);
  // Positions outside 0..1 and NaN never leave a value outside the range.
  plug->setParameter(plug.get(), kParamOverallGain, -3.0f);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamOverallGain), "-60.00");
  plug->setParameter(plug.get(), kParamOverallGain, 7.0f);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamOverallGain), "60.00");
  plug->setParameter(plug.get(), kParamOverallGain, NAN);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamOverallGain), "60.00");
  EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 3), 1);
}

TEST(VstParams, String2ParameterReadsRealValues)
{
  Instance plug;
  ASSERT_TRUE(plug);
  char text[32] = "1000";
  EXPECT_EQ(plug.Dispatch(effString2Parameter, kParamBandFreq, 0, text), 1);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), "1000.00");
  // Leading numeric part only; clamped to the bounds.
  strcpy(text, "6dB");
  EXPECT_EQ(plug.Dispatch(effString2Parameter, kParamBandGain, 0, text), 1);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandGain), "6.00");
  strcpy(text, "99999");
  plug.Dispatch(effString2Parameter, kParamBandGain, 0, text);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandGain), "60.00");
  // No number at all reads as 0; "nan" too.
  strcpy(text, "loud");
  plug.Dispatch(effString2Parameter, kParamOverallGain, 0, text);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamOverallGain), "0");
  strcpy(text, "nan");
  plug.Dispatch(effString2Parameter, kParamOverallGain, 0, text);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamOverallGain), "0");
  // A switch takes its own texts.
  strcpy(text, "off");
  plug.Dispatch(effString2Parameter, kParamBandOn, 0, text);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandOn), "off");
  // Invalid index: 0; no text: 1 and nothing changes.
  EXPECT_EQ(plug.Dispatch(effString2Parameter, kParamCount, 0, text), 0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, -1, 0, text), 0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, kParamBandFreq, 0, nullptr), 1);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), "1000.00");
}

// Typed values are clamped to the bounds but not rounded to the step, whatever the parameter's
// type; the display shows them the parameter's own way (an integer is truncated).
TEST(VstParams, String2ParameterClampsWithoutRounding)
{
  struct Case
  {
    int index;
    const char* text;
    double normalised; // expected getParameter, within 1e-6 (float resolution near 1 is 6e-8)
    const char* shown;
  };
  const Case cases[] = {
      {19, "2.7", 2.7 / 3.0, "2"},                // Colour, integer 0..3
      {19, "7", 1.0, "3"},                        // clamped to max
      {0, "0.6", 0.6, "off"},                     // switch: text of value 0
      {21, "1.27", (1.27 - 0.2) / 7.8, "1.3"},    // Resolution, step 0.1
      {22, "0.05", std::sqrt(0.05 / 3.0), "0.1"}, // Input Buffer Size, shape 2
      {8, "1234.567", std::pow(1234.567 / 20000.0, 1.0 / 3.0), "1234.57"}, // step 0.01, shape 3
  };
  for (const Case& c : cases)
  {
    Instance plug;
    ASSERT_TRUE(plug);
    char text[32];
    snprintf(text, sizeof(text), "%s", c.text);
    EXPECT_EQ(plug.Dispatch(effString2Parameter, c.index, 0, text), 1);
    EXPECT_NEAR(plug->getParameter(plug.get(), c.index), c.normalised, 1e-6)
        << "parameter " << c.index << " typed " << c.text;
    EXPECT_EQ(plug.Text(effGetParamDisplay, c.index), c.shown) << "parameter " << c.index;
  }
}

TEST(VstParams, VendorSpecificFormatsAnyNormalisedValue)
{
  Instance plug;
  ASSERT_TRUE(plug);
  char text[64] = {};
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 8, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "2500.00");
  // The parameter itself is untouched.
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), "80.00");
  strcpy(text, "unchanged");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 24, text, 0.5f), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, -1, text, 0.5f), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 6, 8, text, 0.5f), 0);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 8, nullptr, 0.5f), 0);
}

namespace
{
std::vector<unsigned char> GetChunk(Instance& plug, int index)
{
  void* data = nullptr;
  const VstIntPtr size = plug.Dispatch(effGetChunk, index, 0, &data);
  if (size <= 0 || !data) return {};
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

std::vector<std::string> AllDisplays(Instance& plug)
{
  std::vector<std::string> shown;
  for (int i = 0; i < kParamCount; ++i) shown.push_back(plug.Text(effGetParamDisplay, i));
  return shown;
}
} // namespace

TEST(VstChunks, ProgramChunkHasHeaderAndRoundTrips)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug->setParameter(plug.get(), kParamBandFreq, 0.5f);
  std::vector<unsigned char> chunk = GetChunk(plug, 1);
  ASSERT_EQ(chunk.size(), 200u);
  const unsigned char header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(memcmp(chunk.data(), header, 8), 0);
  double freq;
  memcpy(&freq, chunk.data() + 8 + 8 * 8, 8);
  EXPECT_DOUBLE_EQ(freq, 2500.0);
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);

  // Into a fresh instance: every parameter follows.
  const std::vector<std::string> before = AllDisplays(plug);
  Instance other(false);
  ASSERT_TRUE(other);
  EXPECT_EQ(other.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()), 1);
  EXPECT_EQ(AllDisplays(other), before);
  // The same bytes back into the same instance change nothing.
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()), 1);
  EXPECT_EQ(AllDisplays(plug), before);
}

TEST(VstChunks, HeaderlessStateIsReadAsProgramEvenForTheBank)
{
  Instance plug;
  ASSERT_TRUE(plug);
  std::vector<unsigned char> chunk = GetChunk(plug, 1);
  ASSERT_EQ(chunk.size(), 200u);
  std::vector<unsigned char> bare(chunk.begin() + 8, chunk.end());
  const double gain = -12.5;
  memcpy(bare.data() + 8 * 5, &gain, 8); // Band B gain
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bare.size()), bare.data()), 1);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandGain + 1), "-12.50");
}

TEST(VstChunks, BankChunkRoundTripsThroughTheCurrentPreset)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug->setParameter(plug.get(), kParamOverallGain, 0.75f);
  const std::string shown = plug.Text(effGetParamDisplay, kParamOverallGain);
  std::vector<unsigned char> bank = GetChunk(plug, 0);
  ASSERT_GT(bank.size(), 8u);
  EXPECT_EQ(bank[0], 0x74);
  Instance other(false);
  ASSERT_TRUE(other);
  EXPECT_EQ(other.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data()), 1);
  EXPECT_EQ(other.Text(effGetParamDisplay, kParamOverallGain), shown);
}

// A program chunk must hold the whole state: a short, long or damaged one is refused before
// anything changes.
TEST(VstChunks, ShortLongOrDamagedChunkChangesNothing)
{
  Instance plug;
  ASSERT_TRUE(plug);
  std::vector<unsigned char> chunk = GetChunk(plug, 1);
  ASSERT_EQ(chunk.size(), 200u);
  const std::string before = plug.Text(effGetParamDisplay, 8);
  const double freq = 1234.0;
  memcpy(chunk.data() + 8 + 8 * 8, &freq, 8);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 100, chunk.data()), 0); // 11 of 24 values
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), before);
  std::vector<unsigned char> longer = chunk;
  longer.resize(208, 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 208, longer.data()), 0);
  std::vector<unsigned char> damaged = chunk;
  const double nan = std::nan("");
  memcpy(damaged.data() + 8 + 8 * 20, &nan, 8);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 200, damaged.data()), 0);
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), before);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 200, chunk.data()), 1); // the whole one is taken
  EXPECT_EQ(plug.Text(effGetParamDisplay, kParamBandFreq), "1234.00");
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 200, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, -5, chunk.data()), 0);
  // A header and nothing else.
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 6, chunk.data()), 0);
}

TEST(VstPrograms, OneDefaultProgram)
{
  Instance plug;
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
  EXPECT_EQ(plug.Text(effGetProgramName, 0), "Default");
  char name[64] = "x";
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
  EXPECT_STREQ(name, "Default");
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 5, 0, name), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);

  // Setting the program stores the current values first: nothing changes.
  plug->setParameter(plug.get(), kParamBandFreq + 1, 0.3f);
  const std::vector<std::string> before = AllDisplays(plug);
  plug.Dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(AllDisplays(plug), before);
  plug.Dispatch(effSetProgram, 0, 7); // no such program
  EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
  EXPECT_EQ(AllDisplays(plug), before);

  char longName[300];
  memset(longName, 'n', sizeof(longName) - 1);
  longName[sizeof(longName) - 1] = 0;
  plug.Dispatch(effSetProgramName, 0, 0, longName);
  // Handed back within the interface's 24 bytes.
  std::vector<char> out(64, 'x');
  plug.Dispatch(effGetProgramName, 0, 0, out.data());
  EXPECT_EQ(strnlen(out.data(), 64), 23u);
  plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Warm"));
  EXPECT_EQ(plug.Text(effGetProgramName, 0), "Warm");
}

TEST(VstCanDo, AnswersAndCapabilities)
{
  Instance plug;
  ASSERT_TRUE(plug);
  auto canDo = [&](const char* what)
  { return plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(what)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("receiveVstEvents"), 0);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 0);
  EXPECT_EQ(canDo("receiveVstTimeInfoX"), 0); // whole-string match
  EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<VstIntPtr>(0xBEEF0000));
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), static_cast<VstIntPtr>(0xBEEF0000));
  EXPECT_EQ(canDo(""), 0);
  EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(VstEditor, EditorFlagAgreesWithTheEditorOpcodes)
{
  // No display and no GDK_SCALE: the editor's size at scale 1 (VstEditor.SizeBeforeOpening).
  ScopedEnv noDisplay("DISPLAY", nullptr);
  ScopedEnv noGdkScale("GDK_SCALE", nullptr);
  Instance plug;
  ASSERT_TRUE(plug);
  ERect* rect = nullptr;
  EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
  if (!(plug->flags & effFlagsHasEditor))
  {
    // No graphics: every editor opcode answers 0 and hands out nothing.
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(plug.Dispatch(effEditClose), 0);
    return;
  }
  EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->bottom - rect->top, 576);
  EXPECT_EQ(rect->right - rect->left, 752);
  EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
}

// Hosts ask for the size before effEditOpen: GDK_SCALE decides it without a display (the display's
// Xft.dpi, when GDK_SCALE does not decide, is checked with a server in graphics-x11-view).
TEST(VstEditor, SizeBeforeOpeningFollowsGdkScale)
{
  ScopedEnv noDisplay("DISPLAY", nullptr);
  const struct
  {
    const char* gdkScale;
    int scale;
  } cases[] = {{nullptr, 1}, {"1", 1}, {"2", 2},  {"3", 2},   {"99999999999999999999", 2},
               {"abc", 1},   {"0", 1}, {"-1", 1}, {"2.6", 1}, {"", 1}};
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.gdkScale ? c.gdkScale : "unset");
    ScopedEnv gdkScale("GDK_SCALE", c.gdkScale);
    Instance plug;
    ASSERT_TRUE(plug);
    if (!(plug->flags & effFlagsHasEditor)) GTEST_SKIP() << "no editor in this build";
    ERect* rect = nullptr;
    ASSERT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->right, 752 * c.scale);
    EXPECT_EQ(rect->bottom, 576 * c.scale);
  }
}

TEST(VstPins, PropertiesOfTheStereoPair)
{
  Instance plug;
  ASSERT_TRUE(plug);
  VstPinProperties pin{};
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Input 1");
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive);
  EXPECT_STREQ(pin.label, "Input 2");
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 1");
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST(VstSpeakers, ArrangementReportedAfterOpen)
{
  Instance plug;
  ASSERT_TRUE(plug);
  plug.Dispatch(effOpen);
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->type, kSpeakerArrStereo);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->numChannels, 2);
  // Either pointer may be missing.
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST(VstMidi, EventsGoBackToTheHost)
{
  Instance plug;
  ASSERT_TRUE(plug);
  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof(note);
  note.deltaFrames = 17;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  VstEvent other{};
  other.type = 6; // not MIDI: passed on unchanged
  VstEvents events{};
  events.numEvents = 2;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  events.events[1] = &other;
  Host().requests.clear();
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &events), 1);
  EXPECT_EQ(Host().count(audioMasterProcessEvents), 2);
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
  MidiKeyName key{};
  key.thisKeyNumber = 60;
  strcpy(key.keyName, "C4");
  EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}
