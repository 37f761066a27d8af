// TTable: a table named by its path, opened shared and walked in the order
// of its default index (primary-key order for keyed tables, the order of
// the rows in the file otherwise).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "paradox/status.h"
#include "table/dataset.h"

namespace paradox {
class TableWalk;
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

  // Deletes the current row. It is gone at once for the set (the row that
  // followed becomes current; after deleting the last row the row before it
  // becomes current and the set is not at its end; deleting the only row
  // left puts the set at its end; the record count drops) and from the
  // table file within a short time: deletions are written in groups, each
  // one journaled change forced to disk, at the latest when the set closes
  // or before it raises an error. From the first deletion until the set
  // closes the table is held against other programs. A row the engine
  // finds already gone counts as deleted. Engine failures raise
  // EDBEngineError; the row then stays, and so do the rows of a group that
  // could not be written (see LostDeletions). Once a stop is asked for
  // (paradox/stop.h), Delete and Next write the gathered deletions and
  // raise EStopped, the set standing where it stood.
  void Delete();
  // After an EDBEngineError of this set: how many of the deletions it had
  // reported done came back with a group that could not be written (the
  // latest ones). 0 after any other error.
  int LostDeletions() const { return static_cast<int>(lost_); }

  const uint8_t* CurrentRecord() const override;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void InternalNext() override;
  bool InternalEof() const override;
  int InternalRecordCount() const override;
  void BeforeRaise() const override;

 private:
  // Raises the walk's error, if any, noting the deletions it lost.
  void Check(const paradox::Status& st) const;

  std::string table_name_;
  std::unique_ptr<paradox::TableWalk> walk_;
  mutable uint32_t lost_ = 0;
};

}  // namespace dataset
