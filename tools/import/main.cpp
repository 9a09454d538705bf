// kbeval-import: converts one Hangul keyboard XML into a kbeval layout file.
#include <cstdio>
#include <new>

#include "import_command.h"
#include "shell/long_options.h"

int main(int argc, char** argv) {
  try {
    return kbeval::import::importMain(argc, argv, stdout, stderr);
  } catch (const std::bad_alloc&) {
    return kbeval::reportOutOfMemory("kbeval-import", stderr);
  }
}
