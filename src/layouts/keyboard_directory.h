// The listing of "keyboard/*.txt": every entry whose name ends in ".txt".
#pragma once

#include <string>
#include <vector>

namespace kbeval {

enum class ListingStatus { ok, noMatch, outOfMemory, invalidPattern, otherError };

struct Listing {
  ListingStatus status = ListingStatus::ok;
  std::vector<std::string> names;  // byte-wise ascending, so every file system agrees
};

// Lists the entries of `directory` (of any kind, hidden ones included) whose
// name ends in ".txt". A missing directory, a non-directory and an empty match
// give noMatch; a permission or other error gives otherError.
Listing listLayoutFiles(const std::string& directory);

// The one-line message for a failed listing, or nullptr for ok.
const char* listingMessage(ListingStatus status);

}  // namespace kbeval
