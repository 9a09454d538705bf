#include "progress.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kbeval {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);

double megabytes(std::uint64_t bytes) {
  return static_cast<double>(bytes) / 1e6;
}

}  // namespace

Progress startProgress(std::FILE* stream, std::uint64_t passBytes, int passes,
                       ProgressClock::time_point (*now)()) {
  Progress progress;
  progress.stream = stream;
  progress.passBytes = passBytes;
  progress.passes = std::max(passes, 1);
  progress.now = now;
  progress.started = now();
  return progress;
}

void formatProgress(const Progress& progress, std::uint64_t done, ProgressClock::duration elapsed,
                    char* line, std::size_t size) {
  if (progress.passBytes == 0) {
    std::snprintf(line, size, "kbeval: %.1f MB read", megabytes(done));
    return;
  }
  done = std::min(done, progress.passBytes);
  int used = std::snprintf(line, size, "kbeval: %.1f of %.1f MB (%d%%)", megabytes(done),
                           megabytes(progress.passBytes),
                           static_cast<int>(done * 100 / progress.passBytes));
  auto append = [&](const char* format, auto... values) {
    if (used < 0 || static_cast<std::size_t>(used) >= size) return;
    const int more =
        std::snprintf(line + used, size - static_cast<std::size_t>(used), format, values...);
    if (more > 0) used += more;
  };
  if (progress.passes > 1) append(", pass %d of %d", progress.pass, progress.passes);
  const double whole = static_cast<double>(progress.passBytes) * progress.passes;
  const double fraction =
      (static_cast<double>(progress.pass - 1) * static_cast<double>(progress.passBytes) +
       static_cast<double>(done)) /
      whole;
  if (fraction <= 0.0 || fraction >= 1.0) return;
  const double seconds =
      std::chrono::duration<double>(elapsed).count() * (1.0 - fraction) / fraction;
  if (seconds < 100.0) {
    append(", about %d s left", static_cast<int>(std::ceil(seconds)));
  } else {
    append(", about %d min left", static_cast<int>(std::ceil(seconds / 60.0)));
  }
}

void showProgress(Progress& progress, std::uint64_t done) {
  if (progress.stream == nullptr) return;
  const ProgressClock::time_point now = progress.now();
  if (now - progress.started < kQuietStart) return;
  if (progress.shownLength > 0 && now - progress.drawn < kRedrawEvery) return;
  char line[160];
  formatProgress(progress, done, now - progress.started, line, sizeof line);
  const int length = static_cast<int>(std::strlen(line));
  // Spaces wipe what is left of a longer line drawn before.
  std::fprintf(progress.stream, "\r%s%*s", line, std::max(progress.shownLength - length, 0), "");
  std::fflush(progress.stream);
  progress.shownLength = std::max(progress.shownLength, length);
  progress.drawn = now;
}

void clearProgress(Progress& progress) {
  if (progress.stream == nullptr || progress.shownLength == 0) return;
  std::fprintf(progress.stream, "\r%*s\r", progress.shownLength, "");
  std::fflush(progress.stream);
  progress.shownLength = 0;
}

}  // namespace kbeval
