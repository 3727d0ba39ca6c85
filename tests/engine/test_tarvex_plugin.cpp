#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"

using TestTarvex = Tarvex<IPlugTestWrapper>;

namespace
{
// Points the preferences file at a fresh temporary folder for the duration of a test.
class PrefsFolder
{
public:
  PrefsFolder()
  {
    char tmpl[] = "/tmp/tarvex-prefs-XXXXXX";
    mPath = mkdtemp(tmpl);
    setenv("XDG_CONFIG_HOME", mPath.c_str(), 1);
  }
  ~PrefsFolder()
  {
    unlink(File().c_str());
    rmdir(mPath.c_str());
    unsetenv("XDG_CONFIG_HOME");
  }
  std::string File() const { return mPath + "/Tarvex Preferences.dat"; }
  void Write(const std::string& text) const { std::ofstream(File(), std::ios::binary) << text; }
  std::string Read() const
  {
    std::ifstream in(File(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists() const
  {
    struct stat info;
    return stat(File().c_str(), &info) == 0;
  }
  std::string mPath;
};

std::unique_ptr<TestTarvex> Make()
{
  return std::unique_ptr<TestTarvex>(
      CreateTarvex<IPlugTestWrapper>(IPlugTestWrapper::InstanceInfo{}));
}

std::string Shown(const IPlugBase& plug, int index)
{
  char text[128];
  const IParam* p = plug.GetParam(index);
  p->FormatValue(p->mValue, false, text, sizeof(text));
  return text;
}
} // namespace

TEST(TarvexPlugin, IdentityAndParameterTable)
{
  PrefsFolder prefs;
  auto plug = Make();
  ASSERT_TRUE(plug);
  EXPECT_STREQ(plug->GetEffectName(), "Tarvex");
  EXPECT_STREQ(plug->GetMakerName(), "Vennmoor");
  EXPECT_STREQ(plug->GetProductName(), "");
  EXPECT_EQ(plug->GetUniqueID(), 0x54727678);
  EXPECT_EQ(plug->GetMakerID(), 0x566e6d72);
  EXPECT_EQ(plug->VersionNumber(true), 10000);
  EXPECT_EQ(plug->NPresets(), 0);
  EXPECT_FALSE(plug->DoesStateChunks());
  EXPECT_TRUE(plug->LegalIO(1, 1));
  EXPECT_TRUE(plug->LegalIO(2, 2));
  ASSERT_EQ(plug->NParams(), 24);

  struct Row
  {
    const char* name;
    double value, min, max, step, shape;
    const char* label;
    int type;
  };
  const Row rows[24] = {
      {"Band A on", 1, 0, 1, 1, 1, "", IParam::kTypeBool},
      {"Band B on", 1, 0, 1, 1, 1, "", IParam::kTypeBool},
      {"Band C on", 1, 0, 1, 1, 1, "", IParam::kTypeBool},
      {"Band D on", 1, 0, 1, 1, 1, "", IParam::kTypeBool},
      {"Band A gain", 1e-6, -68.68588963806504, 60, 0.01, 1, "dB", IParam::kTypeDouble},
      {"Band B gain", 1e-6, -68.68588963806504, 60, 0.01, 1, "dB", IParam::kTypeDouble},
      {"Band C gain", 1e-6, -68.68588963806504, 60, 0.01, 1, "dB", IParam::kTypeDouble},
      {"Band D gain", 1e-6, -68.68588963806504, 60, 0.01, 1, "dB", IParam::kTypeDouble},
      {"Band A freq", 80, 0, 20000, 0.01, 3, "Hz", IParam::kTypeDouble},
      {"Band B freq", 370, 0, 20000, 0.01, 3, "Hz", IParam::kTypeDouble},
      {"Band C freq", 1700, 0, 20000, 0.01, 3, "Hz", IParam::kTypeDouble},
      {"Band D freq", 8000, 0, 20000, 0.01, 3, "Hz", IParam::kTypeDouble},
      {"Band A slope", 0, -100, 100, 0.01, 1, "dB/oct", IParam::kTypeDouble},
      {"Band B slope", 0, -100, 100, 0.01, 1, "dB/oct", IParam::kTypeDouble},
      {"Band C slope", 0, -100, 100, 0.01, 1, "dB/oct", IParam::kTypeDouble},
      {"Band D slope", 0, -100, 100, 0.01, 1, "dB/oct", IParam::kTypeDouble},
      {"Transpose", 0, -120, 120, 0.01, 1, "semitones", IParam::kTypeDouble},
      {"Overall Gain", 0, -60, 60, 0.01, 1, "dB", IParam::kTypeDouble},
      {"Gain Scale", 1, -4, 4, 0.01, 1, "x", IParam::kTypeDouble},
      {"Colour", 0, 0, 3, 1, 1, "", IParam::kTypeInt},
      {"Colour Gain", 1, 0, 40, 0.01, 4, "x", IParam::kTypeDouble},
      {"Resolution", 1, 0.2, 8, 0.1, 1, "x", IParam::kTypeDouble},
      {"Input Buffer Size", 1, 0, 3, 0.1, 2, "x", IParam::kTypeDouble},
      {"Limiter", 0, -30, 60, 0.01, 1, "dB", IParam::kTypeDouble},
  };
  for (int i = 0; i < 24; ++i)
  {
    const IParam* p = plug->GetParam(i);
    SCOPED_TRACE(rows[i].name);
    EXPECT_STREQ(p->NameText(), rows[i].name);
    EXPECT_STREQ(p->LabelText(), rows[i].label);
    EXPECT_EQ(p->mValue, rows[i].value);
    EXPECT_EQ(p->mMin, rows[i].min);
    EXPECT_EQ(p->mMax, rows[i].max);
    EXPECT_EQ(p->mStep, rows[i].step);
    EXPECT_EQ(p->mShape, rows[i].shape);
    EXPECT_EQ(p->mType, rows[i].type);
  }
  EXPECT_EQ(Shown(*plug, 0), "on");
  EXPECT_EQ(Shown(*plug, 4), "0.00");
  EXPECT_EQ(Shown(*plug, 9), "370.00");
  EXPECT_EQ(Shown(*plug, 19), "0");
  EXPECT_EQ(Shown(*plug, 21), "1.0");
  // The gain minimum is -(60 + 20 / ln 10).
  EXPECT_DOUBLE_EQ(plug->GetParam(kParamBandGain)->mMin, -(60.0 + 20.0 / std::log(10.0)));
}

TEST(TarvexPlugin, InstanceNumbersAreReusedLowestFirst)
{
  PrefsFolder prefs;
  auto a = Make(), b = Make(), c = Make();
  ASSERT_TRUE(a && b && c);
  const int first = a->InstanceNumber();
  EXPECT_EQ(b->InstanceNumber(), first + 1);
  EXPECT_EQ(c->InstanceNumber(), first + 2);
  EXPECT_STREQ(b->State()->labelLineText, ("Instance #" + std::to_string(first + 1)).c_str());
  EXPECT_EQ(b->State()->plug, b.get());
  b.reset();
  auto d = Make();
  EXPECT_EQ(d->InstanceNumber(), first + 1);
  EXPECT_STREQ(d->State()->labelLineText, ("Instance #" + std::to_string(first + 1)).c_str());
  EXPECT_EQ(d->State()->plug, d.get());
}

TEST(TarvexPlugin, FullInstanceTableRefusesConstruction)
{
  PrefsFolder prefs;
  // Fill the rest of the table with bare slots, so the test does not build 1024 plug-ins.
  std::vector<InstanceState*> taken;
  InstanceState* slot = nullptr;
  while (TakeInstanceSlot(nullptr, &slot) >= 0) taken.push_back(slot);
  EXPECT_FALSE(InstanceTableHasFreeSlot());
  EXPECT_EQ(CreateTarvex<IPlugTestWrapper>(IPlugTestWrapper::InstanceInfo{}), nullptr);
  ReleaseInstanceSlot(taken.back());
  auto plug = Make();
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->State(), taken.back());
  plug.reset();
  for (InstanceState* s : taken) ReleaseInstanceSlot(s);
}

TEST(TarvexPlugin, PreferencesAreReadClampedWithoutRounding)
{
  PrefsFolder prefs;
  prefs.Write("Tarvex Prefs 1.0\n"
              "Resolution 99\n"
              "Delay 0.25\n"
              "Limiter -45\n"
              "Colour scheme 2.7\n"
              "Colour    gain    3\n");
  auto plug = Make();
  EXPECT_EQ(plug->GetParam(kParamResolution)->mValue, 8.0);
  EXPECT_EQ(plug->GetParam(kParamInputBufferSize)->mValue, 0.25); // not rounded to the 0.1 step
  EXPECT_EQ(plug->GetParam(kParamLimiter)->mValue, -30.0);
  EXPECT_EQ(plug->GetParam(kParamColour)->mValue, 2.7);
  EXPECT_EQ(plug->State()->colourScheme, 2);
  EXPECT_EQ(plug->GetParam(kParamColourGain)->mValue, 3.0);
  EXPECT_EQ(plug->State()->colourGain, 3.0);
}

TEST(TarvexPlugin, MalformedPreferenceLinesAreIgnored)
{
  PrefsFolder prefs;
  prefs.Write("\n"
              "   \n"
              "Resolution abc\n"
              "Resolution=3\n"
              "resolution 3\n"
              "Colour 3\n"
              "Colour scheme\n"
              "Delay nan\n"
              "Unknown 5\n" +
              std::string(600, 'x') + " Limiter 12\n" + // overlong: the whole line is skipped
              "Limiter " + std::string(600, '7') + "\n" + "Colour gain 2"); // no final newline
  auto plug = Make();
  EXPECT_EQ(plug->GetParam(kParamResolution)->mValue, 1.0);
  EXPECT_EQ(plug->GetParam(kParamInputBufferSize)->mValue, 1.0);
  EXPECT_EQ(plug->GetParam(kParamLimiter)->mValue, 0.0);
  EXPECT_EQ(plug->GetParam(kParamColour)->mValue, 0.0);
  EXPECT_EQ(plug->GetParam(kParamColourGain)->mValue, 2.0);

  PrefsFolder headerOnly;
  headerOnly.Write("Tarvex Prefs 1.0\n");
  auto fresh = Make();
  const double defaults[5] = {0, 1, 1, 1,
                              0}; // Colour, Colour Gain, Resolution, Input Buffer Size, Limiter
  for (int i = kFirstGlobalParam; i < kParamCount; ++i)
    EXPECT_EQ(fresh->GetParam(i)->mValue, defaults[i - kFirstGlobalParam]);
}

TEST(TarvexPlugin, MissingOrUnwritablePreferencesAreSkipped)
{
  PrefsFolder prefs;
  auto plug = Make(); // no file: defaults
  EXPECT_EQ(plug->GetParam(kParamResolution)->mValue, 1.0);
  setenv("XDG_CONFIG_HOME", "/proc/self/no-such-folder", 1);
  EXPECT_FALSE(WritePrefs(*plug));
  unsetenv("XDG_CONFIG_HOME");
  const char* home = getenv("HOME");
  const std::string savedHome = home ? home : "";
  unsetenv("HOME");
  EXPECT_EQ(PrefsFilePath(), "");
  EXPECT_FALSE(WritePrefs(*plug));
  auto noHome = Make();
  EXPECT_TRUE(noHome);
  if (!savedHome.empty()) setenv("HOME", savedHome.c_str(), 1);
}

TEST(TarvexPlugin, FallsBackToConfigUnderHomeAndCreatesTheFolder)
{
  char tmpl[] = "/tmp/tarvex-home-XXXXXX";
  const std::string home = mkdtemp(tmpl);
  const char* oldHome = getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(PrefsFilePath(), home + "/.config/Tarvex Preferences.dat");
  {
    auto plug = Make();
    EXPECT_TRUE(WritePrefs(*plug));
  }
  struct stat info;
  EXPECT_EQ(stat((home + "/.config/Tarvex Preferences.dat").c_str(), &info), 0);
  unlink((home + "/.config/Tarvex Preferences.dat").c_str());
  rmdir((home + "/.config").c_str());
  rmdir(home.c_str());
  if (!savedHome.empty()) setenv("HOME", savedHome.c_str(), 1);
}

// Every instance and process shares the file: while two instances write it over and over on two
// threads, a reader only ever finds one whole file or the other, and no writer's temporary file is
// left behind.
TEST(TarvexPlugin, PreferencesAreNeverReadHalfWritten)
{
  PrefsFolder prefs;
  auto first = Make(), second = Make();
  first->GetParam(kParamResolution)->mValue = 2.5;
  second->GetParam(kParamResolution)->mValue = 7.5;
  ASSERT_TRUE(WritePrefs(*first));
  std::atomic<int> writing{2};
  auto writer = [&writing](const IPlugBase* plug)
  {
    for (int i = 0; i < 400; ++i) WritePrefs(*plug);
    writing.fetch_sub(1);
  };
  std::thread a(writer, first.get()), b(writer, second.get());
  int reads = 0, torn = 0;
  while (writing.load() > 0 || reads < 100)
  {
    const std::string text = prefs.Read();
    ++reads;
    const bool whole = text.rfind("Tarvex Prefs 1.0\nResolution ", 0) == 0 &&
                       text.find("\nColour gain 1\n") == text.size() - 15 &&
                       std::count(text.begin(), text.end(), '\n') == 6;
    torn += !whole;
  }
  a.join();
  b.join();
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  DIR* folder = opendir(prefs.mPath.c_str());
  ASSERT_NE(folder, nullptr);
  int files = 0;
  while (dirent* entry = readdir(folder)) files += entry->d_name[0] != '.';
  closedir(folder);
  EXPECT_EQ(files, 1) << "temporary files left behind";
}

TEST(TarvexPlugin, PreferencesAreWrittenFortyFramesAfterTheLastChange)
{
  PrefsFolder prefs;
  auto plug = Make();
  InstanceState& s = *plug->State();
  // Five Limiter changes a few frames apart: the file is written once, 40 frames after the last
  // one.
  int writes = 0;
  for (int change = 0; change < 5; ++change)
  {
    plug->GetParam(kParamLimiter)->mValue = -change;
    plug->ParamChanged(kParamLimiter);
    for (int frame = 0; frame < 6; ++frame) writes += TickPrefsDebounce(s);
  }
  EXPECT_EQ(writes, 0);
  EXPECT_FALSE(prefs.Exists());
  for (int frame = 0; frame < 33; ++frame) writes += TickPrefsDebounce(s);
  EXPECT_EQ(writes, 0);
  writes += TickPrefsDebounce(s); // the 40th frame after the last change
  EXPECT_EQ(writes, 1);
  EXPECT_TRUE(prefs.Exists());
  for (int frame = 0; frame < 100; ++frame) writes += TickPrefsDebounce(s);
  EXPECT_EQ(writes, 1);

  plug->GetParam(kParamColour)->mValue = 3;
  plug->GetParam(kParamLimiter)->mValue = 0;
  plug->ParamChanged(kParamColour);
  EXPECT_EQ(s.colourScheme, 3);
  for (int frame = 0; frame < 40; ++frame) TickPrefsDebounce(s);
  EXPECT_EQ(prefs.Read(), "Tarvex Prefs 1.0\nResolution 1\nDelay 1\nLimiter 0\nColour scheme 3\n"
                          "Colour gain 1\n");
}

TEST(TarvexPlugin, ParameterChangesOnlySetFlags)
{
  PrefsFolder prefs;
  auto plug = Make();
  InstanceState& s = *plug->State();
  s.paramsChanged = 0;
  s.editedInDisplay = 1;
  s.revealTimer = 0.5;
  plug->ParamChanged(kParamBandGain + 1);
  EXPECT_EQ(s.paramsChanged, 1);
  EXPECT_EQ(s.editedInDisplay, 0);
  EXPECT_EQ(s.revealTimer, 1e-7);
  EXPECT_EQ(s.prefsDirty, 0);

  s.paramsChanged = 0;
  plug->ParamChanged(kParamLimiter);
  EXPECT_EQ(s.paramsChanged, 0);
  EXPECT_EQ(s.resetRequested, 0);
  EXPECT_EQ(s.prefsDirty, 1);
  plug->ParamChanged(kParamResolution);
  EXPECT_EQ(s.resetRequested, 1);
  s.resetRequested = 0;
  plug->GetParam(kParamColourGain)->mValue = 7;
  plug->ParamChanged(kParamColourGain);
  EXPECT_EQ(s.colourGain, 7.0);
  EXPECT_EQ(s.resetRequested, 0);
  EXPECT_EQ(s.paramsChanged, 0);
  plug->ParamChanged(-1);  // ignored
  plug->ParamChanged(400); // ignored
}

TEST(TarvexPlugin, StateRoundTripsThroughTheBase)
{
  PrefsFolder prefs;
  auto a = Make();
  a->GetParam(kParamBandGain)->mValue = 6.0;
  a->GetParam(kParamTranspose)->mValue = -12.5;
  StateChunk chunk;
  ASSERT_TRUE(a->SaveState(&chunk));
  EXPECT_EQ(chunk.Size(), 192);
  auto b = Make();
  EXPECT_EQ(b->LoadState(&chunk, 0), 192);
  EXPECT_EQ(b->GetParam(kParamBandGain)->mValue, 6.0);
  EXPECT_EQ(b->GetParam(kParamTranspose)->mValue, -12.5);
  EXPECT_EQ(b->State()->paramsChanged, 1); // restoring notifies the engine
}
