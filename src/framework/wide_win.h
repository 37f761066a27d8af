// UTF-16 strings as the wide Win32 functions take them.
#pragma once

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide Win32 API takes UTF-16");

namespace framework {

inline const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline const wchar_t* WideData(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }
inline std::u16string FromWide(const wchar_t* s, size_t n) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}
inline std::u16string FromWide(const wchar_t* s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}

}  // namespace framework
