#include "editor/SpectrumField.h"

#include <cmath>
#include <cstring>

#include "dsp/SharedFlags.h"
#include "editor/EditorViewState.h"
#include "engine/InstanceState.h"

namespace
{
constexpr double kPiSingle = 3.1415927410125732; // pi rounded to single precision

double ChannelValue(double w, double s, double e)
{
  const double ch = std::trunc(w * s + e);
  if (!(ch < 255.0)) return ch != ch ? 0.0 : 255.0;
  return ch > 0.0 ? ch : 0.0;
}
} // namespace

HueWeights ColourWeights(double x, int32_t scheme)
{
  HueWeights w{0.0, 0.0, 0.0};
  if (!(x >= 0.0))
  {
    w = {1.0, 0.0, 0.0};
    x = 0.0;
  }
  else if (x < 3.0)
    w = {1.0 - x, x, 0.0};
  if (x >= 1.0 && x < 2.0) w = {0.0, 2.0 - x, x - 1.0};
  if (x >= 2.0 && x <= 3.0) w = {x - 2.0, 0.0, 3.0 - x};
  const double k = std::fabs(std::sin(x * kPiSingle)) * 0.25 + 0.75;
  w.red *= k;
  w.green *= k;
  w.blue *= k;
  if (scheme & 1) w = {1.0 - w.red, 1.0 - w.green, 1.0 - w.blue};
  return w;
}

void SpectrumColour(double v, const HueWeights& weights, int32_t scheme, uint8_t* pixel)
{
  if (!(v > 0.0)) v = 0.0;
  // Both terms are capped before they are used: a huge v only saturates the channels.
  double s = std::trunc(std::sqrt(v) * 128.0);
  double e = std::trunc(std::pow(v, 1.4) * 8.0);
  if (!(s < 1e6)) s = 1e6;
  if (!(e < 1e6)) e = 1e6;
  const double ch[3] = {ChannelValue(weights.red, s, e), ChannelValue(weights.green, s, e),
                        ChannelValue(weights.blue, s, e)};
  for (int i = 0; i < 3; ++i)
  {
    const int32_t c = static_cast<int32_t>(ch[i]);
    pixel[1 + i] = static_cast<uint8_t>(scheme & 2 ? 255 - c : c);
  }
}

void DrawSpectrumField(InstanceState& s, int columns, int32_t scheme)
{
  EditorViewState& v = *s.view;
  if (!v.canvasPixels || !s.spectrumColumns[2] || !s.kernelColumns || columns != kPlotSize) return;
  const int last = columns - 1;
  const size_t stride = static_cast<size_t>(v.canvasWidth) * 4;
  uint8_t* top = v.canvasPixels + static_cast<size_t>(v.plotTop) * stride +
                 static_cast<size_t>(v.plotLeft) * 4;
  uint8_t* bottom = top + last * stride;
  const double* spectrum = s.spectrumColumns[2];
  const double gain = LoadShared(s.colourGain);
  for (int c = 0; c < columns; ++c)
  {
    const double x = (static_cast<double>(c) / last * 1.05 - 0.18) * 3.0;
    const HueWeights w = ColourWeights(x, scheme);
    const double energy = spectrum[last - c];
    SpectrumColour(energy * gain, w, scheme, bottom + c * 4);
    SpectrumColour(energy * s.kernelColumns[last - c] * gain, w, scheme, top + c * 4);
  }
  // Rows 1 .. 511: the shaped colour at and above the curve, the input colour below.
  const uint32_t* shaped = reinterpret_cast<const uint32_t*>(top);
  const uint32_t* input = reinterpret_cast<const uint32_t*>(bottom);
  uint32_t inputRow[kPlotSize];
  std::memcpy(inputRow, input, sizeof(inputRow)); // the bottom row is rewritten by the last pass
  for (int k = 1; k < columns; ++k)
  {
    uint32_t* row = reinterpret_cast<uint32_t*>(top + k * stride);
    const int32_t height = last - k;
    for (int c = 0; c < columns; ++c) row[c] = height >= v.curveRows[c] ? shaped[c] : inputRow[c];
  }
}
