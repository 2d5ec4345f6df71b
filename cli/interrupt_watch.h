// Ctrl-C and SIGTERM for a long command: while an InterruptWatch exists the
// two signals are blocked in every thread the command starts and turned into
// a call of onInterrupt on the watch's own thread, so the command ends
// through its normal abort path. Create it before any other thread, and
// Stop it before anything its callback uses goes away.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace wrenly::cli {

class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  bool interrupted() const { return interrupted_; }
  // Ends the watch and waits for a callback in flight; no callback runs once
  // this returns. The signals stay blocked until the watch is destroyed.
  void Stop();

 private:
  std::function<void()> onInterrupt_;
  sigset_t signals_{};
  sigset_t previous_{};
  std::atomic<bool> stop_{false};
  std::atomic<bool> interrupted_{false};
  std::thread thread_;
};

}  // namespace wrenly::cli
