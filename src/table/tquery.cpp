#include "table/tquery.h"

#include "paradox/delete_statement.h"
#include "paradox/engine.h"
#include "paradox/select.h"
#include "paradox/sql.h"
#include "paradox/stop.h"
#include "table/errors.h"
#include "table/session.h"

namespace dataset {

std::string TStrings::Text() const {
  std::string s;
  for (const std::string& l : lines_) s += l + "\r\n";
  return s;
}

namespace {
// Rows fetched ahead of the one the query stands on (see ResultSet::Prefetch).
constexpr size_t kFetchAhead = 16;
}  // namespace

TQuery::TQuery(std::string name) : TDataSet(std::move(name)) {}
TQuery::~TQuery() { Close(); }

void TQuery::InternalOpen() {
  Session().Open();
  paradox::Statement st;
  Check(paradox::ParseStatement(SQL.Text(), &st));
  if (st.kind != paradox::Statement::Kind::kSelect)
    Check(paradox::Status::Error(paradox::ErrorCode::kNotSupported, "only a SELECT statement opens a result"));
  std::unique_ptr<paradox::ResultSet> rs;
  Check(paradox::ResultSet::Run(Session().file_system(), st, &rs));
  result_ = std::move(rs);
  row_ = 0;
  for (size_t i = 0; i < kFetchAhead; ++i) result_->Prefetch(i);
  BindFields(&result_->table(), result_->columns());
}

void TQuery::InternalClose() { result_.reset(); }

void TQuery::ExecSQL() {
  Session().Open();
  rows_affected_ = 0;
  paradox::Statement st;
  Check(paradox::ParseStatement(SQL.Text(), &st));
  if (st.kind != paradox::Statement::Kind::kDelete)
    Check(paradox::Status::Error(paradox::ErrorCode::kNotSupported, "a SELECT statement is opened, not executed"));
  uint32_t deleted = 0;
  paradox::Status s =
      paradox::ExecuteDelete(Session().file_system(), st, paradox::Engine::date_format(), &deleted);
  rows_affected_ = static_cast<int>(deleted);
  Check(s);
}

void TQuery::InternalNext() {
  // The result is only read: a stop asked for simply ends the reading.
  if (paradox::StopRequested()) Check(paradox::Status::Error(paradox::ErrorCode::kStopped));
  ++row_;
  result_->Prefetch(row_ + kFetchAhead);
}

bool TQuery::InternalEof() const { return !result_ || row_ >= result_->size(); }

int TQuery::InternalRecordCount() const { return result_ ? static_cast<int>(result_->size()) : -1; }

const paradox::Table* TQuery::SourceTable() const { return result_ ? &result_->table() : nullptr; }

std::vector<int> TQuery::Columns() const { return result_ ? result_->columns() : std::vector<int>(); }

const uint8_t* TQuery::CurrentRecord() const {
  if (!result_ || row_ >= result_->size()) return nullptr;
  return result_->record(row_);
}

}  // namespace dataset
