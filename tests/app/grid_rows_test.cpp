#include "app/grid_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleaning/date_text.h"
#include "framework/text.h"

namespace app {
namespace {

dataset::TBlockRec Rec(double date, double time, const std::string& name_cp1251, int16_t number, int32_t order,
                       int32_t year) {
  dataset::TBlockRec r;
  r.Date = date;
  r.Time = time;
  r.Name.Assign(name_cp1251);
  r.Number = number;
  r.Order = order;
  r.YearOrder = year;
  return r;
}

std::vector<std::u16string> Copy(const GridRowTexts::Texts& t) { return {t.begin(), t.end()}; }

// Dates and times are made once while they repeat: a row whose date or
// time differs from the row before must not show the old text, even when
// it comes back to an earlier one.
TEST(GridRowTextsTest, EachRowShowsItsOwnDateAndTime) {
  RegionalFormats formats;
  formats.long_time = "H:mm:ss";
  GridRowTexts texts(formats);
  const double d1 = 40546, d2 = 40547;  // 3 and 4 January 2011
  const double t1 = 0.5, t2 = 0.75;     // 12:00:00 and 18:00:00
  const std::vector<dataset::TBlockRec> recs = {
      Rec(d1, t1, "\xD0\xEE\xEB\xE8\xEA", 3, 17, 2010),  // "Ролик"
      Rec(d1, t1, "\xD0\xEE\xEB\xE8\xEA", 3, 17, 2010), Rec(d1, t2, "B", -5, -1, 0), Rec(d2, t2, "C", 0, 0, 0),
      Rec(d1, t1, "", -32768, 2147483647, -2147483647 - 1)};
  const std::vector<std::vector<std::u16string>> want = {
      {u"1", u"03.01.2011", u"12:00:00", u"Ролик", u"3", u"17/2010"},
      {u"2", u"03.01.2011", u"12:00:00", u"Ролик", u"3", u"17/2010"},
      {u"3", u"03.01.2011", u"18:00:00", u"B", u"-5", u"-1/0"},
      {u"4", u"04.01.2011", u"18:00:00", u"C", u"0", u"0/0"},
      {u"44000", u"03.01.2011", u"12:00:00", u"", u"-32768", u"2147483647/-2147483648"}};
  const int rows[] = {1, 2, 3, 4, 44000};
  for (size_t i = 0; i < recs.size(); ++i) {
    EXPECT_EQ(Copy(texts.Make(rows[i], recs[i])), want[i]) << i;
    // As formatted on their own.
    EXPECT_EQ(texts.Make(rows[i], recs[i])[1],
              framework::FromUtf8(cleaning::FormatDateText(recs[i].Date, formats.short_date)));
  }
}

}  // namespace
}  // namespace app
