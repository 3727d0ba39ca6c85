// An in-process CLAP test host: loads the built Tarvex.clap with dlopen, initialises its entry,
// creates instances through the plug-in factory and offers the host extensions a real host does
// (log, thread-check, params, latency, state, timer-support, posix-fd-support), each of which can
// be withheld. Every host callback is recorded with the thread it came from.
//
// Threads: the test's own thread is the host's main thread. OnAudio runs a function on a thread of
// its own that the host's thread-check names the audio thread while it runs, as a host's audio
// thread is; the main thread waits for it. The record is locked (callbacks may come from either).
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "clap/ClapAbi.h"
#include "dsp/ParamIndex.h"

namespace claptest
{
using ::kParamCount;              // the plug-in's own parameter list
constexpr int kLatency44k = 2368; // B + L/2 with the default settings at 44.1 kHz
constexpr const char* kPluginId = "com.vennmoor.tarvex";

inline std::string PluginFile()
{
  const char* dir = getenv("TARVEX_BINARY_DIR");
  std::string root = dir && *dir ? dir : TARVEX_TEST_BINARY_DIR;
  return root + "/Tarvex.clap";
}

// The entry of the loaded plug-in file, initialised once; null (with a failed assertion) if it
// cannot be had.
inline const clap_plugin_entry_t* Entry()
{
  static const clap_plugin_entry_t* entry = []() -> const clap_plugin_entry_t*
  {
    // Keep the tests independent of a preferences file on this machine.
    static char configDir[] = "/tmp/tarvex-clap-test-XXXXXX";
    if (mkdtemp(configDir))
    {
      setenv("XDG_CONFIG_HOME", configDir, 1);
      atexit(
          []
          {
            const std::string prefs = std::string(configDir) + "/Tarvex Preferences.dat";
            unlink(prefs.c_str());
            rmdir(configDir);
          });
    }
    void* library = dlopen(PluginFile().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) return nullptr;
    auto* e = static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry"));
    if (!e || !e->init || !e->init(PluginFile().c_str())) return nullptr;
    return e;
  }();
  if (!entry) ADD_FAILURE() << "cannot load and initialise " << PluginFile() << ": " << dlerror();
  return entry;
}

inline const clap_plugin_factory_t* Factory()
{
  const clap_plugin_entry_t* entry = Entry();
  return entry
             ? static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID))
             : nullptr;
}

// ---- what the host records ----
enum class On
{
  kMain,
  kAudio,
  kOther,
};

struct Call
{
  std::string name; // "request_restart", "latency.changed", "log", ...
  On thread;
  std::string text; // the log message, or a number
};

// Which host extensions are offered, and what the host answers.
struct HostOptions
{
  bool threadCheck = true;
  bool log = true;
  bool params = true;
  bool latency = true;
  bool state = true;
  bool timers = true;
  bool fds = true;
  bool timerRegistrationFails = false;
};

