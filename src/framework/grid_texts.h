// The texts of a grid's cells. A grid of many rows costs little more than
// its texts: each row is stored in one piece, its cells' text ends and
// then the texts themselves as UTF-8, and the pieces lie one after another
// in large blocks; there is no allocation per row or per cell.
#pragma once

#include <cstdint>
#include <memory>
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
  std::u16string Get(int col, int row) const;
  // Both return true when a text changed; a cell outside the bounds is
  // left alone. SetRow gives the row's first cells `texts` and empties the
  // others.
  bool Set(int col, int row, std::u16string_view text);
  bool SetRow(int row, std::span<const std::u16string_view> texts);

  // Bytes held in blocks, for the tests: a grid refilled many times does
  // not keep growing.
  size_t BytesHeld() const { return held_; }

 private:
  std::string_view Text(int col, int row) const;  // UTF-8
  size_t PieceSize(const char* piece) const;
  // Stores a new piece for `row` with these UTF-8 texts (cols_ of them).
  void Store(int row, std::span<const std::string_view> texts);
  char* Allocate(size_t bytes);
  // Copies the live pieces into new blocks when the old ones are mostly
  // pieces no row uses any more.
  void CompactIfWasteful();

  std::vector<const char*> rows_;  // null: every cell empty
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0, block_size_ = 0;  // of the last block
  size_t held_ = 0;        // bytes of all blocks
  size_t live_ = 0;        // bytes of the pieces rows use
  int cols_ = 0;
  // A row's texts as UTF-8 while it is stored, kept for the next row.
  std::vector<std::string> scratch_;
  std::vector<std::string_view> views_;
};

}  // namespace framework
