// An exclusive flock on a folder, for files that are replaced by a rename
// (their own lock would not outlive the first write): every writer of such a
// file, in any process or thread, takes it on the file's folder for its
// read-modify-write. Without it (a folder that cannot be opened) the write
// goes on unordered, as it would on a file system without flock.
#pragma once

#include <string>

namespace wrenly {

class FolderLock {
 public:
  // Blocks until the lock is held. Never nest two on one folder in a thread:
  // each has its own open file description, so the second would wait forever.
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace wrenly
