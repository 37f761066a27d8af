// Docking of controls in their parent's client area: the arithmetic, apart
// from any window.
#pragma once

#include <vector>

#include "framework/geometry.h"

namespace framework {

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

// Whether the parent places a control of this docking (alNone and alCustom
// keep their own bounds).
constexpr bool Docks(TAlign align) { return align != TAlign::alNone && align != TAlign::alCustom; }

struct DockedControl {
  TAlign align = TAlign::alNone;
  TRect bounds;
};

// Lays docked controls out in `client`: first those at the top, then at
// the bottom, left and right, each taking a strip of what the earlier ones
// left and keeping its own height (top, bottom) or width (left, right);
// alClient ones take the rest. Controls of one side go in the order they
// already stand toward that side, ties in list order. Others are untouched.
void AlignBounds(const TRect& client, std::vector<DockedControl>* controls);

}  // namespace framework
