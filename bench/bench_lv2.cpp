// bench-lv2: the LV2 build beside the LSP parametric equaliser's LV2 in FIR mode (a peer installed
// for benchmarks only), both loaded through the same lilv host and run on the same stereo noise in
// 512-frame blocks at 44.1 kHz. Prints the ratio of their times per block at the end of the run.
#include <benchmark/benchmark.h>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kBlock = 512;
constexpr const char* kTarvexUri = "urn:vennmoor:tarvex";
constexpr const char* kLspUri = "http://lsp-plug.in/plugins/lv2/para_equalizer_x16_stereo";

std::map<std::string, LV2_URID>& Ids()
{
  static std::map<std::string, LV2_URID> ids;
  return ids;
}
LV2_URID Map(LV2_URID_Map_Handle, const char* uri)
{
  auto it = Ids().find(uri);
  if (it != Ids().end()) return it->second;
  const LV2_URID id = static_cast<LV2_URID>(Ids().size() + 1);
  Ids()[uri] = id;
  return id;
}
LV2_URID_Map gMap = {nullptr, Map};

LilvWorld* World()
{
  static LilvWorld* world = []
  {
    LilvWorld* w = lilv_world_new();
    lilv_world_load_all(w); // the installed plug-ins, LSP's among them
    // and the bundle of this build tree
    LilvNode* bundle = lilv_new_file_uri(w, nullptr, TARVEX_BENCH_LV2_BUNDLE "/");
    lilv_world_load_bundle(w, bundle);
    lilv_node_free(bundle);
    return w;
  }();
  return world;
}

// One instance with every port connected: audio to the host's buffers, controls to their
// defaults (with overrides by symbol), atom ports to empty sequences.
struct Host
{
  LilvInstance* instance = nullptr;
  std::vector<float> controls;
  std::vector<std::vector<uint8_t>> atoms;
  std::vector<uint32_t> atomOutputs;
  std::vector<uint32_t> audioIn, audioOut;
  int32_t maxBlock = kBlock;
  LV2_Options_Option options[2];
  LV2_Feature mapFeature{LV2_URID__map, &gMap};
  LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
  const LV2_Feature* features[3] = {&mapFeature, &optionsFeature, nullptr};
  std::vector<float> l, r, ol, orr;

  bool Open(const char* uri, const std::map<std::string, float>& settings, std::string* error)
  {
    LilvNode* node = lilv_new_uri(World(), uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(World()), node);
    lilv_node_free(node);
    if (!plugin)
    {
      *error = std::string("not installed: ") + uri;
      return false;
    }
    options[0] = {LV2_OPTIONS_INSTANCE,
                  0,
                  Map(nullptr, LV2_BUF_SIZE__maxBlockLength),
                  sizeof(int32_t),
                  Map(nullptr, LV2_ATOM__Int),
                  &maxBlock};
    options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    instance = lilv_plugin_instantiate(plugin, 44100.0, features);
    if (!instance)
    {
      *error = std::string("cannot instantiate ") + uri;
      return false;
    }
    const uint32_t n = lilv_plugin_get_num_ports(plugin);
    controls.assign(n, 0.0f);
    atoms.resize(n);
    std::vector<float> defaults(n);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    LilvNode* audio = lilv_new_uri(World(), LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(World(), LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(World(), LV2_CORE__InputPort);
    LilvNode* atom = lilv_new_uri(World(), LV2_ATOM__AtomPort);
    l.resize(kBlock);
    r.resize(kBlock);
    ol.resize(kBlock);
    orr.resize(kBlock);
    uint32_t seed = 1;
    for (int i = 0; i < kBlock; ++i)
    {
      seed = seed * 1664525u + 1013904223u;
      l[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
      seed = seed * 1664525u + 1013904223u;
      r[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
    for (uint32_t p = 0; p < n; ++p)
    {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
      const bool in = lilv_port_is_a(plugin, port, input);
      if (lilv_port_is_a(plugin, port, audio))
      {
        std::vector<uint32_t>& list = in ? audioIn : audioOut;
        list.push_back(p);
      }
      else if (lilv_port_is_a(plugin, port, atom))
      {
        atoms[p].assign(8192, 0);
        if (!in) atomOutputs.push_back(p);
        lilv_instance_connect_port(instance, p, atoms[p].data());
      }
      else
      {
        const char* symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        auto it = settings.find(symbol);
        controls[p] =
            it != settings.end() ? it->second : (std::isnan(defaults[p]) ? 0 : defaults[p]);
        lilv_instance_connect_port(instance, p, &controls[p]);
      }
      (void)control;
    }
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(input);
    lilv_node_free(atom);
    if (audioIn.size() < 2 || audioOut.size() < 2)
    {
      *error = std::string("not a stereo plug-in: ") + uri;
      return false;
    }
    lilv_instance_connect_port(instance, audioIn[0], l.data());
    lilv_instance_connect_port(instance, audioIn[1], r.data());
    lilv_instance_connect_port(instance, audioOut[0], ol.data());
    lilv_instance_connect_port(instance, audioOut[1], orr.data());
    lilv_instance_activate(instance);
    return true;
  }
  void Run()
  {
    for (uint32_t p = 0; p < atoms.size(); ++p)
    {
      if (atoms[p].empty()) continue;
      auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atoms[p].data());
      bool output = false;
      for (uint32_t o : atomOutputs) output |= o == p;
      seq->atom.type = Map(nullptr, output ? LV2_ATOM__Chunk : LV2_ATOM__Sequence);
      seq->atom.size = output ? static_cast<uint32_t>(atoms[p].size() - sizeof(LV2_Atom))
                              : sizeof(LV2_Atom_Sequence_Body);
      seq->body.unit = 0;
      seq->body.pad = 0;
    }
    lilv_instance_run(instance, kBlock);
  }
  ~Host()
  {
    if (!instance) return;
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
  }
};

double gSeconds[2] = {0.0, 0.0};

// Settings alike for both: four bands (one boost, one cut, a shelf-like slope and a high band).
void BM_Lv2(benchmark::State& state, int which)
{
  static const std::map<std::string, float> tarvex = {
      {"band_a_gain", 6.0f}, {"band_b_gain", -4.0f}, {"band_c_gain", 3.0f}, {"band_d_gain", -2.0f}};
  static const std::map<std::string, float> lsp = {{"mode", 1.0f}}; // 1: FIR
  Host host;
  std::string error;
  if (!host.Open(which == 0 ? kTarvexUri : kLspUri, which == 0 ? tarvex : lsp, &error))
  {
    state.SkipWithError(error.c_str());
    return;
  }
  for (int i = 0; i < 64; ++i) host.Run(); // past the first kernels
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state)
  {
    host.Run();
    benchmark::DoNotOptimize(host.ol.data());
  }
  gSeconds[which] =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK_CAPTURE(BM_Lv2, Tarvex, 0);
BENCHMARK_CAPTURE(BM_Lv2, LspParaEqualiserFir, 1);
} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (gSeconds[0] > 0.0 && gSeconds[1] > 0.0)
    printf("bench-lv2: Tarvex LV2 / LSP para equaliser x16 stereo (FIR) time per block: %.2f\n",
           gSeconds[0] / gSeconds[1]);
  benchmark::Shutdown();
  return 0;
}
