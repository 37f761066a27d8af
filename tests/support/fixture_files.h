// Files on disk for the tests: UTF-8 paths, whole files read through the
// engine's file layer, and the shared fixture tables (ADVCLEAN_FIXTURES_DIR)
// that come with a <table>.expected.json.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/status.h"

namespace testsupport {

// Paths are UTF-8 throughout; std::filesystem is only asked to walk folders.
std::filesystem::path PathFromUtf8(std::string_view s);
std::string Utf8(const std::filesystem::path& p);

// The whole of the file at `path`.
paradox::Status ReadWholeFile(const std::string& path, std::string* out);
paradox::Status ReadWholeFile(const std::string& path, std::vector<uint8_t>* out);

// True when the shared fixtures folder is there.
bool FixturesPresent();

// A <stem>.expected.json of the fixtures and the files beside it that
// share its stem.
struct ExpectedTable {
  std::filesystem::path expected;
  std::string stem;
  std::string db;                  // full path of the .db (any case of extension); empty when there is none
  std::vector<std::string> files;  // full paths of every <stem>.<ext>, the .db among them
};

// Every *.expected.json below the fixtures folder, in the order the walk
// meets them; none when the folder is missing.
std::vector<ExpectedTable> FindExpectedTables();

// `s` with everything but ASCII letters and digits turned into '_', as a
// test name.
std::string TestName(std::string_view s);

}  // namespace testsupport
