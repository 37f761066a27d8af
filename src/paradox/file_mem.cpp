#include <algorithm>
#include <cstring>
#include <map>

#include "paradox/file.h"

namespace paradox {

namespace {
using Bytes = std::shared_ptr<std::vector<uint8_t>>;

class MemFile : public File {
 public:
  MemFile(Bytes data, bool writable) : data_(std::move(data)), writable_(writable) {}

  Status Read(uint64_t offset, size_t n, uint8_t* out, size_t* got) override {
    *got = 0;
    if (offset >= data_->size()) return Status::OK();
    size_t avail = static_cast<size_t>(data_->size() - offset);
    *got = std::min(n, avail);
    std::memcpy(out, data_->data() + offset, *got);
    return Status::OK();
  }
  Status Size(uint64_t* size) override {
    *size = data_->size();
    return Status::OK();
  }
  Status Write(uint64_t offset, const uint8_t* data, size_t n) override {
    if (!writable_) return Status::Error(ErrorCode::kReadOnly);
    if (offset + n > data_->size()) data_->resize(offset + n);
    std::memcpy(data_->data() + offset, data, n);
    return Status::OK();
  }
  Status Truncate(uint64_t size) override {
    if (!writable_) return Status::Error(ErrorCode::kReadOnly);
    data_->resize(size);
    return Status::OK();
  }
  Status Sync() override { return Status::OK(); }

 private:
  Bytes data_;
  bool writable_;
};
}  // namespace

struct MemFileSystem::Impl {
  std::map<std::string, Bytes> files;
};

MemFileSystem::MemFileSystem() : impl_(new Impl) {}
MemFileSystem::~MemFileSystem() = default;

Status MemFileSystem::Open(const std::string& path, OpenMode mode,
                           std::unique_ptr<File>* out) {
  auto it = impl_->files.find(path);
  if (mode == OpenMode::kCreate) {
    if (it != impl_->files.end()) return Status::Error(ErrorCode::kAccessDenied, path + " already exists");
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    impl_->files[path] = bytes;
    *out = std::make_unique<MemFile>(bytes, true);
    return Status::OK();
  }
  if (it == impl_->files.end()) return Status::Error(ErrorCode::kNotFound, path);
  *out = std::make_unique<MemFile>(it->second, mode == OpenMode::kReadWrite);
  return Status::OK();
}

Status MemFileSystem::ListDir(const std::string& dir, std::vector<std::string>* names) {
  names->clear();
  for (const auto& [path, bytes] : impl_->files) {
    std::string d, n;
    SplitPath(path, &d, &n);
    if (d == dir) names->push_back(n);
  }
  return Status::OK();
}

bool MemFileSystem::FileExists(const std::string& path) {
  return impl_->files.count(path) != 0;
}

Status MemFileSystem::Remove(const std::string& path) {
  if (impl_->files.erase(path) == 0) return Status::Error(ErrorCode::kNotFound, path);
  return Status::OK();
}

void MemFileSystem::SetContents(const std::string& path, std::vector<uint8_t> bytes) {
  impl_->files[path] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

std::vector<uint8_t> MemFileSystem::Contents(const std::string& path) const {
  auto it = impl_->files.find(path);
  return it == impl_->files.end() ? std::vector<uint8_t>() : *it->second;
}

}  // namespace paradox
