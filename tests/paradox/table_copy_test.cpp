// The safety copy of a table: which files go, byte for byte, into a folder
// of its own; a table held by another program, a folder that cannot be
// written and a copy failing at any step leave nothing behind.
#include "tools/table_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "../support/fault_file_system.h"
#include "../support/fixture_files.h"
#include "../support/status_assert.h"
#include "../support/temp_folder.h"
#include "paradox/env/file_mem.h"

namespace paradox {
namespace {

namespace stdfs = std::filesystem;
using testsupport::Fault;
using testsupport::FaultFileSystem;
using testsupport::FaultPoint;
using testsupport::ForEachFaultPoint;
using testsupport::kCreations;
using testsupport::kSyncs;
using testsupport::kWrites;
using testsupport::PathFromUtf8;
using testsupport::Utf8;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Folders in memory beside a MemFileSystem: "backup" exists from the start.
// Folders are kept with '/' only, as the file system keeps its paths.
class MemFolders : public Folders {
 public:
  explicit MemFolders(MemFileSystem* fs) : fs_(fs) { made.insert("backup"); }

  Status Make(const std::string& given, bool* taken) override {
    const std::string path = Normal(given);
    std::string parent, name;
    SplitPath(path, &parent, &name);
    *taken = made.count(path) != 0 || fs_->FileExists(path);
    if (*taken) return Status::OK();
    if (made.count(parent) == 0) return Status::Error(ErrorCode::kNotFound, parent);
    if (locked.count(parent) != 0) return Status::Error(ErrorCode::kAccessDenied, parent);
    made.insert(path);
    return Status::OK();
  }
  Status Sync(const std::string& path) override {
    synced.push_back(path);
    return Status::OK();
  }
  Status Remove(const std::string& given) override {
    const std::string path = Normal(given);
    std::vector<std::string> left;
    PX_RETURN_IF_ERROR(fs_->ListDir(path, &left));
    if (!left.empty() || made.erase(path) == 0) return Status::Error(ErrorCode::kAccessDenied, path);
    return Status::OK();
  }

  std::set<std::string> made, locked;
  std::vector<std::string> synced;

