#include "store/channel_files.h"

#include <cstdio>

#include "platform/temp_files.h"
#include "store/paths.h"

namespace wrenly {
namespace {

std::string ReplaceEnding(const std::string& path, std::string_view ending,
                          std::string_view replacement) {
  const size_t at = path.rfind(ending);
  if (at == std::string::npos) return path + std::string(replacement);
  return path.substr(0, at) + std::string(replacement) + path.substr(at + ending.size());
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "-<stamp>-<sequence>.htm" or ".img".
bool IsStampedEnding(std::string_view rest) {
  if (rest.size() < 4 || rest[0] != '-') return false;
  const std::string_view extension = rest.substr(rest.size() - 4);
  if (extension != ".htm" && extension != ".img") return false;
  const std::string_view numbers = rest.substr(1, rest.size() - 5);
  const size_t dash = numbers.find('-');
  return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) &&
         AllDigits(numbers.substr(dash + 1));
}

bool IsKeptWithItemsDeleted(std::string_view name) {
  return name.find(".tpl") != std::string_view::npos ||
         name.find("-Fav.ico") != std::string_view::npos ||
         name.find("-Logo.img") != std::string_view::npos;
}

// The channel's files, and the temporary files of its files that no live
// process of ours is still writing.
template <typename Keep>
int DeleteMatching(const std::string& folder, int channel, Keep keep) {
  int deleted = 0;
  for (const FoundFile& entry : FindFiles(folder)) {
    if (entry.isFolder || !IsChannelFile(entry.name, channel) || keep(entry.name)) continue;
    if (std::remove((folder + "/" + entry.name).c_str()) == 0) ++deleted;
  }
  return deleted + RemoveStaleTempFiles(folder, [&](std::string_view target) {
           return IsChannelFile(target, channel) && !keep(target);
         });
}

}  // namespace

std::string ChannelFileName(int channel, std::string_view suffix) {
  char number[32];
  std::snprintf(number, sizeof number, "Ch%03d", channel);
  return number + std::string(suffix);
}

std::string ItemFilePathForFeed(const std::string& path) {
  // A download's temporary file names the feed document it will become.
  const std::optional<TempFileName> temp = ParseTempFileName(path);
  const std::string feedPath = temp ? std::string(temp->target) : path;
  if (feedPath.ends_with("~.xml")) return ReplaceEnding(feedPath, "~.xml", ".bin");
  return ReplaceEnding(feedPath, ".xml", ".bin");
}

std::string UrlIndexPathForFeed(const std::string& feedPath) {
  return UrlIndexPathFor(ItemFilePathForFeed(feedPath));
}

std::string UrlIndexPathFor(const std::string& itemFilePath) {
  return ReplaceEnding(itemFilePath, ".bin", ".iid");
}

std::string StampedFilePath(const std::string& itemFilePath, uint32_t stamp, uint32_t sequence,
                            std::string_view extension) {
  char numbers[40];
  std::snprintf(numbers, sizeof numbers, "-%08u-%03u", stamp, sequence);
  return ReplaceEnding(itemFilePath, ".bin", numbers + std::string(extension));
}

bool IsChannelFile(std::string_view name, int channel) {
  const std::string prefix = ChannelFileName(channel, "");
  if (!name.starts_with(prefix)) return false;
  const std::string_view rest = name.substr(prefix.size());
  for (std::string_view fixed :
       {".xml", "~.xml", ".bin", ".iid", ".http", "-Logo.img", "-Fav.ico", ".tpl", ".bin.new", ".iid.new",
        ".http.new", ".six"}) {
    if (rest == fixed) return true;
  }
  return IsStampedEnding(rest);
}

int DeleteChannelFiles(const std::string& channelDataFolder, int channel) {
  return DeleteMatching(channelDataFolder, channel, [](std::string_view) { return false; });
}

int DeleteChannelItems(const std::string& channelDataFolder, int channel) {
  return DeleteMatching(channelDataFolder, channel, IsKeptWithItemsDeleted);
}

}  // namespace wrenly
