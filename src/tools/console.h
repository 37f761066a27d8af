// Command-line arguments and console output in UTF-8 on every platform.
#pragma once

#include <string>
#include <vector>

namespace tools {

// The program's arguments (without the program name) as UTF-8. On Windows
// they are taken from the wide command line, so any path survives.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes the console show UTF-8 output (Windows); nothing elsewhere.
void InitConsole();

}  // namespace tools
