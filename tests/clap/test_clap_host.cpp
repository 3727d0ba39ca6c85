// Tarvex.clap as a host sees it: the entry and descriptor, audio ports and their configurations,
// parameters and their texts, state through streams that deliver bytes in pieces, bad state
// refused, latency announced through a restart, and calls on the wrong thread ignored and reported.
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/clap/ClapTestHost.h"
#include "tests/vst/VstTestHost.h"

using namespace claptest;

namespace
{
constexpr clap_id kBandAOn = 0, kBandAGain = 4, kBandAFreq = 8, kColour = 19, kResolution = 21,
                  kInputBufferSize = 22;

std::vector<uint8_t> Doubles(const std::vector<double>& values)
{
  std::vector<uint8_t> bytes(values.size() * 8);
  memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

// The VST bundle's latency after the same settings at that rate (its initialDelay once a block has
// run the reset).
int VstLatency(float rate, const std::vector<std::pair<clap_id, double>>& settings)
{
  vsttest::Instance vst;
  if (!vst) return -1;
  vst.Start(rate, 512);
  for (const auto& s : settings)
  {
    char text[64];
    snprintf(text, sizeof(text), "%.17g", s.second);
    vst.Dispatch(effString2Parameter, static_cast<int32_t>(s.first), 0, text);
  }
  std::vector<float> l(512), r(512);
  float* io[2] = {l.data(), r.data()};
  vst->processReplacing(vst.get(), io, io, 512);
  return vst->initialDelay;
}
} // namespace

TEST(ClapEntry, DescriptorAndFactory)
{
  const clap_plugin_entry_t* entry = Entry();
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(ClapVersionIsCompatible(entry->clap_version));
  EXPECT_TRUE(entry->init(PluginFile().c_str())) << "a second init is allowed";
  EXPECT_EQ(entry->get_factory("clap.no-such-factory"), nullptr);
  EXPECT_EQ(entry->get_factory(nullptr), nullptr);
  const clap_plugin_factory_t* factory = Factory();
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->get_plugin_count(factory), 1u);
  EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
  const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(ClapVersionIsCompatible(d->clap_version));
  EXPECT_STREQ(d->id, "com.vennmoor.tarvex");
  EXPECT_STREQ(d->name, "Tarvex");
  EXPECT_STREQ(d->vendor, "Vennmoor");
  EXPECT_STREQ(d->version, "1.0.0");
  std::vector<std::string> features;
  for (const char* const* f = d->features; f && *f; ++f) features.push_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "equalizer", "stereo", "mono"}));

  Host host;
  EXPECT_EQ(factory->create_plugin(factory, host.get(), "com.vennmoor.other"), nullptr);
  EXPECT_EQ(factory->create_plugin(factory, host.get(), nullptr), nullptr);
  EXPECT_EQ(factory->create_plugin(factory, nullptr, d->id), nullptr);
  Host old;
  const_cast<clap_host_t*>(old.get())->clap_version = {0, 9, 0};
  EXPECT_EQ(factory->create_plugin(factory, old.get(), d->id), nullptr);
  Instance plug(host);
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->desc, d);
  EXPECT_EQ(plug->get_extension(plug.get(), "clap.no-such-extension"), nullptr);
  for (const char* id : {CLAP_EXT_AUDIO_PORTS, CLAP_EXT_AUDIO_PORTS_CONFIG, CLAP_EXT_PARAMS,
                         CLAP_EXT_STATE, CLAP_EXT_LATENCY, CLAP_EXT_GUI, CLAP_EXT_RENDER,
                         CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT})
    EXPECT_NE(plug->get_extension(plug.get(), id), nullptr) << id;
  const auto* render = plug.Extension<clap_plugin_render_t>(CLAP_EXT_RENDER);
  EXPECT_FALSE(render->has_hard_realtime_requirement(plug.get()));
  EXPECT_TRUE(render->set(plug.get(), CLAP_RENDER_OFFLINE));
  EXPECT_TRUE(render->set(plug.get(), CLAP_RENDER_REALTIME));
  EXPECT_FALSE(render->set(plug.get(), 7));
}

