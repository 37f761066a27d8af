#include "tools/table_copy.h"

#include <algorithm>
#include <memory>

namespace paradox {

namespace {

constexpr size_t kChunk = 1 << 20;
// Enough for a copy every second of an hour into one folder.
constexpr int kMostTries = 10000;

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
