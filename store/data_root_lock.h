// The data root's lock: every process and thread that changes the reader's
// data (the catalog, a channel's files) holds it exclusively for that one
// change, and whoever reads them holds it shared. Between processes it is an
// advisory flock on "Wrenly.lock" in the data root; within a process a
// shared_mutex per lock file orders the threads the same way, since flock
// locks belong to an open file description, not to a thread.
// A change of one channel's files alone may hold it for that channel: then
// it is exclusive towards other processes and towards this process's shared
// and exclusive holders, but threads of this process change different
// channels at once (a refresh merges its feeds side by side).
// Re-entrant per thread: a thread that holds the lock exclusively may take it
// again in any mode, and one that holds it shared may take it shared; a
// thread that holds it shared never upgrades, and one that holds it for a
// channel takes nothing more (those attempts are refused, not blocked). Safe
// for concurrent use.
#pragma once

#include <string>

namespace wrenly {

// The lock file's name inside the data root.
inline constexpr char kDataRootLockName[] = "Wrenly.lock";

// kChannel comes with a channel number (the second constructor).
enum class LockMode { kShared, kExclusive, kChannel };

class DataRootLock {
 public:
  // Blocks until the lock is held in `mode`. A missing data root is made
  // first; without a lock file (a read-only folder, a file system without
  // flock) only the threads of this process are ordered.
  DataRootLock(const std::string& dataRoot, LockMode mode);
  // Holds the lock for changing channel `channel`'s files.
  DataRootLock(const std::string& dataRoot, int channel);
  ~DataRootLock();
  DataRootLock(const DataRootLock&) = delete;
  DataRootLock& operator=(const DataRootLock&) = delete;

  // False only when a thread holding the lock asked for more than it holds
  // (see above): nothing is held then, and the caller must not write.
  bool held() const { return held_; }

  // The process-wide state of one lock file (data_root_lock.cc).
  struct State;

 private:
  void Acquire(const std::string& dataRoot);

  State* state_ = nullptr;  // the lock file's process-wide state; null when nested or refused
  LockMode mode_;
  int channel_ = 0;  // with kChannel
  bool held_ = false;
};

}  // namespace wrenly
