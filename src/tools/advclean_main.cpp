// advclean: the cleaning passes from the command line.
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tools/advclean.h"
#include "tools/advclean_console.h"
#include "tools/console.h"

int main(int argc, char** argv) {
  tools::InitConsole();
#ifdef _WIN32
  // The C runtime leaves standard output unbuffered when it is a device
  // other than a console (NUL) and then writes it a character at a time;
  // a file or a pipe it writes in small pieces. The results are printed
  // at the end, so they may as well go in a few large writes. A console
  // keeps the runtime's own way.
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
#endif
  return tools::RunAdvclean(tools::Utf8Arguments(argc, argv), stdout, stderr, tools::IsTerminal(stderr));
}
