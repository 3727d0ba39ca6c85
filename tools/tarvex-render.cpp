// tarvex-render: equalises audio files through the Tarvex VST plug-in binary, loaded the way a host
// loads it. Reads and writes WAV, FLAC and AIFF (mono or stereo) with libsndfile, compensates the
// plug-in's latency so the output lines up with the input sample for sample, and writes through a
// temporary file so that a failed run leaves no output behind.
#include <sndfile.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tools/tarvex-demo-signal.h"
#include "tools/tarvex-render-host.h"
#include "tools/tarvex-report.h"

namespace
{
const char* const kProgram = "tarvex-render";

void Fail(const std::string& message)
{
  fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

// ---- temporary output files ----

// Path of the temporary file being written, removed if the program is interrupted.
char gPartialPath[4096];

void RemovePartialOnSignal(int signal)
{
  if (gPartialPath[0]) unlink(gPartialPath);
  _exit(128 + signal);
}

void InstallSignalHandlers()
{
  signal(SIGINT, RemovePartialOnSignal);
  signal(SIGTERM, RemovePartialOnSignal);
  signal(SIGHUP, RemovePartialOnSignal);
}

// A file written under a temporary name beside its final path, renamed into place by Commit and
// removed otherwise.
class PartialFile
{
public:
  explicit PartialFile(const std::string& finalPath) : mFinal(finalPath) {}
  ~PartialFile() { Abandon(); }

  // Opens the temporary file; -1 (with a message) on failure.
  int Create(std::string* error)
  {
    std::string pattern = mFinal + ".partial-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back(0);
    const int fd = mkstemp(path.data());
    if (fd < 0)
    {
      *error = "cannot create '" + mFinal + "': " + strerror(errno);
      return -1;
    }
    mTemp = path.data();
    snprintf(gPartialPath, sizeof(gPartialPath), "%s", mTemp.c_str());
    fchmod(fd, 0644);
    return fd;
  }
  bool Commit(std::string* error)
  {
    if (rename(mTemp.c_str(), mFinal.c_str()) != 0)
    {
      *error = "cannot write '" + mFinal + "': " + strerror(errno);
      Abandon();
      return false;
    }
    mTemp.clear();
    gPartialPath[0] = 0;
    return true;
  }
  void Abandon()
  {
    if (mTemp.empty()) return;
    unlink(mTemp.c_str());
    mTemp.clear();
    gPartialPath[0] = 0;
  }

private:
  std::string mFinal;
  std::string mTemp;
};

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes,
                    std::string* error)
{
  PartialFile file(path);
  const int fd = file.Create(error);
  if (fd < 0) return false;
  const unsigned char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0)
  {
    const ssize_t n = write(fd, p, left);
    if (n <= 0)
    {
      *error = "cannot write '" + path + "': " + strerror(errno);
      close(fd);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (close(fd) != 0)
  {
    *error = "cannot write '" + path + "': " + strerror(errno);
    return false;
  }
  return file.Commit(error);
}

// ---- options ----

struct Options
{
  std::string plugin;
  std::vector<std::string> sets;
  bool listParams = false;
  std::string saveState;
  std::string loadState;
  int block = 512;
  std::string format; // "", "wav", "flac" or "aiff"
  int sampleType = 0; // libsndfile subtype from --bits, 0 for the input's
  std::string demoDir;
  bool report = false;
  double rate = 0.0; // --rate, 0 when not given
  bool quiet = false;
  std::vector<std::string> files;
};

void PrintUsage(FILE* out)
{
  fprintf(
      out,
      "usage: %s [options] INPUT OUTPUT\n"
      "       %s [options] --demo DIR\n"
      "       %s [options] --list-params | --save-state FILE\n"
      "       %s [options] --report [--rate HZ] [OUT.png]\n"
      "Equalises an audio file (WAV, FLAC or AIFF; mono or stereo) through the Tarvex plug-in.\n"
      "  --plugin PATH       the plug-in bundle (Tarvex.vst) or its .so (default: beside "
      "this program)\n"
      "  --set \"NAME=VALUE\"  sets a parameter by name (any case) to a real value; "
      "repeatable\n"
      "  --list-params       prints the parameters with their values\n"
      "  --load-state FILE   restores the plug-in state saved by --save-state\n"
      "  --save-state FILE   saves the plug-in state (after --load-state and --set)\n"
      "  --block N           host block size in frames (default 512)\n"
      "  --format TYPE       output file type: wav, flac or aiff (default: the input's)\n"
      "  --demo DIR          writes a generated demo, its equalised version and the gains "
      "measured\n"
      "  --report            measures the response the plug-in realises for the settings\n"
      "                      and prints it beside the drawn curve; with OUT.png also plots it\n"
      "  --rate HZ           sample rate of the report (default 44100)\n"
      "  --quiet             no progress bar and no summary\n",
      kProgram, kProgram, kProgram, kProgram);
}

bool ParseInt(const char* text, int* value)
{
  char* end = nullptr;
  errno = 0;
  const long v = strtol(text, &end, 10);
  if (errno || end == text || *end || v < 1 || v > (1 << 20)) return false;
  *value = static_cast<int>(v);
  return true;
}

// 0: parsed; 1: --help shown; 2: usage error.
int ParseOptions(int argc, char** argv, Options* options)
{
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    auto needValue = [&](const char* what) -> const char*
    {
      if (i + 1 >= argc)
      {
        Fail(arg + " needs " + what);
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h")
    {
      PrintUsage(stdout);
      return 1;
    }
    else if (arg == "--plugin")
    {
      const char* v = needValue("a path");
      if (!v) return 2;
      options->plugin = v;
    }
    else if (arg == "--set")
    {
      const char* v = needValue("\"NAME=VALUE\"");
      if (!v) return 2;
      options->sets.push_back(v);
    }
    else if (arg == "--list-params")
      options->listParams = true;
    else if (arg == "--save-state" || arg == "--load-state" || arg == "--demo")
    {
      const char* v = needValue(arg == "--demo" ? "a folder" : "a file");
      if (!v) return 2;
      (arg == "--save-state"   ? options->saveState
       : arg == "--load-state" ? options->loadState
                               : options->demoDir) = v;
    }
    else if (arg == "--block")
    {
      const char* v = needValue("a number of frames");
      if (!v) return 2;
      if (!ParseInt(v, &options->block))
      {
        Fail(std::string("--block: not a block size from 1 to 1048576: '") + v + "'");
        return 2;
      }
    }
    else if (arg == "--format")
    {
      const char* v = needValue("wav, flac or aiff");
      if (!v) return 2;
      options->format = v;
      for (char& c : options->format) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (options->format == "aif") options->format = "aiff";
      if (options->format != "wav" && options->format != "flac" && options->format != "aiff")
      {
        Fail(std::string("--format: unsupported output type '") + v + "' (wav, flac or aiff)");
        return 2;
      }
    }
    else if (arg == "--bits")
    {
      const char* v = needValue("16, 24, 32 or float");
      if (!v) return 2;
      const std::string bits = v;
      options->sampleType = bits == "16"      ? SF_FORMAT_PCM_16
                            : bits == "24"    ? SF_FORMAT_PCM_24
                            : bits == "32"    ? SF_FORMAT_PCM_32
                            : bits == "float" ? SF_FORMAT_FLOAT
                                              : 0;
      if (!options->sampleType)
      {
        Fail("--bits: unsupported sample type '" + bits + "' (16, 24, 32 or float)");
        return 2;
      }
    }
    else if (arg == "--report")
      options->report = true;
    else if (arg == "--rate")
    {
      const char* v = needValue("a sample rate in Hz");
      if (!v) return 2;
      char* end = nullptr;
      const double rate = strtod(v, &end);
      if (end == v || *end || !(rate >= kReportMinRate && rate <= kReportMaxRate))
      {
        Fail(std::string("--rate: not a sample rate from 8000 to 192000 Hz: '") + v + "'");
        return 2;
      }
      options->rate = rate;
    }
    else if (arg == "--quiet" || arg == "-q")
      options->quiet = true;
    else if (arg.size() > 1 && arg[0] == '-')
    {
      Fail("unknown option '" + arg + "' (see --help)");
      return 2;
    }
    else
      options->files.push_back(arg);
  }
  if (options->rate > 0.0 && !options->report)
  {
    Fail("--rate is used with --report only (renders take the input file's rate)");
    return 2;
  }
  if (options->report)
  {
    if (!options->demoDir.empty() || options->listParams || !options->saveState.empty())
    {
      Fail("--report cannot be combined with --demo, --list-params or --save-state");
      return 2;
    }
    if (options->files.size() > 1)
    {
      Fail("--report takes at most one picture file, OUT.png (see --help)");
      return 2;
    }
    const std::string& out = options->files.empty() ? std::string() : options->files[0];
    if (!out.empty() &&
        (out.size() < 5 || !SameTextIgnoringCase(out.substr(out.size() - 4), ".png")))
    {
      Fail("--report: the picture must be a .png file: '" + out + "'");
      return 2;
    }
    return 0;
  }
  const bool render = !options->files.empty();
  if (render && options->files.size() != 2)
  {
    Fail("expected an INPUT and an OUTPUT file (see --help)");
    return 2;
  }
  if (render && !options->demoDir.empty())
  {
    Fail("--demo takes no input or output file");
    return 2;
  }
  if (!render && options->demoDir.empty() && !options->listParams && options->saveState.empty())
  {
    PrintUsage(stderr);
    return 2;
  }
  return 0;
}

std::string DefaultPluginPath()
{
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return "Tarvex.vst";
  self[n] = 0;
  std::string dir = self;
  dir.resize(dir.find_last_of('/'));
  return dir + "/Tarvex.vst";
}

// ---- plug-in set-up ----

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* error)
{
  FILE* file = fopen(path.c_str(), "rb");
  if (!file)
  {
    *error = "cannot open state file '" + path + "': " + strerror(errno);
    return false;
  }
  unsigned char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
  {
    bytes->insert(bytes->end(), buffer, buffer + n);
    if (bytes->size() > (16u << 20)) break; // far larger than any state of ours
  }
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed)
  {
    *error = "cannot read state file '" + path + "'";
    return false;
  }
  return true;
}

bool LoadStateFile(RenderPlugin& plug, const std::string& path, std::string* error)
{
  std::vector<unsigned char> bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  // Ours: the 'pfft' header (little-endian bytes 74 66 66 70, then version 0x10000) and one double
  // per parameter.
  static const unsigned char kHeader[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  const size_t expected = 8 + 8 * static_cast<size_t>(plug.ParamCount());
  if (bytes.size() != expected || memcmp(bytes.data(), kHeader, 8) != 0)
  {
    *error = "'" + path + "' is not a Tarvex state file";
    return false;
  }
  for (size_t i = 8; i < bytes.size(); i += 8)
  {
    double v;
    memcpy(&v, bytes.data() + i, 8);
    if (std::isnan(v))
    {
      *error = "'" + path + "' is not a Tarvex state file (a value is not a number)";
      return false;
    }
  }
  if (!plug.SetProgramChunk(bytes))
  {
    *error = "the plug-in did not accept the state in '" + path + "'";
    return false;
  }
  return true;
}

bool SetUpPlugin(RenderPlugin& plug, const Options& options, double sampleRate, std::string* error)
{
  if (!plug.Load(options.plugin.empty() ? DefaultPluginPath() : options.plugin, error))
    return false;
  plug.Open(sampleRate, options.block);
  if (!options.loadState.empty() && !LoadStateFile(plug, options.loadState, error)) return false;
  for (const std::string& setting : options.sets)
    if (!ApplySetting(plug, setting, error)) return false;
  return true;
}

void ListParams(RenderPlugin& plug)
{
  printf("%-3s %-20s %-14s %s\n", "#", "name", "value", "normalised");
  for (int i = 0; i < plug.ParamCount(); ++i)
  {
    std::string shown = plug.ParamDisplay(i);
    const std::string label = plug.ParamLabel(i);
    if (!label.empty()) shown += " " + label;
    const float normalised = plug.Effect()->getParameter(plug.Effect(), i);
    printf("%-3d %-20s %-14s %.6f\n", i, plug.ParamName(i).c_str(), shown.c_str(), normalised);
  }
}

bool SaveStateFile(RenderPlugin& plug, const std::string& path, std::string* error)
{
  const std::vector<unsigned char> bytes = plug.GetProgramChunk();
  if (bytes.empty())
  {
    *error = "the plug-in gave no state to save";
    return false;
  }
  return WriteWholeFile(path, bytes, error);
}

// ---- rendering ----

struct RenderResult
{
  long long frames = 0;
  int latency = 0;
  double sampleRate = 0.0;
  double seconds = 0.0; // wall time of the processing
};

int MajorFormatFor(const std::string& name)
{
  if (name == "wav") return SF_FORMAT_WAV;
  if (name == "flac") return SF_FORMAT_FLAC;
  return SF_FORMAT_AIFF;
}

bool SupportedInputFormat(int format)
{
  const int major = format & SF_FORMAT_TYPEMASK;
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_FLAC ||
         major == SF_FORMAT_AIFF;
}

// The output format: the input's unless --format or --bits say otherwise. A new file type keeps
// the input's sample type when it fits there (else 24-bit, then 16-bit); a sample type that was
// asked for must fit, or the result is 0.
int OutputFormat(int inputFormat, const Options& options, int channels, int rate)
{
  SF_INFO probe{};
  probe.channels = channels;
  probe.samplerate = rate;
  const int major =
      options.format.empty() ? inputFormat & SF_FORMAT_TYPEMASK : MajorFormatFor(options.format);
  if (options.sampleType)
  {
    probe.format = major | options.sampleType;
    return sf_format_check(&probe) ? probe.format : 0;
  }
  for (int subtype : {inputFormat & SF_FORMAT_SUBMASK, static_cast<int>(SF_FORMAT_PCM_24),
                      static_cast<int>(SF_FORMAT_PCM_16)})
  {
    probe.format = major | subtype;
    if (sf_format_check(&probe)) return probe.format;
  }
  return major | SF_FORMAT_PCM_16;
}

class ProgressBar
{
public:
  ProgressBar(long long total, bool enabled) : mTotal(total), mEnabled(enabled && total > 0) {}
  void Update(long long done)
  {
    if (!mEnabled) return;
    const int percent = static_cast<int>(100 * (done < mTotal ? done : mTotal) / mTotal);
    if (percent == mShown) return;
    mShown = percent;
    const int width = 40, filled = percent * width / 100;
    fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
            width - filled, "", percent);
    fflush(stderr);
  }
  void Finish()
  {
    if (mEnabled && mShown >= 0) fprintf(stderr, "\r%*s\r", 48, "");
  }

private:
  long long mTotal;
  bool mEnabled;
  int mShown = -1;
};

// Renders input to output through the plug-in; 0, or 1 with a message.
int RenderFile(const Options& options, const std::string& inputPath, const std::string& outputPath,
               RenderResult* result)
{
  std::string error;
  SF_INFO inInfo{};
  SNDFILE* in = sf_open(inputPath.c_str(), SFM_READ, &inInfo);
  if (!in)
  {
    struct stat st;
    if (stat(inputPath.c_str(), &st) != 0)
      Fail("cannot open input '" + inputPath + "': " + strerror(errno));
    else
      Fail("cannot read input '" + inputPath + "': " + sf_strerror(nullptr));
    return 1;
  }
  struct InputCloser
  {
    SNDFILE* file;
    ~InputCloser() { sf_close(file); }
  } inCloser{in};
  if (!SupportedInputFormat(inInfo.format))
  {
    Fail("unsupported format of '" + inputPath + "' (WAV, FLAC or AIFF only)");
    return 1;
  }
  if (inInfo.channels != 1 && inInfo.channels != 2)
  {
    Fail("unsupported channel count " + std::to_string(inInfo.channels) + " in '" + inputPath +
         "' (mono or stereo only)");
    return 1;
  }
  if (inInfo.samplerate <= 0)
  {
    Fail("'" + inputPath + "' has no sample rate");
    return 1;
  }
  const int channels = inInfo.channels;
  const double rate = inInfo.samplerate;

  RenderPlugin plug;
  if (!SetUpPlugin(plug, options, rate, &error))
  {
    Fail(error);
    return 1;
  }
  if (plug.Effect()->numInputs < channels || plug.Effect()->numOutputs < channels)
  {
    Fail("the plug-in has too few channels for '" + inputPath + "'");
    return 1;
  }
  // Mono files run the plug-in with one input and one output.
  VstSpeakerArrangement inArr{}, outArr{};
  inArr.type = outArr.type = channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
  inArr.numChannels = outArr.numChannels = channels;
  plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inArr), &outArr);
  plug.Start();
  const int latency = plug.Latency();

  SF_INFO outInfo{};
  outInfo.channels = channels;
  outInfo.samplerate = inInfo.samplerate;
  outInfo.format = OutputFormat(inInfo.format, options, channels, inInfo.samplerate);
  if (!outInfo.format)
  {
    Fail("--bits: that sample type cannot be written to this file type");
    return 1;
  }
  PartialFile partial(outputPath);
  const int fd = partial.Create(&error);
  if (fd < 0)
  {
    Fail(error);
    return 1;
  }
  SNDFILE* out = sf_open_fd(fd, SFM_WRITE, &outInfo, SF_TRUE);
  if (!out)
  {
    close(fd);
    Fail("cannot write '" + outputPath + "': " + sf_strerror(nullptr));
    return 1;
  }
  sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);

  const int block = options.block;
  std::vector<double> interleaved(static_cast<size_t>(block * channels));
  std::vector<double> planes(static_cast<size_t>(4 * block));
  double* inputs[2] = {planes.data(), planes.data() + block};
  double* outputs[2] = {planes.data() + 2 * block, planes.data() + 3 * block};

  ProgressBar progress(inInfo.frames + latency, !options.quiet && isatty(2));
  const auto start = std::chrono::steady_clock::now();
  long long pushed = 0, inputFrames = 0, written = 0;
  bool inputDone = false, writeFailed = false;
  while (!inputDone || written < inputFrames)
  {
    sf_count_t got = 0;
    if (!inputDone)
    {
      got = sf_readf_double(in, interleaved.data(), block);
      if (got < 0) got = 0;
      if (got < block) inputDone = true;
      inputFrames += got;
    }
    for (int c = 0; c < channels; ++c)
      for (int s = 0; s < block; ++s)
        inputs[c][s] = s < got ? interleaved[static_cast<size_t>(s * channels + c)] : 0.0;
    plug.Process(inputs, outputs, channels, block);

    // This block's outputs are the input frames pushed - latency onwards.
    int count = 0;
    for (int s = 0; s < block; ++s)
    {
      const long long index = pushed + s - latency;
      if (index < 0 || index >= inputFrames) continue;
      for (int c = 0; c < channels; ++c)
        interleaved[static_cast<size_t>(count * channels + c)] = outputs[c][s];
      ++count;
    }
    if (count > 0 && sf_writef_double(out, interleaved.data(), count) != count)
    {
      writeFailed = true;
      break;
    }
    written += count;
    pushed += block;
    progress.Update(pushed);
  }
  const auto stop = std::chrono::steady_clock::now();
  progress.Finish();
  if (plug.Latency() != latency)
    fprintf(stderr, "%s: warning: the plug-in changed its latency during the render (%d to %d)\n",
            kProgram, latency, plug.Latency());
  if (sf_error(in) != SF_ERR_NO_ERROR)
  {
    sf_close(out);
    Fail("cannot read input '" + inputPath + "': " + sf_strerror(in));
    return 1;
  }
  if (writeFailed || sf_close(out) != 0)
  {
    if (writeFailed) sf_close(out);
    Fail("cannot write '" + outputPath + "'");
    return 1;
  }
  plug.Stop();
  if (!options.saveState.empty() && !SaveStateFile(plug, options.saveState, &error))
  {
    Fail(error);
    return 1;
  }
  if (!partial.Commit(&error))
  {
    Fail(error);
    return 1;
  }
  result->frames = written;
  result->latency = latency;
  result->sampleRate = rate;
  result->seconds = std::chrono::duration<double>(stop - start).count();
  return 0;
}

