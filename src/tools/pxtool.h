// The commands of pxtool, each returning the process exit status.
#pragma once

#include <string>
#include <vector>

#include "paradox/status.h"

namespace tools {

int RunInfo(const std::string& path);
int RunDump(const std::string& path, int code_page);
int RunSample(const std::vector<std::string>& args);

// Prints an engine error on standard error; returns the exit status 1.
int ReportError(const paradox::Status& status);

}  // namespace tools
