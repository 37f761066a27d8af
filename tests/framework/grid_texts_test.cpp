#include "framework/grid_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace framework {
namespace {

using Views = std::vector<std::u16string_view>;

// A cell's text that changes length moves the texts after it in its row,
// and leaves the cells before it and the other rows as they were.
TEST(GridTextsTest, CellsOfARowKeepTheirTextsAsOthersChangeLength) {
  GridTexts t;
  t.Resize(3, 4);
  EXPECT_TRUE(t.SetRow(1, Views{u"1", u"03.01.2011", u"Ролик", u"17/2010"}));
  EXPECT_TRUE(t.Set(1, 1, u"3.1.11"));
  EXPECT_TRUE(t.Set(0, 1, u"12345"));
  EXPECT_TRUE(t.Set(3, 1, u""));
  EXPECT_TRUE(t.Set(3, 1, u"9/2012"));
  EXPECT_EQ(t.Get(0, 1), u"12345");
  EXPECT_EQ(t.Get(1, 1), u"3.1.11");
  EXPECT_EQ(t.Get(2, 1), u"Ролик");
  EXPECT_EQ(t.Get(3, 1), u"9/2012");
  for (int c = 0; c < 4; ++c) EXPECT_EQ(t.Get(c, 0), u"") << c;
  for (int c = 0; c < 4; ++c) EXPECT_EQ(t.Get(c, 2), u"") << c;
  // The same text again is no change; outside the bounds nothing happens.
  EXPECT_FALSE(t.Set(2, 1, u"Ролик"));
  EXPECT_FALSE(t.SetRow(1, Views{u"12345", u"3.1.11", u"Ролик", u"9/2012"}));
  EXPECT_FALSE(t.Set(4, 1, u"x"));
  EXPECT_FALSE(t.Set(0, 3, u"x"));
  EXPECT_FALSE(t.SetRow(-1, Views{u"x"}));
  EXPECT_EQ(t.Get(4, 1), u"");
  EXPECT_EQ(t.Get(0, -1), u"");
}

TEST(GridTextsTest, ARowGivenFewerTextsEmptiesTheRestAndMoreAreIgnored) {
  GridTexts t;
  t.Resize(1, 3);
  t.SetRow(0, Views{u"a", u"b", u"c"});
  EXPECT_TRUE(t.SetRow(0, Views{u"x"}));
  EXPECT_EQ(t.Get(0, 0), u"x");
  EXPECT_EQ(t.Get(1, 0), u"");
  EXPECT_EQ(t.Get(2, 0), u"");
  EXPECT_TRUE(t.SetRow(0, Views{u"p", u"q", u"r", u"s"}));
  EXPECT_EQ(t.Get(2, 0), u"r");
  // Emptying a row that holds texts is a change.
  EXPECT_TRUE(t.SetRow(0, Views{}));
  EXPECT_EQ(t.Get(0, 0), u"");
}

TEST(GridTextsTest, ResizingKeepsTheTextsOfTheCellsThatStay) {
  GridTexts t;
  t.Resize(2, 3);
  t.SetRow(0, Views{u"h0", u"h1", u"h2"});
  t.SetRow(1, Views{u"a0", u"a1", u"a2"});
  t.Resize(50000, 3);
  t.Set(1, 49999, u"last");
  t.Resize(2, 2);  // a column and many rows go
  EXPECT_EQ(t.Rows(), 2);
  EXPECT_EQ(t.Cols(), 2);
  EXPECT_EQ(t.Get(1, 0), u"h1");
  EXPECT_EQ(t.Get(2, 0), u"");
  t.Resize(3, 4);  // come back empty
  EXPECT_EQ(t.Get(0, 1), u"a0");
  EXPECT_EQ(t.Get(1, 1), u"a1");
  EXPECT_EQ(t.Get(2, 1), u"");
  EXPECT_EQ(t.Get(3, 1), u"");
  EXPECT_EQ(t.Get(1, 2), u"");
  EXPECT_TRUE(t.Set(2, 1, u"new"));
  EXPECT_EQ(t.Get(1, 1), u"a1");
  EXPECT_EQ(t.Get(2, 1), u"new");
  t.Resize(3, 0);
  t.Resize(3, 2);
  EXPECT_EQ(t.Get(0, 0), u"");
  EXPECT_EQ(t.BytesHeld(), 0u);  // nothing left to keep
}

// Filling the same rows again and again, as each analysis does, keeps the
// memory to about what one fill needs; texts of any characters survive.
TEST(GridTextsTest, RefillsDoNotGrowAndEveryCharacterComesBack) {
  GridTexts t;
  t.Resize(20001, 6);
  const std::u16string name = u"Ролик «Газета» 30 сек \U0001F600 ";
  size_t after_first = 0;
  for (int fill = 0; fill < 10; ++fill) {
    for (int r = 1; r <= 20000; ++r) {
      const std::u16string position = std::u16string(u"#") + static_cast<char16_t>(u'0' + fill);
      const std::u16string full = name + static_cast<char16_t>(u'A' + r % 26);
      t.SetRow(r, Views{position, u"03.01.2011", u"", full});
    }
    if (fill == 0) after_first = t.BytesHeld();
    EXPECT_EQ(t.Get(0, 20000), std::u16string(u"#") + static_cast<char16_t>(u'0' + fill));
    EXPECT_EQ(t.Get(3, 7), name + u'H');
    EXPECT_EQ(t.Get(2, 7), u"");
    EXPECT_EQ(t.Get(5, 7), u"");
  }
  EXPECT_LE(t.BytesHeld(), after_first * 3);
  t.Set(3, 5, u"x");
  EXPECT_EQ(t.Get(3, 5), u"x");
  EXPECT_EQ(t.Get(1, 5), u"03.01.2011");
  EXPECT_EQ(t.Get(3, 6), name + u'G');
}

}  // namespace
}  // namespace framework
