#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>

#include "core/IPlugBase.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
// 24 parameters with distinct ranges, like the equaliser's state.
class StatePlug : public IPlugTestWrapper
{
public:
  explicit StatePlug(int nPresets = 0)
      : IPlugTestWrapper(InstanceInfo{}, 24, "1-1 2-2", nPresets, "State", "", "", 1, 1, 1, 0, 0,
                         true, false)
  {
    for (int i = 0; i < 24; ++i)
    {
      char name[32];
      snprintf(name, sizeof(name), "P%d", i);
      GetParam(i)->SetupContinuous(name, i, -100.0 + i, 100.0, 0.01, "");
    }
  }
  void ParamChanged(int index) override { ++mChangedCount[index]; }
  const IPreset* Preset(int index) const { return mPresets.Get(index); }
  int mChangedCount[24] = {};
};

void AppendDouble(StateChunk& chunk, double v)
{
  chunk.AppendBytes(&v, 8);
}
} // namespace

TEST(StateChunk, PrimitivesRoundTripAndRefuseShortReads)
{
  StateChunk chunk;
  EXPECT_EQ(chunk.AppendText("name"), 8);
  EXPECT_EQ(chunk.AppendFlag(true), 9);
  int32_t x = 0x01020304;
  EXPECT_EQ(chunk.AppendBytes(&x, 4), 13);
  EXPECT_EQ(chunk.GetBytes()[9], 0x04); // little-endian

  WDL_String text;
  bool flag = false;
  int32_t y = 0;
  int pos = chunk.ReadText(&text, 0);
  EXPECT_EQ(pos, 8);
  EXPECT_STREQ(text.Get(), "name");
  pos = chunk.ReadFlag(&flag, pos);
  EXPECT_TRUE(flag);
  pos = chunk.ReadBytes(&y, 4, pos);
  EXPECT_EQ(pos, 13);
  EXPECT_EQ(y, x);
  EXPECT_EQ(chunk.ReadBytes(&y, 4, 10), -1);
  EXPECT_EQ(chunk.ReadBytes(&y, 4, -1), -1);
  EXPECT_EQ(chunk.ReadFlag(&flag, 13), -1);

  StateChunk copy;
  copy.AppendChunk(&chunk);
  copy.AppendChunk(&copy); // itself
  EXPECT_EQ(copy.Size(), 26);
  EXPECT_EQ(memcmp(copy.GetBytes() + 13, chunk.GetBytes(), 13), 0);
}

TEST(StateChunk, ReadTextWithBadLengths)
{
  WDL_String text("kept");
  StateChunk negative;
  int32_t len = -8;
  negative.AppendBytes(&len, 4);
  negative.AppendBytes("abcdefgh", 8);
  EXPECT_EQ(negative.ReadText(&text, 0), -1); // a negative length would move backwards
  EXPECT_STREQ(text.Get(), "kept");

  StateChunk oversized;
  len = 1000;
  oversized.AppendBytes(&len, 4);
  oversized.AppendBytes("abc", 3);
  EXPECT_EQ(oversized.ReadText(&text, 0), 1004); // position past the end; the string is untouched
  EXPECT_STREQ(text.Get(), "kept");

  StateChunk huge;
  len = INT_MAX;
  huge.AppendBytes(&len, 4);
  EXPECT_EQ(huge.ReadText(&text, 0), -1); // the end position would overflow

  StateChunk zero;
  len = 0;
  zero.AppendBytes(&len, 4);
  EXPECT_EQ(zero.ReadText(&text, 0), 4);
  EXPECT_STREQ(text.Get(), "kept");
  EXPECT_EQ(zero.ReadText(&text, 2), -1);
}