TEST(ClapEntry, ExportsOnlyTheEntry)
{
  const std::string command = "nm -D --defined-only '" + PluginFile() + "' | awk '{print $3}'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string names;
  char line[256];
  while (fgets(line, sizeof(line), pipe)) names += line;
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, "clap_entry\n");
}

TEST(ClapPorts, OneStereoPortAndAMonoConfiguration)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  const auto* ports = plug.Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
  const auto* configs =
      plug.Extension<clap_plugin_audio_ports_config_t>(CLAP_EXT_AUDIO_PORTS_CONFIG);
  for (bool input : {true, false})
  {
    ASSERT_EQ(ports->count(plug.get(), input), 1u);
    clap_audio_port_info_t info;
    ASSERT_TRUE(ports->get(plug.get(), 0, input, &info));
    EXPECT_EQ(info.id, 0u);
    EXPECT_EQ(info.channel_count, 2u);
    EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
    EXPECT_TRUE(info.flags & CLAP_AUDIO_PORT_IS_MAIN);
    EXPECT_EQ(info.in_place_pair, 0u);
    EXPECT_FALSE(ports->get(plug.get(), 1, input, &info));
  }
  ASSERT_EQ(configs->count(plug.get()), 2u);
  // The channel configurations "1-1 2-2".
  const struct
  {
    uint32_t index, channels;
    const char* type;
  } kConfigs[] = {{0, 2, CLAP_PORT_STEREO}, {1, 1, CLAP_PORT_MONO}};
  for (const auto& c : kConfigs)
  {
    clap_audio_ports_config_t config;
    ASSERT_TRUE(configs->get(plug.get(), c.index, &config));
    EXPECT_EQ(config.input_port_count, 1u);
    EXPECT_EQ(config.output_port_count, 1u);
    EXPECT_TRUE(config.has_main_input && config.has_main_output);
    EXPECT_EQ(config.main_input_channel_count, c.channels);
    EXPECT_EQ(config.main_output_channel_count, c.channels);
    EXPECT_STREQ(config.main_input_port_type, c.type);
    ASSERT_TRUE(configs->select(plug.get(), config.id));
    clap_audio_port_info_t info;
    ASSERT_TRUE(ports->get(plug.get(), 0, true, &info));
    EXPECT_EQ(info.channel_count, c.channels);
  }
  clap_audio_ports_config_t config;
  EXPECT_FALSE(configs->get(plug.get(), 2, &config));
  EXPECT_FALSE(configs->select(plug.get(), 9));
}

TEST(ClapParams, TableAsTheVstBundleNamesIt)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  vsttest::Instance vst;
  ASSERT_TRUE(vst);
  const clap_plugin_params_t* params = plug.Params();
  ASSERT_EQ(params->count(plug.get()), static_cast<uint32_t>(kParamCount));
  for (uint32_t i = 0; i < kParamCount; ++i)
  {
    clap_param_info_t info;
    ASSERT_TRUE(params->get_info(plug.get(), i, &info));
    EXPECT_EQ(info.id, i) << "ids are the indexes";
    EXPECT_EQ(std::string(info.name), vst.Text(effGetParamName, static_cast<int>(i))) << i;
    EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
    EXPECT_TRUE(std::isfinite(info.min_value) && std::isfinite(info.max_value));
    EXPECT_LT(info.min_value, info.max_value) << i;
    EXPECT_GE(info.default_value, info.min_value) << i;
    EXPECT_LE(info.default_value, info.max_value) << i;
    // A new instance (no preferences file) holds the defaults.
    EXPECT_EQ(plug.Value(i), info.default_value) << i;
  }
  clap_param_info_t info;
  EXPECT_FALSE(params->get_info(plug.get(), kParamCount, &info));
  double v;
  EXPECT_FALSE(params->get_value(plug.get(), kParamCount, &v));
  // Real units: band A's frequency is in Hz, its switch stepped.
  ASSERT_TRUE(params->get_info(plug.get(), kBandAFreq, &info));
  EXPECT_EQ(info.default_value, 80.0);
  EXPECT_EQ(info.max_value, 20000.0);
  ASSERT_TRUE(params->get_info(plug.get(), kBandAOn, &info));
  EXPECT_TRUE(info.flags & CLAP_PARAM_IS_STEPPED);
  ASSERT_TRUE(params->get_info(plug.get(), kColour, &info));
  EXPECT_TRUE(info.flags & CLAP_PARAM_IS_STEPPED);
}

