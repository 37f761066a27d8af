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


}  // namespace

void PrintList(std::FILE* out, const std::vector<dataset::TBlockRec>& records, const app::RegionalFormats& formats) {
  // Every cell's text in one buffer, then the lines in another, written at
  // once: the list may hold a row for every twentieth row of the table.
  struct Cell {
    size_t at, size, width;
  };
  std::string text;
  std::vector<Cell> cells;
  cells.reserve((records.size() + 1) * 6);
  auto cell = [&](size_t from) {
    cells.push_back(Cell{from, text.size() - from, DisplayWidth(std::string_view(text).substr(from))});
  };
  for (const char* h : kHeaders) {
    const size_t from = text.size();
    text += h;
    cell(from);
  }
  for (size_t i = 0; i < records.size(); ++i) {
    const dataset::TBlockRec& r = records[i];
    size_t from = text.size();
    text += std::to_string(i + 1);
    cell(from);
    from = text.size();
    text += cleaning::FormatDateText(r.Date, formats.short_date);
    cell(from);
    from = text.size();
    text += cleaning::FormatTimeText(r.Time, formats.long_time);
    cell(from);
    from = text.size();
    paradox::AppendUtf8(1251, r.Name.View(), &text);
    cell(from);
    from = text.size();
    text += std::to_string(r.Number);
    cell(from);
    from = text.size();
    text += std::to_string(r.Order);
    text += '/';
    text += std::to_string(r.YearOrder);
    cell(from);
  }
  size_t width[6] = {};
  for (size_t k = 0; k < cells.size(); ++k) width[k % 6] = std::max(width[k % 6], cells[k].width);
  std::string lines;
  lines.reserve(text.size() + cells.size() / 6 * (width[0] + width[1] + width[2] + width[3] + width[4] + 12));
  for (size_t k = 0; k < cells.size(); ++k) {
    const size_t c = k % 6;
    const Cell& x = cells[k];
    if (c > 0) lines += "  ";
    // Numbers line up on the right, texts on the left; the last column
    // needs no padding behind it.
    const size_t fill = c == 5 || x.width >= width[c] ? 0 : width[c] - x.width;
    if (kRightAligned[c]) lines.append(fill, ' ');
    lines.append(text, x.at, x.size);
    if (!kRightAligned[c]) lines.append(fill, ' ');
    if (c == 5) lines += '\n';
  }
  std::fwrite(lines.data(), 1, lines.size(), out);
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
