// The storage cards: mounted volumes under /media/$USER and /run/media/$USER,
// each by its mount point, with total and free space from statvfs. The
// variable WRENLY_CARD_FOLDERS (folders separated by ":") replaces those two
// folders; every folder inside them then counts as a card, mounted or not,
// so tests can offer folders of their own. Safe for concurrent use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wrenly {

struct StorageCard {
  std::string path;
  std::uint64_t totalBytes = 0;
  std::uint64_t freeBytes = 0;
  bool spaceKnown = false;  // false when statvfs failed
};

// Every card found, sorted by path.
std::vector<StorageCard> EnumerateStorageCards();

}  // namespace wrenly