void PrintSummary(const std::string& input, const std::string& output, const RenderResult& r)
{
  const double audioSeconds = r.frames / r.sampleRate;
  const double factor = r.seconds > 0.0 ? audioSeconds / r.seconds : 0.0;
  printf("%s -> %s: latency %d samples (%.2f ms), %lld frames (%.2f s at %.0f Hz), %.1fx real "
         "time\n",
         input.c_str(), output.c_str(), r.latency, 1000.0 * r.latency / r.sampleRate, r.frames,
         audioSeconds, r.sampleRate, factor);
}

// ---- response report ----

// The response report for the options' settings at the rate, with the picture at picturePath.
int Report(const Options& options, double rate, const std::string& picturePath)
{
  ReportRequest request;
  request.sampleRate = rate;
  request.block = options.block;
  request.picturePath = picturePath;
  request.pluginPath = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
  request.setUp =
      [&options](RenderPlugin& plug, double sampleRate, bool settings, std::string* error)
  {
    if (settings) return SetUpPlugin(plug, options, sampleRate, error);
    Options bare = options;
    bare.loadState.clear();
    bare.sets.clear();
    return SetUpPlugin(plug, bare, sampleRate, error);
  };
  request.writeFile = [](const std::string& path, const std::string& bytes, std::string* error)
  { return WriteWholeFile(path, std::vector<unsigned char>(bytes.begin(), bytes.end()), error); };
  return RunReport(request);
}

