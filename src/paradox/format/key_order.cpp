#include "paradox/format/key_order.h"

#include <algorithm>
#include <cstring>

#include "paradox/format/ascii.h"
#include "paradox/format/bytes.h"

namespace paradox {

namespace {

size_t TextLength(const uint8_t* p, size_t n) {
  const void* zero = std::memchr(p, 0, n);
  return zero == nullptr ? n : static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
}

std::string Where(RowPos at) {
  return "block " + std::to_string(at.block) + ", record " + std::to_string(at.slot + 1);
}

}  // namespace

void KeyOrder::Setup(const TableHeader& h, const std::vector<uint8_t>& head, bool secondary) {
  fields_.clear();
  key_bytes_ = 0;
  const bool ascii =
      h.version >= 5 && !h.sort_order_name.empty() ? LowerAscii(h.sort_order_name) == "ascii" : h.sort_order == 0;
  const bool marked_desc = secondary && head.size() > hdr::kRefIntegrity && (head[hdr::kRefIntegrity] & 0x10) != 0;
  const size_t numbers_at = h.has_data_header() && head.size() >= hdr::kFieldNumbersOffset + 2
                                ? hdr::kFixedEnd + LoadLE16(&head[hdr::kFieldNumbersOffset])
                                : 0;
  for (uint16_t i = 0; i < h.primary_key_fields && i < h.fields.size(); ++i) {
    const Field& fd = h.fields[i];
    Dir dir = kAsc;
    if (secondary) {
      const size_t at = numbers_at + 2u * i;
      const bool desc_bit = numbers_at != 0 && at + 2 <= head.size() && (LoadLE16(&head[at]) & 0x8000) != 0;
      dir = desc_bit ? kDesc : marked_desc ? kUnknown : kAsc;
    }
    const bool alpha = fd.type == FieldType::kAlpha;
    if (alpha && !ascii) dir = kUnknown;
    fields_.push_back({fd.offset, fd.size, alpha, dir});
    key_bytes_ = std::max<size_t>(key_bytes_, size_t(fd.offset) + fd.size);
  }
}

int KeyOrder::CompareField(const KeyField& k, const uint8_t* a, const uint8_t* b) const {
  a += k.offset;
  b += k.offset;
  if (!k.alpha) return std::memcmp(a, b, k.size);
  // Bytes after the text's end are no part of the value.
  const size_t la = TextLength(a, k.size), lb = TextLength(b, k.size);
  const int c = std::memcmp(a, b, std::min(la, lb));
  return c != 0 ? c : la < lb ? -1 : la > lb ? 1 : 0;
}

KeyOrder::Result KeyOrder::Compare(const uint8_t* a, const uint8_t* b, size_t* differ) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    const KeyField& k = fields_[i];
    int c = CompareField(k, a, b);
    if (c == 0) continue;
    if (differ != nullptr) *differ = i;
    if (k.dir == kUnknown) return kUndecided;
    if (k.dir == kDesc) c = -c;
    return c < 0 ? kAfter : kBefore;
  }
  if (differ != nullptr) *differ = fields_.size();
  return kSame;
}

bool KeyOrder::Same(const uint8_t* a, const uint8_t* b, size_t n) const {
  for (size_t i = 0; i < n && i < fields_.size(); ++i)
    if (CompareField(fields_[i], a, b) != 0) return false;
  return true;
}

uint64_t KeyOrder::Hash(const uint8_t* rec, size_t n) const {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n && i < fields_.size(); ++i) {
    const KeyField& k = fields_[i];
    const uint8_t* p = rec + k.offset;
    const size_t len = k.alpha ? TextLength(p, k.size) : k.size;
    for (size_t j = 0; j < len; ++j) h = (h ^ p[j]) * 1099511628211ull;
    h = (h ^ (0x100 + len)) * 1099511628211ull;  // where the value ends
  }
  return h;
}

KeyOrder::Result KeyOrderCheck::Add(const uint8_t* rec, RowPos at) {
  size_t differ = 0;
  const KeyOrder::Result r = seq_ > 0 ? order_.Compare(last_.data(), rec, &differ) : KeyOrder::kAfter;
  // A run of the values up to each undecided field from `differ` on starts here.
  if (r != KeyOrder::kSame && r != KeyOrder::kBefore)
    for (size_t u = differ; u < order_.fields(); ++u)
      if (!order_.decided(u))
        runs_.push_back(Run{order_.Hash(rec, u + 1), seq_, static_cast<uint16_t>(u + 1), at});
  ++seq_;
  last_.assign(rec, rec + order_.key_bytes());
  return r;
}

std::vector<KeyOrderCheck::Repeat> KeyOrderCheck::Candidates() {
  std::sort(runs_.begin(), runs_.end(), [](const Run& x, const Run& y) {
    if (x.fields != y.fields) return x.fields < y.fields;
    if (x.hash != y.hash) return x.hash < y.hash;
    return x.seq < y.seq;
  });
  std::vector<Repeat> out;
  for (size_t i = 1; i < runs_.size(); ++i)
    if (runs_[i].fields == runs_[i - 1].fields && runs_[i].hash == runs_[i - 1].hash)
      out.push_back(Repeat{runs_[i - 1].at, runs_[i].at, runs_[i].fields});
  std::sort(out.begin(), out.end(), [](const Repeat& x, const Repeat& y) { return x.second < y.second; });
  return out;
}

std::string KeyOrderProblem(KeyOrder::Result r, RowPos at) {
  return Where(at) + (r == KeyOrder::kSame ? ": the same key as the record before it"
                                           : ": the key sorts before the record before it");
}

std::string KeyRepeatProblem(const KeyOrderCheck::Repeat& r) {
  return Where(r.second) + ": the same leading key values as " + Where(r.first) + ", with other keys between";
}

}  // namespace paradox
