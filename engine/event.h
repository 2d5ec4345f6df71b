// Events in the manner of the device's kernel events: manual-reset or
// auto-reset, set from any thread, waited on with or without a limit.
// Safe for concurrent use.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace wrenly {

class CEvent {
 public:
  explicit CEvent(bool manualReset) : manualReset_(manualReset) {}
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  void Set();
  void Reset();
  // Returns when the event is set; an auto-reset event is cleared again.
  void Wait();
  // False when the time ran out first.
  bool WaitFor(std::chrono::milliseconds limit);
  bool IsSet();

 private:
  const bool manualReset_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace wrenly
