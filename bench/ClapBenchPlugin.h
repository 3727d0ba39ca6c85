// The built Tarvex.clap loaded as a plain CLAP host loads it, for the benchmarks: entry, factory,
// one instance activated at a rate and block size, process calls with float buffers and an empty
// event list. The host offers no extensions (so no thread-check: any thread may process).
#pragma once

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "clap/ClapAbi.h"

class ClapBenchPlugin
{
public:
  ClapBenchPlugin()
  {
    mHost.clap_version = kClapVersion;
    mHost.host_data = this;
    mHost.name = "Tarvex bench host";
    mHost.vendor = mHost.url = mHost.version = "";
    mHost.get_extension = [](const clap_host_t*, const char*) -> const void* { return nullptr; };
    mHost.request_restart = mHost.request_process =
        mHost.request_callback = [](const clap_host_t*) {};
    mEvents.ctx = this;
    mEvents.size = [](const clap_input_events_t* l)
    { return static_cast<uint32_t>(static_cast<ClapBenchPlugin*>(l->ctx)->mPending.size()); };
    mEvents.get = [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t*
    { return &static_cast<ClapBenchPlugin*>(l->ctx)->mPending[i].header; };
    mOut.ctx = this;
    mOut.try_push = [](const clap_output_events_t*, const clap_event_header_t*) { return true; };
  }
  ~ClapBenchPlugin()
  {
    if (!mPlugin) return;
    mPlugin->stop_processing(mPlugin);
    mPlugin->deactivate(mPlugin);
    mPlugin->destroy(mPlugin);
  }
  ClapBenchPlugin(const ClapBenchPlugin&) = delete;
  ClapBenchPlugin& operator=(const ClapBenchPlugin&) = delete;

  // Loads the file and makes an instance with the given parameter values (id, plain value),
  // activated and processing; false with a message otherwise.
  bool Open(const std::string& path, double rate, uint32_t block,
            const std::vector<std::pair<clap_id, double>>& values, std::string* error)
  {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); // kept for the whole program
    const auto* entry =
        library ? static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry")) : nullptr;
    if (!entry || !entry->init(path.c_str()))
    {
      *error = path + ": no CLAP entry";
      return false;
    }
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    const clap_plugin_descriptor_t* d =
        factory ? factory->get_plugin_descriptor(factory, 0) : nullptr;
    mPlugin = d ? factory->create_plugin(factory, &mHost, d->id) : nullptr;
    if (!mPlugin || !mPlugin->init(mPlugin))
    {
      *error = path + ": no instance";
      return false;
    }
    for (const auto& v : values)
    {
      clap_event_param_value_t e{};
      e.header = {sizeof(e), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
      e.param_id = v.first;
      e.note_id = -1;
      e.port_index = e.channel = e.key = -1;
      e.value = v.second;
      mPending.push_back(e);
    }
    const auto* params =
        static_cast<const clap_plugin_params_t*>(mPlugin->get_extension(mPlugin, CLAP_EXT_PARAMS));
    if (params) params->flush(mPlugin, &mEvents, &mOut);
    mPending.clear();
    if (!mPlugin->activate(mPlugin, rate, 1, block) || !mPlugin->start_processing(mPlugin))
    {
      *error = path + ": not activated";
      return false;
    }
    return true;
  }

  void Process(float** in, float** out, uint32_t frames)
  {
    clap_audio_buffer_t i{in, nullptr, 2, 0, 0}, o{out, nullptr, 2, 0, 0};
    clap_process_t p{};
    p.frames_count = frames;
    p.audio_inputs = &i;
    p.audio_outputs = &o;
    p.audio_inputs_count = p.audio_outputs_count = 1;
    p.in_events = &mEvents;
    p.out_events = &mOut;
    mPlugin->process(mPlugin, &p);
  }

  int Latency() const
  {
    const auto* latency = static_cast<const clap_plugin_latency_t*>(
        mPlugin->get_extension(mPlugin, CLAP_EXT_LATENCY));
    return latency ? static_cast<int>(latency->get(mPlugin)) : 0;
  }

private:
  clap_host_t mHost{};
  const clap_plugin_t* mPlugin = nullptr;
  std::vector<clap_event_param_value_t> mPending;
  clap_input_events_t mEvents{};
  clap_output_events_t mOut{};
};
