#include "cli/interrupt_watch.h"

#include <ctime>

namespace wrenly::cli {

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  thread_ = std::thread([this] {
    const timespec slice{0, 200'000'000};
    while (!stop_) {
      if (sigtimedwait(&signals_, nullptr, &slice) < 0) continue;
      interrupted_ = true;
      if (onInterrupt_) onInterrupt_();
    }
  });
}

void InterruptWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

InterruptWatch::~InterruptWatch() {
  Stop();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace wrenly::cli
