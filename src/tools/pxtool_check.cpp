// pxtool check: proves a table exact, and rebuilds its indexes on request.
#include <cstdio>
#include <string>
#include <vector>

#include "paradox/check.h"
#include "tools/pxtool.h"
#include "tools/stop_signals.h"

namespace tools {

namespace {

int BadArgs(const std::string& problem) {
  std::fprintf(stderr, "pxtool check: %s\nusage: pxtool check TABLE.db [--repair]\n", problem.c_str());
  return 2;
}

void Print(const std::vector<std::string>& lines) {
  for (const std::string& l : lines) std::printf("%s\n", l.c_str());
}

}  // namespace

int RunCheck(const std::vector<std::string>& args) {
  std::string path;
  bool repair = false;
  for (const std::string& a : args) {
    if (a == "--repair") {
      repair = true;
    } else if (path.empty() && a.rfind("--", 0) != 0) {
      path = a;
    } else {
      return BadArgs("unexpected argument " + a);
    }
  }
  if (path.empty()) return BadArgs("check needs a table");

  paradox::FileSystem* fs = paradox::FileSystem::Default();
  std::vector<std::string> problems;
  paradox::Status st = paradox::CheckTable(fs, path, &problems);
  if (!st.ok()) return ReportError(st);
  Print(problems);
  if (problems.empty()) {
    std::printf("%s: no problems found\n", path.c_str());
    return 0;
  }
  if (!repair) return 1;

  std::vector<std::string> done;
  {
    // A stop waits for the rebuilt indexes to be written whole.
    StopOnSignals stops;
    st = paradox::RepairIndexes(fs, path, &done);
  }
  if (!st.ok()) return ReportError(st);
  if (done.empty()) std::printf("%s: nothing the repair can rebuild\n", path.c_str());
  for (const std::string& d : done) std::printf("repaired %s\n", d.c_str());

  problems.clear();
  st = paradox::CheckTable(fs, path, &problems);
  if (!st.ok()) return ReportError(st);
  if (problems.empty()) {
    std::printf("%s: no problems found after the repair\n", path.c_str());
    return 0;
  }
  std::printf("%s: still wrong after the repair:\n", path.c_str());
  Print(problems);
  return 1;
}

}  // namespace tools
