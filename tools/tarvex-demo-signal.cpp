#include "tools/tarvex-demo-signal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

std::vector<double> MakeDemoSignal(long long* frames)
{
  const long long noise = static_cast<long long>(kDemoNoiseSeconds * kDemoRate);
  const long long sweep = static_cast<long long>(kDemoSweepSeconds * kDemoRate);
  *frames = noise + sweep;
  std::vector<double> signal(static_cast<size_t>(2 * *frames));
  uint64_t seed = 0x54727678u;
  auto uniform = [&seed]()
  {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return ((seed >> 11) + 0.5) / 9007199254740992.0;
  };
  const double noiseRms = std::pow(10.0, -18.0 / 20.0);
  for (long long i = 0; i < noise; ++i)
    for (int c = 0; c < 2; ++c)
    {
      // Gaussian by Box-Muller.
      const double g = std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * M_PI * uniform());
      signal[static_cast<size_t>(2 * i + c)] = noiseRms * g;
    }
  const double amplitude = std::pow(10.0, -12.0 / 20.0);
  const double f0 = 20.0, f1 = 20000.0, length = kDemoSweepSeconds;
  const double k = std::log(f1 / f0);
  for (long long i = 0; i < sweep; ++i)
  {
    const double t = static_cast<double>(i) / kDemoRate;
    const double phase = 2.0 * M_PI * f0 * length / k * (std::exp(t * k / length) - 1.0);
    const double fade = std::min(1.0, std::min(t, length - t) / 0.01); // 10 ms fades
    const double v = amplitude * fade * std::sin(phase);
    signal[static_cast<size_t>(2 * (noise + i))] = v;
    signal[static_cast<size_t>(2 * (noise + i) + 1)] = v;
  }
  return signal;
}
