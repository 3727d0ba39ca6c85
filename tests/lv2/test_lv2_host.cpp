// The LV2 bundle through lilv, as a host loads it: ports, blocks, controls, latency, state, bad
// input, and the same output as the VST bundle.
#include <cmath>
#include <vector>

#include "tests/lv2/Lv2TestHost.h"
#include "tests/vst/VstTestHost.h"

using namespace lv2test;

namespace
{
// Ratio of the RMS of a to the RMS of b over [from, end).
double RmsRatio(const std::vector<float>& a, const std::vector<float>& b, size_t from)
{
  double sa = 0.0, sb = 0.0;
  for (size_t i = from; i < a.size(); ++i)
  {
    sa += double(a[i]) * a[i];
    sb += double(b[i]) * b[i];
  }
  return std::sqrt(sa / sb);
}

double MaxDifference(const std::vector<float>& a, const std::vector<float>& b)
{
  double d = 0.0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    d = std::max(d, std::fabs(double(a[i]) - b[i]));
  return d;
}

// Settings used by the comparisons: every parameter away from its default.
const std::vector<std::pair<int, float>> kSettings = {{4, 6.0f},  {8, 150.0f}, {5, -9.0f},
                                                      {13, 3.5f}, {17, -2.0f}, {21, 1.0f},
                                                      {22, 1.0f}, {23, 60.0f}};

struct Store
{
  std::vector<uint8_t> bytes;
  uint32_t key = 0, type = 0;
  static LV2_State_Status Put(LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                              uint32_t type, uint32_t)
  {
    auto* s = static_cast<Store*>(h);
    s->key = key;
    s->type = type;
    s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
    return LV2_STATE_SUCCESS;
  }
  static const void* Get(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                         uint32_t* flags)
  {
    auto* s = static_cast<Store*>(h);
    if (key != s->key) return nullptr;
    *size = s->bytes.size();
    *type = s->type;
    *flags = LV2_STATE_IS_POD;
    return s->bytes.data();
  }
};
} // namespace

TEST(Lv2Host, PortsAsDescribed)
{
  ASSERT_NE(TheWorld().plugin, nullptr) << "bundle not found under " << PathFolder();
  const LilvPlugin* p = TheWorld().plugin;
  EXPECT_EQ(lilv_plugin_get_num_ports(p), kPortCount);
  struct Row
  {
    uint32_t index;
    const char* symbol;
    float def, min, max;
  };
  // Tolerance: the Turtle literals are read back as floats.
  const Row rows[] = {
      {4, "band_a_on", 1, 0, 1},          {9, "band_b_gain", 1e-6f, -68.685889f, 60},
      {12, "band_a_freq", 80, 0, 20000},  {20, "transpose", 0, -120, 120},
      {21, "overall_gain", 0, -60, 60},   {23, "colour", 0, 0, 3},
      {26, "input_buffer_size", 1, 0, 3}, {27, "limiter", 0, -30, 60}};
  for (const Row& r : rows)
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(p, r.index);
    ASSERT_NE(port, nullptr);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(p, port)), r.symbol);
    LilvNode *def, *lo, *hi;
    lilv_port_get_range(p, port, &def, &lo, &hi);
    EXPECT_NEAR(lilv_node_as_float(def), r.def, 1e-4) << r.symbol;
    EXPECT_NEAR(lilv_node_as_float(lo), r.min, 1e-4) << r.symbol;
    EXPECT_NEAR(lilv_node_as_float(hi), r.max, 1e-4) << r.symbol;
    lilv_node_free(def);
    lilv_node_free(lo);
    lilv_node_free(hi);
  }
  LilvNode* latency = lilv_new_uri(TheWorld().world, LV2_CORE__latency);
  LilvNode* output = lilv_new_uri(TheWorld().world, LV2_CORE__OutputPort);
  const LilvPort* lat = lilv_plugin_get_port_by_designation(p, output, latency);
  lilv_node_free(output);
  ASSERT_NE(lat, nullptr);
  EXPECT_EQ(lilv_port_get_index(p, lat), kLatencyPort);
  lilv_node_free(latency);
}

