// A walk over a table's records in the table's own order that may delete
// the record it stands on: what the data set TTable does with a table.
//
// A deletion takes effect at once for the walk (its record, the record
// count, where it goes on) and reaches the files in groups: the deletions
// are gathered and written as one journaled change, forced to stable
// storage, once the group has reached its bounds and the walk moves on
// past the block of its last deletion, before the table is read through
// another handle of this process, when the walk is flushed or closed, and
// before an error is returned. From the first deletion until Close the
// table is held against every other program, so no one sees the files
// between. A crash undoes at most the group not written yet; its rows come
// back whole. A stop requested (see stop.h) is a group boundary: the next
// Next or Delete writes the group and fails with kStopped, moving nothing.
//
// When the same table is opened anew in this process (the walk left open
// after an error, and an analysis run meanwhile), the walk writes its group
// and lets the table go; at its next move it takes the table again and
// finds its row as it finds it before its first deletion (see Delete).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/format/block.h"
#include "paradox/status.h"
#include "paradox/store/pending_groups.h"
#include "paradox/table.h"

namespace paradox {

class TableEditor;

// When a group of deletions is written: once it has gathered `bytes` of
// blocks or `seconds` of work (whichever comes first).
struct GroupBounds {
  size_t bytes = 8u << 20;
  double seconds = 0.1;
};

class TableWalk : public TableHolder {
 public:
  // Opens the table at `path` for reading, shared, standing on its first
  // record (or at its end when it has none). Writes nothing.
  static Status Open(FileSystem* fs, const std::string& path, const GroupBounds& bounds,
                     std::unique_ptr<TableWalk>* out);
  TableWalk(const TableWalk&) = delete;
  TableWalk& operator=(const TableWalk&) = delete;
  // Drops a group not yet written, as a crash would.
  ~TableWalk() override;

  const Table& table() const { return *table_; }
  bool Valid() const { return let_go_ ? !row_.empty() : cursor_->Valid(); }
  // The current record's bytes; requires Valid().
  const uint8_t* record() const { return let_go_ ? row_.data() : cursor_->record(); }
  // Records the table holds as this walk shows it (as it last saw it,
  // while the walk has let the table go; see Resume).
  uint32_t record_count() const { return table_->record_count(); }

  // Moves to the next record; past the last one the walk is at its end.
  Status Next();
  // Deletes the current record: the record that followed becomes current;
  // after the last record the one before it becomes current; when none is
  // left the walk is at its end. Before the walk's first deletion (and
  // after it let the table go) another program may have changed the table:
  // the record is found again where it stood or wherever it went; a record
  // that another program removed or changed counts as done, and the one
  // that followed it becomes current. On an error the record stays, and
  // the walk stands where it stood, as the files now hold the table.
  Status Delete();
  // Takes the table again after the walk let it go, and stands on its
  // record, or on the one that followed it when it is gone (`*found`
  // false); does nothing otherwise. Next and Delete do it first.
  Status Resume(bool* found = nullptr);
  // TableHolder: writes the gathered deletions and closes the files, the
  // current record kept.
  const std::string& held_path() const override { return path_; }
  void LetGo() override;
  // Writes the gathered deletions now.
  Status Flush();
  // Writes the gathered deletions and lets the table go. On an error the
  // walk stays open, standing on its record as the files hold it.
  Status Close();

  // After an error: how many deletions this walk had reported done came
  // back because the group that held them could not be written.
  uint32_t lost_deletions() const { return lost_; }
  // Deletions gathered and not yet written.
  uint32_t unwritten_deletions() const;

 private:
  TableWalk();
  // The editor calls back into this walk; both stay where they are.

  Status TakeForChanges(bool* gone);
  // Where the walk stands, to find it again once the table was read afresh.
  struct Place {
    std::vector<uint8_t> row;   // the current record's bytes
    RowPos at;
    std::vector<uint8_t> next;  // the record after it in its block, if any
    uint16_t next_block = 0;    // the block after its block
  };
  Place Here() const;
  // Reads the current record afresh once a group is written: the cursor
  // read the blocks the group changed where the group held them.
  void Reread();
  // Writes the gathered group and fails with kStopped.
  Status Stopped();
  // Writes the group when it is due (see the file comment); `leaving`: the
  // walk is about to leave the block it stands in.
  Status Settle(bool leaving = false);
  // After the editor failed with `cause`: writes what it still can, lets
  // it go and reads the table afresh, standing on the same record.
  Status Recover(Status cause);
  // Stands on the record of `place` in the table as read afresh: where it
  // stood or wherever it went (`*found`); when it is gone or changed, on
  // the record that followed it; at the end when there is none.
  Status StandOn(const Place& place, bool* found);

  FileSystem* fs_ = nullptr;
  std::string path_;
  GroupBounds bounds_;
  std::unique_ptr<Table> table_;
  std::unique_ptr<Cursor> cursor_;
  // Holds the table from the first deletion until Close.
  std::unique_ptr<TableEditor> editor_;
  uint16_t deleted_in_ = 0;  // block of the last deletion
  std::chrono::steady_clock::time_point group_start_;
  uint32_t lost_ = 0;
  // Let go (see LetGo): the files are closed; `place_` is where the walk
  // stood and `row_` the record it shows meanwhile.
  bool let_go_ = false;
  Place place_;
  std::vector<uint8_t> row_;
  bool in_call_ = false;  // inside a call of its own: it does not let go
};

}  // namespace paradox
