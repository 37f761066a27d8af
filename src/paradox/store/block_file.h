// A file of a table read for checking: its first bytes, and its blocks
// through a read-ahead window, one read for many blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/status.h"

namespace paradox::check {

// Reads one file: its first bytes, and its blocks through a read-ahead
// window. Bytes of a block past the end of the file read as zeros (the last
// block may be stored short).
class BlockFile {
 public:
  // Opens `path` for reading, or uses `held` (not owned) when given.
  Status Open(FileSystem* fs, const std::string& path, File* held);
  void Close() {
    owned_.reset();
    file_ = nullptr;
  }

  uint64_t size() const { return size_; }
  const std::vector<uint8_t>& head() const { return head_; }

  // Sets the block layout; returns the number of blocks the file holds,
  // counting a short last one.
  uint64_t SetGeometry(uint32_t header_size, uint32_t block_size) {
    header_size_ = header_size;
    block_size_ = block_size;
    window_first_ = window_count_ = 0;
    return size_ <= header_size ? 0 : (size_ - header_size + block_size - 1) / block_size;
  }

  // Block `b` (from 1; the caller keeps it within the file) as block_size
  // bytes. Valid until the next call.
  Status Block(uint32_t b, const uint8_t** out);

 private:
  std::unique_ptr<File> owned_;
  File* file_ = nullptr;
  uint64_t size_ = 0;
  std::vector<uint8_t> head_;
  uint32_t header_size_ = 0, block_size_ = 0;
  std::vector<uint8_t> window_;
  uint32_t window_first_ = 0, window_count_ = 0;
};

}  // namespace paradox::check
