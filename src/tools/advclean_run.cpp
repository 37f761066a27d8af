// advclean's commands: analyze, analyze --dry-run and clean.
#include <exception>
#include <string>
#include <vector>

#include "advclean_version.h"
#include "app/engine.h"
#include "app/regional.h"
#include "cleaning/cleaner.h"
#include "cleaning/date_text.h"
#include "cleaning/texts.h"
#include "paradox/codepage.h"
#include "paradox/file.h"
#include "table/errors.h"
#include "table/tquery.h"
#include "table/ttable.h"
#include "tools/advclean.h"
#include "tools/advclean_backup.h"
#include "tools/advclean_console.h"
#include "tools/advclean_output.h"
#include "tools/json.h"
#include "tools/stop_signals.h"

namespace tools {

namespace {

const char kHelp[] =
    "usage: advclean analyze [--dry-run] [--json] [--backup DIR] FOLDER\n"
    "       advclean clean [--json] [--backup DIR] FOLDER\n"
    "       advclean --help | --version\n"
    "\n"
    "Cleans the advertising-block table AdvBlock.db in FOLDER, as the AdvClean\n"
    "window does. The table is FOLDER followed by AdvBlock.db, with a separator\n"
    "put between them when FOLDER does not end in one; an empty FOLDER (\"\")\n"
    "means AdvBlock.db in the current folder.\n"
    "\n"
    "analyze    DELETES FOR GOOD every row dated before 1 January 2011 (the\n"
    "           purge), then reads the rest by date, time and name and lists\n"
    "           every row that repeats the row before it in all six fields,\n"
    "           sorted by date, time, number and name.\n"
    "  --dry-run  changes nothing: the table is only read. Says how many rows\n"
    "           the purge would delete and lists the duplicates the analysis\n"
    "           would find after it.\n"
    "clean      runs the analysis (purge included), then deletes one table\n"
    "           row for each listed duplicate: a row goes only when it equals\n"
    "           a listed record in all six fields. Prints the records that\n"
    "           found no row and the outcome message. With no duplicates,\n"
    "           nothing is deleted beyond the purge.\n"
    "--backup DIR  before anything is changed, copies the table and every\n"
    "           file that belongs to it (AdvBlock.PX, .MB, .VAL, secondary\n"
    "           indexes, an undo journal left over) into a new folder inside\n"
    "           DIR named after the date and time, such as 2024-05-01_02-00-00\n"
    "           (_2, _3, ... added when that name is taken), and prints where.\n"
    "           The table is held against other programs while it is copied.\n"
    "           When the copy cannot be made whole, nothing is changed and the\n"
    "           exit status is 2. A dry run changes nothing and makes no copy.\n"
    "           To restore, replace all of the table's files (AdvBlock.*)\n"
    "           with the copy's.\n"
    "--json     prints one JSON object instead of text:\n"
    "           {\"table\":PATH,\"purged\":N,\"duplicates\":[RECORD,...],\n"
    "            \"remaining\":[RECORD,...],\"outcome\":TEXT}\n"
    "           where RECORD is {\"name\":...,\"date\":\"YYYY-MM-DD\",\n"
    "           \"time\":\"HH:MM:SS.mmm\",\"number\":N,\"order\":N,\"yearOrder\":N};\n"
    "           \"remaining\" and \"outcome\" come with clean only (outcome is\n"
    "           empty when there was nothing to delete); a dry run gives\n"
    "           \"dryRun\":true and \"wouldPurge\":N instead of \"purged\";\n"
    "           with --backup, \"backup\" gives the copy's folder (null for a\n"
    "           dry run).\n"
    "\n"
    "Text is UTF-8. While a pass runs, a progress bar is drawn on standard\n"
    "error when that is a terminal. Errors go to standard error.\n"
    "\n"
    "Stopping: Ctrl+C, Ctrl+Break or closing the console window (Windows),\n"
    "SIGINT, SIGTERM or SIGHUP (elsewhere) stop the work at the next safe\n"
    "point, within a fraction of a second: the deletions made so far are\n"
    "written, the table is left consistent for every program that reads it,\n"
    "and the rows not yet deleted stay. advclean says where it stopped and\n"
    "exits with 3; running it again finishes the work.\n"
    "\n"
    "Exit status: 0 when everything went, 1 when clean left records it found\n"
    "no row for, 2 on an error (a missing table, a table that cannot be read\n"
    "or changed, a backup that could not be made, a wrong command line), 3\n"
    "when a stop ended the work early.\n";

// The exit status of a run that a stop ended early.
constexpr int kExitStopped = 3;

struct Options {
  std::string command;
  std::string folder;
  std::string backup;  // the folder the copies go in; empty: none
  bool dry_run = false;
  bool json = false;
};

// Parses the arguments; false with `*problem` set when they are unusable.
bool Parse(const std::vector<std::string>& args, Options* o, std::string* problem) {
  if (args.empty()) {
    *problem = "no command given";
    return false;
  }
  o->command = args[0];
  if (o->command != "analyze" && o->command != "clean") {
    *problem = "unknown command " + o->command;
    return false;
  }
  bool have_folder = false, options_done = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a == "--dry-run") {
      o->dry_run = true;
    } else if (!options_done && a == "--json") {
      o->json = true;
    } else if (!options_done && a == "--backup") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        *problem = "--backup needs a folder";
        return false;
      }
      o->backup = args[++i];
    } else if (!options_done && a.size() > 1 && a[0] == '-' && a[1] == '-') {
      *problem = "unknown option " + a;
      return false;
    } else if (!have_folder) {
      o->folder = a;
      have_folder = true;
    } else {
      *problem = "more than one folder given";
      return false;
    }
  }
  if (!have_folder) {
    *problem = o->command + " needs a folder";
    return false;
  }
  if (o->dry_run && o->command != "analyze") {
    *problem = "--dry-run goes with analyze only";
    return false;
  }
  return true;
}

