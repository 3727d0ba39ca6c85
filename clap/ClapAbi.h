// The CLAP binary interface as the host sees it (CLAP 1.2): the entry, the plug-in factory, the
// plug-in and host records, process data and events, and the extensions this plug-in offers or
// uses. Written from the published standard; only what this plug-in and its test host use is
// named. The thread each function runs on is noted as the standard states it:
// [main-thread], [audio-thread], [thread-safe] (any thread).
//
// Every record is plain data with the natural C layout of the x86_64 ABI (declared as C++, which
// lays them out alike); the sizes and offsets a host relies on are checked at the end.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- version, ids, sizes ----
struct clap_version_t
{
  uint32_t major;
  uint32_t minor;
  uint32_t revision;
};
constexpr clap_version_t kClapVersion = {1, 2, 0};
// Every 1.x host and plug-in can talk to each other.
constexpr bool ClapVersionIsCompatible(const clap_version_t& v)
{
  return v.major >= 1;
}

using clap_id = uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;
enum : uint32_t
{
  CLAP_NAME_SIZE = 256,
  CLAP_PATH_SIZE = 1024,
};

// ---- streams ----
struct clap_istream_t
{
  void* ctx;
  // Reads up to size bytes; returns the bytes read, 0 at the end of the stream, -1 on error.
  int64_t (*read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};
struct clap_ostream_t
{
  void* ctx;
  // Writes up to size bytes; returns the bytes written (maybe fewer), -1 on error.
  int64_t (*write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};

// ---- events ----
struct clap_event_header_t
{
  uint32_t size; // of the whole event
  uint32_t time; // sample offset within the process call
  uint16_t space_id;
  uint16_t type;
  uint32_t flags;
};
constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
enum : uint32_t
{
  CLAP_EVENT_IS_LIVE = 1 << 0,
  CLAP_EVENT_DONT_RECORD = 1 << 1,
};
enum : uint16_t
{
  CLAP_EVENT_NOTE_ON = 0,
  CLAP_EVENT_NOTE_OFF = 1,
  CLAP_EVENT_NOTE_CHOKE = 2,
  CLAP_EVENT_NOTE_END = 3,
  CLAP_EVENT_NOTE_EXPRESSION = 4,
  CLAP_EVENT_PARAM_VALUE = 5,
  CLAP_EVENT_PARAM_MOD = 6,
  CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
  CLAP_EVENT_PARAM_GESTURE_END = 8,
  CLAP_EVENT_TRANSPORT = 9,
  CLAP_EVENT_MIDI = 10,
  CLAP_EVENT_MIDI_SYSEX = 11,
  CLAP_EVENT_MIDI2 = 12,
};

struct clap_event_param_value_t
{
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id; // -1: every note (the only kind we send)
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double value; // plain value, in the parameter's own units
};

struct clap_event_param_gesture_t
{
  clap_event_header_t header;
  clap_id param_id;
};

using clap_beattime = int64_t; // beats * 2^31
using clap_sectime = int64_t;  // seconds * 2^31
struct clap_event_transport_t
{
  clap_event_header_t header;
  uint32_t flags;
  clap_beattime song_pos_beats;
  clap_sectime song_pos_seconds;
  double tempo;
  double tempo_inc;
  clap_beattime loop_start_beats;
  clap_beattime loop_end_beats;
  clap_sectime loop_start_seconds;
  clap_sectime loop_end_seconds;
  clap_beattime bar_start;
  int32_t bar_number;
  uint16_t tsig_num;
  uint16_t tsig_denom;
};

struct clap_input_events_t
{
  void* ctx;
  uint32_t (*size)(const clap_input_events_t* list);
  // Events come sorted by time.
  const clap_event_header_t* (*get)(const clap_input_events_t* list, uint32_t index);
};
struct clap_output_events_t
{
  void* ctx;
  // Copies the event; false when the host's list is full. Events must be pushed in time order.
  bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// ---- process ----
struct clap_audio_buffer_t
{
  float** data32;
  double** data64;
  uint32_t channel_count;
  uint32_t latency;
  // Bit c set: every sample of channel c equals its first one.
  uint64_t constant_mask;
};

enum : int32_t
{
  CLAP_PROCESS_ERROR = 0,
  CLAP_PROCESS_CONTINUE = 1,
  CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
  CLAP_PROCESS_TAIL = 3,
  CLAP_PROCESS_SLEEP = 4,
};
using clap_process_status = int32_t;

struct clap_process_t
{
  int64_t steady_time;
  uint32_t frames_count;
  const clap_event_transport_t* transport;
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  uint32_t audio_inputs_count;
  uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
};

// ---- host ----
struct clap_host_t
{
  clap_version_t clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  // [thread-safe]
  const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
  // [thread-safe] Deactivate and activate the plug-in again.
  void (*request_restart)(const clap_host_t* host);
  // [thread-safe]
  void (*request_process)(const clap_host_t* host);
  // [thread-safe] Call on_main_thread soon.
  void (*request_callback)(const clap_host_t* host);
};

// ---- plug-in ----
struct clap_plugin_descriptor_t
{
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features; // null-terminated
};

struct clap_plugin_t
{
  const clap_plugin_descriptor_t* desc;
  void* plugin_data;
  bool (*init)(const clap_plugin_t* plugin);    // [main-thread]
  void (*destroy)(const clap_plugin_t* plugin); // [main-thread & !active]
  bool (*activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames_count,
                   uint32_t max_frames_count);           // [main-thread & !active]
  void (*deactivate)(const clap_plugin_t* plugin);       // [main-thread & active]
  bool (*start_processing)(const clap_plugin_t* plugin); // [audio-thread & active & !processing]
  void (*stop_processing)(const clap_plugin_t* plugin);  // [audio-thread & active & processing]
  void (*reset)(const clap_plugin_t* plugin);            // [audio-thread & active]
  clap_process_status (*process)(const clap_plugin_t* plugin,
                                 const clap_process_t* process); // [audio-thread & processing]
  const void* (*get_extension)(const clap_plugin_t* plugin, const char* id); // [thread-safe]
  void (*on_main_thread)(const clap_plugin_t* plugin);                       // [main-thread]
};

// ---- factory and entry ----
constexpr const char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";
struct clap_plugin_factory_t
{
  uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
  const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                           uint32_t index);
  // [main-thread]
  const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory,
                                        const clap_host_t* host, const char* plugin_id);
};

// The one exported symbol, "clap_entry".
struct clap_plugin_entry_t
{
  clap_version_t clap_version;
  bool (*init)(const char* plugin_path); // may be called again before deinit
  void (*deinit)();
  const void* (*get_factory)(const char* factory_id); // [thread-safe]
};

// ---- extension: audio-ports ----
constexpr const char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
constexpr const char CLAP_PORT_MONO[] = "mono";
constexpr const char CLAP_PORT_STEREO[] = "stereo";
enum : uint32_t
{
  CLAP_AUDIO_PORT_IS_MAIN = 1 << 0,
  CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1 << 1,
  CLAP_AUDIO_PORT_PREFERS_64BITS = 1 << 2,
  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1 << 3,
};
struct clap_audio_port_info_t
{
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t flags;
  uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
};
struct clap_plugin_audio_ports_t
{
  uint32_t (*count)(const clap_plugin_t* plugin, bool is_input); // [main-thread]
  bool (*get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
              clap_audio_port_info_t* info); // [main-thread]
};

// ---- extension: audio-ports-config ----
constexpr const char CLAP_EXT_AUDIO_PORTS_CONFIG[] = "clap.audio-ports-config";
struct clap_audio_ports_config_t
{
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t input_port_count;
  uint32_t output_port_count;
  bool has_main_input;
  uint32_t main_input_channel_count;
  const char* main_input_port_type;
  bool has_main_output;
  uint32_t main_output_channel_count;
  const char* main_output_port_type;
};
struct clap_plugin_audio_ports_config_t
{
  uint32_t (*count)(const clap_plugin_t* plugin); // [main-thread]
  bool (*get)(const clap_plugin_t* plugin, uint32_t index,
              clap_audio_ports_config_t* config);                 // [main-thread]
  bool (*select)(const clap_plugin_t* plugin, clap_id config_id); // [main-thread & !active]
};

// ---- extension: params ----
constexpr const char CLAP_EXT_PARAMS[] = "clap.params";
enum : uint32_t
{
  CLAP_PARAM_IS_STEPPED = 1 << 0,
  CLAP_PARAM_IS_PERIODIC = 1 << 1,
  CLAP_PARAM_IS_HIDDEN = 1 << 2,
  CLAP_PARAM_IS_READONLY = 1 << 3,
  CLAP_PARAM_IS_BYPASS = 1 << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
  CLAP_PARAM_IS_MODULATABLE = 1 << 10,
  CLAP_PARAM_REQUIRES_PROCESS = 1 << 15,
  CLAP_PARAM_IS_ENUM = 1 << 16,
};
using clap_param_info_flags = uint32_t;
struct clap_param_info_t
{
  clap_id id;
  clap_param_info_flags flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];
  double min_value;
  double max_value;
  double default_value;
};
struct clap_plugin_params_t
{
  uint32_t (*count)(const clap_plugin_t* plugin); // [main-thread]
  bool (*get_info)(const clap_plugin_t* plugin, uint32_t param_index,
                   clap_param_info_t* param_info); // [main-thread]
  bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value); // [main]
  bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value,
                        char* out_buffer, uint32_t out_buffer_capacity); // [main-thread]
  bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                        double* out_value); // [main-thread]
  // [active ? audio-thread : main-thread]; never at the same time as process.
  void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                const clap_output_events_t* out);
};
enum : uint32_t
{
  CLAP_PARAM_RESCAN_VALUES = 1 << 0,
  CLAP_PARAM_RESCAN_TEXT = 1 << 1,
  CLAP_PARAM_RESCAN_INFO = 1 << 2,
  CLAP_PARAM_RESCAN_ALL = 1 << 3,
};
using clap_param_rescan_flags = uint32_t;
using clap_param_clear_flags = uint32_t;
struct clap_host_params_t
{
  void (*rescan)(const clap_host_t* host, clap_param_rescan_flags flags);                 // [main]
  void (*clear)(const clap_host_t* host, clap_id param_id, clap_param_clear_flags flags); // [main]
  void (*request_flush)(const clap_host_t* host); // [thread-safe, !audio-thread]
};

