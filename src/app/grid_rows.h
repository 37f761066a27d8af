// The texts of the result grid's data rows, one listed record each.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/regional.h"
#include "table/block_rec.h"

namespace app {

// The six texts of a data row: its position, the date and time in the
// regional formats, the name, the number, and order "/" order year.
//
// The listed records come sorted by date and time, so most rows repeat the
// date of the row before and copies of one row repeat its time: each of
// those texts is made once and used while it lasts, as formatting a date
// costs many times more than the rest of the row.
class GridRowTexts {
 public:
  using Texts = std::array<std::u16string_view, 6>;

  explicit GridRowTexts(const RegionalFormats& formats) : formats_(formats) {}
  GridRowTexts(const GridRowTexts&) = delete;
  GridRowTexts& operator=(const GridRowTexts&) = delete;

  // The texts of data row `row` (1 for the first) for `rec`; they stay
  // valid until the next call.
  Texts Make(int row, const dataset::TBlockRec& rec);

 private:
  const RegionalFormats& formats_;
  bool have_date_ = false, have_time_ = false;
  double date_ = 0, time_ = 0;
  std::u16string date_text_, time_text_, position_, name_, number_, order_;
};

}  // namespace app
