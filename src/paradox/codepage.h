// Code pages: the character sets tables store their text in. A table's header
// names its page by number (866, 1251, ...); version 3.x tables name none and
// use kLegacyCodePage. Text in a table is single-byte, except on the East Asian
// Windows pages, whose characters the engine does not decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/status.h"

namespace paradox {

// The page of tables whose header names none.
inline constexpr int kLegacyCodePage = 866;

enum class CodePageKind {
  kUnknown,    // not a page the engine knows
  kDos,        // DOS pages: 437, 737, 775, 850, 852, 855, 857, 860..866, 869
  kAnsi,       // single-byte Windows pages: 874, 1250..1258
  kMultiByte,  // East Asian Windows pages: 932, 936, 949, 950
};

CodePageKind KindOf(int code_page);
bool IsKnownCodePage(int code_page);

// Builds the tables the functions below compute on first use, so that the cost
// lands at engine start rather than in the first query. Always OK; safe to
// call more than once and from several threads.
Status PrepareCodePages();

// The Unicode code point of byte `b` on `code_page`. False when the page
// defines no character for the byte; that includes the lead bytes of the
// multi-byte pages. Control bytes 0x00..0x1F and 0x7F are themselves on every
// page. On an unknown page only bytes below 0x80 are defined (as ASCII).
bool ByteToUnicode(int code_page, uint8_t b, char32_t* out);

// Appends to `*out` the UTF-8 form of `bytes` read in `code_page`. Bytes the
// page leaves undefined become U+FFFD. On the multi-byte pages ASCII and the
// page's single-byte characters are kept and each double-byte character (a
// lead byte and its trail byte) becomes one U+FFFD. Unknown pages are read as
// ASCII.
void AppendUtf8(int code_page, std::string_view bytes, std::string* out);

// A 256-entry map turning text of DOS page `code_page` into Windows-1251:
// map[b] is the 1251 byte of the same character, or '?' when 1251 has none
// (pseudo-graphics, most Latin accents, ...). Null for pages that are not DOS
// pages. The map lives as long as the program.
const uint8_t* DosTo1251Map(int code_page);

// Windows-1251 to UTF-8 (the undefined byte 0x98 becomes U+FFFD) and back
// (characters 1251 cannot hold, and bytes that are not valid UTF-8, become
// '?'). For the console and the tools.
std::string Cp1251ToUtf8(std::string_view s);
std::string Utf8To1251(std::string_view s);

// UTF-8 text as bytes of `code_page`; each character the page cannot hold in a
// single byte, and each invalid UTF-8 sequence, becomes '?'. Meant for the
// single-byte pages; on the multi-byte pages only their single-byte characters
// are written, on unknown pages only ASCII.
std::string Utf8ToCodePage(int code_page, std::string_view s);

// Reads the UTF-8 character at s[*i] into `*out` and moves *i past it. On
// bytes that are not valid UTF-8 returns false and skips the longest prefix
// that could have begun a valid sequence (at least one byte), so that each bad
// sequence counts once.
bool NextUtf8(std::string_view s, size_t* i, char32_t* out);

// Layout of the generated tables (codepage_tables.cpp). For codepage.cpp only.
namespace codepage_internal {

// A byte below 0x80 that is not ASCII on its page.
struct LowByte {
  uint8_t byte;
  char16_t unicode;
};

struct PageData {
  int code_page;
  CodePageKind kind;
  // Unicode of bytes 0x80..0xFF, 0 where undefined. Null: none defined.
  const char16_t* high;
  // Printable bytes below 0x80 that differ from ASCII.
  const LowByte* low;
  int low_count;
  // Multi-byte pages: bitmaps (bit b & 7 of byte b >> 3) of lead and trail
  // bytes. Null on single-byte pages.
  const uint8_t* lead;
  const uint8_t* trail;
};

extern const PageData kPages[];  // ascending by code_page
extern const size_t kPageCount;

}  // namespace codepage_internal
}  // namespace paradox