// value_to_text gives the plug-in's own display text with its unit, text_to_value reads it back.
TEST(ClapParams, TextsRoundTrip)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  const clap_plugin_params_t* params = plug.Params();
  const struct
  {
    clap_id id;
    double value;
    const char* text;
  } kTexts[] = {
      {kBandAOn, 1.0, "on"},          {kBandAOn, 0.0, "off"},
      {kBandAGain, 6.0, "6.00 dB"},   {kBandAFreq, 1234.5, "1234.50 Hz"},
      {12, -3.25, "-3.25 dB/oct"},    {kResolution, 2.0, "2.0 x"},
      {kInputBufferSize, 0.0, "0 x"}, {kColour, 2.0, "2"},
      {17, -60.0, "-60.00 dB"},
  };
  for (const auto& t : kTexts)
  {
    char text[64];
    ASSERT_TRUE(params->value_to_text(plug.get(), t.id, t.value, text, sizeof(text)));
    EXPECT_STREQ(text, t.text) << t.id;
    double back = NAN;
    ASSERT_TRUE(params->text_to_value(plug.get(), t.id, text, &back)) << text;
    EXPECT_EQ(back, t.value) << text;
  }
  // Every parameter over its range: the text of the value read back gives the same text.
  for (uint32_t i = 0; i < kParamCount; ++i)
  {
    clap_param_info_t info;
    ASSERT_TRUE(params->get_info(plug.get(), i, &info));
    for (double f : {0.0, 0.13, 0.5, 0.77, 1.0})
    {
      const double value = info.min_value + f * (info.max_value - info.min_value);
      char text[64], again[64];
      ASSERT_TRUE(params->value_to_text(plug.get(), i, value, text, sizeof(text)));
      double back = NAN;
      ASSERT_TRUE(params->text_to_value(plug.get(), i, text, &back)) << i << " " << text;
      EXPECT_GE(back, info.min_value);
      EXPECT_LE(back, info.max_value);
      ASSERT_TRUE(params->value_to_text(plug.get(), i, back, again, sizeof(again)));
      EXPECT_STREQ(again, text) << i;
    }
  }
  // Bad input fails cleanly; a short buffer is cut, not overrun.
  double v = 42.0;
  EXPECT_FALSE(params->text_to_value(plug.get(), kBandAGain, "loud", &v));
  EXPECT_FALSE(params->text_to_value(plug.get(), kBandAGain, "", &v));
  EXPECT_FALSE(params->text_to_value(plug.get(), kBandAGain, nullptr, &v));
  EXPECT_FALSE(params->text_to_value(plug.get(), kParamCount, "1", &v));
  EXPECT_EQ(v, 42.0);
  EXPECT_TRUE(params->text_to_value(plug.get(), kBandAGain, "1e9", &v));
  EXPECT_EQ(v, 60.0) << "clamped to the range";
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_TRUE(params->value_to_text(plug.get(), kBandAFreq, 1234.5, small, 3));
  EXPECT_STREQ(small, "12");
  EXPECT_FALSE(params->value_to_text(plug.get(), kBandAGain, NAN, small, sizeof(small)));
  EXPECT_FALSE(params->value_to_text(plug.get(), kParamCount, 1.0, small, sizeof(small)));
}

