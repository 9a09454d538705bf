// kbeval-optimize as a user meets it: bad input gets one clear line and a
// defined exit status, a good run writes a layout that reads back and scores
// what the run said, and the result does not depend on the thread count.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "keystrokes/board.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "optimize/layout_objective.h"
#include "optimize/sample_passes.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::Outcome;
using testing::TempDirectory;

const std::string kExamples = KBEVAL_EXAMPLES;

Outcome optimize(const TempDirectory& directory, const std::vector<std::string>& arguments) {
  testing::RunningProgram running =
      testing::startProgram(directory, KBEVAL_OPTIMIZE_BINARY, arguments);
  return testing::finishProgram(running);
}

TEST(OptimizeCommand, BadInputGetsOneLineAndItsExitStatus) {
  const TempDirectory directory;
  const std::string start = kExamples + "/keyboard/2-standard.txt";
  const std::string sample = kExamples + "/sample.txt";
  directory.write("empty.txt", "");
  directory.write("letters.txt", "abc def\n");  // letters type nothing
  directory.write("noset.txt", "fingering: Pyojun\n1\t\xA4\xA1\tr\n");
  directory.makeDirectory("folder.txt");
  directory.write("tiny.txt", "set type:2\nfingering: Pyojun\n1\t\xA4\xA1\tr\n1\t\xA4\xA4\ts\n");
  // Boards: one without the s key tiny.txt types, one whose effort the objective refuses.
  const std::string boardKeys = "space 5 4 thumb thumb - 1\nenter 12 2 home R5 - 2\n";
  directory.write("nos.board", boardKeys + "r 4 1 top L2 - 1.2\n");
  directory.write("heavy.board", boardKeys + "r 4 1 top L2 - 1.2\ns 2 2 home L4 - 1000\n");
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int status;
    const char* message;  // a part of the one stderr line
  };
  const std::vector<Case> cases = {
      {"no start layout", {sample}, 2, "no start layout given"},
      {"no sample", {"--start", start}, 2, "no sample given"},
      {"two samples", {"--start", start, sample, sample}, 2, "one sample only"},
      {"text weight zero", {"--start", start, "--sample", sample + ":0"}, 2, "weight above 0"},
      {"text weight infinite",
       {"--start", start, "--sample", sample + ":inf"},
       2,
       "weight above 0"},
      {"text without a file", {"--start", start, "--sample=:2", sample}, 2, "--sample needs"},
      {"second text missing",
       {"--start", start, "--sample=gone.txt:2", sample},
       1,
       "cannot read sample gone.txt"},
      {"second text empty",
       {"--start", start, "--sample=empty.txt", sample},
       1,
       "sample empty.txt gives no keystroke"},
      {"start missing",
       {"--start", "missing.txt", sample},
       1,
       "cannot read start layout missing.txt: No such file"},
      {"start is a directory", {"--start", "folder.txt", sample}, 1, "not a regular file"},
      {"start without set type", {"--start", "noset.txt", sample}, 1, "has no set type 2 or 3"},
      {"sample missing", {"--start", start, "nothing.txt"}, 1, "cannot read sample nothing.txt"},
      {"held-out sample missing",
       {"--start", start, "--validate=gone.txt", sample},
       1,
       "cannot read sample gone.txt: No such file"},
      {"empty sample",
       {"--start", start, "empty.txt"},
       1,
       "gives no keystroke on the start layout: nothing to optimise (read as Johab; "
       "--sample-encoding=utf-8 reads UTF-8)"},
      {"sample without movable keys",
       {"--start", start, "letters.txt"},
       1,
       "types none of the keys that may move"},
      {"unknown weight",
       {"--start", start, "--weights", "speed=1", sample},
       2,
       "unknown weight 'speed'"},
      {"negative weight", {"--start", start, "--weights=shift=-1", sample}, 2, "negative"},
      {"NaN weight", {"--start", start, "--weights=shift=nan", sample}, 2, "not a number"},
      {"weight without value", {"--start", start, "--weights=shift", sample}, 2, "not name=value"},
      {"time zero", {"--start", start, "--time", "0", sample}, 2, "--time takes"},
      {"time and iterations",
       {"--start", start, "--time=1", "--iterations=5", sample},
       2,
       "exclude each other"},
      {"zero restarts", {"--start", start, "--restarts=0", sample}, 2, "--restarts takes"},
      {"pins cover every key",
       {"--start", start, "--pin", "qwertyuiopasdfghjklzxcvbnm", sample},
       2,
       "--pin leaves no key to move"},
      {"pinned and allowed",
       {"--start", start, "--allow=rf", "--pin=r", sample},
       2,
       "both pinned (--pin) and allowed (--allow)"},
      {"empty allow", {"--start", start, "--allow=", sample}, 2, "--allow names no key"},
      {"not a key", {"--start", start, "--pin= ", sample}, 2, "is no key that can move"},
      {"one key left",
       {"--start", start, "--move=keys", "--allow=r", sample},
       2,
       "only one key may move"},
      {"hands apart",
       {"--start", start, "--move=keys", "--allow=rk", sample},
       2,
       "--no-keep-hands"},
      {"unknown move",
       {"--start", start, "--move=letters", sample},
       2,
       "--move takes jamo or keys"},
      {"levels with jamo",
       {"--start", start, "--move=jamo", "--swap-levels", sample},
       2,
       "goes with --move=keys"},
      {"unknown number row",
       {"--start", start, "--number-row=", sample},
       2,
       "--number-row takes keep or allow"},
      {"no key may move", {"--start", start, "--max-moved=0", sample}, 2, "--max-moved takes"},
      {"too many keys", {"--start", start, "--max-moved=50", sample}, 2, "--max-moved takes"},
      {"empty jamo pin", {"--start", start, "--pin-jamo=", sample}, 2, "--pin-jamo needs"},
      {"empty jamo pin item", {"--start", start, "--pin-jamo=ㅇ,", sample}, 2, "empty item"},
      {"jamo pin not a jamo", {"--start", start, "--pin-jamo=q", sample}, 2, "'q' is no jamo"},
      {"jamo pin the layout lacks",
       {"--start", "tiny.txt", "--pin-jamo=ㅏ", sample},
       2,
       "has no key for 'ㅏ'"},
      {"jamo pins cover every jamo",
       {"--start", "tiny.txt", "--pin-jamo=ㄱ,ㄴ", sample},
       2,
       "--pin and --pin-jamo leave no key to move"},
      {"unknown option", {"--start", start, "--colour", sample}, 2, "unknown option"},
      {"no board", {"--start", start, "--board=", sample}, 2, "--board needs a board"},
      {"board missing", {"--start", start, "--board=gone.board", sample}, 2, "--board: gone"},
      {"board lacks a key",
       {"--start", "tiny.txt", "--board=nos.board", sample},
       2,
       "--board: nos.board: no key 's', which layout tiny.txt types"},
      {"board effort beyond the objective",
       {"--start", "tiny.txt", "--board=heavy.board", sample},
       2,
       "efforts up to 100"},
      {"output is a directory",
       {"--start", start, "--output=folder.txt", sample},
       1,
       "cannot write folder.txt: it is a directory"},
      {"weight overflows",
       {"--start", start, "--weights=keystrokes=1e308", sample},
       2,
       "overflows"},
      {"sample is a directory", {"--start", start, "folder.txt"}, 1, "is a directory"},
      {"unwritable output",
       {"--start", start, "--output=folder.txt/x/best.txt", sample},
       1,
       "cannot write folder.txt/x/best.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), {"--iterations=200", "--restarts=2"});
    const Outcome outcome = optimize(directory, arguments);
    EXPECT_EQ(outcome.exitStatus, c.status);
    EXPECT_NE(outcome.errors.find(c.message), std::string::npos) << outcome.errors;
    EXPECT_EQ(outcome.errors.find('\n'), outcome.errors.size() - 1) << outcome.errors;
    EXPECT_TRUE(outcome.output.empty()) << outcome.output;
  }
}

