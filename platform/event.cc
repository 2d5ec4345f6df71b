#include "platform/event.h"

#include <condition_variable>
#include <mutex>

namespace wrenly {
namespace {

// Events are few and rarely signalled, so one mutex and one condition for
// all of them keep waits on several events simple.
struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
};

Shared& State() {
  static Shared shared;
  return shared;
}

}  // namespace

void Event::Set() {
  Shared& s = State();
  std::lock_guard lock(s.mutex);
  set_ = true;
  s.changed.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(State().mutex);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(State().mutex);
  return set_;
}

bool Event::TakeLocked() {
  if (!set_) return false;
  if (mode_ == Mode::kAutoReset) set_ = false;
  return true;
}

bool Event::Wait(std::chrono::milliseconds timeout) { return WaitForAny({this}, timeout) == 0; }

int WaitForAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout) {
  Shared& s = State();
  std::unique_lock lock(s.mutex);
  int which = kWaitTimedOut;
  const auto ready = [&] {
    int index = 0;
    for (Event* event : events) {
      if (event->TakeLocked()) {
        which = index;
        return true;
      }
      ++index;
    }
    return false;
  };
  if (timeout == kWaitForever)
    s.changed.wait(lock, ready);
  else
    s.changed.wait_for(lock, timeout, ready);
  return which;
}

}  // namespace wrenly
