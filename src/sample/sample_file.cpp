#include "sample/sample_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace kbeval {

bool openSampleFile(const std::string& path, int& fd, struct stat& info, std::string& error) {
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const bool described = ::fstat(fd, &info) == 0;
  if (described && !S_ISDIR(info.st_mode)) return true;
  error = described ? "is a directory" : std::strerror(errno);
  ::close(fd);
  fd = -1;
  return false;
}

bool readSampleFile(int fd, std::size_t pieceSize, SampleAnalysis& analysis,
                    const SamplePieces& pieces, std::string& error) {
  const auto tokens = [&]() -> TokenPiece& {
    return pieces.tokensTo ? pieces.tokensTo() : analysis.piece;
  };
  std::vector<char> buffer(std::max<std::size_t>(pieceSize, 1));
  std::uint64_t done = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    done += static_cast<std::uint64_t>(got);
    if (pieces.bytesRead && !pieces.bytesRead(buffer.data(), static_cast<std::size_t>(got), error))
      return false;
    const bool more =
        readSampleBytes(analysis, buffer.data(), static_cast<std::size_t>(got), tokens());
    if (pieces.pieceRead) pieces.pieceRead(done);
    if (!more) break;
  }
  readSampleEnd(analysis, tokens());
  if (pieces.pieceRead) pieces.pieceRead(done);
  return true;
}

bool sameSampleFile(const struct stat& first, const struct stat& now) {
  return first.st_dev == now.st_dev && first.st_ino == now.st_ino && first.st_size == now.st_size &&
         first.st_mtim.tv_sec == now.st_mtim.tv_sec && first.st_mtim.tv_nsec == now.st_mtim.tv_nsec;
}

}  // namespace kbeval
