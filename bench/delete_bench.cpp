// Changing speed: the purge statement and a deletion walk, against a plain
// read and write of the same file.
//
//   delete_bench [--rows N] [--keyed]
//
// Writes a sample AdvBlock.db of N rows (default 1,000,000; 10% before 2011,
// 5% exact repeats) into a temporary folder, copies it for each measurement
// and reports: a plain sequential read and write of the file, the purge
// (DELETE ... WHERE FDate<"01.01.2011" through TQuery::ExecSQL), and a TTable
// walk that deletes every twentieth row; each as a ratio to the plain read
// and write, with the peak memory each adds.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "paradox/engine.h"
#include "paradox/file.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "tools/sample_data.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long PeakKiB() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

double PlainReadWrite(const std::string& from, const std::string& to) {
  std::vector<char> buf(1 << 20);
  auto start = Clock::now();
  FILE* in = std::fopen(from.c_str(), "rb");
  FILE* out = std::fopen(to.c_str(), "wb");
  if (in == nullptr || out == nullptr) std::exit(1);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  std::fclose(out);
  return Seconds(start);
}

void Copy(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to);
  for (const auto& e : fs::directory_iterator(from)) fs::copy_file(e.path(), to / e.path().filename());
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t rows = 1000000;
  bool keyed = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::strtoull(argv[++i], nullptr, 10);
    if (a == "--keyed") keyed = true;
  }
  fs::path base = fs::temp_directory_path() / ("advclean-delete-bench-" + std::to_string(rows) + (keyed ? "k" : ""));
  fs::path src = base / "source";
  if (!fs::exists(src / "AdvBlock.db")) {
    fs::create_directories(src);
    pid_t pid = fork();
    if (pid == 0) {
      tools::SampleOptions o;
      o.rows = rows;
      o.keyed = keyed;
      o.old_percent = 10;
      o.repeat_percent = 5;
      paradox::Status st = tools::WriteSampleTable(paradox::FileSystem::Default(), (src / "AdvBlock.db").string(), o, nullptr);
      _exit(st.ok() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  paradox::DateFormat f;  // dd.MM.yyyy, as the statement below writes it
  paradox::Engine::set_date_format(f);
  uint64_t bytes = fs::file_size(src / "AdvBlock.db");

  fs::path work = base / "work";
  Copy(src, work);
  PlainReadWrite((src / "AdvBlock.db").string(), (work / "copy.bin").string());  // warm
  double plain = 1e9;
  for (int i = 0; i < 3; ++i)
    plain = std::min(plain, PlainReadWrite((src / "AdvBlock.db").string(), (work / "copy.bin").string()));
  fs::remove(work / "copy.bin");

  long base_kib = PeakKiB();
  std::string path = (work / "AdvBlock.db").string();
  auto start = Clock::now();
  dataset::TQuery q;
  q.SQL.Add("DELETE FROM \"" + path + "\"");
  q.SQL.Add("WHERE FDate<\"01.01.2011\"");
  q.ExecSQL();
  double purge = Seconds(start);
  long purge_kib = PeakKiB() - base_kib;
  int purged = q.RowsAffected();

  Copy(src, work);
  start = Clock::now();
  dataset::TTable t;
  t.SetTableName(path);
  t.Open();
  int seen = 0, deleted = 0;
  while (!t.Eof()) {
    if (seen++ % 20 == 0) {
      t.Delete();
      ++deleted;
    } else {
      t.Next();
    }
  }
  t.Close();
  double walk = Seconds(start);
  long walk_kib = PeakKiB() - base_kib;

  std::printf("table:            %s (%llu bytes, %llu rows, %s)\n", (src / "AdvBlock.db").c_str(),
              (unsigned long long)bytes, (unsigned long long)rows, keyed ? "keyed" : "not keyed");
  std::printf("plain read+write: %8.1f ms\n", plain * 1e3);
  std::printf("purge:            %8.1f ms  ratio %5.2f  %d rows deleted  peak +%ld KiB (%.0f%% of file)\n",
              purge * 1e3, purge / plain, purged, purge_kib, 100.0 * purge_kib * 1024 / bytes);
  std::printf("delete walk:      %8.1f ms  ratio %5.2f  %d rows deleted  peak +%ld KiB (%.0f%% of file)\n",
              walk * 1e3, walk / plain, deleted, walk_kib, 100.0 * walk_kib * 1024 / bytes);
  fs::remove_all(work);
  return 0;
}