class Host
{
public:
  explicit Host(const HostOptions& options = HostOptions()) : mOptions(options)
  {
    mMain = std::this_thread::get_id();
    mHost.clap_version = kClapVersion;
    mHost.host_data = this;
    mHost.name = "Tarvex CLAP test host";
    mHost.vendor = "Vennmoor";
    mHost.url = "";
    mHost.version = "1.0";
    mHost.get_extension = GetExtension;
    mHost.request_restart = [](const clap_host_t* h) { Self(h)->Record("request_restart"); };
    mHost.request_process = [](const clap_host_t* h) { Self(h)->Record("request_process"); };
    mHost.request_callback = [](const clap_host_t* h) { Self(h)->Record("request_callback"); };
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  const clap_host_t* get() const { return &mHost; }
  HostOptions& Options() { return mOptions; }

  On Thread() const
  {
    const std::thread::id self = std::this_thread::get_id();
    if (self == mMain) return On::kMain;
    if (self == mAudio.load()) return On::kAudio;
    return On::kOther;
  }
  void Record(const std::string& name, const std::string& text = "")
  {
    std::lock_guard<std::mutex> guard(mLock);
    mCalls.push_back({name, Thread(), text});
  }
  std::vector<Call> Calls()
  {
    std::lock_guard<std::mutex> guard(mLock);
    return mCalls;
  }
  int Count(const std::string& name)
  {
    std::lock_guard<std::mutex> guard(mLock);
    return static_cast<int>(
        std::count_if(mCalls.begin(), mCalls.end(), [&](const Call& c) { return c.name == name; }));
  }
  // Calls of that name that did not come from `thread`.
  int CountOff(const std::string& name, On thread)
  {
    std::lock_guard<std::mutex> guard(mLock);
    return static_cast<int>(std::count_if(mCalls.begin(), mCalls.end(),
                                          [&](const Call& c)
                                          { return c.name == name && c.thread != thread; }));
  }
  void ClearCalls()
  {
    std::lock_guard<std::mutex> guard(mLock);
    mCalls.clear();
  }

  // Runs fn on a thread of its own that thread-check names the audio thread, and waits for it.
  void OnAudio(const std::function<void()>& fn)
  {
    std::thread audio(
        [&]
        {
          BeginAudioThread();
          fn();
          EndAudioThread();
        });
    audio.join();
  }
  // Called on a thread of the test's own: thread-check names it the audio thread until the end.
  void BeginAudioThread() { mAudio.store(std::this_thread::get_id()); }
  void EndAudioThread() { mAudio.store(std::thread::id()); }

  // Timers and descriptors the plug-in registered (main thread only).
  struct Timer
  {
    clap_id id;
    uint32_t period;
  };
  std::vector<Timer> timers;
  std::vector<int> fds;
  clap_id nextTimer = 7;

private:
  static Host* Self(const clap_host_t* h) { return static_cast<Host*>(h->host_data); }

  static const void* GetExtension(const clap_host_t* h, const char* id)
  {
    Host* self = Self(h);
    const HostOptions& o = self->mOptions;
    static const clap_host_log_t log = {
        [](const clap_host_t* host, clap_log_severity, const char* m)
        { Self(host)->Record("log", m ? m : ""); }};
    static const clap_host_thread_check_t check = {
        [](const clap_host_t* host) { return Self(host)->Thread() == On::kMain; },
        [](const clap_host_t* host) { return Self(host)->Thread() == On::kAudio; }};
    static const clap_host_params_t params = {
        [](const clap_host_t* host, clap_param_rescan_flags flags)
        { Self(host)->Record("params.rescan", std::to_string(flags)); },
        [](const clap_host_t* host, clap_id, clap_param_clear_flags)
        { Self(host)->Record("params.clear"); },
        [](const clap_host_t* host) { Self(host)->Record("params.request_flush"); }};
    static const clap_host_latency_t latency = {[](const clap_host_t* host)
                                                { Self(host)->Record("latency.changed"); }};
    static const clap_host_state_t state = {[](const clap_host_t* host)
                                            { Self(host)->Record("state.mark_dirty"); }};
    static const clap_host_timer_support_t timers = {
        [](const clap_host_t* host, uint32_t period, clap_id* id)
        {
          Host* self = Self(host);
          self->Record("timer.register", std::to_string(period));
          if (self->mOptions.timerRegistrationFails || !id) return false;
          *id = self->nextTimer++;
          self->timers.push_back({*id, period});
          return true;
        },
        [](const clap_host_t* host, clap_id id)
        {
          Host* self = Self(host);
          self->Record("timer.unregister", std::to_string(id));
          auto& t = self->timers;
          const size_t before = t.size();
          t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.id == id; }),
                  t.end());
          return t.size() != before;
        }};
    static const clap_host_posix_fd_support_t fds = {
        [](const clap_host_t* host, int fd, clap_posix_fd_flags_t)
        {
          Self(host)->Record("fd.register", std::to_string(fd));
          Self(host)->fds.push_back(fd);
          return true;
        },
        [](const clap_host_t* host, int fd, clap_posix_fd_flags_t)
        {
          Self(host)->Record("fd.modify", std::to_string(fd));
          return true;
        },
        [](const clap_host_t* host, int fd)
        {
          Host* self = Self(host);
          self->Record("fd.unregister", std::to_string(fd));
          auto& f = self->fds;
          const size_t before = f.size();
          f.erase(std::remove(f.begin(), f.end(), fd), f.end());
          return f.size() != before;
        }};
    self->Record("get_extension", id ? id : "");
    if (!id) return nullptr;
    if (o.log && !strcmp(id, CLAP_EXT_LOG)) return &log;
    if (o.threadCheck && !strcmp(id, CLAP_EXT_THREAD_CHECK)) return &check;
    if (o.params && !strcmp(id, CLAP_EXT_PARAMS)) return &params;
    if (o.latency && !strcmp(id, CLAP_EXT_LATENCY)) return &latency;
    if (o.state && !strcmp(id, CLAP_EXT_STATE)) return &state;
    if (o.timers && !strcmp(id, CLAP_EXT_TIMER_SUPPORT)) return &timers;
    if (o.fds && !strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT)) return &fds;
    return nullptr;
  }

  HostOptions mOptions;
  clap_host_t mHost{};
  std::thread::id mMain;
  std::atomic<std::thread::id> mAudio{};
  std::mutex mLock;
  std::vector<Call> mCalls;
};

