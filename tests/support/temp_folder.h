// Folders on disk for the tests that need real files.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// An empty folder `name` (UTF-8; may hold sub-folders) in the build's
// folder for test files: emptied when it exists.
std::filesystem::path FreshFolder(const std::string& name);

}  // namespace testsupport
