// One mutex per file path within the process: appends to and in-place
// updates of one record file (the refresh and a full-text job may write the
// same URL index at once) take it, so their writes never interleave.
// Safe for concurrent use.
#pragma once

#include <mutex>
#include <string>

namespace wrenly {

// Locks the mutex of this path (spelled the same after lexical
// normalisation) until the returned lock goes out of scope.
std::unique_lock<std::mutex> LockFilePath(const std::string& path);

}  // namespace wrenly
