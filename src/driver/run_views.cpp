#include "driver/run_views.h"

#include <algorithm>

namespace kbeval {

namespace {

std::string cannotWrite(const std::string& path, const std::string& why) {
  std::string error = "cannot write the JSON file '";
  return error.append(path).append("': ").append(why);
}

const char* sampleEncodingName(SampleEncoding encoding) {
  return encoding == SampleEncoding::utf8 ? "utf-8" : "johab";
}

}  // namespace

bool startRunViews(const RunOptions& options, long long sampleBytes, std::FILE* out,
                   RunViews& views, std::string& error) {
  views.compare = options.compare;
  views.encoding = options.outputEncoding;
  views.json = !options.jsonPath.empty();
  if (!views.json) return true;
  views.jsonPath = options.jsonPath;
  views.sample = {options.samplePath, sampleBytes, sampleEncodingName(options.sampleEncoding)};
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
  f.keyUse = keyUse(keys, pairCounts);
  f.worstPairs = worstPairs(keys, pairCounts, kWorstPairsKept);
  return f;
}

void addPassToRunViews(RunViews& views, const SampleAnalysis& analysis) {
  if (!views.compare && !views.json) return;
  if (views.json && !views.jsonStarted) {
    // Every pass reads the whole sample: the text counts of the first one serve.
    std::fputs(jsonHead(views.sample, analysis.textCounts, *analysis.combinations).c_str(),
               views.jsonStream);
    views.jsonStarted = true;
  }
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    LayoutFindings f = layoutFindings(analysis, i);
    if (views.json) {
      std::fputs(jsonLayout(f, views.firstJsonLayout).c_str(), views.jsonStream);
      views.firstJsonLayout = false;
    }
    if (views.compare) {
      const LayoutRecord& layout = *f.layout;
      const std::string name = displayName(layout.fileName);
      views.rows.push_back({name, layout.setType, layout.fingering, f.figures});
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
  if (views.compare && !views.jsonToStandardOutput) {
    std::fputc('\n', out);
    printComparisonTable(views.rows, out);
    printWorstPairs(views.pairs, kComparedPairs, views.encoding, out);
  }
  if (!views.json) return true;
  std::fputs(jsonTail().c_str(), views.jsonStream);
  if (views.jsonToStandardOutput) return true;  // checked with the rest of standard output
  std::string why;
  if (!commitOutputFile(views.jsonFile, why)) {
    error = cannotWrite(views.jsonPath, why);
    return false;
  }
  return true;
}

}  // namespace kbeval
