// bench-editor-host: whether a plug-in's editor makes the audio thread late. A host of our own
// loads the built VST and LV2 bundles (and the LSP parametric equaliser's, when installed, as a
// peer) and drives each as a real host does, on a private Xvfb:
//
//   audio thread  calls processReplacing / run with 64-frame blocks of stereo noise at 44.1 kHz,
//                 paced in real time (it sleeps until each block's deadline; SCHED_FIFO when
//                 permitted), and times every call;
//   GUI thread    (the main thread) opens the editor in a parent window (effEditOpen / the UI's
//                 instantiate), calls idle (effEditIdle / ui:idleInterface) --idle-hz times a
//                 second while it is open, works it with XTest and closes it (effEditClose /
//                 cleanup).
//
// Phases: closed (no editor), opening (the open call and the second after), open (idle calls
// only), worked (drags and hovers on the plot and the knobs), closing (the close call and the
// second after). Per phase it prints the process calls' count, median, 99.9th percentile and
// largest time, the calls longer than a block (64 / 44100 s = 1.451 ms), and for each host callback
// an editor can cause, the calls by the thread they came from: the GUI thread, the audio thread or
// another one (a thread of the plug-in's own). Then the longest open, idle and close calls and a
// one-line verdict per plug-in. A measurement, not a test: it exits 0 whatever it finds.
//
// Accepts and ignores the --benchmark_* flags that scripts/run-bench passes to every benchmark.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>
#include <ftw.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <pthread.h>
#include <sched.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/x11/XvfbServer.h"
#include "vst/VstAbi.h"

#ifndef TARVEX_BENCH_VST_BINARY
#define TARVEX_BENCH_VST_BINARY "Tarvex.vst/Contents/x86_64-linux/Tarvex.so"
#endif
#ifndef TARVEX_BENCH_LV2_BUNDLE
#define TARVEX_BENCH_LV2_BUNDLE "Tarvex.lv2"
#endif

namespace
{
const char* const kProgram = "bench-editor-host";
constexpr double kRate = 44100.0;
constexpr int kBlock = 64;
constexpr double kBlockMicros = 1e6 * kBlock / kRate; // 1451.247 µs: a call longer is late
constexpr double kTransitionSeconds = 1.0; // opening and closing: the call and this long after
constexpr double kWarmUpSeconds = 0.5;     // first blocks (kernel set-up), not counted
constexpr int kNoiseFrames = 1 << 16;      // looped input, a whole number of blocks
constexpr int kEditorWidth = 752, kEditorHeight = 576; // Tarvex's editor; the default for others
constexpr int kScreenWidth = 1024, kScreenHeight = 768;
constexpr int kRealtimePriority = 70;
constexpr double kCallBudgetSeconds = 60; // a single load, open or close call longer ends the run
constexpr const char* kTarvexLv2Uri = "urn:vennmoor:tarvex";
const char* const kPeerVst = "/usr/lib/vst/lsp-plugins/para-equalizer-x16-stereo.so";
const char* const kPeerLv2Bundle = "/usr/lib/lv2/lsp-plugins.lv2";
constexpr const char* kPeerLv2Uri = "http://lsp-plug.in/plugins/lv2/para_equalizer_x16_stereo";

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

Clock::time_point After(Clock::time_point start, double seconds)
{
  return start +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// ---- options ----

struct Options
{
  double seconds = 4.0; // closed, open and worked phases each
  double idleHz = 60.0; // the host's idle calls per second while the editor is open
};

void PrintUsage()
{
  std::printf("usage: %s [--seconds N] [--idle-hz H]\n"
              "Measures the audio thread's process calls (64-frame blocks, 44.1 kHz, real time) "
              "while the editor is closed, opening, open, worked with the pointer and closing.\n"
              "  --seconds N   length of the closed, open and worked phases (default 4)\n"
              "  --idle-hz H   the host's editor idle calls per second (default 60; Ardour: 25)\n"
              "--benchmark_* flags are accepted and ignored.\n",
              kProgram);
}

bool ParseNumber(const char* text, double low, double high, double* value)
{
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end || !(v >= low && v <= high)) return false;
  *value = v;
  return true;
}

// 0: parsed; 1: --help shown; 2: usage error.
int ParseOptions(int argc, char** argv, Options* options)
{
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    if (arg.rfind("--benchmark_", 0) == 0) continue;
    if (arg == "--help" || arg == "-h")
    {
      PrintUsage();
      return 1;
    }
    const bool seconds = arg == "--seconds", idle = arg == "--idle-hz";
    double* target = seconds ? &options->seconds : idle ? &options->idleHz : nullptr;
    const double highest = seconds ? 3600 : 1000; // an hour a phase; idle calls a second
    if (!target || i + 1 >= argc || !ParseNumber(argv[++i], 1, highest, target))
    {
      std::fprintf(stderr, "%s: bad argument '%s' (see --help)\n", kProgram, arg.c_str());
      return 2;
    }
  }
  return 0;
}

// ---- threads, phases and the host callbacks they receive ----

// The host thread running: each thread of ours sets it once; the plug-in's own threads keep the
// default.
enum Role
{
  kGuiThread,
  kAudioThread,
  kOtherThread,
  kRoleCount
};
thread_local Role tRole = kOtherThread;

enum Phase
{
  kClosed,
  kOpening,
  kOpen,
  kWorked,
  kClosing,
  kPhaseCount
};
const char* const kPhaseNames[kPhaseCount] = {"closed", "opening", "open", "worked", "closing"};
constexpr int kNoPhase = -1; // loading, warm-up and unloading: nothing is recorded
std::atomic<int> gPhase{kNoPhase};

constexpr int kMaxCallbackKinds = 6;

// Host callbacks by phase, kind and calling thread. Any thread may add.
class CallbackTally
{
public:
  CallbackTally()
  {
    for (auto& phase : mCount)
      for (auto& kind : phase)
        for (auto& role : kind) role.store(0);
  }
  void Add(int kind)
  {
    const int phase = gPhase.load();
    if (phase >= 0 && kind >= 0 && kind < kMaxCallbackKinds)
      mCount[phase][kind][tRole].fetch_add(1, std::memory_order_relaxed);
  }
  long Count(int phase, int kind, int role) const { return mCount[phase][kind][role].load(); }

private:
  std::atomic<long> mCount[kPhaseCount][kMaxCallbackKinds][kRoleCount];
};

// The tally of the plug-in being measured (one at a time), for the static callbacks.
std::atomic<CallbackTally*> gTally{nullptr};

