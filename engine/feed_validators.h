// The validators ("ETag", "Last-Modified") of each channel's last good feed
// download, so the next refresh can ask the server whether the feed changed.
// All channels share one file in the channel folder, "Channels.http", a line
// per channel: number, feed address, ETag and Last-Modified, tab-separated.
// A refresh loads the table when it starts, changes it in memory and saves it
// once at its end, so a cold refresh creates one file for them, not one per
// channel. An entry counts only for the address it was stored with. Data
// roots of earlier versions keep them per channel in "Ch%03d.http"; such a
// file is read while the table has no entry and removed once it has.
// Safe for concurrent use.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "net/transfer.h"
#include "platform/atomic_file.h"

namespace wrenly {

// The table's file name in the channel folder.
inline constexpr char kFeedValidatorsFile[] = "Channels.http";

class FeedValidatorTable {
 public:
  // Reads the table of `channelFolder`; a missing or unreadable file is an
  // empty table. Values holding control characters are dropped, so a damaged
  // file never puts a line break into a request.
  explicit FeedValidatorTable(std::string channelFolder);

  // The validators stored for the channel's feed at `url`; empty ones when
  // none are, or when they were stored for another address.
  HttpValidators Get(int channel, std::string_view url);

  // Remembers the validators of the channel's last good download; empty ones
  // forget the entry. Nothing is written before Save.
  void Set(int channel, std::string_view url, const HttpValidators& validators);

  // Applies the changes made through Set to the file as it is on disk now
  // (another process may have saved its own meanwhile) and replaces it
  // atomically; then removes the per-channel files it took over. The caller
  // holds the data root's exclusive lock. False when the file could not be
  // replaced: it then holds what it held before.
  bool Save(Flush flush = Flush::kFileAndFolder);

 private:
  struct Entry {
    std::string url;
    HttpValidators validators;
  };
  using Entries = std::map<int, Entry>;

  static Entries Load(const std::string& path);
  std::string ChannelFilePath(int channel) const;

  const std::string folder_;
  std::mutex mutex_;
  Entries entries_;
  std::map<int, std::optional<Entry>> changes_;
  std::map<int, Entry> takenOver_;  // entries read from per-channel files
};

}  // namespace wrenly
