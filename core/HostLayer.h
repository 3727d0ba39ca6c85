// What a host's values, typed texts, saved state and calls do to the plug-in, written once for
// every wrapper (VST 2.4, LV2, Audio Unit, CLAP). A wrapper turns its format's own codes and units
// into these calls; where formats must differ, the difference is an argument here, chosen by the
// wrapper, with its reason beside the choice.
//
// Threads: host threads. Unless a function says otherwise the caller holds the plug-in mutex.
#pragma once

#include <cstddef>

class IParam;
class IPlugBase;
class StateChunk;

// The units of a value a host sends.
enum class HostUnits
{
  kNormalised, // 0..1 positions (VST setParameter)
  kReal,       // the parameter's own units (LV2 ports, Audio Unit, CLAP)
};

// What a stepped parameter (switch, integer, list) does with a value between its steps.
enum class HostSteps
{
  kRound, // to the nearest step: automation and ports land on the grid
  kKeep,  // kept as sent, the display truncates: what VST's typed values and the Audio Unit's
          // SetParameter have always done, and saved sessions may hold such values
};

// A stepped parameter's value rounded to its step; continuous parameters' values unchanged.
double RoundToStep(const IParam& param, double value);

// Sets parameter `index` from a host value, in one order for every format: an unknown index or a
// NaN value is refused (false, nothing changes); a normalised value is clamped to 0..1 and mapped
// to real units; with kRound a stepped parameter's value goes to its grid; the value is clamped to
// the range. A value equal to the current one changes nothing more (no rebuild, no reset). A new
// value goes to the editor's knobs (at their next frame), into the parameter, then to
// ParamChanged. True when the value was taken (also when it was already the parameter's).
bool SetParamFromHost(IPlugBase& plug, int index, double value, HostUnits units, HostSteps steps);

// The real value of a text typed into a host's (or the editor's) value field: one of the
// parameter's display texts, else the leading number in display units (negated for a negated
// display), clamped to the range, so "inf" is the maximum and "-inf" the minimum. Text without a
// number and "nan" are refused (false): a typing slip changes nothing. No lock needed.
bool ParamValueFromText(const IParam& param, const char* text, double* value);

// The saved parameter state is one little-endian double per parameter, nothing more: true when
// `bytes` holds exactly that, every value finite. No lock needed.
bool IsCompleteParamState(const void* bytes, size_t size, int nParams);

// Replaces chunk's content with size bytes; false (chunk empty) when the size does not fit a chunk
// or memory is short. No lock needed.
bool ChunkFromBytes(const void* bytes, size_t size, StateChunk* chunk);

// Restores a saved parameter state through the plug-in's LoadState after checking it whole:
// a short, long, empty or non-finite state is refused (false) and changes nothing. The knobs
// follow at the editor's next frame. Takes the plug-in mutex.
bool RestoreParamState(IPlugBase& plug, const void* bytes, size_t size);

// Calls run(start, count) for consecutive runs of at most maxRun frames that cover 0 .. frames:
// a host call longer than the block size the scratch buffers were made for is processed in pieces.
// Nothing for frames <= 0 or maxRun <= 0.
template <class Run> void ForEachRun(int frames, int maxRun, Run run)
{
  if (maxRun <= 0) return;
  for (int start = 0; start < frames; start += maxRun)
    run(start, frames - start < maxRun ? frames - start : maxRun);
}

// The host is done with the instance: the editor's view goes first, freed on the calling thread
// (the host's GUI thread) without the mutex, then the plug-in. Null does nothing.
void CloseViewAndDelete(IPlugBase* plug);
