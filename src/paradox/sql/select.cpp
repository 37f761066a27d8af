#include "paradox/select.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace paradox {

namespace {

struct SortKey {
  uint16_t offset;
  uint16_t size;
  bool text;           // Alpha: the text up to its first zero byte
  const uint8_t* map;  // byte map applied before comparing, or null
  bool descending;
};

size_t TextLength(const uint8_t* p, size_t n) {
  const void* zero = std::memchr(p, 0, n);
  return zero == nullptr ? n : static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
}

// The stored forms of every orderable type compare correctly byte by byte
// (numbers and dates are big-endian with the sign bit flipped; empty values
// are all zero bytes and so come first); text is compared up to its end.
int CompareKey(const SortKey& k, const uint8_t* a, const uint8_t* b) {
  a += k.offset;
  b += k.offset;
  int c = 0;
  size_t n = k.size, la = n, lb = n;
  if (k.text) {
    la = TextLength(a, n);
    lb = TextLength(b, n);
    n = std::min(la, lb);
  }
  if (k.map == nullptr) {
    c = std::memcmp(a, b, n);
  } else {
    for (size_t i = 0; i < n && c == 0; ++i) c = int(k.map[a[i]]) - int(k.map[b[i]]);
  }
  if (c == 0) c = la < lb ? -1 : la > lb ? 1 : 0;
  return k.descending ? -c : c;
}

// The first eight bytes of the row's key as the keys compare them, as a
// big-endian number; shorter keys are padded with zeros, as is text after
// its end.
uint64_t KeyPrefix(const std::vector<SortKey>& keys, const uint8_t* row) {
  uint64_t v = 0;
  int have = 0;
  for (const SortKey& k : keys) {
    bool ended = false;
    for (uint16_t i = 0; i < k.size && have < 8; ++i, ++have) {
      uint8_t b = row[k.offset + i];
      ended = ended || (k.text && b == 0);
      if (ended) b = 0;
      else if (k.map != nullptr) b = k.map[b];
      if (k.descending) b = static_cast<uint8_t>(~b);
      v = (v << 8) | b;
    }
    if (have == 8) break;
  }
  return v << (8 * (8 - have));
}

int HighestBit(uint64_t v) {
  int b = 63;
  while ((v >> b) == 0) --b;
  return b;
}

// Sorts `v` by the bits above `low_bits`, keeping the given order among
// equal ones (least significant digit first, 11 bits a pass, passes whose
// digit is the same everywhere skipped).
void RadixSort(std::vector<uint64_t>* v, int low_bits) {
  constexpr int kDigit = 11;
  constexpr size_t kBuckets = size_t(1) << kDigit;
  const size_t n = v->size();
  std::vector<uint64_t> tmp(n);
  std::vector<size_t> count(kBuckets);
  for (int shift = low_bits; shift < 64; shift += kDigit) {
    std::fill(count.begin(), count.end(), 0);
    for (uint64_t x : *v) ++count[(x >> shift) & (kBuckets - 1)];
    if (count[((*v)[0] >> shift) & (kBuckets - 1)] == n) continue;
    size_t sum = 0;
    for (size_t& c : count) {
      const size_t here = c;
      c = sum;
      sum += here;
    }
    for (uint64_t x : *v) tmp[count[(x >> shift) & (kBuckets - 1)]++] = x;
    v->swap(tmp);
  }
}

// The columns the statement names, every field where it names none.
Status PickColumns(const Table& t, const Statement& st, std::vector<int>* columns) {
  if (st.columns.empty()) {
    for (size_t i = 0; i < t.fields().size(); ++i) columns->push_back(static_cast<int>(i));
    return Status::OK();
  }
  for (const std::string& name : st.columns) {
    int f = t.FindField(name);
    if (f < 0) return Status::Error(ErrorCode::kFieldNotFound, name);
    columns->push_back(f);
  }
  return Status::OK();
}

// The statement's order as keys over the stored records; `*key_bytes`
// gets their stored size together.
Status PickSortKeys(const Table& t, const Statement& st, std::vector<SortKey>* keys, size_t* key_bytes) {
  for (const OrderTerm& term : st.order_by) {
    int f = t.FindField(term.field);
    if (f < 0) return Status::Error(ErrorCode::kFieldNotFound, term.field);
    const Field& field = t.fields()[static_cast<size_t>(f)];
    if (IsBlobType(field.type))
      return Status::Error(ErrorCode::kNotSupported, "cannot order by blob field " + term.field);
    const bool text = field.type == FieldType::kAlpha;
    keys->push_back(SortKey{field.offset, field.size, text, text ? t.to1251_map() : nullptr, term.descending});
    *key_bytes += field.size;
  }
  return Status::OK();
}

// Every record of the table in file order, one after another in
// `records`; `order` gets one entry per record.
Status ReadRows(const Table& t, const std::string& name, std::unique_ptr<uint8_t[]>* records,
                std::vector<uint64_t>* order) {
  const size_t rsize = t.header().record_size;
  size_t n = 0;
  try {
    // The header's count is bounded by the blocks in use, so this cannot
    // exceed what the file itself could hold.
    records->reset(new uint8_t[static_cast<size_t>(t.record_count()) * rsize]);
    std::unique_ptr<Cursor> c = t.NewCursor();
    for (; c->Valid(); c->Next(), ++n) std::memcpy(records->get() + n * rsize, c->record(), rsize);
    PX_RETURN_IF_ERROR(c->status());
    order->resize(n);
  } catch (const std::bad_alloc&) {
    return Status::Error(ErrorCode::kOutOfMemory, name);
  }
  return Status::OK();
}

// Each row's compact key: the bits of its first eight key bytes that differ
// between rows at all, above its row number (the low `row_bits`). Returns
// whether the compact keys hold every key bit, and whether they differ.
bool CompactKeys(const std::vector<SortKey>& keys, size_t key_bytes, const uint8_t* base, size_t rsize,
                 int row_bits, std::vector<uint64_t>* order_out, bool* differ_any) {
  std::vector<uint64_t>& order = *order_out;
  const size_t n = order.size();
  uint64_t differ = 0;
  for (size_t i = 0; i < n; ++i) {
    order[i] = KeyPrefix(keys, base + i * rsize);
    differ |= order[i] ^ order[0];
  }
  const int top = differ == 0 ? 0 : HighestBit(differ);
  const int kept_bits = 64 - row_bits;
  for (size_t i = 0; i < n; ++i) {
    const uint64_t compact = differ == 0 ? 0 : (order[i] << (63 - top)) >> row_bits << row_bits;
    order[i] = compact | i;
  }
  *differ_any = differ != 0;
  return key_bytes <= 8 && top < kept_bits;
}

// Rows whose compact keys are equal, where the key holds more than they
// do: whole keys decide, then the row number.
void SortTies(const std::vector<SortKey>& keys, const uint8_t* base, size_t rsize, uint64_t mask,
              std::vector<uint64_t>* order_out) {
  std::vector<uint64_t>& order = *order_out;
  const size_t n = order.size();
  auto less = [&](uint64_t x, uint64_t y) {
    const uint8_t* a = base + (x & mask) * rsize;
    const uint8_t* b = base + (y & mask) * rsize;
    for (const SortKey& k : keys) {
      int c = CompareKey(k, a, b);
      if (c != 0) return c < 0;
    }
    return (x & mask) < (y & mask);
  };
  for (size_t i = 0; i < n;) {
    size_t j = i + 1;
    while (j < n && (order[j] & ~mask) == (order[i] & ~mask)) ++j;
    if (j - i > 1) std::sort(order.begin() + std::ptrdiff_t(i), order.begin() + std::ptrdiff_t(j), less);
    i = j;
  }
}

}  // namespace