// ---- demo ----

const char* const kDemoSettings[] = {"Band A gain=6", "Band C gain=-6", "Band D gain=4"};

struct Band
{
  const char* name;
  double low, high; // Hz
};
const Band kDemoBands[] = {{"low 60-100 Hz", 60.0, 100.0},
                           {"mid 1.4-2 kHz", 1400.0, 2000.0},
                           {"high 7-9 kHz", 7000.0, 9000.0}};

bool WriteDemoInput(const std::string& path, const std::vector<double>& signal, long long frames,
                    std::string* error)
{
  PartialFile partial(path);
  const int fd = partial.Create(error);
  if (fd < 0) return false;
  SF_INFO info{};
  info.channels = 2;
  info.samplerate = kDemoRate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file)
  {
    close(fd);
    *error = "cannot write '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  const bool ok = sf_writef_double(file, signal.data(), frames) == frames;
  if (sf_close(file) != 0 || !ok)
  {
    *error = "cannot write '" + path + "'";
    return false;
  }
  return partial.Commit(error);
}

bool ReadStereo(const std::string& path, std::vector<double>* samples, std::string* error)
{
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file || info.channels != 2)
  {
    if (file) sf_close(file);
    *error = "cannot read back '" + path + "'";
    return false;
  }
  samples->resize(static_cast<size_t>(2 * info.frames));
  sf_readf_double(file, samples->data(), info.frames);
  sf_close(file);
  return true;
}

