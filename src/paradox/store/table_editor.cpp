#include "paradox/store/table_editor.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "paradox/format/bytes.h"
#include "paradox/journal.h"
#include "paradox/store/journal_write.h"
#include "paradox/format/key_order.h"
#include "paradox/store/file_reads.h"
#include "paradox/store/table_files.h"

namespace paradox {

Status TableEditor::Refuse(const std::string& path, const std::string& why) {
  return Status::Error(ErrorCode::kNotSupported, why).With(path);
}

// The data file as the editor shows it: the file's bytes with the gathered
// group laid over them. Only read.
class TableEditor::GroupView : public File {
 public:
  explicit GroupView(const TableEditor* e) : e_(e) {}
  Status Read(uint64_t offset, size_t n, uint8_t* out, size_t* got) override {
    PX_RETURN_IF_ERROR(e_->db_file_->Read(offset, n, out, got));
    e_->db_.Overlay(offset, *got, out);
    return Status::OK();
  }
  Status Size(uint64_t* size) override {
    if (e_->db_size_ != kUnknownSize) {
      *size = e_->db_size_;
      return Status::OK();
    }
    return e_->db_file_->Size(size);
  }
  Status Write(uint64_t, const uint8_t*, size_t) override { return Status::Error(ErrorCode::kReadOnly); }
  Status Truncate(uint64_t) override { return Status::Error(ErrorCode::kReadOnly); }
  Status Sync() override { return Status::OK(); }

