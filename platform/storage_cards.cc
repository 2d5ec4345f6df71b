#include "platform/storage_cards.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace wrenly {
namespace {

std::vector<std::string> SplitFolders(std::string_view list) {
  std::vector<std::string> folders;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find(':'), list.size());
    if (end > 0) folders.emplace_back(list.substr(0, end));
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return folders;
}

// A mount point lies on another device than its parent folder.
bool IsMountPoint(const std::filesystem::path& path) {
  struct stat self{}, parent{};
  return stat(path.c_str(), &self) == 0 && stat(path.parent_path().c_str(), &parent) == 0 &&
         self.st_dev != parent.st_dev;
}

}  // namespace

std::vector<StorageCard> EnumerateStorageCards() {
  const char* override = std::getenv("WRENLY_CARD_FOLDERS");
  std::vector<std::string> folders;
  if (override != nullptr) {
    folders = SplitFolders(override);
  } else {
    const char* user = std::getenv("USER");
    const std::string name = user != nullptr ? user : "";
    folders = {"/media/" + name, "/run/media/" + name};
  }
  std::vector<StorageCard> cards;
  for (const std::string& folder : folders) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      if (!entry.is_directory(ec)) continue;
      if (override == nullptr && !IsMountPoint(entry.path())) continue;
      StorageCard card;
      card.path = entry.path().string();
      struct statvfs fs{};
      if (statvfs(card.path.c_str(), &fs) == 0) {
        card.totalBytes = static_cast<std::uint64_t>(fs.f_blocks) * fs.f_frsize;
        card.freeBytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
        card.spaceKnown = true;
      }
      cards.push_back(std::move(card));
    }
  }
  std::sort(cards.begin(), cards.end(), [](const StorageCard& a, const StorageCard& b) { return a.path < b.path; });
  return cards;
}

}  // namespace wrenly
