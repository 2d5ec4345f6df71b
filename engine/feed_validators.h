// The validators ("ETag", "Last-Modified") of a channel's last good feed
// download, kept beside its files as Ch%03d.http so the next refresh can ask
// the server whether the feed changed. Two lines, "ETag: <value>" and
// "Last-Modified: <value>", each present only when the server sent it.
// Safe for concurrent use on different channels.
#pragma once

#include <string>

#include "net/transfer.h"
#include "platform/atomic_file.h"

namespace wrenly {

// The stored validators; empty ones when the file is missing or unreadable.
// Values holding control characters are dropped, so a damaged file never
// puts a line break into a request.
HttpValidators ReadFeedValidators(const std::string& path);

// Replaces the file atomically (WriteFileAtomically, flushed to disk with
// its folder unless the caller flushes later); with both values empty the
// file is removed. False when the file could not be replaced: it then holds
// the old validators, or the new ones when only the flush failed.
bool WriteFeedValidators(const std::string& path, const HttpValidators& validators,
                         Flush flush = Flush::kFileAndFolder);

}  // namespace wrenly
