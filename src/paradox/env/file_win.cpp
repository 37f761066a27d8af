// The host file system on Windows, through the wide API.
#ifdef _WIN32

#include <windows.h>

#include "paradox/file.h"

namespace paradox {

namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string s(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

Status LastErrorStatus(const std::string& path) {
  DWORD err = GetLastError();
  ErrorCode code = ErrorCode::kIoError;
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      code = ErrorCode::kNotFound;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_WRITE_PROTECT:
      code = ErrorCode::kAccessDenied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      code = ErrorCode::kTableBusy;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      code = ErrorCode::kOutOfMemory;
      break;
    default:
      break;
  }
  return Status::Error(code, path + " (system error " + std::to_string(err) + ")");
}

class WinFile : public File {
 public:
  WinFile(std::string path, HANDLE h) : path_(std::move(path)), h_(h) {}
  ~WinFile() override { CloseHandle(h_); }

  Status Read(uint64_t offset, size_t n, uint8_t* out, size_t* got) override {
    *got = 0;
    while (*got < n) {
      OVERLAPPED ov = {};
      uint64_t at = offset + *got;
      ov.Offset = static_cast<DWORD>(at);
      ov.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - *got, 1u << 30));
      DWORD read = 0;
      if (!ReadFile(h_, out + *got, chunk, &read, &ov)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return LastErrorStatus(path_);
      }
      if (read == 0) break;
      *got += read;
    }
    return Status::OK();
  }
  Status Size(uint64_t* size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(h_, &li)) return LastErrorStatus(path_);
    *size = static_cast<uint64_t>(li.QuadPart);
    return Status::OK();
  }
  Status Write(uint64_t offset, const uint8_t* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      OVERLAPPED ov = {};
      uint64_t at = offset + done;
      ov.Offset = static_cast<DWORD>(at);
      ov.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(h_, data + done, chunk, &written, &ov)) return LastErrorStatus(path_);
      done += written;
    }
    return Status::OK();
  }
  Status Truncate(uint64_t size) override {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(h_, li, nullptr, FILE_BEGIN) || !SetEndOfFile(h_)) return LastErrorStatus(path_);
    return Status::OK();
  }
  Status Sync() override {
    if (!FlushFileBuffers(h_)) return LastErrorStatus(path_);
    return Status::OK();
  }

 private:
  std::string path_;
  HANDLE h_;
};

class WinFileSystem : public FileSystem {
 public:
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    // Readers let every other program go on reading and writing.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (mode == OpenMode::kReadWrite) access |= GENERIC_WRITE;
    if (mode == OpenMode::kExclusive) {
      // No sharing at all: fails while any other program has the file open.
      access |= GENERIC_WRITE;
      share = 0;
    }
    if (mode == OpenMode::kCreate) {
      access |= GENERIC_WRITE;
      disposition = CREATE_NEW;
      share = FILE_SHARE_READ;
    }
    std::wstring wpath = Widen(path);
    DWORD attrs = GetFileAttributesW(wpath.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
      return Status::Error(ErrorCode::kNotFound, path + " is a folder");
    if ((access & GENERIC_WRITE) && mode != OpenMode::kCreate && attrs != INVALID_FILE_ATTRIBUTES &&
        (attrs & FILE_ATTRIBUTE_READONLY))
      return Status::Error(ErrorCode::kReadOnly, path);
    // Tables are mostly read front to back: readers ask for a larger
    // read-ahead, as on POSIX systems.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (mode == OpenMode::kRead ? FILE_FLAG_SEQUENTIAL_SCAN : 0);
    HANDLE h = CreateFileW(wpath.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrorStatus(path);
    *out = std::make_unique<WinFile>(path, h);
    return Status::OK();
  }

  Status ListDir(const std::string& dir, std::vector<std::string>* names) override {
    names->clear();
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Widen(JoinPath(dir, "*")).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return LastErrorStatus(dir);
    do {
      std::string n = Narrow(fd.cFileName);
      if (n != "." && n != "..") names->push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return Status::OK();
  }

  bool FileExists(const std::string& path) override {
    DWORD attrs = GetFileAttributesW(Widen(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
  }

  Status Remove(const std::string& path) override {
    if (!DeleteFileW(Widen(path).c_str())) return LastErrorStatus(path);
    return Status::OK();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING an existing `to` makes it fail.
    if (!MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_WRITE_THROUGH)) return LastErrorStatus(from);
    return Status::OK();
  }

  Status SyncDir(const std::string& dir) override {
    HANDLE h = CreateFileW(Widen(dir.empty() ? "." : dir).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FolderFlushUnsupported() ? Status::OK() : LastErrorStatus(dir);
    BOOL ok = FlushFileBuffers(h);
    Status st = ok || FolderFlushUnsupported() ? Status::OK() : LastErrorStatus(dir);
    CloseHandle(h);
    return st;
  }

 private:
  // File systems that cannot flush a folder (FAT, some network shares) or
  // that refuse to open one for it: NTFS logs a folder's entries together
  // with the file's own metadata, which the file's flush forces out.
  static bool FolderFlushUnsupported() {
    DWORD err = GetLastError();
    return err == ERROR_ACCESS_DENIED || err == ERROR_INVALID_FUNCTION || err == ERROR_INVALID_PARAMETER ||
           err == ERROR_NOT_SUPPORTED;
  }
};

}  // namespace

FileSystem* FileSystem::Default() {
  static WinFileSystem fs;
  return &fs;
}

}  // namespace paradox

#endif  // _WIN32
