// The inputs the fuzz target once stopped on, kept beside the fixtures
// (fixtures/fuzz/*.db), replayed through the target itself: it aborts
// when the engine breaks one of its promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/fixture_files.h"
#include "../support/status_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(FuzzReplayTest, KeptInputsPassTheTarget) {
  const std::filesystem::path dir = testsupport::PathFromUtf8(ADVCLEAN_FIXTURES_DIR).parent_path() / "fuzz";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no kept fuzz inputs at " << testsupport::Utf8(dir);
  std::vector<std::string> inputs;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".db") inputs.push_back(testsupport::Utf8(e.path()));
  std::sort(inputs.begin(), inputs.end());
  EXPECT_FALSE(inputs.empty());
  for (const std::string& path : inputs) {
    std::vector<uint8_t> bytes;
    ASSERT_OK(testsupport::ReadWholeFile(path, &bytes)) << path;
    // Should the target abort, this names the input that made it.
    std::fprintf(stderr, "replaying %s\n", path.c_str());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << path;
  }
}

}  // namespace
