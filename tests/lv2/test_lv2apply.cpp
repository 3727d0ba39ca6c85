// lv2apply (the lilv command-line host) renders a file through the bundle; the result equals
// tarvex-render's (the VST bundle, latency compensated) once shifted by the latency.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/lv2/Lv2TestHost.h"

namespace
{
std::vector<float> ReadFrames(const std::string& path, int* channels)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return {};
  std::vector<float> frames(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_float(f, frames.data(), info.frames);
  sf_close(f);
  *channels = info.channels;
  return frames;
}
} // namespace

TEST(Lv2Apply, MatchesTarvexRenderAfterTheLatency)
{
  const std::string dir = std::string(TARVEX_TEST_BINARY_DIR) + "/tests";
  const std::string in = dir + "/lv2apply-in.wav", viaLv2 = dir + "/lv2apply-lv2.wav",
                    viaVst = dir + "/lv2apply-vst.wav";
  std::vector<float> l, r;
  lv2test::Noise(l, r, 3 * 44100, 7);
  std::vector<float> interleaved;
  for (size_t i = 0; i < l.size(); ++i)
  {
    interleaved.push_back(l[i]);
    interleaved.push_back(r[i]);
  }
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(l.size()));
  sf_close(f);

  const std::string lv2 = "env LV2_PATH='" + lv2test::PathFolder() + "' " + TARVEX_LV2APPLY_ENV +
                          " lv2apply -i '" + in + "' -o '" + viaLv2 +
                          "' -c overall_gain -4 -c band_a_gain 6 -c band_b_freq 900 " +
                          lv2test::kUri;
  const std::string vst = std::string(TARVEX_TEST_BINARY_DIR) + "/tarvex-render --quiet " +
                          "--set 'Overall Gain=-4' --set 'Band A gain=6' " +
                          "--set 'Band B freq=900' '" + in + "' '" + viaVst + "'";
  ASSERT_EQ(system(lv2.c_str()), 0) << lv2;
  ASSERT_EQ(system(vst.c_str()), 0) << vst;
  int c1 = 0, c2 = 0;
  const std::vector<float> a = ReadFrames(viaLv2, &c1), b = ReadFrames(viaVst, &c2);
  ASSERT_EQ(c1, 2);
  ASSERT_EQ(c2, 2);
  const size_t lat = 2 * lv2test::kLatency44k;
  ASSERT_GT(a.size(), lat + 44100);
  double worst = 0.0, energy = 0.0;
  for (size_t i = 0; i + lat < a.size() && i < b.size(); ++i)
  {
    worst = std::max(worst, std::fabs(double(a[i + lat]) - b[i]));
    energy += double(b[i]) * b[i];
  }
  // Both are float files from the same engine: equal to float rounding (1e-5 with margin).
  EXPECT_LE(worst, 1e-5);
  EXPECT_GT(energy, 100.0); // not silence
}
