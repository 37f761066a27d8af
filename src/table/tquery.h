// TQuery: runs a local SQL statement given as lines of text. Open runs a
// SELECT and walks its read-only result.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "table/dataset.h"

namespace paradox {
class ResultSet;
class Table;
}

namespace dataset {

// The lines of a statement.
class TStrings {
 public:
  void Add(const std::string& line) { lines_.push_back(line); }
  void Clear() { lines_.clear(); }
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int i) const { return lines_.at(static_cast<size_t>(i)); }
  // The lines joined, each ended by CR LF.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

class TQuery : public TDataSet {
 public:
  explicit TQuery(std::string name = "Query");
  ~TQuery() override;

  // The statement; a change takes effect at the next open or execute.
  TStrings SQL;

  // Runs the statement (a DELETE): the matching rows leave the table file at
  // once and for good. Raises EDBEngineError when the engine fails, and
  // EStopped when a stop was asked for (paradox/stop.h); the deletions the
  // statement had written before either stay, each change complete.
  void ExecSQL();
  // Rows the last ExecSQL deleted (written), also after it raised.
  int RowsAffected() const { return rows_affected_; }

  const uint8_t* CurrentRecord() const override;
  // The table an open result reads from, and the result's columns (its
  // field numbers), for tools that print whole rows; null when closed.
  const paradox::Table* SourceTable() const;
  std::vector<int> Columns() const;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalNext() override;
  bool InternalEof() const override;
  int InternalRecordCount() const override;

 private:
  std::unique_ptr<paradox::ResultSet> result_;
  size_t row_ = 0;
  int rows_affected_ = 0;
};

}  // namespace dataset