// Level in dB of the frames [first, first + count) of a stereo signal within each band: power of
// Hann-windowed FFT frames (8192, half overlap), both channels, relative to a full-scale sine.
std::vector<double> BandLevels(const std::vector<double>& stereo, long long first, long long count)
{
  const size_t n = 8192;
  std::vector<double> window(n);
  double windowPower = 0.0;
  for (size_t i = 0; i < n; ++i)
  {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / n);
    windowPower += window[i] * window[i];
  }
  std::vector<double> power(sizeof(kDemoBands) / sizeof(kDemoBands[0]), 0.0);
  int frames = 0;
  std::vector<std::complex<double>> x(n);
  for (long long start = first; start + static_cast<long long>(n) <= first + count; start += n / 2)
  {
    for (int c = 0; c < 2; ++c)
    {
      for (size_t i = 0; i < n; ++i)
        x[i] = window[i] * stereo[static_cast<size_t>(2 * (start + static_cast<long long>(i)) + c)];
      Fft(x, false);
      for (size_t b = 0; b < power.size(); ++b)
      {
        const size_t lo = static_cast<size_t>(std::ceil(kDemoBands[b].low * n / kDemoRate));
        const size_t hi = static_cast<size_t>(std::floor(kDemoBands[b].high * n / kDemoRate));
        for (size_t k = lo; k <= hi; ++k) power[b] += std::norm(x[k]);
      }
    }
    ++frames;
  }
  std::vector<double> levels(power.size());
  // Parseval with the window: the band's mean square is 2 * sum |X|^2 / (n * windowPower) per
  // frame and channel (the factor 2 for the negative frequencies); a full-scale sine has 0.5.
  for (size_t b = 0; b < power.size(); ++b)
  {
    const double meanSquare = frames ? 2.0 * power[b] / (2.0 * frames * n * windowPower) : 0.0;
    levels[b] = 10.0 * std::log10(meanSquare / 0.5 + 1e-30);
  }
  return levels;
}

