// An in-process LV2 test host over lilv: a world holding only the LV2 vocabularies and the built
// bundle (through a private LV2_PATH folder of links), a URID map, and plug-in instances with
// their ports connected to buffers of the host's own.
//
// One thread; the world is made once per test program.
#pragma once

#include <gtest/gtest.h>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "dsp/ParamIndex.h"

namespace lv2test
{
constexpr const char* kUri = "urn:vennmoor:tarvex";
constexpr uint32_t kFirstParam = 4;
constexpr uint32_t kLatencyPort = kFirstParam + kParamCount;
constexpr uint32_t kPortCount = kLatencyPort + 1;
constexpr int kLatency44k = 2368; // B + L/2 with the default settings at 44.1 kHz

// LV2_PATH folder: links to the system's LV2 vocabulary bundles from lv2-dev (no other
// plug-ins) and to ours.
inline std::string PathFolder()
{
  static std::string folder = []
  {
    // One folder per test program (they may run at the same time), removed at exit.
    static std::string dir =
        std::string(TARVEX_TEST_BINARY_DIR) + "/tests/lv2-path-" + std::to_string(getpid());
    std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && for b in " +
                          "/usr/lib/lv2/*.lv2; do case $b in *lsp*) ;; *) ln -s $b '" + dir +
                          "'/;; esac; done && ln -s '" + TARVEX_TEST_BINARY_DIR + "/Tarvex.lv2' '" +
                          dir + "/Tarvex.lv2'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "cannot make " << dir;
    atexit(
        []
        {
          const std::string remove = "rm -rf '" + dir + "'";
          if (system(remove.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
        });
    return dir;
  }();
  return folder;
}

struct UridMap
{
  std::map<std::string, LV2_URID> ids;
  LV2_URID_Map map{this, Map};
  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
  {
    auto* self = static_cast<UridMap*>(handle);
    auto it = self->ids.find(uri);
    if (it != self->ids.end()) return it->second;
    const LV2_URID id = static_cast<LV2_URID>(self->ids.size() + 1);
    self->ids[uri] = id;
    return id;
  }
  LV2_URID operator()(const char* uri) { return Map(this, uri); }
};

inline UridMap& Urids()
{
  static UridMap map;
  return map;
}

struct World
{
  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  World()
  {
    // Kept loaded for the whole program, as hosts keep a library: the process-wide tables it keeps
    // until exit stay reachable after lilv unloads its own reference.
    dlopen((std::string(TARVEX_TEST_BINARY_DIR) + "/Tarvex.lv2/Tarvex.so").c_str(),
           RTLD_NOW | RTLD_NODELETE);
    setenv("LV2_PATH", PathFolder().c_str(), 1);
    // Preferences of this run stay in a folder of its own (empty: the table defaults hold).
    setenv("XDG_CONFIG_HOME", (PathFolder() + "/config").c_str(), 1);
    world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, kUri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
  }
};

inline World& TheWorld()
{
  static World world;
  return world;
}

// One instance with its port buffers. maxBlock 0: no options feature; withMap false: no features.
class Instance
{
public:
  explicit Instance(double rate = 44100.0, int maxBlock = 4096, bool withMap = true)
  {
    mMaxBlock = maxBlock;
    mOptions[0] = {
        LV2_OPTIONS_INSTANCE,   0,         Urids()(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
        Urids()(LV2_ATOM__Int), &mMaxBlock};
    mOptions[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    mMapFeature = {LV2_URID__map, &Urids().map};
    mOptionsFeature = {LV2_OPTIONS__options, mOptions};
    int n = 0;
    if (withMap) mFeatures[n++] = &mMapFeature;
    if (withMap && maxBlock > 0) mFeatures[n++] = &mOptionsFeature;
    mFeatures[n] = nullptr;
    if (!TheWorld().plugin) return;
    mInstance = lilv_plugin_instantiate(TheWorld().plugin, rate, mFeatures);
    if (!mInstance) return;
    for (uint32_t p = kFirstParam; p < kLatencyPort; ++p)
    {
      const LilvPort* port = lilv_plugin_get_port_by_index(TheWorld().plugin, p);
      LilvNode *def = nullptr, *lo = nullptr, *hi = nullptr;
      lilv_port_get_range(TheWorld().plugin, port, &def, &lo, &hi);
      mControls[p - kFirstParam] = def ? lilv_node_as_float(def) : 0.0f;
      lilv_node_free(def);
      lilv_node_free(lo);
      lilv_node_free(hi);
      lilv_instance_connect_port(mInstance, p, &mControls[p - kFirstParam]);
    }
    lilv_instance_connect_port(mInstance, kLatencyPort, &mLatency);
    lilv_instance_activate(mInstance);
  }
  ~Instance()
  {
    if (!mInstance) return;
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
  explicit operator bool() const { return mInstance != nullptr; }
  LilvInstance* get() const { return mInstance; }

  float& Control(int param) { return mControls[param]; }
  float Latency() const { return mLatency; }

  // Runs left/right through the plug-in in host blocks of `block` frames, in place.
  void Process(std::vector<float>& left, std::vector<float>& right, int block)
  {
    for (size_t start = 0; start < left.size(); start += block)
    {
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block, left.size() - start));
      lilv_instance_connect_port(mInstance, 0, &left[start]);
      lilv_instance_connect_port(mInstance, 1, &right[start]);
      lilv_instance_connect_port(mInstance, 2, &left[start]);
      lilv_instance_connect_port(mInstance, 3, &right[start]);
      lilv_instance_run(mInstance, n);
    }
  }

  const LV2_State_Interface* StateInterface() const
  {
    return static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  }
  const LV2_Feature* const* Features() const { return mFeatures; }

private:
  LilvInstance* mInstance = nullptr;
  int32_t mMaxBlock = 0;
  LV2_Options_Option mOptions[2];
  LV2_Feature mMapFeature, mOptionsFeature;
  const LV2_Feature* mFeatures[3] = {nullptr, nullptr, nullptr};
  float mControls[kParamCount] = {};
  float mLatency = -1.0f;
};

// Deterministic stereo noise in [-0.5, 0.5).
inline void Noise(std::vector<float>& left, std::vector<float>& right, size_t n, uint32_t seed = 1)
{
  left.resize(n);
  right.resize(n);
  for (size_t i = 0; i < n; ++i)
  {
    seed = seed * 1664525u + 1013904223u;
    left[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    seed = seed * 1664525u + 1013904223u;
    right[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
  }
}
} // namespace lv2test
