#include "table/ttable.h"

#include "paradox/table.h"
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
}

void TTable::InternalNext() {
  cursor_->Next();
  Check(cursor_->status());
}

bool TTable::InternalEof() const { return !cursor_ || !cursor_->Valid(); }

int TTable::InternalRecordCount() const { return table_ ? static_cast<int>(table_->record_count()) : -1; }

const uint8_t* TTable::CurrentRecord() const { return cursor_ && cursor_->Valid() ? cursor_->record() : nullptr; }

}  // namespace dataset
