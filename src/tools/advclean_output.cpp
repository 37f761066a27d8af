#include "tools/advclean_output.h"

#include <algorithm>
#include <cmath>

#include "cleaning/date_text.h"
#include "paradox/codepage.h"
#include "paradox/value.h"
#include "tools/advclean_console.h"
#include "tools/json.h"

namespace tools {

namespace {

const char* const kHeaders[6] = {"№№", "Дата", "Время", "Название ролика", "Номер", "Заказ"};
// Numbers line up on the right, texts on the left.
const bool kRightAligned[6] = {true, false, false, false, true, false};

std::string Pad(const std::string& s, size_t width, bool right) {
  const size_t w = DisplayWidth(s);
  if (w >= width) return s;
  std::string fill(width - w, ' ');
  return right ? fill + s : s + fill;
}

}  // namespace

void PrintList(std::FILE* out, const std::vector<dataset::TBlockRec>& records, const app::RegionalFormats& formats) {
  std::vector<std::vector<std::string>> rows;
  rows.emplace_back(kHeaders, kHeaders + 6);
  for (size_t i = 0; i < records.size(); ++i) {
    const dataset::TBlockRec& r = records[i];
    rows.push_back({std::to_string(i + 1), cleaning::FormatDateText(r.Date, formats.short_date),
                    cleaning::FormatTimeText(r.Time, formats.long_time),
                    paradox::Cp1251ToUtf8(r.Name.View()), std::to_string(r.Number),
                    std::to_string(r.Order) + "/" + std::to_string(r.YearOrder)});
  }
  size_t width[6] = {};
  for (const auto& row : rows)
    for (int c = 0; c < 6; ++c) width[c] = std::max(width[c], DisplayWidth(row[static_cast<size_t>(c)]));
  for (const auto& row : rows) {
    std::string line;
    for (int c = 0; c < 6; ++c) {
      if (c > 0) line += "  ";
      // The last column needs no padding behind it.
      line += c == 5 ? row[5] : Pad(row[static_cast<size_t>(c)], width[c], kRightAligned[c]);
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
}

void AppendJsonList(std::string* out, const std::vector<dataset::TBlockRec>& records) {
  out->push_back('[');
  for (size_t i = 0; i < records.size(); ++i) {
    const dataset::TBlockRec& r = records[i];
    if (i > 0) out->push_back(',');
    *out += "{\"name\":";
    AppendJsonString(out, paradox::Cp1251ToUtf8(r.Name.View()));
    *out += ",\"date\":\"";
    *out += paradox::FormatDate(static_cast<int64_t>(std::floor(r.Date)) + paradox::kDateTimeEpochDay);
    *out += "\",\"time\":\"";
    const double fraction = r.Time - std::floor(r.Time);
    *out += paradox::FormatTime(std::llround(fraction * 86400000.0) % 86400000);
    *out += "\",\"number\":" + std::to_string(r.Number);
    *out += ",\"order\":" + std::to_string(r.Order);
    *out += ",\"yearOrder\":" + std::to_string(r.YearOrder) + "}";
  }
  out->push_back(']');
}

}  // namespace tools
