// The LV2 build's entry points: "lv2_descriptor" (the plug-in) and "lv2ui_descriptor" (its X11 UI),
// both in one binary of the bundle Tarvex.lv2.
//
// The UI shows the editor of the plug-in instance when the host offers instance access; otherwise
// it makes a private instance of its own that never processes audio (its editor has no live
// spectrum) and follows the host's ports. Either way the editor runs on the host's UI thread: its
// window events and frames in the UI's idle call (ui:idleInterface; a host without it sees the
// frame drawn at instantiation), and its requests reach the host through the UI's write and touch
// functions from that same call. A host's ui:scaleFactor option (with urid:map) sets the editor's
// scale factor at instantiation; later changes of it are not followed (no options interface).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "core/Export.h"
#include "core/HostLayer.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE_Resources.h"
#include "lv2/IPlugLV2.h"
#include "lv2/Lv2Ports.h"
#include "lv2/TarvexParamTable.h"
#include "plugin/Tarvex.h"
#ifdef TARVEX_HAVE_X11
#include "graphics/linux/IGraphicsX11View.h"
#endif

// The editor finds its pictures in the LV2 bundle.
template <> struct TarvexEditorBundle<IPlugLV2>
{
  static constexpr const char* kID = kTarvexLv2BundleID;
};

namespace
{
using TarvexLv2 = Tarvex<IPlugLV2>;

// Sample rates an instance is made for; others are refused at instantiate.
constexpr double kMinSampleRate = 1000.0;
constexpr double kMaxSampleRate = 768000.0;

// The table defaults, which are also the ports' defaults in the Turtle description.
const double* TableDefaults()
{
  static double values[kTarvexParamCount];
  static const bool filled = []
  {
    TarvexParamTable table;
    for (int i = 0; i < kTarvexParamCount; ++i) values[i] = table.GetParam(i)->mValue;
    return true;
  }();
  (void)filled;
  return values;
}

TarvexLv2* MakeInstance(double rate, const char* bundlePath, const LV2_Feature* const* features)
{
  if (!std::isfinite(rate) || rate < kMinSampleRate || rate > kMaxSampleRate) return nullptr;
  if (bundlePath && *bundlePath) RegisterBundleFolder(kTarvexLv2BundleID, bundlePath);
  const double* defaults = TableDefaults();
  IPlugLV2::InstanceInfo info;
  info.sampleRate = rate;
  info.features = features;
  TarvexLv2* plug = CreateTarvex<IPlugLV2>(info);
  if (!plug) return nullptr;
  if (!plug->State())
  {
    delete plug;
    return nullptr;
  }
  plug->SetControlStartValues(defaults, kTarvexParamCount);
  plug->HostReset(); // the engine takes the host's rate
  return plug;
}

// ---- the plug-in ----

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char* bundlePath,
                       const LV2_Feature* const* features)
{
  return static_cast<IPlugLV2*>(MakeInstance(rate, bundlePath, features));
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data)
{
  if (instance) static_cast<IPlugLV2*>(instance)->ConnectPort(port, data);
}

void Activate(LV2_Handle instance)
{
  if (instance) static_cast<IPlugLV2*>(instance)->Activate();
}

void Run(LV2_Handle instance, uint32_t nFrames)
{
  if (instance) static_cast<IPlugLV2*>(instance)->Run(nFrames);
}

void Deactivate(LV2_Handle instance)
{
  if (instance) static_cast<IPlugLV2*>(instance)->Deactivate();
}

void Cleanup(LV2_Handle instance)
{
  auto* plug = static_cast<IPlugLV2*>(instance);
  if (!plug) return;
  // A host that never closed the UI: the view goes before the plug-in, freed on this thread.
  CloseViewAndDelete(plug);
}

LV2_State_Status SaveState(LV2_Handle instance, LV2_State_Store_Function store,
                           LV2_State_Handle handle, uint32_t, const LV2_Feature* const* features)
{
  if (!instance) return LV2_STATE_ERR_UNKNOWN;
  return static_cast<IPlugLV2*>(instance)->SaveLv2State(store, handle, features);
}

LV2_State_Status RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle handle, uint32_t, const LV2_Feature* const* features)
{
  if (!instance) return LV2_STATE_ERR_UNKNOWN;
  return static_cast<IPlugLV2*>(instance)->RestoreLv2State(retrieve, handle, features);
}

