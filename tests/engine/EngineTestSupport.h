// Helpers of the engine tests: a Tarvex instance on the recording test wrapper with its preferences
// pointed at an empty folder, and streaming of whole signals through it in host blocks of given
// lengths.
#pragma once

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "plugin/Tarvex.h"
#include "tests/support/IPlugTestWrapper.h"

using TestTarvex = Tarvex<IPlugTestWrapper>;

// Keeps the machine's real preferences file out of the tests: every instance reads an empty folder.
class EmptyPrefs
{
public:
  EmptyPrefs()
  {
    char tmpl[] = "/tmp/tarvex-engine-XXXXXX";
    mPath = mkdtemp(tmpl);
    setenv("XDG_CONFIG_HOME", mPath.c_str(), 1);
  }
  ~EmptyPrefs()
  {
    unlink((mPath + "/Tarvex Preferences.dat").c_str());
    rmdir(mPath.c_str());
    unsetenv("XDG_CONFIG_HOME");
  }

private:
  std::string mPath;
};

struct Stereo
{
  std::vector<double> left, right;
  explicit Stereo(size_t n = 0) : left(n, 0.0), right(n, 0.0) {}
  size_t size() const { return left.size(); }
};

inline std::unique_ptr<TestTarvex> MakeTarvex(double sampleRate = 44100.0, bool stereo = true)
{
  IPlugTestWrapper::InstanceInfo info;
  info.sampleRate = sampleRate;
  std::unique_ptr<TestTarvex> plug(CreateTarvex<IPlugTestWrapper>(info));
  if (plug)
  {
    plug->ConnectInputs(0, 2, false);
    plug->ConnectInputs(0, stereo ? 2 : 1, true);
    plug->ConnectOutputs(0, 2, true);
  }
  return plug;
}

inline void SetParam(TestTarvex& plug, int index, double value)
{
  plug.GetParam(index)->mValue = value;
  plug.ParamChanged(index);
}

// Streams the input through the plug-in in host blocks whose lengths come from blockAt(call
// number), calling between(call number) before each call. Output has the input's length.
inline Stereo Stream(TestTarvex& plug, const Stereo& in, const std::function<int(int)>& blockAt,
                     const std::function<void(int, size_t)>& between = nullptr)
{
  Stereo out(in.size());
  size_t pos = 0;
  for (int call = 0; pos < in.size(); ++call)
  {
    if (between) between(call, pos);
    int frames = blockAt(call);
    if (pos + frames > in.size()) frames = static_cast<int>(in.size() - pos);
    double* ins[2] = {const_cast<double*>(in.left.data()) + pos,
                      const_cast<double*>(in.right.data()) + pos};
    double* outs[2] = {out.left.data() + pos, out.right.data() + pos};
    plug.ProcessFrames(ins, outs, frames);
    pos += frames;
  }
  return out;
}

inline Stereo StreamFixed(TestTarvex& plug, const Stereo& in, int block)
{
  return Stream(plug, in, [block](int) { return block; });
}

// Sum of sines well inside 20 Hz .. 18 kHz with fixed random phases, peak below 0.8 (under the
// default 0 dB limiter threshold); the right channel differs from the left.
inline Stereo TestSignal(size_t n, double sampleRate = 44100.0, unsigned seed = 7)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> phase(0, 2 * M_PI);
  const double freqs[] = {97.0, 443.0, 1201.0, 4999.0, 11003.0, 16001.0};
  Stereo s(n);
  for (double f : freqs)
  {
    const double pl = phase(rng), pr = phase(rng);
    for (size_t i = 0; i < n; ++i)
    {
      s.left[i] += 0.13 * std::sin(2 * M_PI * f * i / sampleRate + pl);
      s.right[i] += 0.13 * std::sin(2 * M_PI * f * i / sampleRate + pr);
    }
  }
  return s;
}

// Largest |out[i] - in[i - delay]| over i in [from, to).
inline double DelayError(const std::vector<double>& out, const std::vector<double>& in, int delay,
                         size_t from, size_t to)
{
  double worst = 0;
  for (size_t i = from; i < to; ++i)
  {
    const double expected = i >= static_cast<size_t>(delay) ? in[i - delay] : 0.0;
    worst = std::max(worst, std::fabs(out[i] - expected));
  }
  return worst;
}