void ResultSet::Prefetch(size_t i) const {
#if defined(__GNUC__) || defined(__clang__)
  if (i >= order_.size()) return;
  const uint8_t* p = record(i);
  for (size_t at = 0; at < rsize_; at += 64) __builtin_prefetch(p + at);
  __builtin_prefetch(p + rsize_ - 1);
#else
  (void)i;
#endif
}

Status ResultSet::Run(FileSystem* fs, const Statement& st, std::unique_ptr<ResultSet>* out) {
  if (st.kind != Statement::Kind::kSelect) return Status::Error(ErrorCode::kNotSupported, "not a SELECT statement");
  std::unique_ptr<ResultSet> rs(new ResultSet);
  PX_RETURN_IF_ERROR(Table::Open(fs, st.table, OpenOptions(), &rs->table_));
  const Table& t = *rs->table_;
  PX_RETURN_IF_ERROR(t.CheckTextCodePage());
  PX_RETURN_IF_ERROR(PickColumns(t, st, &rs->columns_));
  std::vector<SortKey> keys;
  size_t key_bytes = 0;
  PX_RETURN_IF_ERROR(PickSortKeys(t, st, &keys, &key_bytes));
  rs->rsize_ = t.header().record_size;
  PX_RETURN_IF_ERROR(ReadRows(t, st.table, &rs->records_, &rs->order_));
  std::vector<uint64_t>& order = rs->order_;
  const size_t n = order.size();
  for (size_t i = 0; i < n; ++i) order[i] = i;
  if (keys.empty() || n < 2) {
    *out = std::move(rs);
    return Status::OK();
  }

  // Sorting the compact keys (a stable sort) orders the rows, but for ties
  // where the key holds more than they do.
  const int row_bits = HighestBit(n - 1) + 1;
  rs->row_mask_ = (uint64_t{1} << row_bits) - 1;
  bool differ = false;
  const bool whole = CompactKeys(keys, key_bytes, rs->records_.get(), rs->rsize_, row_bits, &order, &differ);
  if (differ) RadixSort(&order, row_bits);
  if (!whole) SortTies(keys, rs->records_.get(), rs->rsize_, rs->row_mask_, &order);
  *out = std::move(rs);
  return Status::OK();
}

}  // namespace paradox
