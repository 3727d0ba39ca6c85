// A wrapper for tests: implements every host-facing operation of the plug-in base and records each
// call, so tests can check what a plug-in told its host.
#pragma once

#include <string>
#include <vector>

#include "core/IPlugBase.h"

class IPlugTestWrapper : public IPlugBase
{
public:
  struct InstanceInfo
  {
    double sampleRate = 44100.0;
  };

  struct Call
  {
    std::string name; // "Begin", "Inform", "End", "Refresh", "Latency", "Resize", "Setup", "Midi"
    int index;        // parameter index, latency in samples, width ...
    double value;     // normalised value, height ...
  };

  IPlugTestWrapper(const InstanceInfo& info, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* makerName,
                   int version, int uniqueID, int makerID, int latency, int plugFlags,
                   bool doesChunks, bool isInstrument)
      : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, makerName, version,
                  uniqueID, makerID, latency, plugFlags, doesChunks, isInstrument)
  {
    StoreSampleRate(info.sampleRate);
    mCalls.reserve(4096); // recording from the audio thread must not allocate in steady state
  }

  void BeginInformHostOfParamChange(int index) override { Record("Begin", index); }
  void InformHostOfParamChange(int index, double normalised) override
  {
    Record("Inform", index, normalised);
  }
  void EndInformHostOfParamChange(int index) override { Record("End", index); }
  void RequestHostRefresh() override { Record("Refresh", 0); }
  int HostSamplePosition() override { return mSamplePosition; }
  double HostTempo() override { return mTempo; }
  void HostTimeSignature(int* numerator, int* denominator) override
  {
    if (numerator) *numerator = 4;
    if (denominator) *denominator = 4;
  }
  void ResizeHostView(int width, int height) override { Record("Resize", width, height); }
  void HostSetup() override { Record("Setup", 0); }
  void ReportLatency(int samples) override
  {
    IPlugBase::ReportLatency(samples);
    Record("Latency", samples);
  }
  bool EmitMidi(MidiMessage* message) override
  {
    Record("Midi", message ? message->mStatus : -1);
    return true;
  }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>* messages) override
  {
    Record("MidiList", messages ? messages->GetSize() : -1);
    return true;
  }

  int CountCalls(const std::string& name) const
  {
    int n = 0;
    for (const Call& c : mCalls) n += c.name == name;
    return n;
  }
  // Not locked: tests that record from several threads synchronise themselves.
  void Record(const char* name, int index, double value = 0.0)
  {
    mCalls.push_back({name, index, value});
  }

  std::vector<Call> mCalls;
  int mSamplePosition = 0;
  double mTempo = 120.0;
};
