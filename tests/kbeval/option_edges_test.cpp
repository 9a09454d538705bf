// The edges of every program's command line in one table: the smallest and
// largest legal value of each numeric option accepted and one past refused,
// every alias, every option with an empty value, and --help, --version and a
// usage error in every pair, both orders. A value is checked beside --help:
// help wins over everything but a usage error, so an accepted line prints the
// help and runs nothing. A program joins by adding its rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_line.h"
#include "in_process.h"
#include "optimize_command.h"
#include "shell/long_options.h"
#ifdef KBEVAL_HAVE_IMPORTER
#include "import_command.h"
#endif

namespace kbeval {
namespace {

using MainFunction = int (*)(int, const char* const*, std::FILE*, std::FILE*);

struct Program {
  const char* name;
  MainFunction main;
  const char* usage;  // how its help begins
};
constexpr Program kKbeval = {"kbeval", kbevalMain, "Usage: kbeval "};
constexpr Program kOptimize = {"kbeval-optimize", optimizeMain, "Usage: kbeval-optimize "};
#ifdef KBEVAL_HAVE_IMPORTER
constexpr Program kImport = {"kbeval-import", import::importMain, "usage: kbeval-import "};
constexpr Program kPrograms[] = {kKbeval, kOptimize, kImport};
#else
constexpr Program kPrograms[] = {kKbeval, kOptimize};
#endif

enum class Shows { help, version, error };

struct Row {
  Program program;
  std::vector<std::string> arguments;
  Shows shows;
  std::string error = "";  // the start of the usage error, after "NAME: "
};

// Rows for a numeric option: its ends accepted, one past each refused.
void addRange(std::vector<Row>& rows, Program p, const std::string& option,
              const std::string& least, const std::string& most, const std::string& below,
              const std::string& above, const std::string& error) {
  rows.push_back({p, {"--help", option + "=" + least}, Shows::help});
  rows.push_back({p, {option, most, "--help"}, Shows::help});
  rows.push_back({p, {"--help", option + "=" + below}, Shows::error, error + ", not '" + below});
  rows.push_back({p, {option + "=" + above, "--help"}, Shows::error, error + ", not '" + above});
}

std::vector<Row> allRows() {
  std::vector<Row> rows;
  for (Program p : kPrograms) {
    // --help, --version and a usage error, every pair in both orders.
    rows.push_back({p, {"--help", "--version"}, Shows::help});
    rows.push_back({p, {"--version", "--help"}, Shows::help});
    rows.push_back({p, {"--version"}, Shows::version});
    for (const char* other : {"--help", "--version"}) {
      rows.push_back({p, {other, "--bogus"}, Shows::error, "unknown option '--bogus'"});
      rows.push_back({p, {"--bogus", other}, Shows::error, "unknown option '--bogus'"});
    }
  }
  for (Program p : {kKbeval, kOptimize}) {
    addRange(rows, p, "--jobs", "1", "1024", "0", "1025",
             "--jobs takes a number of threads from 1 to 1024");
    // Aliases of the sample encoding, in any case.
    for (const char* name : {"johab", "JOHAB", "utf-8", "UTF-8", "utf8", "Utf8"}) {
      rows.push_back({p, {"--help", std::string("--sample-encoding=") + name}, Shows::help});
    }
    rows.push_back({p,
                    {"--help", "--sample-encoding=utf_8"},
                    Shows::error,
                    "unknown sample encoding 'utf_8' for --sample-encoding"});
    rows.push_back({p,
                    {"--help", "--sample-encoding="},
                    Shows::error,
                    "unknown sample encoding '' for --sample-encoding"});
    rows.push_back({p, {"--help", "--jobs="}, Shows::error, "--jobs takes a number"});
    rows.push_back({p, {"--help", "--jobs"}, Shows::error, "option '--jobs' needs a value"});
  }

  const Program k = kKbeval;
  for (const char* name : {"cp949", "CP949", "utf-8", "utf8"}) {
    rows.push_back({k, {"--help", std::string("--output-encoding=") + name}, Shows::help});
  }
  rows.push_back({k, {"--help", "--utf8"}, Shows::help});
  rows.push_back({k, {"--he"}, Shows::help});  // an unambiguous prefix
  rows.push_back({k, {"--vers"}, Shows::version});
  for (const auto& [empty, error] : {
           std::pair{"--keyboards=", "--keyboards needs a directory"},
           std::pair{"--json=", "--json needs a file name"},
           std::pair{"--html=", "--html needs a file name"},
           std::pair{"--output-encoding=", "unknown output encoding '' for --output-encoding"},
       }) {
    rows.push_back({k, {"--help", empty}, Shows::error, error});
  }
  rows.push_back({k, {"--help", "--quiet="}, Shows::error, "option '--quiet' takes no value"});

  const Program o = kOptimize;
  addRange(rows, o, "--show", "1", "100", "0", "101",
           "--show takes a number of layouts from 1 to 100");
  addRange(rows, o, "--restarts", "1", "1000000", "0", "1000001",
           "--restarts takes a number of restarts from 1 to 1000000");
  addRange(rows, o, "--iterations", "1", "1000000000000", "0", "1000000000001",
           "--iterations takes a number of steps from 1 to 10^12");
  addRange(rows, o, "--seed", "0", "18446744073709551615", "-1", "18446744073709551616",
           "--seed takes a whole number from 0 to 2^64-1");
  addRange(rows, o, "--time", "1e-9", "10000000", "0", "10000000.5",
           "--time takes a number of seconds above 0");
  for (const auto& [empty, error] : {
           std::pair{"--start=", "--start needs a layout file"},
           std::pair{"--output=", "--output needs a file name"},
           std::pair{"--validate=", "--validate needs a sample file"},
           std::pair{"--weights=", "--weights: no weight given"},
           std::pair{"--show=", "--show takes a number of layouts from 1 to 100, not ''"},
           std::pair{"--seed=", "--seed takes a whole number"},
           std::pair{"--iterations=", "--iterations takes a number of steps"},
           std::pair{"--restarts=", "--restarts takes a number of restarts"},
           std::pair{"--time=", "--time takes a number of seconds above 0, not ''"},
       }) {
    rows.push_back({o, {"--help", empty}, Shows::error, error});
  }
  // Empty key lists are lists of no keys.
  rows.push_back({o, {"--help", "--pin="}, Shows::help});
  rows.push_back({o, {"--help", "--allow="}, Shows::help});

#ifdef KBEVAL_HAVE_IMPORTER
  const Program i = kImport;
  // Fingering names in any case, "qwerty" and "none" alike; the output
  // encoding's aliases as kbeval's --output-encoding takes them.
  for (const char* name : {"Pyojun", "pyojun", "GONG", "gong3", "none", "Qwerty"}) {
    rows.push_back({i, {"--help", std::string("--fingering=") + name}, Shows::help});
  }
  for (const char* name : {"cp949", "CP949", "utf-8", "utf8"}) {
    rows.push_back({i, {"--help", std::string("--encoding=") + name}, Shows::help});
  }
  for (const auto& [arguments, error] : {
           std::pair{std::vector<std::string>{"--fingering="},
                     "unknown fingering '' for --fingering (Pyojun, Gong, Gong3 or none)"},
           std::pair{std::vector<std::string>{"-f"}, "option '-f' needs a value"},
           std::pair{std::vector<std::string>{"--encoding="},
                     "unknown output encoding '' for --encoding (cp949 or utf-8)"},
           std::pair{std::vector<std::string>{"--output="}, "--output needs a file name"},
           std::pair{std::vector<std::string>{"--lossy="}, "option '--lossy' takes no value"},
       }) {
    std::vector<std::string> withHelp = {"--help"};
    withHelp.insert(withHelp.end(), arguments.begin(), arguments.end());
    rows.push_back({i, withHelp, Shows::error, error});
  }
  rows.push_back({i, {"-h"}, Shows::help});
  rows.push_back({i, {"--vers"}, Shows::version});
#endif
  return rows;
}

TEST(OptionEdges, EveryProgramAcceptsItsEdgesAndRefusesPastThem) {
  for (const Row& row : allRows()) {
    std::string line = row.program.name;
    for (const std::string& a : row.arguments) line += " " + a;
    SCOPED_TRACE(line);
    std::vector<const char*> argv = {row.program.name};
    for (const std::string& a : row.arguments) argv.push_back(a.c_str());
    const testing::Outcome outcome = testing::caughtOutcome([&](std::FILE* out, std::FILE* err) {
      return row.program.main(static_cast<int>(argv.size()), argv.data(), out, err);
    });
    const std::string name = row.program.name;
    switch (row.shows) {
      case Shows::help:
        EXPECT_EQ(outcome.exitStatus, 0);
        EXPECT_TRUE(outcome.output.starts_with(row.program.usage)) << outcome.output;
        EXPECT_EQ(outcome.errors, "");
        break;
      case Shows::version:
        EXPECT_EQ(outcome.exitStatus, 0);
        EXPECT_EQ(outcome.output, name + " " + kbevalVersion() + "\n");
        EXPECT_EQ(outcome.errors, "");
        break;
      case Shows::error:
        EXPECT_EQ(outcome.exitStatus, 2);
        EXPECT_EQ(outcome.output, "");
        EXPECT_TRUE(outcome.errors.starts_with(name + ": " + row.error)) << outcome.errors;
        EXPECT_TRUE(outcome.errors.ends_with("; see '" + name + " --help'\n")) << outcome.errors;
        EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1);
        break;
    }
  }
}

}  // namespace
}  // namespace kbeval
