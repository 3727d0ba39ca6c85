#include "engine/TarvexParams.h"

#include <cstdio>

#include "core/IPlugBase.h"
#include "engine/InstanceState.h"
#include "engine/SharedFlags.h"

static_assert(kTarvexUniqueID == 0x54727678, "'Trvx'");
static_assert(kTarvexMakerID == 0x566e6d72, "'Vnmr'");

void InitTarvexParams(IPlugBase& plug)
{
  static const char kLetters[] = "ABCD";
  static const double kDefaultFreq[4] = {80.0, 370.0, 1700.0, 8000.0};
  char name[32];
  for (int b = 0; b < 4; ++b)
  {
    snprintf(name, sizeof(name), "Band %c on", kLetters[b]);
    plug.GetParam(b)->SetupSwitch(name, true);
  }
  for (int b = 0; b < 4; ++b)
  {
    snprintf(name, sizeof(name), "Band %c gain", kLetters[b]);
    plug.GetParam(4 + b)->SetupContinuous(name, kTarvexGainDefault, kTarvexGainMin, 60.0, 0.01,
                                          "dB");
  }
  for (int b = 0; b < 4; ++b)
  {
    snprintf(name, sizeof(name), "Band %c freq", kLetters[b]);
    IParam* freq = plug.GetParam(8 + b);
    freq->SetupContinuous(name, kDefaultFreq[b], 0.0, 20000.0, 0.01, "Hz");
    freq->SetMappingShape(3.0);
  }
  for (int b = 0; b < 4; ++b)
  {
    snprintf(name, sizeof(name), "Band %c slope", kLetters[b]);
    plug.GetParam(12 + b)->SetupContinuous(name, 0.0, -100.0, 100.0, 0.01, "dB/oct");
  }
  plug.GetParam(16)->SetupContinuous("Transpose", 0.0, -120.0, 120.0, 0.01, "semitones");
  plug.GetParam(17)->SetupContinuous("Overall Gain", 0.0, -60.0, 60.0, 0.01, "dB");
  plug.GetParam(18)->SetupContinuous("Gain Scale", 1.0, -4.0, 4.0, 0.01, "x");
  plug.GetParam(kParamColour)->SetupInteger("Colour", 0, 0, 3, "");
  plug.GetParam(kParamColourGain)->SetupContinuous("Colour Gain", 1.0, 0.0, 40.0, 0.01, "x");
  plug.GetParam(kParamColourGain)->SetMappingShape(4.0);
  plug.GetParam(kParamResolution)->SetupContinuous("Resolution", 1.0, 0.2, 8.0, 0.1, "x");
  plug.GetParam(kParamInputBufferSize)
      ->SetupContinuous("Input Buffer Size", 1.0, 0.0, 3.0, 0.1, "x");
  plug.GetParam(kParamInputBufferSize)->SetMappingShape(2.0);
  plug.GetParam(kParamLimiter)->SetupContinuous("Limiter", 0.0, -30.0, 60.0, 0.01, "dB");
}

void NoteParamChanged(InstanceState& state, const IPlugBase& plug, int index)
{
  const IParam* param = plug.GetParam(index);
  if (!param) return;
  if (index >= 0 && index <= 18)
  {
    if (LoadShared(state.revealTimer) > 0.0) StoreShared(state.revealTimer, 1e-7);
    // editedInDisplay before paramsChanged: the reader sees the pending rebuild with its source.
    StoreFlag(state.editedInDisplay, 0);
    StoreFlag(state.paramsChanged, 1);
    return;
  }
  if (index == kParamColour) StoreFlag(state.colourScheme, static_cast<int32_t>(param->mValue));
  if (index == kParamColourGain) StoreShared(state.colourGain, param->mValue);
  if (index == kParamResolution || index == kParamInputBufferSize)
    StoreFlag(state.resetRequested, 1);
  // Count first, then the flag: the editor's counter starts over for this change.
  StoreFlag(state.prefsFrameCount, 0);
  StoreFlag(state.prefsDirty, 1);
}
