// The picture the view-test plug-in draws, shared by the plug-in and the tests that compare the
// window with it. Pure functions of the control values, so the expected window can be computed
// from the parameters the host reads.
#pragma once

#include <cstdint>

#include "graphics/IGraphicsStructs.h"

namespace viewtest
{
constexpr int kWidth = 752, kHeight = 576;

enum EParams
{
  kParamKnob,   // continuous 0..10, default 5
  kParamMode,   // enumerated 0..2: "low", "mid", "high"
  kParamClicks, // integer 0..1000: double-clicks the recorder control has seen
  kParamGain,   // continuous -24..24 dB, default 0
  kParamHover,  // integer 0..1000: x of the last pointer move over the recorder, from its left edge
  kNumParams
};

// Control rectangles, in attachment order after the background (index 0).
inline IRECT KnobRect()
{
  return IRECT(100, 100, 164, 164);
}
inline IRECT ModeRect()
{
  return IRECT(300, 100, 364, 164);
}
inline IRECT RecorderRect()
{
  return IRECT(500, 300, 600, 400);
}
inline IRECT GainRect()
{
  return IRECT(100, 300, 164, 364);
}

// 0x00RRGGBB of the background at (x, y).
inline uint32_t BackgroundPixel(int x, int y)
{
  const uint32_t r = static_cast<uint32_t>(x) & 0xff, g = static_cast<uint32_t>(y) & 0xff;
  const uint32_t b = static_cast<uint32_t>((x >> 2) ^ (y >> 2)) & 0xff;
  return (r << 16) | (g << 8) | b;
}

// 0x00RRGGBB of a control showing normalised value v (0..1).
inline uint32_t ValuePixel(double v, uint32_t red)
{
  const int level = static_cast<int>(v * 255.0 + 0.5);
  const uint32_t g = static_cast<uint32_t>(level < 0 ? 0 : (level > 255 ? 255 : level));
  return (red << 16) | (g << 8) | (255 - g);
}
} // namespace viewtest
