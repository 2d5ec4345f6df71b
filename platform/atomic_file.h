// Whole-file replacement that never leaves a half-written file behind: the
// bytes go to a temporary file in the same folder, are flushed to disk, and
// the temporary file is renamed over the target. Safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// True when path now holds exactly bytes. On failure the old file (if any)
// is unchanged and the temporary file is removed; error receives a short
// reason when given.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

}  // namespace wrenly
