#include "framework/grid_texts.h"

#include <algorithm>

namespace framework {

void GridTexts::Resize(int rows, int cols) {
  rows = std::max(rows, 0);
  cols = std::max(cols, 0);
  if (cols != cols_) {
    const int kept = std::min(cols, cols_);
    std::vector<uint32_t> ends(rows_.size() * static_cast<size_t>(cols));
    for (int r = 0; r < Rows(); ++r) {
      const uint32_t last = kept > 0 ? ends_[At(kept - 1, r)] : 0;
      for (int c = 0; c < cols; ++c) {
        ends[static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c)] =
            c < kept ? ends_[At(c, r)] : last;
      }
      rows_[static_cast<size_t>(r)].resize(last);
    }
    ends_ = std::move(ends);
    cols_ = cols;
  }
  rows_.resize(static_cast<size_t>(rows));
  ends_.resize(static_cast<size_t>(rows) * static_cast<size_t>(cols_), 0);
}

std::u16string_view GridTexts::Get(int col, int row) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= cols_) return {};
  const uint32_t start = Start(col, row);
  return std::u16string_view(rows_[static_cast<size_t>(row)]).substr(start, ends_[At(col, row)] - start);
}

bool GridTexts::Set(int col, int row, std::u16string_view text) {
  if (row < 0 || row >= Rows() || col < 0 || col >= cols_) return false;
  const uint32_t start = Start(col, row), end = ends_[At(col, row)];
  std::u16string& line = rows_[static_cast<size_t>(row)];
  if (std::u16string_view(line).substr(start, end - start) == text) return false;
  line.replace(start, end - start, text);
  const uint32_t new_end = start + static_cast<uint32_t>(text.size());
  for (int c = col; c < cols_; ++c) ends_[At(c, row)] = ends_[At(c, row)] - end + new_end;
  return true;
}

bool GridTexts::SetRow(int row, std::span<const std::u16string_view> texts) {
  if (row < 0 || row >= Rows()) return false;
  const int given = std::min(static_cast<int>(texts.size()), cols_);
  bool same = true;
  size_t length = 0;
  for (int c = 0; c < cols_; ++c) {
    const std::u16string_view text = c < given ? texts[static_cast<size_t>(c)] : std::u16string_view();
    same = same && Get(c, row) == text;
    length += text.size();
  }
  if (same) return false;
  std::u16string line;
  line.reserve(length);
  for (int c = 0; c < cols_; ++c) {
    if (c < given) line.append(texts[static_cast<size_t>(c)]);
    ends_[At(c, row)] = static_cast<uint32_t>(line.size());
  }
  rows_[static_cast<size_t>(row)] = std::move(line);
  return true;
}

}  // namespace framework
