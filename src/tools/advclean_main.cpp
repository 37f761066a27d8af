// advclean: the cleaning passes from the command line.
#include <cstdio>

#include "tools/advclean.h"
#include "tools/advclean_console.h"
#include "tools/console.h"

int main(int argc, char** argv) {
  tools::InitConsole();
  return tools::RunAdvclean(tools::Utf8Arguments(argc, argv), stdout, stderr, tools::IsTerminal(stderr));
}
