#include "table/block_rec.h"

#include <string>

#include "table/dataset.h"

namespace dataset {

void ReadBlockRec(TDataSet& ds, TBlockRec* rec) {
  // One text buffer for every row read on this thread, and the six fields
  // as last looked up: while the set keeps its binding, the look-ups by
  // name would find the same fields again.
  thread_local std::string name;
  thread_local uint64_t bound = 0;
  thread_local TField* fields[6];
  if (ds.Binding() == 0 || ds.Binding() != bound) {
    static const char* const kNames[6] = {"FName", "FDate", "FTime", "FNumber", "FOrder", "FYearOrder"};
    bound = 0;
    for (int i = 0; i < 6; ++i) fields[i] = ds.FieldByName(kNames[i]);
    bound = ds.Binding();
  }
  TBlockRec r;
  fields[0]->GetText(&name);
  r.Name.Assign(name);
  r.Date = fields[1]->AsDateTime();
  r.Time = fields[2]->AsDateTime();
  r.Number = static_cast<int16_t>(static_cast<uint16_t>(fields[3]->AsInteger()));
  r.Order = fields[4]->AsInteger();
  r.YearOrder = fields[5]->AsInteger();
  *rec = r;
}

}  // namespace dataset
