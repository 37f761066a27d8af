#include "ui/folder_dialog.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

// Five pixels a character, one for a ".", so that "..." is narrower than
// the folder it stands for.
int Width(std::u16string_view s) {
  int w = 0;
  for (char16_t c : s) w += c == u'.' ? 1 : 5;
  return w;
}

TEST(ShortenPathTest, LeadingFoldersGiveWayStepByStep) {
  const std::u16string path = u"C:\\A\\B\\C";  // 40 pixels
  EXPECT_EQ(ShortenPath(path, 40, Width), path);
  EXPECT_EQ(ShortenPath(path, 39, Width), u"C:\\...\\B\\C");  // 38
  EXPECT_EQ(ShortenPath(path, 37, Width), u"C:\\...\\C");     // 28
  EXPECT_EQ(ShortenPath(path, 28, Width), u"C:\\...\\C");
  EXPECT_EQ(ShortenPath(path, 27, Width), u"...\\C");          // 13
  EXPECT_EQ(ShortenPath(path, 12, Width), u"C");
  EXPECT_EQ(ShortenPath(path, 0, Width), u"C");  // the name itself is never cut
}

TEST(ShortenPathTest, PathsWithoutDriveLetter) {
  // The first step of a network path leaves the server behind a marker.
  EXPECT_EQ(ShortenPath(u"\\\\srv\\share\\data", 74, Width), u"\\...\\share\\data");
  EXPECT_EQ(ShortenPath(u"\\\\srv\\share\\data", 30, Width), u"...\\data");
  EXPECT_EQ(ShortenPath(u"Morvane", 1, Width), u"Morvane");
}

TEST(FolderLinesTest, DriveLetterPaths) {
  std::vector<FolderLine> lines = PathLines(u"C:\\Morvane");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, u"C:\\");
  EXPECT_EQ(lines[0].icon, FolderIcon::kOpen);
  EXPECT_EQ(lines[1].text, u"Morvane");
  EXPECT_EQ(lines[1].icon, FolderIcon::kCurrent);

  lines = PathLines(u"C:\\");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, u"C:\\");
  EXPECT_EQ(lines[0].icon, FolderIcon::kCurrent);

  lines = PathLines(u"C:\\A\\B\\C");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].text, u"A");
  EXPECT_EQ(lines[2].text, u"B");
  EXPECT_EQ(lines[2].icon, FolderIcon::kOpen);
  EXPECT_EQ(lines[3].text, u"C");
}

TEST(FolderLinesTest, NetworkPathsStartWithTheShare) {
  EXPECT_EQ(DriveOf(u"\\\\srv\\share\\A\\B"), u"\\\\srv\\share");
  EXPECT_EQ(DriveOf(u"C:\\A"), u"C:");
  EXPECT_EQ(DriveOf(u"A\\B"), u"");
  std::vector<FolderLine> lines = PathLines(u"\\\\srv\\share\\A\\B");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, u"\\\\srv\\share\\");
  EXPECT_EQ(lines[0].icon, FolderIcon::kOpen);
  EXPECT_EQ(lines[1].text, u"A");  // no "\" added: the root has its line
  EXPECT_EQ(lines[2].text, u"B");
  EXPECT_EQ(lines[2].icon, FolderIcon::kCurrent);
  lines = PathLines(u"\\\\srv\\share");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, u"\\\\srv\\share\\");
}

TEST(FolderLinesTest, IconIndents) {
  const std::u16string current = u"C:\\Morvane";
  EXPECT_EQ(FolderIconX(0, FolderIcon::kOpen, current), 2);
  EXPECT_EQ(FolderIconX(1, FolderIcon::kCurrent, current), 6);
  EXPECT_EQ(FolderIconX(2, FolderIcon::kClosed, current), 10);  // 6 + 4 x one "\"
  EXPECT_EQ(FolderIconX(7, FolderIcon::kClosed, current), 10);
  EXPECT_EQ(FolderIconX(3, FolderIcon::kClosed, u"C:\\A\\B"), 14);
  EXPECT_EQ(FolderIconX(0, FolderIcon::kCurrent, u"C:\\"), 2);
}

