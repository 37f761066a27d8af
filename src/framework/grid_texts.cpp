#include "framework/grid_texts.h"

#include <algorithm>
#include <cstring>

#include "framework/text.h"

namespace framework {

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kAlign = alignof(uint32_t);

uint32_t EndOf(const char* piece, int col) {
  uint32_t end;
  std::memcpy(&end, piece + static_cast<size_t>(col) * sizeof end, sizeof end);
  return end;
}

}  // namespace

size_t GridTexts::PieceSize(const char* piece) const {
  const size_t size = static_cast<size_t>(cols_) * sizeof(uint32_t) + (cols_ > 0 ? EndOf(piece, cols_ - 1) : 0);
  return (size + kAlign - 1) / kAlign * kAlign;
}

std::string_view GridTexts::Text(int col, int row) const {
  const char* piece = rows_[static_cast<size_t>(row)];
  if (piece == nullptr) return {};
  const char* texts = piece + static_cast<size_t>(cols_) * sizeof(uint32_t);
  const uint32_t start = col == 0 ? 0 : EndOf(piece, col - 1);
  return std::string_view(texts + start, EndOf(piece, col) - start);
}

char* GridTexts::Allocate(size_t bytes) {
  if (blocks_.empty() || bytes > block_size_ - block_used_) {
    block_size_ = std::max(bytes, kBlockSize);
    blocks_.push_back(std::make_unique<char[]>(block_size_));
    held_ += block_size_;
    block_used_ = 0;
  }
  char* at = blocks_.back().get() + block_used_;
  block_used_ += bytes;
  return at;
}

void GridTexts::Store(int row, std::span<const std::string_view> texts) {
  const char*& slot = rows_[static_cast<size_t>(row)];
  if (slot != nullptr) live_ -= PieceSize(slot);
  size_t length = 0;
  for (std::string_view t : texts) length += t.size();
  if (length == 0) {
    slot = nullptr;
  } else {
    const size_t header = static_cast<size_t>(cols_) * sizeof(uint32_t);
    const size_t size = (header + length + kAlign - 1) / kAlign * kAlign;
    char* piece = Allocate(size);
    uint32_t end = 0;
    for (int c = 0; c < cols_; ++c) {
      const std::string_view t = texts[static_cast<size_t>(c)];
      std::memcpy(piece + header + end, t.data(), t.size());
      end += static_cast<uint32_t>(t.size());
      std::memcpy(piece + static_cast<size_t>(c) * sizeof end, &end, sizeof end);
    }
    slot = piece;
    live_ += size;
  }
}

void GridTexts::CompactIfWasteful() {
  if (live_ == 0) {
    // Nothing in use: let every block go.
    blocks_.clear();
    held_ = block_used_ = block_size_ = 0;
    return;
  }
  if (held_ - live_ <= live_ + kBlockSize * 16) return;
  std::vector<std::unique_ptr<char[]>> old = std::move(blocks_);
  blocks_.clear();
  held_ = block_used_ = block_size_ = 0;
  for (const char*& piece : rows_) {
    if (piece == nullptr) continue;
    const size_t size = PieceSize(piece);
    char* copy = Allocate(size);
    std::memcpy(copy, piece, size);
    piece = copy;
  }
}

void GridTexts::Resize(int rows, int cols) {
  rows = std::max(rows, 0);
  cols = std::max(cols, 0);
  for (size_t r = static_cast<size_t>(rows); r < rows_.size(); ++r) {
    if (rows_[r] != nullptr) live_ -= PieceSize(rows_[r]);
  }
  rows_.resize(static_cast<size_t>(rows), nullptr);
  if (cols != cols_) {
    // Every row is stored again with the new number of cells.
    std::vector<std::string> texts(static_cast<size_t>(cols));
    std::vector<std::string_view> views(static_cast<size_t>(cols));
    for (int r = 0; r < Rows(); ++r) {
      if (rows_[static_cast<size_t>(r)] == nullptr) continue;
      for (int c = 0; c < cols; ++c) {
        texts[static_cast<size_t>(c)] = c < cols_ ? std::string(Text(c, r)) : std::string();
        views[static_cast<size_t>(c)] = texts[static_cast<size_t>(c)];
      }
      live_ -= PieceSize(rows_[static_cast<size_t>(r)]);
      rows_[static_cast<size_t>(r)] = nullptr;
      const int old_cols = cols_;
      cols_ = cols;
      Store(r, views);
      cols_ = old_cols;
    }
    cols_ = cols;
  }
  CompactIfWasteful();
}

std::u16string GridTexts::Get(int col, int row) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= cols_) return {};
  return FromUtf8(Text(col, row));
}

bool GridTexts::Set(int col, int row, std::u16string_view text) {
  if (row < 0 || row >= Rows() || col < 0 || col >= cols_) return false;
  scratch_.resize(static_cast<size_t>(cols_));
  std::vector<std::string_view>& views = views_;
  views.resize(static_cast<size_t>(cols_));
  for (int c = 0; c < cols_; ++c) views[static_cast<size_t>(c)] = Text(c, row);
  std::string& utf8 = scratch_[0];
  utf8.clear();
  AppendUtf8(&utf8, text);
  if (views[static_cast<size_t>(col)] == utf8) return false;
  views[static_cast<size_t>(col)] = utf8;
  Store(row, views);
  CompactIfWasteful();
  return true;
}

bool GridTexts::SetRow(int row, std::span<const std::u16string_view> texts) {
  if (row < 0 || row >= Rows()) return false;
  scratch_.resize(static_cast<size_t>(cols_));
  std::vector<std::string_view>& views = views_;
  views.resize(static_cast<size_t>(cols_));
  bool same = true;
  for (int c = 0; c < cols_; ++c) {
    std::string& utf8 = scratch_[static_cast<size_t>(c)];
    utf8.clear();
    if (static_cast<size_t>(c) < texts.size()) AppendUtf8(&utf8, texts[static_cast<size_t>(c)]);
    views[static_cast<size_t>(c)] = utf8;
    same = same && Text(c, row) == utf8;
  }
  if (same) return false;
  Store(row, views);
  CompactIfWasteful();
  return true;
}

}  // namespace framework
