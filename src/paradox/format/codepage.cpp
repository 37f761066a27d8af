#include "paradox/codepage.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace paradox {

using codepage_internal::kPageCount;
using codepage_internal::kPages;
using codepage_internal::PageData;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

const PageData* FindPage(int code_page) {
  const PageData* end = kPages + kPageCount;
  const PageData* it = std::lower_bound(
      kPages, end, code_page,
      [](const PageData& p, int cp) { return p.code_page < cp; });
  return (it != end && it->code_page == code_page) ? it : nullptr;
}

bool BitSet(const uint8_t* bits, uint8_t b) {
  return bits != nullptr && ((bits[b >> 3] >> (b & 7)) & 1) != 0;
}

// `page` may be null: an unknown page, read as ASCII.
bool Decode(const PageData* page, uint8_t b, char32_t* out) {
  if (b < 0x80) {
    if (page != nullptr) {
      for (int i = 0; i < page->low_count; ++i) {
        if (page->low[i].byte == b) {
          *out = page->low[i].unicode;
          return true;
        }
      }
    }
    *out = b;
    return true;
  }
  if (page == nullptr || page->high == nullptr) return false;
  char16_t u = page->high[b - 0x80];
  if (u == 0) return false;
  *out = u;
  return true;
}

void PutUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

bool NextUtf8(std::string_view s, size_t* i, char32_t* out) {
  const auto at = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t b = at(*i);
  if (b < 0x80) {
    *out = b;
    ++*i;
    return true;
  }
  int len;
  char32_t c;
  uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    c = b & 0x07;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    ++*i;
    return false;
  }
  size_t k = *i + 1;
  for (int n = 1; n < len; ++n, ++k) {
    if (k >= s.size()) {
      *i = k;
      return false;
    }
    uint8_t t = at(k);
    if (n == 1 ? (t < lo || t > hi) : (t < 0x80 || t > 0xBF)) {
      *i = k;
      return false;
    }
    c = (c << 6) | (t & 0x3F);
  }
  *i = k;
  *out = c;
  return true;
}

namespace {

// Unicode-to-byte map of one page: its defined bytes sorted by code point.
struct ReverseMap {
  std::array<std::pair<char16_t, uint8_t>, 256> entries;
  int count = 0;

  // The byte for `c`, or -1 when the page has none.
  int Find(char32_t c) const {
    if (c > 0xFFFF) return -1;
    const auto* end = entries.data() + count;
    const auto* it = std::lower_bound(
        entries.data(), end, static_cast<char16_t>(c),
        [](const std::pair<char16_t, uint8_t>& e, char16_t u) {
          return e.first < u;
        });
    return (it != end && it->first == c) ? it->second : -1;
  }
};

// The tables computed from the generated ones, built once on first use.
struct DerivedTables {
  // Indexed like kPages.
  std::unique_ptr<ReverseMap[]> reverse;
  std::unique_ptr<std::array<uint8_t, 256>[]> dos_to_1251;  // DOS pages only

  DerivedTables()
      : reverse(new ReverseMap[kPageCount]),
        dos_to_1251(new std::array<uint8_t, 256>[kPageCount]) {
    for (size_t p = 0; p < kPageCount; ++p) {
      ReverseMap& r = reverse[p];
      for (int b = 0; b < 256; ++b) {
        char32_t c;
        if (Decode(&kPages[p], static_cast<uint8_t>(b), &c)) {
          r.entries[r.count++] = {static_cast<char16_t>(c), static_cast<uint8_t>(b)};
        }
      }
      // Stable, so that a character two bytes share goes to the lower byte.
      std::stable_sort(r.entries.data(), r.entries.data() + r.count,
                       [](const auto& x, const auto& y) { return x.first < y.first; });
      r.count = static_cast<int>(
          std::unique(r.entries.data(), r.entries.data() + r.count,
                      [](const auto& x, const auto& y) { return x.first == y.first; }) -
          r.entries.data());
    }
    const ReverseMap& to1251 = reverse[FindPage(1251) - kPages];
    for (size_t p = 0; p < kPageCount; ++p) {
      if (kPages[p].kind != CodePageKind::kDos) continue;
      for (int b = 0; b < 256; ++b) {
        char32_t c;
        int target = -1;
        if (Decode(&kPages[p], static_cast<uint8_t>(b), &c)) target = to1251.Find(c);
        dos_to_1251[p][b] = static_cast<uint8_t>(target < 0 ? '?' : target);
      }
    }
  }
};

const DerivedTables& Derived() {
  static const DerivedTables tables;
  return tables;
}

}  // namespace

CodePageKind KindOf(int code_page) {
  const PageData* page = FindPage(code_page);
  return page != nullptr ? page->kind : CodePageKind::kUnknown;
}

bool IsKnownCodePage(int code_page) { return FindPage(code_page) != nullptr; }

Status PrepareCodePages() {
  Derived();
  return Status::OK();
}

bool ByteToUnicode(int code_page, uint8_t b, char32_t* out) {
  return Decode(FindPage(code_page), b, out);
}

void AppendUtf8(int code_page, std::string_view bytes, std::string* out) {
  const PageData* page = FindPage(code_page);
  const bool plain_ascii = page == nullptr || page->low_count == 0;
  out->reserve(out->size() + bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t b = static_cast<uint8_t>(bytes[i]);
    if (b < 0x80 && plain_ascii) {
      out->push_back(static_cast<char>(b));
      continue;
    }
    char32_t c;
    if (Decode(page, b, &c)) {
      PutUtf8(c, out);
      continue;
    }
    // A double-byte character we cannot decode: one replacement for both
    // bytes. A lead byte without a valid trail stands alone.
    if (page != nullptr && BitSet(page->lead, b) && i + 1 < bytes.size() &&
        BitSet(page->trail, static_cast<uint8_t>(bytes[i + 1]))) {
      ++i;
    }
    PutUtf8(kReplacement, out);
  }
}

const uint8_t* DosTo1251Map(int code_page) {
  const PageData* page = FindPage(code_page);
  if (page == nullptr || page->kind != CodePageKind::kDos) return nullptr;
  return Derived().dos_to_1251[page - kPages].data();
}

std::string Cp1251ToUtf8(std::string_view s) {
  std::string out;
  AppendUtf8(1251, s, &out);
  return out;
}

std::string Utf8To1251(std::string_view s) { return Utf8ToCodePage(1251, s); }

std::string Utf8ToCodePage(int code_page, std::string_view s) {
  const PageData* page = FindPage(code_page);
  const ReverseMap* reverse =
      page != nullptr ? &Derived().reverse[page - kPages] : nullptr;
  const bool plain_ascii = page == nullptr || page->low_count == 0;
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t c;
    if (!NextUtf8(s, &i, &c)) {
      out.push_back('?');
      continue;
    }
    int b = -1;
    if (c < 0x80 && plain_ascii) {
      b = static_cast<int>(c);
    } else if (reverse != nullptr) {
      b = reverse->Find(c);
    }
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

}  // namespace paradox
