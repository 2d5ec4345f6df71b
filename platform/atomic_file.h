// Whole-file replacement that never leaves a half-written file behind: the
// bytes go to a temporary file in the same folder ("<name>.tmp-<pid>-<n>"),
// which is renamed over the target. Safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// How far a replacement waits for the disk.
enum class Flush {
  // The temporary file is flushed before the rename and the folder after it,
  // so a power cut leaves the old file or the new one, and once the call has
  // returned true, the new one.
  kFileAndFolder,
  // Renamed without waiting: a killed process still leaves old or new, but a
  // power cut may lose the new version (or leave the file empty). For files
  // that are cheap to lose; a caller writing many flushes their folder once
  // afterwards (SyncFolder), which keeps the renames.
  kNone,
};

// True when path now holds exactly bytes. On failure the file holds its old
// bytes, or the new ones when only the flush of the folder failed, and the
// temporary file is removed; error receives a short reason when given.
// The file is created with `permissions` less the umask (0600 keeps it
// private from the first byte on: the temporary file never has wider ones).
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr,
                         Flush flush = Flush::kFileAndFolder, unsigned permissions = 0666);

}  // namespace wrenly