// flush applies values outside processing: stepped values land on their grid, others are clamped,
// unknown ids and other events change nothing.
TEST(ClapParams, FlushAppliesHostValues)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  plug.Flush({{kBandAGain, 7.5},
              {kColour, 2.4},
              {kBandAOn, 0.2},
              {kBandAFreq, 1e9},
              {99, 1.0},
              {kResolution, NAN}});
  EXPECT_EQ(plug.Value(kBandAGain), 7.5);
  EXPECT_EQ(plug.Value(kColour), 2.0);
  EXPECT_EQ(plug.Value(kBandAOn), 0.0);
  EXPECT_EQ(plug.Value(kBandAFreq), 20000.0);
  EXPECT_EQ(plug.Value(kResolution), 1.0);
  // While active, flush runs on the audio thread.
  ASSERT_TRUE(plug.Activate());
  plug.Flush({{kBandAGain, -3.0}});
  EXPECT_EQ(plug.Value(kBandAGain), -3.0);
}

// The same 192-byte parameter state as the other formats, through streams that take and give a
// few bytes per call; a second instance loads it and saves the same bytes.
TEST(ClapState, RoundTripsByteIdentically)
{
  Host host;
  Instance a(host), b(host);
  ASSERT_TRUE(a && b);
  a.Flush({{kBandAGain, 6.25},
           {kBandAFreq, 123.456789},
           {13, -2.5},
           {kResolution, 3.3},
           {kColour, 3.0}});
  const std::vector<uint8_t> saved = a.Save(7);
  ASSERT_EQ(saved.size(), 192u);
  EXPECT_EQ(saved, a.Save()) << "the same bytes whatever the stream takes per call";
  double freq;
  memcpy(&freq, saved.data() + 8 * kBandAFreq, 8);
  EXPECT_EQ(freq, 123.456789);

  // The VST bundle's program chunk carries the same state after its 8-byte header.
  vsttest::Instance vst;
  ASSERT_TRUE(vst);
  for (clap_id i = 0; i < kParamCount; ++i)
  {
    char text[64];
    snprintf(text, sizeof(text), "%.17g", a.Value(i));
    vst.Dispatch(effString2Parameter, static_cast<int32_t>(i), 0, text);
  }
  void* chunk = nullptr;
  const VstIntPtr size = vst.Dispatch(effGetChunk, 1, 0, &chunk);
  ASSERT_EQ(size, 200);
  EXPECT_EQ(
      std::vector<uint8_t>(static_cast<uint8_t*>(chunk) + 8, static_cast<uint8_t*>(chunk) + 200),
      saved);

  host.ClearCalls();
  ASSERT_TRUE(b.Load(saved, 5));
  EXPECT_EQ(b.Save(), saved);
  for (clap_id i = 0; i < kParamCount; ++i) EXPECT_EQ(b.Value(i), a.Value(i)) << i;
  EXPECT_EQ(host.Count("params.rescan"), 1) << "the host re-reads the values";
  EXPECT_EQ(host.CountOff("params.rescan", On::kMain), 0);
}

