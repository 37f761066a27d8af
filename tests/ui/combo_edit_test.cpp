#include "ui/combo_edit.h"

#include <gtest/gtest.h>

#include <set>

namespace ui {
namespace {

using framework::Bounds;

TEST(ComboEditRulesTest, ShortcutValueCombinesKeyAndModifiers) {
  EXPECT_EQ(ShortCutOf(0x28, false, false, true), kAltDown);
  EXPECT_EQ(kAltDown, 0x8028);
  EXPECT_EQ(ShortCutOf(0x28, false, false, false), 0x0028);  // Down alone is no click
  EXPECT_EQ(ShortCutOf(0x28, true, true, true), 0xE028);
  EXPECT_EQ(ShortCutOf(0x141, false, true, false), 0x4041);   // only the key's low byte
}

TEST(ComboEditRulesTest, ButtonHostFollowsBorderAndLook) {
  // The main window's field: 521 x 21, 3-D, single border, button 21 wide.
  EXPECT_EQ(ButtonHostBounds(521, 21, 21, true, true, true), Bounds(496, 0, 21, 17));
  EXPECT_EQ(ButtonHostBounds(521, 21, 21, true, false, true), Bounds(498, 2, 21, 17));
  EXPECT_EQ(ButtonHostBounds(521, 21, 21, true, true, false), Bounds(500, 0, 21, 21));
  EXPECT_EQ(ButtonHostBounds(521, 21, 21, false, true, true), Bounds(500, 0, 21, 21));
  // The text keeps the client area left of the host, less two pixels.
  EXPECT_EQ(TextRectOf(517, 17, 21), framework::Rect(0, 0, 494, 18));
}

TEST(ComboEditRulesTest, MinimumHeightTakesTheSmallerCharacterHeight) {
  EXPECT_EQ(MinFieldHeight(16, 13, 1), 18);  // the main window's field
  EXPECT_EQ(MinFieldHeight(13, 20, 1), 18);
  EXPECT_EQ(MinFieldHeight(13, 13, 2), 22);
}

TEST(ComboEditRulesTest, EllipsisDotsAreCentredWithALimitedGap) {
  EllipsisGlyph g = EllipsisGeometry(21);  // 15 wide: gap 3, dots at 1, 6, 11
  EXPECT_EQ(g.width, 15);
  EXPECT_EQ(g.height, 4);
  EXPECT_EQ(g.dot_x[0], 1);
  EXPECT_EQ(g.dot_x[1], 6);
  EXPECT_EQ(g.dot_x[2], 11);
  g = EllipsisGeometry(16);  // 10 wide: gap 2
  EXPECT_EQ(g.width, 10);
  EXPECT_EQ(g.dot_x[0], 0);
  EXPECT_EQ(g.dot_x[1], 4);
  EXPECT_EQ(g.dot_x[2], 8);
  g = EllipsisGeometry(40);  // 34 wide: the gap stays at 3
  EXPECT_EQ(g.dot_x[1] - g.dot_x[0], 5);
  EXPECT_EQ(g.dot_x[0], 11);
  g = EllipsisGeometry(3);  // narrower than the dots: at least one pixel, gap 1
  EXPECT_EQ(g.width, 1);
  EXPECT_EQ(g.dot_x[1] - g.dot_x[0], 3);
}

TEST(ComboEditRulesTest, DroppedFileGivesItsFolderWithTheSeparator) {
  EXPECT_EQ(DroppedPathValue(u"C:\\Morvane\\AdvBlock.db", true), u"C:\\Morvane\\");
  EXPECT_EQ(DroppedPathValue(u"C:AdvBlock.db", true), u"C:");
  EXPECT_EQ(DroppedPathValue(u"C:\\Morvane", false), u"C:\\Morvane");  // a folder as dropped
  EXPECT_EQ(DroppedPathValue(u"C:\\Morvane\\", false), u"C:\\Morvane\\");
}

TEST(ComboEditRulesTest, TakenPathReplacesOrIsAppendedAfterSemicolon) {
  EXPECT_EQ(TextWithPath(u"C:\\A", u"C:\\B", false), u"C:\\B");
  EXPECT_EQ(TextWithPath(u"C:\\A", u"C:\\B", true), u"C:\\A;C:\\B");
  EXPECT_EQ(TextWithPath(u"", u"C:\\B", true), u"C:\\B");
}

TEST(ComboEditRulesTest, StartFolderFallsBackToInitialDirThenToBackslash) {
  const std::set<std::u16string> folders{u"C:\\Morvane", u"C:\\Work", u"C:\\", u"\\"};
  auto exists = [&](const std::u16string& f) { return folders.count(f) > 0; };
  EXPECT_EQ(DialogStartFolder(u"C:\\Morvane", u"C:\\Work", exists), u"C:\\Morvane");
  EXPECT_EQ(DialogStartFolder(u"", u"C:\\Work", exists), u"C:\\Work");
  EXPECT_EQ(DialogStartFolder(u"", u"", exists), u"\\");
  // A file or a missing folder: not its nearest existing parent.
  EXPECT_EQ(DialogStartFolder(u"C:\\Morvane\\AdvBlock.db", u"C:\\Work", exists), u"\\");
  EXPECT_EQ(DialogStartFolder(u"C:\\Morvane\\Gone", u"", exists), u"\\");
  EXPECT_EQ(DialogStartFolder(u"C:\\", u"", exists), u"C:\\");
}

}  // namespace
}  // namespace ui
