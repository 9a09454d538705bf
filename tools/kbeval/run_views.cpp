#include "run_views.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "shell/long_options.h"

namespace kbeval {

namespace {

std::string cannotWrite(const std::string& path, const std::string& why,
                        const char* what = "JSON file") {
  std::string error = "cannot write the ";
  return error.append(what).append(" ").append(quoted(path)).append(": ").append(why);
}

// "2026-12-07 19:56 UTC": now, or SOURCE_DATE_EPOCH when it is set, so that
// a report can be made again byte for byte.
std::string runDate() {
  std::time_t when = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != 0) {
    char* end = nullptr;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (*end == 0 && seconds >= 0) when = static_cast<std::time_t>(seconds);
  }
  std::tm utc{};
  char text[64] = "";
  if (::gmtime_r(&when, &utc) != nullptr)
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
  return text;
}

bool startHtml(const RunOptions& options, RunViews& views, std::string& error) {
  views.html = true;
  views.htmlPath = options.htmlPath;
  views.htmlDate = runDate();
  std::string why;
  if (!openOutputFile(options.htmlPath, views.htmlFile, why)) {
    error = cannotWrite(options.htmlPath, why, "HTML report");
    return false;
  }
  // The sections wait in a scratch file in TMPDIR until the page's head,
  // which needs every layout, has been written.
  const int scratch = makeScratchFile(why);
  if (scratch >= 0) views.htmlSections.reset(::fdopen(scratch, "w+"));
  if (views.htmlSections == nullptr) {
    if (scratch >= 0) {
      why = std::strerror(errno);
      ::close(scratch);
    }
    error = cannotWrite(options.htmlPath, "no temporary file: " + why, "HTML report");
    return false;
  }
  return true;
}

// Writes the page: its head with the comparison, the layouts' sections kept
// so far, the text and the tail.
bool finishHtml(RunViews& views, std::string& error) {
  std::FILE* out = views.htmlFile.stream;
  HtmlSample sample{views.sample.path,
                    views.sample.bytes,
                    views.sample.encoding,
                    views.syllables,
                    views.htmlDate,
                    kbevalVersion(),
                    views.board != nullptr ? views.board->name : "",
                    views.board != nullptr ? views.board->file : ""};
  std::fputs(htmlHead(sample, views.rows, views.baselineRow).c_str(), out);
  std::fputs(htmlLoadsSection(views.rows, views.loads).c_str(), out);
  std::fputs(htmlDifferenceSection(views.rows, views.pictures, views.baselineRow).c_str(), out);
  std::FILE* sections = views.htmlSections.get();
  bool sectionsRead = std::fflush(sections) == 0 && !std::ferror(sections);
  std::rewind(sections);
  char buffer[1 << 16];
  for (std::size_t got; sectionsRead && (got = std::fread(buffer, 1, sizeof buffer, sections)) > 0;)
    std::fwrite(buffer, 1, got, out);
  sectionsRead = sectionsRead && !std::ferror(sections);
  views.htmlSections.reset();
  std::fputs(views.htmlText.c_str(), out);
  std::fputs(htmlTail().c_str(), out);
  std::string why;
  if (!sectionsRead) {
    error = cannotWrite(views.htmlPath, "its temporary file failed", "HTML report");
    return false;  // the file is discarded with views.htmlFile
  }
  if (!commitOutputFile(views.htmlFile, why)) {
    error = cannotWrite(views.htmlPath, why, "HTML report");
    return false;
  }
  return true;
}

const char* sampleEncodingName(SampleEncoding encoding) {
  return encoding == SampleEncoding::utf8 ? "utf-8" : "johab";
}

}  // namespace

bool startRunViews(const RunOptions& options, long long sampleBytes, std::FILE* out,
                   RunViews& views, std::string& error) {
  views.compare = options.compare;
  views.baseline = options.baseline;
  views.encoding = options.outputEncoding;
  views.json = !options.jsonPath.empty();
  views.sample = {options.samplePath, sampleBytes, sampleEncodingName(options.sampleEncoding)};
  if (!options.htmlPath.empty() && !startHtml(options, views, error)) return false;
  if (!views.json) return true;
  views.jsonPath = options.jsonPath;
  views.jsonToStandardOutput = options.jsonPath == "-";
  if (views.jsonToStandardOutput) {
    views.jsonStream = out;
    return true;
  }
  std::string why;
  if (!openOutputFile(options.jsonPath, views.jsonFile, why)) {
    error = cannotWrite(options.jsonPath, why);
    return false;
  }
  views.jsonStream = views.jsonFile.stream;
  return true;
}

