#include "temp_folder.h"

#include <algorithm>
#include <string_view>

#include "fixture_files.h"

namespace testsupport {

std::filesystem::path FreshFolder(const std::string& name) {
  // Part by part, so that the path has the system's own separators.
  std::filesystem::path dir = PathFromUtf8(ADVCLEAN_TEST_TMPDIR);
  for (size_t from = 0, to; from <= name.size(); from = to + 1) {
    to = std::min(name.find('/', from), name.size());
    if (to > from) dir /= PathFromUtf8(std::string_view(name).substr(from, to - from));
  }
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace testsupport
