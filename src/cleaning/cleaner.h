// The cleaning passes: the analysis that purges old rows and collects the
// rows that repeat the row before them, the sort of that list, and the
// deletion of the surplus copies from the table.
//
// The passes work on state that the main window owns (TPassState) and on
// its two data sets, and report through the window's progress display and
// message dialogs; none of them catches an error of the data sets. Each pass
// states what it leaves behind when one escapes.
#pragma once

#include <string>

#include "cleaning/dup_list.h"
#include "cleaning/progress.h"
#include "paradox/engine.h"
#include "table/tquery.h"
#include "table/ttable.h"

namespace cleaning {

// The passes' state, kept by the main window for its whole life.
struct TPassState {
  // Full path of the table file (see the table path rule), in the file
  // layer's encoding, UTF-8.
  std::string FTablePath;
  TDupList FDupList;
  // The row read just before the current one during an analysis.
  TBlockRec FLastRec;
  // The record last handled; nothing reads it between operations.
  TBlockRec* FCurRec = nullptr;
};

class TCleaner {
 public:
  // `short_date` is the system's short date format as read at start; the
  // purge's date literal is written with it.
  TCleaner(TPassState& state, dataset::TQuery& query, dataset::TTable& table, ProgressReport& progress,
           const paradox::DateFormat& short_date);
  TCleaner(const TCleaner&) = delete;
  TCleaner& operator=(const TCleaner&) = delete;

  // The analysis pass on FTablePath, which must name an existing table
  // file. Empties the list, deletes every row dated before 1 January 2011
  // for good, then reads the rest ordered by date, time and name and lists
  // every row that repeats the row read before it in all six fields. True
  // when the list holds records. On an error the rows purged stay purged,
  // the list keeps what it had collected, the progress display stays open
  // and Query stays as the error left it. A stop asked for (paradox/stop.h)
  // raises dataset::EStopped once the purge has written what it deleted or
  // the read has ended: Query closed, the list empty, the display closed.
  bool CreateList();
  // The same read without changing anything: rows the purge would delete
  // (a non-empty FDate before 1 January 2011) are skipped as if gone, and
  // `*would_purge` gets their number. The table is only read. Fails as the
  // purge would when the engine cannot read the purge's date literal.
  bool PreviewList(int* would_purge);

  // Reads the row at which Query stands; true when it repeats the row read
  // before it in this pass (the first row repeats nothing). Leaves the row
  // in FLastRec either way.
  bool HaveDouble();

  // Sorts FDupList (see SortList).
  void SortList();
  // A position of FDupList whose record has the key of `rec`, or -1.
  int FindIndex(const TBlockRec& rec) const;

  // The deletion pass: walks Table on FTablePath in its own order and
  // deletes each row that equals a listed record in all six fields, taking
  // that record off the list. Rows that share only the list's key with a
  // record stay. On an error the rows deleted so far stay deleted and their
  // records are off the list (rows of a group of deletions that could not
  // be written are back in the table and keep their records), Table stays
  // open on the row where the walk stopped and the progress display stays
  // open. A stop asked for raises dataset::EStopped at a group boundary:
  // the deletions made are written and off the list, the rows not reached
  // stay (their records too), Table is closed and so is the display.
  void DeleteDoubles();
  // Tells the operator how the deletion went: a warning when records are
  // left in the list, otherwise an information. True when records are left.
  bool ReportDeletion(OperatorMessages& messages) const;

  // True while a pass runs. A pass cannot start inside another one (the
  // displays let window messages run); the attempt raises std::logic_error
  // and changes nothing.
  bool Running() const { return running_; }

 private:
  // The start shared by CreateList and PreviewList: empty list and
  // FLastRec, the progress display and its throttle, Query closed.
  void StartAnalysis();
  // The ordered read shared by CreateList and PreviewList.
  bool ReadList(bool skip_purged, int* skipped);
  // What an analysis leaves when a stop ends it (see CreateList).
  void EndStopped();

  TPassState& state_;
  dataset::TQuery& query_;
  dataset::TTable& table_;
  ProgressReport& progress_;
  std::string purge_date_;
  // How the engine takes purge_date_ back: a format it cannot read makes the
  // purge fail, and the preview with it.
  paradox::Status purge_date_read_;
  bool has_last_ = false;  // FLastRec holds a row of this read
  bool running_ = false;
};

}  // namespace cleaning
