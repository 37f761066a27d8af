#include "paradox/journal.h"

#include <algorithm>
#include <cstring>

#include "paradox/format/bytes.h"
#include "paradox/store/journal_format.h"
#include "paradox/store/journal_write.h"

namespace paradox {

using namespace journal_format;

namespace {

uint64_t Fnv1a(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h;
}

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
void Store64(uint8_t* p, uint64_t v) {
  StoreLE32(p, static_cast<uint32_t>(v));
  StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
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
  uint8_t U8() { return Need(1) ? b[pos++] : 0; }
  uint16_t U16() { return Need(2) ? (pos += 2, LoadLE16(&b[pos - 2])) : 0; }
  uint32_t U32() { return Need(4) ? (pos += 4, LoadLE32(&b[pos - 4])) : 0; }
  uint64_t U64() {
    uint64_t lo = U32();
    return lo | (static_cast<uint64_t>(U32()) << 32);
  }
};

}  // namespace

namespace journal_format {

Status ReadAll(File* f, std::vector<uint8_t>* out) {
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(f->Size(&size));
  out->resize(static_cast<size_t>(size));
  size_t got = 0;
  PX_RETURN_IF_ERROR(f->Read(0, out->size(), out->data(), &got));
  out->resize(got);
  return Status::OK();
}

bool Intact(const std::vector<uint8_t>& j, size_t* content) {
  if (j.size() < 28) return false;
  const bool fnv = std::memcmp(j.data(), kMagic1, 8) == 0;
  if (!fnv && std::memcmp(j.data(), kMagic2, 8) != 0 && std::memcmp(j.data(), kMagic, 8) != 0) return false;
  size_t length = LoadLE32(&j[8]);
  if (length < 28 || length > j.size()) return false;
  uint64_t sum = LoadLE64(&j[length - 8]);
  if ((fnv ? Fnv1a(j.data(), length - 8) : JournalChecksum(j.data(), length - 8)) != sum) return false;
  *content = length - 8;
  return true;
}

bool Parse(const std::vector<uint8_t>& j, size_t content, Parsed* out) {
  Reader r{j};
  out->layout = std::memcmp(j.data(), kMagic, 8) == 0 ? 3 : std::memcmp(j.data(), kMagic2, 8) == 0 ? 2 : 1;
  const bool checked = out->layout == 3;
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
    out->least.push_back(checked ? r.U64() : out->sizes.back());
    out->most.push_back(checked ? r.U64() : out->sizes.back());
  }
  uint32_t m = r.U32();
  for (uint32_t k = 0; k < m && r.ok; ++k) {
    Parsed::Range g;
    g.file = r.U16();
    g.offset = r.U64();
    g.size = r.U32();
    g.kind = checked ? r.U8() : kOverwritten;
    if (!r.ok || g.kind > kAppended || g.file >= out->names.size()) return false;
    g.old = nullptr;
    g.checks = nullptr;
    if (g.kind != kAppended) {
      if (!in_content(g.size)) return false;
      g.old = &j[r.pos];
      r.pos += g.size;
    }
    if (checked && g.kind != kCutOff) {
      const size_t bytes = size_t{4} * PieceCount(g.offset, g.size);
      if (!in_content(bytes)) return false;
      g.checks = &j[r.pos];
      r.pos += bytes;
    }
    out->saved.push_back(g);
  }
  return r.ok && r.pos == content;
}

Status ClearJournal(File* jf) {
  static const uint8_t kZero[8] = {};
  PX_RETURN_IF_ERROR(jf->Write(0, kZero, sizeof kZero));
  return jf->Sync();
}

}  // namespace journal_format

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
// first .. last, which lie together in the file; their new bytes start at
// `at` of the change's joined bytes.
struct Run {
  int file;
  uint64_t offset, end;
  size_t first, last;
  size_t at;
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
Status WriteRuns(const std::vector<ChangeFile>& files, const std::vector<Run>& runs,
                 const std::vector<uint8_t>& joined) {
  for (const Run& r : runs)
    PX_RETURN_IF_ERROR(files[static_cast<size_t>(r.file)].file->Write(
        r.offset, joined.data() + r.at, static_cast<size_t>(r.end - r.offset)));
  return Status::OK();
}

// The journal of one change as it is built: every file's length, then the
// bytes the change overwrites or cuts off, with checks of the new bytes and
// the lengths the change may leave, so that a recovery can tell the files as
// the change left them from a later change. Beside it, the runs the change
// is written with.
class ChangeJournal {
 public:
  ChangeJournal(const std::vector<ChangeFile>& files, std::vector<uint8_t>* j, std::vector<uint8_t>* joined)
      : files_(files), j_(*j), joined_(*joined) {}