void CountCallback(int kind)
{
  if (CallbackTally* tally = gTally.load()) tally->Add(kind);
}

// ---- stereo noise, looped by the audio thread ----

const std::vector<float>* Noise()
{
  static const std::vector<float>* noise = []
  {
    static std::vector<float> channels[2];
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    for (auto& c : channels)
    {
      c.resize(kNoiseFrames);
      for (float& x : c) x = uniform(generator);
    }
    return channels;
  }();
  return noise;
}

// ---- the plug-ins as the host sees them ----

// One plug-in under measurement. Load, OpenEditor, Idle, CloseEditor and Unload run on the GUI
// thread, Process on the audio thread, as a host calls them.
class Subject
{
public:
  explicit Subject(std::string name, bool tarvexLayout)
      : mName(std::move(name)), mTarvexLayout(tarvexLayout)
  {
  }
  virtual ~Subject() = default;
  const std::string& Name() const { return mName; }
  // The Tarvex editor's layout is known, so the pointer work aims at its points and knobs.
  bool TarvexLayout() const { return mTarvexLayout; }
  CallbackTally& Tally() { return mTally; }

  virtual std::vector<std::string> CallbackNames() const = 0;
  virtual bool Load(std::string* error) = 0;
  virtual void Process(float** inputs, float** outputs, int frames) = 0;
  virtual void EditorSize(int* width, int* height)
  {
    *width = kEditorWidth;
    *height = kEditorHeight;
  }
  virtual bool OpenEditor(unsigned long parent, std::string* error) = 0;
  virtual void Idle() = 0;
  virtual void CloseEditor() = 0;
  virtual void Unload() = 0;

private:
  std::string mName;
  bool mTarvexLayout;
  CallbackTally mTally;
};

// ---- VST 2.4 ----

// A VST bundle's binary through VSTPluginMain and the AEffect interface.
class VstSubject : public Subject
{
public:
  // textSettings: parameter name and the start of the display text to set it to, at load.
  VstSubject(std::string name, std::string binary, bool tarvexLayout,
             std::map<std::string, std::string> textSettings = {})
      : Subject(std::move(name), tarvexLayout), mBinary(std::move(binary)),
        mTextSettings(std::move(textSettings))
  {
  }
  std::vector<std::string> CallbackNames() const override
  {
    return {"Automate", "BeginEdit", "EndEdit", "UpdateDisplay", "SizeWindow", "IOChanged"};
  }
  bool Load(std::string* error) override;
  void Process(float** inputs, float** outputs, int frames) override
  {
    mEffect->processReplacing(mEffect, inputs, outputs, frames);
  }
  void EditorSize(int* width, int* height) override;
  bool OpenEditor(unsigned long parent, std::string* error) override;
  void Idle() override { Dispatch(effEditIdle); }
  void CloseEditor() override { Dispatch(effEditClose); }
  void Unload() override;

private:
  // Sets the parameter named `name` to the first normalised value whose display starts with
  // `text`; false if there is none.
  bool SetParamByText(const std::string& name, const std::string& text);
  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f)
  {
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  }
  static VstIntPtr HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                void* ptr, float opt);

  std::string mBinary;
  std::map<std::string, std::string> mTextSettings;
  AEffect* mEffect = nullptr;
};

// The host callbacks an editor causes, in the order of CallbackNames; -1 for the others.
int VstCallbackKind(int32_t opcode)
{
  switch (opcode)
  {
  case audioMasterAutomate:
    return 0;
  case audioMasterBeginEdit:
    return 1;
  case audioMasterEndEdit:
    return 2;
  case audioMasterUpdateDisplay:
    return 3;
  case audioMasterSizeWindow:
    return 4;
  case audioMasterIOChanged:
    return 5;
  default:
    return -1;
  }
}

// Any thread: counts the editor's callbacks and answers as a plain host does.
VstIntPtr VstSubject::HostCallback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
{
  CountCallback(VstCallbackKind(opcode));
  switch (opcode)
  {
  case audioMasterVersion:
    return 2400;
  case audioMasterGetProductString:
    if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxProductStrLen, "%s", kProgram);
    return 1;
  case audioMasterSizeWindow:
    return 1;
  default:
    return 0;
  }
}

bool VstSubject::Load(std::string* error)
{
  // Kept loaded until the program ends, as hosts often keep a library.
  void* library = dlopen(mBinary.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library)
  {
    const char* why = dlerror();
    *error = why ? why : "dlopen failed";
    return false;
  }
  auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "main"));
  mEffect = entry ? entry(HostCallback) : nullptr;
  if (!mEffect || mEffect->magic != kEffectMagic || mEffect->numInputs < 2 ||
      mEffect->numOutputs < 2 || !mEffect->processReplacing)
  {
    mEffect = nullptr;
    *error = mBinary + ": no stereo VST 2.4 plug-in with processReplacing";
    return false;
  }
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  Dispatch(effSetBlockSize, 0, kBlock);
  for (const auto& setting : mTextSettings)
    if (!SetParamByText(setting.first, setting.second))
    {
      *error = mBinary + ": no " + setting.first + " '" + setting.second + "'";
      return false;
    }
  Dispatch(effMainsChanged, 0, 1);
  return true;
}

void VstSubject::EditorSize(int* width, int* height)
{
  Subject::EditorSize(width, height);
  ERect* rect = nullptr;
  if (Dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left &&
      rect->bottom > rect->top)
  {
    *width = std::min(rect->right - rect->left, kScreenWidth);
    *height = std::min(rect->bottom - rect->top, kScreenHeight);
  }
}

bool VstSubject::OpenEditor(unsigned long parent, std::string* error)
{
  if (!(mEffect->flags & effFlagsHasEditor))
  {
    *error = "no editor announced";
    return false;
  }
  // X11 hosts pass the parent Window id itself.
  if (Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) == 1)
    return true;
  *error = "effEditOpen returned 0";
  return false;
}

void VstSubject::Unload()
{
  if (!mEffect) return;
  Dispatch(effMainsChanged, 0, 0);
  Dispatch(effClose);
  mEffect = nullptr;
}

