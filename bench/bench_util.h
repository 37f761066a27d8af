// Small helpers the benchmarks share: elapsed time, memory of the process,
// the system's file cache, and copies of a table's folder.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/sample_data.h"

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

// Read and write calls a process has made (read, pread, readv, ... and
// write, pwrite, ...), from /proc/PID/io; "self" for this process. A
// finished child keeps its counts until it is waited for.
struct IoCalls {
  long long reads = 0, writes = 0;
  long long total() const { return reads + writes; }
};
inline IoCalls IoCallsOf(const std::string& pid) {
  IoCalls c;
  if (FILE* f = std::fopen(("/proc/" + pid + "/io").c_str(), "r")) {
    char name[32];
    long long v = 0;
    while (std::fscanf(f, "%31s %lld", name, &v) == 2) {
      if (std::string(name) == "syscr:") c.reads = v;
      if (std::string(name) == "syscw:") c.writes = v;
    }
    std::fclose(f);
  }
  return c;
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

// One sequential read of `from` and a write of it to `to`, with `sync`
// forced to disk at the end; its time in seconds, and (when asked) the
// read and write calls it made.
inline double PlainReadWrite(const std::string& from, const std::string& to, bool sync_at_end,
                             IoCalls* calls = nullptr) {
  std::vector<char> buf(1 << 20);
  const IoCalls before = IoCallsOf("self");
  auto start = Clock::now();
  FILE* in = std::fopen(from.c_str(), "rb");
  FILE* out = std::fopen(to.c_str(), "wb");
  if (in == nullptr || out == nullptr) std::exit(1);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  std::fflush(out);
  if (sync_at_end) fsync(fileno(out));
  std::fclose(out);
  const double seconds = Seconds(start);
  if (calls != nullptr) {
    const IoCalls after = IoCallsOf("self");
    calls->reads = after.reads - before.reads;
    calls->writes = after.writes - before.writes;
  }
  return seconds;
}

// Writes the benchmarks' sample table (10% of rows before 2011, 5% exact
// repeats) to `path`, in a child process so that its memory is not ours.
inline bool WriteSample(const std::filesystem::path& path, uint64_t rows, bool keyed) {
  std::filesystem::create_directories(path.parent_path());
  pid_t pid = fork();
  if (pid == 0) {
    tools::SampleOptions o;
    o.rows = rows;
    o.keyed = keyed;
    o.old_percent = 10;
    o.repeat_percent = 5;
    paradox::Status st = tools::WriteSampleTable(paradox::FileSystem::Default(), path.string(), o, nullptr);
    if (!st.ok()) std::fprintf(stderr, "%s\n", st.ToString().c_str());
    _exit(st.ok() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bench
