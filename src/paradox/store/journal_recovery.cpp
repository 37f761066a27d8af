// Undoing a change cut short, once it is proven that the files are as the
// change left them; and what becomes of a journal that may not be undone.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "paradox/format/ascii.h"
#include "paradox/journal.h"
#include "paradox/store/journal_format.h"

namespace paradox {

using namespace journal_format;

namespace {

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

std::string FolderOf(const std::string& path) {
  std::string dir, name;
  SplitPath(path, &dir, &name);
  return dir;
}

std::string NameOf(const std::string& path) {
  std::string dir, name;
  SplitPath(path, &dir, &name);
  return name;
}

// What the operator can do about a kept journal.
void AddSettleAdvice(Status* st, const std::string& db_path) {
  const std::string q = "\"" + db_path + "\"";
  st->With("Check the table with: pxtool check " + q)
      .With("then keep the files as they are with: pxtool journal " + q + " --discard")
      .With("or put back the bytes of before that change (the other program's later change to them is lost) with: "
            "pxtool journal " + q + " --apply");
}

// The files a journal names, for writing back: the table's data file
// through the handle that holds it, the others opened exclusively.
struct JournalFiles {
  std::vector<std::unique_ptr<File>> owned;
  std::vector<File*> files;
};

Status OpenFiles(FileSystem* fs, const std::string& db_path, File* held, const Parsed& p, JournalFiles* out) {
  const std::string dir = FolderOf(db_path);
  const std::string db_name = LowerAscii(NameOf(db_path));
  for (const std::string& name : p.names) {
    if (LowerAscii(name) == db_name) {
      out->files.push_back(held);
      continue;
    }
    std::unique_ptr<File> f;
    PX_RETURN_IF_ERROR(fs->Open(JoinPath(dir, name), OpenMode::kExclusive, &f));
    out->files.push_back(f.get());
    out->owned.push_back(std::move(f));
  }
  return Status::OK();
}

// The table's data file held alone: `*held` when the caller holds it, or
// else opened here into `own`.
Status Hold(FileSystem* fs, const std::string& db_path, File** held, std::unique_ptr<File>* own) {
  if (*held != nullptr) return Status::OK();
  PX_RETURN_IF_ERROR(fs->Open(db_path, OpenMode::kExclusive, own));
  *held = own->get();
  return Status::OK();
}

// What one piece of a saved range holds now.
enum class Held { kOld, kNew, kEither, kNeither };

uint32_t PieceCheck(const uint8_t* p, size_t n) { return static_cast<uint32_t>(JournalChecksum(p, n)); }

// Whether the files are as the change left them, file by file.
struct Verdict {
  bool fine = true;
  std::string why;
  std::vector<uint64_t> now;
  std::vector<uint32_t> old_pieces, new_pieces, other_pieces;
};

// Judges the files of a layout-3 journal (earlier layouts are taken as they
// are: they hold nothing to judge by).
Status Judge(const Parsed& p, const std::vector<File*>& files, Verdict* v) {
  const size_t n = p.names.size();
  v->now.assign(n, 0);
  v->old_pieces.assign(n, 0);
  v->new_pieces.assign(n, 0);
  v->other_pieces.assign(n, 0);
  for (size_t i = 0; i < n; ++i) PX_RETURN_IF_ERROR(files[i]->Size(&v->now[i]));
  if (p.layout < 3) return Status::OK();
  for (size_t i = 0; i < n && v->fine; ++i) {
    if (v->now[i] >= p.least[i] && v->now[i] <= p.most[i]) continue;
    v->fine = false;
    v->why = p.names[i] + " is " + std::to_string(v->now[i]) + " bytes long, a length the change could not leave (" +
             std::to_string(p.least[i]) + " to " + std::to_string(p.most[i]) + ")";
  }

  // Every piece must hold its old bytes or its new ones: a write cut short
  // by a crash ends at a multiple of 512 bytes, as the pieces do.
  uint32_t neither = 0;
  std::string first;
  std::vector<uint8_t> cur;
  for (const Parsed::Range& g : p.saved) {
    const uint64_t length = v->now[g.file];
    size_t got = 0;
    cur.assign(g.size, 0);
    if (g.offset < length)
      PX_RETURN_IF_ERROR(files[g.file]->Read(g.offset, static_cast<size_t>(std::min<uint64_t>(g.size, length - g.offset)),
                                             cur.data(), &got));
    const uint32_t pieces = PieceCount(g.offset, g.size);
    for (uint32_t k = 0; k < pieces; ++k) {
      size_t from = 0, len = 0;
      PieceAt(g.offset, g.size, k, &from, &len);
      const size_t present = got > from ? std::min(len, got - from) : 0;
      const uint8_t* now = cur.data() + from;
      Held h = Held::kNeither;
      if (present == 0) {
        h = Held::kEither;  // cut off by the change, or not written past the old end yet
      } else if (g.kind == kAppended) {
        if (present == len && PieceCheck(now, len) == LoadLE32(g.checks + 4 * k)) h = Held::kNew;
        else if (std::all_of(now, now + present, [](uint8_t b) { return b == 0; })) h = Held::kEither;
      } else if (g.kind == kOverwritten && present == len && PieceCheck(now, len) == LoadLE32(g.checks + 4 * k)) {
        h = Held::kNew;  // first: a piece the change left as it was counts as written
      } else if (std::memcmp(now, g.old + from, present) == 0) {
        h = Held::kOld;
      }
      if (h == Held::kOld) ++v->old_pieces[g.file];
      if (h == Held::kNew) ++v->new_pieces[g.file];
      if (h != Held::kNeither) continue;
      ++v->other_pieces[g.file];
      if (neither++ == 0)
        first = p.names[g.file] + ": the " + std::to_string(len) + " bytes at " + Hex(g.offset + from) +
                " hold neither what they held before the change nor what it wrote";
    }
  }
  if (neither == 0 || !v->fine) return Status::OK();
  v->fine = false;
  v->why = first;
  if (neither > 1) v->why += " (and " + std::to_string(neither - 1) + " more such pieces)";
  return Status::OK();
}

Status ReadJournal(FileSystem* fs, const std::string& path, OpenMode mode, std::vector<uint8_t>* j) {
  std::unique_ptr<File> jf;
  PX_RETURN_IF_ERROR(fs->Open(path, mode, &jf));
  return ReadAll(jf.get(), j);
}

// Writes a journal's saved bytes and lengths back and forces them to disk.
Status WriteBack(const Parsed& p, const std::vector<File*>& files) {
  for (const Parsed::Range& g : p.saved)
    if (g.old != nullptr) PX_RETURN_IF_ERROR(files[g.file]->Write(g.offset, g.old, g.size));
  for (size_t i = 0; i < files.size(); ++i) {
    PX_RETURN_IF_ERROR(files[i]->Truncate(p.sizes[i]));
    PX_RETURN_IF_ERROR(files[i]->Sync());
  }
  return Status::OK();
}

// Moves the journal aside and says so.
Status KeepAside(FileSystem* fs, const std::string& db_path, const std::string& why) {
  const std::string kept = KeptJournalPath(db_path);
  Status moved = fs->Rename(JournalPath(db_path), kept);
  if (moved.ok()) moved = fs->SyncDir(FolderOf(db_path));
  Status st = Status::Error(ErrorCode::kJournalKept, db_path);
  st.With("A change of this program to the table was cut short (by a crash, a kill or a power cut), and the files "
          "were changed since, by another program: " + why);
  if (moved.ok())
    st.With("Nothing was written back; the bytes saved before that change are kept in " + NameOf(kept));
  else
    st.With("Nothing was written back; the journal could not be renamed to " + NameOf(kept) + " (" +
            moved.ToString() + ")");
  AddSettleAdvice(&st, db_path);
  return st;
}

}  // namespace

std::string KeptJournalPath(const std::string& db_path) { return JournalPath(db_path) + "-kept"; }

bool KeptJournalExists(FileSystem* fs, const std::string& db_path) {
  return fs->FileExists(KeptJournalPath(db_path));
}

Status KeptJournalError(const std::string& db_path) {
  Status st = Status::Error(ErrorCode::kJournalKept, db_path);
  st.With("A change of this program to the table was cut short and was not undone, because another program "
          "changed the table since; the bytes saved before that change are kept in " +
          NameOf(KeptJournalPath(db_path)));
  AddSettleAdvice(&st, db_path);
  return st;
}

Status RecoverJournal(FileSystem* fs, const std::string& db_path, File* held, bool* undone) {
  *undone = false;
  if (KeptJournalExists(fs, db_path)) return KeptJournalError(db_path);
  const std::string path = JournalPath(db_path);
  if (!fs->FileExists(path)) return Status::OK();
  std::unique_ptr<File> hold;
  PX_RETURN_IF_ERROR(Hold(fs, db_path, &held, &hold));
  std::vector<uint8_t> j;
  PX_RETURN_IF_ERROR(ReadJournal(fs, path, OpenMode::kExclusive, &j));
  size_t content = 0;
  if (Intact(j, &content)) {
    Parsed p;
    if (!Parse(j, content, &p)) return Status::Error(ErrorCode::kCorruptHeader, "undo journal damaged").With(path);
    JournalFiles files;
    PX_RETURN_IF_ERROR(OpenFiles(fs, db_path, held, p, &files));
    Verdict v;
    PX_RETURN_IF_ERROR(Judge(p, files.files, &v));
    if (!v.fine) return KeepAside(fs, db_path, v.why);
    PX_RETURN_IF_ERROR(WriteBack(p, files.files));
    *undone = true;
    // Cleared before it goes: should the removal not reach the disk, the
    // journal left behind undoes nothing over later changes.
    std::unique_ptr<File> jf;
    PX_RETURN_IF_ERROR(fs->Open(path, OpenMode::kExclusive, &jf));
    PX_RETURN_IF_ERROR(ClearJournal(jf.get()));
  }
  PX_RETURN_IF_ERROR(fs->Remove(path));
  return fs->SyncDir(FolderOf(db_path));
}

Status RecoverBeforeReading(FileSystem* fs, const std::string& db_path) {
  if (KeptJournalExists(fs, db_path)) return KeptJournalError(db_path);
  if (!JournalExists(fs, db_path)) return Status::OK();
  std::unique_ptr<File> hold;
  Status st = fs->Open(db_path, OpenMode::kExclusive, &hold);
  if (st.ok()) {
    bool undone = false;
    Status rs = RecoverJournal(fs, db_path, hold.get(), &undone);
    if (rs.ok() || rs.code() == ErrorCode::kJournalKept) return rs;
    return Status::Error(rs.code(), db_path).With("an interrupted change could not be undone").With(rs.ToString());
  }
  const ErrorCode code = st.code();
  if (code != ErrorCode::kTableBusy && code != ErrorCode::kReadOnly && code != ErrorCode::kAccessDenied) return st;
  // Not ours to look into: a journal in use belongs to the program at work
  // on the table; one of a change cut short is left for an open that can
  // take the table, and the half-changed files are not read meanwhile.
  if (!JournalIsHot(fs, db_path)) return Status::OK();
  if (code == ErrorCode::kTableBusy)
    return Status::Error(code, db_path)
        .With("another program holds the table while a change to it is under way or was cut short; try again once "
              "it has let the table go");
  return Status::Error(code, db_path).With("a change to the table was cut short, and it cannot be undone while the "
                                           "table may not be written");
}

Status InspectJournal(FileSystem* fs, const std::string& db_path, const std::string& journal_path, File* held,
                      JournalReport* out) {
  *out = JournalReport();
  std::unique_ptr<File> hold;
  PX_RETURN_IF_ERROR(Hold(fs, db_path, &held, &hold));
  std::vector<uint8_t> j;
  PX_RETURN_IF_ERROR(ReadJournal(fs, journal_path, OpenMode::kRead, &j));
  size_t content = 0;
  Parsed p;
  out->intact = Intact(j, &content) && Parse(j, content, &p);
  if (!out->intact) return Status::OK();
  JournalFiles files;
  PX_RETURN_IF_ERROR(OpenFiles(fs, db_path, held, p, &files));
  Verdict v;
  PX_RETURN_IF_ERROR(Judge(p, files.files, &v));
  out->would_undo = v.fine;
  out->why = v.why;
  for (size_t i = 0; i < p.names.size(); ++i) {
    std::string line = p.names[i] + ": " + std::to_string(v.now[i]) + " bytes, " + std::to_string(p.sizes[i]) +
                       " before the change";
    if (p.layout < 3) {
      out->lines.push_back(line + " (a journal of an earlier layout, which holds nothing to check the files by)");
      continue;
    }
    line += ", " + std::to_string(p.least[i]) + " to " + std::to_string(p.most[i]) + " while it ran; of the " +
            "pieces (512 bytes or less) it saved, " + std::to_string(v.new_pieces[i]) + " hold what the change " +
            "wrote, " + std::to_string(v.old_pieces[i]) + " still what they held before it, " +
            std::to_string(v.other_pieces[i]) + " neither";
    out->lines.push_back(line);
  }
  return Status::OK();
}

Status SettleKeptJournal(FileSystem* fs, const std::string& db_path, KeptJournalAction action) {
  std::unique_ptr<File> hold;
  PX_RETURN_IF_ERROR(fs->Open(db_path, OpenMode::kExclusive, &hold));
  const std::string kept = KeptJournalPath(db_path);
  if (!fs->FileExists(kept)) return Status::Error(ErrorCode::kNotFound, "no kept undo journal").With(kept);
  if (action == KeptJournalAction::kApply) {
    std::vector<uint8_t> j;
    PX_RETURN_IF_ERROR(ReadJournal(fs, kept, OpenMode::kExclusive, &j));
    size_t content = 0;
    Parsed p;
    if (!Intact(j, &content) || !Parse(j, content, &p))
      return Status::Error(ErrorCode::kCorruptHeader, "the kept undo journal is damaged; it can only be discarded")
          .With(kept);
    JournalFiles files;
    PX_RETURN_IF_ERROR(OpenFiles(fs, db_path, hold.get(), p, &files));
    PX_RETURN_IF_ERROR(WriteBack(p, files.files));
  }
  PX_RETURN_IF_ERROR(fs->Remove(kept));
  return fs->SyncDir(FolderOf(db_path));
}

void DescribeJournals(FileSystem* fs, const std::string& db_path, std::vector<std::string>* problems) {
  const std::string kept = KeptJournalPath(db_path), journal = JournalPath(db_path);
  const bool has_kept = fs->FileExists(kept), has_journal = fs->FileExists(journal);
  if (!has_kept && !has_journal) return;
  std::unique_ptr<File> hold;
  const bool held = fs->Open(db_path, OpenMode::kExclusive, &hold).ok();
  if (has_kept) {
    problems->push_back(kept + ": a change cut short was not undone, because another program changed the table "
                               "since; settle it with pxtool journal --apply or --discard");
    JournalReport r;
    if (held && InspectJournal(fs, db_path, kept, hold.get(), &r).ok())
      for (const std::string& line : r.lines) problems->push_back(kept + ": " + line);
  }
  if (!has_journal) return;
  JournalReport r;
  if (!held) {
    if (JournalIsHot(fs, db_path))
      problems->push_back(journal + ": another program holds the table while a change is under way or was cut short");
    return;
  }
  if (!InspectJournal(fs, db_path, journal, hold.get(), &r).ok() || !r.intact) return;
  if (r.would_undo)
    problems->push_back(journal + ": a change was cut short; opening the table undoes it");
  else
    problems->push_back(journal + ": a change was cut short, and the files were changed since (" + r.why +
                        "); opening the table keeps the journal aside and refuses");
}

}  // namespace paradox
