// Timed notifications: an event is set when a wall-clock time is reached, the
// way the device's notification service sets a named event at a given time.
// ProcessTimer() is the in-process service (one timer thread, started on
// first use); tests hand the automatic update a notifier of their own.
// Safe for concurrent use.
#pragma once

#include <chrono>
#include <memory>

#include "platform/event.h"

namespace wrenly {

using WallClock = std::chrono::system_clock;

class CTimedNotifier {
 public:
  virtual ~CTimedNotifier() = default;
  // Sets the event at `when` (at once when that has passed); false when the
  // notification cannot be registered.
  virtual bool SetTimedEvent(WallClock::time_point when, std::shared_ptr<Event> event) = 0;
  // Withdraws the pending notifications of the event.
  virtual void Withdraw(const Event* event) = 0;
};

CTimedNotifier& ProcessTimer();

}  // namespace wrenly
