// Speed and memory of the cleaning passes, against plain reads and writes
// of the same table file.
//
//   cleaning_bench [--rows N]... [--runs R] [--keyed]
//
// For each size (default 10,000, 100,000 and 1,000,000 rows) writes a sample
// AdvBlock.db (10% of rows before 2011, 5% exact repeats, 3% near repeats)
// into a temporary folder once, then, on a fresh copy for each of R runs
// (default 3), runs the analysis pass (purge and ordered read), the sort and
// the deletion pass, each with the real progress throttle, in a child
// process of its own so that its peak memory is its own. Reports the best
// time of each pass per row and as a ratio to one plain sequential read of
// the file (and analysis plus deletion against one plain read and write),
// and the peak memory against the file's size. Files are read from the
// system's cache, as on a second run of the day.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/engine.h"
#include "bench_util.h"
#include "cleaning/cleaner.h"
#include "paradox/engine.h"
#include "paradox/file.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "tools/sample_data.h"

namespace {

using namespace bench;  // time, memory, cache and copy helpers
namespace fs = std::filesystem;

// One plain pass over the file: read it, and with `to` also write it.
double Plain(const std::string& from, const std::string& to) {
  std::vector<char> buf(1 << 20);
  auto start = Clock::now();
  FILE* in = std::fopen(from.c_str(), "rb");
  FILE* out = to.empty() ? nullptr : std::fopen(to.c_str(), "wb");
  if (in == nullptr || (!to.empty() && out == nullptr)) std::exit(1);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0)
    if (out != nullptr) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  if (out != nullptr) std::fclose(out);
  return Seconds(start);
}

// The progress display of a pass run without windows: shows nothing, with
// the program's own throttle.
struct NoDisplay : cleaning::ProgressReport {
  int shown = 0;
  void ShowProgress(const std::string&, double) override { ++shown; }
  bool ProgressDue() override { return app::ProgressDue(); }
};

struct Measure {
  double analysis = 0, sort = 0, deletion = 0;
  long peak_kib = 0;  // above the child's start
  int purged = 0, listed = 0, left = 0;
};

