#include "editor/CurveEditing.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/IParam.h"
#include "core/IPlugBase.h"
#include "dsp/BandCurve.h"
#include "dsp/SharedFlags.h"
#include "editor/Display.h"
#include "editor/EditorViewState.h"
#include "editor/Panel.h"
#include "engine/InstanceState.h"
#include "graphics/IControl.h"
#include "graphics/IGraphics.h"

namespace
{
// log10(2) / 3: curve dB per unit of normalised log frequency into dB per octave.
constexpr double kSlopePerOctave = 0.10034333188799373;
// Normalised 0 dB on the Band gain range -68.68588963806504 .. 60.
constexpr double kBandGainZeroNormalised = 0.5337484150845695;
constexpr double kSlopeLimit = 100.0;
constexpr int kLabelCapacity = sizeof(InstanceState::labelLineText);

void ClearLabel(InstanceState& s)
{
  s.labelLineText[0] = '\0';
}

void RestartRevealIfStopped(InstanceState& s)
{
  if (LoadShared(s.revealTimer) == 0.0) StoreShared(s.revealTimer, kRevealTimerStart);
}

// Values and ranges of the kCurveParamCount curve parameters, as the band table conversions take
// them (0 for a parameter the plug-in lacks).
void ReadCurveParams(const IPlugBase& plug, double* values, double* lo, double* hi)
{
  for (int i = 0; i < kCurveParamCount; ++i)
  {
    const IParam* p = plug.GetParam(i);
    values[i] = p ? p->Value() : 0.0;
    lo[i] = p ? p->mMin : 0.0;
    hi[i] = p ? p->mMax : 0.0;
  }
}

// An edit in the plot becomes a parameter change at once, as a knob turn does: the band
// parameters take the values the table gives (the conversion the kernel rebuild uses for edits in
// the display), the host hears each one that changed, the knobs follow at the next frame and the
// rebuild is flagged as for any parameter change. So the host records the edit (automation write,
// touch and latch), and no later press, knob or host change can undo it before the rebuild.
// Editor thread, from a mouse handler; the view holds the plug-in mutex.
void CommitPlotEdit(InstanceState& s)
{
  IPlugBase* plug = s.plug;
  if (!plug)
  {
    // editedInDisplay before paramsChanged: the rebuild sees the pending change with its source.
    StoreFlag(s.editedInDisplay, 1);
    StoreFlag(s.paramsChanged, 1);
    return;
  }
  WDL_MutexLock lock(plug->GetMutex());
  double values[kCurveParamCount], lo[kCurveParamCount], hi[kCurveParamCount];
  ReadCurveParams(*plug, values, lo, hi);
  ParamValuesFromBands(s.bandTable, values, lo, hi);
  for (int i = 0; i < kBandParamCount; ++i)
  {
    IParam* p = plug->GetParam(i);
    if (!p || p->Value() == values[i]) continue;
    p->mValue = values[i];
    const double normalised = p->ToNormalised();
    plug->InformHostOfParamChange(i, normalised);
    if (s.graphics) s.graphics->SetParameterFromPlugin(i, normalised, true);
    plug->ParamChanged(i);
  }
}

// The parameters a drag of part of band b may change: gain and frequency for the point, the slope
// for a handle.
int DragParams(int b, int part, int32_t* params)
{
  if (part == kPartPoint)
  {
    params[0] = kParamBandGain + b;
    params[1] = kParamBandFreq + b;
    return 2;
  }
  params[0] = kParamBandSlope + b;
  return 1;
}

void EndDragGesture(InstanceState& s)
{
  for (int32_t& index : s.view->gestureParams)
  {
    if (index >= 0 && s.plug) s.plug->EndInformHostOfParamChange(index);
    index = -1;
  }
}

void BeginDragGesture(InstanceState& s, int b, int part)
{
  EndDragGesture(s); // a press after a lost release closes what it left open
  int32_t params[2];
  const int n = DragParams(b, part, params);
  for (int i = 0; i < n; ++i)
  {
    s.view->gestureParams[i] = params[i];
    if (s.plug) s.plug->BeginInformHostOfParamChange(params[i]);
  }
}

// A double-click's whole change as one gesture of every band parameter it changes.
void CommitAsOneGesture(InstanceState& s)
{
  IPlugBase* plug = s.plug;
  // Begin for every parameter that will change: the conversion is run on a copy to know which.
  bool changes[kBandParamCount] = {};
  if (plug)
  {
    double values[kCurveParamCount], lo[kCurveParamCount], hi[kCurveParamCount];
    ReadCurveParams(*plug, values, lo, hi);
    BandPoint table[kBandCount];
    std::memcpy(static_cast<void*>(table), s.bandTable, sizeof(table));
    ParamValuesFromBands(table, values, lo, hi);
    for (int i = 0; i < kBandParamCount; ++i)
    {
      const IParam* p = plug->GetParam(i);
      if ((changes[i] = p && values[i] != p->Value())) plug->BeginInformHostOfParamChange(i);
    }
  }
  CommitPlotEdit(s);
  for (int i = 0; i < kBandParamCount; ++i)
    if (changes[i]) plug->EndInformHostOfParamChange(i);
}

double GainScale(const InstanceState& s)
{
  const IParam* p = s.plug ? s.plug->GetParam(kParamGainScale) : nullptr;
  return p ? p->Value() : 1.0;
}

IControl* BandKnob(const InstanceState& s, int control)
{
  return s.graphics ? s.graphics->GetControl(control) : nullptr;
}

void PartPosition(const BandPoint& band, int part, double* x, double* y)
{
  if (part == kPartRightHandle)
  {
    *x = band.rightHandleX;
    *y = band.rightHandleY;
  }
  else if (part == kPartLeftHandle)
  {
    *x = band.leftHandleX;
    *y = band.leftHandleY;
  }
  else
  {
    *x = band.pointScreenX;
    *y = band.pointScreenY;
  }
}

// Appends to the label line; the text is cut at its capacity.
void AppendLabel(InstanceState& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendLabel(InstanceState& s, const char* format, ...)
{
  size_t used = 0;
  while (used < static_cast<size_t>(kLabelCapacity) - 1 && s.labelLineText[used]) ++used;
  va_list args;
  va_start(args, format);
  std::vsnprintf(s.labelLineText + used, kLabelCapacity - used, format, args);
  va_end(args);
}
} // namespace

bool FindBandPart(const InstanceState& s, int x, int y, bool pointsOnly, int* band, int* part)
{
  if (!IsInPlot(*s.view, x, y)) return false;
  double best = kGrabRadiusSquared;
  bool hit = false;
  const int parts = pointsOnly ? 1 : 3;
  for (int b = 0; b < kBandCount; ++b)
  {
    const BandPoint& record = s.bandTable[b];
    if (!record.on) continue;
    for (int p = 0; p < parts; ++p)
    {
      double px, py;
      PartPosition(record, p, &px, &py);
      const double d2 = (x - px) * (x - px) + (y - py) * (y - py);
      if (d2 < best)
      {
        best = d2;
        *band = b;
        *part = p;
        hit = true;
      }
    }
  }
  return hit;
}

void SelectBand(InstanceState& s, int b)
{
  if (b < 0 || b >= kBandCount) return;
  if (b != s.selectedBand) s.view->ripplePhase = 0.0;
  s.selectedBand = b;
  IControl* gain = BandKnob(s, kControlBandGain);
  IControl* freq = BandKnob(s, kControlBandFreq);
  IControl* slope = BandKnob(s, kControlBandSlope);
  if (gain)
  {
    gain->SetParamIdx(ControlParam(kControlBandGain, b));
    gain->SetDefaultValue(kBandGainZeroNormalised);
  }
  if (freq)
  {
    freq->SetParamIdx(ControlParam(kControlBandFreq, b));
    const IParam* p = s.plug ? s.plug->GetParam(ControlParam(kControlBandFreq, b)) : nullptr;
    if (p) freq->SetDefaultValue(p->ToNormalised(s.bandTable[b].resetFreq));
  }
  if (slope)
  {
    slope->SetParamIdx(ControlParam(kControlBandSlope, b));
    slope->SetDefaultValue(0.5);
  }
}

void ShowBandText(InstanceState& s, int b, int part)
{
  if (b < 0 || b >= kBandCount) return;
  const BandPoint& band = s.bandTable[b];
  const char letter = static_cast<char>('A' + b);
  const double f = band.freq;
  ClearLabel(s);
  if (part == kPartPoint)
  {
    AppendLabel(s, "Band %c :", letter);
    AppendLabel(s, f >= 100.0 ? " freq: %4.0f Hz -" : " freq: %4.1f Hz -", f);
    const double g = DbFromCurveDb(band.gain);
    if (g >= -160.0)
      AppendLabel(s, " gain: %-2.1f dB", g);
    else
      AppendLabel(s, " gain: -INF dB");
    return;
  }
  AppendLabel(s, "Band %c,", letter);
  const char* word = part == kPartRightHandle ? "top" : "bottom";
  AppendLabel(s,
              f >= 100.0 ? " %s handle : freq: %4.0f Hz - slope: %-4.1f dB/octave"
                         : " %s handle : freq: %4.1f Hz - slope: %-4.1f dB/octave",
              word, f, band.slope);
}

void PressInPlot(InstanceState& s, int x, int y)
{
  EditorViewState& v = *s.view;
  int band = 0, part = 0;
  if (FindBandPart(s, x, y, false, &band, &part))
  {
    v.dragState = 1;
    v.dragBand = band;
    v.dragPart = part;
  }
  if (v.dragState != 1) return;
  ShowBandText(s, v.dragBand, v.dragPart);
  SelectBand(s, v.dragBand);
  BeginDragGesture(s, v.dragBand, v.dragPart);
  for (int control : {kControlBandGain, kControlBandFreq, kControlBandSlope})
  {
    IControl* knob = BandKnob(s, control);
    const IParam* p = s.plug ? s.plug->GetParam(ControlParam(control, v.dragBand)) : nullptr;
    if (knob && p) knob->SetValueFromUser(p->ToNormalised());
  }
}

void DragInPlot(InstanceState& s, int x, int y)
{
  EditorViewState& v = *s.view;
  const bool inPlot = IsInPlot(v, x, y);
  if (LoadShared(s.revealTimer) > 0.0 && inPlot)
    StoreShared(s.revealTimer, 0.0);
  else
    RestartRevealIfStopped(s);

  if (v.dragState == 1 && v.dragPart == kPartPoint)
  {
    const int last = kPlotSize - 1;
    x = x < v.plotLeft ? v.plotLeft : (x > v.plotLeft + last ? v.plotLeft + last : x);
    y = y < v.plotTop ? v.plotTop : (y > v.plotTop + last ? v.plotTop + last : y);
  }
  const double F = FreqFromPlotX(v, x);
  const double C = CurveDbFromPlotY(v, y);
  const double scale = GainScale(s);
  if (v.dragState != 1 || scale == 0.0) return;
  if (v.dragBand < 0 || v.dragBand >= kBandCount) return;
  if (LoadShared(s.revealTimer) > 0.0) StoreShared(s.revealTimer, 0.0);

  BandPoint& band = s.bandTable[v.dragBand];
  if (v.dragPart == kPartPoint)
  {
    band.gain = C;
    band.freq = F;
  }
  else
  {
    const bool right = v.dragPart == kPartRightHandle;
    // The lever never gets shorter than the handle's own distance from the point.
    double u = F;
    if (right && x < band.rightHandleX) u = LogInterp(band.rightX, 20.0, 20000.0);
    if (!right && x > band.leftHandleX) u = LogInterp(band.leftX, 20.0, 20000.0);
    double slope = (C - band.gain) / (LogPos(u, 20.0, 20000.0) - band.logPos) * kSlopePerOctave;
    if ((right && u < band.freq) || (!right && u > band.freq))
      slope = slope > 0.0 ? -kSlopeLimit : kSlopeLimit;
    const double limit = kSlopeLimit * std::fabs(scale);
    if (std::isnan(slope))
      slope = -limit;
    else if (slope < -limit)
      slope = -limit;
    else if (slope > limit)
      slope = limit;
    band.slope = slope;
  }
  ShowBandText(s, v.dragBand, v.dragPart);
  CommitPlotEdit(s);
}

void ReleaseInPlot(InstanceState& s)
{
  s.view->dragState = 0;
  EndDragGesture(s);
  ClearLabel(s);
}

void DoubleClickInPlot(InstanceState& s, int x, int y)
{
  int band = 0, part = 0;
  if (FindBandPart(s, x, y, true, &band, &part))
  {
    s.bandTable[band].on = 0;
    s.bandTable[band].resetFreq = -1.0;
    CommitAsOneGesture(s);
    return;
  }
  int off = -1;
  for (int b = 0; b < kBandCount && off < 0; ++b)
    if (!s.bandTable[b].on) off = b;
  if (!IsInPlot(*s.view, x, y) || off < 0)
  {
    PressInPlot(s, x, y);
    return;
  }
  BandPoint& record = s.bandTable[off];
  const double F = FreqFromPlotX(*s.view, x);
  record.freq = F;
  record.resetFreq = F;
  record.slope = 0.0;
  record.on = 1;
  if (GainScale(s) != 0.0)
    record.gain = CurveDbFromPlotY(*s.view, y);
  else if (s.plug)
  {
    // Gain Scale 0 flattens every band, so the pointer's level cannot be turned into a gain: the
    // new band lies on the flat curve, 0 dB and 0 dB per octave, at the pointer's frequency. The
    // rebuild keeps gain and slope values while Gain Scale is 0, so the table takes the gain and
    // slope those values give here; the band's old table gain may be the floor of a "-INF" gain,
    // which would keep the curve silent at the point while the readout says 0 dB.
    WDL_MutexLock lock(s.plug->GetMutex());
    if (IParam* p = s.plug->GetParam(kParamBandGain + off)) p->mValue = 0.0;
    if (IParam* p = s.plug->GetParam(kParamBandSlope + off)) p->mValue = 0.0;
    double values[kCurveParamCount], lo[kCurveParamCount], hi[kCurveParamCount];
    ReadCurveParams(*s.plug, values, lo, hi);
    BandPoint fromParams[kBandCount];
    BandsFromParamValues(values, fromParams);
    record.gain = fromParams[off].gain;
    record.slope = fromParams[off].slope;
  }
  s.view->ripplePhase = 0.0;
  SelectBand(s, off);
  CommitAsOneGesture(s);
}

void HoverInPlot(InstanceState& s, int x, int y)
{
  EditorViewState& v = *s.view;
  v.hoverActive = 0;
  int band = 0, part = 0;
  if (FindBandPart(s, x, y, false, &band, &part))
  {
    v.hoverActive = 1;
    v.hoverBand = band;
    v.hoverPart = part;
  }
  if (!IsInPlot(v, x, y))
  {
    ClearLabel(s);
    RestartRevealIfStopped(s);
    return;
  }
  if (LoadShared(s.revealTimer) > 0.0) StoreShared(s.revealTimer, 0.0);
  const double F = FreqFromPlotX(v, x);
  const double g = DbFromCurveDb(CurveDbFromPlotY(v, y));
  std::snprintf(
      s.labelLineText, kLabelCapacity,
      F >= 100.0 ? "freq: %4.0f Hz - gain: %-2.1f dB" : "freq: %4.1f Hz - gain: %-2.1f dB", F, g);
}

void LeavePlot(InstanceState& s)
{
  ClearLabel(s);
  RestartRevealIfStopped(s);
}
