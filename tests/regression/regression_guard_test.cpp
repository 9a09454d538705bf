// Regression guard: the three programs, run in this process on the cases of
// tests/data/regression_guard/cases.txt, must give the status, standard
// output and standard error saved in expected/ byte for byte. The saved
// outputs are snapshots of the programs themselves, not worked-out values:
// the guard says only that nothing changed. After a change meant to alter an
// output, `make regression-guard` saves the new outputs (it runs this test
// with KBEVAL_REGENERATE_GUARD=1); review the difference before committing it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "in_process.h"
#include "optimize_command.h"
#if KBEVAL_HAVE_IMPORTER
#include "import_command.h"
#endif

namespace kbeval::testing {
namespace {

const std::filesystem::path kGuardDirectory = KBEVAL_TEST_DATA "/regression_guard";
const std::string kLibhangul = LIBHANGUL_KEYBOARDS;

struct GuardCase {
  std::string name;
  std::string directory;
  std::vector<std::string> argv;  // the program first
};

std::vector<GuardCase> guardCases() {
  std::ifstream in(kGuardDirectory / "cases.txt");
  std::vector<GuardCase> cases;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    GuardCase guardCase;
    words >> guardCase.name >> guardCase.directory;
    for (std::string word; words >> word;) {
      const auto at = word.find("@LIBHANGUL@");
      if (at != std::string::npos) word.replace(at, 11, kLibhangul);
      guardCase.argv.push_back(word);
    }
    cases.push_back(guardCase);
  }
  return cases;
}

// The program's main with `argv` on `out` and `err`.
int runMain(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err) {
  std::vector<const char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(argument.c_str());
  const int argc = static_cast<int>(pointers.size());
  if (argv[0] == "kbeval") return kbevalMain(argc, pointers.data(), out, err);
  if (argv[0] == "kbeval-optimize") return optimizeMain(argc, pointers.data(), out, err);
#if KBEVAL_HAVE_IMPORTER
  if (argv[0] == "kbeval-import") {
    return import::importMain(argc, pointers.data(), out, err);
  }
#endif
  return -1;
}

// Standard error without the optimiser's speed line ("7786 candidates in
// 0.02 s (340902 per second)"), the one output that varies from run to run.
std::string withoutTimings(const std::string& errors) {
  std::string kept;
  std::istringstream lines(errors);
  for (std::string line; std::getline(lines, line);) {
    kept += line.ends_with(" per second)") ? "(speed)" : line;
    if (!lines.eof()) kept += '\n';
  }
  return kept;
}

// Status, output and errors as one file: a header line of numbers, then the bytes.
std::string recorded(const Outcome& outcome) {
  const std::string errors = withoutTimings(outcome.errors);
  return "status " + std::to_string(outcome.exitStatus) + " stdout " +
         std::to_string(outcome.output.size()) + " stderr " + std::to_string(errors.size()) + "\n" +
         outcome.output + errors;
}

Outcome runCase(const GuardCase& guardCase) {
  char* here = ::getcwd(nullptr, 0);
  const std::filesystem::path directory = kGuardDirectory / guardCase.directory;
  if (here == nullptr || ::chdir(directory.c_str()) != 0) std::abort();
  Outcome outcome = caughtOutcome(
      [&](std::FILE* out, std::FILE* err) { return runMain(guardCase.argv, out, err); });
  if (::chdir(here) != 0) std::abort();
  std::free(here);
  return outcome;
}

bool runnable(const GuardCase& guardCase) {
  const bool needsLibhangul =
      std::any_of(guardCase.argv.begin(), guardCase.argv.end(),
                  [](const std::string& word) { return word.starts_with(kLibhangul); });
  if (needsLibhangul && !std::filesystem::is_directory(kLibhangul)) return false;
#if !KBEVAL_HAVE_IMPORTER
  if (guardCase.argv[0] == "kbeval-import") return false;
#endif
  return true;
}

TEST(RegressionGuard, EveryCaseGivesTheSavedOutput) {
  const std::vector<GuardCase> cases = guardCases();
  ASSERT_GE(cases.size(), 30u);
  const bool regenerate = std::getenv("KBEVAL_REGENERATE_GUARD") != nullptr;
  int skipped = 0;
  for (const GuardCase& guardCase : cases) {
    if (!runnable(guardCase)) {
      ++skipped;
      continue;
    }
    const std::string actual = recorded(runCase(guardCase));
    const std::filesystem::path saved = kGuardDirectory / "expected" / guardCase.name;
    if (regenerate) {
      std::filesystem::create_directories(saved.parent_path());
      std::ofstream(saved, std::ios::binary) << actual;
      continue;
    }
    const std::string expected = readFile(saved);
    ASSERT_FALSE(expected.empty()) << "no saved output for " << guardCase.name;
    EXPECT_TRUE(actual == expected)
        << guardCase.name << " changed; its first line now: " << actual.substr(0, actual.find('\n'))
        << ", saved: " << expected.substr(0, expected.find('\n'));
  }
  if (skipped > 0) std::printf("%d cases skipped (no importer or no libhangul-data)\n", skipped);
}

}  // namespace
}  // namespace kbeval::testing
