#include "framework/application.h"

#include <gtest/gtest.h>

#include "framework/text.h"

namespace framework {
namespace {

TEST(TitleTest, FileNameWithoutFolderCutAtFirstDotRestLowered) {
  EXPECT_EQ(TitleFromExeName(u"C:\\Program Files\\AdvClean.exe"), u"Advclean");
  EXPECT_EQ(TitleFromExeName(u"Z:/build/ADVCLEAN.EXE"), u"Advclean");
  EXPECT_EQ(TitleFromExeName(u"C:\\x.y\\my.tool.exe"), u"my");
  EXPECT_EQ(TitleFromExeName(u"advClean"), u"advclean");  // the first letter stays as it is
  EXPECT_EQ(TitleFromExeName(u"C:\\Утилита.exe"), u"Утилита");
  EXPECT_EQ(TitleFromExeName(u"C:\\УТИЛИТА.exe"), u"Утилита");
  EXPECT_EQ(TitleFromExeName(u"C:\\dir\\"), u"");
}

TEST(ErrorTextTest, FullStopOnlyAfterCharactersSortingAfterTheDot) {
  EXPECT_EQ(ErrorDisplayText("Query: Field 'FNumber' not found"), "Query: Field 'FNumber' not found.");
  EXPECT_EQ(ErrorDisplayText("Error $2501"), "Error $2501.");
  EXPECT_EQ(ErrorDisplayText("(error $2501)"), "(error $2501)");
  EXPECT_EQ(ErrorDisplayText("Done."), "Done.");
  EXPECT_EQ(ErrorDisplayText("quoted '"), "quoted '");  // "'" sorts before "."
  EXPECT_EQ(ErrorDisplayText("path\\"), "path\\.");
  // Messages are UTF-8: a character beyond ASCII ends in a byte above ".".
  EXPECT_EQ(ErrorDisplayText(Utf8Bytes(u8"C:\\Эфир")), Utf8Bytes(u8"C:\\Эфир."));
  EXPECT_EQ(ErrorDisplayText(""), "");
}

}  // namespace
}  // namespace framework
