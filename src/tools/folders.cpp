// The host system's folders, through the standard library, with UTF-8
// paths on every platform.
#include <filesystem>
#include <system_error>

#include "paradox/file.h"
#include "tools/table_copy.h"

namespace paradox {

namespace {

std::filesystem::path FromUtf8(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }

Status FolderError(const std::string& path, const std::error_code& ec) {
  ErrorCode code = ErrorCode::kIoError;
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) code = ErrorCode::kNotFound;
  if (ec == std::errc::permission_denied || ec == std::errc::read_only_file_system ||
      ec == std::errc::operation_not_permitted)
    code = ErrorCode::kAccessDenied;
  return Status::Error(code, path + ": " + ec.message());
}

class HostFolders : public Folders {
 public:
  Status Make(const std::string& path, bool* taken) override {
    *taken = false;
    std::error_code ec;
    const std::filesystem::path p = FromUtf8(path);
    if (std::filesystem::create_directory(p, ec)) return Status::OK();
    // Taken by a folder (no error) or by a file (an error, but still taken).
    if (!ec || std::filesystem::exists(p)) {
      *taken = true;
      return Status::OK();
    }
    return FolderError(path, ec);
  }

  // The file layer syncs folders for the engine's own changes too.
  Status Sync(const std::string& path) override { return FileSystem::Default()->SyncDir(path); }

  Status Remove(const std::string& path) override {
    std::error_code ec;
    if (std::filesystem::remove(FromUtf8(path), ec)) return Status::OK();
    if (!ec) return Status::Error(ErrorCode::kNotFound, path);
    return FolderError(path, ec);
  }
};

}  // namespace

Folders* Folders::Default() {
  static HostFolders folders;
  return &folders;
}

}  // namespace paradox
