#include <cstdio>

#include "optimize_command.h"

int main(int argc, char** argv) {
  return kbeval::optimizeMain(argc, argv, stdout, stderr);
}
