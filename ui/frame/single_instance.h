// One copy of the program at a time: an advisory lock on "Wrenly
// Mobile.lock" in $XDG_RUNTIME_DIR (or the data root), held for the life of
// the process and released by the system when it ends, even after a crash.
#pragma once

#include <string>

namespace wrenly::ui {

class CSingleInstance {
 public:
  CSingleInstance() = default;
  ~CSingleInstance();
  CSingleInstance(const CSingleInstance&) = delete;
  CSingleInstance& operator=(const CSingleInstance&) = delete;

  // True when this process now holds the lock; false when another copy does.
  // A lock file that cannot be made at all does not stop the program.
  bool Acquire();
  static std::string LockPath();

 private:
  int fd_ = -1;
};

}  // namespace wrenly::ui