const void* ExtensionData(const char* uri)
{
  static const LV2_State_Interface state = {SaveState, RestoreState};
  if (uri && !strcmp(uri, LV2_STATE__interface)) return &state;
  return nullptr;
}

const LV2_Descriptor kDescriptor = {kTarvexLv2URI, Instantiate, ConnectPort, Activate,
                                    Run,           Deactivate,  Cleanup,     ExtensionData};

// ---- the UI ----

struct TarvexLv2Ui
{
  IPlugLV2* plug = nullptr;
  TarvexLv2* owned = nullptr; // the private instance without instance access
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
  const LV2UI_Touch* touch = nullptr;
  bool viewOpen = false;
  float known[kTarvexParamCount] = {}; // the value the host's port holds, as far as we know
};

// The host's ui:scaleFactor among the UI's options (an atom:Float, or atom:Double), 0 when there is
// none: no options, no URID map, another type or a size that does not fit the type.
double HostScaleFactor(const LV2_Feature* const* features)
{
  const auto* options =
      static_cast<const LV2_Options_Option*>(FindLv2Feature(features, LV2_OPTIONS__options));
  const auto* map = static_cast<const LV2_URID_Map*>(FindLv2Feature(features, LV2_URID__map));
  if (!options || !map || !map->map) return 0.0;
  const LV2_URID scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
  const LV2_URID atomDouble = map->map(map->handle, LV2_ATOM__Double);
  double factor = 0.0;
  for (const LV2_Options_Option* o = options; o->key || o->value; ++o)
  {
    if (o->key != scaleFactor || !o->value) continue;
    if (o->type == atomFloat && o->size == sizeof(float))
      factor = *static_cast<const float*>(o->value);
    else if (o->type == atomDouble && o->size == sizeof(double))
      factor = *static_cast<const double*>(o->value);
  }
  return factor;
}

// UI thread, no plug-in lock held while the window goes: processing never waits for it.
void CloseUi(TarvexLv2Ui* ui)
{
  if (ui->plug && ui->viewOpen)
  {
    {
      WDL_MutexLock lock(ui->plug->GetMutex());
      ui->plug->EditorClosed();
    }
    if (IGraphics* gui = ui->plug->GetGUI()) gui->CloseView();
  }
  if (ui->plug) ui->plug->AttachUi(false);
  delete ui->owned;
  delete ui;
}

LV2UI_Handle InstantiateUi(const LV2UI_Descriptor*, const char*, const char* bundlePath,
                           LV2UI_Write_Function write, LV2UI_Controller controller,
                           LV2UI_Widget* widget, const LV2_Feature* const* features)
{
  void* parent = const_cast<void*>(FindLv2Feature(features, LV2_UI__parent));
  if (!parent || !widget) return nullptr;
  auto* ui = new (std::nothrow) TarvexLv2Ui;
  if (!ui) return nullptr;
  ui->write = write;
  ui->controller = controller;
  ui->touch = static_cast<const LV2UI_Touch*>(FindLv2Feature(features, LV2_UI__touch));
  if (ui->touch && !ui->touch->touch) ui->touch = nullptr;
  const double* defaults = TableDefaults();
  for (int i = 0; i < kTarvexParamCount; ++i) ui->known[i] = static_cast<float>(defaults[i]);

  ui->plug =
      static_cast<IPlugLV2*>(const_cast<void*>(FindLv2Feature(features, LV2_INSTANCE_ACCESS_URI)));
  if (!ui->plug)
  {
    ui->owned = MakeInstance(44100.0, bundlePath, nullptr);
    ui->plug = ui->owned;
  }
  if (!ui->plug)
  {
    CloseUi(ui);
    return nullptr;
  }
  ui->plug->AttachUi(true);

  unsigned long window = 0;
  int width = 0, height = 0;
  {
    // The window, its connection and the first frame are made without the plug-in mutex, so that
    // processing goes on meanwhile.
    IGraphics* gui = ui->plug->GetGUI();
    // Every instantiation sets it, so that a UI without the option does not take an earlier one's.
    if (gui) gui->SetHostScale(HostScaleFactor(features));
    void* view = gui ? gui->OpenX11View(parent) : nullptr;
#ifdef TARVEX_HAVE_X11
    if (view) window = static_cast<IGraphicsX11View*>(view)->Window();
#endif
    if (view)
    {
      ui->viewOpen = true;
      width = gui->Width() * gui->ViewScale(); // the window's size, at the view's factor
      height = gui->Height() * gui->ViewScale();
      WDL_MutexLock lock(ui->plug->GetMutex());
      ui->plug->EditorOpened();
    }
  }
  if (!ui->viewOpen || !window)
  {
    CloseUi(ui);
    return nullptr;
  }
  *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(window));
  const auto* resize = static_cast<const LV2UI_Resize*>(FindLv2Feature(features, LV2_UI__resize));
  if (resize && resize->ui_resize) resize->ui_resize(resize->handle, width, height);
  return ui;
}