std::vector<dataset::TBlockRec> Records(const cleaning::TDupList& list) {
  std::vector<dataset::TBlockRec> out;
  out.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) out.push_back(*list[i]);
  return out;
}

struct Result {
  std::string table;
  std::string backup;  // the copy's folder; empty: none made
  int purged = 0;
  std::vector<dataset::TBlockRec> duplicates;
  bool cleaned = false;  // the deletion pass ran
  std::vector<dataset::TBlockRec> remaining;
  std::string outcome;   // Windows-1251
};

void PrintJson(std::FILE* out, const Options& o, const Result& r) {
  std::string s = "{\"table\":";
  AppendJsonString(&s, r.table);
  s += o.dry_run ? ",\"dryRun\":true,\"wouldPurge\":" : ",\"purged\":";
  s += std::to_string(r.purged);
  if (!o.backup.empty()) {
    s += ",\"backup\":";
    if (r.backup.empty()) s += "null";
    else AppendJsonString(&s, r.backup);
  }
  s += ",\"duplicates\":";
  AppendJsonList(&s, r.duplicates);
  if (o.command == "clean") {
    s += ",\"remaining\":";
    AppendJsonList(&s, r.remaining);
    s += ",\"outcome\":";
    AppendJsonString(&s, paradox::Cp1251ToUtf8(r.outcome));
  }
  s += "}\n";
  std::fputs(s.c_str(), out);
}

void PrintText(std::FILE* out, const Options& o, const Result& r) {
  const app::RegionalFormats& formats = app::Regional();
  const std::string cutoff = cleaning::PurgeDateLiteral(formats.short_date);
  std::fprintf(out, "Table: %s\n", r.table.c_str());
  if (o.dry_run)
    std::fprintf(out, "Dry run, nothing changed: the purge would delete %d rows dated before %s.\n", r.purged,
                 cutoff.c_str());
  else
    std::fprintf(out, "Purge: %d rows dated before %s deleted.\n", r.purged, cutoff.c_str());
  std::fprintf(out, "Duplicates: %zu\n", r.duplicates.size());
  if (!r.duplicates.empty()) PrintList(out, r.duplicates, formats);
  if (o.command != "clean") return;
  if (!r.cleaned) {
    std::fprintf(out, "Nothing to delete.\n");
    return;
  }
  std::fprintf(out, "Left in the list: %zu\n", r.remaining.size());
  if (!r.remaining.empty()) PrintList(out, r.remaining, formats);
  std::fprintf(out, "%s\n", paradox::Cp1251ToUtf8(r.outcome).c_str());
}

// Tells where a stop ended the work and what it left; returns the exit
// status of a stop.
int ReportStop(std::FILE* err, const Options& o, const Result& r, bool deleting, int deleted) {
  std::string cause = StopOnSignals::Cause();
  std::string text = "advclean: stopped" + (cause.empty() ? std::string(" on request") : " by " + cause);
  const std::string cutoff = cleaning::PurgeDateLiteral(app::Regional().short_date);
  if (o.dry_run) {
    text += " during the dry run; nothing was changed.\n";
  } else {
    text += deleting ? " while deleting the copies" : " during the analysis";
    text += ", at a safe point: the table is consistent.\n";
    text += "The purge deleted " + std::to_string(r.purged) + " rows dated before " + cutoff;
    if (deleting)
      text += "; " + std::to_string(deleted) + " of " + std::to_string(r.duplicates.size()) +
              " copies were deleted, the others stay.\n";
    else
      text += "; no copy was deleted.\n";
    text += "Run advclean again to finish.\n";
  }
  if (o.json && !r.backup.empty()) text = "Backup: " + r.backup + "\n" + text;
  std::fputs(text.c_str(), err);
  return kExitStopped;
}