// ---- extension: state ----
constexpr const char CLAP_EXT_STATE[] = "clap.state";
struct clap_plugin_state_t
{
  bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream); // [main-thread]
  bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream); // [main-thread]
};
struct clap_host_state_t
{
  void (*mark_dirty)(const clap_host_t* host); // [main-thread]
};

// ---- extension: latency ----
constexpr const char CLAP_EXT_LATENCY[] = "clap.latency";
struct clap_plugin_latency_t
{
  uint32_t (*get)(const clap_plugin_t* plugin); // [main-thread & (being-activated | active)]
};
struct clap_host_latency_t
{
  void (*changed)(const clap_host_t* host); // [main-thread & being-activated]
};

// ---- extension: gui ----
constexpr const char CLAP_EXT_GUI[] = "clap.gui";
constexpr const char CLAP_WINDOW_API_X11[] = "x11";
struct clap_window_t
{
  const char* api;
  union
  {
    void* cocoa;
    unsigned long x11; // the X11 Window id
    void* win32;
    void* ptr;
  };
};
struct clap_gui_resize_hints_t
{
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  uint32_t aspect_ratio_width;
  uint32_t aspect_ratio_height;
};
// Every function [main-thread].
struct clap_plugin_gui_t
{
  bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
  bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  void (*destroy)(const clap_plugin_t* plugin);
  bool (*set_scale)(const clap_plugin_t* plugin, double scale);
  bool (*get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool (*can_resize)(const clap_plugin_t* plugin);
  bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
  bool (*adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool (*set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
  bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
  bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
  void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
  bool (*show)(const clap_plugin_t* plugin);
  bool (*hide)(const clap_plugin_t* plugin);
};
struct clap_host_gui_t
{
  void (*resize_hints_changed)(const clap_host_t* host);                            // [thread-safe]
  bool (*request_resize)(const clap_host_t* host, uint32_t width, uint32_t height); // [thread-safe]
  bool (*request_show)(const clap_host_t* host);                                    // [thread-safe]
  bool (*request_hide)(const clap_host_t* host);                                    // [thread-safe]
  void (*closed)(const clap_host_t* host, bool was_destroyed);                      // [thread-safe]
};

// ---- extension: render ----
constexpr const char CLAP_EXT_RENDER[] = "clap.render";
enum : int32_t
{
  CLAP_RENDER_REALTIME = 0,
  CLAP_RENDER_OFFLINE = 1,
};
using clap_plugin_render_mode = int32_t;
struct clap_plugin_render_t
{
  bool (*has_hard_realtime_requirement)(const clap_plugin_t* plugin);     // [main-thread]
  bool (*set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode); // [main-thread]
};

// ---- extension: thread-check (host) ----
constexpr const char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";
struct clap_host_thread_check_t
{
  bool (*is_main_thread)(const clap_host_t* host);  // [thread-safe]
  bool (*is_audio_thread)(const clap_host_t* host); // [thread-safe]
};

// ---- extension: log (host) ----
constexpr const char CLAP_EXT_LOG[] = "clap.log";
enum : int32_t
{
  CLAP_LOG_DEBUG = 0,
  CLAP_LOG_INFO = 1,
  CLAP_LOG_WARNING = 2,
  CLAP_LOG_ERROR = 3,
  CLAP_LOG_FATAL = 4,
  CLAP_LOG_HOST_MISBEHAVING = 5,
  CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};
using clap_log_severity = int32_t;
struct clap_host_log_t
{
  void (*log)(const clap_host_t* host, clap_log_severity severity,
              const char* msg); // [thread-safe]
};

// ---- extension: timer-support ----
constexpr const char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";
struct clap_plugin_timer_support_t
{
  void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id); // [main-thread]
};
struct clap_host_timer_support_t
{
  bool (*register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id); // [main]
  bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);                    // [main]
};

// ---- extension: posix-fd-support ----
constexpr const char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
enum : uint32_t
{
  CLAP_POSIX_FD_READ = 1 << 0,
  CLAP_POSIX_FD_WRITE = 1 << 1,
  CLAP_POSIX_FD_ERROR = 1 << 2,
};
using clap_posix_fd_flags_t = uint32_t;
struct clap_plugin_posix_fd_support_t
{
  void (*on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags); // [main-thread]
};
struct clap_host_posix_fd_support_t
{
  bool (*register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags); // [main]
  bool (*modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);   // [main]
  bool (*unregister_fd)(const clap_host_t* host, int fd);                            // [main]
};

// ---- feature strings of the descriptor ----
constexpr const char CLAP_PLUGIN_FEATURE_AUDIO_EFFECT[] = "audio-effect";
constexpr const char CLAP_PLUGIN_FEATURE_EQUALIZER[] = "equalizer";
constexpr const char CLAP_PLUGIN_FEATURE_STEREO[] = "stereo";
constexpr const char CLAP_PLUGIN_FEATURE_MONO[] = "mono";

// ---- layouts (x86_64) ----
#define TARVEX_CLAP_LAYOUT(cond, what) static_assert(sizeof(void*) != 8 || (cond), what " layout")
TARVEX_CLAP_LAYOUT(sizeof(clap_version_t) == 12, "clap_version_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_entry_t) == 40 && offsetof(clap_plugin_entry_t, init) == 16 &&
                       offsetof(clap_plugin_entry_t, get_factory) == 32,
                   "clap_plugin_entry_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_factory_t) == 24, "clap_plugin_factory_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_descriptor_t) == 88 &&
                       offsetof(clap_plugin_descriptor_t, id) == 16 &&
                       offsetof(clap_plugin_descriptor_t, version) == 64 &&
                       offsetof(clap_plugin_descriptor_t, features) == 80,
                   "clap_plugin_descriptor_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_t) == 96 && offsetof(clap_plugin_t, init) == 16 &&
                       offsetof(clap_plugin_t, process) == 72 &&
                       offsetof(clap_plugin_t, on_main_thread) == 88,
                   "clap_plugin_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_host_t) == 88 && offsetof(clap_host_t, host_data) == 16 &&
                       offsetof(clap_host_t, get_extension) == 56 &&
                       offsetof(clap_host_t, request_callback) == 80,
                   "clap_host_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_event_header_t) == 16 &&
                       offsetof(clap_event_header_t, space_id) == 8 &&
                       offsetof(clap_event_header_t, type) == 10 &&
                       offsetof(clap_event_header_t, flags) == 12,
                   "clap_event_header_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_event_param_value_t) == 56 &&
                       offsetof(clap_event_param_value_t, param_id) == 16 &&
                       offsetof(clap_event_param_value_t, cookie) == 24 &&
                       offsetof(clap_event_param_value_t, note_id) == 32 &&
                       offsetof(clap_event_param_value_t, key) == 40 &&
                       offsetof(clap_event_param_value_t, value) == 48,
                   "clap_event_param_value_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_event_param_gesture_t) == 20, "clap_event_param_gesture_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_event_transport_t) == 104 &&
                       offsetof(clap_event_transport_t, tempo) == 40 &&
                       offsetof(clap_event_transport_t, bar_number) == 96 &&
                       offsetof(clap_event_transport_t, tsig_denom) == 102,
                   "clap_event_transport_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_input_events_t) == 24 && sizeof(clap_output_events_t) == 16,
                   "event lists");
