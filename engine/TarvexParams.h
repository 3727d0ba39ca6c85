// Identity and parameter table of the Tarvex plug-in.
#pragma once

#include <cstdint>

#include "dsp/ParamIndex.h"

class IPlugBase;
struct InstanceState;

constexpr int FourCC(const char (&c)[5])
{
  return (static_cast<int>(static_cast<unsigned char>(c[0])) << 24) |
         (static_cast<int>(static_cast<unsigned char>(c[1])) << 16) |
         (static_cast<int>(static_cast<unsigned char>(c[2])) << 8) |
         static_cast<int>(static_cast<unsigned char>(c[3]));
}

constexpr int kTarvexParamCount = kParamCount;
constexpr const char* kTarvexChannelIO = "1-1 2-2";
constexpr int kTarvexPresetCount = 0;
constexpr const char* kTarvexEffectName = "Tarvex";
constexpr const char* kTarvexProductName = "";
constexpr const char* kTarvexMakerName = "Vennmoor";
constexpr int kTarvexVersion = 0x10000; // v1.00
constexpr int kTarvexUniqueID = FourCC("Trvx");
constexpr int kTarvexMakerID = FourCC("Vnmr");
constexpr int kTarvexInitialLatency = 0; // the engine reports the real value at configuration

// The bundle identifiers (kTarvexVstBundleID, kTarvexAuBundleID) live with the bundle lookup in
// graphics/LICE_Resources.h: the graphics find the editor's pictures through them.

// -(60 + 20 / ln 10) dB: amplitude 0.001 / e, treated as silence.
constexpr double kTarvexGainMin = -68.68588963806504;
constexpr double kTarvexGainDefault = 1e-6;

// Initialises the kParamCount parameters (ParamIndex.h) of a plug-in object created with that many,
// from the table in TarvexParams.cpp.
void InitTarvexParams(IPlugBase& plug);

// Reaction to a parameter change: only flags and cached values of the slot change here.
// The curve parameters (below kCurveParamCount) request a kernel rebuild, Resolution and Input
// Buffer Size a DSP reset, the five global settings a preferences write 40 editor frames later.
// Under the plug-in mutex.
void NoteParamChanged(InstanceState& state, const IPlugBase& plug, int index);
