#include <algorithm>
#include <cstring>
#include <map>

#include "paradox/env/file_mem.h"

namespace paradox {

namespace {
using Bytes = std::shared_ptr<std::vector<uint8_t>>;

// What the file system knows of a file besides its bytes.
struct Entry {
  Bytes bytes;
  bool read_only = false;
  int handles = 0;
  bool exclusive = false;
};
using EntryPtr = std::shared_ptr<Entry>;

class MemFile : public File {
 public:
  MemFile(EntryPtr entry, bool writable, bool exclusive)
      : entry_(std::move(entry)), data_(entry_->bytes), writable_(writable), exclusive_(exclusive) {
    ++entry_->handles;
    if (exclusive_) entry_->exclusive = true;
  }
  ~MemFile() override {
    --entry_->handles;
    if (exclusive_) entry_->exclusive = false;
  }

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
  EntryPtr entry_;
  Bytes data_;
  bool writable_;
  bool exclusive_;
};
}  // namespace

// Paths are kept with '/' only, so that a path joined with the host's
// separator names the same file.
std::string Normal(std::string p) {
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

struct MemFileSystem::Impl {
  std::map<std::string, EntryPtr> files;
};

MemFileSystem::MemFileSystem() : impl_(new Impl) {}
MemFileSystem::~MemFileSystem() = default;

Status MemFileSystem::Open(const std::string& given_path, OpenMode mode,
                           std::unique_ptr<File>* out) {
  const std::string path = Normal(given_path);
  auto it = impl_->files.find(path);
  if (mode == OpenMode::kCreate) {
    if (it != impl_->files.end()) return Status::Error(ErrorCode::kAccessDenied, path + " already exists");
    auto e = std::make_shared<Entry>();
    e->bytes = std::make_shared<std::vector<uint8_t>>();
    impl_->files[path] = e;
    *out = std::make_unique<MemFile>(e, true, false);
    return Status::OK();
  }
  if (it == impl_->files.end()) return Status::Error(ErrorCode::kNotFound, path);
  EntryPtr e = it->second;
  if (e->exclusive) return Status::Error(ErrorCode::kTableBusy, path);
  bool writable = mode == OpenMode::kReadWrite || mode == OpenMode::kExclusive;
  if (writable && e->read_only) return Status::Error(ErrorCode::kReadOnly, path);
  if (mode == OpenMode::kExclusive && e->handles > 0) return Status::Error(ErrorCode::kTableBusy, path);
  *out = std::make_unique<MemFile>(e, writable, mode == OpenMode::kExclusive);
  return Status::OK();
}

Status MemFileSystem::ListDir(const std::string& dir, std::vector<std::string>* names) {
  names->clear();
  const std::string want = Normal(dir);
  for (const auto& [path, entry] : impl_->files) {
    size_t cut = path.rfind('/');
    std::string d = cut == std::string::npos ? "." : path.substr(0, cut == 0 ? 1 : cut);
    if (d == want) names->push_back(path.substr(cut == std::string::npos ? 0 : cut + 1));
  }
  return Status::OK();
}

bool MemFileSystem::FileExists(const std::string& given_path) {
  const std::string path = Normal(given_path);
  return impl_->files.count(path) != 0;
}

Status MemFileSystem::Remove(const std::string& given_path) {
  const std::string path = Normal(given_path);
  if (impl_->files.erase(path) == 0) return Status::Error(ErrorCode::kNotFound, path);
  return Status::OK();
}

Status MemFileSystem::Rename(const std::string& given_from, const std::string& given_to) {
  const std::string from = Normal(given_from), to = Normal(given_to);
  auto it = impl_->files.find(from);
  if (it == impl_->files.end()) return Status::Error(ErrorCode::kNotFound, from);
  if (impl_->files.count(to) != 0) return Status::Error(ErrorCode::kAccessDenied, to + " already exists");
  EntryPtr e = it->second;
  impl_->files.erase(it);
  impl_->files[to] = e;
  return Status::OK();
}

void MemFileSystem::SetContents(const std::string& given_path, std::vector<uint8_t> bytes) {
  const std::string path = Normal(given_path);
  auto e = std::make_shared<Entry>();
  e->bytes = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
  impl_->files[path] = e;
}

std::vector<uint8_t> MemFileSystem::Contents(const std::string& given_path) const {
  const std::string path = Normal(given_path);
  auto it = impl_->files.find(path);
  return it == impl_->files.end() ? std::vector<uint8_t>() : *it->second->bytes;
}

void MemFileSystem::SetReadOnly(const std::string& given_path, bool read_only) {
  const std::string path = Normal(given_path);
  auto it = impl_->files.find(path);
  if (it != impl_->files.end()) it->second->read_only = read_only;
}

int MemFileSystem::OpenHandles(const std::string& given_path) const {
  const std::string path = Normal(given_path);
  auto it = impl_->files.find(path);
  return it == impl_->files.end() ? 0 : it->second->handles;
}

}  // namespace paradox