void CleanupUi(LV2UI_Handle handle)
{
  if (handle) CloseUi(static_cast<TarvexLv2Ui*>(handle));
}

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer)
{
  auto* ui = static_cast<TarvexLv2Ui*>(handle);
  if (!ui || !buffer || format != 0 || size != sizeof(float)) return;
  if (port < kLv2PortFirstParam || port >= Lv2LatencyPort(kTarvexParamCount)) return;
  const int index = static_cast<int>(port - kLv2PortFirstParam);
  float value;
  memcpy(&value, buffer, sizeof(value));
  // As at the plug-in's ports: only a value that moved is applied.
  if (std::isnan(value) || value == ui->known[index]) return;
  ui->known[index] = value;
  ui->plug->ApplyControlFromUi(index, value);
}

void WriteValue(TarvexLv2Ui* ui, int index, float value)
{
  ui->known[index] = value;
  if (ui->write)
    ui->write(ui->controller, kLv2PortFirstParam + static_cast<uint32_t>(index), sizeof(float), 0,
              &value);
}

void Touch(TarvexLv2Ui* ui, int index, bool grabbed)
{
  if (ui->touch)
    ui->touch->touch(ui->touch->handle, kLv2PortFirstParam + static_cast<uint32_t>(index), grabbed);
}

// UI thread: runs the editor (window events, a frame when one is due), then hands the requests it
// and the engine queued to the host.
int Idle(LV2UI_Handle handle)
{
  auto* ui = static_cast<TarvexLv2Ui*>(handle);
  if (!ui) return 1;
  if (ui->viewOpen)
    if (IGraphics* gui = ui->plug->GetGUI()) gui->OnHostIdle();
  IPlugLV2::UiEvent events[IPlugLV2::kUiQueueLength];
  bool refresh = false;
  const int n = ui->plug->TakeUiEvents(events, IPlugLV2::kUiQueueLength, &refresh);
  for (int i = 0; i < n; ++i)
  {
    const IPlugLV2::UiEvent& e = events[i];
    if (e.mIndex < 0 || e.mIndex >= kTarvexParamCount) continue;
    if (e.mType == IPlugLV2::UiEvent::kBeginGesture)
      Touch(ui, e.mIndex, true);
    else if (e.mType == IPlugLV2::UiEvent::kEndGesture)
      Touch(ui, e.mIndex, false);
    else if (e.mValue != ui->known[e.mIndex])
      WriteValue(ui, e.mIndex, e.mValue);
  }
  if (refresh)
  {
    float values[kTarvexParamCount];
    {
      WDL_MutexLock lock(ui->plug->GetMutex());
      for (int i = 0; i < kTarvexParamCount; ++i)
        values[i] = static_cast<float>(ui->plug->GetParam(i)->mValue);
    }
    for (int i = 0; i < kTarvexParamCount; ++i)
      if (values[i] != ui->known[i]) WriteValue(ui, i, values[i]);
  }
  return 0;
}

const void* UiExtensionData(const char* uri)
{
  static const LV2UI_Idle_Interface idle = {Idle};
  if (uri && !strcmp(uri, LV2_UI__idleInterface)) return &idle;
  return nullptr;
}

const LV2UI_Descriptor kUiDescriptor = {kTarvexLv2UiURI, InstantiateUi, CleanupUi, PortEvent,
                                        UiExtensionData};
} // namespace

TARVEX_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}

TARVEX_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &kUiDescriptor : nullptr;
}
