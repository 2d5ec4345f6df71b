#include "cli/interrupt_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <cstdint>

namespace wrenly::cli {

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  signalFd_.reset(signalfd(-1, &signals_, SFD_CLOEXEC));
  wakeFd_.reset(eventfd(0, EFD_CLOEXEC));
  // Without the descriptors the signals stay blocked and pending: the
  // command runs to its end instead of being cut short.
  if (signalFd_ && wakeFd_) thread_ = std::thread([this] { Watch(); });
}

// Waits on both descriptors, so Stop ends the watch without a polling delay.
void InterruptWatch::Watch() {
  pollfd fds[2] = {{signalFd_.get(), POLLIN, 0}, {wakeFd_.get(), POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    signalfd_siginfo info;
    if (read(signalFd_.get(), &info, sizeof info) != sizeof info) continue;
    interrupted_ = true;
    if (onInterrupt_) onInterrupt_();
  }
}

void InterruptWatch::Stop() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  while (write(wakeFd_.get(), &one, sizeof one) < 0 && errno == EINTR) {
  }
  thread_.join();
}

InterruptWatch::~InterruptWatch() {
  Stop();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace wrenly::cli
