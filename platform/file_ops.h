// The calls through which the program's writers put bytes on disk and replace
// files (open, write, fsync, rename, the flush of a folder), in one place so
// tests can make any of them fail in turn, as a full disk or a failing card
// would (FileFaults). Safe for concurrent use; faults are installed by tests
// while no writer runs.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace wrenly {

enum class FileCall { kOpen, kWrite, kFsync, kRename };

// A test's plan of failures: asked before every call of this file.
class FileFaults {
 public:
  virtual ~FileFaults() = default;
  // 0 lets the call go ahead; an errno value makes it fail with that error
  // (a write then fails without writing anything).
  virtual int Before(FileCall call) = 0;
};

// nullptr (the default) sends every call straight to the system.
void SetFileFaults(FileFaults* faults);

namespace file_ops {

int Open(const char* path, int flags, mode_t mode = 0);
ssize_t Write(int fd, const void* data, std::size_t size);
ssize_t PWrite(int fd, const void* data, std::size_t size, off_t offset);
int Fsync(int fd);
int Rename(const char* from, const char* to);

}  // namespace file_ops

// Flushes a folder's entries (a rename or a new name in it) to disk. False,
// with errno set, when the folder cannot be opened or flushed.
bool SyncFolder(const std::string& folder);
// The folder that holds path ("." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace wrenly
