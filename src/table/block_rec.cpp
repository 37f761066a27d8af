#include "table/block_rec.h"

#include "table/dataset.h"

namespace dataset {

void ReadBlockRec(TDataSet& ds, TBlockRec* rec) {
  TBlockRec r;
  r.Name.Assign(ds.FieldByName("FName")->AsString());
  r.Date = ds.FieldByName("FDate")->AsDateTime();
  r.Time = ds.FieldByName("FTime")->AsDateTime();
  r.Number = static_cast<int16_t>(static_cast<uint16_t>(ds.FieldByName("FNumber")->AsInteger()));
  r.Order = ds.FieldByName("FOrder")->AsInteger();
  r.YearOrder = ds.FieldByName("FYearOrder")->AsInteger();
  *rec = r;
}

}  // namespace dataset
