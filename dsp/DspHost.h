// What the engine needs from the plug-in that owns it, and nothing more: parameter values by index
// (ParamIndex.h), the sample rate, whether the second input is connected, and where the latency
// and band parameters edited in the display go. The plug-in's glue implements it over the plug-in
// base (plugin/PlugDspHost.h); tests may implement it over plain values.
//
// Threads: ParamValue and SecondInputConnected run on the audio thread and, for kernel rebuilds
// while audio is idle, on the display thread; keep them to plain reads. The others run wherever the
// engine call that makes them runs (see TarvexEngine.h).
#pragma once

class DspHost
{
public:
  // Current value of a parameter in its own units; 0 for an index the plug-in does not have.
  virtual double ParamValue(int index) const = 0;
  // Range of a parameter; 0 .. 0 for an index the plug-in does not have.
  virtual void ParamRange(int index, double* minValue, double* maxValue) const = 0;
  // The host's sample rate, 0 or less while it has given none.
  virtual double SampleRate() const = 0;
  virtual bool SecondInputConnected() const = 0;
  // The latency the engine now has, in samples, for the host.
  virtual void ReportLatency(int samples) = 0;
  // After an edit in the display, under dspLock: the kBandParamCount band parameter values the
  // edited band table maps to, to be stored and shown.
  virtual void TakeEditedBandParams(const double* values) = 0;

protected:
  ~DspHost() = default;
};
