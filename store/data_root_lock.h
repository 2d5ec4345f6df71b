// The data root's lock: every process and thread that changes the reader's
// data (the catalog, a channel's files) holds it exclusively for that one
// change, and whoever reads them holds it shared. Between processes it is an
// advisory flock on "Wrenly.lock" in the data root; within a process a
// shared_mutex per lock file orders the threads the same way, since flock
// locks belong to an open file description, not to a thread.
// Re-entrant per thread: a thread that holds the lock exclusively may take it
// again in either mode, and one that holds it shared may take it shared; a
// thread that holds it shared never upgrades (that attempt is refused, not
// blocked). Safe for concurrent use.
#pragma once

#include <string>

namespace wrenly {

// The lock file's name inside the data root.
inline constexpr char kDataRootLockName[] = "Wrenly.lock";

enum class LockMode { kShared, kExclusive };

class DataRootLock {
 public:
  // Blocks until the lock is held in `mode`. A missing data root is made
  // first; without a lock file (a read-only folder, a file system without
  // flock) only the threads of this process are ordered.
  DataRootLock(const std::string& dataRoot, LockMode mode);
  ~DataRootLock();
  DataRootLock(const DataRootLock&) = delete;
  DataRootLock& operator=(const DataRootLock&) = delete;

  // False only when a thread holding the lock shared asked for it
  // exclusively: nothing is held then, and the caller must not write.
  bool held() const { return held_; }

  // The process-wide state of one lock file (data_root_lock.cc).
  struct State;

 private:
  State* state_ = nullptr;  // the lock file's process-wide state; null when nested or refused
  LockMode mode_;
  bool held_ = false;
};

}  // namespace wrenly
