// The secondary indexes an editor keeps exact: opening and checking each
// pair of files, the map from the table's rows to their entries, and the
// removal of the entries of deleted rows.
#include <algorithm>
#include <cstring>
#include <map>

#include "paradox/format/ascii.h"
#include "paradox/format/bytes.h"
#include "paradox/format/key_order.h"
#include "paradox/store/file_reads.h"
#include "paradox/store/table_editor.h"

namespace paradox {

// Opens and checks one secondary index: its data file must be the kind of
// file it is named as, list the indexed fields followed by the table's key
// fields and a block hint, carry the table's structure stamp and hold one
// entry per row; its index must be that file's primary index (it is
// rebuilt later when only its entries are out of date).
Status TableEditor::OpenSecondary(const std::string& dir, const std::string& x_name, const std::string& y_name) {
  auto s = std::make_unique<Secondary>();
  s->x_name = x_name;
  s->y_name = y_name;
  const std::string xp = JoinPath(dir, x_name), yp = JoinPath(dir, y_name);
  auto refuse = [&](const std::string& name, const std::string& why) { return Refuse(db_path_, name + ": " + why); };
  PX_RETURN_IF_ERROR(fs_->Open(xp, OpenMode::kExclusive, &s->x_file));
  PX_RETURN_IF_ERROR(fs_->Open(yp, OpenMode::kExclusive, &s->y_file));
  const bool composite = LowerAscii(x_name.substr(x_name.rfind('.') + 2, 1)) == "g";

  uint64_t size = 0;
  std::vector<uint8_t> head;
  PX_RETURN_IF_ERROR(ReadHead(s->x_file.get(), &head, &size));
  TableHeader xh;
  Status st = ParseHeader(head, size, &xh);
  if (!st.ok()) return refuse(x_name, "its header cannot be read (" + st.ToString() + ")");
  const FileType xt = xh.file_type;
  bool kind = composite ? (xt == FileType::kCompositeData || xt == FileType::kCompositeDataInc)
                        : (xt == FileType::kSecondaryData || xt == FileType::kSecondaryDataInc);
  if (!kind)
    return refuse(x_name, "its file type " + std::to_string(int(xt)) + " is not that of " +
                              (composite ? "an .XGn" : "an .Xnn") + " file");
  if (xh.encrypted) return Status::Error(ErrorCode::kEncrypted, xp);
  if (xh.write_protected) return Status::Error(ErrorCode::kReadOnly, xp).With("the index is write protected");
  if (xh.rebuild_flagged) return refuse(x_name, "it is marked as needing a rebuild");
  const TableHeader& th = db_.header();
  if (xh.num_fields < th.primary_key_fields + 2u || xh.primary_key_fields + 1u != xh.num_fields)
    return refuse(x_name, "its fields are not the indexed fields, the table's key and a block hint");
  const size_t nsec = xh.num_fields - 1u - th.primary_key_fields;
  for (size_t i = 0; i < th.primary_key_fields; ++i) {
    const Field& a = xh.fields[nsec + i];
    const Field& b = th.fields[i];
    if (a.type != b.type || a.declared != b.declared || a.size != b.size)
      return refuse(x_name, "its fields do not end with the table's key fields");
  }
  if (xh.fields.back().type != FieldType::kShort)
    return refuse(x_name, "its last field (the block hint) is not a Short");
  if (head[hdr::kStructureStamp] != db_.header_bytes()[hdr::kStructureStamp])
    return refuse(x_name, "its structure stamp (0x2E) is not the table's");
  if (xh.num_records != th.num_records)
    return refuse(x_name, "it holds " + std::to_string(xh.num_records) + " entries for " +
                              std::to_string(th.num_records) + " rows");
  head.resize(xh.header_size);
  PX_RETURN_IF_ERROR(s->x.Load(s->x_file.get(), xp, xh, head));
  PX_RETURN_IF_ERROR(CheckChainKeyOrder(s->x, true));
  s->key_at = xh.fields[nsec].offset;

  std::vector<uint8_t> ybytes;
  PX_RETURN_IF_ERROR(ReadWhole(s->y_file.get(), &ybytes));
  TableHeader yh;
  st = ParseHeader(ybytes, ybytes.size(), &yh);
  if (!st.ok()) return refuse(y_name, "its header cannot be read (" + st.ToString() + ")");
  const FileType yt = composite ? FileType::kCompositeIndex : FileType::kSecondaryIndex;
  if (yh.file_type != yt)
    return refuse(y_name, "its file type " + std::to_string(int(yh.file_type)) + " is not that of " +
                              (composite ? "a .YGn" : "a .Ynn") + " file");
  if (yh.encrypted) return Status::Error(ErrorCode::kEncrypted, yp);
  if (yh.write_protected) return Status::Error(ErrorCode::kReadOnly, yp).With("the index is write protected");
  bool same_keys = yh.num_fields == xh.primary_key_fields && yh.record_size == s->x.key_size() + 6u;
  for (uint16_t i = 0; same_keys && i < yh.num_fields; ++i)
    same_keys = yh.fields[i].type == xh.fields[i].type && yh.fields[i].declared == xh.fields[i].declared;
  if (!same_keys) return refuse(y_name, "its keys are not those of " + x_name);
  s->y.Init(s->y_file.get(), yp, y_name, yt, std::move(ybytes));
  std::string why;
  s->y_exact = s->y.Map(s->x, &why);
  secondary_.push_back(std::move(s));
  return Status::OK();
}

// Notes which block of each secondary index holds each row's entry, and
// makes sure that every index lists exactly the table's rows, each once.
Status TableEditor::MapSecondaryRows() {
  if (secondary_.empty()) return Status::OK();
  const size_t k = secondary_.size();
  const uint16_t ks = db_.key_size();
  const uint32_t n = db_.header().num_records;
  key_bytes_.assign(size_t(n) * ks, 0);  // never grows: the map's keys point into it
  row_of_key_.clear();
  row_of_key_.reserve(n);
  entry_block_.assign(size_t(n) * k, 0);
  uint32_t rows = 0;
  // Blocks come from each chain's window, read in large runs.
  const uint8_t* block = nullptr;
  for (size_t i = 0; i < k; ++i) {
    const Secondary& s = *secondary_[i];
    const uint32_t rs = s.x.header().record_size;
    for (uint16_t b = s.x.header().first_block; b != 0; b = s.x.next(b)) {
      if (s.x.count(b) == 0) continue;
      PX_RETURN_IF_ERROR(s.x.Block(b, &block));
      for (uint32_t slot = 0; slot < s.x.count(b); ++slot) {
        const uint8_t* key = block + kBlockHeaderSize + size_t(slot) * rs + s.key_at;
        auto it = row_of_key_.find(std::string_view(reinterpret_cast<const char*>(key), ks));
        uint32_t row = 0;
        if (it != row_of_key_.end()) {
          row = it->second;
        } else {
          if (rows == n) return Refuse(db_path_, s.x_name + ": it lists rows the table does not have");
          uint8_t* kept = &key_bytes_[size_t(rows) * ks];
          std::memcpy(kept, key, ks);
          row = rows++;
          row_of_key_.emplace(std::string_view(reinterpret_cast<const char*>(kept), ks), row);
        }
        uint16_t& at = entry_block_[size_t(row) * k + i];
        if (at != 0) return Refuse(db_path_, s.x_name + ": it lists a row more than once");
        at = b;
      }
    }
  }
  // Each index holds one entry per row and none twice; what is left is that
  // the rows they list are the table's.
  std::vector<uint8_t> seen(rows, 0);
  const uint32_t rs = db_.header().record_size;
  for (uint16_t b = db_.header().first_block; b != 0; b = db_.next(b)) {
    if (db_.count(b) == 0) continue;
    PX_RETURN_IF_ERROR(db_.Block(b, &block));
    for (uint32_t slot = 0; slot < db_.count(b); ++slot) {
      const uint8_t* key = block + kBlockHeaderSize + size_t(slot) * rs;
      auto it = row_of_key_.find(std::string_view(reinterpret_cast<const char*>(key), ks));
      if (it == row_of_key_.end() || seen[it->second])
        return Refuse(db_path_, "its secondary indexes do not list the same rows as the table");
      seen[it->second] = 1;
    }
  }
  return Status::OK();
}

std::vector<std::string> TableEditor::secondary_indexes() const {
  std::vector<std::string> names;
  for (const auto& s : secondary_) names.push_back(s->x_name);
  return names;
}

// Plans the removal of the entries of the rows whose table keys are `keys`
// from secondary index `i`. An entry is found by the table's key in the
// block the row map names (the block hint inside the entry may be stale and
// is not used). Rows that moved into the table's head block in `db_change`
// get their entries' block hints set to it.
Status TableEditor::DeleteSecondary(size_t i, const std::vector<std::string_view>& keys,
                                    const RecordChain::Change& db_change, RecordChain::Change* change) {
  Secondary& s = *secondary_[i];
  const size_t k = secondary_.size();
  const uint16_t ks = db_.key_size();
  const uint32_t rs = s.x.header().record_size;
  auto lost = [&](const std::string& why) { return Status::Error(ErrorCode::kCorruptIndex, why).With(s.x.path()); };

  // Groups keys by the block that holds their entries; each_entry then
  // calls `visit` with every entry of a group's keys, all of which must be
  // found.
  using Groups = std::map<uint16_t, std::vector<std::string_view>>;
  auto group = [&](const std::vector<std::string_view>& ks_list, Groups* g) -> Status {
    for (std::string_view key : ks_list) {
      auto it = row_of_key_.find(key);
      if (it == row_of_key_.end()) return lost("no entry for a row of the table");
      (*g)[entry_block_[size_t(it->second) * k + i]].push_back(key);
    }
    return Status::OK();
  };
  auto each_entry = [&](Groups& g, auto visit) -> Status {
    for (auto& [b, list] : g) {
      std::sort(list.begin(), list.end());
      std::vector<uint8_t>* blk = nullptr;
      PX_RETURN_IF_ERROR(s.x.Image(b, change, &blk));
      size_t found = 0;
      for (uint32_t slot = 0; slot < s.x.count(b); ++slot) {
        uint8_t* rec = blk->data() + kBlockHeaderSize + size_t(slot) * rs;
        std::string_view key(reinterpret_cast<const char*>(rec + s.key_at), ks);
        if (std::binary_search(list.begin(), list.end(), key)) {
          visit(b, slot, rec);
          ++found;
        }
      }
      if (found != list.size()) return lost("block " + std::to_string(b) + " lacks entries it should hold");
    }
    return Status::OK();
  };

  Groups victims;
  PX_RETURN_IF_ERROR(group(keys, &victims));
  std::vector<RowPos> at;
  PX_RETURN_IF_ERROR(each_entry(victims, [&](uint16_t b, uint32_t slot, uint8_t*) { at.push_back(RowPos{b, slot}); }));
  PX_RETURN_IF_ERROR(s.x.Remove(at, change));

  // Entries that moved into the index's own head block are found there now.
  const uint16_t x_head = s.x.header().first_block;
  if (change->moved_from != 0) {
    std::vector<uint8_t>* blk = nullptr;
    PX_RETURN_IF_ERROR(s.x.Image(x_head, change, &blk));
    for (uint32_t slot = 0; slot < s.x.count(x_head); ++slot) {
      const uint8_t* rec = blk->data() + kBlockHeaderSize + size_t(slot) * rs;
      auto it = row_of_key_.find(std::string_view(reinterpret_cast<const char*>(rec + s.key_at), ks));
      if (it == row_of_key_.end()) return lost("an entry for a row the table does not have");
      entry_block_[size_t(it->second) * k + i] = x_head;
    }
  }

  // Rows that moved into the table's head block: their entries say so.
  if (db_change.moved_from != 0) {
    const uint16_t head = db_.header().first_block;
    const std::vector<uint8_t>& dblk = db_change.blocks.at(head);
    std::vector<std::string_view> moved;
    for (uint32_t slot = 0; slot < db_.count(head); ++slot)
      moved.emplace_back(reinterpret_cast<const char*>(dblk.data() + kBlockHeaderSize + size_t(slot) * db_.header().record_size), ks);
    Groups g;
    PX_RETURN_IF_ERROR(group(moved, &g));
    PX_RETURN_IF_ERROR(
        each_entry(g, [&](uint16_t, uint32_t, uint8_t* rec) { EncodeFlippedInt(rec + rs - 2, head, 2); }));
  }
  return Status::OK();
}

}  // namespace paradox