bool VstSubject::SetParamByText(const std::string& name, const std::string& text)
{
  for (int index = 0; index < mEffect->numParams; ++index)
  {
    char shown[256] = {};
    Dispatch(effGetParamName, index, 0, shown);
    if (strcasecmp(shown, name.c_str()) != 0) continue;
    for (int k = 0; k <= 1000; ++k)
    {
      mEffect->setParameter(mEffect, index, k / 1000.0f);
      std::memset(shown, 0, sizeof(shown));
      Dispatch(effGetParamDisplay, index, 0, shown);
      if (std::string(shown).rfind(text, 0) == 0) return true;
    }
  }
  return false;
}

// ---- LV2 ----

// URIDs for plug-ins and UIs; any thread, under a lock.
class UridMap
{
public:
  LV2_URID_Map map{this, Map};
  LV2_URID_Unmap unmap{this, Unmap};

private:
  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
  {
    auto* self = static_cast<UridMap*>(handle);
    std::lock_guard<std::mutex> guard(self->mLock);
    auto found = self->mIds.find(uri);
    if (found != self->mIds.end()) return found->second;
    self->mUris.push_back(uri);
    return self->mIds[uri] = static_cast<LV2_URID>(self->mUris.size());
  }
  static const char* Unmap(LV2_URID_Unmap_Handle handle, LV2_URID id)
  {
    auto* self = static_cast<UridMap*>(handle);
    std::lock_guard<std::mutex> guard(self->mLock);
    return id >= 1 && id <= self->mUris.size() ? self->mUris[id - 1].c_str() : nullptr;
  }
  std::mutex mLock;
  std::map<std::string, LV2_URID> mIds;
  std::deque<std::string> mUris; // growing at the end keeps the texts handed out in place
};

UridMap& Urids()
{
  static UridMap urids;
  return urids;
}

LV2_URID Urid(const char* uri)
{
  return Urids().map.map(Urids().map.handle, uri);
}

const LV2_Feature* MapFeature()
{
  static const LV2_Feature feature{LV2_URID__map, &Urids().map};
  return &feature;
}

const LV2_Feature* UnmapFeature()
{
  static const LV2_Feature feature{LV2_URID__unmap, &Urids().unmap};
  return &feature;
}

// Only the bundles measured: the build tree's (not an installed copy of the same URI) and the
// peer's when it is there.
LilvWorld* World()
{
  static LilvWorld* world = []
  {
    LilvWorld* w = lilv_world_new();
    for (const char* path : {TARVEX_BENCH_LV2_BUNDLE "/", kPeerLv2Bundle})
    {
      struct stat st;
      if (stat(path, &st) != 0) continue;
      const std::string folder =
          std::string(path) + (path[std::strlen(path) - 1] == '/' ? "" : "/");
      LilvNode* bundle = lilv_new_file_uri(w, nullptr, folder.c_str());
      lilv_world_load_bundle(w, bundle);
      lilv_node_free(bundle);
    }
    return w;
  }();
  return world;
}

// Control values the UI writes, on their way to the audio thread: writers take a lock (the UI may
// write from any thread), the one reader never does.
class PortQueue
{
public:
  bool Push(uint32_t port, float value)
  {
    std::lock_guard<std::mutex> guard(mWriters);
    const uint32_t head = mHead.load(std::memory_order_relaxed);
    if (head - mTail.load(std::memory_order_acquire) >= kSize) return false;
    mItems[head % kSize] = {port, value};
    mHead.store(head + 1, std::memory_order_release);
    return true;
  }
  // Audio thread.
  template <class Apply> void Drain(Apply apply)
  {
    const uint32_t head = mHead.load(std::memory_order_acquire);
    uint32_t tail = mTail.load(std::memory_order_relaxed);
    for (; tail != head; ++tail) apply(mItems[tail % kSize].port, mItems[tail % kSize].value);
    mTail.store(tail, std::memory_order_release);
  }

private:
  static constexpr uint32_t kSize = 1024;
  struct Item
  {
    uint32_t port;
    float value;
  };
  Item mItems[kSize] = {};
  std::atomic<uint32_t> mHead{0}, mTail{0};
  std::mutex mWriters;
};

// An LV2 plug-in through lilv, its X11 UI through the UI binary's lv2ui_descriptor, with
// ui:parent, instance and data access, ui:touch, ui:resize and ui:idleInterface. The UI's control
// writes reach the plug-in's ports at the next run, as in a host.
class Lv2Subject : public Subject
{
public:
  Lv2Subject(std::string name, const char* uri, std::map<std::string, float> settings,
             bool tarvexLayout)
      : Subject(std::move(name), tarvexLayout), mUri(uri), mSettings(std::move(settings))
  {
  }
  std::vector<std::string> CallbackNames() const override { return {"write", "touch"}; }
  bool Load(std::string* error) override;
  void Process(float** inputs, float** outputs, int frames) override;
  bool OpenEditor(unsigned long parent, std::string* error) override;
  void Idle() override;
  void CloseEditor() override;
  void Unload() override;

private:
  void ConnectPorts(const LilvPlugin* plugin);
  void ResetAtomPorts();
  void FindUi(const LilvPlugin* plugin);
  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                    const void* buffer);
  static void Touch(LV2UI_Feature_Handle, uint32_t, bool) { CountCallback(1); }
  static int Resize(LV2UI_Feature_Handle, int, int) { return 0; }

  const char* mUri;
  std::map<std::string, float> mSettings;
  LilvInstance* mInstance = nullptr;
  int32_t mMaxBlock = kBlock;
  LV2_Options_Option mOptions[2] = {};
  std::vector<float> mControls;
  std::vector<bool> mControlInput;
  std::vector<std::vector<uint8_t>> mAtoms;
  std::vector<bool> mAtomOutput;
  std::vector<uint32_t> mAudioIn, mAudioOut;
  PortQueue mWrites;
  // The UI.
  const LV2UI_Descriptor* mUiDescriptor = nullptr;
  std::string mUiBundle;
  std::string mUiError; // why there is no descriptor
  // The features the UI was made with: it keeps their pointers for its life.
  struct UiFeatures
  {
    LV2_Feature parent, access, dataAccess, touchFeature, resizeFeature, idle;
    LV2_Extension_Data_Feature data;
    LV2UI_Touch touch;
    LV2UI_Resize resize;
    const LV2_Feature* list[9] = {};
  } mUiFeatures;
  LV2UI_Handle mUi = nullptr;
  const LV2UI_Idle_Interface* mIdle = nullptr;
  bool mUiQuit = false;
};

