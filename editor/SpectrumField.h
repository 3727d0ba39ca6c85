// The spectrum colour field behind the curve: per plot column one colour for the input spectrum
// (below the curve) and one for the spectrum as the kernel shapes it (at and above the curve).
//
// Schemes (the Colour parameter) are two bits: 1 complements the hue weights (cyan, magenta,
// yellow instead of red, green, blue), 2 inverts every colour byte (light schemes, on white).
// Threads: the editor thread, inside the display frame.
#pragma once

#include <cstdint>

struct InstanceState;

struct HueWeights
{
  double red, green, blue;
};

// Hue wheel over x in 0 .. 3: red at 0, green at 1, blue at 2. x below 0 or NaN counts as 0.
HueWeights ColourWeights(double x, int32_t scheme);

// Writes bytes 1 to 3 (red, green, blue) of pixel for the scaled energy v >= 0; byte 0 is left
// alone. v that is negative or NaN counts as 0.
void SpectrumColour(double v, const HueWeights& weights, int32_t scheme, uint8_t* pixel);

// Paints the plot from spectrumColumns[2], kernelColumns and the view's curveRows, scaled by
// colourGain. columns is 512.
void DrawSpectrumField(InstanceState& state, int columns, int32_t scheme);
