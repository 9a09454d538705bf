#include <cstdio>

#include "command_line.h"

int main(int argc, char** argv) {
  return kbeval::kbevalMain(argc, argv, stdout, stderr);
}