TEST(ClapState, BadStreamsAreRefusedAndChangeNothing)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  plug.Flush({{kBandAGain, 4.0}});
  const std::vector<uint8_t> before = plug.Save();
  std::vector<double> good(kParamCount);
  memcpy(good.data(), before.data(), before.size());
  auto with = [&](int index, double value)
  {
    std::vector<double> v = good;
    v[static_cast<size_t>(index)] = value;
    return Doubles(v);
  };
  std::vector<uint8_t> changed = Doubles(good);
  changed[8 * kBandAGain] ^= 1; // a valid state that differs, for the failing reads below
  std::vector<uint8_t> longer = changed;
  longer.push_back(0);
  const struct
  {
    const char* what;
    std::vector<uint8_t> bytes;
    uint64_t chunk;
    int failAt;
  } kBad[] = {
      {"empty", {}, 64, -1},
      {"one byte short", std::vector<uint8_t>(changed.begin(), changed.end() - 1), 64, -1},
      {"one byte long", longer, 64, -1},
      {"far longer", std::vector<uint8_t>(4096, 0), 1000, -1},
      {"NaN", with(3, NAN), 192, -1},
      {"infinity", with(kParamCount - 1, INFINITY), 7, -1},
      {"minus infinity", with(kBandAGain, -INFINITY), 192, -1},
      {"read error at once", changed, 192, 0},
      {"read error midway", changed, 50, 2},
      {"read error at the end", changed, 192, 1},
  };
  for (const auto& bad : kBad)
  {
    host.ClearCalls();
    EXPECT_FALSE(plug.Load(bad.bytes, bad.chunk, bad.failAt)) << bad.what;
    EXPECT_EQ(plug.Save(), before) << bad.what;
    EXPECT_EQ(host.Count("params.rescan"), 0) << bad.what;
  }
  const auto* state = plug.Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  EXPECT_FALSE(state->load(plug.get(), nullptr));
  EXPECT_FALSE(state->save(plug.get(), nullptr));
  // Control: the changed state itself is taken.
  EXPECT_TRUE(plug.Load(changed, 64));
  EXPECT_EQ(plug.Save(), changed);

  // Saving into a stream that fails, or takes nothing, reports failure.
  OutStream failing(64, 1);
  EXPECT_FALSE(state->save(plug.get(), failing.get()));
  OutStream stuck(0);
  EXPECT_FALSE(state->save(plug.get(), stuck.get()));
}

// While active, a setting that changes the latency makes the plug-in ask for a restart; at the
// next activation it tells the host (latency.changed, on the main thread) and reports the value
// the VST build reports for the same setting. Rate changes come with activation itself.
TEST(ClapLatency, ChangesAreAnnouncedThroughARestart)
{
  const struct
  {
    clap_id id;
    double value;
    double rate;
  } kChanges[] = {
      {kResolution, 2.0, 44100.0},
      {kInputBufferSize, 0.0, 44100.0},
      {kResolution, 0.2, 96000.0},
      {kInputBufferSize, 3.0, 8000.0},
  };
  for (const auto& c : kChanges)
  {
    Host host;
    Instance plug(host);
    ASSERT_TRUE(plug);
    ASSERT_TRUE(plug.Activate(44100.0, 512));
    EXPECT_EQ(plug.Latency(), static_cast<uint32_t>(kLatency44k));
    EXPECT_EQ(host.Count("latency.changed"), 0) << "nothing to announce at the first activation";
    plug.Process(Stereo(1024), 512, {{100, {c.id, c.value}}});
    EXPECT_EQ(host.Count("request_restart"), 1) << c.id;
    EXPECT_EQ(host.Count("latency.changed"), 0) << "only while being activated";
    plug.Process(Stereo(1024), 512);
    EXPECT_EQ(host.Count("request_restart"), 1) << "asked once";
    plug.Deactivate();
    ASSERT_TRUE(plug.Activate(c.rate, 512));
    EXPECT_EQ(host.Count("latency.changed"), 1) << c.id;
    EXPECT_EQ(host.CountOff("latency.changed", On::kMain), 0);
    const int expected = VstLatency(static_cast<float>(c.rate), {{c.id, c.value}});
    EXPECT_EQ(plug.Latency(), static_cast<uint32_t>(expected)) << c.id << " at " << c.rate;
    EXPECT_NE(plug.Latency(), static_cast<uint32_t>(kLatency44k));
    // Reactivating with nothing changed announces nothing.
    plug.Deactivate();
    ASSERT_TRUE(plug.Activate(c.rate, 512));
    EXPECT_EQ(host.Count("latency.changed"), 1);
  }
  // A setting changed while inactive is announced at activation without a restart.
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug.Activate(44100.0, 512));
  plug.Deactivate();
  plug.Flush({{kResolution, 4.0}});
  ASSERT_TRUE(plug.Activate(44100.0, 512));
  EXPECT_EQ(host.Count("request_restart"), 0);
  EXPECT_EQ(host.Count("latency.changed"), 1);
  EXPECT_EQ(plug.Latency(), static_cast<uint32_t>(VstLatency(44100.0f, {{kResolution, 4.0}})));
}

