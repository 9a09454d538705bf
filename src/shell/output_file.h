// A file that is written whole or not at all: the one way every program
// writes an output file.
//
// The bytes go to a temporary file beside it (".NAME.XXXXXX", the name cut
// so that it fits however long NAME is), which takes the file's name only
// once everything has been written and flushed to disk; a run that fails,
// or is ended by SIGINT, SIGTERM or SIGHUP (see interrupts.h), leaves the
// old file (or none) and no temporary file behind.
//
// Devices, pipes and terminals (/dev/stdout, a FIFO, /dev/full) are written
// directly: renaming onto them would replace the device instead of writing
// to it. A symbolic link is followed to the file it names, which is
// replaced and the link kept; a link to nothing, or a loop, is refused. An
// existing regular file that is read-only (no write permission for the
// program, or none at all in its mode) is refused and left as it is.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kbeval {

struct OutputFile {
  std::string path;           // the file as named; a link is followed to its target
  std::string temporaryPath;  // empty when writing straight to `path`
  std::FILE* stream = nullptr;
  int slot = -1;  // the temporary file's entry in the signal handler's table

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();  // an uncommitted file is closed and its temporary file removed
};

// Opens `path` for writing. False, with `error` saying why ("Is a directory",
// "Permission denied", "read-only file, left as it is", ...), when it cannot
// be written.
bool openOutputFile(const std::string& path, OutputFile& file, std::string& error);

// Flushes and closes the file and gives it its name. False, with `error`
// set, when any write failed (the first failure); then nothing is left behind.
bool commitOutputFile(OutputFile& file, std::string& error);

// A file a run reads or writes, as a message names it: "--json 'out.json'",
// "the sample 's.txt'".
struct RunFile {
  std::string role;
  std::string path;
};

// Whether `a` and `b` are one file: the same device and inode (links
// followed), or, when neither exists yet, the same path once resolved.
// Character devices (/dev/null, a terminal) are never one file.
bool sameFile(const std::string& a, const std::string& b);

// False, with `error` naming both, when one of `outputs` is one of `inputs`
// or another of `outputs`: writing it would destroy what the run reads, or
// one output would replace the other.
bool outputsStandApart(const std::vector<RunFile>& outputs, const std::vector<RunFile>& inputs,
                       std::string& error);

// A scratch file for what a run must keep for a while (the copy of a sample
// that cannot be read twice, the sections of a report written at its end):
// an unnamed file in TMPDIR (else /tmp), opened for reading and writing. It
// has no name, so it goes with the process however the process ends. -1,
// with `error` naming the directory and why, when none can be made.
int makeScratchFile(std::string& error);

}  // namespace kbeval