bool Lv2Subject::Load(std::string* error)
{
  LilvNode* uri = lilv_new_uri(World(), mUri);
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(World()), uri);
  lilv_node_free(uri);
  if (!plugin)
  {
    *error = std::string("not found: ") + mUri;
    return false;
  }
  mOptions[0] = {
      LV2_OPTIONS_INSTANCE, 0,         Urid(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
      Urid(LV2_ATOM__Int),  &mMaxBlock};
  LV2_Feature options{LV2_OPTIONS__options, mOptions};
  const LV2_Feature* features[] = {MapFeature(), UnmapFeature(), &options, nullptr};
  mInstance = lilv_plugin_instantiate(plugin, kRate, features);
  if (!mInstance)
  {
    *error = std::string("cannot instantiate ") + mUri;
    return false;
  }
  ConnectPorts(plugin);
  if (mAudioIn.size() < 2 || mAudioOut.size() < 2)
  {
    *error = std::string("not a stereo plug-in: ") + mUri;
    return false;
  }
  lilv_instance_activate(mInstance);
  FindUi(plugin); // the plug-in runs either way; OpenEditor reports a missing UI
  return true;
}

// Controls at their defaults (or mSettings by symbol), atom ports to sequences of their own; audio
// ports are connected at each run.
void Lv2Subject::ConnectPorts(const LilvPlugin* plugin)
{
  const uint32_t n = lilv_plugin_get_num_ports(plugin);
  std::vector<float> defaults(n);
  lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
  mControls.assign(n, 0.0f);
  mControlInput.assign(n, false);
  mAtoms.resize(n);
  mAtomOutput.assign(n, false);
  LilvNode* audio = lilv_new_uri(World(), LV2_CORE__AudioPort);
  LilvNode* control = lilv_new_uri(World(), LV2_CORE__ControlPort);
  LilvNode* input = lilv_new_uri(World(), LV2_CORE__InputPort);
  LilvNode* atom = lilv_new_uri(World(), LV2_ATOM__AtomPort);
  for (uint32_t p = 0; p < n; ++p)
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
    const bool in = lilv_port_is_a(plugin, port, input);
    if (lilv_port_is_a(plugin, port, audio))
      (in ? mAudioIn : mAudioOut).push_back(p);
    else if (lilv_port_is_a(plugin, port, atom))
    {
      mAtoms[p].assign(8192, 0);
      mAtomOutput[p] = !in;
      lilv_instance_connect_port(mInstance, p, mAtoms[p].data());
    }
    else if (lilv_port_is_a(plugin, port, control))
    {
      const auto set = mSettings.find(lilv_node_as_string(lilv_port_get_symbol(plugin, port)));
      mControls[p] =
          set != mSettings.end() ? set->second : (std::isnan(defaults[p]) ? 0.0f : defaults[p]);
      mControlInput[p] = in;
      lilv_instance_connect_port(mInstance, p, &mControls[p]);
    }
  }
  for (LilvNode* node : {audio, control, input, atom}) lilv_node_free(node);
}

void Lv2Subject::ResetAtomPorts()
{
  for (size_t p = 0; p < mAtoms.size(); ++p)
  {
    if (mAtoms[p].empty()) continue;
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mAtoms[p].data());
    seq->atom.type = Urid(mAtomOutput[p] ? LV2_ATOM__Chunk : LV2_ATOM__Sequence);
    seq->atom.size = mAtomOutput[p] ? static_cast<uint32_t>(mAtoms[p].size() - sizeof(LV2_Atom))
                                    : sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
  }
}

void Lv2Subject::Process(float** inputs, float** outputs, int frames)
{
  mWrites.Drain([this](uint32_t port, float value) { mControls[port] = value; });
  ResetAtomPorts();
  for (int c = 0; c < 2; ++c)
  {
    lilv_instance_connect_port(mInstance, mAudioIn[c], inputs[c]);
    lilv_instance_connect_port(mInstance, mAudioOut[c], outputs[c]);
  }
  lilv_instance_run(mInstance, static_cast<uint32_t>(frames));
}

// The plug-in's X11 UI: its descriptor from the UI binary, kept loaded until the program ends.
void Lv2Subject::FindUi(const LilvPlugin* plugin)
{
  LilvUIs* uis = lilv_plugin_get_uis(plugin);
  LilvNode* x11 = lilv_new_uri(World(), LV2_UI__X11UI);
  const LilvUI* found = nullptr;
  LILV_FOREACH(uis, i, uis)
  {
    if (lilv_ui_is_a(lilv_uis_get(uis, i), x11)) found = lilv_uis_get(uis, i);
  }
  lilv_node_free(x11);
  char* binary = found
                     ? lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(found)), nullptr)
                     : nullptr;
  char* bundle = found
                     ? lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(found)), nullptr)
                     : nullptr;
  const std::string uiUri = found ? lilv_node_as_uri(lilv_ui_get_uri(found)) : "";
  void* library = binary ? dlopen(binary, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE) : nullptr;
  auto entry = library
                   ? reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"))
                   : nullptr;
  for (uint32_t i = 0; entry && i < 4096 && !mUiDescriptor; ++i)
  {
    const LV2UI_Descriptor* d = entry(i);
    if (!d) break;
    if (uiUri == d->URI) mUiDescriptor = d;
  }
  mUiBundle = bundle ? bundle : "";
  lilv_free(binary);
  lilv_free(bundle);
  lilv_uis_free(uis);
  if (!mUiDescriptor) mUiError = found ? "the X11 UI's descriptor cannot be loaded" : "no X11 UI";
}

// Any thread: the host applies a control value at the plug-in's next run.
void Lv2Subject::Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                       const void* buffer)
{
  CountCallback(0);
  auto* self = static_cast<Lv2Subject*>(controller);
  if (format != 0 || size != sizeof(float) || !buffer || port >= self->mControlInput.size() ||
      !self->mControlInput[port])
    return; // events for atom ports are not passed on: this host sends the plug-in none
  float value;
  std::memcpy(&value, buffer, sizeof(value));
  self->mWrites.Push(port, value);
}

