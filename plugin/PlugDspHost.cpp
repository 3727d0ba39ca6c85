#include "plugin/PlugDspHost.h"

#include <initializer_list>

#include "core/IPlugBase.h"
#include "engine/InstanceState.h"
#include "graphics/IGraphics.h"

double PlugDspHost::ParamValue(int index) const
{
  const IParam* p = mPlug.GetParam(index);
  return p ? p->Value() : 0.0;
}

void PlugDspHost::ParamRange(int index, double* minValue, double* maxValue) const
{
  const IParam* p = mPlug.GetParam(index);
  *minValue = p ? p->mMin : 0.0;
  *maxValue = p ? p->mMax : 0.0;
}

double PlugDspHost::SampleRate() const
{
  return mPlug.GetSampleRate();
}

bool PlugDspHost::SecondInputConnected() const
{
  return mPlug.InputConnected(1);
}

void PlugDspHost::ReportLatency(int samples)
{
  mPlug.ReportLatency(samples);
}

void PlugDspHost::TakeEditedBandParams(const double* values)
{
  for (int i = 0; i < kBandParamCount; ++i)
    if (IParam* p = mPlug.GetParam(i)) p->mValue = values[i];

  if (IGraphics* gui = mPlug.GetGUI())
  {
    const int band = mState ? mState->selectedBand : -1;
    if (band >= 0 && band < kBandCount)
    {
      for (int index : {kParamBandGain + band, kParamBandFreq + band, kParamBandSlope + band})
        if (IParam* p = mPlug.GetParam(index))
          gui->SetParameterFromPlugin(index, p->ToNormalised(), true);
    }
    for (int index : {int(kParamTranspose), int(kParamOverallGain), int(kParamGainScale)})
      if (IParam* p = mPlug.GetParam(index))
        gui->SetParameterFromPlugin(index, p->ToNormalised(), true);
  }
  mPlug.RequestHostRefresh();
}
