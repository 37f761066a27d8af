// Font styles, as a set of bits; portable so that settings objects outside
// the Win32 part can hold them.
#pragma once

#include <cstdint>

namespace framework {

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

}  // namespace framework