// The copy of --backup, before the passes; a dry run makes none. False
// when it could not be made, with the reason on `err`.
bool Backup(const Options& o, Result* r, std::FILE* out, std::FILE* err) {
  if (o.dry_run) {
    if (!o.json) std::fputs("Backup: none, a dry run changes nothing.\n", out);
    return true;
  }
  paradox::TableCopy copy;
  paradox::Status st = TakeBackup(paradox::FileSystem::Default(), paradox::Folders::Default(), r->table, o.backup,
                                  &copy);
  if (!st.ok()) {
    std::fprintf(err, "advclean: no backup could be made in %s, so nothing was changed:\n%s\n", o.backup.c_str(),
                 ConsoleText(st.ToString()).c_str());
    return false;
  }
  r->backup = copy.folder;
  if (!o.json) {
    std::fprintf(out, "Backup: %s (%zu %s, %llu bytes)\n", copy.folder.c_str(), copy.files.size(),
                 copy.files.size() == 1 ? "file" : "files", static_cast<unsigned long long>(copy.bytes));
    std::fflush(out);
  }
  return true;
}

}  // namespace

int RunAdvclean(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool err_is_terminal) {
  app::Regional();  // the regional formats, read once at start
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, out);
      return 0;
    }
    if (a == "--version") {
      std::fputs("advclean " ADVCLEAN_VERSION "\n", out);
      return 0;
    }
  }
  Options o;
  std::string problem;
  if (!Parse(args, &o, &problem)) {
    std::fprintf(err, "advclean: %s\n\n%s", problem.c_str(), kHelp);
    return 2;
  }

  Result r;
  r.table = app::TablePath(o.folder);
  // As the window's first button: a folder of that name does not count.
  if (!paradox::FileSystem::Default()->FileExists(r.table)) {
    std::fprintf(err, "%s%s\n", paradox::Cp1251ToUtf8(cleaning::texts::NoTable()).c_str(), r.table.c_str());
    return 2;
  }

  // From here on the table may change: a stop ends the work at a safe point.
  StopOnSignals stops;
  if (!o.backup.empty() && !Backup(o, &r, out, err)) return 2;

  ConsoleProgress progress(err, err_is_terminal);
  bool deleting = false;
  cleaning::TPassState state;
  dataset::TQuery Query;
  dataset::TTable Table;
  try {
    state.FTablePath = r.table;
    cleaning::TCleaner cleaner(state, Query, Table, progress, app::Regional().short_date);
    if (o.dry_run) {
      cleaner.PreviewList(&r.purged);
    } else {
      cleaner.CreateList();
      r.purged = Query.RowsAffected();
    }
    cleaner.SortList();
    progress.CloseProgress();  // the sort's display; the window's grid fill closes it
    r.duplicates = Records(state.FDupList);
    // As in the window, the deletion runs only after an analysis that
    // found something.
    if (o.command == "clean" && !state.FDupList.Empty()) {
      deleting = true;
      cleaner.DeleteDoubles();
      KeptMessage message;
      cleaner.ReportDeletion(message);
      r.cleaned = true;
      r.remaining = Records(state.FDupList);
      r.outcome = message.text();
    }
  } catch (const dataset::EStopped&) {
    progress.Erase();
    // The purge's count stands also when the stop came in the purge itself.
    if (!o.dry_run) r.purged = Query.RowsAffected();
    const int left = state.FDupList.Count();
    return ReportStop(err, o, r, deleting, static_cast<int>(r.duplicates.size()) - left);
  } catch (const std::exception& e) {
    progress.Erase();
    // Text output has named the copy already.
    if (o.json && !r.backup.empty()) std::fprintf(err, "Backup: %s\n", r.backup.c_str());
    std::fprintf(err, "%s\n", ConsoleText(ErrorDisplayText(e.what())).c_str());
    return 2;
  }
  if (o.json) PrintJson(out, o, r);
  else PrintText(out, o, r);
  // Out while the signals still only ask for a stop: one arriving after the
  // handlers are gone ends a process whose work and report are through.
  std::fflush(out);
  std::fflush(err);
  return r.cleaned && !r.remaining.empty() ? 1 : 0;
}

}  // namespace tools
