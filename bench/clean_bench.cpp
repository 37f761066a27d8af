// The whole clean-up against one durable rewrite of the file and against
// SQLite doing the same job on the same rows, side by side in one run.
//
//   clean_bench [--rows N]... [--runs R] [--keyed] [--no-sqlite]
//
// For each size (default 10,000, 100,000 and 1,000,000 rows) writes a sample
// AdvBlock.db (10% of rows before 2011, 5% exact repeats) once, then R times
// (default 3), each on a fresh copy put on disk first:
//   - plain: a read of the file and a write of a copy, fsync'ed at its end;
//   - clean: the advclean program itself (`advclean clean FOLDER`), wall
//     time, peak memory and read and write calls of its process;
//   - walk: a TTable walk deleting every twentieth row, in a child process;
//   - sqlite: the same rows in an on-disk SQLite database (imported before,
//     not timed; default journal and synchronous settings), the same job:
//     the purge, the ordered read collecting the rows that repeat the row
//     before them, and the deletion of those rows (in one transaction).
// Prints the best time of each and the range over the runs, the ratios the
// goals are stated in, and the cost per row. The file cache is warm.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef ADVCLEAN_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "bench_util.h"
#include "paradox/value.h"
#include "table/block_rec.h"
#include "table/ttable.h"
#include "tools/sample_data.h"

namespace {

using namespace bench;  // time, memory, cache and copy helpers
namespace fs = std::filesystem;

struct Range {
  double best = 1e9, worst = 0;
  void Add(double v) {
    best = std::min(best, v);
    worst = std::max(worst, v);
  }
};

// Runs `argv` and waits; its wall time, its peak memory in KiB and the
// read and write calls it made.
bool RunProgram(const std::vector<std::string>& args, double* seconds, long* peak_kib, IoCalls* calls) {
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage ru;
  siginfo_t info;
  // Its counts while it waits to be reaped.
  waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
  *seconds = Seconds(start);
  *calls = IoCallsOf(std::to_string(pid));
  wait4(pid, &status, 0, &ru);
  *peak_kib = ru.ru_maxrss;
  // 1: records left that found no row, which is a result too.
  return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
}

// Runs `work` in a child process; its time.
template <typename Work>
bool InChild(Work work, double* seconds) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    auto start = Clock::now();
    bool ok = work();
    double s = Seconds(start);
    ssize_t w = write(fds[1], &s, sizeof s);
    _exit(ok && w == static_cast<ssize_t>(sizeof s) ? 0 : 1);
  }
  close(fds[1]);
  ssize_t got = read(fds[0], seconds, sizeof *seconds);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return got == static_cast<ssize_t>(sizeof *seconds) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool DeletionWalk(const std::string& db) {
  try {
    dataset::TTable t;
    t.SetTableName(db);
    t.Open();
    for (long seen = 0; !t.Eof(); ++seen) {
      if (seen % 20 == 0) t.Delete();
      else t.Next();
    }
    t.Close();
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "walk: %s\n", e.what());
    return false;
  }
}

#ifdef ADVCLEAN_HAVE_SQLITE
bool Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
  std::fprintf(stderr, "sqlite: %s: %s\n", sql, err ? err : "?");
  sqlite3_free(err);
  return false;
}

// The table's rows (the six fields the job reads) into a new database.
bool ImportToSqlite(const std::string& table, const std::string& path) {
  fs::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  bool ok = Exec(db, "CREATE TABLE adv(fname BLOB, fdate INTEGER, ftime INTEGER, fnumber INTEGER, forder INTEGER, "
                     "fyearorder INTEGER)") &&
            Exec(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO adv VALUES(?,?,?,?,?,?)", -1, &ins, nullptr) == SQLITE_OK;
  try {
    dataset::TTable t;
    t.SetTableName(table);
    t.Open();
    dataset::TBlockRec r;
    for (; ok && !t.Eof(); t.Next()) {
      dataset::ReadBlockRec(t, &r);
      sqlite3_bind_blob(ins, 1, r.Name.Chars, r.Name.Length, SQLITE_TRANSIENT);
      sqlite3_bind_int64(ins, 2, static_cast<int64_t>(r.Date));
      sqlite3_bind_int64(ins, 3, std::llround(r.Time * 86400000.0));
      sqlite3_bind_int(ins, 4, r.Number);
      sqlite3_bind_int(ins, 5, r.Order);
      sqlite3_bind_int(ins, 6, r.YearOrder);
      ok = sqlite3_step(ins) == SQLITE_DONE;
      sqlite3_reset(ins);
    }
    t.Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "import: %s\n", e.what());
    ok = false;
  }
  sqlite3_finalize(ins);
  ok = ok && Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

// The job in SQLite: purge, ordered read finding the repeats, their deletion.
bool SqliteJob(const std::string& path, int* repeats) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  bool ok = Exec(db, "DELETE FROM adv WHERE fdate < 40544");
  sqlite3_stmt* sel = nullptr;
  ok = ok && sqlite3_prepare_v2(db,
                                "SELECT rowid, fname, fdate, ftime, fnumber, forder, fyearorder FROM adv "
                                "ORDER BY fdate, ftime, fname",
                                -1, &sel, nullptr) == SQLITE_OK;
  std::vector<int64_t> doomed;
  std::string last_name, name;
  int64_t last[5] = {}, now[5] = {};
  bool have_last = false;
  while (ok && sqlite3_step(sel) == SQLITE_ROW) {
    name.assign(static_cast<const char*>(sqlite3_column_blob(sel, 1)), size_t(sqlite3_column_bytes(sel, 1)));
    for (int i = 0; i < 5; ++i) now[i] = sqlite3_column_int64(sel, 2 + i);
    if (have_last && name == last_name && std::memcmp(now, last, sizeof now) == 0)
      doomed.push_back(sqlite3_column_int64(sel, 0));
    last_name.swap(name);
    std::memcpy(last, now, sizeof now);
    have_last = true;
  }
  sqlite3_finalize(sel);
  sqlite3_stmt* del = nullptr;
  ok = ok && Exec(db, "BEGIN") &&
       sqlite3_prepare_v2(db, "DELETE FROM adv WHERE rowid = ?", -1, &del, nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < doomed.size(); ++i) {
    sqlite3_bind_int64(del, 1, doomed[i]);
    ok = sqlite3_step(del) == SQLITE_DONE;
    sqlite3_reset(del);
  }
  sqlite3_finalize(del);
  ok = ok && Exec(db, "COMMIT");
  sqlite3_close(db);
  *repeats = static_cast<int>(doomed.size());
  return ok;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint64_t> sizes;
  int runs = 3;
  bool keyed = false, sqlite = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) sizes.push_back(std::strtoull(argv[++i], nullptr, 10));
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--keyed") keyed = true;
    else if (a == "--no-sqlite") sqlite = false;
    else {
      std::fprintf(stderr, "usage: clean_bench [--rows N]... [--runs R] [--keyed] [--no-sqlite]\n");
      return 2;
    }
  }
