#include "paradox/codepage.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "../support/status_assert.h"

namespace paradox {
namespace {

const int kDosPages[] = {437, 737, 775, 850, 852, 855, 857, 860,
                         861, 862, 863, 864, 865, 866, 869};
const int kAnsiPages[] = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
const int kMultiBytePages[] = {932, 936, 949, 950};

// "Курс ЦБ" in the two Cyrillic pages.
const std::string kKurs866 = "\x8A\xE3\xE0\xE1\x20\x96\x81";
const std::string kKurs1251 = "\xCA\xF3\xF0\xF1\x20\xD6\xC1";
const std::string kKursUtf8 = "Курс ЦБ";

char32_t Unicode(int page, uint8_t b) {
  char32_t c = 0;
  EXPECT_TRUE(ByteToUnicode(page, b, &c)) << "page " << page << " byte " << int(b);
  return c;
}

std::string ToUtf8(int page, const std::string& bytes) {
  std::string out;
  AppendUtf8(page, bytes, &out);
  return out;
}

std::vector<int> SingleBytePages() {
  std::vector<int> pages(std::begin(kDosPages), std::end(kDosPages));
  pages.insert(pages.end(), std::begin(kAnsiPages), std::end(kAnsiPages));
  return pages;
}

std::string AllBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
  return s;
}

TEST(CodePageKind, ClassifiesEveryPageAndRejectsOthers) {
  for (int p : kDosPages) EXPECT_EQ(KindOf(p), CodePageKind::kDos) << p;
  for (int p : kAnsiPages) EXPECT_EQ(KindOf(p), CodePageKind::kAnsi) << p;
  for (int p : kMultiBytePages) EXPECT_EQ(KindOf(p), CodePageKind::kMultiByte) << p;
  for (int p : {0, -1, 1, 1200, 1201, 20866, 28591, 65001, 851, 1249, 1259}) {
    EXPECT_FALSE(IsKnownCodePage(p)) << p;
    EXPECT_EQ(KindOf(p), CodePageKind::kUnknown) << p;
  }
  EXPECT_TRUE(IsKnownCodePage(kLegacyCodePage));
  EXPECT_OK(PrepareCodePages());
}

TEST(ByteToUnicode, KnownCharacters) {
  EXPECT_EQ(Unicode(866, 0x80), U'А');
  EXPECT_EQ(Unicode(866, 0xF0), U'Ё');
  EXPECT_EQ(Unicode(866, 0xF1), U'ё');
  EXPECT_EQ(Unicode(866, 0xB0), U'\u2591');
  EXPECT_EQ(Unicode(437, 0x82), U'é');
  EXPECT_EQ(Unicode(1252, 0x80), U'€');
  EXPECT_EQ(Unicode(1251, 0xFF), U'я');
  EXPECT_EQ(Unicode(864, 0x25), U'\u066A');  // the one page whose low half differs
  EXPECT_EQ(Unicode(932, 0xB1), U'\uFF71');  // half-width katakana
  EXPECT_EQ(Unicode(936, 'A'), U'A');
}

TEST(ByteToUnicode, UndefinedBytes) {
  char32_t c;
  EXPECT_FALSE(ByteToUnicode(1251, 0x98, &c));
  EXPECT_FALSE(ByteToUnicode(1252, 0x81, &c));
  EXPECT_FALSE(ByteToUnicode(932, 0x81, &c));  // lead byte
  EXPECT_FALSE(ByteToUnicode(936, 0xD6, &c));
  EXPECT_FALSE(ByteToUnicode(0, 0x80, &c));
  EXPECT_EQ(Unicode(0, 'z'), U'z');  // unknown pages still read ASCII
}

TEST(ByteToUnicode, ControlBytesAreThemselvesOnEveryPage) {
  std::vector<int> pages = SingleBytePages();
  pages.insert(pages.end(), std::begin(kMultiBytePages), std::end(kMultiBytePages));
  for (int p : pages) {
    for (int b = 0; b < 0x20; ++b) EXPECT_EQ(Unicode(p, b), char32_t(b)) << p;
    EXPECT_EQ(Unicode(p, 0x7F), U'\x7F') << p;
  }
}

TEST(AppendUtf8, CyrillicPages) {
  EXPECT_EQ(ToUtf8(866, kKurs866), kKursUtf8);
  EXPECT_EQ(ToUtf8(1251, kKurs1251), kKursUtf8);
  EXPECT_EQ(Cp1251ToUtf8(kKurs1251), kKursUtf8);
  std::string out = "x";  // appends, does not replace
  AppendUtf8(866, "\xF0", &out);
  EXPECT_EQ(out, "xЁ");
}

TEST(AppendUtf8, UndefinedBytesBecomeReplacement) {
  EXPECT_EQ(ToUtf8(1251, "a\x98z"), "a\uFFFDz");
  EXPECT_EQ(ToUtf8(0, "a\xE9z"), "a\uFFFDz");
  EXPECT_EQ(ToUtf8(864, "5%"), "5\u066A");
  EXPECT_EQ(ToUtf8(1252, std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(AppendUtf8, MultiBytePagesKeepAsciiAndReplaceEachPair) {
  EXPECT_EQ(ToUtf8(936, "ab\xD6\xD0" "c"), "ab\uFFFDc");
  // 0x5C after a lead byte is a trail byte, not a backslash.
  EXPECT_EQ(ToUtf8(932, "\x83\x5C!"), "\uFFFD!");
  // A lead byte with no valid trail stands alone; the next byte is kept.
  EXPECT_EQ(ToUtf8(936, "\xD6" "1"), "\uFFFD1");
  EXPECT_EQ(ToUtf8(949, "ok\xB0"), "ok\uFFFD");
  EXPECT_EQ(ToUtf8(932, "\xB1" "A"), "\uFF71A");
}

TEST(DosTo1251Map, CyrillicText) {
  const uint8_t* map = DosTo1251Map(866);
  ASSERT_NE(map, nullptr);
  std::string converted;
  for (char ch : kKurs866) converted.push_back(static_cast<char>(map[uint8_t(ch)]));
  EXPECT_EQ(converted, kKurs1251);
  EXPECT_EQ(map[0xF0], 0xA8);  // Ё
  EXPECT_EQ(map[0xF1], 0xB8);  // ё
  EXPECT_EQ(map[0xFC], 0xB9);  // №
  EXPECT_EQ(map[0xFF], 0xA0);  // no-break space
  EXPECT_EQ(map[0xB0], '?');   // pseudo-graphics
  EXPECT_EQ(map[0xC5], '?');
  for (int b = 0; b < 0x80; ++b) EXPECT_EQ(map[b], b);
  EXPECT_EQ(DosTo1251Map(866), map);
}

TEST(DosTo1251Map, OtherDosPages) {
  const uint8_t* m437 = DosTo1251Map(437);
  ASSERT_NE(m437, nullptr);
  EXPECT_EQ(m437[0x82], '?');   // é
  EXPECT_EQ(m437[0xFF], 0xA0);  // no-break space
  EXPECT_EQ(m437['A'], 'A');
  const uint8_t* m855 = DosTo1251Map(855);
  ASSERT_NE(m855, nullptr);
  EXPECT_EQ(m855[0x80], 0x90);  // ђ
  // 864's byte 0x25 is the Arabic percent sign, which 1251 lacks.
  EXPECT_EQ(DosTo1251Map(864)[0x25], '?');
  for (int p : {1251, 1252, 874, 932, 0, 65001}) EXPECT_EQ(DosTo1251Map(p), nullptr) << p;
}

TEST(DosTo1251Map, EveryMappedByteKeepsItsCharacter) {
  for (int p : kDosPages) {
    const uint8_t* map = DosTo1251Map(p);
    ASSERT_NE(map, nullptr) << p;
    for (int b = 0; b < 256; ++b) {
      char32_t from, to;
      bool defined = ByteToUnicode(p, b, &from);
      ASSERT_TRUE(ByteToUnicode(1251, map[b], &to));
      if (map[b] == '?' && !(defined && from == U'?')) continue;
      EXPECT_TRUE(defined) << p << " byte " << b;
      EXPECT_EQ(from, to) << p << " byte " << b;
    }
  }
}

TEST(Utf8ToCodePage, EverySingleBytePageRoundTrips) {
  for (int p : SingleBytePages()) {
    for (int b = 0; b < 256; ++b) {
      char32_t c;
      if (!ByteToUnicode(p, b, &c)) continue;
      std::string byte(1, static_cast<char>(b));
      EXPECT_EQ(Utf8ToCodePage(p, ToUtf8(p, byte)), byte) << p << " byte " << b;
    }
  }
  EXPECT_EQ(Utf8ToCodePage(866, kKursUtf8), kKurs866);
  EXPECT_EQ(Utf8ToCodePage(864, "%"), "?");
}

TEST(Utf8ToCodePage, CharactersWithoutAFormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8To1251("日本 é"), "?? ?");
  EXPECT_EQ(Utf8To1251("a\U0001F600b"), "a?b");
  EXPECT_EQ(Utf8ToCodePage(0, "ab\xC3\xA9"), "ab?");
  EXPECT_EQ(Utf8ToCodePage(936, "ab\xE4\xB8\xAD"), "ab?");
  EXPECT_EQ(Utf8ToCodePage(932, "\uFF71"), "\xB1");
}

TEST(Utf8ToCodePage, InvalidUtf8CountsOncePerBadSequence) {
  EXPECT_EQ(Utf8To1251("a\xE2\x82"), "a?");             // truncated €
  EXPECT_EQ(Utf8To1251("\xE2\x82z"), "?z");             // broken €
  EXPECT_EQ(Utf8To1251("\xE0\x80\x80"), "???");         // overlong
  EXPECT_EQ(Utf8To1251("\xED\xA0\x80"), "???");         // surrogate
  EXPECT_EQ(Utf8To1251("\xF4\x90\x80\x80"), "????");    // beyond U+10FFFF
  EXPECT_EQ(Utf8To1251("\xC0\xAF\xFF"), "???");
}

TEST(Cp1251, RoundTripsEveryDefinedByte) {
  std::string all = AllBytes();
  std::string expected = all;
  expected[0x98] = '?';
  EXPECT_EQ(Utf8To1251(Cp1251ToUtf8(all)), expected);
}

}  // namespace
}  // namespace paradox