TEST(ParamState, FullPartialAndEmptyRestores)
{
  StatePlug plug;
  StateChunk chunk;
  ASSERT_TRUE(plug.WriteParamState(&chunk));
  EXPECT_EQ(chunk.Size(), 192);

  StateChunk values;
  for (int i = 0; i < 24; ++i) AppendDouble(values, 50.0 + i * 0.5);
  EXPECT_EQ(plug.UnserializeParams(&values, 0), 192);
  EXPECT_EQ(plug.GetParam(23)->mValue, 61.5);
  EXPECT_EQ(plug.mChangedCount[0], 1);
  EXPECT_EQ(plug.mChangedCount[23], 1);

  // 100 bytes: 12 whole values, a partial 13th.
  StateChunk partial;
  for (int i = 0; i < 12; ++i) AppendDouble(partial, -5.0);
  partial.AppendBytes("1234", 4);
  EXPECT_EQ(plug.UnserializeParams(&partial, 0), -1);
  EXPECT_EQ(plug.GetParam(11)->mValue, -5.0);
  EXPECT_EQ(plug.GetParam(12)->mValue, 0.0);  // 0.0 clamped to [-88, 100]
  EXPECT_EQ(plug.GetParam(13)->mValue, 56.5); // untouched

  StateChunk empty;
  plug.GetParam(0)->mValue = 42.0;
  EXPECT_EQ(plug.UnserializeParams(&empty, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->mValue, 0.0);
  StatePlug shifted;
  shifted.GetParam(0)->SetupContinuous("P0", 5, 1, 10, 0.01, "");
  EXPECT_EQ(shifted.UnserializeParams(&empty, 0), -1);
  EXPECT_EQ(shifted.GetParam(0)->mValue, 1.0); // 0.0 clamped up to min

  StateChunk outOfRange;
  for (int i = 0; i < 24; ++i) AppendDouble(outOfRange, i % 2 ? 1e9 : -1e9);
  EXPECT_EQ(plug.UnserializeParams(&outOfRange, 0), 192);
  EXPECT_EQ(plug.GetParam(0)->mValue, -100.0);
  EXPECT_EQ(plug.GetParam(1)->mValue, 100.0);
  // Bytes after the parameters are left for the caller.
  outOfRange.AppendBytes("tail", 4);
  EXPECT_EQ(plug.UnserializeParams(&outOfRange, 0), 192);
}

TEST(Presets, BankLayoutAndRoundTrip)
{
  StatePlug plug(1);
  StateChunk bank;
  plug.WritePresetBank(&bank);
  EXPECT_EQ(bank.Size(), 4 + 5 + 1); // "- 1 -", uninitialised

  StatePlug one(0);
  one.EnsureOnePreset();
  ASSERT_EQ(one.NPresets(), 1);
  EXPECT_STREQ(one.PresetName(0), "Default");
  StateChunk defaults;
  one.WritePresetBank(&defaults);
  EXPECT_EQ(defaults.Size(), 4 + 7 + 1 + 192);

  // Change the live values, then read the bank back: the preset's values return.
  one.GetParam(5)->mValue = 77.0;
  EXPECT_EQ(one.ReadPresetBank(&defaults, 0), 204);
  EXPECT_EQ(one.GetParam(5)->mValue, 5.0);
}

TEST(Presets, ApplyNamesAndOverwrite)
{
  StatePlug plug(3);
  plug.SetPresetName(0, "user preset 1");
  plug.SetPresetName(1, "user preset 2");
  EXPECT_STREQ(plug.PresetName(2), "- 3 -");
  plug.GetParam(4)->mValue = 12.0;
  EXPECT_TRUE(plug.ApplyPreset(2));
  EXPECT_STREQ(plug.PresetName(2), "user preset 3");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);

  plug.GetParam(4)->mValue = 30.0;
  EXPECT_TRUE(plug.ApplyPreset(2)); // initialised now: restores the captured 12
  EXPECT_EQ(plug.GetParam(4)->mValue, 12.0);

  EXPECT_FALSE(plug.ApplyPreset(-1));
  EXPECT_FALSE(plug.ApplyPreset(3));
  EXPECT_FALSE(plug.ApplyPreset(""));
  EXPECT_FALSE(plug.ApplyPreset(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(plug.ApplyPreset("no such preset"));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
  EXPECT_STREQ(plug.PresetName(7), "");

  plug.GetParam(4)->mValue = 40.0;
  plug.OverwriteCurrentPreset("");
  EXPECT_STREQ(plug.PresetName(2), "user preset 3");
  plug.GetParam(4)->mValue = 0.0;
  EXPECT_TRUE(plug.ApplyPreset("user preset 3"));
  EXPECT_EQ(plug.GetParam(4)->mValue, 40.0);

  plug.DropEmptyPresets(); // presets 0 and 1 were never initialised
  EXPECT_EQ(plug.NPresets(), 1);
  EXPECT_STREQ(plug.PresetName(0), "user preset 3");
}

TEST(Presets, OverlongBankNameIsCut)
{
  StatePlug plug(1);
  StateChunk bank;
  const std::string longName(1000, 'q');
  bank.AppendText(longName.c_str());
  bank.AppendFlag(true);
  plug.WriteParamState(&bank);
  EXPECT_EQ(plug.ReadPresetBank(&bank, 0), 4 + 1000 + 1 + 192);
  EXPECT_EQ(strlen(plug.PresetName(0)), 255u);
}

// A bank read must never leave a preset whose flag and stored state disagree: the next bank would
// carry the flag without the state (or two states), and reading it would take the following bytes
// as parameter values. First a bank cut short inside the state of a preset that held none before.
TEST(Presets, BanksReadAfterBadOnesStayReadable)
{
  StatePlug plug(2);
  StateChunk cut;
  cut.AppendText("first");
  cut.AppendFlag(true);
  AppendDouble(cut, 3.0); // 8 of 192 bytes
  EXPECT_EQ(plug.ReadPresetBank(&cut, 0), -1);

  // Re-applied at the end of the read, the preset now holds the live values in full.
  EXPECT_TRUE(plug.Preset(0)->mInitialised);
  EXPECT_EQ(plug.Preset(0)->mChunk.Size(), 192);
  StateChunk written;
  ASSERT_TRUE(plug.WritePresetBank(&written));
  EXPECT_EQ(plug.ReadPresetBank(&written, 0), written.Size());

  // A preset that did hold a state keeps it, and the flag, when a later bank is cut inside it.
  StatePlug holder(1);
  holder.FillDefaultPresets(nullptr, 1);
  EXPECT_EQ(holder.ReadPresetBank(&cut, 0), -1);
  EXPECT_TRUE(holder.Preset(0)->mInitialised);
  EXPECT_EQ(holder.Preset(0)->mChunk.Size(), 192);
  StateChunk kept;
  ASSERT_TRUE(holder.WritePresetBank(&kept));
  EXPECT_EQ(holder.ReadPresetBank(&kept, 0), kept.Size());

  // A bank that clears the flag of a preset holding a state: re-applied, the preset captures the
  // live values in place of the old state, not after it.
  StateChunk cleared;
  cleared.AppendText("again");
  cleared.AppendFlag(false);
  EXPECT_EQ(holder.ReadPresetBank(&cleared, 0), cleared.Size());
  EXPECT_TRUE(holder.Preset(0)->mInitialised);
  EXPECT_EQ(holder.Preset(0)->mChunk.Size(), 192);
  StateChunk after;
  ASSERT_TRUE(holder.WritePresetBank(&after));
  EXPECT_EQ(holder.ReadPresetBank(&after, 0), after.Size());
}

TEST(Presets, GarbageBanksNeverCrash)
{
  std::mt19937 rng(1234);
  for (int trial = 0; trial < 300; ++trial)
  {
    StatePlug plug(4);
    StateChunk garbage;
    const int size = static_cast<int>(rng() % 600);
    for (int i = 0; i < size; ++i)
    {
      const uint8_t b = static_cast<uint8_t>(rng());
      garbage.AppendBytes(&b, 1);
    }
    const int pos = plug.ReadPresetBank(&garbage, static_cast<int>(rng() % 8) - 2);
    EXPECT_LE(pos, INT_MAX);
    plug.UnserializeParams(&garbage, static_cast<int>(rng() % 700));
    for (int i = 0; i < 24; ++i)
    {
      const IParam* p = plug.GetParam(i);
      // Restored values are inside the bounds; a NaN read from the bytes is stored as max.
      EXPECT_GE(p->mValue, p->mMin);
      EXPECT_LE(p->mValue, p->mMax);
    }
    for (int i = 0; i < plug.NPresets(); ++i) EXPECT_LT(strlen(plug.PresetName(i)), 256u);
  }
}
