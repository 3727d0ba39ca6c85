#include "engine/Prefs.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "core/IPlugBase.h"
#include "dsp/SharedFlags.h"
#include "engine/InstanceState.h"
#include "engine/TarvexParams.h"

static constexpr const char* kPrefsFileName = "Tarvex Preferences.dat";
static constexpr int kPrefsWriteDelayFrames = 40;

static std::string PrefsFolder()
{
#ifdef __APPLE__
  return "/Library/Preferences";
#else
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return xdg;
  const char* home = getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  return std::string();
#endif
}

std::string PrefsFilePath()
{
  const std::string folder = PrefsFolder();
  if (folder.empty()) return folder;
  return folder + "/" + kPrefsFileName;
}

// Stores a value read from the file: clamped to the bounds, not rounded to the step. Values that
// are not numbers are ignored like unparsable ones.
static void StoreSetting(IPlugBase& plug, int index, double value)
{
  if (std::isnan(value)) return;
  IParam* param = plug.GetParam(index);
  param->mValue = param->Clamped(value);
}

void ReadPrefs(IPlugBase& plug, InstanceState& state)
{
  const std::string path = PrefsFilePath();
  FILE* file = path.empty() ? nullptr : fopen(path.c_str(), "r");
  if (file)
  {
    char line[512];
    while (fgets(line, sizeof(line), file))
    {
      const size_t length = strlen(line);
      if (length == sizeof(line) - 1 && line[length - 1] != '\n')
      {
        // Longer than 511 characters: ignore the whole line, not just its first part.
        int c;
        while ((c = fgetc(file)) != EOF && c != '\n')
        {
        }
        continue;
      }
      char word[64];
      if (sscanf(line, "%63s", word) != 1) continue;
      double value = 0.0;
      if (!strcmp(word, "Resolution"))
      {
        if (sscanf(line, "Resolution %lg\n", &value) == 1)
          StoreSetting(plug, kParamResolution, value);
      }
      else if (!strcmp(word, "Delay"))
      {
        if (sscanf(line, "Delay %lg\n", &value) == 1)
          StoreSetting(plug, kParamInputBufferSize, value);
      }
      else if (!strcmp(word, "Limiter"))
      {
        if (sscanf(line, "Limiter %lg\n", &value) == 1) StoreSetting(plug, kParamLimiter, value);
      }
      else if (!strcmp(word, "Colour"))
      {
        char second[64];
        if (sscanf(line, "Colour %63s", second) != 1) continue;
        if (!strcmp(second, "scheme"))
        {
          if (sscanf(line, "Colour scheme %lg\n", &value) == 1)
            StoreSetting(plug, kParamColour, value);
        }
        else if (!strcmp(second, "gain"))
        {
          if (sscanf(line, "Colour gain %lg\n", &value) == 1)
            StoreSetting(plug, kParamColourGain, value);
        }
      }
    }
    fclose(file);
  }
  StoreFlag(state.colourScheme, static_cast<int32_t>(plug.GetParam(kParamColour)->mValue));
  StoreShared(state.colourGain, plug.GetParam(kParamColourGain)->mValue);
}

static bool EnsureFolder(const std::string& folder)
{
  if (folder.empty()) return false;
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  // Create missing parents one level at a time.
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !EnsureFolder(folder.substr(0, slash)))
    return false;
  return mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

bool WritePrefs(const IPlugBase& plug)
{
  const std::string folder = PrefsFolder();
  if (!EnsureFolder(folder)) return false;
  // Other instances and processes read and write the same file: the settings go to a file of this
  // writer's own, which then replaces the old one in one step, so a reader sees the old file or the
  // new one and never half of either.
  static std::atomic<unsigned> writes{0};
  const std::string path = folder + "/" + kPrefsFileName;
  char suffix[64];
  snprintf(suffix, sizeof(suffix), ".%ld.%u.tmp", static_cast<long>(getpid()),
           writes.fetch_add(1, std::memory_order_relaxed));
  const std::string temporary = path + suffix;
  FILE* file = fopen(temporary.c_str(), "w");
  if (!file) return false;
  fprintf(file, "Tarvex Prefs 1.0\n");
  fprintf(file, "Resolution %g\n", plug.GetParam(kParamResolution)->Value());
  fprintf(file, "Delay %g\n", plug.GetParam(kParamInputBufferSize)->Value());
  fprintf(file, "Limiter %g\n", plug.GetParam(kParamLimiter)->Value());
  fprintf(file, "Colour scheme %d\n", static_cast<int>(plug.GetParam(kParamColour)->Value()));
  fprintf(file, "Colour gain %g\n", plug.GetParam(kParamColourGain)->Value());
  const bool written = !ferror(file);
  if (fclose(file) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0)
  {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool TickPrefsDebounce(InstanceState& state)
{
  const int32_t count = LoadFlag(state.prefsFrameCount);
  if (count < kPrefsWriteDelayFrames) // no need to count further
  {
    // A change on a host thread meanwhile restarts the count; it wins over this increment.
    int32_t expected = count;
    __atomic_compare_exchange_n(&state.prefsFrameCount, &expected, count + 1, false,
                                __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
  }
  if (LoadFlag(state.prefsFrameCount) < kPrefsWriteDelayFrames) return false;
  if (ExchangeFlag(state.prefsDirty, 0) != 1) return false;
  StoreFlag(state.prefsFrameCount, 0);
  if (state.plug) WritePrefs(*state.plug);
  return true;
}