bool Lv2Subject::OpenEditor(unsigned long parent, std::string* error)
{
  if (!mUiDescriptor)
  {
    *error = mUiError;
    return false;
  }
  UiFeatures& f = mUiFeatures;
  f.parent = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
  f.access = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(mInstance)};
  f.data = {lilv_instance_get_descriptor(mInstance)->extension_data};
  f.dataAccess = {LV2_DATA_ACCESS_URI, &f.data};
  f.touch = {this, Touch};
  f.touchFeature = {LV2_UI__touch, &f.touch};
  f.resize = {this, Resize};
  f.resizeFeature = {LV2_UI__resize, &f.resize};
  f.idle = {LV2_UI__idleInterface, nullptr};
  const LV2_Feature* list[] = {&f.parent,        &f.access, &f.dataAccess, &f.touchFeature,
                               &f.resizeFeature, &f.idle,   MapFeature(),  UnmapFeature()};
  std::copy(std::begin(list), std::end(list), f.list);
  LV2UI_Widget widget = nullptr;
  mUi = mUiDescriptor->instantiate(mUiDescriptor, mUri, mUiBundle.c_str(), Write, this, &widget,
                                   f.list);
  if (!mUi)
  {
    *error = "the UI's instantiate returned null";
    return false;
  }
  mIdle = mUiDescriptor->extension_data ? static_cast<const LV2UI_Idle_Interface*>(
                                              mUiDescriptor->extension_data(LV2_UI__idleInterface))
                                        : nullptr;
  mUiQuit = false;
  return true;
}

void Lv2Subject::Idle()
{
  // A UI that returned non-zero has asked to be closed: no more idle calls.
  if (mUi && mIdle && !mUiQuit) mUiQuit = mIdle->idle(mUi) != 0;
}

void Lv2Subject::CloseEditor()
{
  if (mUi) mUiDescriptor->cleanup(mUi);
  mUi = nullptr;
}

void Lv2Subject::Unload()
{
  if (!mInstance) return;
  lilv_instance_deactivate(mInstance);
  lilv_instance_free(mInstance);
  mInstance = nullptr;
}

// ---- the audio thread ----

// The host's audio thread: one process call per block deadline on the monotonic clock, each timed
// and recorded with the phase it began in. After a deadline missed by more than a block it starts
// afresh from now, as a driver does after a drop-out. Records are preallocated; the thread never
// allocates.
class AudioThread
{
public:
  struct Record
  {
    int8_t phase;
    float micros;
  };
  AudioThread(Subject* subject, double plannedSeconds)
      : mSubject(subject), mRecords(static_cast<size_t>(plannedSeconds * kRate / kBlock) + 4096)
  {
  }
  ~AudioThread() { Stop(); }
  void Start()
  {
    mThread = std::thread([this] { Run(); });
  }
  void Stop()
  {
    mStop.store(true);
    if (mThread.joinable()) mThread.join();
  }
  // After Stop.
  const Record* Records(size_t* count) const
  {
    *count = mCount;
    return mRecords.data();
  }
  const char* Scheduling() const { return mRealtime ? "SCHED_FIFO" : "SCHED_OTHER (FIFO refused)"; }

private:
  void Run();
  void ProcessBlock(int64_t block);

  Subject* mSubject;
  std::vector<Record> mRecords;
  size_t mCount = 0;
  std::thread mThread;
  std::atomic<bool> mStop{false};
  bool mRealtime = false;
  std::vector<float> mOut[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
};

int64_t MonotonicNs()
{
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000ll + t.tv_nsec;
}

void SleepUntilNs(int64_t ns)
{
  const timespec t{static_cast<time_t>(ns / 1000000000ll), static_cast<long>(ns % 1000000000ll)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR)
  {
  }
}

void AudioThread::Run()
{
  tRole = kAudioThread;
  sched_param param{};
  param.sched_priority = kRealtimePriority;
  mRealtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
  int64_t start = MonotonicNs();
  int64_t block = 0;
  for (int64_t n = 0; !mStop.load(); ++n, ++block)
  {
    // Deadline of block n from the start, in whole nanoseconds without drift.
    const int64_t deadline = start + n * kBlock * 1000000000ll / static_cast<int64_t>(kRate);
    const int64_t now = MonotonicNs();
    if (now > deadline + kBlock * 1000000000ll / static_cast<int64_t>(kRate))
    {
      start = now; // far behind: start afresh
      n = 0;
    }
    else
      SleepUntilNs(deadline);
    ProcessBlock(block);
  }
}

void AudioThread::ProcessBlock(int64_t block)
{
  const std::vector<float>* noise = Noise();
  const size_t at = static_cast<size_t>(block * kBlock % kNoiseFrames);
  float* inputs[2] = {const_cast<float*>(noise[0].data()) + at,
                      const_cast<float*>(noise[1].data()) + at};
  float* outputs[2] = {mOut[0].data(), mOut[1].data()};
  const int phase = gPhase.load();
  const int64_t before = MonotonicNs();
  mSubject->Process(inputs, outputs, kBlock);
  const int64_t after = MonotonicNs();
  if (phase >= 0 && mCount < mRecords.size())
    mRecords[mCount++] = {static_cast<int8_t>(phase), static_cast<float>((after - before) * 1e-3)};
}

// ---- the X server and the pointer ----

// A private Xvfb (DISPLAY points at it, so the plug-ins' views connect there), the host's own
// connection, parent windows and XTest input. GUI thread only.
class XSession
{
public:
  ~XSession()
  {
    if (mDisplay) XCloseDisplay(mDisplay);
    mServer.Stop();
  }
  bool Start(std::string* error)
  {
    const std::string screen =
        std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
    if (!mServer.Start({}, error, 10000, screen)) return false;
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    mDisplay = XOpenDisplay(mServer.DisplayName().c_str());
    int event, errorBase, major, minor;
    if (!mDisplay || !XTestQueryExtension(mDisplay, &event, &errorBase, &major, &minor))
    {
      *error = "cannot connect to Xvfb " + mServer.DisplayName() + " with XTEST";
      return false;
    }
    MoveAway();
    return true;
  }
  const std::string& DisplayName() const { return mServer.DisplayName(); }
  // An undecorated window at the top-left corner: root and editor coordinates agree.
  Window MakeParent(int width, int height)
  {
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(mDisplay, DefaultScreen(mDisplay));
    a.override_redirect = True;
    const Window w =
        XCreateWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixel | CWOverrideRedirect, &a);
    XMapRaised(mDisplay, w);
    XSync(mDisplay, False);
    return w;
  }
  void DestroyParent(Window w)
  {
    XDestroyWindow(mDisplay, w);
    XSync(mDisplay, False);
  }
  void Move(int x, int y)
  {
    XTestFakeMotionEvent(mDisplay, -1, x, y, 0);
    XSync(mDisplay, False);
  }
  void Button(bool press)
  {
    XTestFakeButtonEvent(mDisplay, 1, press ? True : False, 0);
    XSync(mDisplay, False);
  }
  // The pointer off every editor.
  void MoveAway() { Move(kScreenWidth - 1, kScreenHeight - 1); }

private:
  XvfbServer mServer;
  Display* mDisplay = nullptr;
};

