#include "tools/tarvex-render-host.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

// The host that the callback answers for while an entry point runs (before effect->user is set).
static RenderPlugin* gLoadingHost = nullptr;

static bool IsDirectory(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ResolvePluginBinary(const std::string& path)
{
  if (!IsDirectory(path)) return path;
  std::string bundle = path;
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  const std::string folder = bundle + "/Contents/x86_64-linux";
  std::string stem = bundle.substr(bundle.find_last_of('/') + 1);
  if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".vst") == 0)
    stem.resize(stem.size() - 4);
  const std::string named = folder + "/" + stem + ".so";
  struct stat st;
  if (stat(named.c_str(), &st) == 0) return named;
  // Otherwise the first shared object in the folder.
  if (DIR* dir = opendir(folder.c_str()))
  {
    std::string found;
    while (dirent* entry = readdir(dir))
    {
      const std::string name = entry->d_name;
      if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0)
      {
        found = folder + "/" + name;
        break;
      }
    }
    closedir(dir);
    if (!found.empty()) return found;
  }
  return named;
}

bool RenderPlugin::Load(const std::string& path, std::string* error)
{
  Close();
  const std::string binary = ResolvePluginBinary(path);
  struct stat st;
  if (stat(binary.c_str(), &st) != 0)
  {
    *error = "plug-in not found: '" + binary + "'";
    return false;
  }
  // Kept mapped after dlclose: the plug-in's process-wide tables live until the process ends.
  mLibrary = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!mLibrary)
  {
    const char* why = dlerror();
    *error = "cannot load plug-in '" + binary + "': " + (why ? why : "unknown error");
    return false;
  }
  void* entry = dlsym(mLibrary, "VSTPluginMain");
  if (!entry) entry = dlsym(mLibrary, "main");
  if (!entry)
  {
    *error = "'" + binary + "' is not a VST 2 plug-in (no VSTPluginMain)";
    Close();
    return false;
  }
  VstPluginMainProc main;
  static_assert(sizeof(main) == sizeof(entry), "function and object pointers");
  memcpy(&main, &entry, sizeof(main));
  gLoadingHost = this;
  mEffect = main(HostCallback);
  gLoadingHost = nullptr;
  if (!mEffect || mEffect->magic != kEffectMagic)
  {
    *error = "plug-in '" + binary + "' refused to create an instance";
    mEffect = nullptr;
    Close();
    return false;
  }
  mEffect->user = this;
  return true;
}

void RenderPlugin::Close()
{
  if (mEffect)
  {
    if (mStarted) Stop();
    mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
    mEffect = nullptr;
  }
  mOpened = false;
  if (mLibrary) dlclose(mLibrary);
  mLibrary = nullptr;
}

