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

#include "platform/unique_fd.h"

namespace wrenly::cli {

class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  bool interrupted() const { return interrupted_; }
  // Ends the watch at once and waits for a callback in flight; no callback
  // runs once this returns. The signals stay blocked until the watch is
  // destroyed.
  void Stop();

 private:
  void Watch();

  std::function<void()> onInterrupt_;
  sigset_t signals_{};
  sigset_t previous_{};
  UniqueFd signalFd_;
  UniqueFd wakeFd_;  // an eventfd written by Stop
  std::atomic<bool> interrupted_{false};
  std::thread thread_;
};

}  // namespace wrenly::cli
