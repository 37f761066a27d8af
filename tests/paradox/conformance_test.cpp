// Reads every real table of the shared fixtures through paradox::Table and
// compares the header, the fields and every value with the decoded contents
// in the <table>.expected.json beside it. One test case per table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "../support/fixture_files.h"
#include "../support/json.h"
#include "../support/sha256.h"
#include "../support/text.h"
#include "paradox/codepage.h"
#include "paradox/file.h"
#include "paradox/format/header.h"
#include "paradox/table.h"
#include "paradox/value.h"
#include "../support/status_assert.h"

namespace paradox {
namespace {

namespace fs = std::filesystem;
using testsupport::Hex;
using testsupport::Json;
using testsupport::PathFromUtf8;
using testsupport::ReadWholeFile;
using testsupport::Utf8;

std::string Base64(std::string_view data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    uint32_t v = (uint32_t{static_cast<uint8_t>(data[i])} << 16) |
                 (uint32_t{static_cast<uint8_t>(data[i + 1])} << 8) | static_cast<uint8_t>(data[i + 2]);
    for (int k = 3; k >= 0; --k) out.push_back(kAlphabet[(v >> (6 * k)) & 63]);
  }
  if (size_t rest = data.size() - i; rest > 0) {
    uint32_t v = uint32_t{static_cast<uint8_t>(data[i])} << 16;
    if (rest == 2) v |= uint32_t{static_cast<uint8_t>(data[i + 1])} << 8;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

// Short rendering of an expected value for failure messages.
std::string Show(const Json& v) {
  switch (v.kind()) {
    case Json::Kind::kNull: return "null";
    case Json::Kind::kBool: return v.boolean() ? "true" : "false";
    case Json::Kind::kNumber: return v.number_text();
    case Json::Kind::kString: return '"' + v.str() + '"';
    case Json::Kind::kArray: return "[...]";
    case Json::Kind::kObject: {
      std::string s = "{";
      for (const auto& [k, m] : v.members()) {
        if (s.size() > 1) s += ", ";
        std::string shown = Show(m);
        if (shown.size() > 80) shown = shown.substr(0, 77) + "...";
        s += k + ": " + shown;
      }
      return s + "}";
    }
  }
  return "?";
}

std::string ShowDouble(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

// ---------------------------------------------------------------------------
// The fixture tables, found when the test program starts.

struct FixtureTable {
  std::string name;      // test name, from the path below the fixtures folder
  std::string expected;  // <table>.expected.json; empty: no fixtures at all
  std::string table;     // the .db beside it; empty when there is none
};

void PrintTo(const FixtureTable& t, std::ostream* os) { *os << t.name; }

std::vector<FixtureTable> FindFixtureTables() {
  std::vector<FixtureTable> out;
  if (!testsupport::FixturesPresent()) {
    out.push_back({"SharedFixtures", "", ""});
    return out;
  }
  const fs::path root = PathFromUtf8(ADVCLEAN_FIXTURES_DIR);
  const std::string_view suffix = ".expected.json";
  for (const testsupport::ExpectedTable& e : testsupport::FindExpectedTables()) {
    FixtureTable t;
    t.expected = Utf8(e.expected);
    t.table = e.db;
    std::string rel = Utf8(e.expected.lexically_relative(root));
    rel.resize(rel.size() - suffix.size());
    t.name = testsupport::TestName(rel);
    out.push_back(std::move(t));
  }
  std::sort(out.begin(), out.end(),
            [](const FixtureTable& a, const FixtureTable& b) { return a.name < b.name; });
  if (out.empty()) out.push_back({"NoExpectedFiles", "", ""});
  return out;
}

// ---------------------------------------------------------------------------
// Comparisons.

int64_t IntMember(const Json& obj, std::string_view key) {
  const Json* v = obj.Find(key);
  int64_t n = 0;
  if (v == nullptr || !v->AsInt64(&n)) {
    ADD_FAILURE() << "expected file lacks an integer \"" << key << "\"";
    return -1;
  }
  return n;
}

// "cp1251" -> 1251.
int CodePageOf(const std::string& encoding) {
  if (encoding.size() < 3 || encoding.compare(0, 2, "cp") != 0) return 0;
  int page = 0;
  for (size_t i = 2; i < encoding.size(); ++i) {
    if (encoding[i] < '0' || encoding[i] > '9') return 0;
    page = page * 10 + (encoding[i] - '0');
  }
  return page;
}

void ExpectHeader(const TableHeader& h, const Json& want) {
  EXPECT_EQ(h.version, IntMember(want, "file_version_byte")) << "version byte";
  EXPECT_EQ(static_cast<int>(h.file_type), IntMember(want, "file_type")) << "file type";
  if (const Json* keyed = want.Find("keyed"); keyed != nullptr && keyed->is_bool()) {
    EXPECT_EQ(h.keyed(), keyed->boolean()) << "keyed";
  }
  EXPECT_EQ(h.primary_key_fields, IntMember(want, "primary_key_fields")) << "key fields";
  EXPECT_EQ(h.block_size, IntMember(want, "block_size")) << "block size";
  EXPECT_EQ(h.header_size, IntMember(want, "header_size")) << "header size";
  EXPECT_EQ(h.record_size, IntMember(want, "record_size")) << "record size";
  EXPECT_EQ(h.num_records, IntMember(want, "record_count")) << "record count";
  EXPECT_EQ(h.sort_order, IntMember(want, "sort_order")) << "sort order";
  EXPECT_EQ(h.autoinc, IntMember(want, "autoinc_next")) << "auto-increment value";
  // Version 3.x headers have no code page; the engine reports 0 for them.
  const Json* page = want.Find("code_page");
  if (page != nullptr && !page->is_null()) {
    EXPECT_EQ(h.code_page, IntMember(want, "code_page")) << "code page";
  } else {
    EXPECT_EQ(h.code_page, 0) << "a header without a code page";
  }
  const Json* encrypted = want.Find("encrypted");
  ASSERT_TRUE(encrypted != nullptr && encrypted->is_bool());
  EXPECT_EQ(h.encrypted, encrypted->boolean()) << "encrypted";
}

void ExpectFields(const std::vector<Field>& fields, const Json& want, int code_page) {
  ASSERT_TRUE(want.is_array());
  ASSERT_EQ(fields.size(), want.array().size()) << "number of fields";
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    const Json& w = want.array()[i];
    std::string name;
    AppendUtf8(code_page, f.name, &name);
    const Json* wname = w.Find("name");
    const Json* wtype = w.Find("type");
    ASSERT_TRUE(wname != nullptr && wname->is_string() && wtype != nullptr && wtype->is_string());
    EXPECT_EQ(name, wname->str()) << "name of field " << i + 1;
    EXPECT_EQ(FieldTypeName(f.type), wtype->str()) << "type of field " << i + 1;
    EXPECT_EQ(static_cast<int>(f.type), IntMember(w, "type_code")) << "type code of field " << i + 1;
    // The descriptor's size byte; for BCD that is the scale and the field
    // takes 17 bytes.
    EXPECT_EQ(f.declared, IntMember(w, "size")) << "size of field " << i + 1;
    if (f.type == FieldType::kBcd) {
      EXPECT_EQ(f.declared, IntMember(w, "scale")) << "scale of field " << i + 1;
      EXPECT_EQ(f.size, 17) << "stored size of BCD field " << i + 1;
    }
  }
}

// Compares one value with the expected file's rendering of it. Returns an
// empty string when they agree, else what differs.
std::string CompareValue(const Table& table, int index, const uint8_t* record, const Json& want) {
  const Field& f = table.fields()[static_cast<size_t>(index)];
  const int page = table.text_code_page();
  const bool null = IsNull(f, record);
  if (want.is_null()) return null ? "" : "got a value, want null";
  if (null) return "got null, want " + Show(want);

  auto same_string = [&](const std::string& got) -> std::string {
    if (want.is_string() && want.str() == got) return "";
    return "got \"" + got + "\", want " + Show(want);
  };

  switch (f.type) {
    case FieldType::kAlpha: {
      std::string got;
      AppendUtf8(page, GetAlpha(f, record), &got);
      return same_string(got);
    }
    case FieldType::kDate:
      return same_string(FormatDate(GetInt(f, record)));
    case FieldType::kTime:
      return same_string(FormatTime(GetInt(f, record)));
    case FieldType::kTimestamp:
      return same_string(FormatTimestamp(GetDouble(f, record)));
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoInc: {
      int64_t w = 0;
      int32_t got = GetInt(f, record);
      if (want.AsInt64(&w) && w == got) return "";
      return "got " + std::to_string(got) + ", want " + Show(want);
    }
    case FieldType::kNumber:
    case FieldType::kMoney: {
      // The expected text is the shortest form of the stored double, so it
      // converts back to exactly that double.
      double got = GetDouble(f, record);
      if (want.is_number() && want.number() == got && std::signbit(want.number()) == std::signbit(got))
        return "";
      return "got " + ShowDouble(got) + ", want " + Show(want);
    }
    case FieldType::kLogical: {
      bool got = GetInt(f, record) != 0;
      if (want.is_bool() && want.boolean() == got) return "";
      return std::string("got ") + (got ? "true" : "false") + ", want " + Show(want);
    }
    case FieldType::kBcd: {
      std::string got;
      bool valid = GetBcd(f, record, &got);
      if (const Json* raw = want.Find("invalid_bcd_raw_hex"); raw != nullptr) {
        std::string hex = Hex(record + f.offset, f.size);
        if (!valid && raw->is_string() && raw->str() == hex) return "";
        return valid ? "got valid BCD \"" + got + "\", want " + Show(want)
                     : "got invalid BCD " + hex + ", want " + Show(want);
      }
      if (!valid) return "got invalid BCD " + Hex(record + f.offset, f.size) + ", want " + Show(want);
      return same_string(got);
    }
    case FieldType::kBytes:
      return same_string(Hex(record + f.offset, f.size));
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kFmtMemo:
    case FieldType::kOle:
    case FieldType::kGraphic: {
      std::string blob;
      Status st = table.ReadBlob(index, record, &blob);
      if (!st.ok()) return "ReadBlob failed: " + st.ToString();
      if (f.type == FieldType::kMemo) {
        std::string got;
        AppendUtf8(page, blob, &got);
        return same_string(got);
      }
      const Json* size = want.Find("size");
      const Json* sha = want.Find("sha256");
      int64_t wsize = -1;
      if (size == nullptr || !size->AsInt64(&wsize) || sha == nullptr || !sha->is_string())
        return "expected value is not {size, sha256}: " + Show(want);
      std::string got_sha = testsupport::Sha256Hex(blob);
      if (wsize != static_cast<int64_t>(blob.size()) || sha->str() != got_sha)
        return "got " + std::to_string(blob.size()) + " bytes with sha256 " + got_sha + ", want " + Show(want);
      if (const Json* b64 = want.Find("base64"); b64 != nullptr && Base64(blob) != b64->str())
        return "bytes differ from the expected base64";
      return "";
    }
  }
  return "unexpected field type";
}

// Snapshot of a file for checking that opening and reading wrote nothing.
struct FileState {
  std::string bytes;
  fs::file_time_type mtime;
};

FileState Snapshot(const std::string& path) {
  FileState s;
  Status st = ReadWholeFile(path, &s.bytes);
  EXPECT_OK(st);
  std::error_code ec;
  s.mtime = fs::last_write_time(PathFromUtf8(path), ec);
  EXPECT_FALSE(ec) << path << ": " << ec.message();
  return s;
}

void ExpectUnchanged(const std::string& path, const FileState& before) {
  FileState after = Snapshot(path);
  EXPECT_TRUE(after.bytes == before.bytes) << path << " was modified";
  EXPECT_TRUE(after.mtime == before.mtime) << path << " has a new modification time";
}

// ---------------------------------------------------------------------------

class ConformanceTest : public ::testing::TestWithParam<FixtureTable> {};

TEST_P(ConformanceTest, ReadsAsExpected) {
  const FixtureTable& fixture = GetParam();
  if (fixture.name == "SharedFixtures")
    GTEST_SKIP() << "shared fixtures not found at " << ADVCLEAN_FIXTURES_DIR << ", skipping";
  ASSERT_FALSE(fixture.expected.empty()) << "no *.expected.json under " << ADVCLEAN_FIXTURES_DIR;
  ASSERT_FALSE(fixture.table.empty()) << "no .db beside " << fixture.expected;

  std::string text;
  Status st = ReadWholeFile(fixture.expected, &text);
  ASSERT_OK(st);
  Json expected;
  std::string error;
  ASSERT_TRUE(Json::Parse(text, &expected, &error)) << fixture.expected << ": " << error;
  const Json* want_header = expected.Find("header");
  const Json* want_fields = expected.Find("fields");
  const Json* want_rows = expected.Find("rows");
  const Json* encoding = expected.Find("text_encoding");
  ASSERT_TRUE(want_header && want_fields && want_rows && want_rows->is_array() && encoding &&
              encoding->is_string())
      << fixture.expected << " lacks header, fields, rows or text_encoding";
  const int code_page = CodePageOf(encoding->str());
  ASSERT_NE(code_page, 0) << "text_encoding " << encoding->str();
  const Json* encrypted = want_header->Find("encrypted");
  ASSERT_TRUE(encrypted != nullptr && encrypted->is_bool());

  const FileState before = Snapshot(fixture.table);

  if (encrypted->boolean()) {
    // The header itself is plain; check it, then that the table is refused.
    TableHeader h;
    std::vector<uint8_t> bytes(before.bytes.begin(), before.bytes.end());
    st = ParseHeader(bytes, bytes.size(), &h);
    ASSERT_OK(st);
    ExpectHeader(h, *want_header);

    std::unique_ptr<Table> table;
    st = Table::Open(FileSystem::Default(), fixture.table, OpenOptions{code_page}, &table);
    EXPECT_EQ(st.code(), ErrorCode::kEncrypted) << st.ToString();
    ASSERT_FALSE(st.texts().empty());
    EXPECT_EQ(st.texts()[0], ErrorText(ErrorCode::kEncrypted));
    EXPECT_EQ(table, nullptr);
    ExpectUnchanged(fixture.table, before);
    return;
  }

  std::unique_ptr<Table> table;
  st = Table::Open(FileSystem::Default(), fixture.table, OpenOptions{code_page}, &table);
  ASSERT_OK(st);
  EXPECT_EQ(table->text_code_page(), code_page);
  ExpectHeader(table->header(), *want_header);
  ExpectFields(table->fields(), *want_fields, code_page);
  ASSERT_FALSE(HasFatalFailure());

  const std::vector<Json>& rows = want_rows->array();
  const size_t num_fields = table->fields().size();
  std::vector<std::string> mismatches;
  size_t count = 0;
  auto cursor = table->NewCursor();
  for (; cursor->Valid(); cursor->Next(), ++count) {
    if (count >= rows.size()) continue;  // counted below
    const Json& row = rows[count];
    if (!row.is_array() || row.array().size() != num_fields) {
      mismatches.push_back("row " + std::to_string(count + 1) + ": expected row is not an array of " +
                           std::to_string(num_fields) + " values");
      continue;
    }
    for (size_t i = 0; i < num_fields; ++i) {
      std::string why = CompareValue(*table, static_cast<int>(i), cursor->record(), row.array()[i]);
      if (!why.empty()) {
        std::string name;
        AppendUtf8(code_page, table->fields()[i].name, &name);
        mismatches.push_back("row " + std::to_string(count + 1) + " (block " +
                             std::to_string(cursor->block()) + ", slot " + std::to_string(cursor->slot()) +
                             "), field \"" + name + "\": " + why);
      }
    }
  }
  EXPECT_OK(cursor->status());
  EXPECT_EQ(count, rows.size()) << "records read";

  // A damaged reader tends to get every value wrong; a few lines say enough.
  constexpr size_t kShown = 20;
  for (size_t i = 0; i < mismatches.size() && i < kShown; ++i) ADD_FAILURE() << mismatches[i];
  if (mismatches.size() > kShown)
    ADD_FAILURE() << "... and " << mismatches.size() - kShown << " more values differ";

  table.reset();
  ExpectUnchanged(fixture.table, before);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ConformanceTest, ::testing::ValuesIn(FindFixtureTables()),
                         [](const ::testing::TestParamInfo<FixtureTable>& info) { return info.param.name; });

// The comparisons above are only as good as the digest and the number
// parsing behind them.
TEST(ConformanceSupport, DigestAndNumbersAreExact) {
  EXPECT_EQ(testsupport::Sha256Hex("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(testsupport::Sha256Hex(std::string(56, 'x')),
            "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e");
  EXPECT_EQ(Base64("ab"), "YWI=");
  EXPECT_EQ(Base64("abcd"), "YWJjZA==");

  Json doc;
  std::string error;
  ASSERT_TRUE(Json::Parse(R"([0.1, 4.35, 5e-324, -12, "\u00e9\ud83d\ude00", {"k": null}])", &doc, &error))
      << error;
  const auto& a = doc.array();
  EXPECT_EQ(a[0].number(), 0.1);
  EXPECT_EQ(a[1].number(), 4.35);
  EXPECT_EQ(a[2].number(), 5e-324);
  EXPECT_EQ(a[1].number_text(), "4.35");
  int64_t n = 0;
  EXPECT_TRUE(a[3].AsInt64(&n));
  EXPECT_EQ(n, -12);
  EXPECT_FALSE(a[1].AsInt64(&n));
  EXPECT_EQ(a[4].str(), "\xC3\xA9\xF0\x9F\x98\x80");
  ASSERT_NE(a[5].Find("k"), nullptr);
  EXPECT_TRUE(a[5].Find("k")->is_null());
  EXPECT_FALSE(Json::Parse(R"(["\ud83d"])", &doc, &error));
  EXPECT_FALSE(Json::Parse("[1,]", &doc, &error));
}

}  // namespace
}  // namespace paradox
