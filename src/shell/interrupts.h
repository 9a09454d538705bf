// What SIGINT, SIGTERM and SIGHUP do to a run: the temporary files of the
// outputs still being written are removed and the program exits with status
// 128 + the signal; outputs already complete stay as they are.
//
// The handler may only unlink: the names it removes wait in a fixed table of
// its own, filled before each temporary file is created (see output_file.h),
// so that it never allocates or takes a lock. This table is the one piece of
// global mutable state in the programs.
#pragma once

#include <cstddef>

namespace kbeval {

// Sets the handlers up; a program's main calls it once, before the run.
void installSignalCleanup();

// While `catching`, SIGINT only raises a flag that the program polls (to
// finish early with what it has); a second SIGINT, and SIGTERM or SIGHUP at
// any time, still clean up and exit. Catching anew lowers the flag.
void catchInterrupts(bool catching);

// Whether a SIGINT came while catchInterrupts(true) was in force.
bool interruptCaught();

// The table of temporary files. reserveTemporaryName copies `pattern` (a
// mkstemp template) into a free slot and returns the slot, or -1 when all
// are taken or the name is too long; mkstemp then fills the slot's name in
// place, so the handler removes the file from the moment it exists.
// releaseTemporaryName frees the slot once the file has its final name or
// is gone.
inline constexpr std::size_t kTemporarySlots = 16;
int reserveTemporaryName(const char* pattern);
char* temporaryName(int slot);
void releaseTemporaryName(int slot);

}  // namespace kbeval
