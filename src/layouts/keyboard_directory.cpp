#include "layouts/keyboard_directory.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace kbeval {

namespace {

bool endsWithTxt(const char* name) {
  const std::size_t length = std::strlen(name);
  return length >= 4 && std::memcmp(name + length - 4, ".txt", 4) == 0;
}

ListingStatus statusOfError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ListingStatus::noMatch;
    case ENOMEM:
    case ENAMETOOLONG:
      return ListingStatus::outOfMemory;
    case EINVAL:
      return ListingStatus::invalidPattern;
    default:
      return ListingStatus::otherError;
  }
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

Listing listLayoutFiles(const std::string& directory) {
  Listing listing;
  std::unique_ptr<DIR, DirectoryCloser> handle(opendir(directory.c_str()));
  if (!handle) {
    listing.status = statusOfError(errno);
    return listing;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(handle.get());
    if (entry == nullptr) {
      if (errno != 0) {
        listing.status = statusOfError(errno);
        listing.names.clear();
        return listing;
      }
      break;
    }
    if (endsWithTxt(entry->d_name)) listing.names.emplace_back(entry->d_name);
  }
  if (listing.names.empty()) {
    listing.status = ListingStatus::noMatch;
    return listing;
  }
  std::sort(listing.names.begin(), listing.names.end());  // std::string compares bytes unsigned
  return listing;
}

const char* listingMessage(ListingStatus status) {
  switch (status) {
    case ListingStatus::ok:
      return nullptr;
    case ListingStatus::noMatch:
      return "No keyboard layout file.\n";
    case ListingStatus::outOfMemory:
      return "Not enough memory or keyboard layout file name too long.\n";
    case ListingStatus::invalidPattern:
      return "Invalid path of keyboard layout file.\n";
    case ListingStatus::otherError:
      break;
  }
  return "Unknown error.\n";
}

}  // namespace kbeval
