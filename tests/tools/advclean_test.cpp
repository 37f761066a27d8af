// advclean end to end: its commands on sample folders, what it prints, its
// exit status and the table afterwards.
#include "tools/advclean.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>

#ifdef __linux__
#include <sys/wait.h>
#endif

#include "../cleaning/pass_fixture.h"
#include "../support/json.h"
#include "app/engine.h"
#include "paradox/check.h"
#include "paradox/file.h"
#include "paradox/store/table_editor.h"
#include "table/ttable.h"
#include "tools/advclean_console.h"
#include "tools/sample_data.h"
#include "../support/status_assert.h"
#include "../support/temp_folder.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testsupport::Json;

struct Outcome {
  int code = -1;
  std::string out, err;
};

std::string Slurp(std::FILE* f) {
  std::string s;
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

Outcome Advclean(const std::vector<std::string>& args) {
  const fs::path dir = fs::path(ADVCLEAN_TEST_TMPDIR);
  std::FILE* out = std::fopen((dir / "advclean.out").string().c_str(), "w+b");
  std::FILE* err = std::fopen((dir / "advclean.err").string().c_str(), "w+b");
  Outcome r;
  if (out == nullptr || err == nullptr) return r;
  r.code = RunAdvclean(args, out, err, false);
  r.out = Slurp(out);
  r.err = Slurp(err);
  return r;
}

std::string FreshFolder(const std::string& name) {
  return testsupport::FreshFolder("advclean_" + name).string();
}

std::string Sample(const std::string& name, bool keyed = false) {
  const std::string dir = FreshFolder(name);
  SampleOptions o;
  o.keyed = keyed;
  o.rows = 5000;
  o.old_percent = 10;
  o.repeat_percent = 5;
  EXPECT_OK(WriteSampleTable(paradox::FileSystem::Default(), app::TablePath(dir), o, nullptr));
  return dir;
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Json ParseJson(const std::string& text) {
  Json j;
  std::string error;
  EXPECT_TRUE(Json::Parse(text, &j, &error)) << error << "\n" << text;
  return j;
}

int64_t Int(const Json& j, const char* key) {
  int64_t v = -1;
  const Json* m = j.Find(key);
  EXPECT_TRUE(m != nullptr && m->AsInt64(&v)) << key;
  return v;
}

// Rows of the table, and rows with a date before 2011.
void CountRows(const std::string& path, int* rows, int* old) {
  dataset::TTable t("Count");
  t.SetTableName(path);
  t.Open();
  *rows = *old = 0;
  for (; !t.Eof(); t.Next()) {
    ++*rows;
    const dataset::TField* d = t.FieldByName("FDate");
    if (!d->IsNull() && d->AsDateTime() < 40544) ++*old;
  }
}

TEST(AdvcleanTest, HelpAndCommandLineMistakes) {
  Outcome help = Advclean({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* part : {"analyze", "clean", "--dry-run", "--json", "DELETES FOR GOOD", "Exit status"})
    EXPECT_NE(help.out.find(part), std::string::npos) << part;

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"purge", "x"},
           {"analyze"},
           {"clean", "--dry-run", "x"},
           {"analyze", "--fast", "x"},
           {"clean", "a", "b"},
           {"clean", "x", "--backup"},
           {"clean", "--backup", "", "x"}}) {
    Outcome r = Advclean(args);
    EXPECT_EQ(r.code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.err.rfind("advclean: ", 0), 0u) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(AdvcleanTest, Version) {
  Outcome r = Advclean({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "advclean " ADVCLEAN_PROJECT_VERSION "\n");
}

TEST(AdvcleanTest, AFolderWithoutTheTable) {
  const std::string dir = FreshFolder("missing");
  Outcome r = Advclean({"analyze", dir});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Нет базы " + app::TablePath(dir) + "\n");
  EXPECT_TRUE(r.out.empty());
  // A folder named AdvBlock.db is no table either.
  fs::create_directories(app::TablePath(dir));
  r = Advclean({"clean", dir});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Нет базы " + app::TablePath(dir) + "\n");
}

TEST(AdvcleanTest, DryRunThenCleanOnASample) {
  const std::string dir = Sample("sample");
  const std::string table = app::TablePath(dir);
  int rows = 0, old = 0;
  CountRows(table, &rows, &old);
  ASSERT_GT(old, 0);
  const std::vector<uint8_t> before = Bytes(table);

  Outcome dry = Advclean({"analyze", "--dry-run", "--json", dir});
  ASSERT_EQ(dry.code, 0) << dry.err;
  EXPECT_EQ(Bytes(table), before);
  Json d = ParseJson(dry.out);
  ASSERT_TRUE(d.is_object());
  EXPECT_EQ(d.Find("table")->str(), table);
  EXPECT_TRUE(d.Find("dryRun")->boolean());
  EXPECT_EQ(Int(d, "wouldPurge"), old);
  const std::vector<Json>& found = d.Find("duplicates")->array();
  ASSERT_GT(found.size(), 50u);
  EXPECT_EQ(d.Find("remaining"), nullptr);
  // Records: the six fields, dates and times in ISO form, in key order.
  std::string last_key;
  bool cyrillic = false;
  for (const Json& rec : found) {
    const std::string date = rec.Find("date")->str(), time = rec.Find("time")->str();
    ASSERT_EQ(date.size(), 10u);
    ASSERT_EQ(time.size(), 12u);
    EXPECT_GE(date, "2011-01-01");
    char number[32];
    std::snprintf(number, sizeof number, "%08lld", static_cast<long long>(Int(rec, "number") + 40000));
    const std::string key = date + time + number;
    EXPECT_LE(last_key, key);
    last_key = key;
    cyrillic = cyrillic || rec.Find("name")->str().find("Ролик") != std::string::npos;
    EXPECT_NE(rec.Find("order"), nullptr);
    EXPECT_NE(rec.Find("yearOrder"), nullptr);
  }
  EXPECT_TRUE(cyrillic);  // names come out as UTF-8

  Outcome text = Advclean({"analyze", "--dry-run", dir});
  ASSERT_EQ(text.code, 0);
  EXPECT_NE(text.out.find("Dry run, nothing changed: the purge would delete " + std::to_string(old) + " rows"),
            std::string::npos);
  EXPECT_NE(text.out.find("№№  Дата"), std::string::npos);
  EXPECT_NE(text.out.find("Название ролика"), std::string::npos);
  EXPECT_EQ(Bytes(table), before);

  Outcome clean = Advclean({"clean", "--json", dir});
  ASSERT_EQ(clean.code, 0) << clean.err;
  Json c = ParseJson(clean.out);
  EXPECT_EQ(Int(c, "purged"), old);
  ASSERT_EQ(c.Find("duplicates")->array().size(), found.size());
  for (size_t i = 0; i < found.size(); ++i) {
    // The same records in the same order as the dry run listed.
    for (const char* key : {"name", "date", "time"})
      EXPECT_EQ(c.Find("duplicates")->array()[i].Find(key)->str(), found[i].Find(key)->str());
    EXPECT_EQ(Int(c.Find("duplicates")->array()[i], "order"), Int(found[i], "order"));
  }
  EXPECT_TRUE(c.Find("remaining")->array().empty());
  EXPECT_EQ(c.Find("outcome")->str(), "Удаление прошло успешно.");

  // The table: exact, without the old rows and the copies, no repeats left.
  std::vector<std::string> problems;
  ASSERT_OK(paradox::CheckTable(paradox::FileSystem::Default(), table, &problems));
  EXPECT_TRUE(problems.empty()) << problems.front();
  int rows_after = 0, old_after = 0;
  CountRows(table, &rows_after, &old_after);
  EXPECT_EQ(rows_after, rows - old - static_cast<int>(found.size()));
  EXPECT_EQ(old_after, 0);
  EXPECT_TRUE(cleaning::testing::NoAdjacentRepeats(table));

  Outcome again = Advclean({"clean", dir});
  EXPECT_EQ(again.code, 0);
  EXPECT_NE(again.out.find("Purge: 0 rows"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("Duplicates: 0\nNothing to delete.\n"), std::string::npos) << again.out;
}

TEST(AdvcleanTest, RecordsLeftExitWithOne) {
  const std::string table = cleaning::testing::WriteTable(
      "advclean_left", {{"A", 40600, 0, 1, 1, 2011, 1}, {"A", 40600, 0, 1, 1, 2011, 2},
                        {"B", 40601, 0, 1, 1, 2011, 3}, {"B", 40601, 0, 1, 1, 2011, 4}});
  const std::string dir = fs::path(table).parent_path().string();
  // Another program removes the B rows between the passes, when the
  // deletion pass shows its step: the second showing call, which lets
  // messages run (the first is the analysis's; four rows bring no update).
  int ticks = 0;
  app::SetMessagePump([&] {
    if (++ticks != 2) return;
    dataset::TTable other("Other");
    other.SetTableName(table);
    other.Open();
    while (!other.Eof()) {
      if (other.FieldByName("FName")->AsString() == "B") other.Delete();
      else other.Next();
    }
  });
  Outcome r = Advclean({"clean", "--json", dir});
  app::SetMessagePump(nullptr);
  ASSERT_EQ(r.code, 1) << r.err << r.out;
  Json j = ParseJson(r.out);
  ASSERT_EQ(j.Find("remaining")->array().size(), 1u);
  EXPECT_EQ(j.Find("remaining")->array()[0].Find("name")->str(), "B");
  EXPECT_EQ(j.Find("outcome")->str(), "Не удалось выполнить все операции. Выполните программу еще раз");
  EXPECT_EQ(cleaning::testing::Tags(table), (std::vector<int32_t>{2}));
}

TEST(AdvcleanTest, AnErrorIsShownAsTheWindowShowsIt) {
  cleaning::testing::TableOptions no_number;
  no_number.without_number = true;
  const std::string table = cleaning::testing::WriteTable("advclean_no_number", {{"A", 40600, 0}}, no_number);
  Outcome r = Advclean({"analyze", fs::path(table).parent_path().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Query: Field 'FNumber' not found.\n");  // a full stop after a letter
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(ErrorDisplayText("engine (error $2501)"), "engine (error $2501)");
  EXPECT_EQ(ErrorDisplayText("done."), "done.");
  EXPECT_EQ(ConsoleText("\xCD\xE5\xF2"), "Нет");  // Windows-1251 becomes UTF-8
  EXPECT_EQ(ConsoleText("Нет"), "Нет");
}

// Every file of a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> Files(const fs::path& dir) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = Bytes(e.path().string());
  return out;
}

std::vector<fs::path> Folders(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(AdvcleanTest, TheBackupHoldsTheTableAsItWasBeforeThePurge) {
  const std::string dir = Sample("backup_table", true);
  // A view file of the database software belongs to the table too.
  std::ofstream(fs::path(dir) / "AdvBlock.TV", std::ios::binary) << "view";
  const std::string backups = FreshFolder("backups");
  const auto before = Files(dir);
  ASSERT_EQ(before.size(), 3u);  // AdvBlock.db, AdvBlock.PX, AdvBlock.TV
  int rows = 0, old = 0;
  CountRows(app::TablePath(dir), &rows, &old);

  Outcome r = Advclean({"clean", "--backup", backups, dir});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<fs::path> made = Folders(backups);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(std::regex_match(made[0].filename().string(), std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]_[0-2][0-9]-[0-5][0-9]-[0-6][0-9]")))
      << made[0];
  EXPECT_EQ(r.out.rfind("Backup: " + made[0].string() + " (3 files, ", 0), 0u) << r.out;
  EXPECT_EQ(Files(made[0]), before);
  EXPECT_NE(Files(dir), before);  // the clean went ahead

  // A second run makes a second copy, of the table as that run found it.
  const auto cleaned = Files(dir);
  r = Advclean({"clean", "--json", "--backup", backups, dir});
  ASSERT_EQ(r.code, 0) << r.err;
  made = Folders(backups);
  ASSERT_EQ(made.size(), 2u);
  const Json j = ParseJson(r.out);
  const fs::path second = j.Find("backup")->str();
  EXPECT_TRUE(second == made[0] || second == made[1]) << second;
  EXPECT_EQ(Files(second), cleaned);
  EXPECT_EQ(Files(second == made[0] ? made[1] : made[0]), before);

  // Restoring, as the guide says: the table's files out, the copy's in.
  for (const auto& [name, bytes] : cleaned) fs::remove(fs::path(dir) / name);
  for (const auto& e : fs::directory_iterator(second == made[0] ? made[1] : made[0]))
    fs::copy_file(e.path(), fs::path(dir) / e.path().filename());
  int rows_back = 0, old_back = 0;
  CountRows(app::TablePath(dir), &rows_back, &old_back);
  EXPECT_EQ(rows_back, rows);
  EXPECT_EQ(old_back, old);
}

TEST(AdvcleanTest, NoBackupNoChange) {
  const std::string dir = Sample("backup_refused", true);
  const std::string table = app::TablePath(dir);
  const auto before = Files(dir);
  const std::string missing = (fs::path(FreshFolder("backup_refused_to")) / "missing").string();
  struct Case {
    std::string into, why;
  };
  for (const Case& c : {Case{missing, "File not found"}, Case{table, ""}}) {
    Outcome r = Advclean({"clean", "--backup", c.into, dir});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("advclean: no backup could be made in " + c.into + ", so nothing was changed:\n", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find("the copy's folder cannot be made in " + c.into), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(Files(dir), before);
  }

  // A table another program holds is not copied, so not cleaned either.
  const std::string backups = FreshFolder("backup_busy");
  {
    std::unique_ptr<paradox::TableEditor> other;
    ASSERT_OK(paradox::TableEditor::Open(paradox::FileSystem::Default(), table, &other));
    Outcome r = Advclean({"clean", "--backup", backups, dir});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Table is busy"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(Folders(backups).empty());
  EXPECT_EQ(Files(dir), before);

  // A dry run changes nothing, so it copies nothing.
  Outcome dry = Advclean({"analyze", "--dry-run", "--backup", backups, dir});
  EXPECT_EQ(dry.code, 0) << dry.err;
  EXPECT_EQ(dry.out.rfind("Backup: none, a dry run changes nothing.\n", 0), 0u) << dry.out;
  dry = Advclean({"analyze", "--dry-run", "--json", "--backup", backups, dir});
  EXPECT_TRUE(ParseJson(dry.out).Find("backup")->is_null());
  EXPECT_TRUE(Folders(backups).empty());
}

// A table that may not be changed, read-only or held by another program:
// with nothing to purge it is read and its copies listed; only a change is
// refused, and nothing is written.
TEST(AdvcleanTest, AReadOnlyOrHeldTableIsReadAndListed) {
  SampleOptions o;
  o.rows = 2000;
  o.old_percent = 0;
  o.repeat_percent = 5;
  const std::string dir = FreshFolder("unchangeable");
  const std::string table = app::TablePath(dir);
  ASSERT_OK(WriteSampleTable(paradox::FileSystem::Default(), table, o, nullptr));
  const auto before = Files(dir);
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "held by another program" : "read-only");
    std::unique_ptr<paradox::File> other;  // another program reading the table
    if (held) {
      ASSERT_OK(paradox::FileSystem::Default()->Open(table, paradox::OpenMode::kRead, &other));
    }
    else fs::permissions(table, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
    Outcome r = Advclean({"analyze", dir});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Purge: 0 rows"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Duplicates: 0\n"), std::string::npos) << r.out;
    r = Advclean({"clean", dir});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(held ? "Table is busy" : "Table is read only"), std::string::npos) << r.err;
    other.reset();
    fs::permissions(table, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Files(dir), before);
  }

  // With rows to purge, the analysis is refused and writes nothing.
  const std::string old_dir = Sample("unchangeable_old");
  const auto old_before = Files(old_dir);
  fs::permissions(app::TablePath(old_dir), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  Outcome r = Advclean({"analyze", old_dir});
  fs::permissions(app::TablePath(old_dir), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Table is read only"), std::string::npos) << r.err;
  EXPECT_EQ(Files(old_dir), old_before);
}

#ifdef __linux__
// The built program, as a script calls it: its exit status reaches the shell.
TEST(AdvcleanTest, TheProgramItself) {
  const fs::path exe = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "tools" / "advclean";
  if (!fs::exists(exe)) GTEST_SKIP() << "not built: " << exe;
  auto status = [&](const std::string& args) {
    std::string command(1, '"');
    command += exe.string();
    command += "\" " + args + " >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(status("--help"), 0);
  for (const char* program : {"advclean", "pxtool"}) {
    std::string command(1, '"');
    command += (exe.parent_path() / program).string();
    command += "\" --version";
    std::FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, p) != nullptr;
    EXPECT_EQ(pclose(p), 0) << program;
    EXPECT_TRUE(read);
    EXPECT_EQ(std::string(line), std::string(program) + " " ADVCLEAN_PROJECT_VERSION "\n");
  }
  EXPECT_EQ(status("analyze \"" + FreshFolder("program_missing") + "\""), 2);
  const std::string dir = Sample("program");
  EXPECT_EQ(status("clean \"" + dir + "\""), 0);
  EXPECT_TRUE(cleaning::testing::NoAdjacentRepeats(app::TablePath(dir)));
}
#endif

}  // namespace
}  // namespace tools
