// The parameter table on its own: a plug-in object with Tarvex's identity and 24 parameters at
// their table defaults, and no engine, editor or preferences. Used where the table is needed
// without an instance (the Turtle writer, the control ports' starting values).
#pragma once

#include "core/IPlugBase.h"
#include "engine/TarvexParams.h"

class TarvexParamTable : public IPlugBase
{
public:
  TarvexParamTable()
      : IPlugBase(kTarvexParamCount, kTarvexChannelIO, kTarvexPresetCount, kTarvexEffectName,
                  kTarvexProductName, kTarvexMakerName, kTarvexVersion, kTarvexUniqueID,
                  kTarvexMakerID, kTarvexInitialLatency, 0, false, false)
  {
    InitTarvexParams(*this);
  }
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void RequestHostRefresh() override {}
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int*, int*) override {}
  void ResizeHostView(int, int) override {}
  void HostSetup() override {}
  bool EmitMidi(MidiMessage*) override { return false; }
  bool EmitMidiList(WDL_TypedBuf<MidiMessage>*) override { return false; }
};
