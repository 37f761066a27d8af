// pxtool: looks into Paradox tables and writes sample ones.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "advclean_version.h"
#include "tools/console.h"
#include "tools/pxtool.h"

namespace {

const char kUsage[] =
    "usage: pxtool info TABLE.db\n"
    "       pxtool dump TABLE.db [--codepage N]\n"
    "       pxtool check TABLE.db [--repair]\n"
    "       pxtool journal TABLE.db [--apply | --discard]\n"
    "       pxtool exec TABLE.db \"STATEMENT\"\n"
    "       pxtool sample DIR [options]   (pxtool sample --help lists them)\n"
    "       pxtool --help | --version\n"
    "\n"
    "info    prints the table's version, kind, block size, counts, code page,\n"
    "        sort order, fields and the files that belong to it.\n"
    "dump    prints the table's fields and records as one JSON object, records\n"
    "        in the table's order (primary-key order for keyed tables); text is\n"
    "        read in the table's code page, or in code page N.\n"
    "check   verifies the structure of the table and of every file that belongs\n"
    "        to it and prints each problem; exits 0 when there is none, 1 when\n"
    "        there is. --repair rebuilds the indexes that are missing or wrong\n"
    "        from their data files (never the data files themselves).\n"
    "journal settles an undo journal kept aside (TABLE.db-journal-kept): a\n"
    "        change cut short that was not undone because another program\n"
    "        changed the table since; until it is settled the table is not\n"
    "        opened. Without an option it says what the journal and the files\n"
    "        hold. --apply writes its saved bytes back (the table as before that\n"
    "        change; the other program's later change to those bytes is lost),\n"
    "        --discard leaves the files as they are; either removes it and\n"
    "        checks the table.\n"
    "exec    runs one statement on the table: SELECT prints its result as dump\n"
    "        does; DELETE (WHERE field op \"literal\") deletes for good and\n"
    "        prints the number of rows deleted. Dates in literals follow the\n"
    "        system's short date format (dd.MM.yyyy where there is none).\n"
    "        Ctrl+C (SIGINT, SIGTERM, SIGHUP) stops a DELETE at a safe point:\n"
    "        what it deleted is written, the table stays consistent, and\n"
    "        pxtool exits with 3.\n"
    "sample  writes a realistic AdvBlock.db (and .PX when keyed) into DIR.\n";

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "pxtool: %s\n\n", problem);
  std::fputs(kUsage, problem != nullptr ? stderr : stdout);
  return problem != nullptr ? 2 : 0;
}

bool ParseInt(const std::string& s, int* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < 0 || v > 65535) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

namespace tools {

int RunCheck(const std::vector<std::string>& args);    // pxtool_check.cpp
int RunJournal(const std::vector<std::string>& args);  // pxtool_journal.cpp

int ReportError(const paradox::Status& status) {
  std::string text = status.ToString();
  std::fprintf(stderr, "pxtool: error $%04X: ", static_cast<unsigned>(status.code()));
  for (char c : text) std::fputc(c == '\n' ? ';' : c, stderr);
  std::fputc('\n', stderr);
  return 1;
}

}  // namespace tools

int main(int argc, char** argv) {
  tools::InitConsole();
  std::vector<std::string> args = tools::Utf8Arguments(argc, argv);
  if (args.empty()) return Usage("no command given");
  const std::string cmd = args[0];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") return Usage(nullptr);
  if (cmd == "--version") {
    std::fputs("pxtool " ADVCLEAN_VERSION "\n", stdout);
    return 0;
  }

  if (cmd == "info") {
    if (args.size() != 2) return Usage("info takes one table");
    return tools::RunInfo(args[1]);
  }
  if (cmd == "dump") {
    std::string path;
    int code_page = 0;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--codepage") {
        if (i + 1 >= args.size() || !ParseInt(args[i + 1], &code_page) || code_page == 0)
          return Usage("--codepage needs a code page number");
        ++i;
      } else if (path.empty() && args[i].rfind("--", 0) != 0) {
        path = args[i];
      } else {
        return Usage(("unexpected argument " + args[i]).c_str());
      }
    }
    if (path.empty()) return Usage("dump needs a table");
    return tools::RunDump(path, code_page);
  }
  if (cmd == "check") {
    return tools::RunCheck(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (cmd == "journal") {
    return tools::RunJournal(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (cmd == "exec") {
    if (args.size() != 3) return Usage("exec takes a table and one statement");
    return tools::RunExec(args[1], args[2]);
  }
  if (cmd == "sample") {
    return tools::RunSample(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  return Usage(("unknown command " + cmd).c_str());
}
