// effSetChunk through the VST wrapper, as a host restoring a song does: the first byte picks the
// bank (index 0) or a program (index 1) and whether a short block is processed afterwards; the rest
// is the chunk. Checks that every parameter stays inside its bounds, that a program chunk read back
// restores the same values, and that processed output stays finite.
#include <cmath>
#include <cstring>
#include <vector>

#include "plugin/Tarvex.h"
#include "tests/fuzz/FuzzSupport.h"
#include "vst/IPlugVST.h"
#include "vst/VstAbi.h"

namespace
{
VstIntPtr HostCallback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
{
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetProductString && ptr) strcpy(static_cast<char*>(ptr), "fuzz host");
  return 0;
}

VstIntPtr Dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

AEffect* Plugin()
{
  static AEffect* effect = []
  {
    setenv("XDG_CONFIG_HOME", fuzz::ScratchFolder().c_str(), 1); // no preferences of this machine
    // What the bundle's entry point does (its "main" alias cannot share a program with libFuzzer).
    Tarvex<IPlugVST>* plug = CreateTarvex<IPlugVST>(IPlugVST::InstanceInfo{HostCallback});
    if (!plug) abort();
    plug->EnsureOnePreset();
    AEffect* e = plug->GetAEffect();
    if (e->numPrograms < 1) e->numPrograms = 1;
    Dispatch(e, effOpen);
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(e, effSetBlockSize, 0, 64);
    Dispatch(e, effMainsChanged, 0, 1);
    return e;
  }();
  return effect;
}

void CheckParameters(AEffect* effect, float* normalised)
{
  for (int i = 0; i < effect->numParams; ++i)
  {
    const float v = effect->getParameter(effect, i);
    FUZZ_CHECK(v >= 0.0f && v <= 1.0f); // false for NaN too
    if (normalised) normalised[i] = v;
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  AEffect* effect = Plugin();
  const int32_t index = (data[0] & 1) ? 1 : 0;
  const bool process = (data[0] & 2) != 0;
  std::vector<uint8_t> chunk(data + 1, data + size); // the host's copy, which we must not outlive
  const VstIntPtr result =
      Dispatch(effect, effSetChunk, index, static_cast<VstIntPtr>(chunk.size()), chunk.data());
  FUZZ_CHECK(result == 0 || result == 1);
  chunk.assign(chunk.size(), 0xEE); // the plug-in keeps its own copy
  std::vector<float> before(effect->numParams);
  CheckParameters(effect, before.data());

  // The program chunk handed out restores exactly the values it was taken from.
  void* saved = nullptr;
  const VstIntPtr savedSize = Dispatch(effect, effGetChunk, 1, 0, &saved);
  FUZZ_CHECK(savedSize == 8 + 8 * effect->numParams && saved);
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(saved),
                            static_cast<const uint8_t*>(saved) + savedSize);
  FUZZ_CHECK(Dispatch(effect, effSetChunk, 1, savedSize, copy.data()) == 1);
  std::vector<float> after(effect->numParams);
  CheckParameters(effect, after.data());
  FUZZ_CHECK(memcmp(before.data(), after.data(), sizeof(float) * before.size()) == 0);

  // The bank chunk handed out is taken back whole.
  const VstIntPtr bankSize = Dispatch(effect, effGetChunk, 0, 0, &saved);
  FUZZ_CHECK(bankSize > 8 && saved);
  copy.assign(static_cast<const uint8_t*>(saved), static_cast<const uint8_t*>(saved) + bankSize);
  FUZZ_CHECK(Dispatch(effect, effSetChunk, 0, bankSize, copy.data()) == 1);

  if (process)
  {
    float left[64], right[64], outLeft[64], outRight[64];
    for (int i = 0; i < 64; ++i) left[i] = right[i] = (i % 8 == 0) ? 1.0f : 0.0f;
    float* in[2] = {left, right};
    float* out[2] = {outLeft, outRight};
    effect->processReplacing(effect, in, out, 64);
    for (int i = 0; i < 64; ++i)
      FUZZ_CHECK(std::isfinite(outLeft[i]) && std::isfinite(outRight[i]));
  }
  return 0;
}