VstIntPtr RenderPlugin::Dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                 float opt)
{
  if (!mEffect) return 0;
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void RenderPlugin::Open(double sampleRate, int blockSize)
{
  mSampleRate = sampleRate;
  mBlockSize = blockSize;
  if (!mOpened) Dispatch(effOpen);
  mOpened = true;
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
}

void RenderPlugin::Start()
{
  Dispatch(effMainsChanged, 0, 1);
  mStarted = true;
}

void RenderPlugin::Stop()
{
  Dispatch(effMainsChanged, 0, 0);
  mStarted = false;
}

int RenderPlugin::Latency() const
{
  return mEffect && mEffect->initialDelay > 0 ? mEffect->initialDelay : 0;
}

// Parameter texts: the plug-in writes at most 32 bytes; the buffer is larger for safety.
static std::string TextOf(RenderPlugin& plug, int32_t opcode, int index)
{
  char text[256];
  memset(text, 0, sizeof(text));
  plug.Dispatch(opcode, index, 0, text);
  text[sizeof(text) - 1] = 0;
  return text;
}

std::string RenderPlugin::ParamName(int index)
{
  return TextOf(*this, effGetParamName, index);
}
std::string RenderPlugin::ParamDisplay(int index)
{
  return TextOf(*this, effGetParamDisplay, index);
}
std::string RenderPlugin::ParamLabel(int index)
{
  return TextOf(*this, effGetParamLabel, index);
}

static std::string Folded(const std::string& text)
{
  size_t first = 0, last = text.size();
  while (first < last && isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  std::string out = text.substr(first, last - first);
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

int RenderPlugin::FindParam(const std::string& name)
{
  const std::string wanted = Folded(name);
  for (int i = 0; i < ParamCount(); ++i)
    if (Folded(ParamName(i)) == wanted) return i;
  return -1;
}

std::vector<unsigned char> RenderPlugin::GetProgramChunk()
{
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 1, 0, &data);
  if (size <= 0 || !data) return {};
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

bool RenderPlugin::SetProgramChunk(const std::vector<unsigned char>& bytes)
{
  std::vector<unsigned char> copy = bytes;
  return Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(copy.size()), copy.data()) == 1;
}

void RenderPlugin::Process(double** inputs, double** outputs, int nChannels, int frames)
{
  if (!mEffect || frames <= 0) return;
  if ((mEffect->flags & effFlagsCanDoubleReplacing) && mEffect->processDoubleReplacing)
    mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
  else
  {
    mFloatScratch.resize(static_cast<size_t>(2 * nChannels * frames));
    float* in[2];
    float* out[2];
    for (int c = 0; c < nChannels && c < 2; ++c)
    {
      in[c] = mFloatScratch.data() + static_cast<size_t>(c * frames);
      out[c] = mFloatScratch.data() + static_cast<size_t>((nChannels + c) * frames);
      for (int s = 0; s < frames; ++s) in[c][s] = static_cast<float>(inputs[c][s]);
    }
    mEffect->processReplacing(mEffect, in, out, frames);
    for (int c = 0; c < nChannels && c < 2; ++c)
      for (int s = 0; s < frames; ++s) outputs[c][s] = out[c][s];
  }
  mSamplePosition += frames;
}

void RenderPlugin::ProcessFloat(float** inputs, float** outputs, int frames)
{
  if (!mEffect || frames <= 0 || !mEffect->processReplacing) return;
  mEffect->processReplacing(mEffect, inputs, outputs, frames);
  mSamplePosition += frames;
}

VstIntPtr RenderPlugin::HostCallback(AEffect* effect, int32_t opcode, int32_t, VstIntPtr, void* ptr,
                                     float)
{
  RenderPlugin* host =
      effect && effect->user ? static_cast<RenderPlugin*>(effect->user) : gLoadingHost;
  switch (opcode)
  {
  case audioMasterVersion:
    return 2400;
  case audioMasterGetTime:
    if (!host) return 0;
    memset(&host->mTimeInfo, 0, sizeof(host->mTimeInfo));
    host->mTimeInfo.samplePos = host->mSamplePosition;
    host->mTimeInfo.sampleRate = host->mSampleRate;
    host->mTimeInfo.tempo = 120.0;
    host->mTimeInfo.timeSigNumerator = 4;
    host->mTimeInfo.timeSigDenominator = 4;
    host->mTimeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    return reinterpret_cast<VstIntPtr>(&host->mTimeInfo);
  case audioMasterIOChanged:
    if (host) ++host->mIOChangedCount;
    return 1;
  case audioMasterGetProductString:
    if (ptr) strcpy(static_cast<char*>(ptr), "tarvex-render");
    return 1;
  case audioMasterGetVendorVersion:
    return 10000;
  default:
    return 0;
  }
}

// ---- parameter settings ----

static std::string Trimmed(const std::string& text)
{
  size_t first = 0, last = text.size();
  while (first < last && isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// A whole number, possibly with blanks around it, or +-inf/-INF as the plug-in shows silence.
static bool IsNumber(const std::string& text)
{
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = strtod(begin, &end);
  if (end == begin || std::isnan(v)) return false;
  while (*end && isspace(static_cast<unsigned char>(*end))) ++end;
  return *end == 0;
}

bool ApplySetting(RenderPlugin& plug, const std::string& setting, std::string* error)
{
  const size_t eq = setting.find('=');
  if (eq == std::string::npos)
  {
    *error = "--set \"" + setting + "\": expected NAME=VALUE";
    return false;
  }
  const std::string name = Trimmed(setting.substr(0, eq));
  const std::string value = Trimmed(setting.substr(eq + 1));
  const int index = plug.FindParam(name);
  if (index < 0)
  {
    *error = "unknown parameter '" + name + "' (see --list-params)";
    return false;
  }
  if (value.empty())
  {
    *error = "no value for parameter '" + plug.ParamName(index) + "'";
    return false;
  }
  std::vector<char> text(value.begin(), value.end());
  text.push_back(0);
  plug.Dispatch(effString2Parameter, index, 0, text.data());
  // A value that is not a number must be one of the parameter's own texts.
  if (!IsNumber(value) && !SameTextIgnoringCase(Trimmed(plug.ParamDisplay(index)), value))
  {
    *error = "cannot read '" + value + "' as a value of parameter '" + plug.ParamName(index) + "'";
    return false;
  }
  return true;
}
