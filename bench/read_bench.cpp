// Reading speed of the data-set layer against a plain read of the same file.
//
//   read_bench [TABLE.db] [--rows N] [--walk-only] [--cold]
//
// Without a table, writes a sample AdvBlock.db of N rows (default 1,000,000)
// into a temporary folder first, in a child process so that its memory does
// not count. Then reports, in one run: a plain sequential read of the file,
// a TTable walk reading every row into a TBlockRec, and the ordered read of
// the analysis (TQuery, ORDER BY FDate,FTime,FName) doing the same; rows per
// second, the ratio of each to the plain read, and the peak memory.
// With --cold (Linux, as root) the system's file cache is emptied before each
// measurement, so every read comes from the disk as on an operator's first
// analysis; otherwise the file is read from the cache, the best of three.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "paradox/file.h"
#include "table/block_rec.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "tools/sample_data.h"

namespace {

using namespace bench;  // time, memory, cache and copy helpers

double PlainRead(const std::string& path, uint64_t* bytes) {
  std::vector<char> buf(1 << 20);
  auto start = Clock::now();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  *bytes = 0;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) *bytes += n;
  std::fclose(f);
  return Seconds(start);
}

template <typename DataSet>
double Walk(DataSet& ds, uint64_t* rows, uint64_t* checksum) {
  auto start = Clock::now();
  ds.Open();
  *rows = 0;
  *checksum = 0;
  dataset::TBlockRec rec;
  for (; !ds.Eof(); ds.Next()) {
    dataset::ReadBlockRec(ds, &rec);
    *checksum += static_cast<uint64_t>(rec.Number) + rec.Name.Length + static_cast<uint64_t>(rec.Date);
    ++*rows;
  }
  double s = Seconds(start);
  ds.Close();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  uint64_t rows = 1000000;
  bool with_query = true;
  bool cold = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--walk-only") with_query = false;
    else if (a == "--cold") cold = true;
    else path = a;
  }
  if (path.empty()) {
    std::string dir = (std::filesystem::temp_directory_path() / ("advclean-bench-" + std::to_string(rows))).string();
    path = dir + "/AdvBlock.db";
    if (!std::filesystem::exists(path)) {
      std::filesystem::create_directories(dir);
      pid_t pid = fork();
      if (pid == 0) {
        tools::SampleOptions o;
        o.rows = rows;
        paradox::Status st = tools::WriteSampleTable(paradox::FileSystem::Default(), path, o, nullptr);
        if (!st.ok()) std::fprintf(stderr, "%s\n", st.ToString().c_str());
        _exit(st.ok() ? 0 : 1);
      }
      int status = 0;
      waitpid(pid, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }
  }

  if (cold && !DropCaches()) {
    std::fprintf(stderr, "cannot empty the file cache (needs root on Linux)\n");
    return 1;
  }
  const int tries = cold ? 1 : 3;
  uint64_t bytes = 0;
  if (!cold) PlainRead(path, &bytes);  // warm the cache so every read sees the same
  double plain = 1e9;
  for (int i = 0; i < tries; ++i) plain = std::min(plain, PlainRead(path, &bytes));

  long base = CurrentKiB();
  uint64_t n = 0, sum = 0;
  dataset::TTable table;
  table.SetTableName(path);
  double walk = 1e9;
  for (int i = 0; i < tries; ++i) {
    if (cold) DropCaches();
    walk = std::min(walk, Walk(table, &n, &sum));
  }
  long walk_peak = PeakKiB() - base;

  uint64_t qn = 0, qsum = 0;
  dataset::TQuery query;
  query.SQL.Add("SELECT * FROM \"" + path + "\"");
  query.SQL.Add("ORDER BY FDate,FTime,FName");
  if (cold) DropCaches();
  double ordered = with_query ? Walk(query, &qn, &qsum) : 0;
  if (!with_query) qn = n, qsum = sum;
  long query_peak = PeakKiB() - base;

  std::printf("table:          %s (%llu bytes, %llu rows, %s cache)\n", path.c_str(), (unsigned long long)bytes,
              (unsigned long long)n, cold ? "cold" : "warm");
  std::printf("plain read:     %8.1f ms  %8.0f MB/s\n", plain * 1e3, bytes / plain / 1e6);
  std::printf("table walk:     %8.1f ms  %8.2f M rows/s  ratio %.2f  peak +%ld KiB (%.0f%% of file)\n",
              walk * 1e3, n / walk / 1e6, walk / plain, walk_peak, 100.0 * walk_peak * 1024 / bytes);
  std::printf("ordered read:   %8.1f ms  %8.2f M rows/s  ratio %.2f  peak +%ld KiB (%.0f%% of file)\n",
              ordered * 1e3, qn / ordered / 1e6, ordered / plain, query_peak, 100.0 * query_peak * 1024 / bytes);
  if (qn != n || qsum != sum) {
    std::fprintf(stderr, "the ordered read saw other rows than the walk\n");
    return 1;
  }
  return 0;
}
