// Test helpers: a fresh directory under the system's temporary directory,
// removed with everything in it when the helper goes out of scope, and a
// program run in such a directory with its output and exit status collected.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace kbeval::testing {

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kbeval-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory() {
    std::error_code ignored;
    // A test may have taken the permissions away; give them back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

  // Writes `bytes` exactly as given (no text translation) to a file below the directory.
  std::string write(std::string_view name, std::string_view bytes) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
    return file.string();
  }

  std::string makeDirectory(std::string_view name) const {
    const std::filesystem::path directory = path_ / name;
    std::filesystem::create_directories(directory);
    return directory.string();
  }

  // Gives the directory and everything in it to `uid`, so that a process of
  // that user meets the permission bits the test set, whatever the umask.
  // Links are changed themselves, never what they point to.
  void handTo(uid_t uid, gid_t gid) const {
    if (::lchown(path_.c_str(), uid, gid) != 0) std::abort();
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (::lchown(it->path().c_str(), uid, gid) != 0) std::abort();
    }
  }

 private:
  std::filesystem::path path_;
};

// Permission bits do not stop root, so tests of unreadable files run the
// program as this user (nobody on Debian) when they run as root.
// The bytes of a file ("" when it cannot be read).
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The names in a directory, sorted: a temporary file left behind shows here.
inline std::vector<std::string> filesIn(const TempDirectory& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// How often `part` stands in `text`, not overlapping.
inline std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + part.size()))
    ++n;
  return n;
}

inline constexpr uid_t kUnprivilegedUser = 65534;
inline constexpr gid_t kUnprivilegedGroup = 65534;

// Sanitizers keep shadow memory and histories of their own, which swamp any
// measure of the program's resident set: memory bounds are checked only in
// plain builds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kMemoryIsMeasurable = false;
#else
inline constexpr bool kMemoryIsMeasurable = true;
#endif

struct Outcome {
  std::string output;      // standard output, when it was collected
  std::string errors;      // standard error
  int exitStatus = -1;     // -1 when the process did not exit normally (a crash)
  long peakMemoryKiB = 0;  // the process's largest resident set
};

struct RunSettings {
  // Standard output goes to this file instead of being collected; nullptr collects it.
  const char* outputFile = nullptr;
  bool closeOutput = false;   // start the program with standard output closed
  bool unprivileged = false;  // as root, run as kUnprivilegedUser (see canRunUnprivileged)
};

// A program started by startProgram, not yet waited for.
struct RunningProgram {
  pid_t pid = -1;
  int output = -1;  // read ends of the pipes, or -1
  int errors = -1;
};

namespace detail {

// In the child: leaves root for kUnprivilegedUser. Only system calls, as fork requires.
inline bool dropPrivileges() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kUnprivilegedGroup) == 0 &&
         ::setuid(kUnprivilegedUser) == 0;
}

// Whether the program must leave root to run as `settings` asks.
inline bool mustDropPrivileges(const RunSettings& settings) {
  return settings.unprivileged && ::geteuid() == 0;
}

}  // namespace detail

// Starts `program` with `arguments` in `directory`.
inline RunningProgram startProgram(const TempDirectory& directory, const char* program,
                                   const std::vector<std::string>& arguments,
                                   const RunSettings& settings = {}) {
  const bool drop = detail::mustDropPrivileges(settings);
  if (drop) directory.handTo(kUnprivilegedUser, kUnprivilegedGroup);
  const bool collect = settings.outputFile == nullptr && !settings.closeOutput;
  int outputPipe[2] = {-1, -1};
  int errorPipe[2];
  // Close-on-exec, so that no descriptor of the test lives on in the program.
  if ((collect && ::pipe2(outputPipe, O_CLOEXEC) != 0) || ::pipe2(errorPipe, O_CLOEXEC) != 0)
    std::abort();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) std::abort();
  if (child == 0) {
    int output = collect ? outputPipe[1] : -1;
    if (settings.outputFile != nullptr) output = ::open(settings.outputFile, O_WRONLY | O_CLOEXEC);
    if (settings.closeOutput) {
      ::close(STDOUT_FILENO);
    } else if (output < 0 || ::dup2(output, STDOUT_FILENO) < 0) {
      _exit(127);
    }
    if (::dup2(errorPipe[1], STDERR_FILENO) < 0) _exit(127);
    if (::chdir(directory.path().c_str()) != 0) _exit(127);
    if (drop && !detail::dropPrivileges()) _exit(127);
    ::execv(program, argv.data());
    _exit(127);
  }
  RunningProgram running;
  running.pid = child;
  if (collect) {
    ::close(outputPipe[1]);
    running.output = outputPipe[0];
  }
  ::close(errorPipe[1]);
  running.errors = errorPipe[0];
  return running;
}

// Collects the program's output until it ends, and waits for it.
inline Outcome finishProgram(RunningProgram& running) {
  Outcome outcome;
  struct Stream {
    int& fd;
    std::string& text;
  };
  Stream streams[] = {{running.output, outcome.output}, {running.errors, outcome.errors}};
  for (;;) {
    pollfd fds[2];
    nfds_t count = 0;
    for (const Stream& s : streams) {
      if (s.fd >= 0) fds[count++] = {s.fd, POLLIN, 0};
    }
    if (count == 0) break;
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      std::abort();
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      for (Stream& s : streams) {
        if (s.fd != fds[i].fd) continue;
        char buffer[1 << 14];
        const ssize_t got = ::read(s.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
          ::close(s.fd);
          s.fd = -1;
        } else {
          s.text.append(buffer, static_cast<std::size_t>(got));
        }
      }
    }
  }
  int status = 0;
  rusage usage{};
  while (::wait4(running.pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) std::abort();
  }
  running.pid = -1;
  if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
  outcome.peakMemoryKiB = usage.ru_maxrss;
  return outcome;
}

inline Outcome runProgram(const TempDirectory& directory, const char* program,
                          const std::vector<std::string>& arguments,
                          const RunSettings& settings = {}) {
  RunningProgram running = startProgram(directory, program, arguments, settings);
  return finishProgram(running);
}

// Whether `program` can be run unprivileged in `directory`: always when the
// tests do not run as root; as root, when the system lets a child drop to
// kUnprivilegedUser and that user can reach the program and the directory.
inline bool canRunUnprivileged(const TempDirectory& directory, const char* program) {
  if (::geteuid() != 0) return true;
  directory.handTo(kUnprivilegedUser, kUnprivilegedGroup);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const bool ok = detail::dropPrivileges() && ::access(program, X_OK) == 0 &&
                    ::chdir(directory.path().c_str()) == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kbeval::testing