// Runs the three passes on `table` in a child process.
bool RunPasses(const std::string& table, Measure* m) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Measure r;
    const long base = CurrentKiB();
    cleaning::TPassState state;
    state.FTablePath = table;
    dataset::TQuery Query;
    dataset::TTable Table;
    NoDisplay progress;
    cleaning::TCleaner cleaner(state, Query, Table, progress, paradox::SystemDateFormat());
    auto start = Clock::now();
    cleaner.CreateList();
    r.analysis = Seconds(start);
    r.purged = Query.RowsAffected();
    r.listed = state.FDupList.Count();
    start = Clock::now();
    cleaner.SortList();
    r.sort = Seconds(start);
    start = Clock::now();
    cleaner.DeleteDoubles();
    r.deletion = Seconds(start);
    r.left = state.FDupList.Count();
    r.peak_kib = PeakKiB() - base;
    ssize_t w = write(fds[1], &r, sizeof r);
    _exit(w == static_cast<ssize_t>(sizeof r) ? 0 : 1);
  }
  close(fds[1]);
  ssize_t got = read(fds[0], m, sizeof *m);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return got == static_cast<ssize_t>(sizeof *m) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct SizeResult {
  uint64_t rows = 0, bytes = 0;
  double read = 0, read_write = 0;
  Measure best;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint64_t> sizes;
  int runs = 3;
  bool keyed = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) sizes.push_back(std::strtoull(argv[++i], nullptr, 10));
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--keyed") keyed = true;
    else {
      std::fprintf(stderr, "usage: cleaning_bench [--rows N]... [--runs R] [--keyed]\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {10000, 100000, 1000000};

  std::vector<SizeResult> results;
  for (uint64_t rows : sizes) {
    const fs::path base =
        fs::temp_directory_path() / ("advclean-cleaning-bench-" + std::to_string(rows) + (keyed ? "k" : ""));
    const fs::path source = base / "source" / "AdvBlock.db";
    if (!fs::exists(source) && !WriteSample(source, rows, keyed)) return 1;
    SizeResult s;
    s.rows = rows;
    s.bytes = fs::file_size(source);
    const std::string copy = (base / "plain.bin").string();
    Plain(source.string(), "");  // into the cache
    s.read = s.read_write = 1e9;
    for (int i = 0; i < 3; ++i) {
      s.read = std::min(s.read, Plain(source.string(), ""));
      s.read_write = std::min(s.read_write, Plain(source.string(), copy));
    }
    fs::remove(copy);

    s.best.analysis = s.best.sort = s.best.deletion = 1e9;
    for (int run = 0; run < runs; ++run) {
      const fs::path work = base / "work";
      bench::CopyFolder(source.parent_path(), work);
      Plain((work / "AdvBlock.db").string(), "");  // the copy into the cache too
      Measure m;
      if (!RunPasses((work / "AdvBlock.db").string(), &m)) {
        std::fprintf(stderr, "the passes failed on %llu rows\n", static_cast<unsigned long long>(rows));
        return 1;
      }
      s.best.analysis = std::min(s.best.analysis, m.analysis);
      s.best.sort = std::min(s.best.sort, m.sort);
      s.best.deletion = std::min(s.best.deletion, m.deletion);
      s.best.peak_kib = std::max(s.best.peak_kib, m.peak_kib);
      s.best.purged = m.purged;
      s.best.listed = m.listed;
      s.best.left = m.left;
      fs::remove_all(work);
    }
    results.push_back(s);

    const Measure& b = s.best;
    const double n = static_cast<double>(rows), walked = n - b.purged;
    std::printf("%llu rows%s, %.1f MB: plain read %.1f ms, read+write %.1f ms; %d purged, %d listed, %d left\n",
                static_cast<unsigned long long>(rows), keyed ? " (keyed)" : "", s.bytes / 1e6, s.read * 1e3,
                s.read_write * 1e3, b.purged, b.listed, b.left);
    std::printf("  analysis  %9.1f ms  %6.3f us/row  x%6.2f read\n", b.analysis * 1e3, b.analysis / n * 1e6,
                b.analysis / s.read);
    std::printf("  sort      %9.1f ms  %6.3f us/record\n", b.sort * 1e3, b.listed ? b.sort / b.listed * 1e6 : 0);
    std::printf("  deletion  %9.1f ms  %6.3f us/row  x%6.2f read  (%.4f us/row per log2 of the list)\n",
                b.deletion * 1e3, b.deletion / walked * 1e6, b.deletion / s.read,
                b.deletion / walked * 1e6 / std::log2(std::max(2, b.listed)));
    std::printf("  analysis+deletion x%.2f read+write; peak memory %.1f MB = %.2f x file\n",
                (b.analysis + b.deletion) / s.read_write, b.peak_kib / 1024.0, b.peak_kib * 1024.0 / s.bytes);
    std::fflush(stdout);
  }

  if (results.size() > 1) {
    const SizeResult& a = results.front();
    std::printf("growth from %llu to %llu rows (time per row, x):", static_cast<unsigned long long>(a.rows),
                static_cast<unsigned long long>(results.back().rows));
    for (const SizeResult& s : results) {
      std::printf("\n  %8llu rows: analysis %.2f, sort %.2f (per record), deletion %.2f, memory/file %.2f",
                  static_cast<unsigned long long>(s.rows), (s.best.analysis / s.rows) / (a.best.analysis / a.rows),
                  (s.best.sort / std::max(1, s.best.listed)) / (a.best.sort / std::max(1, a.best.listed)),
                  (s.best.deletion / (s.rows - s.best.purged)) / (a.best.deletion / (a.rows - a.best.purged)),
                  (s.best.peak_kib * 1024.0 / s.bytes) / (a.best.peak_kib * 1024.0 / a.bytes));
    }
    std::printf("\n");
  }
  return 0;
}