TEST(FolderLinesTest, PathOpenedByEachKindOfLine) {
  const std::u16string current = u"C:\\A\\B\\C";  // lines C:\, A, B, C, then subfolders
  EXPECT_EQ(OpenedLinePath(current, 4, 0, u"C:\\"), u"C:\\");
  EXPECT_EQ(OpenedLinePath(current, 4, 1, u"A"), u"C:\\A");
  EXPECT_EQ(OpenedLinePath(current, 4, 2, u"B"), u"C:\\A\\B");
  EXPECT_EQ(OpenedLinePath(current, 4, 3, u"C"), current);
  EXPECT_EQ(OpenedLinePath(current, 4, 4, u"Sub"), u"C:\\A\\B\\C\\Sub");
  EXPECT_EQ(OpenedLinePath(u"C:\\", 1, 1, u"Morvane"), u"C:\\Morvane");  // no doubled "\"
  EXPECT_EQ(OpenedLinePath(u"C:\\", 1, 0, u"C:\\"), u"C:\\");
  const std::u16string share = u"\\\\srv\\share\\A\\B";  // lines root, A, B
  EXPECT_EQ(OpenedLinePath(share, 3, 0, u""), u"\\\\srv\\share\\");
  EXPECT_EQ(OpenedLinePath(share, 3, 1, u"A"), u"\\\\srv\\share\\A");
  EXPECT_EQ(OpenedLinePath(share, 3, 3, u"X"), u"\\\\srv\\share\\A\\B\\X");
}

TEST(StartFolderTest, RootsAndBackslashNameTheDrivesCurrentFolder) {
  EXPECT_EQ(StartFolderPattern(u"C:\\Morvane"), u"C:\\Morvane\\*.*");
  EXPECT_EQ(StartFolderPattern(u"C:\\"), u"C:\\*.*");
  EXPECT_EQ(StartFolderPattern(u"\\"), u"\\*.*");
  StartFolder s = StartFolderOf(u"C:\\Morvane\\*.*");
  EXPECT_EQ(s.drive, u'C');
  EXPECT_EQ(s.folder, u"C:\\Morvane");
  // C:\ and "\" (expanded against the current drive) give the bare drive.
  s = StartFolderOf(u"C:\\*.*");
  EXPECT_EQ(s.drive, u'C');
  EXPECT_EQ(s.folder, u"C:");
  s = StartFolderOf(u"\\\\srv\\share\\*.*");  // no drive letter: nothing is set
  EXPECT_EQ(s.drive, 0);
  EXPECT_EQ(s.folder, u"");
}

TEST(DriveLinesTest, TextsByKindAndCase) {
  EXPECT_EQ(DriveLineText(u'A', DriveKind::kRemovable, u"FLOPPY", u"", false), u"a:");
  EXPECT_EQ(DriveLineText(u'C', DriveKind::kFixed, u"SYSTEM", u"", false), u"c: [system]");
  EXPECT_EQ(DriveLineText(u'c', DriveKind::kFixed, u"System", u"", true), u"C: [SYSTEM]");
  EXPECT_EQ(DriveLineText(u'D', DriveKind::kCdRom, u"", u"", false), u"d: []");  // unreadable volume
  EXPECT_EQ(DriveLineText(u'R', DriveKind::kRam, u"Диск", u"", false), u"r: [диск]");
  EXPECT_EQ(DriveLineText(u'N', DriveKind::kNetwork, u"DATA", u"\\\\SRV\\Share", false), u"n: \\\\srv\\share");
  EXPECT_EQ(DriveLineText(u'N', DriveKind::kNetwork, u"DATA", u"", false), u"n: [data]");
}

}  // namespace
}  // namespace ui
