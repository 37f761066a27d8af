// TColor: 32-bit colour values. An RGB colour is $00BBGGRR (red in the low
// byte); $FF0000nn names the system colour with index nn and is resolved
// through the system colour table before it is drawn or computed with.
#pragma once

#include <cstdint>
#include <functional>

namespace framework {

using TColor = int32_t;

constexpr TColor kSystemColorFlag = static_cast<TColor>(0xFF000000u);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;

// System colours: the flag and the index of the system colour table.
constexpr TColor SystemColor(int index) { return kSystemColorFlag | index; }
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);

constexpr bool IsSystemColor(TColor c) {
  return (static_cast<uint32_t>(c) & 0xFF000000u) == 0xFF000000u;
}

// The system colour table: index to $00BBGGRR. The Win32 build gives the
// real one (GetSysColor); tests and other builds may set their own.
using SysColorTable = std::function<uint32_t(int index)>;
void SetSysColorTable(SysColorTable table);

// The $00BBGGRR value of `c`, system colours looked up in the table. Other
// values keep their low 24 bits.
uint32_t ColorToRGB(TColor c);

constexpr uint8_t RedOf(uint32_t rgb) { return rgb & 0xFF; }
constexpr uint8_t GreenOf(uint32_t rgb) { return (rgb >> 8) & 0xFF; }
constexpr uint8_t BlueOf(uint32_t rgb) { return (rgb >> 16) & 0xFF; }
constexpr uint32_t RGBValue(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

}  // namespace framework
