#include <cstdio>
#include <new>

#include "optimize_command.h"
#include "shell/interrupts.h"

int main(int argc, char** argv) {
  kbeval::installSignalCleanup();
  try {
    return kbeval::optimizeMain(argc, argv, stdout, stderr);
  } catch (const std::bad_alloc&) {
    return kbeval::reportOutOfMemory("kbeval-optimize", stderr);
  }
}
