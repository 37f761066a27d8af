#include "ui/folder_dialog.h"

#include <algorithm>

namespace ui {

namespace {

constexpr std::u16string_view kMarker = u"...\\";

char16_t LowerOf(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
  if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);  // А..Я
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);  // Ѐ..Џ
  return c;
}

char16_t UpperOf(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);  // а..я
  if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);  // ѐ..џ
  return c;
}

// Takes the first folder off `d`, leaving "...\" in its place.
void CutFirstFolder(std::u16string& d) {
  if (d == u"\\") {
    d.clear();
    return;
  }
  std::u16string lead;
  if (!d.empty() && d[0] == u'\\') {
    lead = u"\\";
    d.erase(0, 1);
  }
  if (!d.empty() && d[0] == u'.') d.erase(0, std::min(d.size(), kMarker.size()));
  const size_t slash = d.find(u'\\');
  d = slash == std::u16string::npos ? std::u16string() : std::u16string(kMarker) + d.substr(slash + 1);
  d = lead + d;
}

}  // namespace

std::u16string ShortenPath(const std::u16string& path, int width, const TextWidthFunction& text_width) {
  std::u16string result = path;
  const size_t cut = path.find_last_of(u"\\:");
  std::u16string d = cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
  const std::u16string n = cut == std::u16string::npos ? path : path.substr(cut + 1);
  std::u16string v;
  if (d.size() >= 2 && d[1] == u':') {
    v = d.substr(0, 2);
    d.erase(0, 2);
  }
  while ((!d.empty() || !v.empty()) && text_width(result) > width) {
    if (d == u"\\...\\") {
      v.clear();
      d = kMarker;
    } else if (d.empty()) {
      v.clear();
    } else {
      CutFirstFolder(d);
    }
    result = v + d + n;
  }
  return result;
}

std::u16string DriveOf(const std::u16string& path) {
  if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    // \\server\share: up to the separator after the share's name.
    const size_t server_end = path.find(u'\\', 2);
    if (server_end == std::u16string::npos) return path;
    const size_t share_end = path.find(u'\\', server_end + 1);
    return share_end == std::u16string::npos ? path : path.substr(0, share_end);
  }
  return std::u16string();
}

std::vector<FolderLine> PathLines(const std::u16string& path) {
  std::vector<FolderLine> lines;
  const std::u16string root = DriveOf(path) + u"\\";
  std::u16string rest = path;
  const bool network = root.size() >= 2 && root[1] == u'\\';
  if (network) {
    lines.push_back({root, FolderIcon::kOpen});
    rest = root.size() < path.size() ? path.substr(root.size()) : std::u16string();
  }
  if (rest.empty()) return lines;
  if (rest.back() != u'\\') {
    for (size_t slash = rest.find(u'\\'); slash != std::u16string::npos; slash = rest.find(u'\\')) {
      std::u16string part = rest.substr(0, slash);
      rest.erase(0, slash + 1);
      if (lines.empty()) part += u'\\';
      lines.push_back({part, FolderIcon::kOpen});
    }
  }
  lines.push_back({rest, FolderIcon::kCurrent});
  return lines;
}

int FolderIconX(int line, FolderIcon icon, const std::u16string& current) {
  if (icon != FolderIcon::kClosed) return 2 + 4 * line;
  return 6 + 4 * static_cast<int>(std::count(current.begin(), current.end(), u'\\'));
}

std::u16string OpenedLinePath(const std::u16string& current, int path_lines, int line,
                              const std::u16string& text) {
  const std::u16string drive = DriveOf(current);
  if (line == 0) return drive + u"\\";
  if (line >= path_lines) {
    if (!current.empty() && current.back() == u'\\') return current + text;
    return current + u"\\" + text;
  }
  if (line == path_lines - 1) return current;
  // An ancestor: the path up to the separator before the next folder.
  const std::u16string after = current.substr(drive.size());
  size_t pos = std::u16string::npos;
  for (int seen = 0, i = 0; i < static_cast<int>(after.size()); ++i) {
    if (after[static_cast<size_t>(i)] == u'\\' && ++seen == line + 1) {
      pos = static_cast<size_t>(i);
      break;
    }
  }
  return drive + after.substr(0, pos);
}

std::u16string StartFolderPattern(const std::u16string& text) {
  if (!text.empty() && text.back() == u'\\') return text + u"*.*";
  return text + u"\\*.*";
}

StartFolder StartFolderOf(const std::u16string& full_pattern) {
  StartFolder start;
  if (full_pattern.size() < 3 || full_pattern[1] != u':') return start;
  start.drive = full_pattern[0];
  start.folder = full_pattern.substr(0, full_pattern.find_last_of(u"\\:"));
  return start;
}

std::u16string DriveLineText(char16_t letter, DriveKind kind, const std::u16string& label,
                             const std::u16string& remote_name, bool upper) {
  std::u16string text = ChangeCase(std::u16string(1, letter), upper) + u":";
  if (kind == DriveKind::kRemovable) return text;
  if (kind == DriveKind::kNetwork && !remote_name.empty()) return text + u" " + ChangeCase(remote_name, upper);
  return text + u" [" + ChangeCase(label, upper) + u"]";
}

std::u16string ChangeCase(std::u16string text, bool upper) {
  for (char16_t& c : text) c = upper ? UpperOf(c) : LowerOf(c);
  return text;
}

}  // namespace ui
