#include "paradox/table_walk.h"

#include <cstring>

#include "paradox/stop.h"
#include "paradox/store/table_editor.h"

namespace paradox {

using Clock = std::chrono::steady_clock;

namespace {

// Marks a walk as inside a call of its own, in which it does not let go.
class InCall {
 public:
  explicit InCall(bool* flag) : flag_(flag), was_(*flag) { *flag_ = true; }
  ~InCall() { *flag_ = was_; }
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;

 private:
  bool* flag_;
  bool was_;
};

}  // namespace

Status TableWalk::Open(FileSystem* fs, const std::string& path, const GroupBounds& bounds,
                       std::unique_ptr<TableWalk>* out) {
  std::unique_ptr<TableWalk> w(new TableWalk);
  w->fs_ = fs;
  w->path_ = path;
  w->bounds_ = bounds;
  PX_RETURN_IF_ERROR(Table::Open(fs, path, OpenOptions(), &w->table_));
  w->cursor_ = w->table_->NewCursor();
  PX_RETURN_IF_ERROR(w->cursor_->status());
  AddTableHolder(w.get());
  *out = std::move(w);
  return Status::OK();
}

TableWalk::TableWalk() = default;
TableWalk::~TableWalk() { RemoveTableHolder(this); }

uint32_t TableWalk::unwritten_deletions() const { return editor_ ? editor_->group_rows() : 0; }

TableWalk::Place TableWalk::Here() const {
  Place p;
  if (!cursor_->Valid()) return p;
  const size_t rs = table_->header().record_size;
  p.row.assign(cursor_->record(), cursor_->record() + rs);
  p.at = RowPos{cursor_->block(), cursor_->slot()};
  if (!cursor_->LastInBlock()) p.next.assign(cursor_->record() + rs, cursor_->record() + 2 * rs);
  p.next_block = cursor_->next_block();
  return p;
}

Status TableWalk::StandOn(const Place& place, bool* found) {
  *found = false;
  cursor_->Forget();  // what was read before may have changed
  if (place.row.empty()) {
    cursor_->SeekToEnd();
    return Status::OK();
  }
  const size_t rs = table_->header().record_size;
  const RowPos at = place.at;
  auto holds = [&](RowPos p, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    cursor_->SeekTo(p.block, p.slot);
    return cursor_->Valid() && std::memcmp(cursor_->record(), bytes.data(), rs) == 0;
  };
  if (holds(at, place.row)) {
    *found = true;
    return Status::OK();
  }
  // Removed, the records after it moved up; or changed where it stands.
  if (holds(at, place.next) || holds(RowPos{at.block, at.slot + 1}, place.next)) return Status::OK();

  // Through the whole table: the record went elsewhere, or else the one
  // after it did (of equal records, the first from its block on); or else
  // the first record after its place.
  struct Hit {
    bool any = false, ahead = false;
    RowPos at;
  };
  Hit row, next, after, next_block;
  bool passed = false;
  auto c = table_->NewCursor();
  for (; c->Valid(); c->Next()) {
    const RowPos p{c->block(), c->slot()};
    const bool in_block = p.block == at.block;
    if (!after.any && ((in_block && p.slot > at.slot) || (!in_block && passed))) after = Hit{true, true, p};
    if (in_block) passed = true;
    if (!next_block.any && p.block == place.next_block) next_block = Hit{true, true, p};
    for (auto [hit, bytes] : {std::pair{&row, &place.row}, std::pair{&next, &place.next}}) {
      if (bytes->empty() || std::memcmp(c->record(), bytes->data(), rs) != 0) continue;
      if (!hit->any || (passed && !hit->ahead)) *hit = Hit{true, passed, p};
    }
  }
  PX_RETURN_IF_ERROR(c->status());
  const Hit& to = row.any ? row : next.any ? next : after.any || passed ? after : next_block;
  *found = row.any;
  if (!to.any) {
    cursor_->SeekToEnd();
    return Status::OK();
  }
  cursor_->SeekTo(to.at.block, to.at.slot);
  return cursor_->status();
}

// Takes the table's files from the reading handles to an editor that holds
// them alone, and finds the current record again: another program may
// have changed the table since it was read.
Status TableWalk::TakeForChanges(bool* gone) {
  const Place place = Here();
  table_->ReleaseFiles();
  std::unique_ptr<TableEditor> ed;
  Status st = TableEditor::Open(fs_, path_, &ed);
  if (!st.ok()) {
    // Nothing changed: go on reading where the walk stood.
    if (table_->ReopenFiles().ok()) cursor_->SeekTo(place.at.block, place.at.slot);
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
  PX_RETURN_IF_ERROR(StandOn(place, &found));
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
  const Place place = Here();
  table_->ReleaseFiles();
  cursor_->SetSource(nullptr);
  editor_.reset();
  Status st = table_->ReopenFiles();
  if (st.ok()) {
    bool found = false;
    st = StandOn(place, &found);
  }
  if (!st.ok()) {
    cursor_->SeekToEnd();
    cause.With("the table could not be read again: " + st.ToString());
  }
  return cause;
}

void TableWalk::LetGo() {
  if (in_call_ || let_go_ || !cursor_) return;
  if (editor_) {
    const uint32_t rows = editor_->group_rows();
    if (!editor_->Flush().ok()) lost_ = rows;
  }
  place_ = Here();
  row_ = place_.row;
  cursor_->SetSource(nullptr);
  cursor_->Forget();
  cursor_->SeekToEnd();
  editor_.reset();
  table_->ReleaseFiles();
  let_go_ = true;
}

Status TableWalk::Resume(bool* found) {
  bool unused = true;
  if (found == nullptr) found = &unused;
  *found = true;
  if (!let_go_) return Status::OK();
  InCall call(&in_call_);
  PX_RETURN_IF_ERROR(table_->ReopenFiles());
  let_go_ = false;
  row_.clear();
  Status st = StandOn(place_, found);
  if (!st.ok()) cursor_->SeekToEnd();
  return st;
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
  InCall call(&in_call_);
  if (StopRequested()) return Stopped();
  bool found = true;
  PX_RETURN_IF_ERROR(Resume(&found));
  // The record it stood on is gone: the one after it is current now.
  if (!found) return Status::OK();
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
  InCall call(&in_call_);
  lost_ = 0;
  if (!Valid()) return Status::Error(ErrorCode::kNotFound, "no current record").With(path_);
  if (StopRequested()) return Stopped();
  bool found = true;
  PX_RETURN_IF_ERROR(Resume(&found));
  // Another program (or this one through another handle) removed or
  // changed the record: that counts as done.
  if (!found) return Status::OK();
  if (!editor_) {
    bool gone = false;
    PX_RETURN_IF_ERROR(TakeForChanges(&gone));
    // Another program removed or changed the record: that counts as done.
    // The record that followed it is current now.
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
  InCall call(&in_call_);
  lost_ = 0;
  if (!editor_) return Status::OK();
  Status st = editor_->broken() ? editor_->failure() : editor_->Flush();
  return st.ok() ? st : Recover(st);
}

Status TableWalk::Close() {
  InCall call(&in_call_);
  PX_RETURN_IF_ERROR(Flush());
  if (editor_) editor_->OnFlushed(nullptr);
  cursor_.reset();
  table_.reset();
  editor_.reset();
  return Status::OK();
}

}  // namespace paradox
