#include "ui/combo_edit.h"

#include <algorithm>

namespace ui {

TShortCut ShortCutOf(unsigned key, bool shift, bool ctrl, bool alt) {
  TShortCut value = static_cast<TShortCut>(key & 0xFF);
  if (shift) value |= scShift;
  if (ctrl) value |= scCtrl;
  if (alt) value |= scAlt;
  return value;
}

framework::TRect ButtonHostBounds(int field_width, int field_height, int button_width, bool new_style_controls,
                                  bool ctl3d, bool single_border) {
  if (new_style_controls && single_border) {
    if (ctl3d) return framework::Bounds(field_width - button_width - 4, 0, button_width, field_height - 4);
    return framework::Bounds(field_width - button_width - 2, 2, button_width, field_height - 4);
  }
  return framework::Bounds(field_width - button_width, 0, button_width, field_height);
}

framework::TRect TextRectOf(int client_width, int client_height, int host_width) {
  return framework::Rect(0, 0, client_width - host_width - 2, client_height + 1);
}

int MinFieldHeight(int system_char_height, int font_char_height, int border_height) {
  return std::min(system_char_height, font_char_height) + 4 * border_height + 1;
}

EllipsisGlyph EllipsisGeometry(int button_width) {
  EllipsisGlyph g;
  g.width = std::max(1, button_width - 6);
  const int gap = std::clamp((g.width - 6) / 2, 1, 3);
  const int x0 = (g.width - 6 - 2 * gap) / 2;
  g.dot_x[0] = x0;
  g.dot_x[1] = x0 + gap + 2;
  g.dot_x[2] = x0 + 2 * gap + 4;
  return g;
}

std::u16string DroppedPathValue(const std::u16string& name, bool is_file) {
  if (!is_file) return name;
  const size_t cut = name.find_last_of(u"\\:");
  return cut == std::u16string::npos ? std::u16string() : name.substr(0, cut + 1);
}

std::u16string TextWithPath(const std::u16string& text, const std::u16string& value, bool multiple) {
  if (text.empty() || !multiple) return value;
  return text + u";" + value;
}

std::u16string DialogStartFolder(const std::u16string& text, const std::u16string& initial_dir,
                                 const std::function<bool(const std::u16string&)>& folder_exists) {
  std::u16string folder = text;
  if (folder.empty()) folder = initial_dir.empty() ? u"\\" : initial_dir;
  if (!folder_exists(folder)) folder = u"\\";
  return folder;
}

}  // namespace ui
