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
  // Text (up to its first zero byte) orders by its Windows-1251 bytes;
  // empty values come first; rows equal in every ORDER BY field keep the
  // table's order. The result holds every row's bytes, read once; the rows
  // are put in order by compact keys, whole values compared only where
  // those are equal.
  static Status Run(FileSystem* fs, const Statement& st, std::unique_ptr<ResultSet>* out);

  const Table& table() const { return *table_; }
  size_t size() const { return order_.size(); }
  // The i-th record of the result.
  const uint8_t* record(size_t i) const { return records_.get() + static_cast<size_t>(order_[i] & row_mask_) * rsize_; }
  // Asks the processor to bring the i-th record into its cache: the result
  // is read in an order other than the one its rows lie in, so a reader a
  // few rows ahead does not wait for each one.
  void Prefetch(size_t i) const;
  // Table field numbers of the result's columns, in order.
  const std::vector<int>& columns() const { return columns_; }

 private:
  std::unique_ptr<Table> table_;
  // The rows' bytes in the table's order; not cleared first, as every byte
  // read is written before.
  std::unique_ptr<uint8_t[]> records_;
  size_t rsize_ = 0;
  // Row numbers in result order, each in the low bits under the row's
  // compact key.
  std::vector<uint64_t> order_;
  uint64_t row_mask_ = ~uint64_t{0};
  std::vector<int> columns_;
};

}  // namespace paradox
