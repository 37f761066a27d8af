#include "tools/sample_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "paradox/env/file_mem.h"
#include "paradox/codepage.h"
#include "paradox/table.h"
#include "paradox/value.h"
#include "../support/status_assert.h"

namespace tools {
namespace {

using namespace paradox;

// The six fields that decide whether two rows repeat each other, as stored.
using Six = std::string;

struct Written {
  std::vector<Six> six;
  std::vector<int32_t> dates, numbers;
  std::vector<std::string> names;
};

Written Read(MemFileSystem* fs, const std::string& path) {
  std::unique_ptr<Table> t;
  Status st = Table::Open(fs, path, OpenOptions(), &t);
  EXPECT_OK(st);
  Written w;
  if (!st.ok()) return w;
  const auto& f = t->fields();
  int first = t->FindField("FName");
  for (auto c = t->NewCursor(); c->Valid(); c->Next()) {
    const uint8_t* r = c->record();
    // FName .. FYearOrder are consecutive in the record.
    size_t from = f[first].offset, to = f[first + 5].offset + f[first + 5].size;
    w.six.emplace_back(reinterpret_cast<const char*>(r) + from, to - from);
    w.names.emplace_back(GetAlpha(f[first], r));
    w.dates.push_back(GetInt(f[first + 1], r));
    w.numbers.push_back(GetInt(f[first + 3], r));
  }
  return w;
}

SampleOptions Options(uint64_t rows, uint64_t seed) {
  SampleOptions o;
  o.rows = rows;
  o.seed = seed;
  return o;
}

TEST(SampleData, SameSeedSameFilesOtherSeedOtherRows) {
  SampleOptions o = Options(3000, 42);
  o.keyed = true;
  MemFileSystem a, b, c;
  ASSERT_OK(WriteSampleTable(&a, "AdvBlock.db", o, nullptr));
  ASSERT_OK(WriteSampleTable(&b, "AdvBlock.db", o, nullptr));
  EXPECT_EQ(a.Contents("AdvBlock.db"), b.Contents("AdvBlock.db"));
  EXPECT_EQ(a.Contents("AdvBlock.PX"), b.Contents("AdvBlock.PX"));
  o.seed = 43;
  ASSERT_OK(WriteSampleTable(&c, "AdvBlock.db", o, nullptr));
  EXPECT_NE(Read(&a, "AdvBlock.db").six, Read(&c, "AdvBlock.db").six);
  // Pinned first row: a change of the generator shows up here, not first in
  // a fixture someone regenerated.
  SampleGenerator gen(Options(10, 1));
  const SampleRow& r = gen.Next();
  EXPECT_EQ(Cp1251ToUtf8(r.name), "Ролик «Стиральный порошок Пемос» 10 сек");
  EXPECT_EQ(FormatDate(r.date), "2008-01-01");
}

TEST(SampleData, SharesAreRoughlyHonouredAndRepeatsAreExact) {
  SampleOptions o = Options(20000, 7);
  o.old_percent = 30;
  o.repeat_percent = 10;
  o.near_percent = 6;
  MemFileSystem fs;
  SampleStats stats;
  ASSERT_OK(WriteSampleTable(&fs, "AdvBlock.db", o, &stats));
  Written w = Read(&fs, "AdvBlock.db");
  ASSERT_EQ(w.six.size(), 20000u);

  // Counted from the table itself, not from the generator's word.
  const int32_t y2011 = static_cast<int32_t>(DayFromCivil(2011, 1, 1));
  size_t old = std::count_if(w.dates.begin(), w.dates.end(), [&](int32_t d) { return d < y2011; });
  EXPECT_NEAR(old / 200.0, 30, 2);
  EXPECT_EQ(old, stats.old_rows);
  std::vector<Six> sorted = w.six;
  std::sort(sorted.begin(), sorted.end());
  size_t repeats = 0;
  for (size_t i = 1; i < sorted.size(); ++i) repeats += sorted[i] == sorted[i - 1];
  EXPECT_NEAR(repeats / 200.0, 10, 1.5);
  EXPECT_NEAR(stats.near_repeats / 200.0, 6, 1.5);
  for (int32_t n : w.numbers) EXPECT_TRUE(n >= 1 && n <= 99) << n;

  // Each repeat equals its source in all six fields; a near repeat shares
  // date, time and name but not the six fields.
  SampleGenerator gen(o);
  size_t checked_repeat = 0, checked_near = 0;
  for (size_t i = 0; i < 20000; ++i) {
    const SampleRow& r = gen.Next();
    if (r.repeat_of >= 0) {
      EXPECT_EQ(w.six[i], w.six[static_cast<size_t>(r.repeat_of)]) << i;
      ++checked_repeat;
    }
    if (r.near_of >= 0) {
      const Six& a = w.six[i];
      const Six& b = w.six[static_cast<size_t>(r.near_of)];
      EXPECT_EQ(a.substr(0, 88), b.substr(0, 88)) << i;  // FName A80, FDate, FTime
      EXPECT_NE(a, b) << i;
      ++checked_near;
    }
  }
  EXPECT_EQ(checked_repeat, stats.repeats);
  EXPECT_EQ(checked_near, stats.near_repeats);
}

TEST(SampleData, CodePagesEncodeTheSameNames) {
  SampleOptions o = Options(500, 5);
  MemFileSystem fs866, fs1251;
  o.code_page = 866;
  ASSERT_OK(WriteSampleTable(&fs866, "AdvBlock.db", o, nullptr));
  o.code_page = 1251;
  ASSERT_OK(WriteSampleTable(&fs1251, "AdvBlock.db", o, nullptr));
  Written d = Read(&fs866, "AdvBlock.db"), w = Read(&fs1251, "AdvBlock.db");
  ASSERT_EQ(d.names.size(), w.names.size());
  for (size_t i = 0; i < d.names.size(); ++i) {
    std::string dos, win;
    AppendUtf8(866, d.names[i], &dos);
    AppendUtf8(1251, w.names[i], &win);
    // The DOS page has no guillemets and no dash; its names use what a DOS
    // user would type.
    for (auto [from, to] : {std::pair<std::string, std::string>{"«", "\""}, {"»", "\""}, {"—", "-"}})
      for (size_t p; (p = win.find(from)) != std::string::npos;) win.replace(p, from.size(), to);
    EXPECT_EQ(dos, win) << i;
    // "Р" of "Ролик", "Спонсорская", ... : 0x90 in 866, 0xD0 in 1251.
    ASSERT_NE(d.names[i], w.names[i]);
    EXPECT_EQ(d.names[i].size(), w.names[i].size());
  }
  EXPECT_EQ(static_cast<uint8_t>(d.names[0][0]) + 0x40, static_cast<uint8_t>(w.names[0][0]));
  EXPECT_EQ(d.dates, w.dates);  // only the text depends on the page
}

TEST(SampleData, LongNumbersVersionsAndKeys) {
  for (int version : {3, 4, 5, 7}) {
    SampleOptions o = Options(4000, 9);
    o.version = version;
    o.keyed = true;
    o.long_number = true;
    MemFileSystem fs;
    SampleStats stats;
    ASSERT_OK(WriteSampleTable(&fs, "AdvBlock.db", o, &stats)) << version;
    ASSERT_TRUE(fs.FileExists("AdvBlock.PX"));
    std::unique_ptr<Table> t;
    ASSERT_OK(Table::Open(&fs, "AdvBlock.db", OpenOptions(), &t));
    EXPECT_EQ(t->header().version, SampleVersionByte(version));
    EXPECT_EQ(t->header().autoinc, 4000u);
    Written w = Read(&fs, "AdvBlock.db");
    EXPECT_EQ(w.numbers.size(), 4000u);
    EXPECT_GT(std::count(w.numbers.begin(), w.numbers.end(), 70000), 0);
    EXPECT_GT(std::count(w.numbers.begin(), w.numbers.end(), 40000), 0);
    EXPECT_EQ(static_cast<uint64_t>(std::count_if(w.numbers.begin(), w.numbers.end(), [](int32_t n) { return n > 32767; })),
              stats.big_numbers);
  }
}

TEST(SampleData, RefusesUnusableOptions) {
  SampleOptions o;
  o.repeat_percent = 60;
  o.near_percent = 50;
  EXPECT_FALSE(CheckSampleOptions(o).ok());
  o = SampleOptions();
  o.version = 6;
  EXPECT_FALSE(CheckSampleOptions(o).ok());
  o = SampleOptions();
  o.code_page = 1252;
  EXPECT_FALSE(CheckSampleOptions(o).ok());
  o = SampleOptions();
  o.rows = 1000000;
  o.block_size = 2048;  // 14 rows a block: 71429 blocks
  EXPECT_FALSE(CheckSampleOptions(o).ok());
  o.block_size = 0;
  EXPECT_OK(CheckSampleOptions(o));
  EXPECT_EQ(ChooseSampleBlockSize(1000000, 142), 16384u);
  EXPECT_EQ(ChooseSampleBlockSize(1000, 142), 2048u);
  MemFileSystem fs;
  fs.SetContents("AdvBlock.db", {1});
  EXPECT_FALSE(WriteSampleTable(&fs, "AdvBlock.db", SampleOptions(), nullptr).ok());
  EXPECT_EQ(fs.Contents("AdvBlock.db").size(), 1u);
}

}  // namespace
}  // namespace tools
