// The folder dialog's rules that need no window: the path label's
// shortening, the folder list's lines, indents and the path a line opens,
// where the lists start, and the drive list's texts.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

using TextWidthFunction = std::function<int(std::u16string_view)>;

// `path` shortened with "..." in place of leading folders until its text
// width is at most `width`: C:\A\B\C gives C:\...\B\C, C:\...\C, ...\C and
// finally C.
std::u16string ShortenPath(const std::u16string& path, int width, const TextWidthFunction& text_width);

// The drive part of a path: "C:" for a drive letter, "\\server\share" for a
// network path, else empty.
std::u16string DriveOf(const std::u16string& path);

enum class FolderIcon { kOpen, kCurrent, kClosed };

struct FolderLine {
  std::u16string text;
  FolderIcon icon;
};

// The lines for the root, the folders above and the folder `path` itself:
// C:\Morvane gives C:\ (open) and Morvane (current); C:\ the single
// current line C:\. The last line is the current folder's.
std::vector<FolderLine> PathLines(const std::u16string& path);

// Where line `line` draws its icon: root, ancestor and current lines by
// their number, subfolder lines by the depth of the current folder.
int FolderIconX(int line, FolderIcon icon, const std::u16string& current);

// The folder that opening line `line` goes to. `path_lines` is the number
// of lines PathLines gave; later lines are subfolders named `text`.
std::u16string OpenedLinePath(const std::u16string& current, int path_lines, int line,
                              const std::u16string& text);

// What "\*.*" (or "*.*" after a trailing "\") turns `text` into before it
// is expanded to a full path.
std::u16string StartFolderPattern(const std::u16string& text);

// From the expanded pattern: the drive and the folder the lists start at
// ("C:" alone names that drive's current folder). Empty when the path has
// no drive letter: the lists then stay where they are.
struct StartFolder {
  char16_t drive = 0;
  std::u16string folder;
};
StartFolder StartFolderOf(const std::u16string& full_pattern);

enum class DriveKind { kRemovable, kFixed, kNetwork, kCdRom, kRam };

// The drive list's text of a drive, its letter and what follows in lower
// case (upper with `upper`): removable drives are not read, "a:"; others
// "c: [label]", a network drive its connection's name when known.
std::u16string DriveLineText(char16_t letter, DriveKind kind, const std::u16string& label,
                             const std::u16string& remote_name, bool upper);

// Latin and Cyrillic letters in lower or upper case.
std::u16string ChangeCase(std::u16string text, bool upper);

}  // namespace ui
