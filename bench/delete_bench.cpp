// Changing speed: the purge statement and a deletion walk, against a plain
// read and write of the same file.
//
//   delete_bench [--rows N] [--keyed] [--cold] [--only purge|walk]
//
// Writes a sample AdvBlock.db of N rows (default 1,000,000; 10% before 2011,
// 5% exact repeats) into a temporary folder, copies it for each measurement
// and reports: a plain sequential read and write of the file, the purge
// (DELETE ... WHERE FDate<"01.01.2011" through TQuery::ExecSQL), and a TTable
// walk that deletes every twentieth row; each as a ratio to the plain read
// and write, with the peak memory each adds. Each measurement runs in a
// child process of its own, so that the peak memory is its own too. For
// reference, the plain write is also timed with a final fsync, as the purge
// forces its changes to disk.
// With --cold (Linux, as root) the system's file cache is emptied before each
// measurement, so that the table is read from the disk as on an operator's
// first run; otherwise the file is read from the cache. --only runs one of
// the two measurements (for a profiler).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_util.h"
#include "paradox/engine.h"
#include "paradox/file.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "tools/sample_data.h"

namespace {

using namespace bench;  // time, memory, cache and copy helpers
namespace fs = std::filesystem;

struct Measured {
  double seconds = 0;
  long peak_kib = 0;  // above what the child had at its start
  long rows = 0;
  bool ok = false;
};

// Runs `work` (which returns a row count) in a child process.
template <typename Work>
Measured InChild(Work work) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Measured m;
    long base = CurrentKiB();
    auto start = Clock::now();
    try {
      m.rows = work();
      m.ok = true;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
    m.seconds = Seconds(start);
    m.peak_kib = PeakKiB() - base;
    ssize_t w = write(fds[1], &m, sizeof m);
    _exit(w == static_cast<ssize_t>(sizeof m) ? 0 : 1);
  }
  close(fds[1]);
  Measured m;
  if (read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m.ok = false;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t rows = 1000000;
  bool keyed = false;
  bool cold = false;
  std::string only;  // "purge", "walk" or both
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::strtoull(argv[++i], nullptr, 10);
    if (a == "--keyed") keyed = true;
    if (a == "--cold") cold = true;
    if (a == "--only" && i + 1 < argc) only = argv[++i];
  }
  fs::path base = fs::temp_directory_path() / ("advclean-delete-bench-" + std::to_string(rows) + (keyed ? "k" : ""));
  fs::path src = base / "source";
  if (!fs::exists(src / "AdvBlock.db") && !bench::WriteSample(src / "AdvBlock.db", rows, keyed)) return 1;
  paradox::DateFormat f;  // dd.MM.yyyy, as the statement below writes it
  paradox::Engine::set_date_format(f);
  uint64_t bytes = fs::file_size(src / "AdvBlock.db");
  if (cold && !DropCaches()) {
    std::fprintf(stderr, "cannot empty the file cache (needs root on Linux)\n");
    return 1;
  }

  fs::path work = base / "work";
  bench::CopyFolder(src, work);
  const std::string from = (src / "AdvBlock.db").string(), to = (work / "copy.bin").string();
  double plain = 1e9, plain_sync = 1e9;
  if (cold) {
    DropCaches();
    plain = PlainReadWrite(from, to, false);
    DropCaches();
    plain_sync = PlainReadWrite(from, to, true);
  } else {
    PlainReadWrite(from, to, false);  // warm
    for (int i = 0; i < 3; ++i) plain = std::min(plain, PlainReadWrite(from, to, false));
    for (int i = 0; i < 3; ++i) plain_sync = std::min(plain_sync, PlainReadWrite(from, to, true));
  }
  fs::remove(work / "copy.bin");

  std::string path = (work / "AdvBlock.db").string();
  if (cold) DropCaches();
  Measured purge, walk;
  if (only != "walk") purge = InChild([&]() -> long {
    dataset::TQuery q;
    q.SQL.Add("DELETE FROM \"" + path + "\"");
    q.SQL.Add("WHERE FDate<\"01.01.2011\"");
    q.ExecSQL();
    return q.RowsAffected();
  });

  bench::CopyFolder(src, work);
  if (cold) DropCaches();
  if (only != "purge") walk = InChild([&]() -> long {
    dataset::TTable t;
    t.SetTableName(path);
    t.Open();
    long seen = 0, deleted = 0;
    while (!t.Eof()) {
      if (seen++ % 20 == 0) {
        t.Delete();
        ++deleted;
      } else {
        t.Next();
      }
    }
    t.Close();
    return deleted;
  });
  if ((only != "walk" && !purge.ok) || (only != "purge" && !walk.ok)) return 1;

  std::printf("table:            %s (%llu bytes, %llu rows, %s, %s cache)\n", (src / "AdvBlock.db").c_str(),
              (unsigned long long)bytes, (unsigned long long)rows, keyed ? "keyed" : "not keyed", cold ? "cold" : "warm");
  std::printf("plain read+write: %8.1f ms  (%.1f ms with a final fsync)\n", plain * 1e3, plain_sync * 1e3);
  if (only != "walk")
    std::printf("purge:            %8.1f ms  ratio %5.2f  %ld rows deleted  peak +%ld KiB (%.0f%% of file)\n",
                purge.seconds * 1e3, purge.seconds / plain, purge.rows, purge.peak_kib, 100.0 * purge.peak_kib * 1024 / bytes);
  if (only != "purge")
    std::printf("delete walk:      %8.1f ms  ratio %5.2f  %ld rows deleted  peak +%ld KiB (%.0f%% of file)\n",
                walk.seconds * 1e3, walk.seconds / plain, walk.rows, walk.peak_kib, 100.0 * walk.peak_kib * 1024 / bytes);
  fs::remove_all(work);
  return 0;
}
