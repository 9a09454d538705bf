#include "layouts/layout_record.h"

namespace kbeval {

std::string displayName(const std::string& fileName) {
  const std::size_t begin = fileName.find_first_not_of('.');
  if (begin == std::string::npos) return {};
  const std::size_t end = fileName.find('.', begin);
  return fileName.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace kbeval