LayoutFindings layoutFindings(const SampleAnalysis& analysis, std::size_t index) {
  LayoutFindings f;
  f.layout = analysis.evaluations[index].layout;
  f.counts = layoutKeystrokeCounts(analysis, index);
  f.untreated = layoutUntreatedCount(analysis, index);
  f.figures = comparisonFigures(f.counts, f.untreated, analysis.textCounts);
  const std::vector<Count> pairCounts = layoutKeyPairCounts(analysis, index);
  const KeyTable& keys = layoutKeyTable(analysis, index);
  f.keys = keys;
  f.keyUse = keyUse(keys, pairCounts);
  f.worstPairs = worstPairs(keys, pairCounts, kWorstPairsKept);
  f.hasStrokes = hasStrokeFigures(analysis, index);
  if (f.hasStrokes) f.strokes = layoutStrokeFigures(analysis, index);
  f.untreatedCharacters = untreatedCharacters(*f.layout, analysis.textCounts);
  return f;
}

void addPassToRunViews(RunViews& views, const SampleAnalysis& analysis) {
  if (!views.compare && !views.json && !views.html) return;
  if (views.html && views.htmlText.empty()) {
    views.syllables = analysis.textCounts.natnaeCount;
    views.htmlText = htmlTextSection(analysis.textCounts, *analysis.combinations);
  }
  if (views.json && !views.jsonStarted) {
    // Every pass reads the whole sample: the text counts of the first one serve.
    JsonSample sample = views.sample;
    if (views.board != nullptr) {
      sample.boardName = views.board->name;
      sample.boardFile = views.board->file;
    }
    std::fputs(jsonHead(sample, analysis.textCounts, *analysis.combinations).c_str(),
               views.jsonStream);
    views.jsonStarted = true;
  }
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    LayoutFindings f = layoutFindings(analysis, i);
    f.board = views.board;
    if (views.json) {
      std::fputs(jsonLayout(f, views.firstJsonLayout).c_str(), views.jsonStream);
      views.firstJsonLayout = false;
    }
    if (views.html) {
      std::fputs(htmlLayoutSection(f, views.htmlLayouts++).c_str(), views.htmlSections.get());
    }
    const LayoutRecord& layout = *f.layout;
    const std::string name = displayName(layout.fileName);
    // Every view sets the layouts against the baseline, which may come last.
    std::vector<UntreatedCharacter> untreated = f.untreatedCharacters;
    untreated.resize(std::min(untreated.size(), kUntreatedKept));
    // Off ansi the board's fingers count, whatever the file's line says.
    const bool boardFingers = views.board != nullptr && !fingeringApplies(*views.board);
    views.rows.push_back({name, layout.setType, boardFingers ? "board" : layout.fingering,
                          f.figures, f.hasStrokes, f.strokes, std::move(untreated)});
    if (views.html) {
      views.pictures.push_back(keyboardPicture(f));
      views.loads.push_back(loadShares(f.counts));
    }
    if (views.compare) {
      // Only the pairs shown are kept, so thousands of layouts stay small.
      const auto shown = [](const std::vector<KeyPairCount>& pairs) {
        return std::vector<KeyPairCount>(
            pairs.begin(),
            pairs.begin() + static_cast<std::ptrdiff_t>(std::min(pairs.size(), kComparedPairs)));
      };
      views.pairs.push_back({name,
                             &layout,
                             f.figures.keystrokes,
                             {shown(f.worstPairs.sameFinger), shown(f.worstPairs.sameKey)}});
    }
  }
}

bool finishRunViews(RunViews& views, std::FILE* out, std::string& error) {
  views.baselineRow = views.baseline.empty() ? 0 : rowNamed(views.rows, views.baseline);
  if (!views.baseline.empty() && views.baselineRow == views.rows.size()) {
    error = "--baseline=" + views.baseline + ": no layout of this name was evaluated";
    return false;  // the files are discarded with views
  }
  if (views.compare && !views.jsonToStandardOutput) {
    std::fputc('\n', out);
    printComparisonTable(views.rows, out);
    if (views.board != nullptr) printStrokeFigureTable(views.rows, views.board->name, out);
    printDifferenceTable(views.rows, views.baselineRow, out);
    printUntreatedCharacters(views.rows, kUntreatedKept, views.encoding, out);
    printWorstPairs(views.pairs, kComparedPairs, views.encoding, out);
  }
  // One file that fails does not cost the other: both are finished, and the
  // first failure is the one reported.
  const bool htmlWritten = !views.html || finishHtml(views, error);
  if (!views.json) return htmlWritten;
  std::fputs(jsonTail(views.rows, views.baselineRow).c_str(), views.jsonStream);
  if (views.jsonToStandardOutput) return htmlWritten;  // checked with the rest of standard output
  std::string why;
  if (!commitOutputFile(views.jsonFile, why)) {
    if (htmlWritten) error = cannotWrite(views.jsonPath, why);
    return false;
  }
  return htmlWritten;
}

}  // namespace kbeval
