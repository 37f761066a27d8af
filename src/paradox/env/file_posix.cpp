// The host file system on POSIX systems.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "paradox/file.h"

namespace paradox {

namespace {

Status ErrnoStatus(const std::string& path, int err) {
  ErrorCode code = ErrorCode::kIoError;
  if (err == ENOENT || err == ENOTDIR) code = ErrorCode::kNotFound;
  if (err == EACCES || err == EPERM || err == EEXIST || err == EROFS) code = ErrorCode::kAccessDenied;
  if (err == ENOMEM) code = ErrorCode::kOutOfMemory;
  return Status::Error(code, path + ": " + std::strerror(err));
}

// Users of a table announce themselves with locks on the whole file that
// belong to the open file, not the process, so that two handles of one
// process see each other too: readers share, a changer holds it alone.
// Programs take one of two kinds of lock that do not see each other (fcntl,
// as Wine does for Windows programs, and flock), so a user takes both.
// Gives 0, or the errno of the refusal when another user's lock is in the
// way; on a refusal nothing stays locked.
int LockWhole(int fd, bool exclusive) {
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK) return EWOULDBLOCK;
  struct flock lk = {};
  lk.l_whence = SEEK_SET;
  lk.l_type = exclusive ? F_WRLCK : F_RDLCK;
  if (::fcntl(fd, F_OFD_SETLK, &lk) == 0) return 0;
  const int err = errno;
  // Where flock is carried out with the process's fcntl locks (NFS), the
  // lock in the way is the one just taken.
  struct flock who = lk;
  if ((err == EAGAIN || err == EACCES) && ::fcntl(fd, F_OFD_GETLK, &who) == 0 && who.l_type != F_UNLCK &&
      who.l_pid == ::getpid())
    return 0;
  (void)::flock(fd, LOCK_UN);
  return err;
}

class PosixFile : public File {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  Status Read(uint64_t offset, size_t n, uint8_t* out, size_t* got) override {
    *got = 0;
    while (*got < n) {
      ssize_t r = ::pread(fd_, out + *got, n - *got, static_cast<off_t>(offset + *got));
      if (r < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus(path_, errno);
      }
      if (r == 0) break;
      *got += static_cast<size_t>(r);
    }
    return Status::OK();
  }
  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus(path_, errno);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }
  Status Write(uint64_t offset, const uint8_t* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t w = ::pwrite(fd_, data + done, n - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus(path_, errno);
      }
      done += static_cast<size_t>(w);
    }
    return Status::OK();
  }
  Status Truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return ErrnoStatus(path_, errno);
    return Status::OK();
  }
  Status Sync() override {
    // The data and what is needed to read it back (the length), not the
    // times of the last change.
    if (::fdatasync(fd_) != 0) return ErrnoStatus(path_, errno);
    return Status::OK();
  }

 private:
  std::string path_;
  int fd_;
};

class PosixFileSystem : public FileSystem {
 public:
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kCreate: flags |= O_RDWR | O_CREAT | O_EXCL; break;
      case OpenMode::kExclusive: flags |= O_RDWR; break;
    }
    bool writing = mode != OpenMode::kRead;
    if (writing && mode != OpenMode::kCreate) {
      // A file without write permission is read-only even to the superuser.
      struct stat st;
      if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
        return Status::Error(ErrorCode::kReadOnly, path);
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
      int err = errno;
      if (writing && (err == EACCES || err == EROFS || err == EPERM) && ::access(path.c_str(), R_OK) == 0)
        return Status::Error(ErrorCode::kReadOnly, path);
      return ErrnoStatus(path, err);
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return Status::Error(ErrorCode::kNotFound, path + " is a folder");
    }
    if (mode == OpenMode::kExclusive) {
      if (int err = LockWhole(fd, true); err != 0) {
        ::close(fd);
        if (err == EAGAIN || err == EACCES || err == EWOULDBLOCK) return Status::Error(ErrorCode::kTableBusy, path);
        return ErrnoStatus(path, err);
      }
    } else if (mode == OpenMode::kRead) {
      // Reading goes on even while another program changes the table.
      (void)LockWhole(fd, false);
      // Tables are mostly read front to back: ask for a larger read-ahead.
      (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    *out = std::make_unique<PosixFile>(path, fd);
    return Status::OK();
  }

  Status ListDir(const std::string& dir, std::vector<std::string>* names) override {
    names->clear();
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return ErrnoStatus(dir, errno);
    while (struct dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names->push_back(n);
    }
    ::closedir(d);
    return Status::OK();
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  Status Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return ErrnoStatus(path, errno);
    return Status::OK();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Status::OK();
    if (errno != EINVAL && errno != ENOSYS) return ErrnoStatus(from, errno);
    // A file system that cannot refuse to replace: look first.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) return ErrnoStatus(to, EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return ErrnoStatus(from, errno);
    return Status::OK();
  }

  Status SyncDir(const std::string& dir) override {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ErrnoStatus(dir, errno);
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    if (rc != 0) return ErrnoStatus(dir, err);
    return Status::OK();
  }
};

}  // namespace

FileSystem* FileSystem::Default() {
  static PosixFileSystem fs;
  return &fs;
}

}  // namespace paradox

#endif  // !_WIN32