// Pointer work replayed in a loop, step by step as the GUI thread's time passes.
struct PointerStep
{
  enum Kind
  {
    kMove,
    kPress,
    kRelease
  };
  double at; // seconds into the cycle
  Kind kind;
  int x, y;
};

class PointerScript
{
public:
  explicit PointerScript(std::vector<PointerStep> cycle, double length)
      : mCycle(std::move(cycle)), mLength(length)
  {
  }
  // Performs every step due by `elapsed` seconds since the script began.
  void Play(double elapsed, XSession& x)
  {
    for (int guard = 0; guard < 100000 && !mCycle.empty(); ++guard)
    {
      const PointerStep& s = mCycle[mNext];
      if (mRound * mLength + s.at > elapsed) return;
      if (s.kind == PointerStep::kMove) x.Move(s.x, s.y);
      if (s.kind != PointerStep::kMove) x.Button(s.kind == PointerStep::kPress);
      mHeld = s.kind == PointerStep::kPress     ? true
              : s.kind == PointerStep::kRelease ? false
                                                : mHeld;
      if (++mNext == mCycle.size()) mNext = 0, ++mRound;
    }
  }
  // Lets go of the button and takes the pointer off the editor.
  void Finish(XSession& x)
  {
    if (mHeld) x.Button(false);
    mHeld = false;
    x.MoveAway();
  }

private:
  std::vector<PointerStep> mCycle;
  double mLength;
  size_t mNext = 0;
  long mRound = 0;
  bool mHeld = false;
};

