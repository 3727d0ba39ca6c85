#include "engine/TarvexParams.h"

#include <cstdint>

#include "core/IPlugBase.h"
#include "dsp/SharedFlags.h"
#include "engine/InstanceState.h"

static_assert(kTarvexUniqueID == 0x54727678, "'Trvx'");
static_assert(kTarvexMakerID == 0x566e6d72, "'Vnmr'");

namespace
{
enum class ParamKind
{
  kSwitch,     // off / on, set up with its value texts
  kInteger,    // whole numbers from minimum to maximum
  kContinuous, // real values in steps of step
};

struct ParamSetup
{
  const char* name;
  ParamKind kind;
  double defaultValue, minValue, maxValue, step;
  const char* unit;
  double shape; // mapping shape to the normalised position; 0 leaves the linear mapping
};

constexpr ParamKind kSwitch = ParamKind::kSwitch;
constexpr ParamKind kInteger = ParamKind::kInteger;
constexpr ParamKind kContinuous = ParamKind::kContinuous;

// Every parameter in index order (ParamIndex.h).
constexpr ParamSetup kParamTable[] = {
    {"Band A on", kSwitch, 1, 0, 1, 1, "", 0},
    {"Band B on", kSwitch, 1, 0, 1, 1, "", 0},
    {"Band C on", kSwitch, 1, 0, 1, 1, "", 0},
    {"Band D on", kSwitch, 1, 0, 1, 1, "", 0},
    {"Band A gain", kContinuous, kTarvexGainDefault, kTarvexGainMin, 60, 0.01, "dB", 0},
    {"Band B gain", kContinuous, kTarvexGainDefault, kTarvexGainMin, 60, 0.01, "dB", 0},
    {"Band C gain", kContinuous, kTarvexGainDefault, kTarvexGainMin, 60, 0.01, "dB", 0},
    {"Band D gain", kContinuous, kTarvexGainDefault, kTarvexGainMin, 60, 0.01, "dB", 0},
    {"Band A freq", kContinuous, 80, 0, 20000, 0.01, "Hz", 3},
    {"Band B freq", kContinuous, 370, 0, 20000, 0.01, "Hz", 3},
    {"Band C freq", kContinuous, 1700, 0, 20000, 0.01, "Hz", 3},
    {"Band D freq", kContinuous, 8000, 0, 20000, 0.01, "Hz", 3},
    {"Band A slope", kContinuous, 0, -100, 100, 0.01, "dB/oct", 0},
    {"Band B slope", kContinuous, 0, -100, 100, 0.01, "dB/oct", 0},
    {"Band C slope", kContinuous, 0, -100, 100, 0.01, "dB/oct", 0},
    {"Band D slope", kContinuous, 0, -100, 100, 0.01, "dB/oct", 0},
    {"Transpose", kContinuous, 0, -120, 120, 0.01, "semitones", 0},
    {"Overall Gain", kContinuous, 0, -60, 60, 0.01, "dB", 0},
    {"Gain Scale", kContinuous, 1, -4, 4, 0.01, "x", 0},
    {"Colour", kInteger, 0, 0, 3, 1, "", 0},
    {"Colour Gain", kContinuous, 1, 0, 40, 0.01, "x", 4},
    {"Resolution", kContinuous, 1, 0.2, 8, 0.1, "x", 0},
    {"Input Buffer Size", kContinuous, 1, 0, 3, 0.1, "x", 2},
    {"Limiter", kContinuous, 0, -30, 60, 0.01, "dB", 0},
};
static_assert(sizeof(kParamTable) / sizeof(kParamTable[0]) == kParamCount,
              "one table entry per parameter index");
} // namespace

void InitTarvexParams(IPlugBase& plug)
{
  for (int i = 0; i < kParamCount; ++i)
  {
    const ParamSetup& setup = kParamTable[i];
    IParam* param = plug.GetParam(i);
    switch (setup.kind)
    {
    case ParamKind::kSwitch:
      param->SetupSwitch(setup.name, setup.defaultValue != 0.0);
      break;
    case ParamKind::kInteger:
      param->SetupInteger(setup.name, static_cast<int32_t>(setup.defaultValue),
                          static_cast<int32_t>(setup.minValue),
                          static_cast<int32_t>(setup.maxValue), setup.unit);
      break;
    case ParamKind::kContinuous:
      param->SetupContinuous(setup.name, setup.defaultValue, setup.minValue, setup.maxValue,
                             setup.step, setup.unit);
      break;
    }
    param->SetMappingShape(setup.shape);
  }
}

void NoteParamChanged(InstanceState& state, const IPlugBase& plug, int index)
{
  const IParam* param = plug.GetParam(index);
  if (!param) return;
  if (index >= 0 && index < kCurveParamCount)
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