TEST(OptimizeCommand, HelpGoesToStandardOutput) {
  const TempDirectory directory;
  const Outcome outcome = optimize(directory, {"--help"});
  EXPECT_EQ(outcome.exitStatus, 0);
  for (std::string_view name : kObjectiveTermNames) {
    EXPECT_NE(outcome.output.find(std::string(name) + "="), std::string::npos) << name;
  }
  EXPECT_TRUE(outcome.errors.empty());
}

// The written layout reads back, its full evaluation gives the score its
// comment records, and the result is the same on one thread or three.
TEST(OptimizeCommand, WrittenLayoutScoresWhatTheRunReported) {
  const TempDirectory directory;
  const std::string start = kExamples + "/keyboard/2-standard.txt";
  const std::string sample = kExamples + "/sample.txt";
  std::vector<std::string> arguments = {"--start",      start,       "--iterations=3000",
                                        "--restarts=3", "--seed=11", "--quiet"};
  std::vector<std::string> one = arguments;
  one.insert(one.end(), {"--jobs=1", "--output=one.txt", sample});
  std::vector<std::string> three = arguments;
  three.insert(three.end(), {"--jobs=3", "--output=three.txt", sample});
  const Outcome first = optimize(directory, one);
  const Outcome second = optimize(directory, three);
  ASSERT_EQ(first.exitStatus, 0) << first.errors;
  ASSERT_EQ(second.exitStatus, 0) << second.errors;
  EXPECT_EQ(first.output, second.output);
  std::string written;
  {
    std::ifstream in(directory / "one.txt", std::ios::binary);
    written.assign(std::istreambuf_iterator<char>(in), {});
    std::ifstream other(directory / "three.txt", std::ios::binary);
    EXPECT_EQ(written, std::string(std::istreambuf_iterator<char>(other), {}));
  }
  // The last stderr line counts the candidates.
  EXPECT_NE(first.errors.find(" candidates in "), std::string::npos);

  LayoutRecord best;
  best.fileName = "one.txt";
  std::string error;
  ASSERT_TRUE(readLayoutFile(directory / "one.txt", best, error));
  EXPECT_EQ(best.setType, 2);
  ExactEvaluation exact;
  ASSERT_TRUE(evaluateExactly(sample, SampleEncoding::johab, {&best}, exact, error, &ansiBoard()));
  const double score =
      objectiveScore(exactObjectiveCounts(exact.layouts[0], exact.text), kDefaultWeights);
  char recorded[64];
  std::snprintf(recorded, sizeof recorded, "// score %.6f (start ", score);
  EXPECT_NE(written.find(recorded), std::string::npos) << written.substr(0, 400);
}