// With thread-check, a call on the wrong thread is ignored; debug builds report it in the log.
TEST(ClapThreads, WrongThreadCallsAreIgnoredAndReported)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug.Activate(44100.0, 256));
  host.ClearCalls();
  // process on the main thread.
  std::vector<float> l(256, 0.1f), r(256, 0.1f), ol(256, 7.0f), or_(256, 7.0f);
  float* in[2] = {l.data(), r.data()};
  float* out[2] = {ol.data(), or_.data()};
  EXPECT_EQ(plug.ProcessCall(in, out, 256), CLAP_PROCESS_ERROR);
  EXPECT_EQ(ol[0], 7.0f) << "nothing processed";
  // Main-thread functions on the audio thread.
  const clap_plugin_params_t* params = plug.Params();
  const auto* gui = plug.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  OutStream stream;
  host.OnAudio(
      [&]
      {
        EXPECT_EQ(params->count(plug.get()), 0u);
        double v = -1.0;
        EXPECT_FALSE(params->get_value(plug.get(), 0, &v));
        EXPECT_FALSE(gui->create(plug.get(), CLAP_WINDOW_API_X11, false));
        EXPECT_FALSE(
            plug.Extension<clap_plugin_state_t>(CLAP_EXT_STATE)->save(plug.get(), stream.get()));
        plug->deactivate(plug.get());
      });
  EXPECT_TRUE(stream.bytes.empty());
  EXPECT_TRUE(plug.Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY)->get(plug.get()) > 0)
      << "still active: the deactivate on the audio thread was ignored";
  EXPECT_EQ(params->count(plug.get()), static_cast<uint32_t>(kParamCount));
#ifndef NDEBUG
  std::vector<std::string> logged;
  for (const Call& c : host.Calls())
    if (c.name == "log") logged.push_back(c.text);
  ASSERT_EQ(logged.size(), 6u);
  EXPECT_NE(logged[0].find("process"), std::string::npos) << logged[0];
  EXPECT_NE(logged[1].find("params.count"), std::string::npos) << logged[1];
  EXPECT_NE(logged[5].find("deactivate"), std::string::npos) << logged[5];
#endif
  // A host without thread-check is taken at its word.
  Host trusting(HostOptions{false});
  Instance other(trusting);
  ASSERT_TRUE(other.Activate(44100.0, 256));
  EXPECT_EQ(other.ProcessCall(in, out, 256), CLAP_PROCESS_CONTINUE);
}

// Calls out of order or with missing pieces: refused or ignored, never a crash.
TEST(ClapThreads, CallsOutOfOrderAreHandled)
{
  Host host;
  Instance plug(host);
  ASSERT_TRUE(plug);
  host.OnAudio(
      [&]
      {
        EXPECT_FALSE(plug->start_processing(plug.get())) << "not active";
        plug->reset(plug.get());
        EXPECT_EQ(plug->process(plug.get(), nullptr), CLAP_PROCESS_ERROR);
        std::vector<float> l(64);
        float* io[2] = {l.data(), l.data()};
        EXPECT_EQ(plug.ProcessCall(io, io, 64), CLAP_PROCESS_ERROR) << "not active";
      });
  plug->deactivate(plug.get()); // not active: nothing
  ASSERT_TRUE(plug.Activate(48000.0, 64));
  EXPECT_FALSE(plug->activate(plug.get(), 48000.0, 1, 64)) << "already active";
  host.OnAudio(
      [&]
      {
        // No buffers, no events lists, zero frames.
        clap_process_t p{};
        p.frames_count = 64;
        EXPECT_EQ(plug->process(plug.get(), &p), CLAP_PROCESS_CONTINUE);
        p.frames_count = 0;
        EXPECT_EQ(plug->process(plug.get(), &p), CLAP_PROCESS_CONTINUE);
      });
  plug.DestroyAsIs(); // still active and processing: destroy stops and deactivates first
}
