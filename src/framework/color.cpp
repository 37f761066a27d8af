#include "framework/color.h"

#include <utility>

namespace framework {

namespace {

// Fallback table: the classic Windows scheme, for builds without a desktop.
uint32_t ClassicSysColor(int index) {
  switch (index) {
    case 0: return 0xC8C8C8;
    case 1: return 0x000000;
    case 2: return 0x800000;
    case 5: return 0xFFFFFF;
    case 6: return 0x000000;
    case 8: return 0x000000;
    case 13: return 0x800000;
    case 14: return 0xFFFFFF;
    case 15: return 0xC0C0C0;
    case 16: return 0x808080;
    case 17: return 0x808080;
    case 18: return 0x000000;
    case 20: return 0xFFFFFF;
    case 21: return 0x000000;
    case 22: return 0xC0C0C0;
    default: return 0x000000;
  }
}

SysColorTable& Table() {
  static SysColorTable table = ClassicSysColor;
  return table;
}

}  // namespace

void SetSysColorTable(SysColorTable table) {
  Table() = table ? std::move(table) : SysColorTable(ClassicSysColor);
}

uint32_t ColorToRGB(TColor c) {
  if (IsSystemColor(c)) return Table()(c & 0xFF) & 0xFFFFFF;
  return static_cast<uint32_t>(c) & 0xFFFFFF;
}

}  // namespace framework
