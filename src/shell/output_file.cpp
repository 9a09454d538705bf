#include "shell/output_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kbeval {

namespace {

void discard(OutputFile& file) {
  if (file.stream != nullptr) std::fclose(file.stream);
  file.stream = nullptr;
  if (!file.temporaryPath.empty()) ::unlink(file.temporaryPath.c_str());
  file.temporaryPath.clear();
}

bool failed(int error, std::string& message) {
  message = std::strerror(error);
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

}  // namespace

OutputFile::~OutputFile() {
  discard(*this);
}

bool openOutputFile(const std::string& path, OutputFile& file, std::string& error) {
  discard(file);
  file.path = path;
  // Writing through a link writes its target.
  std::error_code ignored;
  if (std::filesystem::is_symlink(path, ignored)) {
    const std::filesystem::path target = std::filesystem::canonical(path, ignored);
    if (!target.empty()) file.path = target.string();
  }

  struct stat info {};
  const bool exists = ::stat(file.path.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) return failed(EISDIR, error);
  if (exists && !S_ISREG(info.st_mode)) {
    file.stream = std::fopen(file.path.c_str(), "w");
    return file.stream != nullptr || failed(errno, error);
  }
  // Beside the file, so that the rename stays within one file system.
  std::string temporary = file.path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return failed(errno, error);
  file.temporaryPath = temporary;
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
  return true;
}

}  // namespace kbeval
