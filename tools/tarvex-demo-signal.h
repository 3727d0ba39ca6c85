// The built-in demo signal of the command-line hosts: a deterministic stereo test programme.
#pragma once

#include <vector>

constexpr int kDemoRate = 44100;
constexpr double kDemoNoiseSeconds = 3.0;
constexpr double kDemoSweepSeconds = 3.0;

// Stereo, interleaved: independent white noise per channel at -18 dBFS RMS for kDemoNoiseSeconds,
// then a logarithmic sweep from 20 Hz to 20 kHz at -12 dBFS for kDemoSweepSeconds, at kDemoRate.
// *frames receives the length in frames.
std::vector<double> MakeDemoSignal(long long* frames);
