#include "shell/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "shell/interrupts.h"

namespace kbeval {

namespace {

void discard(OutputFile& file) {
  if (file.stream != nullptr) std::fclose(file.stream);
  file.stream = nullptr;
  if (!file.temporaryPath.empty()) ::unlink(file.temporaryPath.c_str());
  file.temporaryPath.clear();
  releaseTemporaryName(file.slot);
  file.slot = -1;
}

bool failed(int error, std::string& message) {
  message = std::strerror(error);
  return false;
}

bool failed(const char* why, std::string& message) {
  message = why;
  return false;
}

// The permissions a new file gets: those of the file it replaces, else the
// usual ones under the process's umask.
mode_t modeFor(const struct stat* existing) {
  if (existing != nullptr) return existing->st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// ".NAME.XXXXXX" beside `path`, NAME cut so that the whole fits in a name.
std::string temporaryPattern(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  constexpr std::size_t kAdded = 8;  // the dot before, ".XXXXXX" after
  const std::size_t kept = std::min(path.size() - nameStart, std::size_t{NAME_MAX} - kAdded);
  return path.substr(0, nameStart) + "." + path.substr(nameStart, kept) + ".XXXXXX";
}

// A link is written through to its target; false when it names nothing.
bool followLink(const std::string& path, std::string& target, std::string& error) {
  target = path;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    // /dev/stdout on a pipe links to "pipe:[N]", which no path names but
    // which can be opened: such a link is written through as it is.
    if (::stat(path.c_str(), &info) == 0) return true;
    return failed(errno == ELOOP ? "symbolic link loop" : "symbolic link to nothing", error);
  }
  target = resolved;
  std::free(resolved);
  return true;
}

bool openDirectly(OutputFile& file, std::string& error) {
  const int fd = ::open(file.path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return failed(errno, error);
  file.stream = ::fdopen(fd, "w");
  if (file.stream != nullptr) return true;
  const int why = errno;
  ::close(fd);
  return failed(why, error);
}

bool readOnly(const std::string& path, const struct stat& info) {
  return (info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

OutputFile::~OutputFile() {
  discard(*this);
}

bool openOutputFile(const std::string& path, OutputFile& file, std::string& error) {
  discard(file);
  if (!followLink(path, file.path, error)) return false;

  struct stat info {};
  const bool exists = ::stat(file.path.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) return failed(EISDIR, error);
  if (exists && !S_ISREG(info.st_mode)) return openDirectly(file, error);
  if (exists && readOnly(file.path, info)) return failed("read-only file, left as it is", error);
  // Beside the file, so that the rename stays within one file system. The
  // name is in the signal handler's table before the file exists.
  file.slot = reserveTemporaryName(temporaryPattern(file.path).c_str());
  if (file.slot < 0) return failed(ENAMETOOLONG, error);
  const int fd = ::mkstemp(temporaryName(file.slot));
  if (fd < 0) {
    const int why = errno;
    discard(file);
    return failed(why, error);
  }
  file.temporaryPath = temporaryName(file.slot);
  if (::fchmod(fd, modeFor(exists ? &info : nullptr)) != 0 ||
      (file.stream = ::fdopen(fd, "w")) == nullptr) {
    const int why = errno;
    if (file.stream == nullptr) ::close(fd);
    discard(file);
    return failed(why, error);
  }
  return true;
}

bool commitOutputFile(OutputFile& file, std::string& error) {
  if (file.stream == nullptr) return failed(EBADF, error);
  int why = 0;
  errno = 0;
  if (std::fflush(file.stream) != 0 || std::ferror(file.stream)) why = errno != 0 ? errno : EIO;
  // On a regular file the bytes must be on disk before the name moves to them.
  if (why == 0 && !file.temporaryPath.empty() && ::fsync(::fileno(file.stream)) != 0) why = errno;
  const int closed = std::fclose(file.stream);
  file.stream = nullptr;
  if (why == 0 && closed != 0) why = errno;
  if (why == 0 && !file.temporaryPath.empty() &&
      ::rename(file.temporaryPath.c_str(), file.path.c_str()) != 0) {
    why = errno;
  }
  if (why != 0) {
    discard(file);
    return failed(why, error);
  }
  file.temporaryPath.clear();
  releaseTemporaryName(file.slot);
  file.slot = -1;
  return true;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  const bool firstExists = ::stat(a.c_str(), &first) == 0;
  const bool secondExists = ::stat(b.c_str(), &second) == 0;
  if (firstExists && secondExists) {
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino &&
           !S_ISCHR(first.st_mode);
  }
  if (firstExists || secondExists) return false;
  const auto resolved = [](const std::string& path, std::error_code& failed) {
    return std::filesystem::weakly_canonical(std::filesystem::absolute(path, failed), failed);
  };
  std::error_code failedA, failedB;
  const std::filesystem::path resolvedA = resolved(a, failedA);
  const std::filesystem::path resolvedB = resolved(b, failedB);
  return !failedA && !failedB && resolvedA == resolvedB;
}

bool outputsStandApart(const std::vector<RunFile>& outputs, const std::vector<RunFile>& inputs,
                       std::string& error) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const auto clash = [&](const RunFile& other) {
      if (!sameFile(outputs[i].path, other.path)) return false;
      error = outputs[i].role + " is the same file as " + other.role;
      return true;
    };
    for (const RunFile& input : inputs) {
      if (clash(input)) return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (clash(outputs[j])) return false;
    }
  }
  return true;
}

int makeScratchFile(std::string& error) {
  const char* variable = std::getenv("TMPDIR");
  const std::string directory = variable != nullptr && *variable != 0 ? variable : "/tmp";
  int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    // A file system without unnamed files: a named one, its name gone at once.
    const int slot = reserveTemporaryName((directory + "/.kbeval-scratch.XXXXXX").c_str());
    fd = slot < 0 ? -1 : ::mkstemp(temporaryName(slot));
    const int why = errno;
    if (fd >= 0) ::unlink(temporaryName(slot));
    releaseTemporaryName(slot);
    errno = slot < 0 ? ENAMETOOLONG : why;
  }
  if (fd < 0) error = directory + ": " + std::strerror(errno);
  return fd;
}

}  // namespace kbeval
