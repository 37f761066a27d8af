// advclean: the cleaning passes without the window, for scripts and
// scheduled jobs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tools {

// Runs advclean with `args` (UTF-8, without the program name), writing its
// results to `out` and its errors to `err`; the progress bar is drawn on
// `err` when `err_is_terminal`. Returns the exit status: 0 when everything
// went, 1 when records are left after a clean, 2 on an error.
int RunAdvclean(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool err_is_terminal);

}  // namespace tools
