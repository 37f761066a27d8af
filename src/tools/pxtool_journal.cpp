// pxtool journal: what an undo journal kept aside holds, and settling it.
#include <cstdio>
#include <string>
#include <vector>

#include "paradox/check.h"
#include "paradox/journal.h"
#include "tools/pxtool.h"
#include "tools/stop_signals.h"

namespace tools {

namespace {

int BadArgs(const std::string& problem) {
  std::fprintf(stderr, "pxtool journal: %s\nusage: pxtool journal TABLE.db [--apply | --discard]\n",
               problem.c_str());
  return 2;
}

// The table's check after settling: 0 when clean.
int CheckAfter(paradox::FileSystem* fs, const std::string& path) {
  std::vector<std::string> problems;
  paradox::Status st = paradox::CheckTable(fs, path, &problems);
  if (!st.ok()) return ReportError(st);
  if (problems.empty()) {
    std::printf("%s: no problems found\n", path.c_str());
    return 0;
  }
  for (const std::string& p : problems) std::printf("%s\n", p.c_str());
  std::printf("%s: the check finds problems; pxtool check \"%s\" --repair rebuilds indexes\n", path.c_str(),
              path.c_str());
  return 1;
}

}  // namespace

int RunJournal(const std::vector<std::string>& args) {
  std::string path, action;
  for (const std::string& a : args) {
    if (a == "--apply" || a == "--discard") {
      if (!action.empty()) return BadArgs("give --apply or --discard, not both");
      action = a;
    } else if (path.empty() && a.rfind("--", 0) != 0) {
      path = a;
    } else {
      return BadArgs("unexpected argument " + a);
    }
  }
  if (path.empty()) return BadArgs("journal needs a table");

  paradox::FileSystem* fs = paradox::FileSystem::Default();
  const std::string kept = paradox::KeptJournalPath(path);
  if (action.empty()) {
    if (!fs->FileExists(kept)) {
      std::printf("%s: no undo journal kept aside\n", path.c_str());
      return 0;
    }
    paradox::JournalReport r;
    paradox::Status st = paradox::InspectJournal(fs, path, kept, nullptr, &r);
    if (!st.ok()) return ReportError(st);
    std::printf("%s: the bytes saved before a change that was cut short, not written back because another "
                "program changed the table since\n", kept.c_str());
    if (!r.intact) std::printf("%s: damaged; it can only be discarded\n", kept.c_str());
    else if (!r.would_undo) std::printf("%s: %s\n", kept.c_str(), r.why.c_str());
    else std::printf("%s: the files are now as that change left them\n", kept.c_str());
    for (const std::string& line : r.lines) std::printf("%s: %s\n", kept.c_str(), line.c_str());
    std::printf("settle it with: pxtool journal \"%s\" --apply   (the table as before that change; the other "
                "program's later change to those bytes is lost)\n"
                "            or: pxtool journal \"%s\" --discard (the files as they are now)\n",
                path.c_str(), path.c_str());
    return 1;
  }

  const bool apply = action == "--apply";
  paradox::Status st;
  {
    // A stop waits for the settling to be written whole.
    StopOnSignals stops;
    st = paradox::SettleKeptJournal(
        fs, path, apply ? paradox::KeptJournalAction::kApply : paradox::KeptJournalAction::kDiscard);
  }
  if (!st.ok()) return ReportError(st);
  std::printf(apply ? "%s: the kept journal was applied: the table is as before the change that was cut short\n"
                    : "%s: the kept journal was discarded: the files stay as they are\n",
              path.c_str());
  return CheckAfter(fs, path);
}

}  // namespace tools
