// Running a SELECT: every record of a table, optionally ordered, held in
// memory as a read-only result.
#pragma once

#include <memory>
#include <vector>

#include "paradox/sql.h"
#include "paradox/table.h"

namespace paradox {

class ResultSet {
 public:
  // Runs `st` (a SELECT). Fails when the table cannot be read, a named field
  // does not exist (kFieldNotFound), or an ORDER BY field is a blob.
  // Text orders by its Windows-1251 bytes; empty values come first; rows
  // equal in every ORDER BY field keep the table's order.
  static Status Run(FileSystem* fs, const Statement& st, std::unique_ptr<ResultSet>* out);

  const Table& table() const { return *table_; }
  size_t size() const { return order_.size(); }
  // The i-th record of the result.
  const uint8_t* record(size_t i) const {
    return records_.data() + static_cast<size_t>(order_[i]) * table_->header().record_size;
  }
  // Table field numbers of the result's columns, in order.
  const std::vector<int>& columns() const { return columns_; }

 private:
  std::unique_ptr<Table> table_;
  std::vector<uint8_t> records_;
  std::vector<uint32_t> order_;
  std::vector<int> columns_;
};

}  // namespace paradox
