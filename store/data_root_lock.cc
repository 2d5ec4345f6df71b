#include "store/data_root_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/trace.h"

namespace wrenly {

// The threads' side of one lock: any number of shared holders, or any
// number of channel holders (one per channel), or one exclusive holder.
// Waiting shared and exclusive holders go before new channel holders, so a
// refresh's stream of merges never keeps a screen waiting long.
class ThreadGate {
 public:
  void Enter(LockMode mode, int channel) {
    std::unique_lock lock(mutex_);
    if (!CanEnter(mode, channel)) {
      const bool other = mode != LockMode::kChannel;
      waitingOthers_ += other;
      changed_.wait(lock, [&] { return CanEnter(mode, channel); });
      waitingOthers_ -= other;
    }
    if (mode == LockMode::kShared) ++shared_;
    if (mode == LockMode::kExclusive) exclusive_ = true;
    if (mode == LockMode::kChannel) channels_.insert(channel);
  }

  void Leave(LockMode mode, int channel) {
    {
      std::lock_guard lock(mutex_);
      if (mode == LockMode::kShared) --shared_;
      if (mode == LockMode::kExclusive) exclusive_ = false;
      if (mode == LockMode::kChannel) channels_.erase(channel);
    }
    changed_.notify_all();
  }

 private:
  bool CanEnter(LockMode mode, int channel) const {
    if (exclusive_) return false;
    switch (mode) {
      case LockMode::kShared:
        return channels_.empty();
      case LockMode::kExclusive:
        return shared_ == 0 && channels_.empty();
      case LockMode::kChannel:
        return shared_ == 0 && waitingOthers_ == 0 && !channels_.contains(channel);
    }
    return false;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  int shared_ = 0;
  bool exclusive_ = false;
  std::set<int> channels_;
  int waitingOthers_ = 0;  // shared and exclusive holders waiting
};

// One per lock file in the process. The flock is taken by the first holder
// in the process and released with the last: the threads holding it at once
// all hold it shared, or all for channels (the flock exclusive), or one
// holds it exclusively, so they share the one open file description.
struct DataRootLock::State {
  std::string path;
  ThreadGate threads;
  std::mutex file;  // guards fd and holders
  int fd = -1;
  int holders = 0;
};

namespace {

// The locks this thread holds, outermost acquisitions only.
thread_local std::vector<std::pair<const void*, LockMode>> tHeld;

DataRootLock::State* StateFor(const std::string& dataRoot) {
  static std::mutex registryMutex;
  // Entries stay for the life of the process: one per data root used.
  static std::map<std::string, std::unique_ptr<DataRootLock::State>> registry;
  const std::string path =
      (std::filesystem::path(dataRoot) / kDataRootLockName).lexically_normal().string();
  std::lock_guard guard(registryMutex);
  auto& slot = registry[path];
  if (!slot) {
    slot = std::make_unique<DataRootLock::State>();
    slot->path = path;
  }
  return slot.get();
}

// Makes the data root when it is missing, so the first operation on a new
// root is locked like every later one.
int OpenLockFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 && errno == ENOENT) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  }
  return fd >= 0 ? fd : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace

DataRootLock::DataRootLock(const std::string& dataRoot, LockMode mode) : mode_(mode) { Acquire(dataRoot); }

DataRootLock::DataRootLock(const std::string& dataRoot, int channel) : mode_(LockMode::kChannel), channel_(channel) {
  Acquire(dataRoot);
}

void DataRootLock::Acquire(const std::string& dataRoot) {
  State* state = StateFor(dataRoot);
  const auto held = std::find_if(tHeld.begin(), tHeld.end(), [state](const auto& h) { return h.first == state; });
  if (held != tHeld.end()) {
    // Nested: covered by an outer exclusive hold, or a shared one asked again.
    held_ = held->second == LockMode::kExclusive || (held->second == mode_ && mode_ == LockMode::kShared);
    if (!held_) TraceF("DataRootLock: a holder of %s asked for more than it holds\n", state->path.c_str());
    return;
  }
  state->threads.Enter(mode_, channel_);
  {
    std::lock_guard guard(state->file);
    if (state->holders++ == 0) {
      state->fd = OpenLockFile(state->path);
      const int operation = mode_ == LockMode::kShared ? LOCK_SH : LOCK_EX;
      int result;
      while ((result = ::flock(state->fd, operation)) != 0 && errno == EINTR) {
      }
      if (result != 0) TraceF("DataRootLock: cannot lock %s (errno %d)\n", state->path.c_str(), errno);
    }
  }
  tHeld.emplace_back(state, mode_);
  state_ = state;
  held_ = true;
}

DataRootLock::~DataRootLock() {
  if (state_ == nullptr) return;
  {
    std::lock_guard guard(state_->file);
    if (--state_->holders == 0) {
      // Closing the only descriptor of the file description releases the flock.
      if (state_->fd >= 0) ::close(state_->fd);
      state_->fd = -1;
    }
  }
  const auto held = std::find_if(tHeld.rbegin(), tHeld.rend(), [this](const auto& h) { return h.first == state_; });
  if (held != tHeld.rend()) tHeld.erase(std::next(held).base());
  state_->threads.Leave(mode_, channel_);
}

}  // namespace wrenly
