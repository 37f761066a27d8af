#include "table/tquery.h"

#include "paradox/select.h"
#include "paradox/sql.h"
#include "table/errors.h"
#include "table/session.h"

namespace dataset {

std::string TStrings::Text() const {
  std::string s;
  for (const std::string& l : lines_) s += l + "\r\n";
  return s;
}

TQuery::TQuery(std::string name) : TDataSet(std::move(name)) {}
TQuery::~TQuery() { Close(); }

void TQuery::InternalOpen() {
  Session().Open();
  paradox::Statement st;
  Check(paradox::ParseStatement(SQL.Text(), &st));
  if (st.kind != paradox::Statement::Kind::kSelect)
    Check(paradox::Status::Error(paradox::ErrorCode::kNotSupported, "only a SELECT statement opens a result"));
  std::unique_ptr<paradox::ResultSet> rs;
  Check(paradox::ResultSet::Run(paradox::FileSystem::Default(), st, &rs));
  result_ = std::move(rs);
  row_ = 0;
  BindFields(&result_->table(), result_->columns());
}

void TQuery::InternalClose() { result_.reset(); }

void TQuery::InternalNext() { ++row_; }

bool TQuery::InternalEof() const { return !result_ || row_ >= result_->size(); }

int TQuery::InternalRecordCount() const { return result_ ? static_cast<int>(result_->size()) : -1; }

const uint8_t* TQuery::CurrentRecord() const {
  if (!result_ || row_ >= result_->size()) return nullptr;
  return result_->record(row_);
}

}  // namespace dataset
