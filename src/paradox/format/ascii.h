// ASCII letter case, as file names and sort order names compare.
#pragma once

#include <string>
#include <string_view>

namespace paradox {

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace paradox
