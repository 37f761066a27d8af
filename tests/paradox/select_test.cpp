// The ordered read against a model: the rows a stable sort on whole values
// gives, whatever the keys share and however many rows tie.
#include "paradox/select.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "paradox/sql.h"
#include "paradox/value.h"
#include "../support/table_helpers.h"

namespace paradox {
namespace {

struct Row {
  int id, date, time;
  std::string name;
};

// The result's ids in order for `order_by` over `rows`.
std::vector<int> Ordered(const std::vector<Row>& rows, const std::string& order_by) {
  MemFileSystem fs;
  WriteTable(&fs, "t.db",
             {{"ID", FieldType::kLong, 4}, {"D", FieldType::kDate, 4}, {"T", FieldType::kTime, 4},
              {"Name", FieldType::kAlpha, 20}},
             CreateOptions(), static_cast<int>(rows.size()), [&](RecordBuilder* rb, int i) {
               const Row& r = rows[size_t(i)];
               rb->SetInt(0, r.id);
               if (r.date != 0) rb->SetInt(1, r.date);
               if (r.time >= 0) rb->SetInt(2, r.time);
               if (!r.name.empty()) rb->SetAlpha(3, r.name);
             });
  Statement st;
  EXPECT_OK(ParseStatement("SELECT * FROM \"t.db\" ORDER BY " + order_by, &st));
  std::unique_ptr<ResultSet> rs;
  Status s = ResultSet::Run(&fs, st, &rs);
  EXPECT_OK(s);
  std::vector<int> ids;
  if (!s.ok()) return ids;
  for (size_t i = 0; i < rs->size(); ++i) ids.push_back(GetInt(rs->table().fields()[0], rs->record(i)));
  return ids;
}

TEST(OrderedReadTest, MatchesAStableSortOnWholeValues) {
  uint32_t x = 12345;
  auto next = [&](uint32_t below) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    return x % below;
  };
  // Few distinct dates and times, so that many rows tie on the first eight
  // key bytes and names decide; empty values among them.
  for (int round = 0; round < 6; ++round) {
    const int n = round < 3 ? 300 : 3000;
    const uint32_t spread = round % 3 == 0 ? 2 : round % 3 == 1 ? 40 : 100000;
    std::vector<Row> rows;
    for (int i = 0; i < n; ++i) {
      Row r{i + 1, next(10) == 0 ? 0 : 734000 + int(next(spread)), next(10) == 0 ? -1 : int(next(spread)) * 1000, ""};
      const uint32_t k = next(6);
      if (k > 0) r.name = std::string(k, char('a' + next(3)));
      rows.push_back(r);
    }
    std::vector<Row> model = rows;
    std::stable_sort(model.begin(), model.end(), [](const Row& a, const Row& b) {
      return std::tie(a.date, a.time, a.name) < std::tie(b.date, b.time, b.name);
    });
    std::vector<int> want;
    for (const Row& r : model) want.push_back(r.id);
    EXPECT_EQ(Ordered(rows, "D,T,Name"), want) << "round " << round;
    // One short key (the compact keys hold all of it), descending.
    model = rows;
    std::stable_sort(model.begin(), model.end(), [](const Row& a, const Row& b) { return a.time > b.time; });
    want.clear();
    for (const Row& r : model) want.push_back(r.id);
    EXPECT_EQ(Ordered(rows, "T DESC"), want) << "round " << round;
  }
}

}  // namespace
}  // namespace paradox
