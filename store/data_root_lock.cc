#include "store/data_root_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

#include "platform/trace.h"

namespace wrenly {

// One per lock file in the process. The flock is taken by the first holder
// in the process and released with the last: threads holding it shared
// share the one open file description, and an exclusive holder is alone.
struct DataRootLock::State {
  std::string path;
  std::shared_mutex threads;
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

DataRootLock::DataRootLock(const std::string& dataRoot, LockMode mode) : mode_(mode) {
  State* state = StateFor(dataRoot);
  const auto held = std::find_if(tHeld.begin(), tHeld.end(), [state](const auto& h) { return h.first == state; });
  if (held != tHeld.end()) {
    // Nested: covered by the outer hold, unless that is shared and this asks more.
    held_ = held->second == LockMode::kExclusive || mode == LockMode::kShared;
    if (!held_) TraceF("DataRootLock: a shared holder asked for %s exclusively\n", state->path.c_str());
    return;
  }
  if (mode == LockMode::kExclusive)
    state->threads.lock();
  else
    state->threads.lock_shared();
  {
    std::lock_guard guard(state->file);
    if (state->holders++ == 0) {
      state->fd = OpenLockFile(state->path);
      const int operation = mode == LockMode::kExclusive ? LOCK_EX : LOCK_SH;
      int result;
      while ((result = ::flock(state->fd, operation)) != 0 && errno == EINTR) {
      }
      if (result != 0) TraceF("DataRootLock: cannot lock %s (errno %d)\n", state->path.c_str(), errno);
    }
  }
  tHeld.emplace_back(state, mode);
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
  if (mode_ == LockMode::kExclusive)
    state_->threads.unlock();
  else
    state_->threads.unlock_shared();
}

}  // namespace wrenly
