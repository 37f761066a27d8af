// The folder field's rules that need no window: shortcut values, where the
// button host sits, the field's minimum height, the ellipsis glyph, what a
// dropped name or a chosen folder does to the text, and the folder the
// dialog starts from.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/geometry.h"

namespace ui {

// Low byte a virtual key; the high bits the Shift, Ctrl and Alt state.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut kAltDown = scAlt | 0x28;

TShortCut ShortCutOf(unsigned key, bool shift, bool ctrl, bool alt);

// The button host's bounds in the edit's client coordinates, for the
// field's outer size and the button's width.
framework::TRect ButtonHostBounds(int field_width, int field_height, int button_width, bool new_style_controls,
                                  bool ctl3d, bool single_border);

// The edit's text rectangle beside a button host `host_width` wide.
framework::TRect TextRectOf(int client_width, int client_height, int host_width);

// The lowest a field may be: the smaller of the two character heights, four
// border heights and one pixel.
int MinFieldHeight(int system_char_height, int font_char_height, int border_height);

// The generated ellipsis glyph: `width` x `height` pixels with three 2 x 2
// dots at y = 1, starting at `dot_x`.
struct EllipsisGlyph {
  int width = 0;
  int height = 4;
  int dot_x[3] = {0, 0, 0};
};
EllipsisGlyph EllipsisGeometry(int button_width);

// What a dropped name gives: the folder part of a file, with its trailing
// separator ("\" or ":"), or the name itself.
std::u16string DroppedPathValue(const std::u16string& name, bool is_file);

// The field's text once `value` is taken: replaced, or appended after ";"
// when several folders are kept and the text is not empty.
std::u16string TextWithPath(const std::u16string& text, const std::u16string& value, bool multiple);

// The folder the dialog starts from: the text; when empty the initial
// folder, or "\" without one; "\" too for a text that names no existing
// folder.
std::u16string DialogStartFolder(const std::u16string& text, const std::u16string& initial_dir,
                                 const std::function<bool(const std::u16string&)>& folder_exists);

}  // namespace ui
