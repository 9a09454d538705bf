#include "shell/jobs.h"

#include <sched.h>

#include <algorithm>

namespace kbeval {

unsigned defaultJobs() {
  cpu_set_t cpus;
  if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
  return static_cast<unsigned>(std::max(CPU_COUNT(&cpus), 1));
}

unsigned jobsOrDefault(unsigned jobs) {
  return jobs != 0 ? jobs : defaultJobs();
}

}  // namespace kbeval
