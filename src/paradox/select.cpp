#include "paradox/select.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace paradox {

namespace {

struct SortKey {
  uint16_t offset;
  uint16_t size;
  const uint8_t* map;  // byte map applied before comparing, or null
  bool descending;
};

// The stored forms of every orderable type compare correctly byte by byte
// (numbers and dates are big-endian with the sign bit flipped; empty values
// are all zero bytes and so come first; text is zero-padded).
int CompareKey(const SortKey& k, const uint8_t* a, const uint8_t* b) {
  a += k.offset;
  b += k.offset;
  int c = 0;
  if (k.map == nullptr) {
    c = std::memcmp(a, b, k.size);
  } else {
    for (uint16_t i = 0; i < k.size && c == 0; ++i) c = int(k.map[a[i]]) - int(k.map[b[i]]);
  }
  return k.descending ? -c : c;
}

// The first eight bytes of the row's key as the keys compare them, as a
// big-endian number; shorter keys are padded with zeros.
uint64_t KeyPrefix(const std::vector<SortKey>& keys, const uint8_t* row) {
  uint64_t v = 0;
  int have = 0;
  for (const SortKey& k : keys) {
    for (uint16_t i = 0; i < k.size && have < 8; ++i, ++have) {
      uint8_t b = row[k.offset + i];
      if (k.map != nullptr) b = k.map[b];
      if (k.descending) b = static_cast<uint8_t>(~b);
      v = (v << 8) | b;
    }
    if (have == 8) break;
  }
  return v << (8 * (8 - have));
}

}  // namespace

Status ResultSet::Run(FileSystem* fs, const Statement& st, std::unique_ptr<ResultSet>* out) {
  if (st.kind != Statement::Kind::kSelect) return Status::Error(ErrorCode::kNotSupported, "not a SELECT statement");
  std::unique_ptr<ResultSet> rs(new ResultSet);
  PX_RETURN_IF_ERROR(Table::Open(fs, st.table, OpenOptions(), &rs->table_));
  const Table& t = *rs->table_;
  PX_RETURN_IF_ERROR(t.CheckTextCodePage());

  if (st.columns.empty()) {
    for (size_t i = 0; i < t.fields().size(); ++i) rs->columns_.push_back(static_cast<int>(i));
  } else {
    for (const std::string& name : st.columns) {
      int f = t.FindField(name);
      if (f < 0) return Status::Error(ErrorCode::kFieldNotFound, name);
      rs->columns_.push_back(f);
    }
  }

  std::vector<SortKey> keys;
  for (const OrderTerm& term : st.order_by) {
    int f = t.FindField(term.field);
    if (f < 0) return Status::Error(ErrorCode::kFieldNotFound, term.field);
    const Field& field = t.fields()[static_cast<size_t>(f)];
    if (IsBlobType(field.type))
      return Status::Error(ErrorCode::kNotSupported, "cannot order by blob field " + term.field);
    const uint8_t* map = field.type == FieldType::kAlpha ? t.to1251_map() : nullptr;
    keys.push_back(SortKey{field.offset, field.size, map, term.descending});
  }

  const size_t rsize = t.header().record_size;
  try {
    // The header's count is bounded by the blocks in use, so this reserve
    // cannot exceed what the file itself could hold.
    rs->records_.reserve(static_cast<size_t>(t.record_count()) * rsize);
    std::unique_ptr<Cursor> c = t.NewCursor();
    for (; c->Valid(); c->Next()) rs->records_.insert(rs->records_.end(), c->record(), c->record() + rsize);
    PX_RETURN_IF_ERROR(c->status());
    size_t n = rs->records_.size() / rsize;
    rs->order_.resize(n);
    for (size_t i = 0; i < n; ++i) rs->order_[i] = static_cast<uint32_t>(i);
  } catch (const std::bad_alloc&) {
    return Status::Error(ErrorCode::kOutOfMemory, st.table);
  }

  if (!keys.empty()) {
    // Sort on the first eight bytes of each row's key, comparing whole keys
    // only where those are equal, and the row number last: the same order a
    // stable sort on the whole keys would give, at a fraction of the cost.
    const uint8_t* base = rs->records_.data();
    size_t n = rs->order_.size();
    std::vector<std::pair<uint64_t, uint32_t>> sorted(n);
    for (size_t i = 0; i < n; ++i) sorted[i] = {KeyPrefix(keys, base + i * rsize), static_cast<uint32_t>(i)};
    std::sort(sorted.begin(), sorted.end(), [&](const auto& x, const auto& y) {
      if (x.first != y.first) return x.first < y.first;
      const uint8_t* a = base + static_cast<size_t>(x.second) * rsize;
      const uint8_t* b = base + static_cast<size_t>(y.second) * rsize;
      for (const SortKey& k : keys) {
        int c = CompareKey(k, a, b);
        if (c != 0) return c < 0;
      }
      return x.second < y.second;
    });
    for (size_t i = 0; i < n; ++i) rs->order_[i] = sorted[i].second;
  }
  *out = std::move(rs);
  return Status::OK();
}

}  // namespace paradox
