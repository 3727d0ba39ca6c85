// The process's resident memory, for the memory benchmarks.
#pragma once

#include <cstdio>
#include <unistd.h>

// Resident set of this process in KiB (/proc/self/statm), or -1 when it cannot be read.
inline long ResidentKiB()
{
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return -1;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(f);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}
