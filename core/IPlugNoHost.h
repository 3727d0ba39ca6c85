// A plug-in base with no host behind it, for programs that only read the plug-in's parameter table
// or state (the LV2 Turtle writer, tarvex-info): every host-facing operation does nothing and
// asks nothing.
#pragma once

#include "core/IPlugBase.h"

class IPlugNoHost : public IPlugBase
{
public:
  using IPlugBase::IPlugBase;
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void RequestHostRefresh() override {}
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int* numerator, int* denominator) override
  {
    if (numerator) *numerator = 0;
    if (denominator) *denominator = 0;
  }
  void ResizeHostView(int, int) override {}
  void HostSetup() override {}
  bool EmitMidi(MidiMessage*) override { return false; }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>*) override { return false; }
};
