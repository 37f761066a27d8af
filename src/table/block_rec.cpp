#include "table/block_rec.h"

#include <string>

#include "table/dataset.h"

namespace dataset {

void ReadBlockRec(TDataSet& ds, TBlockRec* rec) {
  // One text buffer for every row read on this thread.
  thread_local std::string name;
  TBlockRec r;
  ds.FieldByName("FName")->GetText(&name);
  r.Name.Assign(name);
  r.Date = ds.FieldByName("FDate")->AsDateTime();
  r.Time = ds.FieldByName("FTime")->AsDateTime();
  r.Number = static_cast<int16_t>(static_cast<uint16_t>(ds.FieldByName("FNumber")->AsInteger()));
  r.Order = ds.FieldByName("FOrder")->AsInteger();
  r.YearOrder = ds.FieldByName("FYearOrder")->AsInteger();
  *rec = r;
}

}  // namespace dataset
