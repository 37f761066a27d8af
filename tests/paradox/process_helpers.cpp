#include "process_helpers.h"

#ifndef _WIN32

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "paradox/check.h"
#include "paradox/table.h"
#include "../support/temp_folder.h"

namespace paradox::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string& what)
    : path_(testsupport::FreshFolder(what + "-" + std::to_string(::getpid()))) {}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto& e : fs::recursive_directory_iterator(path_, ec))
    fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void CopyFolder(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to);
  for (const auto& e : fs::directory_iterator(from)) fs::copy_file(e.path(), to / e.path().filename());
}

std::map<std::string, std::string> FolderBytes(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string& bytes = out[e.path().filename().string()];
    FILE* f = std::fopen(e.path().c_str(), "rb");
    if (f == nullptr) continue;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
  }
  return out;
}

Status ReadRows(const std::string& path, std::vector<Row>* rows) {
  rows->clear();
  std::unique_ptr<Table> t;
  PX_RETURN_IF_ERROR(Table::Open(FileSystem::Default(), path, OpenOptions(), &t));
  auto c = t->NewCursor();
  const size_t rs = t->header().record_size;
  for (; c->Valid(); c->Next()) rows->emplace_back(reinterpret_cast<const char*>(c->record()), rs);
  return c->status();
}

std::vector<std::string> Problems(const std::string& path) {
  std::vector<std::string> problems;
  Status st = CheckTable(FileSystem::Default(), path, &problems);
  if (!st.ok()) problems.push_back("CheckTable failed: " + st.ToString());
  return problems;
}

bool Holder::Start(const std::function<bool()>& hold) {
  int ready[2], quit[2];
  if (::pipe(ready) != 0 || ::pipe(quit) != 0) return false;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    ::close(quit[1]);
    char ok = hold() ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(quit[0], &c, 1);  // returns when the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(quit[0]);
  quit_ = quit[1];
  char ok = 'n';
  bool got = ::read(ready[0], &ok, 1) == 1;
  ::close(ready[0]);
  return pid_ > 0 && got && ok == 'y';
}

bool Holder::Start(const std::string& path, OpenMode mode) {
  return Start([path, mode] {
    // Kept until the child ends.
    static std::unique_ptr<File> f;
    return FileSystem::Default()->Open(path, mode, &f).ok();
  });
}

void Holder::Stop() {
  if (quit_ >= 0) ::close(quit_);
  quit_ = -1;
  if (pid_ > 0) {
    int status;
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

}  // namespace paradox::testing

#endif  // !_WIN32
