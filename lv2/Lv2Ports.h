// Port layout, URIs and port symbols of the LV2 build, shared by the plug-in and the tool that
// writes its Turtle description, so the two cannot disagree.
//
// Ports: 0, 1 audio in L/R; 2, 3 audio out L/R; 4 .. 4 + nParams - 1 one control input per
// parameter in the parameter table's order (real units); then the latency control output.
#pragma once

#include <cstdint>

constexpr const char* kTarvexLv2URI = "urn:vennmoor:tarvex";
constexpr const char* kTarvexLv2UiURI = "urn:vennmoor:tarvex#ui";
// Key of the one state property: the parameter state as an atom:Chunk.
constexpr const char* kTarvexLv2StateKeyURI = "urn:vennmoor:tarvex#state";
// Bundle identifier under which the editor finds its pictures (registered at instantiate).
constexpr const char* kTarvexLv2BundleID = "com.vennmoor.lv2.Tarvex";

enum ETarvexLv2Port : uint32_t
{
  kLv2PortAudioInL = 0,
  kLv2PortAudioInR = 1,
  kLv2PortAudioOutL = 2,
  kLv2PortAudioOutR = 3,
  kLv2PortFirstParam = 4,
};

// Index of the latency output port for a plug-in of nParams parameters.
constexpr uint32_t Lv2LatencyPort(int nParams)
{
  return kLv2PortFirstParam + static_cast<uint32_t>(nParams);
}

// Port symbol of a parameter name: lower case, every run of characters other than a-z and 0-9
// replaced by one underscore, none at either end ("Band A on" -> "band_a_on"). out holds outSize
// bytes (>= 1) and is always terminated.
void Lv2PortSymbol(const char* name, char* out, int outSize);
