// ASCII letter case, as file names and sort order names compare: the same
// whatever the locale, so a name matches on every machine alike.
#pragma once

#include <string>
#include <string_view>

namespace paradox {

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// True when `a` and `b` are the same but for the case of ASCII letters.
inline bool EqualAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace paradox