int RunDemo(const Options& options)
{
  std::string error;
  if (mkdir(options.demoDir.c_str(), 0755) != 0 && errno != EEXIST)
  {
    Fail("cannot create folder '" + options.demoDir + "': " + strerror(errno));
    return 1;
  }
  const std::string inputPath = options.demoDir + "/demo-input.wav";
  const std::string outputPath = options.demoDir + "/demo-output.wav";
  long long frames = 0;
  const std::vector<double> signal = MakeDemoSignal(&frames);
  if (!WriteDemoInput(inputPath, signal, frames, &error))
  {
    Fail(error);
    return 1;
  }
  Options render = options;
  render.sets.assign(std::begin(kDemoSettings), std::end(kDemoSettings));
  render.sets.insert(render.sets.end(), options.sets.begin(), options.sets.end());
  RenderResult result;
  if (RenderFile(render, inputPath, outputPath, &result) != 0) return 1;

  std::vector<double> before, after;
  if (!ReadStereo(inputPath, &before, &error) || !ReadStereo(outputPath, &after, &error))
  {
    Fail(error);
    return 1;
  }
  const long long noiseFrames = static_cast<long long>(kDemoNoiseSeconds * kDemoRate);
  const std::vector<double> levelIn = BandLevels(before, 0, noiseFrames);
  const std::vector<double> levelOut = BandLevels(after, 0, noiseFrames);
  printf("demo: %s (noise %.0f s, sweep %.0f s), equalised with", inputPath.c_str(),
         kDemoNoiseSeconds, kDemoSweepSeconds);
  for (const std::string& s : render.sets) printf(" \"%s\"", s.c_str());
  printf(" into %s\n", outputPath.c_str());
  printf("%-16s %12s %12s %10s\n", "band (noise)", "before", "after", "gain");
  for (size_t b = 0; b < levelIn.size(); ++b)
    printf("%-16s %9.2f dB %9.2f dB %+7.2f dB\n", kDemoBands[b].name, levelIn[b], levelOut[b],
           levelOut[b] - levelIn[b]);
  if (!options.quiet) PrintSummary(inputPath, outputPath, result);
  printf("\n");
  return Report(render, kDemoRate, options.demoDir + "/report.png");
}