  Status SaveLengths(const std::vector<FileWrite>& writes);
  Status JoinWrites(const std::vector<FileWrite>& writes);
  Status SaveCutOff(const std::vector<int64_t>& truncate);
  void Seal();

  const std::vector<Run>& runs() const { return runs_; }
  // Every file's length before the change.
  std::vector<uint64_t>& sizes() { return sizes_; }

 private:
  void Save(int file, uint64_t offset, uint8_t kind, const uint8_t* old, const uint8_t* now, size_t n);
  Status OldBytes(const FileWrite& w, size_t held, const uint8_t** old);
  void ExtendRun(const std::vector<FileWrite>& writes, size_t k, uint64_t at, uint64_t end);
  void CloseRun();

  const std::vector<ChangeFile>& files_;
  std::vector<uint8_t>& j_;
  std::vector<uint8_t>& joined_;  // the new bytes of the runs, one after another
  std::vector<uint64_t> sizes_, least_, longest_;
  std::vector<size_t> bounds_at_;
  size_t count_at_ = 0;
  uint32_t ranges_ = 0;
  std::vector<Run> runs_;
  std::vector<uint8_t> run_old_;  // what the file holds of the open run
  std::vector<uint8_t> read_;
};

// The journal's head: every file's name and length, room for the lengths
// the change may leave and for the number of ranges.
Status ChangeJournal::SaveLengths(const std::vector<FileWrite>& writes) {
  j_.assign(kMagic, kMagic + 8);
  size_t most = 64;
  for (const FileWrite& w : writes) most += 15 + w.size() + 4 * (w.size() / kPiece + 2);
  j_.reserve(most);
  Put32(&j_, 0);  // total length, set by Seal
  Put32(&j_, static_cast<uint32_t>(files_.size()));
  sizes_.resize(files_.size());
  bounds_at_.resize(files_.size());
  for (size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].size != nullptr && *files_[i].size != kUnknownSize) sizes_[i] = *files_[i].size;
    else PX_RETURN_IF_ERROR(files_[i].file->Size(&sizes_[i]));
    Put16(&j_, static_cast<uint16_t>(files_[i].name.size()));
    j_.insert(j_.end(), files_[i].name.begin(), files_[i].name.end());
    Put64(&j_, sizes_[i]);
    bounds_at_[i] = j_.size();
    Put64(&j_, 0);  // least and most length, set by Seal
    Put64(&j_, 0);
  }
  least_ = sizes_;
  longest_ = sizes_;
  count_at_ = j_.size();
  Put32(&j_, 0);  // number of ranges, set by Seal
  return Status::OK();
}

// `old` (null for bytes past the end) is saved; `now`, the bytes written
// there (null for bytes cut off), is checked piece by piece.
void ChangeJournal::Save(int file, uint64_t offset, uint8_t kind, const uint8_t* old, const uint8_t* now,
                         size_t n) {
  Put16(&j_, static_cast<uint16_t>(file));
  Put64(&j_, offset);
  Put32(&j_, static_cast<uint32_t>(n));
  j_.push_back(kind);
  if (old != nullptr) j_.insert(j_.end(), old, old + n);
  if (now != nullptr) {
    const uint32_t pieces = PieceCount(offset, n);
    for (uint32_t k = 0; k < pieces; ++k) {
      size_t from = 0, len = 0;
      PieceAt(offset, n, k, &from, &len);
      Put32(&j_, static_cast<uint32_t>(JournalChecksum(now + from, len)));
    }
  }
  ++ranges_;
}

// What the file holds under the first `held` bytes of `w`: the caller's
// copy, or read from the file.
Status ChangeJournal::OldBytes(const FileWrite& w, size_t held, const uint8_t** old) {
  *old = w.old;
  if (held == 0 || *old != nullptr) return Status::OK();
  read_.resize(held);
  size_t got = 0;
  PX_RETURN_IF_ERROR(files_[static_cast<size_t>(w.file)].file->Read(w.offset, held, read_.data(), &got));
  if (got != held) return Status::Error(ErrorCode::kIoError, "short read while saving bytes to overwrite");
  *old = read_.data();
  return Status::OK();
}