 private:
  static std::string Normal(std::string p) {
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
  }
  MemFileSystem* fs_;
};

// A table's folder: its files, other tables' files and lock files.
const std::map<std::string, std::string> kFolder = {
    {"db/AdvBlock.db", std::string(5000, 'D')}, {"db/ADVBLOCK.PX", "primary"}, {"db/AdvBlock.mb", "blobs"},
    {"db/AdvBlock.VAL", "checks"},              {"db/AdvBlock.X02", "x2"},     {"db/AdvBlock.Y02", "y2"},
    {"db/AdvBlock.XG0", "xg0"},                 {"db/AdvBlock.YG0", "yg0"},    {"db/AdvBlock.TV", "view"},
    {"db/AdvBlock.db-journal", "undo"},         {"db/AdvBlock.LCK", "lock"},   {"db/PDOXUSRS.LCK", "lock"},
    {"db/AdvBlock2.db", "other"},               {"db/Other.PX", "other"},      {"db/AdvBlock.XGA", "?"},
    {"db/AdvBlock.bak", "?"},                   {"db/AdvBlock", "?"},
};
const std::vector<std::string> kTableFiles = {"AdvBlock.db",  "ADVBLOCK.PX", "AdvBlock.TV",
                                              "AdvBlock.VAL", "AdvBlock.X02", "AdvBlock.XG0",
                                              "AdvBlock.Y02", "AdvBlock.YG0", "AdvBlock.db-journal",
                                              "AdvBlock.mb"};

template <typename FS>
void Fill(FS* fs) {
  for (const auto& [path, bytes] : kFolder) fs->SetContents(path, Bytes(bytes));
}

// Every file of `dir` with its bytes.
std::map<std::string, std::vector<uint8_t>> Contents(MemFileSystem* fs, const std::string& dir) {
  std::vector<std::string> names;
  EXPECT_OK(fs->ListDir(dir, &names));
  std::map<std::string, std::vector<uint8_t>> out;
  for (const std::string& n : names) out[n] = fs->Contents(dir + "/" + n);
  return out;
}

TEST(TableCopyTest, CopiesEveryFileOfTheTableAndNothingElse) {
  MemFileSystem fs;
  MemFolders folders(&fs);
  Fill(&fs);
  const auto before = Contents(&fs, "db");

  TableCopy copy;
  ASSERT_OK(CopyTable(&fs, &folders, "db/AdvBlock.db", "backup", "2024-05-01_02-00-00", &copy));
  EXPECT_EQ(copy.folder, JoinPath("backup", "2024-05-01_02-00-00"));
  EXPECT_EQ(copy.files, kTableFiles);
  const auto copied = Contents(&fs, "backup/2024-05-01_02-00-00");
  ASSERT_EQ(copied.size(), kTableFiles.size());
  uint64_t total = 0;
  for (const std::string& n : kTableFiles) {
    EXPECT_EQ(copied.at(n), before.at(n)) << n;
    total += before.at(n).size();
    EXPECT_EQ(fs.OpenHandles("db/" + n), 0) << n << " is still held";
  }
  EXPECT_EQ(copy.bytes, total);
  EXPECT_EQ(Contents(&fs, "db"), before);
  // The folder's entries, then its own entry in the folder it is in.
  EXPECT_EQ(folders.synced, (std::vector<std::string>{copy.folder, "backup"}));
}

TEST(TableCopyTest, NeverUsesAFolderOrFileThatIsThere) {
  MemFileSystem fs;
  MemFolders folders(&fs);
  Fill(&fs);
  folders.made.insert("backup/T");
  fs.SetContents("backup/T/AdvBlock.db", Bytes("earlier copy"));
  fs.SetContents("backup/T_2", Bytes("a file"));

  TableCopy copy;
  ASSERT_OK(CopyTable(&fs, &folders, "db/AdvBlock.db", "backup", "T", &copy));
  EXPECT_EQ(copy.folder, JoinPath("backup", "T_3"));
  EXPECT_EQ(fs.Contents("backup/T/AdvBlock.db"), Bytes("earlier copy"));
  EXPECT_EQ(fs.Contents("backup/T_2"), Bytes("a file"));
  ASSERT_OK(CopyTable(&fs, &folders, "db/AdvBlock.db", "backup", "T", &copy));
  EXPECT_EQ(copy.folder, JoinPath("backup", "T_4"));
}

TEST(TableCopyTest, RefusesBeforeMakingAnythingWhenTheTableCannotBeHeldOrTheFolderMade) {
  struct Case {
    const char* what;
    ErrorCode code;
    std::function<void(MemFileSystem*, MemFolders*, std::unique_ptr<File>*)> set_up;
    std::string into = "backup";
  };
  const std::vector<Case> cases = {
      {"another program reads the index", ErrorCode::kTableBusy,
       [](MemFileSystem* fs, MemFolders*, std::unique_ptr<File>* h) {
         ASSERT_OK(fs->Open("db/AdvBlock.XG0", OpenMode::kRead, h));
       }},
      {"a read-only blob file", ErrorCode::kReadOnly,
       [](MemFileSystem* fs, MemFolders*, std::unique_ptr<File>*) { fs->SetReadOnly("db/AdvBlock.mb", true); }},
      {"a folder that may not be written", ErrorCode::kAccessDenied,
       [](MemFileSystem*, MemFolders* f, std::unique_ptr<File>*) { f->locked.insert("backup"); }},
      {"a missing folder", ErrorCode::kNotFound, [](MemFileSystem*, MemFolders*, std::unique_ptr<File>*) {},
       "nowhere"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemFileSystem fs;
    MemFolders folders(&fs);
    Fill(&fs);
    std::unique_ptr<File> other;
    c.set_up(&fs, &folders, &other);
    const auto before = Contents(&fs, "db");
    TableCopy copy;
    Status st = CopyTable(&fs, &folders, "db/AdvBlock.db", c.into, "T", &copy);
    EXPECT_EQ(st.code(), c.code) << st.ToString();
    EXPECT_TRUE(copy.folder.empty());
    EXPECT_EQ(folders.made, std::set<std::string>{"backup"});
    EXPECT_EQ(Contents(&fs, "db"), before);
    for (const auto& [path, bytes] : kFolder)
      EXPECT_EQ(fs.OpenHandles(path), path == "db/AdvBlock.XG0" && other ? 1 : 0) << path;
  }
}

TEST(TableCopyTest, ACopyFailingAtAnyStepIsTakenAwayAgain) {
  std::map<std::string, std::vector<uint8_t>> before;
  std::set<std::string> made;
  const int steps = ForEachFaultPoint(
      {Fault::kFailOnce, 0, kCreations | kWrites | kSyncs},
      [&](FaultFileSystem* fs) {
        Fill(fs);
        before = Contents(fs, "db");
      },
      [&](FaultFileSystem* fs) {
        MemFolders folders(fs);
        TableCopy copy;
        Status st = CopyTable(fs, &folders, "db/AdvBlock.db", "backup", "T", &copy);
        made = folders.made;
        if (!st.ok()) {
          EXPECT_EQ(copy.bytes, 0u);
        }
        return st;
      },
      [&](FaultFileSystem* fs, const FaultPoint& p) {
        EXPECT_EQ(Contents(fs, "db"), before);
        if (p.completed) {
          EXPECT_EQ(Contents(fs, "backup/T").size(), kTableFiles.size());
          return;
        }
        EXPECT_EQ(made, std::set<std::string>{"backup"});
        const std::string why = p.status.ToString();
        EXPECT_NE(why.find(FaultFileSystem::kFaultText), why.npos) << why;
        EXPECT_TRUE(Contents(fs, "backup/T").empty());
      },
      100);
  // A creation, a write and a sync per file.
  EXPECT_EQ(steps, 3 * static_cast<int>(kTableFiles.size()));

  // When even the clearing up fails, the error says where the remains are.
  FaultFileSystem fs;
  MemFolders folders(&fs);
  Fill(&fs);
  fs.Arm({Fault::kFailOnce, 4, kCreations | kWrites | kSyncs});
  fs.FailRemovals(true);
  TableCopy copy;
  Status st = CopyTable(&fs, &folders, "db/AdvBlock.db", "backup", "T", &copy);
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.ToString().find("an incomplete copy is left in " + JoinPath("backup", "T")), std::string::npos)
      << st.ToString();
}

// The real tables, secondary indexes among them, each copied from a folder
// that holds other tables too.
TEST(TableCopyTest, FixtureTablesAreCopiedWithAllTheirFiles) {
  if (!testsupport::FixturesPresent()) GTEST_SKIP() << "no fixtures at " << ADVCLEAN_FIXTURES_DIR;
  int secondary = 0;
  for (const testsupport::ExpectedTable& e : testsupport::FindExpectedTables()) {
    if (e.db.empty()) continue;
    SCOPED_TRACE(e.db);
    MemFileSystem fs;
    MemFolders folders(&fs);
    const stdfs::path dir = PathFromUtf8(e.db).parent_path();
    for (const auto& entry : stdfs::directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      std::vector<uint8_t> bytes;
      ASSERT_OK(testsupport::ReadWholeFile(Utf8(entry.path()), &bytes));
      fs.SetContents("db/" + Utf8(entry.path().filename()), std::move(bytes));
    }
    std::set<std::string> want;
    for (const std::string& f : e.files) want.insert(Utf8(PathFromUtf8(f).filename()));
    TableCopy copy;
    ASSERT_OK(CopyTable(&fs, &folders, "db/" + Utf8(PathFromUtf8(e.db).filename()), "backup", "T", &copy));
    EXPECT_EQ(std::set<std::string>(copy.files.begin(), copy.files.end()), want);
    for (const std::string& n : want) EXPECT_EQ(fs.Contents("backup/T/" + n), fs.Contents("db/" + n)) << n;
    if (std::any_of(want.begin(), want.end(), [](const std::string& n) { return n.find(".YG") != n.npos; }))
      ++secondary;
  }
  EXPECT_GE(secondary, 4) << "the fixtures hold tables with secondary indexes";
}

// The host's own files and folders, on a copy of a fixture table with six
// secondary indexes (the fixtures themselves may not be written).
TEST(TableCopyTest, OnDiskWithTheHostsFolders) {
  const stdfs::path fixture = PathFromUtf8(ADVCLEAN_FIXTURES_DIR) / "pdx-samples-ru";
  if (!stdfs::is_directory(fixture)) GTEST_SKIP() << "no fixtures at " << ADVCLEAN_FIXTURES_DIR;
  const stdfs::path root = testsupport::FreshFolder("table_copy");
  stdfs::create_directories(root / "db");
  stdfs::create_directories(root / "копии");
  std::vector<std::string> files;
  for (const auto& entry : stdfs::directory_iterator(fixture)) {
    if (entry.path().stem() != "Sort") continue;
    const stdfs::path to = root / "db" / entry.path().filename();
    stdfs::copy_file(entry.path(), to);
    stdfs::permissions(to, stdfs::perms::owner_write, stdfs::perm_options::add);
    files.push_back(Utf8(entry.path().filename()));
  }
  ASSERT_EQ(files.size(), 14u);  // .db, .PX and six .XGn/.YGn pairs

  FileSystem* fs = FileSystem::Default();
  const std::string into = Utf8(root / "копии");
  TableCopy copy;
  Status st = CopyTable(fs, Folders::Default(), Utf8(root / "db" / "Sort.db"), into, "2024-05-01_02-00-00", &copy);
  ASSERT_OK(st);
  EXPECT_EQ(copy.files.size(), files.size());
  for (const std::string& n : files) {
    std::vector<uint8_t> a, b;
    ASSERT_OK(testsupport::ReadWholeFile(Utf8(root / "db" / n), &a));
    ASSERT_OK(testsupport::ReadWholeFile(JoinPath(copy.folder, n), &b)) << n;
    EXPECT_EQ(a, b) << n;
  }
  ASSERT_OK(CopyTable(fs, Folders::Default(), Utf8(root / "db" / "Sort.db"), into, "2024-05-01_02-00-00", &copy));
  EXPECT_EQ(copy.folder, JoinPath(into, "2024-05-01_02-00-00_2"));
}

}  // namespace
}  // namespace paradox
