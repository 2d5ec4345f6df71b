// The validators ("ETag", "Last-Modified") of a channel's last good feed
// download, kept beside its files as Ch%03d.http so the next refresh can ask
// the server whether the feed changed. Two lines, "ETag: <value>" and
// "Last-Modified: <value>", each present only when the server sent it.
// Safe for concurrent use on different channels.
#pragma once

#include <string>

#include "net/transfer.h"

namespace wrenly {

// The stored validators; empty ones when the file is missing or unreadable.
// Values holding control characters are dropped, so a damaged file never
// puts a line break into a request.
HttpValidators ReadFeedValidators(const std::string& path);

// Replaces the file atomically; with both values empty the file is removed.
// False when the file could not be written (the old one then stays).
bool WriteFeedValidators(const std::string& path, const HttpValidators& validators);

}  // namespace wrenly
