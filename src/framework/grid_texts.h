// The texts of a grid's cells. Each row keeps its texts one after another
// in one string, so a filled row costs one allocation, and a grid of many
// rows little more than its texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace framework {

class GridTexts {
 public:
  int Rows() const { return static_cast<int>(rows_.size()); }
  int Cols() const { return cols_; }
  // Cells inside both the old and the new bounds keep their texts; new
  // cells are empty.
  void Resize(int rows, int cols);

  // Empty for a cell outside the bounds.
  std::u16string_view Get(int col, int row) const;
  // Both return true when a text changed; a cell outside the bounds is
  // left alone. SetRow gives the row's first cells `texts` and empties the
  // others.
  bool Set(int col, int row, std::u16string_view text);
  bool SetRow(int row, std::span<const std::u16string_view> texts);

 private:
  size_t At(int col, int row) const { return static_cast<size_t>(row) * static_cast<size_t>(cols_) + static_cast<size_t>(col); }
  uint32_t Start(int col, int row) const { return col == 0 ? 0 : ends_[At(col - 1, row)]; }

  std::vector<std::u16string> rows_;
  std::vector<uint32_t> ends_;  // where each cell's text ends in its row's string
  int cols_ = 0;
};

}  // namespace framework
