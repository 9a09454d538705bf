// Reading a sample file: the one loop that reads a sample through the
// analysis's reading stage, piece by piece, for kbeval's run and for
// kbeval-optimize's passes alike.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sample/sample_analysis.h"

namespace kbeval {

// Opens the sample at `path` for reading: a file, a pipe or a device, never a
// directory. False, with `error` saying why ("No such file or directory",
// "is a directory"), when it cannot be read; else `fd` is open and `info`
// describes it.
bool openSampleFile(const std::string& path, int& fd, struct stat& info, std::string& error);

// Whether two descriptions of a sample are of one unchanged file: device,
// inode, size and modification time alike. A pass that finds another would
// count another text than the passes before it.
bool sameSampleFile(const struct stat& first, const struct stat& now);

// What a reading pass does with each piece of the sample.
struct SamplePieces {
  // Where each piece's tokens go; when not set, into analysis.piece.
  std::function<TokenPiece&()> tokensTo;
  // Called once a piece has been read (its tokens where tokensTo said, its
  // characters in analysis.characters), with the bytes read so far; at the
  // end once more, for the tokens that the end of the text completes.
  std::function<void(std::uint64_t bytesRead)> pieceRead;
  // When set, called with each piece's bytes as they were read, before the
  // analysis takes them; false ends the reading as a failure, its `error`
  // left as the callback set it.
  std::function<bool(const char* bytes, std::size_t length, std::string& error)> bytesRead;
};

// Reads `fd` from where it stands, in pieces of `pieceSize` bytes, through
// the reading stage until the file or its text ends (readSampleBytes, then
// readSampleEnd). The text's counts are left to endSampleReading. False, with
// `error` set to the system's reason, on a read error.
bool readSampleFile(int fd, std::size_t pieceSize, SampleAnalysis& analysis,
                    const SamplePieces& pieces, std::string& error);

}  // namespace kbeval
