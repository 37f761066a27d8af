#include "table/ttable.h"

#include <cstring>
#include <vector>

#include "paradox/table.h"
#include "paradox/table_editor.h"
#include "table/errors.h"
#include "table/session.h"

namespace dataset {

TTable::TTable(std::string name) : TDataSet(std::move(name)) {}
TTable::~TTable() { Close(); }

void TTable::SetTableName(const std::string& name) {
  if (name == table_name_) return;
  if (Active()) RaiseError("Cannot perform this operation on an open dataset");
  table_name_ = name;
}

void TTable::InternalOpen() {
  Session().Open();
  std::unique_ptr<paradox::Table> t;
  Check(paradox::Table::Open(paradox::FileSystem::Default(), table_name_, paradox::OpenOptions(), &t));
  Check(t->CheckTextCodePage());
  std::unique_ptr<paradox::Cursor> c = t->NewCursor();
  Check(c->status());
  table_ = std::move(t);
  cursor_ = std::move(c);
  std::vector<int> all;
  for (size_t i = 0; i < table_->fields().size(); ++i) all.push_back(static_cast<int>(i));
  BindFields(table_.get(), all);
}

void TTable::InternalClose() {
  cursor_.reset();
  table_.reset();
  editor_.reset();
}

// Takes the table's files from the reading handles to an editor that holds
// them alone, and finds the current row again: another program may have
// changed the table since it was read.
void TTable::TakeForChanges() {
  const uint32_t rs = table_->header().record_size;
  std::vector<uint8_t> seen(cursor_->record(), cursor_->record() + rs);
  paradox::RowPos at{cursor_->block(), cursor_->slot()};
  table_->ReleaseFiles();
  std::unique_ptr<paradox::TableEditor> ed;
  paradox::Status st = paradox::TableEditor::Open(paradox::FileSystem::Default(), table_name_, &ed);
  if (!st.ok()) {
    // Nothing changed: go on reading where the walk stood.
    if (table_->ReopenFiles().ok()) cursor_->SeekTo(at.block, at.slot);
    throw EDBEngineError(st);
  }
  editor_ = std::move(ed);
  Check(paradox::FollowEditor(*editor_, table_.get(), nullptr));
  cursor_->Forget();  // another program may have changed what was read
  cursor_->SeekTo(at.block, at.slot);
  if (cursor_->Valid() && std::memcmp(cursor_->record(), seen.data(), rs) == 0) return;
  // The row moved or went: look for it in the whole table.
  bool found = false;
  Check(editor_->ForEachRecord([&](paradox::RowPos pos, const uint8_t* rec) {
    if (std::memcmp(rec, seen.data(), rs) != 0) return true;
    at = pos;
    found = true;
    return false;
  }));
  if (found) cursor_->SeekTo(at.block, at.slot);
  gone_ = !found;
}

void TTable::Delete() {
  CheckActive();
  if (InternalEof()) RaiseError("Cannot perform this operation on an empty dataset");
  gone_ = false;
  if (!editor_) TakeForChanges();
  if (gone_) {
    // Another program deleted the row already: that counts as done. The
    // walk goes on at the row now standing where it stood.
    gone_ = false;
    if (!cursor_->Valid()) cursor_->SeekToEnd();
    return;
  }
  paradox::AfterDelete after;
  Check(editor_->Delete({paradox::RowPos{cursor_->block(), cursor_->slot()}}, /*sync=*/false, &after));
  Check(paradox::FollowEditor(*editor_, table_.get(), cursor_.get()));
  if (after.has_next) cursor_->SeekTo(after.next.block, after.next.slot);
  else if (after.has_prev) cursor_->SeekTo(after.prev.block, after.prev.slot);
  else cursor_->SeekToEnd();
  Check(cursor_->status());
}

void TTable::InternalNext() {
  cursor_->Next();
  Check(cursor_->status());
}

bool TTable::InternalEof() const { return !cursor_ || !cursor_->Valid(); }

int TTable::InternalRecordCount() const { return table_ ? static_cast<int>(table_->record_count()) : -1; }

const uint8_t* TTable::CurrentRecord() const { return cursor_ && cursor_->Valid() ? cursor_->record() : nullptr; }

}  // namespace dataset
