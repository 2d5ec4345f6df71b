#include "engine/timed_notifier.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace wrenly {
namespace {

// One thread waits for the earliest pending time; the thread ends with the
// process-wide object at exit.
class CProcessTimer : public CTimedNotifier {
 public:
  ~CProcessTimer() override {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
  }

  bool SetTimedEvent(WallClock::time_point when, std::shared_ptr<Event> event) override {
    if (!event) return false;
    std::lock_guard lock(mutex_);
    if (stop_) return false;
    if (!thread_.joinable()) thread_ = std::thread(&CProcessTimer::Main, this);
    pending_.emplace(when, std::move(event));
    changed_.notify_all();
    return true;
  }

  void Withdraw(const Event* event) override {
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, [&](const auto& entry) { return entry.second.get() == event; });
  }

 private:
  void Main() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (pending_.empty()) {
        changed_.wait(lock);
        continue;
      }
      const auto first = pending_.begin();
      if (WallClock::now() < first->first) {
        changed_.wait_until(lock, first->first);
        continue;
      }
      std::shared_ptr<Event> event = first->second;
      pending_.erase(first);
      event->Set();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<WallClock::time_point, std::shared_ptr<Event>> pending_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

CTimedNotifier& ProcessTimer() {
  static CProcessTimer timer;
  return timer;
}

}  // namespace wrenly