#ifndef ADVCLEAN_HAVE_SQLITE
  if (sqlite) std::printf("(built without SQLite: scripts/setup.sh installs libsqlite3-dev)\n");
  sqlite = false;
#endif
  if (sizes.empty()) sizes = {10000, 100000, 1000000};
  double load[3] = {};
  if (getloadavg(load, 3) > 0) std::printf("load average at start: %.2f %.2f %.2f\n", load[0], load[1], load[2]);

  std::printf("%9s %6s %9s | %-19s | %-19s %6s %6s %6s | %-19s %6s | %-19s %6s | %s\n", "rows", "MB", "",
              "synced r+w ms", "clean ms", "x r+w", "mem", "calls", "walk ms", "x r+w", "sqlite ms", "x us",
              "per row: clean, walk us");
  std::fflush(stdout);  // not again from a child
  for (uint64_t rows : sizes) {
    const fs::path base =
        fs::temp_directory_path() / ("advclean-clean-bench-" + std::to_string(rows) + (keyed ? "k" : ""));
    const fs::path source = base / "source" / "AdvBlock.db";
    if (!fs::exists(source) && !WriteSample(source, rows, keyed)) return 1;
    const double bytes = static_cast<double>(fs::file_size(source));
    const fs::path work = base / "work";
    const std::string sqlite_source = (base / "source.sqlite").string(), sqlite_work = (base / "work.sqlite").string();
#ifdef ADVCLEAN_HAVE_SQLITE
    if (sqlite && !fs::exists(sqlite_source) && !ImportToSqlite(source.string(), sqlite_source)) return 1;
#endif
    Range plain, clean, walk, lite;
    IoCalls plain_calls, clean_calls;
    long peak = 0;
    int repeats = 0;
    for (int run = 0; run < runs; ++run) {
      bench::CopyFolder(source.parent_path(), work);
      plain.Add(PlainReadWrite(source.string(), (base / "plain.bin").string(), true, &plain_calls));
      fs::remove(base / "plain.bin");

      double s = 0;
      long kib = 0;
      if (!RunProgram({ADVCLEAN_PROGRAM, "clean", work.string()}, &s, &kib, &clean_calls)) {
        std::fprintf(stderr, "advclean clean failed on %llu rows\n", static_cast<unsigned long long>(rows));
        return 1;
      }
      clean.Add(s);
      peak = std::max(peak, kib);

      bench::CopyFolder(source.parent_path(), work);
      if (!InChild([&] { return DeletionWalk((work / "AdvBlock.db").string()); }, &s)) return 1;
      walk.Add(s);
#ifdef ADVCLEAN_HAVE_SQLITE
      if (sqlite) {
        fs::copy_file(sqlite_source, sqlite_work, fs::copy_options::overwrite_existing);
        sync();
        if (!InChild([&] { return SqliteJob(sqlite_work, &repeats); }, &s)) return 1;
        lite.Add(s);
      }
#endif
    }
    fs::remove_all(work);
    fs::remove(sqlite_work);
    (void)repeats;
    auto range = [](const Range& r) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%7.1f (%7.1f)", r.best * 1e3, r.worst * 1e3);
      return std::string(buf);
    };
    const double n = static_cast<double>(rows);
    std::printf("%9llu %6.1f %9s | %-19s | %-19s %6.2f %6.2f %6lld | %-19s %6.2f | %-19s %6.1f | %.3f, %.3f\n",
                static_cast<unsigned long long>(rows), bytes / 1e6, keyed ? "keyed" : "not keyed", range(plain).c_str(),
                range(clean).c_str(), clean.best / plain.best, peak * 1024.0 / bytes, clean_calls.total(),
                range(walk).c_str(), walk.best / plain.best, sqlite ? range(lite).c_str() : "-",
                sqlite ? lite.best / clean.best : 0.0, clean.best / n * 1e6, walk.best / n * 1e6);
    std::printf("%27s I/O calls: synced r+w %lld reads, %lld writes; clean %lld reads, %lld writes\n", "",
                plain_calls.reads, plain_calls.writes, clean_calls.reads, clean_calls.writes);
    std::fflush(stdout);
  }
  std::printf("best (worst) of %d runs; clean: `advclean clean` as a program, x r+w against the synced read+write,\n"
              "mem = its peak resident memory / the table file, calls = its read and write calls\n"
              "(system calls, /proc/PID/io); x us = sqlite time / clean time\n",
              runs);
  if (getloadavg(load, 3) > 0) std::printf("load average at end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  return 0;
}
