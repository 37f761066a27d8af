#include "paradox/store/table_files.h"

#include <algorithm>

#include "paradox/format/ascii.h"
#include "paradox/journal.h"
#include "paradox/table.h"

namespace paradox {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f'); }

std::string_view Stem(std::string_view name) { return name.substr(0, std::min(name.rfind('.'), name.size())); }

std::string_view NameOf(const std::string& path) {
  std::string_view p(path);
  size_t cut = p.find_last_of("/\\");
  return cut == std::string_view::npos ? p : p.substr(cut + 1);
}

}  // namespace

FileRole RoleOf(std::string_view db_name, std::string_view name) {
  const std::string db(db_name);
  if (EqualAscii(name, NameOf(JournalPath(db))) || EqualAscii(name, NameOf(KeptJournalPath(db))))
    return FileRole::kJournal;
  if (EqualAscii(name, "pdoxusrs.lck") || EqualAscii(name, "paradox.lck")) return FileRole::kLock;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || !EqualAscii(name.substr(0, dot), Stem(db_name))) return FileRole::kNone;
  const std::string_view ext = name.substr(dot + 1);
  if (EqualAscii(ext, "px")) return FileRole::kPrimaryIndex;
  if (EqualAscii(ext, "mb")) return FileRole::kBlobs;
  if (EqualAscii(ext, "val")) return FileRole::kValidity;
  if (EqualAscii(ext, "tv")) return FileRole::kView;
  if (EqualAscii(ext, "fam")) return FileRole::kFamily;
  if (EqualAscii(ext, "lck")) return FileRole::kLock;
  const char x = LowerAscii(ext.empty() ? '\0' : ext[0]);
  if (ext.size() != 3 || (x != 'x' && x != 'y')) return FileRole::kNone;
  const bool composite = LowerAscii(ext[1]) == 'g';
  if (!composite && !IsHex(ext[1])) return FileRole::kNone;
  const bool known = composite ? IsDigit(ext[2]) : IsHex(ext[2]);
  return known ? FileRole::kSecondary : FileRole::kUnknownIndex;
}

bool IsSecondaryData(std::string_view name, std::string* number) {
  const std::string_view ext = name.substr(name.rfind('.') + 1);
  *number = LowerAscii(ext.substr(1));
  return LowerAscii(ext[0]) == 'x';
}

Status ListTableFiles(FileSystem* fs, const std::string& db_path, std::string* dir, std::vector<TableFileName>* out) {
  out->clear();
  std::string db_name;
  SplitPath(db_path, dir, &db_name);
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs->ListDir(*dir, &names));
  std::sort(names.begin(), names.end());
  for (std::string& n : names) {
    const FileRole role = RoleOf(db_name, n);
    if (role != FileRole::kNone) out->push_back({std::move(n), role});
  }
  return Status::OK();
}

Status CheckLockFiles(FileSystem* fs, const std::string& db_path, const std::string& dir,
                      const std::vector<TableFileName>& files) {
  for (const TableFileName& f : files) {
    if (f.role != FileRole::kLock) continue;
    std::unique_ptr<File> lock;
    Status st = fs->Open(JoinPath(dir, f.name), OpenMode::kExclusive, &lock);
    if (st.code() == ErrorCode::kTableBusy)
      return Status::Error(ErrorCode::kTableBusy, db_path).With(f.name + " is held by another program");
  }
  return Status::OK();
}

Status TableFileNames(FileSystem* fs, const std::string& db_path, std::vector<std::string>* names) {
  names->clear();
  std::string dir, db_name;
  SplitPath(db_path, &dir, &db_name);
  std::vector<std::string> listed;
  PX_RETURN_IF_ERROR(fs->ListDir(dir, &listed));
  std::sort(listed.begin(), listed.end());
  // The data file as the folder spells it (the name given may differ in
  // case where names are not case-sensitive).
  std::string data;
  for (const std::string& n : listed) {
    if (EqualAscii(n, db_name)) {
      if (data.empty() || n == db_name) data = n;
      continue;
    }
    const FileRole role = RoleOf(db_name, n);
    if (role != FileRole::kNone && role != FileRole::kLock && role != FileRole::kUnknownIndex) names->push_back(n);
  }
  if (data.empty()) data = db_name;
  if (!fs->FileExists(JoinPath(dir, data))) return Status::Error(ErrorCode::kNotFound, db_path);
  names->insert(names->begin(), data);
  return Status::OK();
}

}  // namespace paradox
