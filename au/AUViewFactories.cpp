#include "au/AUViewFactories.h"

#include <cstring>

#include "au/IPlugAU.h"
#include "graphics/IGraphics.h"

namespace
{
template <class T> T Arg(const ComponentParameters* params, int i)
{
  T value;
  memcpy(&value, &params->params[i], sizeof(T));
  return value;
}

// One Carbon view component instance.
struct CarbonViewRecord
{
  ComponentInstance mCI = nullptr;
  IPlugAU* mPlug = nullptr;
  ControlRef mControl = nullptr;
};
} // namespace

IPlugAU* PlugForAudioUnit(AudioUnit unit, OSType subtype, OSType manufacturer)
{
  if (!unit) return nullptr;
  ComponentDescription description;
  memset(&description, 0, sizeof(description));
  if (GetComponentInfo(reinterpret_cast<Component>(unit), &description, nullptr, nullptr,
                       nullptr) != noErr ||
      description.componentSubType != subtype || description.componentManufacturer != manufacturer)
    return nullptr;
  return reinterpret_cast<IPlugAU*>(GetComponentInstanceStorage(unit));
}

void* OpenCocoaViewForAudioUnit(AudioUnit unit, OSType subtype, OSType manufacturer,
                                IPlugAU** plugOut)
{
  IPlugAU* plug = PlugForAudioUnit(unit, subtype, manufacturer);
  if (plugOut) *plugOut = plug;
  if (!plug || !plug->GetGUI()) return nullptr;
  // The view has the editor's fixed size; the host's preferred size is not used.
  return plug->GetGUI()->OpenCocoaView(nullptr);
}

ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* storage)
{
  if (!params) return kAudio_ParamError;
  const int select = params->what;
  TraceHook("IPlugAUCarbonViewEntry", __LINE__, "(%d)", select);
  const ComponentInstance ci = Arg<ComponentInstance>(params, 0);
  if (select == kComponentOpenSelect)
  {
    if (!ci) return kAudio_ParamError;
    CarbonViewRecord* record = new CarbonViewRecord;
    record->mCI = ci;
    SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(record));
    return noErr;
  }
  CarbonViewRecord* record = static_cast<CarbonViewRecord*>(storage);
  if (select != kComponentCloseSelect && select != kTarvexCarbonViewCreateSelect)
    return badComponentSelector;
  if (!record) return kAudio_ParamError;
  if (select == kComponentCloseSelect)
  {
    if (record->mPlug && record->mPlug->GetGUI() && record->mControl)
      record->mPlug->GetGUI()->CloseView();
    if (record->mCI) SetComponentInstanceStorage(record->mCI, nullptr);
    delete record;
    return noErr;
  }

  // CarbonViewCreate(unit, window, parent control, location, size, out control).
  const AudioUnit unit = Arg<AudioUnit>(params, 1);
  const WindowRef window = Arg<WindowRef>(params, 2);
  const ControlRef parent = Arg<ControlRef>(params, 3);
  ControlRef* outControl = Arg<ControlRef*>(params, 6);
  // The view component carries our subtype and manufacturer; the unit must be ours too.
  ComponentDescription own;
  memset(&own, 0, sizeof(own));
  if (GetComponentInfo(reinterpret_cast<Component>(record->mCI), &own, nullptr, nullptr, nullptr) !=
      noErr)
    return badComponentSelector;
  IPlugAU* plug = PlugForAudioUnit(unit, own.componentSubType, own.componentManufacturer);
  record->mPlug = plug;
  if (!plug || !plug->GetGUI()) return badComponentSelector;
  record->mControl = static_cast<ControlRef>(plug->GetGUI()->OpenCarbonView(window, parent));
  if (outControl) *outControl = record->mControl;
  return noErr;
}
