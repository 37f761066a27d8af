// advclean's listings: the duplicate list as the grid's six columns, or as
// JSON records.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/regional.h"
#include "table/block_rec.h"

namespace tools {

// One line per record under a header: the position from 1, the date and
// time in the regional formats, the name (UTF-8), the number, and the order
// with its year as 17/2010. Columns are padded to line up.
void PrintList(std::FILE* out, const std::vector<dataset::TBlockRec>& records, const app::RegionalFormats& formats);

// [{"name":...,"date":"YYYY-MM-DD","time":"HH:MM:SS.mmm","number":N,
//   "order":N,"yearOrder":N},...]
void AppendJsonList(std::string* out, const std::vector<dataset::TBlockRec>& records);

}  // namespace tools