// Loads the plug-in only to list or save parameters.
int RunWithoutAudio(const Options& options)
{
  std::string error;
  RenderPlugin plug;
  if (!SetUpPlugin(plug, options, 44100.0, &error))
  {
    Fail(error);
    return 1;
  }
  if (options.listParams) ListParams(plug);
  if (!options.saveState.empty() && !SaveStateFile(plug, options.saveState, &error))
  {
    Fail(error);
    return 1;
  }
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  Options options;
  const int parsed = ParseOptions(argc, argv, &options);
  if (parsed == 1) return 0;
  if (parsed != 0) return 2;
  InstallSignalHandlers();
  if (options.report)
    return Report(options, options.rate > 0.0 ? options.rate : 44100.0,
                  options.files.empty() ? std::string() : options.files[0]);
  if (!options.demoDir.empty()) return RunDemo(options);
  if (options.files.empty()) return RunWithoutAudio(options);

  if (options.listParams)
  {
    // The list first, without saving: the render saves the state after processing.
    Options listOnly = options;
    listOnly.saveState.clear();
    const int code = RunWithoutAudio(listOnly);
    if (code != 0) return code;
  }
  RenderResult result;
  if (RenderFile(options, options.files[0], options.files[1], &result) != 0) return 1;
  if (!options.quiet) PrintSummary(options.files[0], options.files[1], result);
  return 0;
}
