// Names of a channel's files in the ChannelData folder ("Ch%03d" and a fixed
// ending), the paths derived from one another (feed document -> item file ->
// URL index -> full-text and picture files), and the deletion of a channel's
// files. Safe for concurrent use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenly {

// "Ch%03d" + suffix, e.g. ChannelFileName(100, ".bin") == "Ch100.bin".
std::string ChannelFileName(int channel, std::string_view suffix);

// The feed document's "~.xml" (or else ".xml") replaced by ".bin" / ".iid";
// for a download's temporary file, those of the document it will become.
std::string ItemFilePathForFeed(const std::string& feedPath);
std::string UrlIndexPathForFeed(const std::string& feedPath);

// The item file's ".bin" replaced by ".iid".
std::string UrlIndexPathFor(const std::string& itemFilePath);

// The item file's ".bin" replaced by "-%08u-%03u" + extension (".htm" for a
// full text, ".img" for a picture), numbered by a URL-index record's stamp
// and sequence.
std::string StampedFilePath(const std::string& itemFilePath, uint32_t stamp, uint32_t sequence,
                            std::string_view extension);

// Whether a file name is one of channel N's files. Exact: channel 100 does
// not own "Ch1000.bin".
bool IsChannelFile(std::string_view name, int channel);

// Deletes every file of channel N in the folder. Returns how many were deleted.
int DeleteChannelFiles(const std::string& channelDataFolder, int channel);

// Deletes channel N's files except its template, site icon and logo: both
// feed documents, the item file, the URL index, full texts and pictures.
int DeleteChannelItems(const std::string& channelDataFolder, int channel);

}  // namespace wrenly
