#include "app/grid_rows.h"

#include <charconv>

#include "cleaning/date_text.h"
#include "framework/text.h"

namespace app {

namespace {

void AppendNumber(std::u16string* out, long long value) {
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (const char* p = digits; p != end; ++p) out->push_back(static_cast<char16_t>(*p));
}

}  // namespace

GridRowTexts::Texts GridRowTexts::Make(int row, const dataset::TBlockRec& rec) {
  // Equal day counts give equal texts. (Not a number equals nothing, so
  // such a value is formatted each time.)
  if (!have_date_ || !(rec.Date == date_)) {
    date_text_ = framework::FromUtf8(cleaning::FormatDateText(rec.Date, formats_.short_date));
    date_ = rec.Date;
    have_date_ = true;
  }
  if (!have_time_ || !(rec.Time == time_)) {
    time_text_ = framework::FromUtf8(cleaning::FormatTimeText(rec.Time, formats_.long_time));
    time_ = rec.Time;
    have_time_ = true;
  }
  position_.clear();
  AppendNumber(&position_, row);
  name_.clear();
  framework::AppendCp1251(&name_, rec.Name.View());
  number_.clear();
  AppendNumber(&number_, rec.Number);
  order_.clear();
  AppendNumber(&order_, rec.Order);
  order_.push_back(u'/');
  AppendNumber(&order_, rec.YearOrder);
  return {position_, date_text_, time_text_, name_, number_, order_};
}

}  // namespace app
