#include "tools/console.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace tools {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int n = 0;
  LPWSTR* wargs = CommandLineToArgvW(GetCommandLineW(), &n);
  for (int i = 1; wargs != nullptr && i < n; ++i) {
    int len = WideCharToMultiByte(CP_UTF8, 0, wargs[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(len > 0 ? len - 1 : 0), '\0');
    if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wargs[i], -1, s.data(), len, nullptr, nullptr);
    args.push_back(std::move(s));
  }
  if (wargs != nullptr) LocalFree(wargs);
#else
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  return args;
}

void InitConsole() {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace tools
