// Built instead of json_report.cpp when no JSON library was found: the
// command line refuses --json, so nothing here is ever written.
#include "views/json_report.h"

namespace kbeval {

bool jsonAvailable() {
  return false;
}

std::string jsonHead(const JsonSample&, const TextCounts&, const CombinationCounts&) {
  return {};
}

std::string jsonLayout(const LayoutFindings&, bool) {
  return {};
}

std::string jsonTail(std::span<const ComparisonRow>, std::size_t) {
  return {};
}

}  // namespace kbeval
