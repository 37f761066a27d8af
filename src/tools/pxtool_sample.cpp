// pxtool sample: writes a realistic AdvBlock table for tests and trials.
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "paradox/file.h"
#include "tools/pxtool.h"
#include "tools/sample_data.h"

namespace tools {

namespace {

const char kHelp[] =
    "usage: pxtool sample DIR [options]\n"
    "\n"
    "Writes DIR/AdvBlock.db (and DIR/AdvBlock.PX when keyed), creating DIR if\n"
    "needed. An existing table there is never overwritten.\n"
    "\n"
    "Rows hold clip names (FName), broadcast date and time (FDate, FTime),\n"
    "position in the block (FNumber), order number and year (FOrder,\n"
    "FYearOrder), duration, channel and a comment. Some rows repeat earlier\n"
    "ones exactly in FName, FDate, FTime, FNumber, FOrder and FYearOrder, so\n"
    "that they sit side by side when sorted by FDate, FTime, FName.\n"
    "\n"
    "options:\n"
    "  --rows N            number of rows (default 10000)\n"
    "  --seed S            seed; the same seed gives the same table (default 1)\n"
    "  --keyed             add an AutoInc primary key ID and write the .PX\n"
    "  --unkeyed           no primary key (the default)\n"
    "  --number short|long FNumber as a Short (default) or a Long; long also\n"
    "                      puts values above 32767 (40000, 70000) in a few rows\n"
    "  --codepage 866|1251 code page of the text (default 1251; 866 with\n"
    "                      --version 3, whose header names no code page)\n"
    "  --old P             percent of rows dated before 1 January 2011\n"
    "                      (default 20; dates run from 2008 to 2013)\n"
    "  --repeats P         percent of rows that repeat an earlier row (default 5)\n"
    "  --near P            percent of near repeats: same date, time and name,\n"
    "                      other number or order (default 3)\n"
    "  --version 3|4|5|7   table version (default 7)\n"
    "  --block-size K      block size in KB, 1 to 32 (default 2, or the smallest\n"
    "                      of 4, 16, 32 that keeps the table under 32768 blocks)\n";

int BadArgs(const std::string& problem) {
  std::fprintf(stderr, "pxtool sample: %s\n(pxtool sample --help lists the options)\n", problem.c_str());
  return 2;
}

bool ParseU64(const std::string& s, uint64_t* out) {
  if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s.c_str(), &end, 10);
  if (*end != '\0' || errno != 0) return false;
  *out = v;
  return true;
}

bool ParsePercent(const std::string& s, double* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != '\0' || !(v >= 0 && v <= 100)) return false;
  *out = v;
  return true;
}

std::filesystem::path U8Path(const std::string& s) {
  return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

bool SameNameAnyCase(std::string a, std::string b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

int RunSample(const std::vector<std::string>& args) {
  SampleOptions o;
  std::string dir;
  bool code_page_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--keyed" || a == "--unkeyed") {
      o.keyed = a == "--keyed";
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      if (!dir.empty()) return BadArgs("more than one folder given: " + a);
      dir = a;
      continue;
    }
    if (i + 1 >= args.size()) return BadArgs(a + " needs a value");
    const std::string& v = args[++i];
    uint64_t n = 0;
    if (a == "--rows") {
      if (!ParseU64(v, &o.rows)) return BadArgs("--rows needs a whole number");
    } else if (a == "--seed") {
      if (!ParseU64(v, &o.seed)) return BadArgs("--seed needs a whole number");
    } else if (a == "--number") {
      if (v != "short" && v != "long") return BadArgs("--number takes short or long");
      o.long_number = v == "long";
    } else if (a == "--codepage") {
      if (v != "866" && v != "1251") return BadArgs("--codepage takes 866 or 1251");
      o.code_page = std::atoi(v.c_str());
      code_page_given = true;
    } else if (a == "--old") {
      if (!ParsePercent(v, &o.old_percent)) return BadArgs("--old needs a percentage 0..100");
    } else if (a == "--repeats") {
      if (!ParsePercent(v, &o.repeat_percent)) return BadArgs("--repeats needs a percentage 0..100");
    } else if (a == "--near") {
      if (!ParsePercent(v, &o.near_percent)) return BadArgs("--near needs a percentage 0..100");
    } else if (a == "--version") {
      if (!ParseU64(v, &n) || SampleVersionByte(static_cast<int>(n)) == 0)
        return BadArgs("--version takes 3, 4, 5 or 7");
      o.version = static_cast<int>(n);
    } else if (a == "--block-size") {
      if (!ParseU64(v, &n) || n < 1 || n > 32) return BadArgs("--block-size takes 1 to 32 (KB)");
      o.block_size = static_cast<uint32_t>(n) * 1024;
    } else {
      return BadArgs("unknown option " + a);
    }
  }
  if (dir.empty()) return BadArgs("no folder given");
  if (o.version == 3 && !code_page_given) o.code_page = 866;
  paradox::Status st = CheckSampleOptions(o);
  if (!st.ok()) return BadArgs(st.texts().back());

  std::error_code ec;
  std::filesystem::create_directories(U8Path(dir), ec);
  if (ec) {
    std::fprintf(stderr, "pxtool sample: cannot create folder %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }
  paradox::FileSystem* fs = paradox::FileSystem::Default();
  std::vector<std::string> names;
  (void)fs->ListDir(dir, &names);
  for (const std::string& name : names) {
    if (SameNameAnyCase(name, "AdvBlock.db") || SameNameAnyCase(name, "AdvBlock.px")) {
      std::fprintf(stderr, "pxtool sample: %s already holds %s; not overwriting it\n", dir.c_str(), name.c_str());
      return 1;
    }
  }

  const std::string db_path = paradox::JoinPath(dir, "AdvBlock.db");
  auto start = std::chrono::steady_clock::now();
  SampleStats stats;
  st = WriteSampleTable(fs, db_path, o, &stats);
  if (!st.ok()) return ReportError(st);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("wrote %s%s: %llu rows, version %d, %u KB blocks, code page %d, %s, %.2f s\n",
              db_path.c_str(), o.keyed ? " and AdvBlock.PX" : "",
              static_cast<unsigned long long>(stats.rows), o.version, stats.block_size / 1024,
              o.code_page, o.keyed ? "keyed on ID" : "unkeyed", secs);
  std::printf("exact repeats %llu, near repeats %llu, dated before 2011 %llu",
              static_cast<unsigned long long>(stats.repeats),
              static_cast<unsigned long long>(stats.near_repeats),
              static_cast<unsigned long long>(stats.old_rows));
  if (o.long_number)
    std::printf(", FNumber above 32767 %llu", static_cast<unsigned long long>(stats.big_numbers));
  std::printf("\n");
  return 0;
}

}  // namespace tools
