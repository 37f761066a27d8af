// Rebuilding a table's indexes from their data files (see check.h), after
// the checker has found which are missing or wrong.
#include <memory>

#include "paradox/check.h"
#include "paradox/format/bytes.h"
#include "paradox/format/index_builder.h"
#include "paradox/journal.h"
#include "paradox/store/checker.h"
#include "paradox/store/pending_groups.h"
#include "paradox/store/table_files.h"

namespace paradox {

namespace {

using check::BaseName;
using check::N;
using check::TableFile;
using check::ChainBlock;


// One index file to write.
struct Rebuild {
  std::string path;
  bool exists = false;
  std::vector<uint8_t> content;
  uint8_t stamp = 0;  // the stamp that ties it to its data file
  uint32_t entries = 0;
};

// Builds the index of `data` (the .DB or an .Xnn) into `out`, keeping the
// header of `old` when it is a usable index of the same keys.
Status BuildIndex(TableFile& data, TableFile* old, uint8_t file_type, const std::string& path, Rebuild* out) {
  std::vector<IndexEntry> level1;
  for (const ChainBlock& cb : data.chain) {
    if (cb.count == 0) continue;
    const uint8_t* p = nullptr;
    PX_RETURN_IF_ERROR(data.io.Block(cb.block, &p));
    level1.push_back({std::vector<uint8_t>(p + kBlockHeaderSize, p + kBlockHeaderSize + data.key_size), cb.block, cb.count});
  }
  const uint8_t change_count = data.byte(hdr::kChangeCount1);
  const uint8_t sort_order = data.byte(hdr::kSortOrder);

  std::vector<uint8_t> tpl;
  if (old != nullptr && old->usable && old->keys_match) {
    tpl.assign(old->io.head().begin(), old->io.head().begin() + old->h.header_size);
  } else {
    IndexHeaderParams p;
    p.version = data.h.version;
    p.block_size = data.h.block_size;
    p.sort_order = sort_order;
    p.table_change_count = change_count;
    p.name = BaseName(path);
    p.key_fields.assign(data.h.fields.begin(), data.h.fields.begin() + data.h.primary_key_fields);
    PX_RETURN_IF_ERROR(MakePrimaryIndexHeader(p, &tpl));
  }
  tpl[hdr::kFileType] = static_cast<uint8_t>(FileType::kPrimaryIndex);
  const EmptyIndex empty = data.chain.empty() ? EmptyIndex::kNoBlocks : EmptyIndex::kOneEmptyBlock;
  Status st = BuildPrimaryIndex(tpl, level1, &out->content, empty);
  if (!st.ok()) return st.With(path);
  std::vector<uint8_t>& c = out->content;
  c[hdr::kFileType] = file_type;
  c[hdr::kSortOrder] = sort_order;
  c[hdr::kModifiedFlags1] = c[hdr::kModifiedFlags2] = c[hdr::kIndexUpdateRequired] = 0;
  if (c[hdr::kFileVersion] >= 5) {
    const size_t used = hdr::kFixedEnd + 2u * data.h.primary_key_fields + 4 + (c[hdr::kFileVersion] >= 12 ? 261 : 79);
    StoreLE16(&c[hdr::kRealHeaderSize], static_cast<uint16_t>(used));
  }
  out->stamp = IndexStamp(change_count, sort_order);  // WriteIndex puts it in last
  out->path = path;
  out->exists = old != nullptr;
  out->entries = LoadLE32(&c[hdr::kNumRecords]);
  return Status::OK();
}

// Writes an index so that a crash leaves it either complete or marked out
// of date: first the old file's stamp is spoilt, then the new content goes
// in with a spoilt stamp, and only when all of it is on disk does the right
// stamp follow.
Status WriteIndex(FileSystem* fs, const Rebuild& r) {
  const uint8_t stale = static_cast<uint8_t>(r.stamp == 0 ? 1 : r.stamp - 1);
  std::unique_ptr<File> f;
  if (r.exists) {
    PX_RETURN_IF_ERROR(fs->Open(r.path, OpenMode::kExclusive, &f));
    uint64_t size = 0;
    PX_RETURN_IF_ERROR(f->Size(&size));
    if (size > hdr::kIndexStamp) {
      PX_RETURN_IF_ERROR(f->Write(hdr::kIndexStamp, &stale, 1));
      PX_RETURN_IF_ERROR(f->Sync());
    }
  } else {
    PX_RETURN_IF_ERROR(fs->Open(r.path, OpenMode::kCreate, &f));
    std::string dir, name;
    SplitPath(r.path, &dir, &name);
    PX_RETURN_IF_ERROR(fs->SyncDir(dir));
  }
  std::vector<uint8_t> content = r.content;
  content[hdr::kIndexStamp] = stale;
  PX_RETURN_IF_ERROR(f->Write(0, content.data(), content.size()));
  PX_RETURN_IF_ERROR(f->Truncate(content.size()));
  PX_RETURN_IF_ERROR(f->Sync());
  PX_RETURN_IF_ERROR(f->Write(hdr::kIndexStamp, &r.stamp, 1));
  return f->Sync();
}

}  // namespace

Status RepairIndexes(FileSystem* fs, const std::string& db_path, std::vector<std::string>* done) {
  MakeWayFor(db_path);
  std::unique_ptr<File> hold;
  PX_RETURN_IF_ERROR(fs->Open(db_path, OpenMode::kExclusive, &hold));
  // A change cut short is undone before anything is judged or rebuilt.
  bool undone = false;
  PX_RETURN_IF_ERROR(RecoverJournal(fs, db_path, hold.get(), &undone));
  if (undone) done->push_back(db_path + ": undid a change that was cut short");
  std::string dir;
  std::vector<TableFileName> files;
  PX_RETURN_IF_ERROR(ListTableFiles(fs, db_path, &dir, &files));
  PX_RETURN_IF_ERROR(CheckLockFiles(fs, db_path, dir, files));

  std::vector<std::string> problems;
  std::vector<Rebuild> plan;
  {
    check::TableChecker checker(fs, db_path, hold.get(), &problems);
    PX_RETURN_IF_ERROR(checker.Run());
    // Refuse when a data file is damaged; say what is wrong with it.
    auto refuse = [&](const TableFile& f) {
      Status st = Status::Error(ErrorCode::kCorruptBlock, f.name + " is damaged; its indexes are not rebuilt");
      const std::string prefix = f.name + ": ";
      int listed = 0;
      for (const std::string& p : problems)
        if (p.compare(0, prefix.size(), prefix) == 0 && listed++ < 5) st.With(p);
      return st;
    };
    TableFile& db = checker.db();
    if (!db.usable || !db.sound) return refuse(db);
    for (auto& s : checker.secondary())
      if (!s.x->usable || !s.x->sound) return refuse(*s.x);

    TableFile* px = checker.px();
    if (db.h.keyed() && (px == nullptr || !checker.exact(*px))) {
      Rebuild r;
      PX_RETURN_IF_ERROR(
          BuildIndex(db, px, static_cast<uint8_t>(FileType::kPrimaryIndex), px ? px->path : checker.px_path(), &r));
      plan.push_back(std::move(r));
    }
    for (auto& s : checker.secondary()) {
      if (s.y && checker.exact(*s.y)) continue;
      Rebuild r;
      TableFile& x = *s.x;
      PX_RETURN_IF_ERROR(x.io.Open(fs, x.path, nullptr));
      x.io.SetGeometry(x.h.header_size, x.h.block_size);
      PX_RETURN_IF_ERROR(BuildIndex(x, s.y.get(), s.y_type, s.y_path, &r));
      plan.push_back(std::move(r));
    }
    checker.CloseAll();
  }

  for (const Rebuild& r : plan) {
    PX_RETURN_IF_ERROR(WriteIndex(fs, r));
    done->push_back(BaseName(r.path) + ": " + (r.exists ? "rebuilt" : "created") + " with " + N(r.entries) +
                    " entries");
  }
  return Status::OK();
}

}  // namespace paradox
