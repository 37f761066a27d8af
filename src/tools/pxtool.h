// The commands of pxtool, each returning the process exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paradox/status.h"

namespace paradox {
class Table;
}

namespace tools {

int RunInfo(const std::string& path);
int RunDump(const std::string& path, int code_page);
int RunSample(const std::vector<std::string>& args);
int RunExec(const std::string& table, const std::string& statement);

// The JSON of dump: the start of the object up to the records' "[", and one
// field's value.
void AppendFieldsJson(const paradox::Table& t, const std::vector<int>& columns, std::string* out);
paradox::Status AppendValue(const paradox::Table& t, int index, const uint8_t* record, std::string* out);

// Prints an engine error on standard error; returns the exit status 1.
int ReportError(const paradox::Status& status);

}  // namespace tools
