// Small helpers the benchmarks share: elapsed time, memory of the process,
// the system's file cache, and copies of a table's folder.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Peak resident memory of this process so far.
inline long PeakKiB() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Resident memory of this process now.
inline long CurrentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Empties the system's file cache; false when not allowed (needs root).
inline bool DropCaches() {
  sync();
  FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
  if (f == nullptr) return false;
  bool ok = std::fputs("3\n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

// Copies the files of folder `from` into a fresh folder `to` and puts the
// copies on disk, so that the syncs of what is measured next do not pay
// for writing out the copy.
inline void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  fs::remove_all(to);
  fs::create_directories(to);
  for (const auto& e : fs::directory_iterator(from)) fs::copy_file(e.path(), to / e.path().filename());
  sync();
}

}  // namespace bench
