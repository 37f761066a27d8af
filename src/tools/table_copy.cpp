#include "tools/table_copy.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "paradox/journal.h"

namespace paradox {

namespace {

constexpr size_t kChunk = 1 << 20;
// Enough for a copy every second of an hour into one folder.
constexpr int kMostTries = 10000;

std::string Lowered(const std::string& s) {
  std::string r = s;
  std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return r;
}

// Extensions, lower case, of the files that go with a data file.
bool BelongsByExtension(const std::string& ext) {
  if (ext == "px" || ext == "mb" || ext == "val" || ext == "tv" || ext == "fam") return true;
  if (ext.size() != 3 || (ext[0] != 'x' && ext[0] != 'y')) return false;
  auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (ext[1] == 'g') return std::isdigit(static_cast<unsigned char>(ext[2])) != 0;
  return hex(ext[1]) && hex(ext[2]);
}

// Copies all of `from` (`size` bytes) to `to` and syncs it.
Status CopyBytes(File* from, uint64_t size, File* to) {
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(size, kChunk)));
  for (uint64_t at = 0; at < size;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size - at, buf.size()));
    size_t got = 0;
    PX_RETURN_IF_ERROR(from->Read(at, want, buf.data(), &got));
    // The file is held: it cannot have shrunk meanwhile unless the disk failed.
    if (got != want) return Status::Error(ErrorCode::kIoError, "the file ended before its length");
    PX_RETURN_IF_ERROR(to->Write(at, buf.data(), got));
    at += got;
  }
  return to->Sync();
}

}  // namespace

Status TableFileNames(FileSystem* fs, const std::string& db_path, std::vector<std::string>* names) {
  names->clear();
  std::string dir, db_name;
  SplitPath(db_path, &dir, &db_name);
  const std::string lower_db = Lowered(db_name);
  const std::string stem = lower_db.substr(0, lower_db.rfind('.'));
  std::string journal_name, kept_name;
  SplitPath(JournalPath(db_path), &dir, &journal_name);
  SplitPath(KeptJournalPath(db_path), &dir, &kept_name);
  const std::string lower_journal = Lowered(journal_name), lower_kept = Lowered(kept_name);

  std::vector<std::string> listed;
  PX_RETURN_IF_ERROR(fs->ListDir(dir, &listed));
  std::sort(listed.begin(), listed.end());
  // The data file as the folder spells it (the name given may differ in
  // case where names are not case-sensitive).
  std::string data;
  for (const std::string& n : listed) {
    const std::string ln = Lowered(n);
    if (ln == lower_db) {
      if (data.empty() || n == db_name) data = n;
      continue;
    }
    const size_t dot = ln.rfind('.');
    if (ln == lower_journal || ln == lower_kept || (dot != std::string::npos && ln.substr(0, dot) == stem &&
                                BelongsByExtension(ln.substr(dot + 1))))
      names->push_back(n);
  }
  if (data.empty()) data = db_name;
  if (!fs->FileExists(JoinPath(dir, data))) return Status::Error(ErrorCode::kNotFound, db_path);
  names->insert(names->begin(), data);
  return Status::OK();
}

Status CopyTable(FileSystem* fs, Folders* folders, const std::string& db_path, const std::string& into,
                 const std::string& name, TableCopy* out) {
  *out = TableCopy();
  std::string dir, db_name;
  SplitPath(db_path, &dir, &db_name);
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(TableFileNames(fs, db_path, &names));

  // Hold every file before reading any, so no writer can change one file
  // of the table between the copies of two others.
  std::vector<std::unique_ptr<File>> held(names.size());
  std::vector<uint64_t> sizes(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    PX_RETURN_IF_ERROR(fs->Open(JoinPath(dir, names[i]), OpenMode::kExclusive, &held[i]));
    PX_RETURN_IF_ERROR(held[i]->Size(&sizes[i]));
  }

  std::string folder;
  for (int n = 1;; ++n) {
    if (n > kMostTries) return Status::Error(ErrorCode::kAccessDenied, "no free folder name for " + name).With(into);
    folder = JoinPath(into, n == 1 ? name : name + "_" + std::to_string(n));
    bool taken = false;
    Status st = folders->Make(folder, &taken);
    if (!st.ok()) return st.With("the copy's folder cannot be made in " + into);
    if (!taken) break;
  }

  std::vector<std::string> written;
  Status st;
  for (size_t i = 0; i < names.size() && st.ok(); ++i) {
    const std::string target = JoinPath(folder, names[i]);
    std::unique_ptr<File> copy;
    st = fs->Open(target, OpenMode::kCreate, &copy);
    if (!st.ok()) break;
    written.push_back(target);
    st = CopyBytes(held[i].get(), sizes[i], copy.get());
    if (!st.ok()) st.With("copying " + names[i] + " to " + folder);
    out->bytes += sizes[i];
  }
  // The new folder's entries, and its own entry in `into`.
  if (st.ok()) st = folders->Sync(folder);
  if (st.ok()) st = folders->Sync(into);
  if (st.ok()) {
    out->folder = folder;
    out->files = names;
    return Status::OK();
  }

  out->bytes = 0;
  bool left = false;
  for (const std::string& w : written) left |= !fs->Remove(w).ok();
  left |= !folders->Remove(folder).ok();
  if (left) st.With("an incomplete copy is left in " + folder);
  return st;
}

}  // namespace paradox