// On another board the fingers and rows are the board's (the report says
// "board" for the fingering), no key the board lacks receives a jamo, and the
// written layout typed in full on that board scores what the file records.
TEST(OptimizeCommand, BoardGivesFingersAndStrokeFigures) {
  const TempDirectory directory;
  const std::string sample = kExamples + "/sample.txt";
  for (const char* name : {"ortho", "split"}) {
    SCOPED_TRACE(name);
    const Outcome outcome =
        optimize(directory, {"--start=" + kExamples + "/keyboard/2-standard.txt",
                             "--iterations=3000", "--restarts=2", "--quiet",
                             std::string("--board=") + name, "--output=best.txt", sample});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    EXPECT_NE(outcome.output.find("(2 Sets, board Fingering)"), std::string::npos);
    EXPECT_NE(outcome.output.find(std::string("Board: ") + name + " ("), std::string::npos);
    EXPECT_NE(outcome.output.find("same-finger-distance"), std::string::npos);
    Board board;
    std::string error;
    ASSERT_TRUE(loadBoard(name, board, error)) << error;
    LayoutRecord best;
    best.fileName = "best.txt";
    ASSERT_TRUE(readLayoutFile(directory / "best.txt", best, error)) << error;
    EXPECT_LT(missingBoardKey(board, best), 0);
    ExactEvaluation exact;
    ASSERT_TRUE(evaluateExactly(sample, SampleEncoding::johab, {&best}, exact, error, &board));
    const double score =
        objectiveScore(exactObjectiveCounts(exact.layouts[0], exact.text), kDefaultWeights);
    char recorded[64];
    std::snprintf(recorded, sizeof recorded, "// score %.6f (start ", score);
    EXPECT_NE(testing::readFile(directory / "best.txt").find(recorded), std::string::npos);
  }
}

