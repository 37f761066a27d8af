#include "paradox/journal.h"

#include <cstring>

#include "paradox/bytes.h"

namespace paradox {

namespace {

constexpr char kMagic[8] = {'P', 'X', 'U', 'N', 'D', 'O', '0', '1'};

uint64_t Fnv1a(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h;
}

void Put16(std::vector<uint8_t>* out, uint16_t v) {
  uint8_t b[2];
  StoreLE16(b, v);
  out->insert(out->end(), b, b + 2);
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  uint8_t b[4];
  StoreLE32(b, v);
  out->insert(out->end(), b, b + 4);
}
void Put64(std::vector<uint8_t>* out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// A bounds-checked reader over the journal's bytes.
struct Reader {
  const std::vector<uint8_t>& b;
  size_t pos = 0;
  bool ok = true;
  bool Need(size_t n) {
    if (!ok || b.size() - pos < n) ok = false;
    return ok;
  }
  uint16_t U16() { return Need(2) ? (pos += 2, LoadLE16(&b[pos - 2])) : 0; }
  uint32_t U32() { return Need(4) ? (pos += 4, LoadLE32(&b[pos - 4])) : 0; }
  uint64_t U64() {
    uint64_t lo = U32();
    return lo | (static_cast<uint64_t>(U32()) << 32);
  }
};

Status ReadAll(File* f, std::vector<uint8_t>* out) {
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(f->Size(&size));
  out->resize(static_cast<size_t>(size));
  size_t got = 0;
  PX_RETURN_IF_ERROR(f->Read(0, out->size(), out->data(), &got));
  out->resize(got);
  return Status::OK();
}

// Intact: the magic, a length within the file, and a matching checksum.
// Gives the length of the journal's content (without the checksum).
bool Intact(const std::vector<uint8_t>& j, size_t* content) {
  if (j.size() < 28 || std::memcmp(j.data(), kMagic, 8) != 0) return false;
  size_t length = LoadLE32(&j[8]);
  if (length < 28 || length > j.size()) return false;
  uint64_t sum = LoadLE32(&j[length - 8]) | (static_cast<uint64_t>(LoadLE32(&j[length - 4])) << 32);
  if (Fnv1a(j.data(), length - 8) != sum) return false;
  *content = length - 8;
  return true;
}

}  // namespace

bool JournalIsHot(FileSystem* fs, const std::string& db_path) {
  std::unique_ptr<File> jf;
  if (!fs->Open(JournalPath(db_path), OpenMode::kRead, &jf).ok()) return false;
  std::vector<uint8_t> j;
  size_t content = 0;
  return ReadAll(jf.get(), &j).ok() && Intact(j, &content);
}

std::string JournalPath(const std::string& db_path) { return db_path + "-journal"; }

bool JournalExists(FileSystem* fs, const std::string& db_path) { return fs->FileExists(JournalPath(db_path)); }

Status ApplyChange(File* jf, const std::vector<ChangeFile>& files, const std::vector<FileWrite>& writes,
                   const std::vector<int64_t>& truncate, bool sync) {
  // Save what the writes overwrite and every file's length.
  std::vector<uint8_t> j(kMagic, kMagic + 8);
  Put32(&j, 0);  // total length, set below
  Put32(&j, static_cast<uint32_t>(files.size()));
  std::vector<uint64_t> sizes(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    PX_RETURN_IF_ERROR(files[i].file->Size(&sizes[i]));
    Put16(&j, static_cast<uint16_t>(files[i].name.size()));
    j.insert(j.end(), files[i].name.begin(), files[i].name.end());
    Put64(&j, sizes[i]);
  }
  // Bytes a truncation cuts off are saved like bytes a write overwrites.
  std::vector<FileWrite> saves = writes;
  for (size_t i = 0; i < truncate.size() && i < files.size(); ++i)
    if (truncate[i] >= 0 && static_cast<uint64_t>(truncate[i]) < sizes[i])
      saves.push_back(FileWrite{static_cast<int>(i), static_cast<uint64_t>(truncate[i]),
                                std::vector<uint8_t>(static_cast<size_t>(sizes[i] - uint64_t(truncate[i])))});
  Put32(&j, static_cast<uint32_t>(saves.size()));
  std::vector<uint8_t> old;
  for (const FileWrite& w : saves) {
    uint64_t size = sizes[static_cast<size_t>(w.file)];
    size_t keep = w.offset >= size ? 0 : static_cast<size_t>(std::min<uint64_t>(w.bytes.size(), size - w.offset));
    old.resize(keep);
    size_t got = 0;
    if (keep > 0) PX_RETURN_IF_ERROR(files[static_cast<size_t>(w.file)].file->Read(w.offset, keep, old.data(), &got));
    old.resize(got);
    Put16(&j, static_cast<uint16_t>(w.file));
    Put64(&j, w.offset);
    Put32(&j, static_cast<uint32_t>(old.size()));
    j.insert(j.end(), old.begin(), old.end());
  }
  StoreLE32(&j[8], static_cast<uint32_t>(j.size() + 8));
  Put64(&j, Fnv1a(j.data(), j.size()));

  PX_RETURN_IF_ERROR(jf->Write(0, j.data(), j.size()));
  if (sync) PX_RETURN_IF_ERROR(jf->Sync());

  // The change itself. Should a write fail here, undo at once.
  Status applied;
  for (const FileWrite& w : writes) {
    applied = files[static_cast<size_t>(w.file)].file->Write(w.offset, w.bytes.data(), w.bytes.size());
    if (!applied.ok()) break;
  }
  for (size_t i = 0; i < truncate.size() && applied.ok(); ++i)
    if (truncate[i] >= 0) applied = files[i].file->Truncate(static_cast<uint64_t>(truncate[i]));
  for (size_t i = 0; i < files.size() && applied.ok() && sync; ++i) applied = files[i].file->Sync();
  if (!applied.ok()) {
    // Put back what was saved; the journal stays for the next open should
    // this fail as well.
    Reader r{j};
    r.pos = 16;
    for (size_t i = 0; i < files.size(); ++i) r.pos += 2 + files[i].name.size() + 8;
    uint32_t m = r.U32();
    for (uint32_t k = 0; k < m && r.ok; ++k) {
      uint16_t f = r.U16();
      uint64_t off = r.U64();
      uint32_t n = r.U32();
      if (r.Need(n)) {
        (void)files[f].file->Write(off, &j[r.pos], n);
        r.pos += n;
      }
    }
    for (size_t i = 0; i < files.size(); ++i) (void)files[i].file->Truncate(sizes[i]);
    return applied;
  }

  // Done: clear the journal's magic so it is no longer taken for a change
  // cut short. Its length stays, to be overwritten by the next change.
  static const uint8_t kZero[8] = {};
  PX_RETURN_IF_ERROR(jf->Write(0, kZero, sizeof kZero));
  if (sync) PX_RETURN_IF_ERROR(jf->Sync());
  return Status::OK();
}

Status RecoverJournal(FileSystem* fs, const std::string& db_path, bool* undone) {
  *undone = false;
  std::string path = JournalPath(db_path);
  if (!fs->FileExists(path)) return Status::OK();
  std::vector<uint8_t> j;
  {
    std::unique_ptr<File> jf;
    PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kExclusive, &jf));
    PX_RETURN_IF_ERROR(ReadAll(jf.get(), &j));
  }
  size_t content = 0;
  if (Intact(j, &content)) {
    j.resize(content);
    std::string dir, name;
    SplitPath(db_path, &dir, &name);
    Reader r{j};
    r.pos = 12;
    uint32_t n = r.U32();
    if (n > 1024) return Status::Error(ErrorCode::kCorruptHeader, "undo journal names too many files");
    std::vector<std::unique_ptr<File>> files;
    std::vector<uint64_t> sizes;
    for (uint32_t i = 0; i < n && r.ok; ++i) {
      uint16_t len = r.U16();
      if (!r.Need(len)) break;
      std::string fname(reinterpret_cast<const char*>(&j[r.pos]), len);
      r.pos += len;
      sizes.push_back(r.U64());
      if (fname.find('/') != std::string::npos || fname.find('\\') != std::string::npos)
        return Status::Error(ErrorCode::kCorruptHeader, "undo journal names a file outside the table's folder");
      std::unique_ptr<File> f;
      PX_RETURN_IF_ERROR(fs->Open(JoinPath(dir, fname), OpenMode::kExclusive, &f));
      files.push_back(std::move(f));
    }
    uint32_t m = r.U32();
    for (uint32_t k = 0; k < m && r.ok; ++k) {
      uint16_t f = r.U16();
      uint64_t off = r.U64();
      uint32_t len = r.U32();
      if (!r.Need(len) || f >= files.size()) return Status::Error(ErrorCode::kCorruptHeader, "undo journal damaged");
      PX_RETURN_IF_ERROR(files[f]->Write(off, &j[r.pos], len));
      r.pos += len;
    }
    if (!r.ok) return Status::Error(ErrorCode::kCorruptHeader, "undo journal damaged");
    for (size_t i = 0; i < files.size(); ++i) {
      PX_RETURN_IF_ERROR(files[i]->Truncate(sizes[i]));
      PX_RETURN_IF_ERROR(files[i]->Sync());
    }
    *undone = true;
  }
  return fs->Remove(path);
}

}  // namespace paradox
