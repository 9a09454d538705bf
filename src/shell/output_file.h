// A file that is written whole or not at all. The bytes go to a temporary
// file beside it, which takes its name only once everything has been written
// and flushed to disk; a run that fails, or ends early, leaves the old file
// (or none) and no temporary file behind.
//
// Devices and pipes (/dev/stdout, a FIFO, /dev/full) are written directly:
// renaming onto them would replace the device instead of writing to it.
#pragma once

#include <cstdio>
#include <string>

namespace kbeval {

struct OutputFile {
  std::string path;           // the file as named; a link is followed to its target
  std::string temporaryPath;  // empty when writing straight to `path`
  std::FILE* stream = nullptr;

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();  // an uncommitted file is closed and its temporary file removed
};

// Opens `path` for writing. False, with `error` saying why ("Is a directory",
// "Permission denied", ...), when it cannot be written.
bool openOutputFile(const std::string& path, OutputFile& file, std::string& error);

// Flushes and closes the file and gives it its name. False, with `error`
// set, when any write failed; then nothing is left behind.
bool commitOutputFile(OutputFile& file, std::string& error);

}  // namespace kbeval
