#include "paradox/journal.h"

#include <algorithm>
#include <cstring>

#include "paradox/bytes.h"

namespace paradox {

namespace {

constexpr char kMagic[8] = {'P', 'X', 'U', 'N', 'D', 'O', '0', '2'};
// The first layout, checksummed with FNV-1a 64; still recovered.
constexpr char kMagicFnv[8] = {'P', 'X', 'U', 'N', 'D', 'O', '0', '1'};

uint64_t Fnv1a(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h;
}

uint64_t LoadLE64(const uint8_t* p) { return LoadLE32(p) | (static_cast<uint64_t>(LoadLE32(p + 4)) << 32); }

// Bytes at the start of `a` and `b` (both `n` long) that are equal.
size_t SamePrefix(const uint8_t* a, const uint8_t* b, size_t n) {
  constexpr size_t kStep = 64;
  size_t i = 0;
  while (i + kStep <= n && std::memcmp(a + i, b + i, kStep) == 0) i += kStep;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Bytes at the end of `a` and `b` (both `n` long) that are equal.
size_t SameSuffix(const uint8_t* a, const uint8_t* b, size_t n) {
  constexpr size_t kStep = 64;
  size_t i = 0;
  while (i + kStep <= n && std::memcmp(a + n - i - kStep, b + n - i - kStep, kStep) == 0) i += kStep;
  while (i < n && a[n - i - 1] == b[n - i - 1]) ++i;
  return i;
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
  if (j.size() < 28) return false;
  const bool fnv = std::memcmp(j.data(), kMagicFnv, 8) == 0;
  if (!fnv && std::memcmp(j.data(), kMagic, 8) != 0) return false;
  size_t length = LoadLE32(&j[8]);
  if (length < 28 || length > j.size()) return false;
  uint64_t sum = LoadLE64(&j[length - 8]);
  if ((fnv ? Fnv1a(j.data(), length - 8) : JournalChecksum(j.data(), length - 8)) != sum) return false;
  *content = length - 8;
  return true;
}

struct Parsed {
  struct Range {
    uint16_t file;
    uint64_t offset;
    const uint8_t* bytes;
    uint32_t size;
  };
  std::vector<std::string> names;
  std::vector<uint64_t> sizes;
  std::vector<Range> saved;
};

bool Parse(const std::vector<uint8_t>& j, size_t content, Parsed* out) {
  Reader r{j};
  r.pos = 12;
  auto in_content = [&](size_t n) { return r.Need(n) && content - r.pos >= n; };
  uint32_t n = r.U32();
  if (n > 1024) return false;
  for (uint32_t i = 0; i < n && r.ok; ++i) {
    uint16_t len = r.U16();
    if (!in_content(len)) return false;
    out->names.emplace_back(reinterpret_cast<const char*>(&j[r.pos]), len);
    r.pos += len;
    // Only files of the table's own folder take part in a change.
    if (out->names.back().find_first_of("/\\") != std::string::npos) return false;
    out->sizes.push_back(r.U64());
  }
  uint32_t m = r.U32();
  for (uint32_t k = 0; k < m && r.ok; ++k) {
    Parsed::Range g;
    g.file = r.U16();
    g.offset = r.U64();
    g.size = r.U32();
    if (!in_content(g.size) || g.file >= out->names.size()) return false;
    g.bytes = &j[r.pos];
    r.pos += g.size;
    out->saved.push_back(g);
  }
  return r.ok && r.pos == content;
}

}  // namespace

uint64_t JournalChecksum(const uint8_t* p, size_t n) {
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
  auto mix = [](uint64_t h, uint64_t w) {
    h = (h ^ w) * kMul;
    return h ^ (h >> 31);
  };
  // Four independent lanes keep the multiplier busy.
  uint64_t lane[4] = {n, ~uint64_t{n}, kMul, 0x5851F42D4C957F2Dull};
  size_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int k = 0; k < 4; ++k) lane[k] = mix(lane[k], LoadLE64(p + i + 8 * k));
  uint64_t h = n;
  for (; i + 8 <= n; i += 8) h = mix(h, LoadLE64(p + i));
  uint64_t tail = 0;
  for (unsigned shift = 0; i < n; ++i, shift += 8) tail |= static_cast<uint64_t>(p[i]) << shift;
  h = mix(h, tail);
  for (uint64_t l : lane) h = mix(h, l);
  return h;
}

bool JournalIsHot(FileSystem* fs, const std::string& db_path) {
  std::unique_ptr<File> jf;
  if (!fs->Open(JournalPath(db_path), OpenMode::kRead, &jf).ok()) return false;
  std::vector<uint8_t> j;
  size_t content = 0;
  return ReadAll(jf.get(), &j).ok() && Intact(j, &content);
}

std::string JournalPath(const std::string& db_path) { return db_path + "-journal"; }

bool JournalExists(FileSystem* fs, const std::string& db_path) { return fs->FileExists(JournalPath(db_path)); }

namespace {

// Bytes of one call of a change: offset .. end of a file, from the writes
// first .. last, which lie together in the file.
struct Run {
  int file;
  uint64_t offset, end;
  size_t first, last;
};
constexpr uint64_t kMostPerWrite = 4u << 20;

// True when writes[from] .. writes[to] follow one another in one file, each
// beginning where the one before it ends.
bool Contiguous(const std::vector<FileWrite>& writes, size_t from, size_t to) {
  for (size_t k = from; k < to; ++k)
    if (writes[k + 1].file != writes[k].file || writes[k].offset + writes[k].size() != writes[k + 1].offset)
      return false;
  return true;
}

// Appends the bytes of `w` that lie in the file's from .. to.
void AppendPart(const FileWrite& w, uint64_t from, uint64_t to, std::vector<uint8_t>* out) {
  const uint64_t lo = std::max(w.offset, from), hi = std::min(w.offset + w.size(), to);
  if (lo < hi) out->insert(out->end(), w.begin() + (lo - w.offset), w.begin() + (hi - w.offset));
}

// Writes the runs in their order, each with one call.
Status WriteRuns(const std::vector<ChangeFile>& files, const std::vector<FileWrite>& writes,
                 const std::vector<Run>& runs) {
  // Kept from one change to the next: fresh memory of this size costs its
  // page faults every time on some systems.
  static thread_local std::vector<uint8_t> joined;
  for (const Run& r : runs) {
    File* f = files[static_cast<size_t>(r.file)].file;
    const size_t n = static_cast<size_t>(r.end - r.offset);
    if (r.first == r.last) {
      const FileWrite& w = writes[r.first];
      PX_RETURN_IF_ERROR(f->Write(r.offset, w.begin() + (r.offset - w.offset), n));
      continue;
    }
    joined.clear();
    joined.reserve(n);
    for (size_t k = r.first; k <= r.last; ++k) AppendPart(writes[k], r.offset, r.end, &joined);
    PX_RETURN_IF_ERROR(f->Write(r.offset, joined.data(), joined.size()));
  }
  return Status::OK();
}

// Clears the journal's magic so it is no longer taken for a change cut
// short. Its length stays, to be overwritten by the next change.
Status ClearJournal(File* jf) {
  static const uint8_t kZero[8] = {};
  PX_RETURN_IF_ERROR(jf->Write(0, kZero, sizeof kZero));
  return jf->Sync();
}
}  // namespace

Status ApplyChange(File* jf, const std::vector<ChangeFile>& files, const std::vector<FileWrite>& writes,
                   const std::vector<int64_t>& truncate, std::vector<uint8_t>* buffer) {
  // Save what the writes overwrite and every file's length.
  std::vector<uint8_t> own;
  std::vector<uint8_t>& j = buffer != nullptr ? *buffer : own;
  j.assign(kMagic, kMagic + 8);
  size_t most = 64;
  for (const FileWrite& w : writes) most += 14 + w.size();
  j.reserve(most);
  Put32(&j, 0);  // total length, set below
  Put32(&j, static_cast<uint32_t>(files.size()));
  std::vector<uint64_t> sizes(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].size != nullptr && *files[i].size != kUnknownSize) sizes[i] = *files[i].size;
    else PX_RETURN_IF_ERROR(files[i].file->Size(&sizes[i]));
    Put16(&j, static_cast<uint16_t>(files[i].name.size()));
    j.insert(j.end(), files[i].name.begin(), files[i].name.end());
    Put64(&j, sizes[i]);
  }
  const size_t count_at = j.size();
  Put32(&j, 0);  // number of ranges, set below
  uint32_t ranges = 0;
  auto save = [&](int file, uint64_t offset, const uint8_t* old, size_t n) {
    Put16(&j, static_cast<uint16_t>(file));
    Put64(&j, offset);
    Put32(&j, static_cast<uint32_t>(n));
    j.insert(j.end(), old, old + n);
    ++ranges;
  };

  // Each write shrinks to the bytes that differ from the file's. Pieces of
  // writes that lie together in the file join into runs, each written with
  // one call: a call costs far more than the unchanged bytes between the
  // pieces. Those bytes are written again, so a run's old bytes are saved
  // whole: a write cut short by a power cut may garble any sector it spans.
  // The open run's old bytes go straight into its range of the journal.
  std::vector<Run> runs;
  std::vector<uint8_t> read;
  size_t range_at = 0;
  auto close_run = [&] {
    if (runs.empty()) return;
    const size_t n = j.size() - range_at - 14;
    if (n == 0) {
      j.resize(range_at);  // wholly past the file's end: nothing to save
      return;
    }
    StoreLE32(&j[range_at + 10], static_cast<uint32_t>(n));
    ++ranges;
  };
  for (size_t k = 0; k < writes.size(); ++k) {
    const FileWrite& w = writes[k];
    const uint64_t size = sizes[static_cast<size_t>(w.file)];
    const size_t n = w.size();
    const uint8_t* bytes = w.begin();
    const size_t held = w.offset >= size ? 0 : static_cast<size_t>(std::min<uint64_t>(n, size - w.offset));
    const uint8_t* old = w.old;
    if (held > 0 && old == nullptr) {
      read.resize(held);
      size_t got = 0;
      PX_RETURN_IF_ERROR(files[static_cast<size_t>(w.file)].file->Read(w.offset, held, read.data(), &got));
      if (got != held) return Status::Error(ErrorCode::kIoError, "short read while saving bytes to overwrite");
      old = read.data();
    }
    const size_t lo = SamePrefix(old, bytes, held);
    // A write that ends past the file's end is kept to its end.
    const size_t hi = held == n ? n - SameSuffix(old + lo, bytes + lo, n - lo) : n;
    if (lo == hi) continue;
    const uint64_t at = w.offset + lo, end = w.offset + hi;
    if (!runs.empty() && end - runs.back().offset <= kMostPerWrite && Contiguous(writes, runs.back().last, k)) {
      // The bytes between the run and this piece, which the file holds.
      Run& r = runs.back();
      for (size_t between = r.last; between <= k; ++between) AppendPart(writes[between], r.end, at, &j);
      r.end = end;
      r.last = k;
    } else {
      close_run();
      runs.push_back(Run{w.file, at, end, k, k});
      range_at = j.size();
      Put16(&j, static_cast<uint16_t>(w.file));
      Put64(&j, at);
      Put32(&j, 0);  // its length, set when the run closes
    }
    if (lo < held) j.insert(j.end(), old + lo, old + std::min(hi, held));
  }
  close_run();
  // Bytes a truncation cuts off are saved like bytes a write overwrites.
  for (size_t i = 0; i < truncate.size() && i < files.size(); ++i) {
    if (truncate[i] < 0 || static_cast<uint64_t>(truncate[i]) >= sizes[i]) continue;
    const uint64_t at = static_cast<uint64_t>(truncate[i]);
    read.resize(static_cast<size_t>(sizes[i] - at));
    size_t got = 0;
    PX_RETURN_IF_ERROR(files[i].file->Read(at, read.size(), read.data(), &got));
    save(static_cast<int>(i), at, read.data(), got);
  }
  StoreLE32(&j[count_at], ranges);
  StoreLE32(&j[8], static_cast<uint32_t>(j.size() + 8));
  Put64(&j, JournalChecksum(j.data(), j.size()));

  // Write-ahead: the journal is on stable storage before a byte it protects
  // is overwritten.
  PX_RETURN_IF_ERROR(jf->Write(0, j.data(), j.size()));
  PX_RETURN_IF_ERROR(jf->Sync());

  // The change itself. Should a write fail here, undo at once.
  Status applied = WriteRuns(files, writes, runs);
  for (size_t i = 0; i < truncate.size() && applied.ok(); ++i)
    if (truncate[i] >= 0) applied = files[i].file->Truncate(static_cast<uint64_t>(truncate[i]));
  // The files are on stable storage before the journal is cleared.
  for (size_t i = 0; i < files.size() && applied.ok(); ++i) applied = files[i].file->Sync();
  if (!applied.ok()) {
    // Put back what was saved; the journal stays for the next open should
    // any of this fail as well.
    Parsed p;
    Status back = Parse(j, j.size() - 8, &p) ? Status::OK() : Status::Error(ErrorCode::kIoError);
    for (const Parsed::Range& g : p.saved)
      if (back.ok()) back = files[g.file].file->Write(g.offset, g.bytes, g.size);
    for (size_t i = 0; i < files.size() && back.ok(); ++i) back = files[i].file->Truncate(sizes[i]);
    for (size_t i = 0; i < files.size() && back.ok(); ++i) back = files[i].file->Sync();
    if (back.ok()) (void)ClearJournal(jf);
    return applied;
  }
  PX_RETURN_IF_ERROR(ClearJournal(jf));
  for (const Run& r : runs) {
    uint64_t& size = sizes[static_cast<size_t>(r.file)];
    size = std::max<uint64_t>(size, r.end);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (i < truncate.size() && truncate[i] >= 0) sizes[i] = static_cast<uint64_t>(truncate[i]);
    if (files[i].size != nullptr) *files[i].size = sizes[i];
  }
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
    Parsed p;
    if (!Parse(j, content, &p))
      return Status::Error(ErrorCode::kCorruptHeader, "undo journal damaged").With(path);
    std::string dir, name;
    SplitPath(db_path, &dir, &name);
    std::vector<std::unique_ptr<File>> files;
    for (const std::string& fname : p.names) {
      std::unique_ptr<File> f;
      PX_RETURN_IF_ERROR(fs->Open(JoinPath(dir, fname), OpenMode::kExclusive, &f));
      files.push_back(std::move(f));
    }
    for (const Parsed::Range& g : p.saved) PX_RETURN_IF_ERROR(files[g.file]->Write(g.offset, g.bytes, g.size));
    for (size_t i = 0; i < files.size(); ++i) {
      PX_RETURN_IF_ERROR(files[i]->Truncate(p.sizes[i]));
      PX_RETURN_IF_ERROR(files[i]->Sync());
    }
    *undone = true;
    // Cleared before it goes: should the removal not reach the disk, the
    // journal left behind undoes nothing over later changes.
    std::unique_ptr<File> jf;
    PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kExclusive, &jf));
    PX_RETURN_IF_ERROR(ClearJournal(jf.get()));
  }
  PX_RETURN_IF_ERROR(fs->Remove(path));
  std::string dir, name;
  SplitPath(db_path, &dir, &name);
  return fs->SyncDir(dir);
}

}  // namespace paradox