// Builds a cycle of pointer steps: paths of moves kStepSeconds apart (each its own event, as a
// hand makes them), drags that go out and come back so that each cycle finds the editor as it was.
class ScriptBuilder
{
public:
  static constexpr double kStepSeconds = 0.02;
  static constexpr double kPauseSeconds = 0.15; // after a drag; presses never repeat a spot
  void Path(int x1, int y1, int x2, int y2, int steps)
  {
    for (int i = 0; i <= steps; ++i)
      Add(PointerStep::kMove, x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
  }
  void Drag(int x, int y, int dx, int dy, int steps)
  {
    Add(PointerStep::kMove, x, y);
    Add(PointerStep::kPress, x, y);
    Path(x, y, x + dx, y + dy, steps);
    Path(x + dx, y + dy, x, y, steps);
    Add(PointerStep::kRelease, x, y);
    mAt += kPauseSeconds;
  }
  PointerScript Build() { return PointerScript(mSteps, mAt + kPauseSeconds); }

private:
  void Add(PointerStep::Kind kind, int x, int y)
  {
    mSteps.push_back({mAt, kind, x, y});
    mAt += kStepSeconds;
  }
  std::vector<PointerStep> mSteps;
  double mAt = 0;
};

// Editor position of a Tarvex band point at frequency f (Hz) on the 0 dB line: the plot is the
// 512 x 512 square at (32, 32), 20 Hz to 20 kHz across, -68.69 to +60 curve dB up.
void TarvexPointAtZeroDb(double f, int* x, int* y)
{
  *x = 32 + static_cast<int>(511.0 * std::log(f / 20.0) / std::log(1000.0) + 0.5);
  const double row = 511.0 * 68.68588963806504 / (60.0 + 68.68588963806504);
  *y = 32 + 511 - static_cast<int>(row + 0.5);
}

// A cycle of about 2.6 s: drags of band B (370 Hz) and of the Overall Gain knob, hovers across
// the plot and its points, drags of band C (1.7 kHz) and of the selected band's gain knob, hovers
// over the knobs (centres from editor/Panel.cpp).
PointerScript TarvexScript()
{
  ScriptBuilder b;
  int bx, by, cx, cy;
  TarvexPointAtZeroDb(370.0, &bx, &by);
  TarvexPointAtZeroDb(1700.0, &cx, &cy);
  b.Drag(bx, by, 40, -60, 8);
  b.Drag(648, 162, 0, -20, 5); // Overall Gain
  b.Path(40, 150, 540, 400, 12);
  b.Path(bx - 30, by, cx + 30, cy, 8);
  b.Drag(cx, cy, -30, 50, 8);
  b.Drag(584, 76, 0, -15, 5); // band C's gain, selected by the drag before
  b.Path(584, 162, 712, 248, 8);
  return b.Build();
}

// For an editor whose layout is unknown: hovers over a grid of it and one vertical drag at its
// centre, out and back.
PointerScript GenericScript(int width, int height)
{
  ScriptBuilder b;
  for (int row = 1; row <= 4; ++row)
    b.Path(width / 10, height * row / 5, width * 9 / 10, height * row / 5, 12);
  b.Drag(width / 2, height / 2, 0, -20, 6);
  return b.Build();
}

// ---- the run of one plug-in ----

// Ends the program when one stage takes far longer than planned (a plug-in call that never
// returns), so that the benchmark cannot hang. Exits 0 like any measurement, saying where.
class Watchdog
{
public:
  explicit Watchdog(std::function<void()> cleanUp) : mCleanUp(std::move(cleanUp))
  {
    mThread = std::thread([this] { Run(); });
  }
  ~Watchdog()
  {
    mStop.store(true);
    mThread.join();
  }
  void Arm(const std::string& stage, double seconds)
  {
    std::lock_guard<std::mutex> guard(mLock);
    mStage = stage;
    mDeadline = After(Clock::now(), seconds);
  }

private:
  void Run()
  {
    while (!mStop.load())
    {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      std::lock_guard<std::mutex> guard(mLock);
      if (mStage.empty() || Clock::now() < mDeadline) continue;
      std::printf("verdict: stuck in %s; run stopped\n", mStage.c_str());
      std::fflush(stdout);
      mCleanUp();
      _exit(0);
    }
  }
  std::function<void()> mCleanUp;
  std::thread mThread;
  std::atomic<bool> mStop{false};
  std::mutex mLock;
  std::string mStage;
  Clock::time_point mDeadline;
};

struct PhaseFigures
{
  std::vector<float> micros; // process calls
  int idleCalls = 0;
  double longestIdle = 0; // seconds
};

struct Measurement
{
  std::string failure; // loading failed: nothing measured
  std::string editorFailure;
  bool editorOpened = false;
  double openSeconds = 0, closeSeconds = 0;
  PhaseFigures phases[kPhaseCount];
  std::string scheduling;
};

// The GUI thread's context for one plug-in's run.
struct Run
{
  Subject& subject;
  XSession& x;
  const Options& options;
  Watchdog& watchdog;
  Measurement& m;
};

// Holds `phase` for `seconds`: idle calls at the host's rate when `idle`, the script played when
// given. Like a host's timer, ticks missed while an idle call ran are dropped, not caught up.
// GUI thread.
void HoldPhase(Run& r, int phase, double seconds, bool idle, PointerScript* script)
{
  gPhase.store(phase);
  r.watchdog.Arm(r.subject.Name() + ": " + (phase >= 0 ? kPhaseNames[phase] : "warm-up"),
                 seconds + kCallBudgetSeconds);
  const Clock::time_point start = Clock::now(), end = After(start, seconds);
  const double tick = 1.0 / r.options.idleHz;
  while (Clock::now() < end)
  {
    if (script) script->Play(SecondsSince(start), r.x);
    if (idle)
    {
      const Clock::time_point before = Clock::now();
      r.subject.Idle();
      PhaseFigures& f = r.m.phases[phase];
      f.longestIdle = std::max(f.longestIdle, SecondsSince(before));
      ++f.idleCalls;
    }
    const double next = (std::floor(SecondsSince(start) / tick) + 1) * tick;
    std::this_thread::sleep_until(std::min(After(start, next), end));
  }
}

// Opening: the open call (timed) and the second after, with idle calls. False when it did not
// open.
bool OpenPhase(Run& r, Window parent)
{
  gPhase.store(kOpening);
  r.watchdog.Arm(r.subject.Name() + ": opening the editor", kCallBudgetSeconds);
  const Clock::time_point before = Clock::now();
  r.m.editorOpened = r.subject.OpenEditor(parent, &r.m.editorFailure);
  r.m.openSeconds = SecondsSince(before);
  if (r.m.editorOpened) HoldPhase(r, kOpening, kTransitionSeconds, true, nullptr);
  return r.m.editorOpened;
}

void ClosePhase(Run& r)
{
  gPhase.store(kClosing);
  r.watchdog.Arm(r.subject.Name() + ": closing the editor", kCallBudgetSeconds);
  const Clock::time_point before = Clock::now();
  r.subject.CloseEditor();
  r.m.closeSeconds = SecondsSince(before);
  HoldPhase(r, kClosing, kTransitionSeconds, false, nullptr);
}

// Sorts the audio thread's records into their phases.
void CollectRecords(const AudioThread& audio, Measurement* m)
{
  size_t count = 0;
  const AudioThread::Record* records = audio.Records(&count);
  for (size_t i = 0; i < count; ++i)
    m->phases[records[i].phase].micros.push_back(records[i].micros);
  for (PhaseFigures& f : m->phases) std::sort(f.micros.begin(), f.micros.end());
}

// Every phase with the audio thread running throughout.
void RunPhases(Run& r, AudioThread& audio)
{
  audio.Start();
  HoldPhase(r, kNoPhase, kWarmUpSeconds, false, nullptr);
  HoldPhase(r, kClosed, r.options.seconds, false, nullptr);
  int width = 0, height = 0;
  r.subject.EditorSize(&width, &height);
  const Window parent = r.x.MakeParent(width, height);
  if (OpenPhase(r, parent))
  {
    HoldPhase(r, kOpen, r.options.seconds, true, nullptr);
    PointerScript script = r.subject.TarvexLayout() ? TarvexScript() : GenericScript(width, height);
    HoldPhase(r, kWorked, r.options.seconds, true, &script);
    script.Finish(r.x);
    ClosePhase(r);
  }
  gPhase.store(kNoPhase);
  audio.Stop();
  r.x.DestroyParent(parent);
}

Measurement Measure(Subject& subject, XSession& x, const Options& options, Watchdog& watchdog)
{
  Measurement m;
  gTally.store(&subject.Tally());
  watchdog.Arm(subject.Name() + ": loading", kCallBudgetSeconds);
  if (!subject.Load(&m.failure))
  {
    if (m.failure.empty()) m.failure = "cannot load";
    subject.Unload();
    return m;
  }
  const double planned = kWarmUpSeconds + 3 * options.seconds + 2 * kTransitionSeconds;
  AudioThread audio(&subject, planned + 2 * kCallBudgetSeconds);
  Run run{subject, x, options, watchdog, m};
  RunPhases(run, audio);
  m.scheduling = audio.Scheduling();
  watchdog.Arm(subject.Name() + ": unloading", kCallBudgetSeconds);
  subject.Unload();
  CollectRecords(audio, &m);
  return m;
}

// ---- the report ----

double Quantile(const std::vector<float>& sorted, double q)
{
  if (sorted.empty()) return 0;
  const size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
  return sorted[std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1];
}

long LateCalls(const std::vector<float>& micros)
{
  return static_cast<long>(
      std::count_if(micros.begin(), micros.end(), [](float us) { return us > kBlockMicros; }));
}

void PrintProcessTable(const Measurement& m)
{
  std::printf("%-8s %7s %10s %10s %10s %6s %6s %12s\n", "phase", "calls", "median_us", "p99.9_us",
              "max_us", "late", "idles", "idle_max_us");
  for (int p = 0; p < kPhaseCount; ++p)
  {
    const PhaseFigures& f = m.phases[p];
    if (f.micros.empty()) continue;
    std::printf("%-8s %7zu %10.1f %10.1f %10.1f %6ld %6d %12.1f\n", kPhaseNames[p], f.micros.size(),
                Quantile(f.micros, 0.5), Quantile(f.micros, 0.999), f.micros.back(),
                LateCalls(f.micros), f.idleCalls, f.longestIdle * 1e6);
  }
}

void PrintCallbackTable(Subject& s, const Measurement& m)
{
  const std::vector<std::string> names = s.CallbackNames();
  std::printf("host callbacks by thread, gui/audio/other:\n%-8s", "phase");
  for (const std::string& name : names) std::printf(" %14s", name.c_str());
  std::printf("\n");
  for (int p = 0; p < kPhaseCount; ++p)
  {
    if (m.phases[p].micros.empty()) continue;
    std::printf("%-8s", kPhaseNames[p]);
    for (size_t k = 0; k < names.size(); ++k)
    {
      char cell[64];
      std::snprintf(cell, sizeof(cell), "%ld/%ld/%ld", s.Tally().Count(p, k, kGuiThread),
                    s.Tally().Count(p, k, kAudioThread), s.Tally().Count(p, k, kOtherThread));
      std::printf(" %14s", cell);
    }
    std::printf("\n");
  }
}

// One line: late calls in which phases, and where the callbacks of the editor's phases came from.
void PrintVerdict(Subject& s, const Measurement& m)
{
  std::string latePhases;
  long late = 0, calls = 0;
  for (int p = 0; p < kPhaseCount; ++p)
  {
    const long n = LateCalls(m.phases[p].micros);
    calls += static_cast<long>(m.phases[p].micros.size());
    late += n;
    if (n) latePhases += std::string(latePhases.empty() ? "" : ", ") + kPhaseNames[p];
  }
  long byRole[kRoleCount] = {};
  for (int p = kOpening; p <= kClosing; ++p)
    for (size_t k = 0; k < s.CallbackNames().size(); ++k)
      for (int role = 0; role < kRoleCount; ++role) byRole[role] += s.Tally().Count(p, k, role);
  const long total = byRole[kGuiThread] + byRole[kAudioThread] + byRole[kOtherThread];
  std::printf("verdict %s: ", s.Name().c_str());
  if (late)
    std::printf("LATE calls in %s (%ld of %ld over %.3f ms); ", latePhases.c_str(), late, calls,
                kBlockMicros / 1000);
  else
    std::printf("no late calls (%ld calls); ", calls);
  if (!m.editorOpened)
    std::printf("editor not measured (%s)\n", m.editorFailure.c_str());
  else if (total == 0)
    std::printf("no editor callbacks\n");
  else if (total == byRole[kGuiThread])
    std::printf("all %ld editor callbacks on the GUI thread\n", total);
  else
    std::printf("%ld of %ld editor callbacks NOT on the GUI thread (%ld audio, %ld other)\n",
                total - byRole[kGuiThread], total, byRole[kAudioThread], byRole[kOtherThread]);
}

void PrintMeasurement(Subject& s, const Measurement& m, const Options& options)
{
  std::printf("\n== %s\n", s.Name().c_str());
  if (!m.failure.empty())
  {
    std::printf("verdict %s: not measured: %s\n", s.Name().c_str(), m.failure.c_str());
    return;
  }
  std::printf("audio thread: %d-frame blocks at %.0f Hz (%.3f ms), %s; editor idle %.0f Hz\n",
              kBlock, kRate, kBlockMicros / 1000, m.scheduling.c_str(), options.idleHz);
  PrintProcessTable(m);
  PrintCallbackTable(s, m);
  if (m.editorOpened)
  {
    double idle = 0;
    for (const PhaseFigures& f : m.phases) idle = std::max(idle, f.longestIdle);
    std::printf("longest calls: open %.2f ms, idle %.2f ms, close %.2f ms\n", m.openSeconds * 1e3,
                idle * 1e3, m.closeSeconds * 1e3);
  }
  PrintVerdict(s, m);
}

// ---- the machine ----

std::string FirstLine(const char* path, const char* prefix)
{
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0)
    {
      const size_t colon = line.find(':');
      return colon == std::string::npos ? line : line.substr(colon + 2);
    }
  return "unknown";
}

