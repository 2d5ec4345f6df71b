// What reaches a running Tolvane from outside: SIGUSR1 from the main program
// (abort: the abort flag first, then the running transfers, then the
// connection event), the connection-state messages of the network layer (set
// the connection event), and the transfers' progress messages, which go to
// stdout as lines "progress <bytes> <ended>" for the parent to read.
// Safe for concurrent use; construct it on the main thread before any other
// thread starts, since it blocks SIGUSR1 for every thread created afterwards.
#pragma once

#include <pthread.h>

#include <chrono>
#include <thread>

#include "platform/event.h"
#include "platform/notifier.h"

namespace wrenly {

class CFetcherListener : public Receiver {
 public:
  CFetcherListener();
  ~CFetcherListener() override;
  CFetcherListener(const CFetcherListener&) = delete;
  CFetcherListener& operator=(const CFetcherListener&) = delete;

  // Starts the signal thread and joins the broadcast receivers; false when
  // the thread cannot be started.
  bool Start();
  // Set (manual reset) once the connection is up or released, or on abort.
  Event& connectionEvent() { return connection_; }
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

 private:
  void WaitForSignals();
  void Abort();

  Event connection_{Event::Mode::kManualReset};
  std::thread thread_;
  pthread_t threadHandle_{};
  bool receiving_ = false;
};

}  // namespace wrenly
