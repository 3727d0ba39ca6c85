// Helpers shared by the fuzz targets. Each target is one process that fuzzes one reader; these
// helpers keep per-process scratch state (a file for readers that take a path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz
{
// Stops the run with a message when an invariant of the reader does not hold; libFuzzer saves the
// input that caused it.
#define FUZZ_CHECK(condition)                                                                      \
  do                                                                                               \
  {                                                                                                \
    if (!(condition))                                                                              \
    {                                                                                              \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                \
      abort();                                                                                     \
    }                                                                                              \
  } while (0)

// A private scratch folder for this process, inside $TARVEX_FUZZ_SCRATCH when it is set (the run
// script sets it and removes it afterwards: libFuzzer may end the process without running exit
// handlers), else in /dev/shm or /tmp.
inline const std::string& ScratchFolder()
{
  static std::string folder = []
  {
    const char* base = getenv("TARVEX_FUZZ_SCRATCH");
    std::string pattern = std::string(base && *base ? base : "/dev/shm") + "/tarvex-fuzz-XXXXXX";
    const char* made = mkdtemp(&pattern[0]);
    if (!made)
    {
      pattern = "/tmp/tarvex-fuzz-XXXXXX";
      made = mkdtemp(&pattern[0]);
    }
    if (!made) abort();
    return std::string(made);
  }();
  return folder;
}

// Writes the bytes to `name` in the scratch folder and returns its path.
inline std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size)
{
  static std::string registered;
  const std::string path = ScratchFolder() + "/" + name;
  if (registered.empty())
  {
    registered = path;
    atexit(
        []
        {
          unlink(registered.c_str());
          rmdir(ScratchFolder().c_str());
        });
  }
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) abort();
  if (size && fwrite(data, 1, size, file) != size) abort();
  fclose(file);
  return path;
}
} // namespace fuzz
