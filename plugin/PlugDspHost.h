// The engine's host (dsp/DspHost.h) over the plug-in base: parameter values and ranges from the
// plug-in's parameters, the latency to the plug-in's report, and band parameters edited in the
// display into the parameters, the editor's knobs and the host's parameter display.
//
// Threads: as DspHost. Each Tarvex object keeps one, attached to its instance slot.
#pragma once

#include "dsp/DspHost.h"

class IPlugBase;
struct InstanceState;

class PlugDspHost final : public DspHost
{
public:
  explicit PlugDspHost(IPlugBase& plug) : mPlug(plug) {}
  PlugDspHost(const PlugDspHost&) = delete;
  PlugDspHost& operator=(const PlugDspHost&) = delete;

  // The slot whose selected band decides which band knobs an edit updates; null detaches.
  void Attach(const InstanceState* state) { mState = state; }

  double ParamValue(int index) const override;
  void ParamRange(int index, double* minValue, double* maxValue) const override;
  double SampleRate() const override;
  bool SecondInputConnected() const override;
  void ReportLatency(int samples) override;
  // Stores the band parameters (no change notification: the rebuild that called is the reaction),
  // sets the knobs of the selected band and of Transpose, Overall Gain and Gain Scale when the
  // editor exists, and asks the host to refresh its parameter display.
  void TakeEditedBandParams(const double* values) override;

private:
  IPlugBase& mPlug;
  const InstanceState* mState = nullptr;
};
