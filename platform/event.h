// The one event type of the programs: manual-reset (stays set until reset)
// or auto-reset (one successful wait consumes it), and a wait for the first of
// several events. Safe for concurrent use.
#pragma once

#include <chrono>
#include <initializer_list>

namespace wrenly {

class Event {
 public:
  enum class Mode { kManualReset, kAutoReset };
  explicit Event(Mode mode) : mode_(mode) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event was set within the timeout.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  friend int WaitForAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout);
  bool TakeLocked();

  const Mode mode_;
  bool set_ = false;  // guarded by the module's one mutex
};

constexpr std::chrono::milliseconds kWaitForever = std::chrono::milliseconds::max();
constexpr int kWaitTimedOut = -1;

// Waits until one of the events is set and returns its index (the first set
// one; an auto-reset event is consumed), or kWaitTimedOut.
int WaitForAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout);

}  // namespace wrenly