// Saves the open run: its old bytes whole, and what it writes past the
// file's end.
void ChangeJournal::CloseRun() {
  if (runs_.empty()) return;
  const Run& r = runs_.back();
  const uint8_t* now = joined_.data() + r.at;
  const size_t n = static_cast<size_t>(r.end - r.offset), held = run_old_.size();
  if (held > 0) Save(r.file, r.offset, kOverwritten, run_old_.data(), now, held);
  if (n > held) Save(r.file, r.offset + held, kAppended, nullptr, now + held, n - held);
  run_old_.clear();
}

// Joins the piece at .. end of writes[k] to the open run, or opens a run
// with it.
void ChangeJournal::ExtendRun(const std::vector<FileWrite>& writes, size_t k, uint64_t at, uint64_t end) {
  if (!runs_.empty() && end - runs_.back().offset <= kMostPerWrite && Contiguous(writes, runs_.back().last, k)) {
    // The bytes between the run and this piece: the file holds them (only
    // bytes equal to the file's are left out of a piece), and they are
    // written again as they are.
    Run& r = runs_.back();
    const size_t gap = joined_.size();
    for (size_t between = r.last; between <= k; ++between) AppendPart(writes[between], r.end, at, &joined_);
    run_old_.insert(run_old_.end(), joined_.begin() + static_cast<ptrdiff_t>(gap), joined_.end());
    r.end = end;
    r.last = k;
  } else {
    CloseRun();
    runs_.push_back(Run{writes[k].file, at, end, k, k, joined_.size()});
  }
}

// Each write shrinks to the bytes that differ from the file's. Pieces of
// writes that lie together in the file join into runs, each written with
// one call: a call costs far more than the unchanged bytes between the
// pieces. Those bytes are written again, so a run's old bytes are saved
// whole, and its new bytes checked whole: a write cut short by a power cut
// may garble any sector it spans.
Status ChangeJournal::JoinWrites(const std::vector<FileWrite>& writes) {
  joined_.clear();
  for (size_t k = 0; k < writes.size(); ++k) {
    const FileWrite& w = writes[k];
    const uint64_t size = sizes_[static_cast<size_t>(w.file)];
    const size_t n = w.size();
    const uint8_t* bytes = w.begin();
    const size_t held = w.offset >= size ? 0 : static_cast<size_t>(std::min<uint64_t>(n, size - w.offset));
    const uint8_t* old = nullptr;
    PX_RETURN_IF_ERROR(OldBytes(w, held, &old));
    const size_t lo = SamePrefix(old, bytes, held);
    // A write that ends past the file's end is kept to its end.
    const size_t hi = held == n ? n - SameSuffix(old + lo, bytes + lo, n - lo) : n;
    if (lo == hi) continue;
    const uint64_t at = w.offset + lo, end = w.offset + hi;
    ExtendRun(writes, k, at, end);
    joined_.insert(joined_.end(), bytes + lo, bytes + hi);
    if (lo < held) run_old_.insert(run_old_.end(), old + lo, old + std::min(hi, held));
    uint64_t& top = longest_[static_cast<size_t>(w.file)];
    top = std::max<uint64_t>(top, end);
  }
  CloseRun();
  return Status::OK();
}

// Bytes a truncation cuts off are saved like bytes a write overwrites.
Status ChangeJournal::SaveCutOff(const std::vector<int64_t>& truncate) {
  for (size_t i = 0; i < truncate.size() && i < files_.size(); ++i) {
    if (truncate[i] < 0) continue;
    const uint64_t at = static_cast<uint64_t>(truncate[i]);
    least_[i] = std::min(least_[i], at);
    longest_[i] = std::max(longest_[i], at);
    if (at >= sizes_[i]) continue;
    read_.resize(static_cast<size_t>(sizes_[i] - at));
    size_t got = 0;
    PX_RETURN_IF_ERROR(files_[i].file->Read(at, read_.size(), read_.data(), &got));
    Save(static_cast<int>(i), at, kCutOff, read_.data(), nullptr, got);
  }
  return Status::OK();
}

