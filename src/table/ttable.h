// TTable: a table named by its path, opened shared and walked in the order
// of its default index (primary-key order for keyed tables, the order of
// the rows in the file otherwise).
#pragma once

#include <memory>
#include <string>

#include "table/dataset.h"

namespace paradox {
class Table;
class Cursor;
class TableEditor;
}

namespace dataset {

class TTable : public TDataSet {
 public:
  explicit TTable(std::string name = "Table");
  ~TTable() override;

  const std::string& TableName() const { return table_name_; }
  // Giving the name it has does nothing; another name while the set is open
  // raises "Cannot perform this operation on an open dataset".
  void SetTableName(const std::string& name);

  // Deletes the current row from the table file at once. The row that
  // followed becomes current; after deleting the last row the row before it
  // becomes current and the set is not at its end; deleting the only row
  // left puts the set at its end. A row the engine finds already gone counts
  // as deleted. Engine failures raise EDBEngineError and change nothing.
  void Delete();

  const uint8_t* CurrentRecord() const override;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalNext() override;
  bool InternalEof() const override;
  int InternalRecordCount() const override;

 private:
  std::string table_name_;
  void TakeForChanges();

  std::unique_ptr<paradox::Table> table_;
  std::unique_ptr<paradox::Cursor> cursor_;
  // Holds the table from the first deletion until the set closes.
  std::unique_ptr<paradox::TableEditor> editor_;
  bool gone_ = false;  // the row to delete was no longer in the table
};

}  // namespace dataset