// Any host block size gives the same output (the engine gathers its own blocks), and the latency
// port carries B + L/2.
TEST(Lv2Host, BlockSizesGiveTheSameOutput)
{
  std::vector<float> inL, inR;
  Noise(inL, inR, 3 * 4096 + 123);
  std::vector<float> refL;
  for (int block : {4096, 1, 64, 512})
  {
    Instance plug;
    ASSERT_TRUE(plug);
    plug.Control(17) = 3.0f; // overall gain: not a pass-through
    std::vector<float> l = inL, r = inR;
    plug.Process(l, r, block);
    EXPECT_EQ(plug.Latency(), kLatency44k) << "block " << block;
    if (refL.empty())
    {
      refL = l;
      // The output is the input delayed by the latency (gain +3 dB, flat curve), within 0.02: the
      // finite kernel's ripple on broadband noise stays below that. From the first sample on: the
      // control set before the first run is in the first block's kernel.
      for (size_t i = kLatency44k; i < l.size(); i += 97)
        EXPECT_NEAR(l[i], inL[i - kLatency44k] * std::pow(10.0, 3.0 / 20.0), 0.02) << i;
    }
    else
      EXPECT_LE(MaxDifference(l, refL), 1e-6) << "block " << block; // float rounding only
  }
}

// Control ports are real units; a changed value reaches the engine, and the latency follows
// Resolution and Input Buffer Size.
TEST(Lv2Host, ControlsReachTheEngine)
{
  std::vector<float> inL, inR;
  Noise(inL, inR, 44100);
  Instance flat, quiet;
  ASSERT_TRUE(flat && quiet);
  quiet.Control(17) = -6.0f;
  std::vector<float> a = inL, b = inR, c = inL, d = inR;
  flat.Process(a, b, 512);
  quiet.Process(c, d, 512);
  // 10^(-6/20) = 0.501; 1 % covers the kernel's ripple on noise.
  EXPECT_NEAR(RmsRatio(c, a, 8192), 0.501, 0.005);

  quiet.Control(22) = 2.0f; // Input Buffer Size: a longer buffer, a longer latency
  std::vector<float> e(4096, 0.0f), f(4096, 0.0f);
  quiet.Process(e, f, 512);
  EXPECT_GT(quiet.Latency(), kLatency44k);
  quiet.Control(22) = 1.0f;
  quiet.Process(e, f, 512);
  EXPECT_EQ(quiet.Latency(), kLatency44k);
}

TEST(Lv2Host, StateRestoresIntoASecondInstance)
{
  Instance a;
  ASSERT_TRUE(a);
  for (const auto& s : kSettings) a.Control(s.first) = s.second;
  std::vector<float> warm(1024, 0.0f), warm2(1024, 0.0f);
  a.Process(warm, warm2, 512);
  Store store;
  ASSERT_EQ(a.StateInterface()->save(lilv_instance_get_handle(a.get()), Store::Put, &store, 0,
                                     a.Features()),
            LV2_STATE_SUCCESS);
  EXPECT_EQ(store.bytes.size(), 192u);
  EXPECT_EQ(store.type, Urids()(LV2_ATOM__Chunk));

  Instance b;
  ASSERT_TRUE(b);
  ASSERT_EQ(b.StateInterface()->restore(lilv_instance_get_handle(b.get()), Store::Get, &store, 0,
                                        b.Features()),
            LV2_STATE_SUCCESS);
  Store again;
  b.StateInterface()->save(lilv_instance_get_handle(b.get()), Store::Put, &again, 0, b.Features());
  EXPECT_EQ(again.bytes, store.bytes);

  // Wrong size, wrong type, a NaN value: refused, nothing changed.
  struct Bad
  {
    const char* what;
    size_t size;
    uint32_t type;
    bool nan;
  };
  const Bad bads[] = {{"short", 100, Urids()(LV2_ATOM__Chunk), false},
                      {"long", 200, Urids()(LV2_ATOM__Chunk), false},
                      {"empty", 0, Urids()(LV2_ATOM__Chunk), false},
                      {"type", 192, Urids()(LV2_ATOM__Int), false},
                      {"nan", 192, Urids()(LV2_ATOM__Chunk), true}};
  for (const Bad& bad : bads)
  {
    Store wrong = store;
    wrong.bytes.assign(bad.size, 0x41);
    if (bad.nan)
    {
      wrong.bytes = store.bytes;
      const double nan = NAN;
      memcpy(wrong.bytes.data() + 8 * 5, &nan, 8);
    }
    wrong.type = bad.type;
    EXPECT_NE(b.StateInterface()->restore(lilv_instance_get_handle(b.get()), Store::Get, &wrong, 0,
                                          b.Features()),
              LV2_STATE_SUCCESS)
        << bad.what;
    Store after;
    b.StateInterface()->save(lilv_instance_get_handle(b.get()), Store::Put, &after, 0,
                             b.Features());
    EXPECT_EQ(after.bytes, store.bytes) << bad.what;
  }
  // Without a URID map anywhere the state cannot be typed: refused, no crash.
  Instance bare(44100.0, 0, false);
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare.StateInterface()->save(lilv_instance_get_handle(bare.get()), Store::Put, &store, 0,
                                        nullptr),
            LV2_STATE_ERR_NO_FEATURE);
}

