// The indices of Tarvex's parameters, the one list every part of the plug-in names them by. An
// index is a parameter's identity towards hosts (automation, saved states, LV2 ports), so the
// values never change. The parameters themselves are set up from the table in
// engine/TarvexParams.cpp.
#pragma once

constexpr int kBandCount = 4;

// Band quantities come in blocks of kBandCount (bands A .. D), so kParamBandGain + 2 is band C's
// gain.
enum TarvexParam
{
  kParamBandOn = 0,                               // 0 .. 3, switches
  kParamBandGain = kParamBandOn + kBandCount,     // 4 .. 7, curve dB
  kParamBandFreq = kParamBandGain + kBandCount,   // 8 .. 11, Hz before Transpose
  kParamBandSlope = kParamBandFreq + kBandCount,  // 12 .. 15, dB per octave
  kParamTranspose = kParamBandSlope + kBandCount, // 16, semitones
  kParamOverallGain,                              // 17, dB
  kParamGainScale,                                // 18, factor on gains and slopes
  // The five global settings, also kept in the preferences file.
  kParamColour,          // 19, scheme 0 .. 3
  kParamColourGain,      // 20
  kParamResolution,      // 21, kernel length factor
  kParamInputBufferSize, // 22, block length factor
  kParamLimiter,         // 23, dB; 60 switches the limiter off
  kParamCount,
};

// The band parameters come first.
constexpr int kBandParamCount = kParamTranspose;
// The parameters that shape the curve: the bands, Transpose, Overall Gain and Gain Scale.
constexpr int kCurveParamCount = kParamGainScale + 1;
// The global settings kept in the preferences file.
constexpr int kFirstGlobalParam = kParamColour;

static_assert(kParamTranspose == 16 && kParamColour == 19 && kParamLimiter == 23 &&
                  kParamCount == 24,
              "parameter indices are the plug-in's identity in hosts and saved states");
