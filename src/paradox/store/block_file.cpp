#include "paradox/store/block_file.h"

#include <algorithm>

#include "paradox/store/check_report.h"

namespace paradox::check {

namespace {
constexpr size_t kReadWindow = 1024 * 1024;  // read-ahead for block walks
}  // namespace

Status BlockFile::Open(FileSystem* fs, const std::string& path, File* held) {
  if (held != nullptr) {
    file_ = held;
  } else {
    PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kRead, &owned_));
    file_ = owned_.get();
  }
  PX_RETURN_IF_ERROR(file_->Size(&size_));
  head_.resize(static_cast<size_t>(std::min<uint64_t>(size_, 65536)));
  size_t got = 0;
  PX_RETURN_IF_ERROR(file_->Read(0, head_.size(), head_.data(), &got));
  head_.resize(got);
  return Status::OK();
}

Status BlockFile::Block(uint32_t b, const uint8_t** out) {
  if (b < window_first_ || b >= window_first_ + window_count_) {
    uint32_t count = static_cast<uint32_t>(std::max<size_t>(1, kReadWindow / block_size_));
    size_t want = static_cast<size_t>(count) * block_size_;
    if (window_.size() < want) window_.resize(want);
    uint64_t at = header_size_ + static_cast<uint64_t>(b - 1) * block_size_;
    size_t got = 0;
    window_count_ = 0;
    PX_RETURN_IF_ERROR(file_->Read(at, want, window_.data(), &got));
    if (got == 0) return Status::Error(ErrorCode::kCorruptBlock, "block " + N(b) + " lies past the end of the file");
    std::fill(window_.begin() + static_cast<std::ptrdiff_t>(got), window_.begin() + static_cast<std::ptrdiff_t>(want),
              0);
    window_first_ = b;
    window_count_ = static_cast<uint32_t>((got + block_size_ - 1) / block_size_);
  }
  *out = window_.data() + static_cast<size_t>(b - window_first_) * block_size_;
  return Status::OK();
}

}  // namespace paradox::check
