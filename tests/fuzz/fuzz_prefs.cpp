// The preferences reader on arbitrary file contents: the five global settings must stay inside
// their bounds and the slot's colour fields must follow them; the other parameters are untouched.
#include <cmath>
#include <cstring>

#include "engine/InstanceState.h"
#include "engine/Prefs.h"
#include "engine/TarvexParams.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/IPlugTestWrapper.h"

namespace
{
struct Reader
{
  Reader()
      : plug(IPlugTestWrapper::InstanceInfo{}, kTarvexParamCount, kTarvexChannelIO, 0,
             kTarvexEffectName, kTarvexProductName, kTarvexMakerName, kTarvexVersion,
             kTarvexUniqueID, kTarvexMakerID, 0, 0, false, false)
  {
    setenv("XDG_CONFIG_HOME", fuzz::ScratchFolder().c_str(), 1);
    InitTarvexParams(plug);
    for (int i = 0; i < kTarvexParamCount; ++i) defaults[i] = plug.GetParam(i)->mValue;
  }
  IPlugTestWrapper plug;
  double defaults[kTarvexParamCount];
  InstanceState state{};
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static Reader reader;
  IPlugTestWrapper& plug = reader.plug;
  for (int i = 0; i < kTarvexParamCount; ++i) plug.GetParam(i)->mValue = reader.defaults[i];
  const std::string path = PrefsFilePath();
  FUZZ_CHECK(path == fuzz::ScratchFolder() + "/Tarvex Preferences.dat");
  fuzz::WriteScratchFile("Tarvex Preferences.dat", data, size);

  ReadPrefs(plug, reader.state);

  for (int i = 0; i < kTarvexParamCount; ++i)
  {
    const IParam* param = plug.GetParam(i);
    if (i < kParamColour)
      FUZZ_CHECK(memcmp(&param->mValue, &reader.defaults[i], sizeof(double)) == 0);
    else
      FUZZ_CHECK(param->mValue >= param->mMin && param->mValue <= param->mMax);
  }
  FUZZ_CHECK(reader.state.colourScheme ==
             static_cast<int32_t>(plug.GetParam(kParamColour)->mValue));
  FUZZ_CHECK(reader.state.colourScheme >= 0 && reader.state.colourScheme <= 3);
  FUZZ_CHECK(reader.state.colourGain == plug.GetParam(kParamColourGain)->mValue);
  return 0;
}
