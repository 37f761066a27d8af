// Text at the edge of the window system: the program's own texts and the
// table's names are Windows-1251, literals in the sources are UTF-8, and the
// wide Win32 functions take UTF-16. Conversion happens here and nowhere else.
#pragma once

#include <string>
#include <string_view>

namespace framework {

// Windows-1251 bytes to UTF-16. Every byte has a character (0x98, which the
// code page leaves unassigned, maps to U+0098 as Windows does).
std::u16string FromCp1251(std::string_view text);
// The same, appended to `out` (which keeps its storage when reused).
void AppendCp1251(std::u16string* out, std::string_view text);
// UTF-8 to UTF-16. Malformed sequences become U+FFFD, one per bad byte.
std::u16string FromUtf8(std::u8string_view text);
std::u16string FromUtf8(std::string_view text);

// UTF-16 to Windows-1251; characters the code page lacks become '?'.
std::string ToCp1251(std::u16string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
void AppendUtf8(std::string* out, std::u16string_view text);

// Whether `caption` underlines `key` ("&N" for N or n; "&&" is a plain "&").
// Latin and Cyrillic letters match in either case.
bool IsAccelerator(char16_t key, std::u16string_view caption);

// UTF-8 literal as a plain byte string (for the engine, which takes UTF-8
// paths).
inline std::string Utf8Bytes(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

}  // namespace framework
