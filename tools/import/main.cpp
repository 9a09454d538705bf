// kbeval-import: converts one Hangul keyboard XML into a kbeval layout file.
#include <cstdio>
#include <string>
#include <vector>

#include "import_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kbeval::import::runImportCommand(args, stdout, stderr);
}
