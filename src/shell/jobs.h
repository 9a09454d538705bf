// How many threads a program runs on when --jobs does not say.
#pragma once

namespace kbeval {

// Every CPU this process may run on (its CPU affinity, which a container or
// `taskset` narrows), at least 1.
unsigned defaultJobs();

// `jobs` as asked on the command line; 0 (not asked) gives defaultJobs().
unsigned jobsOrDefault(unsigned jobs);

}  // namespace kbeval
