// The Audio Unit build's exports: "Tarvex_Entry" (the component entry) and "Tarvex_ViewEntry"
// (the Carbon view component). Any host thread for the first, the main thread for the second.
#include "au/AUViewFactories.h"
#include "au/IPlugAU.h"
#include "core/Export.h"
#include "graphics/LICE_Resources.h"
#include "plugin/Tarvex.h"

// The editor finds its pictures in the component bundle.
template <> struct TarvexEditorBundle<IPlugAU>
{
  static constexpr const char* kID = kTarvexAuBundleID;
};

IPlugAU* CreatePluginInstance()
{
  // CreateTarvex holds the process-wide factory mutex around the construction.
  const IPlugAU::InstanceInfo info = {kTarvexAuBundleID, "Tarvex_View"};
  return CreateTarvex<IPlugAU>(info);
}

TARVEX_EXPORT ComponentResult Tarvex_Entry(ComponentParameters* params, Handle storage)
{
  return IPlugAU::IPlugAUEntry(params, storage);
}

TARVEX_EXPORT ComponentResult Tarvex_ViewEntry(ComponentParameters* params, Handle storage)
{
  return IPlugAUCarbonViewEntry(params, storage);
}
