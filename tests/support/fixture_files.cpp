#include "fixture_files.h"

#include <memory>
#include <system_error>

#include "paradox/file.h"
#include "text.h"

namespace testsupport {

namespace fs = std::filesystem;
using paradox::File;
using paradox::FileSystem;
using paradox::OpenMode;
using paradox::Status;

fs::path PathFromUtf8(std::string_view s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string Utf8(const fs::path& p) {
  std::u8string u = p.generic_u8string();
  return std::string(u.begin(), u.end());
}

Status ReadWholeFile(const std::string& path, std::string* out) {
  std::unique_ptr<File> file;
  PX_RETURN_IF_ERROR(FileSystem::Default()->Open(path, OpenMode::kRead, &file));
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(file->Size(&size));
  out->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  PX_RETURN_IF_ERROR(file->Read(0, out->size(), reinterpret_cast<uint8_t*>(out->data()), &got));
  out->resize(got);
  return Status::OK();
}

Status ReadWholeFile(const std::string& path, std::vector<uint8_t>* out) {
  std::unique_ptr<File> file;
  PX_RETURN_IF_ERROR(FileSystem::Default()->Open(path, OpenMode::kRead, &file));
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(file->Size(&size));
  out->assign(static_cast<size_t>(size), 0);
  size_t got = 0;
  PX_RETURN_IF_ERROR(file->Read(0, out->size(), out->data(), &got));
  out->resize(got);
  return Status::OK();
}

bool FixturesPresent() {
  std::error_code ec;
  return fs::is_directory(PathFromUtf8(ADVCLEAN_FIXTURES_DIR), ec);
}

std::vector<ExpectedTable> FindExpectedTables() {
  std::vector<ExpectedTable> out;
  const fs::path root = PathFromUtf8(ADVCLEAN_FIXTURES_DIR);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return out;
  const std::string_view suffix = ".expected.json";
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    const std::string file = Utf8(it->path().filename());
    if (file.size() <= suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
    ExpectedTable t;
    t.expected = it->path();
    t.stem = file.substr(0, file.size() - suffix.size());
    // Real tables come with any case of name and extension (.db, .DB).
    for (const auto& e : fs::directory_iterator(it->path().parent_path(), ec2)) {
      const std::string n = Utf8(e.path().filename());
      const size_t dot = n.rfind('.');
      if (dot == std::string::npos || LowerAscii(n.substr(0, dot)) != LowerAscii(t.stem) || n == file) continue;
      if (LowerAscii(n.substr(dot)) == ".db") t.db = Utf8(e.path());
      t.files.push_back(Utf8(e.path()));
    }
    out.push_back(std::move(t));
  }
  return out;
}

std::string TestName(std::string_view s) {
  std::string name;
  for (char c : s) {
    bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    name.push_back(alnum ? c : '_');
  }
  return name;
}

}  // namespace testsupport
