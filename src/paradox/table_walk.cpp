#include "paradox/table_walk.h"

#include <cstring>

#include "paradox/stop.h"
#include "paradox/table_editor.h"

namespace paradox {

using Clock = std::chrono::steady_clock;

Status TableWalk::Open(FileSystem* fs, const std::string& path, const GroupBounds& bounds,
                       std::unique_ptr<TableWalk>* out) {
  std::unique_ptr<TableWalk> w(new TableWalk);
  w->fs_ = fs;
  w->path_ = path;
  w->bounds_ = bounds;
  PX_RETURN_IF_ERROR(Table::Open(fs, path, OpenOptions(), &w->table_));
  w->cursor_ = w->table_->NewCursor();
  PX_RETURN_IF_ERROR(w->cursor_->status());
  *out = std::move(w);
  return Status::OK();
}

TableWalk::~TableWalk() = default;

uint32_t TableWalk::unwritten_deletions() const { return editor_ ? editor_->group_rows() : 0; }

Status TableWalk::StandOn(const std::vector<uint8_t>& seen, RowPos at, bool* found) {
  const size_t rs = table_->header().record_size;
  cursor_->Forget();  // what was read before may have changed
  cursor_->SeekTo(at.block, at.slot);
  *found = cursor_->Valid() && std::memcmp(cursor_->record(), seen.data(), rs) == 0;
  if (*found) return Status::OK();
  // The record moved or went: look for it in the whole table.
  auto c = table_->NewCursor();
  for (; c->Valid(); c->Next()) {
    if (std::memcmp(c->record(), seen.data(), rs) != 0) continue;
    cursor_->SeekTo(c->block(), c->slot());
    *found = true;
    return cursor_->status();
  }
  PX_RETURN_IF_ERROR(c->status());
  cursor_->SeekToEnd();
  return Status::OK();
}

// Takes the table's files from the reading handles to an editor that holds
// them alone, and finds the current record again: another program may
// have changed the table since it was read.
Status TableWalk::TakeForChanges(bool* gone) {
  const uint32_t rs = table_->header().record_size;
  std::vector<uint8_t> seen(cursor_->record(), cursor_->record() + rs);
  const RowPos at{cursor_->block(), cursor_->slot()};
  table_->ReleaseFiles();
  std::unique_ptr<TableEditor> ed;
  Status st = TableEditor::Open(fs_, path_, &ed);
  if (!st.ok()) {
    // Nothing changed: go on reading where the walk stood.
    if (table_->ReopenFiles().ok()) cursor_->SeekTo(at.block, at.slot);
    return st;
  }
  editor_ = std::move(ed);
  PX_RETURN_IF_ERROR(FollowEditor(*editor_, table_.get(), nullptr));
  // Blocks are read where the editor keeps them (the group's images, the
  // window it reads the file through); once a group is written, or a
  // deletion changed them, the cursor takes them afresh.
  const TableEditor* editor = editor_.get();
  cursor_->SetSource([editor](uint16_t b) { return editor->WalkBlock(b); });
  editor_->OnFlushed([this] { Reread(); });
  bool found = false;
  PX_RETURN_IF_ERROR(StandOn(seen, at, &found));
  *gone = !found;
  return Status::OK();
}

void TableWalk::Reread() {
  if (!cursor_->Valid()) {
    cursor_->Forget();
    return;
  }
  const RowPos at{cursor_->block(), cursor_->slot()};
  cursor_->Forget();
  cursor_->SeekTo(at.block, at.slot);
}

Status TableWalk::Recover(Status cause) {
  const uint32_t rows = editor_->group_rows();
  if (!editor_->Flush().ok()) lost_ = rows;
  std::vector<uint8_t> seen;
  const RowPos at{cursor_->block(), cursor_->slot()};
  if (cursor_->Valid()) seen.assign(cursor_->record(), cursor_->record() + table_->header().record_size);
  table_->ReleaseFiles();
  cursor_->SetSource(nullptr);
  editor_.reset();
  Status st = table_->ReopenFiles();
  if (st.ok() && !seen.empty()) {
    bool found = false;
    st = StandOn(seen, at, &found);
  } else if (st.ok()) {
    cursor_->SeekToEnd();
  }
  if (!st.ok()) {
    cursor_->SeekToEnd();
    cause.With("the table could not be read again: " + st.ToString());
  }
  return cause;
}

Status TableWalk::Settle(bool leaving) {
  if (!editor_) return Status::OK();
  if (editor_->broken()) return Recover(editor_->failure());
  if (editor_->group_rows() == 0 || (!leaving && cursor_->Valid() && cursor_->block() == deleted_in_))
    return Status::OK();
  const bool due = editor_->group_bytes() >= bounds_.bytes ||
                   std::chrono::duration<double>(Clock::now() - group_start_).count() >= bounds_.seconds;
  return due ? Flush() : Status::OK();
}

Status TableWalk::Stopped() {
  PX_RETURN_IF_ERROR(Flush());
  return Status::Error(ErrorCode::kStopped).With(path_);
}

Status TableWalk::Next() {
  if (StopRequested()) return Stopped();
  // A group due is written before the walk enters another block, which
  // may move the editor's window: the window still holds the file's bytes
  // of the blocks the group changed, and they need not be copied out.
  if (cursor_->LastInBlock()) PX_RETURN_IF_ERROR(Settle(true));
  const uint16_t was_in = cursor_->block();
  cursor_->Next();
  if (!cursor_->status().ok()) {
    // The error comes after the gathered deletions are written.
    Status written = Flush();
    return written.ok() ? cursor_->status() : written;
  }
  // The bounds are looked at where the walk enters another block.
  return cursor_->block() != was_in || !cursor_->Valid() ? Settle() : Status::OK();
}

Status TableWalk::Delete() {
  lost_ = 0;
  if (!cursor_->Valid()) return Status::Error(ErrorCode::kNotFound, "no current record").With(path_);
  if (StopRequested()) return Stopped();
  if (!editor_) {
    bool gone = false;
    PX_RETURN_IF_ERROR(TakeForChanges(&gone));
    // Another program deleted the record already: that counts as done. The
    // walk goes on at the record now standing where it stood.
    if (gone) return Status::OK();
  }
  if (editor_->broken()) return Recover(editor_->failure());
  const RowPos at{cursor_->block(), cursor_->slot()};
  AfterDelete after;
  Status st = editor_->Delete({at}, &after);
  if (!st.ok()) return Recover(st);
  if (editor_->group_rows() == 1) group_start_ = Clock::now();
  deleted_in_ = at.block;
  st = FollowEditor(*editor_, table_.get(), nullptr);
  if (!st.ok()) return Recover(st);
  if (after.has_next) cursor_->SeekTo(after.next.block, after.next.slot);
  else if (after.has_prev) cursor_->SeekTo(after.prev.block, after.prev.slot);
  else cursor_->SeekToEnd();
  if (!cursor_->status().ok()) return Recover(cursor_->status());
  return Settle();
}

Status TableWalk::Flush() {
  lost_ = 0;
  if (!editor_) return Status::OK();
  Status st = editor_->broken() ? editor_->failure() : editor_->Flush();
  return st.ok() ? st : Recover(st);
}

Status TableWalk::Close() {
  PX_RETURN_IF_ERROR(Flush());
  if (editor_) editor_->OnFlushed(nullptr);
  cursor_.reset();
  table_.reset();
  editor_.reset();
  return Status::OK();
}

}  // namespace paradox