// ---- event lists ----
class InputEvents
{
public:
  InputEvents()
  {
    mList.ctx = this;
    mList.size = [](const clap_input_events_t* l)
    { return static_cast<uint32_t>(static_cast<InputEvents*>(l->ctx)->mEvents.size()); };
    mList.get = [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t*
    {
      auto* self = static_cast<InputEvents*>(l->ctx);
      return i < self->mEvents.size()
                 ? reinterpret_cast<const clap_event_header_t*>(self->mEvents[i].data())
                 : nullptr;
    };
  }
  // A parameter value at sample offset time (events must be added in time order).
  void Param(uint32_t time, clap_id id, double value)
  {
    clap_event_param_value_t e{};
    e.header = {sizeof(e), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    e.param_id = id;
    e.note_id = -1;
    e.port_index = e.channel = e.key = -1;
    e.value = value;
    Add(&e, sizeof(e));
  }
  void Add(const void* event, size_t size)
  {
    // Kept in 8-byte words so the plug-in reads aligned records.
    std::vector<uint64_t> words((size + 7) / 8);
    memcpy(words.data(), event, size);
    mEvents.push_back(std::move(words));
  }
  void Clear() { mEvents.clear(); }
  const clap_input_events_t* get() const { return &mList; }

private:
  clap_input_events_t mList{};
  std::vector<std::vector<uint64_t>> mEvents;
};

struct OutEvent
{
  uint16_t type;
  uint32_t time;
  clap_id id;
  double value;
};

class OutputEvents
{
public:
  explicit OutputEvents(size_t capacity = 1 << 20) : mCapacity(capacity)
  {
    mList.ctx = this;
    mList.try_push = [](const clap_output_events_t* l, const clap_event_header_t* e)
    {
      auto* self = static_cast<OutputEvents*>(l->ctx);
      if (!e || self->events.size() >= self->mCapacity) return false;
      OutEvent out{e->type, e->time, CLAP_INVALID_ID, 0.0};
      if (e->type == CLAP_EVENT_PARAM_VALUE && e->size >= sizeof(clap_event_param_value_t))
      {
        const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
        out.id = v->param_id;
        out.value = v->value;
      }
      else if ((e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
                e->type == CLAP_EVENT_PARAM_GESTURE_END) &&
               e->size >= sizeof(clap_event_param_gesture_t))
        out.id = reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id;
      self->events.push_back(out);
      return true;
    };
  }
  const clap_output_events_t* get() const { return &mList; }
  std::vector<OutEvent> events;

private:
  clap_output_events_t mList{};
  size_t mCapacity;
};

// ---- streams ----
// Takes at most `chunk` bytes per write; fails (-1) at the call numbered failAt (from 0).
class OutStream
{
public:
  explicit OutStream(uint64_t chunk = 1 << 20, int failAt = -1) : mChunk(chunk), mFailAt(failAt)
  {
    mStream.ctx = this;
    mStream.write = [](const clap_ostream_t* s, const void* buffer, uint64_t size) -> int64_t
    {
      auto* self = static_cast<OutStream*>(s->ctx);
      if (self->mCalls++ == self->mFailAt) return -1;
      const uint64_t n = std::min(size, self->mChunk);
      const auto* b = static_cast<const uint8_t*>(buffer);
      self->bytes.insert(self->bytes.end(), b, b + n);
      return static_cast<int64_t>(n);
    };
  }
  const clap_ostream_t* get() const { return &mStream; }
  std::vector<uint8_t> bytes;

private:
  clap_ostream_t mStream{};
  uint64_t mChunk;
  int mFailAt;
  int mCalls = 0;
};

// Gives at most `chunk` bytes per read; fails (-1) at the call numbered failAt (from 0).
class InStream
{
public:
  explicit InStream(std::vector<uint8_t> data, uint64_t chunk = 1 << 20, int failAt = -1)
      : bytes(std::move(data)), mChunk(chunk), mFailAt(failAt)
  {
    mStream.ctx = this;
    mStream.read = [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t
    {
      auto* self = static_cast<InStream*>(s->ctx);
      if (self->mCalls++ == self->mFailAt) return -1;
      const uint64_t n = std::min({size, self->mChunk, self->bytes.size() - self->mPos});
      if (n > 0) memcpy(buffer, self->bytes.data() + self->mPos, n);
      self->mPos += n;
      return static_cast<int64_t>(n);
    };
  }
  const clap_istream_t* get() const { return &mStream; }
  std::vector<uint8_t> bytes;

private:
  clap_istream_t mStream{};
  uint64_t mChunk;
  int mFailAt;
  int mCalls = 0;
  size_t mPos = 0;
};

// ---- audio ----
struct Stereo
{
  std::vector<float> l, r;
  explicit Stereo(size_t n = 0) : l(n), r(n) {}
  size_t size() const { return l.size(); }
};

inline Stereo Noise(size_t n, uint32_t seed = 1, float amplitude = 0.25f)
{
  Stereo s(n);
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> u(-amplitude, amplitude);
  for (size_t i = 0; i < n; ++i)
  {
    s.l[i] = u(random);
    s.r[i] = u(random);
  }
  return s;
}

inline double MaxDifference(const std::vector<float>& a, const std::vector<float>& b,
                            size_t from = 0)
{
  double d = 0.0;
  for (size_t i = from; i < a.size() && i < b.size(); ++i)
    d = std::max(d, std::fabs(double(a[i]) - b[i]));
  return d;
}

// ---- one plug-in instance ----
class Instance
{
public:
  explicit Instance(Host& host, bool init = true) : mHost(host)
  {
    const clap_plugin_factory_t* factory = Factory();
    mPlugin = factory ? factory->create_plugin(factory, host.get(), kPluginId) : nullptr;
    if (mPlugin && init && !mPlugin->init(mPlugin)) Destroy();
  }
  ~Instance() { Destroy(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void Destroy()
  {
    if (!mPlugin) return;
    if (mActive) Deactivate();
    mPlugin->destroy(mPlugin);
    mPlugin = nullptr;
  }
  // destroy with no deactivation first, as a careless host calls it.
  void DestroyAsIs()
  {
    if (mPlugin) mPlugin->destroy(mPlugin);
    mPlugin = nullptr;
  }
  explicit operator bool() const { return mPlugin != nullptr; }
  const clap_plugin_t* operator->() const { return mPlugin; }
  const clap_plugin_t* get() const { return mPlugin; }

  template <class Ext> const Ext* Extension(const char* id) const
  {
    return static_cast<const Ext*>(mPlugin->get_extension(mPlugin, id));
  }
  const clap_plugin_params_t* Params() const
  {
    return Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  }

  bool Activate(double rate = 44100.0, uint32_t maxFrames = 4096)
  {
    mMaxFrames = maxFrames;
    mActive = mPlugin->activate(mPlugin, rate, 1, maxFrames);
    if (mActive) mHost.OnAudio([&] { mProcessing = mPlugin->start_processing(mPlugin); });
    return mActive;
  }
  void Deactivate()
  {
    if (!mActive) return;
    if (mProcessing) mHost.OnAudio([&] { mPlugin->stop_processing(mPlugin); });
    mProcessing = false;
    mPlugin->deactivate(mPlugin);
    mActive = false;
  }
  uint32_t Latency() const
  {
    return Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY)->get(mPlugin);
  }
  double Value(clap_id id) const
  {
    double v = NAN;
    Params()->get_value(mPlugin, id, &v);
    return v;
  }

  // One process call on the calling thread (which must be the audio thread when thread-check is
  // offered). in may equal out (in place). Returns the status.
  clap_process_status ProcessCall(float* const* in, float* const* out, uint32_t frames,
                                  const InputEvents* events = nullptr,
                                  OutputEvents* outEvents = nullptr, uint64_t inConstant = 0,
                                  uint32_t channels = 2, uint64_t* outConstant = nullptr)
  {
    InputEvents none;
    OutputEvents sink;
    clap_audio_buffer_t inBuffer{const_cast<float**>(in), nullptr, channels, 0, inConstant};
    clap_audio_buffer_t outBuffer{const_cast<float**>(out), nullptr, channels, 0, 0};
    clap_process_t p{};
    p.steady_time = mSteadyTime;
    p.frames_count = frames;
    p.audio_inputs = &inBuffer;
    p.audio_outputs = &outBuffer;
    p.audio_inputs_count = p.audio_outputs_count = 1;
    p.in_events = (events ? events : &none)->get();
    p.out_events = (outEvents ? outEvents : &sink)->get();
    const clap_process_status status = mPlugin->process(mPlugin, &p);
    mSteadyTime += frames;
    if (outConstant) *outConstant = outBuffer.constant_mask;
    return status;
  }

  // Processes a whole signal out of place on the audio thread in calls of `block` frames (the
  // last may be shorter); events (times relative to the whole signal) go to the calls they fall
  // in. Returns the output.
  Stereo Process(const Stereo& input, uint32_t block,
                 const std::vector<std::pair<uint32_t, std::pair<clap_id, double>>>& events = {})
  {
    Stereo output(input.size());
    mHost.OnAudio(
        [&]
        {
          size_t next = 0;
          for (size_t start = 0; start < input.size(); start += block)
          {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block, input.size() - start));
            InputEvents list;
            while (next < events.size() && events[next].first < start + n)
            {
              list.Param(static_cast<uint32_t>(events[next].first - start),
                         events[next].second.first, events[next].second.second);
              ++next;
            }
            float* in[2] = {const_cast<float*>(&input.l[start]),
                            const_cast<float*>(&input.r[start])};
            float* out[2] = {&output.l[start], &output.r[start]};
            EXPECT_EQ(ProcessCall(in, out, n, &list), CLAP_PROCESS_CONTINUE);
          }
        });
    return output;
  }

  // Parameter values through flush (main thread while inactive, audio thread while active).
  std::vector<OutEvent> Flush(const std::vector<std::pair<clap_id, double>>& values = {})
  {
    InputEvents in;
    for (const auto& v : values) in.Param(0, v.first, v.second);
    OutputEvents out;
    auto flush = [&] { Params()->flush(mPlugin, in.get(), out.get()); };
    if (mActive)
      mHost.OnAudio(flush);
    else
      flush();
    return out.events;
  }

  std::vector<uint8_t> Save(uint64_t chunk = 1 << 20)
  {
    OutStream stream(chunk);
    EXPECT_TRUE(Extension<clap_plugin_state_t>(CLAP_EXT_STATE)->save(mPlugin, stream.get()));
    return stream.bytes;
  }
  bool Load(const std::vector<uint8_t>& bytes, uint64_t chunk = 1 << 20, int failAt = -1)
  {
    InStream stream(bytes, chunk, failAt);
    return Extension<clap_plugin_state_t>(CLAP_EXT_STATE)->load(mPlugin, stream.get());
  }

  uint32_t MaxFrames() const { return mMaxFrames; }
  bool Active() const { return mActive; }

private:
  Host& mHost;
  const clap_plugin_t* mPlugin = nullptr;
  bool mActive = false;
  bool mProcessing = false;
  uint32_t mMaxFrames = 0;
  int64_t mSteadyTime = 0;
};
} // namespace claptest