// Fills in the lengths the change may leave, the number of ranges and the
// journal's length, and appends its checksum.
void ChangeJournal::Seal() {
  for (size_t i = 0; i < files_.size(); ++i) {
    Store64(&j_[bounds_at_[i]], least_[i]);
    Store64(&j_[bounds_at_[i] + 8], longest_[i]);
  }
  StoreLE32(&j_[count_at_], ranges_);
  StoreLE32(&j_[8], static_cast<uint32_t>(j_.size() + 8));
  Put64(&j_, JournalChecksum(j_.data(), j_.size()));
}

// The change itself: the runs in their order, the new lengths, then every
// file forced to stable storage.
Status WriteChange(const std::vector<ChangeFile>& files, const std::vector<Run>& runs,
                   const std::vector<uint8_t>& joined, const std::vector<int64_t>& truncate) {
  Status applied = WriteRuns(files, runs, joined);
  for (size_t i = 0; i < truncate.size() && applied.ok(); ++i)
    if (truncate[i] >= 0) applied = files[i].file->Truncate(static_cast<uint64_t>(truncate[i]));
  for (size_t i = 0; i < files.size() && applied.ok(); ++i) applied = files[i].file->Sync();
  return applied;
}

// Puts back what the journal `j` saved and the lengths `sizes`; the journal
// stays for the next open should any of this fail as well.
void PutBack(File* jf, const std::vector<ChangeFile>& files, const std::vector<uint8_t>& j,
             const std::vector<uint64_t>& sizes) {
  Parsed p;
  Status back = Parse(j, j.size() - 8, &p) ? Status::OK() : Status::Error(ErrorCode::kIoError);
  for (const Parsed::Range& g : p.saved)
    if (back.ok() && g.old != nullptr) back = files[g.file].file->Write(g.offset, g.old, g.size);
  for (size_t i = 0; i < files.size() && back.ok(); ++i) back = files[i].file->Truncate(sizes[i]);
  for (size_t i = 0; i < files.size() && back.ok(); ++i) back = files[i].file->Sync();
  if (back.ok()) (void)ClearJournal(jf);
}

// Tells the callers that keep the files' lengths what the change left.
void NoteNewSizes(const std::vector<ChangeFile>& files, const std::vector<Run>& runs,
                  const std::vector<int64_t>& truncate, std::vector<uint64_t>* sizes) {
  for (const Run& r : runs) {
    uint64_t& size = (*sizes)[static_cast<size_t>(r.file)];
    size = std::max<uint64_t>(size, r.end);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (i < truncate.size() && truncate[i] >= 0) (*sizes)[i] = static_cast<uint64_t>(truncate[i]);
    if (files[i].size != nullptr) *files[i].size = (*sizes)[i];
  }
}

}  // namespace

Status ApplyChange(File* jf, const std::vector<ChangeFile>& files, const std::vector<FileWrite>& writes,
                   const std::vector<int64_t>& truncate, std::vector<uint8_t>* buffer) {
  std::vector<uint8_t> own;
  // Kept from one change to the next: fresh memory of this size costs its
  // page faults every time on some systems.
  static thread_local std::vector<uint8_t> joined;
  std::vector<uint8_t>& j = buffer != nullptr ? *buffer : own;
  ChangeJournal journal(files, &j, &joined);
  PX_RETURN_IF_ERROR(journal.SaveLengths(writes));
  PX_RETURN_IF_ERROR(journal.JoinWrites(writes));
  PX_RETURN_IF_ERROR(journal.SaveCutOff(truncate));
  journal.Seal();

  // Write-ahead: the journal is on stable storage before a byte it protects
  // is overwritten.
  PX_RETURN_IF_ERROR(jf->Write(0, j.data(), j.size()));
  PX_RETURN_IF_ERROR(jf->Sync());

  // Should a write fail here, undo at once. The files are on stable storage
  // before the journal is cleared.
  Status applied = WriteChange(files, journal.runs(), joined, truncate);
  if (!applied.ok()) {
    PutBack(jf, files, j, journal.sizes());
    return applied;
  }
  PX_RETURN_IF_ERROR(ClearJournal(jf));
  NoteNewSizes(files, journal.runs(), truncate, &journal.sizes());
  return Status::OK();
}

}  // namespace paradox
