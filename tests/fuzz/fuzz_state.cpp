// The parameter-state and preset-bank readers of the plug-in base on arbitrary chunks. The first
// byte picks the reader and the start position; the rest is the chunk. Checks the positions the
// readers return, that every parameter stays inside its bounds, and that what they restored writes
// back out and reads in again unchanged.
#include <cstring>
#include <vector>

#include "engine/TarvexParams.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
constexpr int kPresets = 3;

struct Plugin
{
  Plugin()
      : plug(IPlugTestWrapper::InstanceInfo{}, kTarvexParamCount, kTarvexChannelIO, kPresets,
             kTarvexEffectName, kTarvexProductName, kTarvexMakerName, kTarvexVersion,
             kTarvexUniqueID, kTarvexMakerID, 0, 0, true, false)
  {
    InitTarvexParams(plug);
    plug.mCalls.clear();
  }
  IPlugTestWrapper plug;
};

void CheckBounds(const IPlugBase& plug)
{
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam* param = plug.GetParam(i);
    FUZZ_CHECK(param->mValue >= param->mMin && param->mValue <= param->mMax);
  }
}

std::vector<double> Values(const IPlugBase& plug)
{
  std::vector<double> values;
  for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->mValue);
  return values;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  static Plugin holder;
  IPlugTestWrapper& plug = holder.plug;
  plug.mCalls.clear(); // the wrapper records calls; keep the record from growing without bound
  const bool bank = (data[0] & 0x80) != 0;
  const int start = static_cast<int>(data[0] & 0x3f) - 4; // a few negative starts too
  StateChunk chunk;
  chunk.AppendBytes(data + 1, static_cast<int>(size - 1));
  const int stateSize = 8 * plug.NParams();

  if (!bank)
  {
    const int position = plug.UnserializeParams(&chunk, start);
    if (start >= 0 && start + stateSize <= chunk.Size())
      FUZZ_CHECK(position == start + stateSize);
    else
      FUZZ_CHECK(position == (start < 0 ? start : -1)); // a negative start reads nothing
  }
  else
  {
    const int position = plug.ReadPresetBank(&chunk, start);
    FUZZ_CHECK(start < 0 ? position == start : position >= -1); // a negative start reads nothing
    for (int i = 0; i < plug.NPresets(); ++i)
      FUZZ_CHECK(strlen(plug.PresetName(i)) < static_cast<size_t>(IPreset::kNameLength));
  }
  CheckBounds(plug);

  // What was restored writes out and reads back to the same values.
  const std::vector<double> restored = Values(plug);
  StateChunk state;
  FUZZ_CHECK(plug.WriteParamState(&state));
  FUZZ_CHECK(state.Size() == stateSize);
  FUZZ_CHECK(plug.UnserializeParams(&state, 0) == stateSize);
  FUZZ_CHECK(memcmp(Values(plug).data(), restored.data(), sizeof(double) * restored.size()) == 0);

  StateChunk presets;
  FUZZ_CHECK(plug.WritePresetBank(&presets));
  FUZZ_CHECK(plug.ReadPresetBank(&presets, 0) == presets.Size());
  CheckBounds(plug);
  return 0;
}
