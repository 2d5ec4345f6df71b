// The temporary files the programs write beside a target before renaming it
// into place ("<target>.part<pid>-<n>" of a download, "<target>.tmp-<pid>-<n>"
// of an atomic replacement), and the removal of the ones a killed process
// left behind. Safe for concurrent use.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace wrenly {

struct TempFileName {
  std::string_view target;  // the name the file was meant to replace
  pid_t owner = 0;          // the process that writes it
};

// The parts of a temporary file's name; nullopt for any other name.
std::optional<TempFileName> ParseTempFileName(std::string_view name);

// A new name for a download's temporary file beside target, unique among
// every name of this and any other process: "<target>.part<pid>-<n>".
std::string DownloadTempPath(const std::string& target);
// True when path's name is one DownloadTempPath of this process gave out.
bool IsOwnDownloadTempPath(std::string_view path);

// True when no process of ours can still be writing the file: its owner is
// gone, is another user's or another program's (the number was reused), or
// started after the file was last changed (reused by one of our programs).
// A process whose program cannot be told counts as ours, so a live writer's
// file is never taken.
bool IsStaleTempFile(const std::string& path, pid_t owner);

// Removes the stale temporary files in one folder (not below it) whose
// target passes `wanted` (every target when it is empty). Returns how many.
int RemoveStaleTempFiles(const std::string& folder,
                         const std::function<bool(std::string_view target)>& wanted = {});

}  // namespace wrenly