// A board without Shift keys: no jamo moves to a shifted level, nor to a key
// the board lacks (g), though --allow names them; the written layout is one
// the board types.
TEST(OptimizeCommand, NoJamoMovesWhereTheBoardHasNoKey) {
  const TempDirectory directory;
  directory.write("small.board",
                  "space 5 4 thumb thumb - 1\nenter 12 2 home R5 - 2\nr 4 1 top L2 - 1.2\n"
                  "s 2 2 home L4 - 1.3\nt 5 1 top L2 inner 1.6\n");
  directory.write("tiny.txt", "set type:2\nfingering: Pyojun\n1\t\xA4\xA1\tr\n1\t\xA4\xA4\ts\n");
  directory.write("s.txt", "\x88\x61\x90\x61 \x88\x61\n");  // 가나 가
  for (const char* seed : {"--seed=1", "--seed=2", "--seed=3"}) {
    const Outcome outcome = optimize(
        directory, {"--start=tiny.txt", "--board=small.board", "--allow=rstg", "--iterations=300",
                    "--restarts=3", "--quiet", seed, "--output=best.txt", "s.txt"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    EXPECT_NE(outcome.output.find(", 3 swaps,"), std::string::npos) << outcome.output;
    Board board;
    std::string error;
    ASSERT_TRUE(loadBoard(directory / "small.board", board, error)) << error;
    LayoutRecord best;
    best.fileName = "best.txt";
    ASSERT_TRUE(readLayoutFile(directory / "best.txt", best, error)) << error;
    EXPECT_EQ(missingBoardKey(board, best), -1);
  }
}

// The UTF-8 form of a sample is searched exactly like the Johab one: the
// same layout comes out with the same score.
TEST(OptimizeCommand, Utf8SampleGivesTheSameLayout) {
  const TempDirectory directory;
  std::vector<std::string> arguments = {"--start=" + kExamples + "/keyboard/2-standard.txt",
                                        "--iterations=2000", "--restarts=2", "--quiet"};
  std::vector<std::string> johab = arguments, utf8 = arguments;
  johab.insert(johab.end(), {"--output=johab.txt", kExamples + "/sample.txt"});
  utf8.insert(utf8.end(),
              {"--sample-encoding=utf-8", "--output=utf8.txt", kExamples + "/sample.utf8.txt"});
  ASSERT_EQ(optimize(directory, johab).exitStatus, 0);
  ASSERT_EQ(optimize(directory, utf8).exitStatus, 0);
  auto layoutLines = [&directory](const char* name) {
    std::ifstream in(directory / name, std::ios::binary);
    std::string lines;
    for (std::string line; std::getline(in, line);) {
      // The score line ends with the sample's path, which differs.
      if (line.starts_with("// score")) line = line.substr(0, line.find(" on "));
      if (!line.starts_with("//") || line.starts_with("// score")) lines += line + "\n";
    }
    return lines;
  };
  const std::string fromJohab = layoutLines("johab.txt");
  EXPECT_NE(fromJohab.find("// score"), std::string::npos);
  EXPECT_EQ(fromJohab, layoutLines("utf8.txt"));
}

// Without --output, standard output is the layout file itself, the report
// following as comments.
TEST(OptimizeCommand, StandardOutputIsALayoutFile) {
  const TempDirectory directory;
  const Outcome outcome =
      optimize(directory, {"--start", kExamples + "/keyboard/3-390.txt", "--iterations=500",
                           "--restarts=1", "--quiet", kExamples + "/sample.txt"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  LayoutRecord fromOutput;
  applyLayoutText(outcome.output, fromOutput);
  EXPECT_EQ(fromOutput.setType, 3);
  EXPECT_EQ(fromOutput.fingering, "Gong3");
  std::size_t lines = 0, commentLines = 0;
  for (std::size_t begin = 0; begin < outcome.output.size();) {
    const std::size_t end = outcome.output.find('\n', begin);
    const std::string line = outcome.output.substr(begin, end - begin);
    ++lines;
    commentLines += line.starts_with("//");
    EXPECT_LT(line.size(), 299u);
    begin = end + 1;
  }
  EXPECT_GT(commentLines, 20u);  // the report came along
  EXPECT_GT(lines - commentLines, 100u);
}

// --time bounds the whole run, however many restarts and threads are asked
// for: the restarts that do not fit are not run, and the report says so. The
// bound has a wide margin (a loaded machine), so it is no benchmark.
TEST(OptimizeCommand, TimeBoundsTheWholeRun) {
  const TempDirectory directory;
  const std::string start = kExamples + "/keyboard/3-390.txt";
  const std::string sample = kExamples + "/sample.txt";
  struct Case {
    const char* restarts;
    const char* jobs;
  };
  for (const Case& c : {Case{"1", "2"}, Case{"100000", "2"}, Case{"100000", "1"}}) {
    SCOPED_TRACE(std::string(c.restarts) + " restarts, " + c.jobs + " jobs");
    const auto began = std::chrono::steady_clock::now();
    const Outcome outcome =
        optimize(directory, {"--start", start, "--time=1", "--quiet", "--restarts", c.restarts,
                             "--jobs", c.jobs, "--output=best.txt", sample});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.errors;
    EXPECT_LT(seconds, 3.0);
    if (std::string(c.restarts) != "1") {
      EXPECT_NE(outcome.output.find("Time was up after"), std::string::npos) << outcome.output;
    }
  }
}

// A sample read as Johab that is plainly UTF-8 gets a warning, as kbeval gives.
TEST(OptimizeCommand, Utf8SampleReadAsJohabIsWarnedAbout) {
  const TempDirectory directory;
  const std::string start = kExamples + "/keyboard/2-standard.txt";
  // Korean UTF-8 text and a Johab line the start layout types.
  directory.write("mixed.txt", "\xED\x95\x9C\xEA\xB8\x80\n");
  const Outcome outcome =
      optimize(directory, {"--start", start, "--iterations=100", "--restarts=1", "--quiet",
                           "--output=best.txt", kExamples + "/sample.txt", "--validate=mixed.txt"});
  EXPECT_NE(outcome.errors.find("mixed.txt looks like UTF-8 text, but is read as Johab"),
            std::string::npos)
      << outcome.errors;
}

// Layouts that tie on the score are written as the one nearest the start,
// so runs with other thread and restart counts that reach the same best score
// write the same layout (the comments, which name the run, aside).
TEST(OptimizeCommand, TiesAreWrittenAsTheLayoutNearestTheStart) {
  const TempDirectory directory;
  const std::string start = kExamples + "/keyboard/2-standard.txt";
  auto layoutLines = [&directory](const std::string& name) {
    const std::string text = testing::readFile(directory.path() / name);
    std::string lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
      const std::size_t end = std::min(text.find('\n', begin), text.size());
      if (text.compare(begin, 2, "//") != 0) lines += text.substr(begin, end - begin) + "\n";
      begin = end + 1;
    }
    return lines;
  };
  std::vector<std::string> layouts, bestLines;
  for (const auto& [restarts, jobs] : {std::pair{"20", "1"}, std::pair{"40", "2"}}) {
    const std::string name = std::string("best-") + restarts + ".txt";
    const Outcome outcome =
        optimize(directory, {"--start", start, "--quiet", "--restarts", restarts, "--jobs", jobs,
                             "--output", name, kExamples + "/sample.txt"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const std::size_t best = outcome.output.find("\nbest-1 ");
    ASSERT_NE(best, std::string::npos);
    bestLines.push_back(outcome.output.substr(best, 60));
    layouts.push_back(layoutLines(name));
  }
  // Regression guard: both runs reach the same best score on the shipped sample.
  ASSERT_EQ(bestLines[0], bestLines[1]);
  EXPECT_EQ(layouts[0], layouts[1]);
}

// Several texts: the report shows each text tuned on with its weight, and
// the held-out one; the run checks each text's full evaluation against the
// search's counts (a mismatch would fail the run).
TEST(OptimizeCommand, SeveralTextsAreReportedEach) {
  const TempDirectory directory;
  const std::string sample = kExamples + "/sample.txt";
  directory.write("copy.txt", testing::readFile(sample));
  const Outcome outcome =
      optimize(directory, {"--start", kExamples + "/keyboard/3-390.txt", "--iterations=2000",
                           "--restarts=2", "--quiet", "--output=best.txt", "--sample=copy.txt:3",
                           "--validate", sample, sample});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  EXPECT_NE(outcome.output.find("On " + sample + " (weight 1, "), std::string::npos);
  EXPECT_NE(outcome.output.find("On copy.txt (weight 3, "), std::string::npos);
  EXPECT_NE(outcome.output.find(", held out, evaluated in full"), std::string::npos);
  EXPECT_NE(outcome.output.find("Score: the weighted mean of the texts' scores:"),
            std::string::npos)
      << outcome.output;
}

// Reads what the program behind `terminal` writes until `until` shows in it
// (or, with "", until the program closes its end); false after `seconds`
// without it.
bool readTerminal(int terminal, std::string& text, const std::string& until, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (until.empty() || text.find(until) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fd{terminal, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return until.empty();  // EIO: the program's side is closed
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

// Runs kbeval-optimize on a terminal, so that it shows its progress, from
// `directory` with a search far too long to end by itself (a hundred thousand
// restarts). Once the first "restart 1" line proves the search is under way,
// `meanwhile` runs and Ctrl-C goes. Fills what the terminal showed and the
// exit status; false when the run never started or never ended.
bool interruptMidSearch(const TempDirectory& directory, const std::string& sample,
                        const std::function<void()>& meanwhile, std::string& shown,
                        int& exitStatus) {
  const std::vector<std::string> arguments = {KBEVAL_OPTIMIZE_BINARY,
                                              "--start",
                                              kExamples + "/keyboard/2-standard.txt",
                                              "--iterations=2000",
                                              "--restarts=100000",
                                              "--jobs=2",
                                              "--output=best.txt",
                                              sample};
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // A SIGINT the test process ignores would stay ignored in the program.
  struct sigaction defaults {
  }, old{};
  defaults.sa_handler = SIG_DFL;
  if (sigaction(SIGINT, &defaults, &old) != 0) return false;
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (::chdir(directory.path().c_str()) != 0) _exit(127);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  sigaction(SIGINT, &old, nullptr);
  if (child < 0) return false;
  const bool started = readTerminal(terminal, shown, "restart 1 of 100000", 60);
  if (started) {
    meanwhile();
    ::kill(child, SIGINT);
  }
  const bool ended = readTerminal(terminal, shown, "", 60);
  if (!started || !ended) ::kill(child, SIGKILL);
  ::close(terminal);
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return started && ended;
}

// Ctrl-C during the search: the run stops early, writes the best layout so
// far through its temporary file, says so and exits with 130.
TEST(OptimizeCommand, InterruptWritesTheBestLayoutSoFar) {
  const TempDirectory directory;
  const std::string sample = kExamples + "/sample.txt";
  std::string shown;
  int exitStatus = -1;
  ASSERT_TRUE(interruptMidSearch(
      directory, sample, [] {}, shown, exitStatus))
      << shown;
  EXPECT_EQ(exitStatus, 130) << shown;
  EXPECT_NE(shown.find("kbeval-optimize: interrupted: wrote the best layout found so far to "
                       "best.txt"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("Interrupted after "), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Time was up"), std::string::npos) << shown;
  EXPECT_EQ(testing::filesIn(directory), std::vector<std::string>{"best.txt"});

  // The written layout reads back and scores, evaluated in full, what its
  // comment records.
  LayoutRecord best;
  best.fileName = "best.txt";
  std::string error;
  ASSERT_TRUE(readLayoutFile(directory / "best.txt", best, error)) << error;
  EXPECT_EQ(best.setType, 2);
  ExactEvaluation exact;
  ASSERT_TRUE(evaluateExactly(sample, SampleEncoding::johab, {&best}, exact, error, &ansiBoard()))
      << error;
  const double score =
      objectiveScore(exactObjectiveCounts(exact.layouts[0], exact.text), kDefaultWeights);
  char recorded[64];
  std::snprintf(recorded, sizeof recorded, "// score %.6f (start ", score);
  EXPECT_NE(testing::readFile(directory / "best.txt").find(recorded), std::string::npos);
}

// A sample changed during the search: the full evaluation would count
// another text than the search did, so the run says so in one line, exits
// with 1 and writes nothing, instead of reporting figures of two texts.
TEST(OptimizeCommand, SampleChangedDuringTheSearchWritesNothing) {
  const TempDirectory directory;
  directory.write("s.txt", testing::readFile(kExamples + "/sample.txt"));
  std::string shown;
  int exitStatus = -1;
  const auto touch = [&directory] {
    const timespec times[2] = {{1, 0}, {1, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (directory / "s.txt").c_str(), times, 0), 0);
  };
  ASSERT_TRUE(interruptMidSearch(directory, "s.txt", touch, shown, exitStatus)) << shown;
  EXPECT_EQ(exitStatus, 1) << shown;
  EXPECT_NE(shown.find("kbeval-optimize: sample s.txt changed since the search read it; "
                       "nothing written\r\n"),
            std::string::npos)
      << shown;
  EXPECT_EQ(testing::filesIn(directory), std::vector<std::string>{"s.txt"});
}

// Every text is read more than once, so a pipe is refused before the search
// with one line, rather than searched on one text and evaluated on none.
TEST(OptimizeCommand, PipedSampleIsRefusedAtOnce) {
  const TempDirectory directory;
  ASSERT_EQ(::mkfifo((directory / "fifo").c_str(), 0600), 0);
  const Outcome piped =
      optimize(directory, {"--start", kExamples + "/keyboard/2-standard.txt", "fifo"});
  EXPECT_EQ(piped.exitStatus, 1);
  EXPECT_EQ(piped.errors,
            "kbeval-optimize: cannot read fifo: not a regular file (it is read more than once; "
            "save it to a file first)\n");
}

}  // namespace
}  // namespace kbeval