std::string LoadAverage()
{
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// A fresh preferences folder for the run: the plug-in reads and writes
// $XDG_CONFIG_HOME/Tarvex Preferences.dat.
std::string gPrefsFolder;

void MakePrefsFolder()
{
  char folder[] = "/tmp/tarvex-bench-editor-host-XXXXXX";
  if (!mkdtemp(folder)) return;
  gPrefsFolder = folder;
  setenv("XDG_CONFIG_HOME", folder, 1);
}

void RemovePrefsFolder()
{
  if (gPrefsFolder.empty()) return;
  nftw(
      gPrefsFolder.c_str(),
      [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// The plug-ins measured: ours in both formats, the peer's when installed (in FIR mode, as in
// bench-bundle and bench-lv2).
std::vector<std::unique_ptr<Subject>> Subjects()
{
  std::vector<std::unique_ptr<Subject>> subjects;
  subjects.push_back(std::make_unique<VstSubject>("Tarvex VST", TARVEX_BENCH_VST_BINARY, true));
  subjects.push_back(std::make_unique<Lv2Subject>("Tarvex LV2", kTarvexLv2Uri,
                                                  std::map<std::string, float>{}, true));
  struct stat st;
  if (stat(kPeerVst, &st) == 0)
    subjects.push_back(
        std::make_unique<VstSubject>("LSP para EQ x16 VST", kPeerVst, false,
                                     std::map<std::string, std::string>{{"mode", "FIR"}}));
  else
    std::printf("%s not installed: no peer VST row\n", kPeerVst);
  if (stat(kPeerLv2Bundle, &st) == 0)
    subjects.push_back(std::make_unique<Lv2Subject>(
        "LSP para EQ x16 LV2", kPeerLv2Uri, std::map<std::string, float>{{"mode", 1.0f}}, false));
  else
    std::printf("%s not installed: no peer LV2 row\n", kPeerLv2Bundle);
  return subjects;
}
} // namespace

int main(int argc, char** argv)
{
  Options options;
  const int parsed = ParseOptions(argc, argv, &options);
  if (parsed != 0) return parsed == 1 ? 0 : 2;
  tRole = kGuiThread;
  std::printf("%s: cpu %s, %u cores; load average at start %s\n", kProgram,
              FirstLine("/proc/cpuinfo", "model name").c_str(), std::thread::hardware_concurrency(),
              LoadAverage().c_str());
  MakePrefsFolder();
  XSession x;
  std::string error;
  if (!x.Start(&error))
  {
    std::printf("verdict: not measured: no private Xvfb (%s)\n", error.c_str());
    RemovePrefsFolder();
    return 0;
  }
  std::printf("private Xvfb %s; phases: closed, open and worked %.0f s each, opening and closing "
              "%.0f s after the call\n",
              x.DisplayName().c_str(), options.seconds, kTransitionSeconds);
  Watchdog watchdog(RemovePrefsFolder);
  for (const std::unique_ptr<Subject>& subject : Subjects())
  {
    Measurement m = Measure(*subject, x, options, watchdog);
    PrintMeasurement(*subject, m, options);
    std::fflush(stdout);
  }
  watchdog.Arm("", 0);
  std::printf("\nload average at end %s\n", LoadAverage().c_str());
  RemovePrefsFolder();
  return 0;
}
