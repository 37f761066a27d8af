#include "framework/text.h"

#include <gtest/gtest.h>

namespace framework {
namespace {

TEST(TextTest, Cp1251CyrillicAndPunctuationBothWays) {
  // "Нет базы №1 Ёё€" in Windows-1251.
  const std::string cp1251 = "\xCD\xE5\xF2 \xE1\xE0\xE7\xFB \xB9" "1 \xA8\xB8\x88";
  const std::u16string utf16 = u"Нет базы №1 Ёё€";
  EXPECT_EQ(FromCp1251(cp1251), utf16);
  EXPECT_EQ(ToCp1251(utf16), cp1251);
}

TEST(TextTest, EveryCp1251ByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(ToCp1251(FromCp1251(all)), all);
}

TEST(TextTest, CharactersWithoutCp1251FormBecomeQuestionMarks) {
  EXPECT_EQ(ToCp1251(u"a\u4E2Db\U0001F600c"), "a?b??c");  // the emoji is two UTF-16 units
}

TEST(TextTest, Utf8LiteralsAndFourByteCharacters) {
  EXPECT_EQ(FromUtf8(u8"Ход процесса"), u"Ход процесса");
  EXPECT_EQ(FromUtf8(std::string("\xF0\x9F\x98\x80")), u"\U0001F600");
  EXPECT_EQ(ToUtf8(u"Ход \U0001F600"), "\xD0\xA5\xD0\xBE\xD0\xB4 \xF0\x9F\x98\x80");
}

TEST(TextTest, MalformedUtf8BecomesReplacementCharacters) {
  // A lone continuation byte, a cut sequence, an overlong "/", a surrogate.
  EXPECT_EQ(FromUtf8(std::string("a\x80z")), u"a\uFFFDz");
  EXPECT_EQ(FromUtf8(std::string("a\xD0")), u"a\uFFFD");
  EXPECT_EQ(FromUtf8(std::string("\xC0\xAF")), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8(std::string("\xED\xA0\x80x")), u"\uFFFD\uFFFD\uFFFDx");
}

TEST(TextTest, UnpairedSurrogateBecomesReplacementInUtf8) {
  std::u16string lone = u"a";
  lone.push_back(0xD800);
  lone.push_back(u'b');
  EXPECT_EQ(ToUtf8(lone), "a\xEF\xBF\xBD" "b");
}

TEST(AcceleratorTest, LetterAfterSingleAmpersandInEitherCase) {
  EXPECT_TRUE(IsAccelerator(u'n', u"Directory &Name:"));
  EXPECT_TRUE(IsAccelerator(u'N', u"Directory &Name:"));
  EXPECT_FALSE(IsAccelerator(u'd', u"Directory &Name:"));
  EXPECT_TRUE(IsAccelerator(u'r', u"D&rives:"));
  EXPECT_FALSE(IsAccelerator(u'b', u"A && B"));  // "&&" shows an ampersand
  EXPECT_TRUE(IsAccelerator(u'c', u"A && B &C"));
  EXPECT_TRUE(IsAccelerator(u'п', u"&Путь"));
  EXPECT_FALSE(IsAccelerator(u'x', u"trailing &"));
}

}  // namespace
}  // namespace framework
