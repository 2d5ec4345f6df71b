#include "engine/event.h"

namespace wrenly {

void CEvent::Set() {
  std::lock_guard lock(mutex_);
  set_ = true;
  if (manualReset_)
    changed_.notify_all();
  else
    changed_.notify_one();
}

void CEvent::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

void CEvent::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return set_; });
  if (!manualReset_) set_ = false;
}

bool CEvent::WaitFor(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, limit, [&] { return set_; })) return false;
  if (!manualReset_) set_ = false;
  return true;
}

bool CEvent::IsSet() {
  std::lock_guard lock(mutex_);
  return set_;
}

}  // namespace wrenly
