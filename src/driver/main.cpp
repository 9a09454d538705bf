#include "driver/run.h"

int main(int argc, char** argv) {
  const kbeval::RunOptions options = kbeval::parseCommandLine(argc, argv);
  return kbeval::runKbeval(options, "keyboard", stdout);
}