// Quiet input near the bottom of the float range: no subnormal float reaches the output ports,
// while the signal above FLT_MIN still comes through.
TEST(Lv2Host, QuietInputGivesNoSubnormalOutput)
{
  Instance plug;
  ASSERT_TRUE(plug);
  std::vector<float> l, r;
  Noise(l, r, 44100);
  for (size_t i = 0; i < l.size(); ++i)
  {
    l[i] *= 1e-37f; // peak 5e-38: a quarter of the samples lie below FLT_MIN (1.2e-38)
    r[i] *= 1e-37f;
  }
  plug.Process(l, r, 512);
  int subnormal = 0, normal = 0;
  for (const std::vector<float>* out : {&l, &r})
    for (float v : *out)
    {
      subnormal += std::fpclassify(v) == FP_SUBNORMAL;
      normal += std::fpclassify(v) == FP_NORMAL;
    }
  EXPECT_EQ(subnormal, 0) << "of " << 2 * l.size();
  EXPECT_GT(normal, static_cast<int>(l.size())); // about three quarters after the latency
}

// Hosts that omit features, connect nothing, or run at unusual rates and blocks.
TEST(Lv2Host, BadInputRunsOrRefusesCleanly)
{
  for (double rate : {0.0, -44100.0, double(NAN), double(INFINITY), 1e9})
  {
    Instance plug(rate);
    EXPECT_FALSE(plug) << rate;
  }
  for (double rate : {8000.0, 22050.0, 96000.0, 384000.0})
  {
    Instance plug(rate, 1, false); // no features at all
    ASSERT_TRUE(plug) << rate;
    LilvInstance* in = plug.get();
    // Null audio ports: silence in, output discarded.
    for (uint32_t p = 0; p < 4; ++p) lilv_instance_connect_port(in, p, nullptr);
    lilv_instance_connect_port(in, kFirstParam + 3, nullptr);
    lilv_instance_run(in, 300);
    std::vector<float> l, r;
    Noise(l, r, 5000);
    plug.Process(l, r, 1000);
    for (size_t i = 0; i < l.size(); ++i) ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]));
    lilv_instance_run(in, 0);
  }
  Instance one(44100.0, 1); // maximum block of 1
  ASSERT_TRUE(one);
  std::vector<float> l, r;
  Noise(l, r, 3000);
  one.Process(l, r, 3000);
  EXPECT_EQ(one.Latency(), kLatency44k);
}

// Same engine as the VST bundle: equal output for the same input and settings.
TEST(Lv2Host, OutputEqualsTheVstBundle)
{
  vsttest::Instance vst;
  ASSERT_TRUE(vst);
  vst.Start(44100.0f, 512);
  Instance lv2;
  ASSERT_TRUE(lv2);
  for (const auto& s : kSettings)
  {
    lv2.Control(s.first) = s.second;
    char text[64];
    snprintf(text, sizeof(text), "%.9g", s.second);
    vst.Dispatch(effString2Parameter, s.first, 0, text);
  }
  std::vector<float> inL, inR;
  Noise(inL, inR, 6 * 4096);
  std::vector<float> l = inL, r = inR, vl(inL.size()), vr(inR.size());
  lv2.Process(l, r, 512);
  for (size_t start = 0; start < inL.size(); start += 512)
  {
    float* ins[2] = {&inL[start], &inR[start]};
    float* outs[2] = {&vl[start], &vr[start]};
    vst->processReplacing(vst.get(), ins, outs, 512);
  }
  EXPECT_LE(MaxDifference(l, vl), 1e-6); // float rounding only
  EXPECT_LE(MaxDifference(r, vr), 1e-6);
  EXPECT_GT(RmsRatio(l, inL, 8192), 0.1); // not silence
}