TARVEX_CLAP_LAYOUT(sizeof(clap_audio_buffer_t) == 32 &&
                       offsetof(clap_audio_buffer_t, channel_count) == 16 &&
                       offsetof(clap_audio_buffer_t, constant_mask) == 24,
                   "clap_audio_buffer_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_process_t) == 64 && offsetof(clap_process_t, frames_count) == 8 &&
                       offsetof(clap_process_t, transport) == 16 &&
                       offsetof(clap_process_t, audio_inputs_count) == 40 &&
                       offsetof(clap_process_t, in_events) == 48 &&
                       offsetof(clap_process_t, out_events) == 56,
                   "clap_process_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_istream_t) == 16 && sizeof(clap_ostream_t) == 16, "streams");
TARVEX_CLAP_LAYOUT(sizeof(clap_audio_port_info_t) == 288 &&
                       offsetof(clap_audio_port_info_t, flags) == 260 &&
                       offsetof(clap_audio_port_info_t, channel_count) == 264 &&
                       offsetof(clap_audio_port_info_t, port_type) == 272 &&
                       offsetof(clap_audio_port_info_t, in_place_pair) == 280,
                   "clap_audio_port_info_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_audio_ports_config_t) == 304 &&
                       offsetof(clap_audio_ports_config_t, input_port_count) == 260 &&
                       offsetof(clap_audio_ports_config_t, has_main_input) == 268 &&
                       offsetof(clap_audio_ports_config_t, main_input_channel_count) == 272 &&
                       offsetof(clap_audio_ports_config_t, main_input_port_type) == 280 &&
                       offsetof(clap_audio_ports_config_t, has_main_output) == 288 &&
                       offsetof(clap_audio_ports_config_t, main_output_port_type) == 296,
                   "clap_audio_ports_config_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_param_info_t) == 1320 && offsetof(clap_param_info_t, cookie) == 8 &&
                       offsetof(clap_param_info_t, name) == 16 &&
                       offsetof(clap_param_info_t, module) == 272 &&
                       offsetof(clap_param_info_t, min_value) == 1296 &&
                       offsetof(clap_param_info_t, default_value) == 1312,
                   "clap_param_info_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_window_t) == 16 && offsetof(clap_window_t, x11) == 8,
                   "clap_window_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_gui_resize_hints_t) == 12, "clap_gui_resize_hints_t");
// Extension records are tables of functions: their sizes fix the slot order's length.
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_audio_ports_t) == 2 * 8, "clap_plugin_audio_ports_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_audio_ports_config_t) == 3 * 8,
                   "clap_plugin_audio_ports_config_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_params_t) == 6 * 8 &&
                       offsetof(clap_plugin_params_t, flush) == 40,
                   "clap_plugin_params_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_host_params_t) == 3 * 8, "clap_host_params_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_state_t) == 2 * 8, "clap_plugin_state_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_gui_t) == 15 * 8 &&
                       offsetof(clap_plugin_gui_t, set_parent) == 80 &&
                       offsetof(clap_plugin_gui_t, hide) == 112,
                   "clap_plugin_gui_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_host_gui_t) == 5 * 8, "clap_host_gui_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_plugin_render_t) == 2 * 8, "clap_plugin_render_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_host_thread_check_t) == 2 * 8, "clap_host_thread_check_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_host_timer_support_t) == 2 * 8, "clap_host_timer_support_t");
TARVEX_CLAP_LAYOUT(sizeof(clap_host_posix_fd_support_t) == 3 * 8, "clap_host_posix_fd_support_t");
#undef TARVEX_CLAP_LAYOUT