 private:
  const TableEditor* e_;
};

TableEditor::TableEditor() : view_(std::make_unique<GroupView>(this)) {}

TableEditor::~TableEditor() {
  // A group not written is dropped: the files keep what they held before
  // it, as after a crash.
  RemovePendingGroup(this);
  if (journal_) {
    journal_.reset();
    // A cleared journal has nothing to undo; leave no file behind.
    if (state_ != State::kBroken && fs_->Remove(JournalPath(db_path_)).ok()) {
      std::string dir, name;
      SplitPath(db_path_, &dir, &name);
      (void)fs_->SyncDir(dir);
    }
  }
}

Status TableEditor::Open(FileSystem* fs, const std::string& db_path, std::unique_ptr<TableEditor>* out) {
  std::unique_ptr<TableEditor> e(new TableEditor);
  e->fs_ = fs;
  e->db_path_ = db_path;
  // The safe order: the table is held before its journal is looked at (a
  // journal beside a table that another program holds may be that
  // program's, at work), and a change cut short is undone before a byte of
  // the files is judged.
  std::vector<TableFileName> files;
  PX_RETURN_IF_ERROR(e->TakeTable(&files));
  bool undone = false;
  PX_RETURN_IF_ERROR(RecoverJournal(fs, db_path, e->db_file_.get(), &undone));
  TableHeader h;
  std::vector<uint8_t> head;
  PX_RETURN_IF_ERROR(e->ReadTableHeader(&h, &head));
  Pairs pairs;
  PX_RETURN_IF_ERROR(e->OpenOtherFiles(files, &pairs));
  PX_RETURN_IF_ERROR(e->LoadChains(h, head, pairs));
  PX_RETURN_IF_ERROR(e->MakeIndexesExact(h));
  PX_RETURN_IF_ERROR(e->OpenJournal());
  *out = std::move(e);
  return Status::OK();
}

Status TableEditor::TakeTable(std::vector<TableFileName>* files) {
  MakeWayFor(db_path_);
  PX_RETURN_IF_ERROR(fs_->Open(db_path_, OpenMode::kExclusive, &db_file_));
  SplitPath(db_path_, &dir_, &db_name_);
  PX_RETURN_IF_ERROR(ListTableFiles(fs_, db_path_, &dir_, files));
  // Another program's lock files, held open, mean the table is in use.
  return CheckLockFiles(fs_, db_path_, dir_, *files);
}

Status TableEditor::ReadTableHeader(TableHeader* h, std::vector<uint8_t>* head) {
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(ReadHead(db_file_.get(), head, &size));
  db_size_ = size;
  Status st = ParseHeader(*head, size, h);
  if (!st.ok()) return st.With(db_path_);
  if (h->file_type != FileType::kKeyedTable && h->file_type != FileType::kTable)
    return Status::Error(ErrorCode::kNotATable, db_path_);
  if (h->encrypted) return Status::Error(ErrorCode::kEncrypted, db_path_);
  if (h->write_protected) return Status::Error(ErrorCode::kReadOnly, db_path_).With("the table is write protected");
  if (h->rebuild_flagged) return Refuse(db_path_, "the table is marked as needing a rebuild");
  if (h->first_free_block != 0 && h->used_blocks == h->file_blocks)
    return Status::Error(ErrorCode::kCorruptHeader, "free list without free blocks").With(db_path_);
  if ((*head)[hdr::kRefIntegrity] != 0) return Refuse(db_path_, "the table takes part in referential integrity");
  head->resize(h->header_size);
  return Status::OK();
}

// The table's other files: those the engine keeps exact are opened for
// changing (the secondary indexes later, in pairs); the rest are held so no
// one changes them meanwhile.
Status TableEditor::OpenOtherFiles(const std::vector<TableFileName>& files, Pairs* pairs) {
  for (const TableFileName& f : files) {
    const std::string& n = f.name;
    const std::string path = JoinPath(dir_, n);
    switch (f.role) {
      case FileRole::kPrimaryIndex:
        if (!px_name_.empty()) return Refuse(db_path_, "two primary index files: " + px_name_ + " and " + n);
        px_name_ = n;
        break;
      case FileRole::kUnknownIndex:
        return Refuse(db_path_, n + " is an index file of a kind the engine does not know");
      case FileRole::kSecondary: {
        std::string number;
        const bool data = IsSecondaryData(n, &number);
        std::string& slot = data ? (*pairs)[number].first : (*pairs)[number].second;
        if (!slot.empty()) return Refuse(db_path_, "two files for one index: " + slot + " and " + n);
        slot = n;
        break;
      }
      case FileRole::kValidity: {
        std::unique_ptr<File> val;
        PX_RETURN_IF_ERROR(fs_->Open(path, OpenMode::kExclusive, &val));
        std::vector<uint8_t> vb;
        PX_RETURN_IF_ERROR(ReadWhole(val.get(), &vb));
        // Bytes 0x0D..0x10 give where referential-integrity rules start;
        // deleting rows could break such rules, so refuse.
        if (vb.size() >= 0x11 && LoadLE32(&vb[0x0D]) != 0)
          return Refuse(db_path_, "the table's validity file holds referential-integrity rules");
        held_.push_back(std::move(val));
        break;
      }
      case FileRole::kBlobs:
        // Blobs of deleted rows stay in the file as unreferenced space.
        PX_RETURN_IF_ERROR(fs_->Open(path, OpenMode::kExclusive, &mb_));
        break;
      case FileRole::kView:
      case FileRole::kFamily: {
        std::unique_ptr<File> other;
        PX_RETURN_IF_ERROR(fs_->Open(path, OpenMode::kExclusive, &other));
        held_.push_back(std::move(other));
        break;
      }
      case FileRole::kNone:
      case FileRole::kLock:
      case FileRole::kJournal:
        break;
    }
  }
  return Status::OK();
}

// The data file's chain and the indexes over it, each checked against the
// table; nothing is written yet.
Status TableEditor::LoadChains(const TableHeader& h, const std::vector<uint8_t>& head, const Pairs& pairs) {
  PX_RETURN_IF_ERROR(db_.Load(db_file_.get(), db_path_, h, head));
  // Records out of their key order: a table the engine does not understand.
  if (h.keyed()) PX_RETURN_IF_ERROR(CheckChainKeyOrder(db_, false));

  // Secondary indexes find a row's entry by the table's key, which an
  // unkeyed table does not have; and each half of an index needs the other.
  if (!pairs.empty() && !h.keyed())
    return Refuse(db_path_, "the table has secondary indexes but no key to match their entries to its rows");
  for (const auto& [number, p] : pairs) {
    if (p.first.empty()) return Refuse(db_path_, p.second + " is an index without its data file (.Xnn/.XGn)");
    if (p.second.empty()) return Refuse(db_path_, p.first + " is an index data file without its index (.Ynn/.YGn)");
    PX_RETURN_IF_ERROR(OpenSecondary(dir_, p.first, p.second));
  }

  if (h.keyed() && !px_name_.empty()) {
    std::string path = JoinPath(dir_, px_name_), why;
    PX_RETURN_IF_ERROR(fs_->Open(path, OpenMode::kExclusive, &px_file_));
    std::vector<uint8_t> bytes;
    PX_RETURN_IF_ERROR(ReadWhole(px_file_.get(), &bytes));
    px_.Init(px_file_.get(), path, px_name_, FileType::kPrimaryIndex, std::move(bytes));
    px_exact_ = px_.Map(db_, &why);
  }
  return MapSecondaryRows();
}

// Everything checks; only now is anything written. An index that is
// missing or not exact is rebuilt from its data file before any change.
Status TableEditor::MakeIndexesExact(const TableHeader& h) {
  bool px_created = false;
  if (h.keyed() && px_name_.empty()) {
    px_name_ = db_name_.substr(0, db_name_.rfind('.')) + ".PX";
    std::string path = JoinPath(dir_, px_name_);
    PX_RETURN_IF_ERROR(fs_->Open(path, OpenMode::kCreate, &px_file_));
    px_.Init(px_file_.get(), path, px_name_, FileType::kPrimaryIndex, {});
    px_created = true;
  }
  if (h.keyed() && !px_exact_) PX_RETURN_IF_ERROR(px_.Rebuild(db_));
  if (px_created) PX_RETURN_IF_ERROR(fs_->SyncDir(dir_));
  for (auto& s : secondary_)
    if (!s->y_exact) PX_RETURN_IF_ERROR(s->y.Rebuild(s->x));
  return Status::OK();
}

Status TableEditor::OpenJournal() {
  PX_RETURN_IF_ERROR(fs_->Open(JournalPath(db_path_), OpenMode::kCreate, &journal_));
  // The journal's entry in the folder is on disk before it protects anything.
  return fs_->SyncDir(dir_);
}

Status TableEditor::Delete(std::vector<RowPos> victims, AfterDelete* after) {
  if (state_ != State::kReady)
    return Status::Error(ErrorCode::kIoError, "an earlier change failed; reopen the table").With(db_path_);
  const RowPos first = victims.empty() ? RowPos{} : victims[0];
  std::sort(victims.begin(), victims.end());
  victims.erase(std::unique(victims.begin(), victims.end()), victims.end());
  for (const RowPos& v : victims)
    if (!db_.in_chain(v.block) || v.slot >= db_.count(v.block))
      return Status::Error(ErrorCode::kNotFound, "no record at block " + std::to_string(v.block) + " slot " +
                                                     std::to_string(v.slot)).With(db_path_);
  if (victims.empty()) return Status::OK();

  // The links change in place: should anything fail from here on, the
  // editor takes no further deletion (what it gathered before stays whole,
  // unless the deletion had taken blocks from it already).
  state_ = State::kStale;
  Planned plan;
  plan.xc.resize(secondary_.size());
  Status planned = PlanDeletion(victims, &plan);
  if (!planned.ok()) {
    bool took = plan.dbc.took_staged;
    for (const auto& c : plan.xc) took = took || c.took_staged;
    if (took) {
      state_ = State::kBroken;
      failure_ = Status(planned).With("the last " + std::to_string(group_rows_) + " deletions were not written");
    }
    return planned;
  }
  changed_.clear();
  for (const auto& [b, unused] : plan.dbc.blocks) changed_.push_back(b);
  if (after != nullptr) WhereAfter(first, plan.dbc, after);
  PX_RETURN_IF_ERROR(StageDeletion(&plan));
  group_rows_ += static_cast<uint32_t>(victims.size());
  AddPendingGroup(this);
  state_ = State::kReady;
  failure_ = Status::OK();
  return Status::OK();
}

// Plans the removal of `victims` from the data file and every index, in
// memory: the secondary indexes find their entries by the table's key of
// every victim, taken before the records go.
Status TableEditor::PlanDeletion(const std::vector<RowPos>& victims, Planned* plan) {
  const TableHeader& h = db_.header();
  PX_RETURN_IF_ERROR(db_.Approach(victims.back().block));
  const uint16_t ks = db_.key_size();
  if (!secondary_.empty()) {
    plan->victim_keys.reserve(victims.size() * ks);
    for (const RowPos& v : victims) {
      std::vector<uint8_t>* blk = nullptr;
      PX_RETURN_IF_ERROR(db_.Image(v.block, &plan->dbc, &blk));
      plan->victim_keys.append(
          reinterpret_cast<const char*>(blk->data() + kBlockHeaderSize + size_t(v.slot) * h.record_size), ks);
    }
  }
  PX_RETURN_IF_ERROR(db_.Remove(victims, &plan->dbc));
  if (h.keyed()) PX_RETURN_IF_ERROR(px_.Update(db_, plan->dbc));
  const std::string_view all(plan->victim_keys);
  for (size_t v = 0; v < all.size(); v += ks) plan->keys.push_back(all.substr(v, ks));
  for (size_t i = 0; i < secondary_.size(); ++i) {
    PX_RETURN_IF_ERROR(DeleteSecondary(i, plan->keys, plan->dbc, &plan->xc[i]));
    PX_RETURN_IF_ERROR(secondary_[i]->y.Update(secondary_[i]->x, plan->xc[i]));
  }
  return Status::OK();
}

// Where a walk on the first victim goes on (exact for a single victim).
void TableEditor::WhereAfter(RowPos first, const RecordChain::Change& dbc, AfterDelete* after) const {
  const uint16_t first_block = db_.header().first_block;
  *after = AfterDelete();
  after->moved_into_head = dbc.moved_from;
  uint16_t b = first.block;
  uint16_t nb = 0;
  if (dbc.moved_from != 0 && (b == first_block || b == dbc.moved_from)) {
    uint32_t slot = b == dbc.moved_from ? first.slot : 0;
    if (slot < db_.count(first_block)) {
      after->has_next = true;
      after->next = RowPos{first_block, slot};
    } else {
      nb = db_.next(first_block);
    }
  } else if (db_.in_chain(b)) {
    if (first.slot < db_.count(b)) {
      after->has_next = true;
      after->next = RowPos{b, first.slot};
    } else {
      nb = db_.next(b);
    }
  } else if (db_.in_chain(db_.prev(b))) {
    nb = db_.next(db_.prev(b));
  }
  if (!after->has_next && nb != 0 && db_.count(nb) > 0) {
    after->has_next = true;
    after->next = RowPos{nb, 0};
  }
  if (!after->has_next && dbc.records > 0) {
    after->has_prev = true;
    after->prev = RowPos{dbc.last_block, static_cast<uint32_t>(db_.count(dbc.last_block) - 1)};
  }
}

// Planned whole: the deletion joins the group. An index that fails to take
// its part leaves a group that cannot be written whole.
Status TableEditor::StageDeletion(Planned* plan) {
  db_.Stage(std::move(plan->dbc));
  Status staged = db_.header().keyed() ? px_.Stage(db_) : Status::OK();
  for (size_t i = 0; i < secondary_.size() && staged.ok(); ++i) {
    secondary_[i]->x.Stage(std::move(plan->xc[i]));
    staged = secondary_[i]->y.Stage(secondary_[i]->x);
  }
  if (!staged.ok()) {
    state_ = State::kBroken;
    failure_ = staged;
    return staged;
  }
  // The deleted rows' keys stay in key_bytes_, unused.
  for (std::string_view key : plan->keys) row_of_key_.erase(key);
  return Status::OK();
}

Status TableEditor::failure() const {
  // A deletion stopped while planning (the message is made here, not for
  // every deletion).
  if (state_ == State::kStale)
    return Status::Error(ErrorCode::kIoError, "a deletion could not be planned; reopen the table").With(db_path_);
  return failure_;
}

size_t TableEditor::group_bytes() const {
  size_t n = db_.staged_blocks() * db_.header().block_size;
  for (const auto& s : secondary_) n += s->x.staged_blocks() * s->x.header().block_size;
  return n;
}

Status TableEditor::Flush() {
  if (state_ == State::kBroken) return failure_;
  const bool keyed = db_.header().keyed();
  bool any = db_.staged() || (keyed && px_.staged());
  for (const auto& s : secondary_) any = any || s->x.staged() || s->y.staged();
  if (!any) {
    RemovePendingGroup(this);
    group_rows_ = 0;
    return Status::OK();
  }
  // Blocks first, headers last, the table's header the very last: the
  // files disagree only while these writes go out.
  std::vector<ChangeFile> files = {{db_name_, db_file_.get(), &db_size_}};
  std::vector<int64_t> truncate = {-1};
  std::vector<FileWrite> writes, headers;
  std::vector<FileWrite> table_header;
  db_.AddWrites(0, &writes, &table_header);
  for (auto& s : secondary_) {
    const int xf = static_cast<int>(files.size());
    files.push_back({s->x_name, s->x_file.get(), &s->x_size});
    files.push_back({s->y_name, s->y_file.get(), &s->y_size});
    truncate.push_back(-1);
    truncate.push_back(-1);
    s->x.AddWrites(xf, &writes, &headers);
    s->y.AddWrites(xf + 1, &writes, &truncate.back());
  }
  if (keyed) {
    files.push_back({px_name_, px_file_.get(), &px_size_});
    truncate.push_back(-1);
    px_.AddWrites(static_cast<int>(files.size()) - 1, &writes, &truncate.back());
  }
  for (FileWrite& w : headers) writes.push_back(std::move(w));
  for (FileWrite& w : table_header) writes.push_back(std::move(w));

  RemovePendingGroup(this);
  Status st = ApplyChange(journal_.get(), files, writes, truncate, &journal_buffer_);
  if (!st.ok()) {
    state_ = State::kBroken;
    failure_ = st.With(db_path_).With("the last " + std::to_string(group_rows_) + " deletions were not written");
    return failure_;
  }
  db_.Flushed();
  if (keyed) px_.Flushed();
  for (auto& s : secondary_) {
    s->x.Flushed();
    s->y.Flushed();
  }
  group_rows_ = 0;
  if (on_flushed_) on_flushed_();
  return Status::OK();
}

Status FollowEditor(const TableEditor& editor, Table* table, Cursor* cursor) {
  PX_RETURN_IF_ERROR(table->ReadThrough(editor.data_file(), editor.blob_file(), editor.header(), editor.data_size()));
  if (cursor != nullptr) cursor->Refresh(editor.changed_blocks(), [&](uint16_t b) { return editor.BlockImage(b); });
  return Status::OK();
}

}  // namespace paradox
