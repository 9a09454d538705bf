#include <cstdio>
#include <new>

#include "command_line.h"
#include "shell/interrupts.h"

int main(int argc, char** argv) {
  kbeval::installSignalCleanup();
  try {
    return kbeval::kbevalMain(argc, argv, stdout, stderr);
  } catch (const std::bad_alloc&) {
    return kbeval::reportOutOfMemory("kbeval", stderr);
  }
}
