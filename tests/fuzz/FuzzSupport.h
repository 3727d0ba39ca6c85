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

// A private scratch folder for this process (in memory when /dev/shm exists), removed at exit
// together with the files named through ScratchFile.
inline const std::string& ScratchFolder()
{
  static std::string folder = []
  {
    char pattern[] = "/dev/shm/tarvex-fuzz-XXXXXX";
    char fallback[] = "/tmp/tarvex-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) made = mkdtemp(fallback);
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
