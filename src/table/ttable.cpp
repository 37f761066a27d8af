#include "table/ttable.h"

#include "paradox/table_walk.h"
#include "table/errors.h"
#include "table/session.h"

namespace dataset {

TTable::TTable(std::string name) : TDataSet(std::move(name)) {}

TTable::~TTable() {
  // A group that cannot be written now comes back, as after a crash.
  try {
    Close();
  } catch (const std::exception&) {
  }
}

void TTable::SetTableName(const std::string& name) {
  if (name == table_name_) return;
  if (Active()) RaiseError("Cannot perform this operation on an open dataset");
  table_name_ = name;
}

void TTable::Check(const paradox::Status& st) const {
  if (st.ok()) return;
  lost_ = walk_ ? walk_->lost_deletions() : 0;
  dataset::Check(st);
}

void TTable::InternalOpen() {
  Session().Open();
  lost_ = 0;
  std::unique_ptr<paradox::TableWalk> w;
  dataset::Check(paradox::TableWalk::Open(Session().file_system(), table_name_, paradox::GroupBounds(), &w));
  dataset::Check(w->table().CheckTextCodePage());
  walk_ = std::move(w);
  std::vector<int> all;
  for (size_t i = 0; i < walk_->table().fields().size(); ++i) all.push_back(static_cast<int>(i));
  BindFields(&walk_->table(), all);
}

void TTable::InternalClose() {
  if (!walk_) return;
  // Should the last group fail, the set stays open where it stood.
  Check(walk_->Close());
  walk_.reset();
}

void TTable::Delete() {
  CheckActive();
  if (InternalEof()) RaiseError("Cannot perform this operation on an empty dataset");
  Check(walk_->Delete());
}

void TTable::InternalNext() { Check(walk_->Next()); }

void TTable::BeforeRaise() const {
  if (walk_) Check(walk_->Flush());
}

bool TTable::InternalEof() const { return !walk_ || !walk_->Valid(); }

int TTable::InternalRecordCount() const {
  if (!walk_) return -1;
  // A walk that let the table go for another open of this process counts
  // the table as it stands now.
  if (!walk_->Resume().ok()) return -1;
  return static_cast<int>(walk_->record_count());
}

const uint8_t* TTable::CurrentRecord() const { return walk_ && walk_->Valid() ? walk_->record() : nullptr; }

}  // namespace dataset
