// The deletion pass.
#include "cleaning/cleaner.h"
#include "cleaning/copy_finder.h"
#include "cleaning/pass_guard.h"
#include "cleaning/texts.h"
#include "table/block_rec.h"
#include "table/errors.h"

namespace cleaning {

void TCleaner::DeleteDoubles() {
  PassGuard guard(running_);
  progress_.ShowProgress(texts::DeletingDoubles(), 0);
  // An open table (a walk that an error stopped) keeps its name and its
  // row: the walk goes on from there.
  table_.SetTableName(state_.FTablePath);
  table_.Open();
  const int total = table_.RecordCount();
  progress_.ProgressDue();
  int counter = 0;

  TCopyFinder copies(state_.FDupList);
  TBlockRec rec;
  try {
    while (!table_.Eof()) {
      dataset::ReadBlockRec(table_, &rec);
      // The key finds the candidates; only a record equal in all six fields
      // allows the row to go. Rows that cannot be copies skip both searches.
      const int i = copies.MayHold(rec) && FindIndex(rec) >= 0 ? copies.Find(rec) : -1;
      if (i >= 0) {
        // The row first: should the deletion fail, its record stays listed.
        // After deleting the last row the table stands on the row before it,
        // which is then read a second time.
        table_.Delete();
        copies.Use(i);
      } else {
        table_.Next();
      }
      ++counter;
      if (progress_.ProgressDue()) progress_.ShowProgress(std::string(), static_cast<double>(counter) / total * 100);
    }
    table_.Close();
  } catch (const dataset::EStopped&) {
    // A stop ends the pass at a group boundary: every deletion made is
    // written, and the table is let go (its journal with it) before the
    // stop goes on to the caller.
    copies.Finish();
    table_.Close();
    progress_.CloseProgress();
    throw;
  } catch (const dataset::EDBEngineError&) {
    // Rows of a group of deletions that could not be written are back in
    // the table: their records stay listed.
    copies.GiveBack(table_.LostDeletions());
    throw;
  }
  copies.Finish();
  progress_.CloseProgress();
}

bool TCleaner::ReportDeletion(OperatorMessages& messages) const {
  const bool left = !state_.FDupList.Empty();
  if (left) messages.ShowMessage(MessageKind::kWarning, texts::DeletionFailed());
  else messages.ShowMessage(MessageKind::kInformation, texts::DeletionDone());
  return left;
}

}  // namespace cleaning
