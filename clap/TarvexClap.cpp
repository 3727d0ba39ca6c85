// The CLAP build's one exported symbol, "clap_entry": the entry, its plug-in factory and the
// descriptor of the one plug-in, com.vennmoor.tarvex.
//
// The editor's pictures are built into the binary (clap/CMakeLists.txt writes them into a source
// file), so Tarvex.clap works wherever it is copied, without a folder beside it.
#include <cstring>
#include <new>

#include "clap/ClapAbi.h"
#include "clap/IPlugCLAP.h"
#include "core/IPlugNoHost.h"
#include "engine/TarvexParams.h"
#include "plugin/Tarvex.h"

#define TARVEX_EXPORT extern "C" __attribute__((visibility("default")))

// Bundle identifier under which the editor finds the built-in pictures.
constexpr const char* kTarvexClapBundleID = "com.vennmoor.clap.Tarvex";

template <> struct TarvexEditorBundle<IPlugCLAP>
{
  static constexpr const char* kID = kTarvexClapBundleID;
};

extern const EmbeddedPicture kTarvexClapPictures[];
extern const int kTarvexClapPictures_Count;

namespace
{
const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_EQUALIZER,
                                 CLAP_PLUGIN_FEATURE_STEREO, CLAP_PLUGIN_FEATURE_MONO, nullptr};

const clap_plugin_descriptor_t kDescriptor = {
    kClapVersion, "com.vennmoor.tarvex",           "Tarvex",  "Vennmoor", "", "", "",
    "1.0.0",      "Stereo linear-phase equaliser", kFeatures,
};

// The Tarvex plug-in with the two activation hooks of the CLAP face.
class TarvexClap final : public Tarvex<IPlugCLAP>
{
public:
  using Tarvex<IPlugCLAP>::Tarvex;

protected:
  // activate: processing configured afresh for the new rate and block size, from silence, with the
  // latency the current Resolution and Input Buffer Size give. Main thread, where the editor draws,
  // so the reset never waits for a frame.
  void PrepareActivation() override { ReconfigureDsp(); }
  // reset (audio thread): the DSP reset runs at the start of the next process call, as a change of
  // Resolution does, so the audio thread never waits for the editor here.
  void ClearAudioState() override { RequestDspReset(); }
};

// The table defaults, which params.get_info reports (the preferences file may change the global
// settings of an instance, not their defaults).
const double* TableDefaults()
{
  static double values[kTarvexParamCount];
  static const bool filled = []
  {
    // The parameter table on a bare plug-in object, with no engine, editor or preferences.
    IPlugNoHost table(kTarvexParamCount, kTarvexChannelIO, kTarvexPresetCount, kTarvexEffectName,
                      kTarvexProductName, kTarvexMakerName, kTarvexVersion, kTarvexUniqueID,
                      kTarvexMakerID, kTarvexInitialLatency, 0, false, false);
    InitTarvexParams(table);
    for (int i = 0; i < kTarvexParamCount; ++i) values[i] = table.GetParam(i)->mValue;
    return true;
  }();
  (void)filled;
  return values;
}

// ---- factory ----

uint32_t FactoryCount(const clap_plugin_factory_t*)
{
  return 1;
}

const clap_plugin_descriptor_t* FactoryDescriptor(const clap_plugin_factory_t*, uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}

const clap_plugin_t* FactoryCreate(const clap_plugin_factory_t*, const clap_host_t* host,
                                   const char* id)
{
  if (!host || !id || strcmp(id, kDescriptor.id) != 0) return nullptr;
  if (!ClapVersionIsCompatible(host->clap_version)) return nullptr;
  IPlugCLAP::InstanceInfo info;
  info.host = host;
  info.descriptor = &kDescriptor;
  info.defaults = TableDefaults();
  TarvexClap* plug = nullptr;
  {
    WDL_MutexLock lock(&TarvexFactoryMutex());
    if (!InstanceTableHasFreeSlot()) return nullptr;
    plug = new (std::nothrow) TarvexClap(info);
  }
  if (!plug) return nullptr;
  if (!plug->State())
  {
    delete plug;
    return nullptr;
  }
  return plug->ClapPlugin();
}

const clap_plugin_factory_t kFactory = {FactoryCount, FactoryDescriptor, FactoryCreate};

// ---- entry ----

bool EntryInit(const char*)
{
  // Called again before deinit by some hosts: registering the same table twice is harmless.
  RegisterEmbeddedPictures(kTarvexClapBundleID, kTarvexClapPictures, kTarvexClapPictures_Count);
  return true;
}

void EntryDeinit() {}

const void* EntryFactory(const char* id)
{
  return (id && !strcmp(id, CLAP_PLUGIN_FACTORY_ID)) ? &kFactory : nullptr;
}
} // namespace

TARVEX_EXPORT const clap_plugin_entry_t clap_entry = {kClapVersion, EntryInit, EntryDeinit,
                                                      EntryFactory};
