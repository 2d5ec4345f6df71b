// The wall-clock limit of a script run. The engine has no execution time-out
// of its own and Tolvane runs one template per process, so when the limit
// passes the watchdog ends the whole process (exit code 0, as after a script
// error), after waiting for an article write in progress so that no file is
// left half written. Safe for concurrent use.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace wrenly {

// The variable that overrides the default limit, in milliseconds (for tests).
constexpr const char* kScriptTimeLimitVariable = "WRENLY_SCRIPT_TIME_LIMIT_MS";
constexpr std::chrono::milliseconds kDefaultScriptTimeLimit{60000};

// The limit from the environment, or the default when unset or not a
// positive number.
std::chrono::milliseconds ScriptTimeLimit();

class ScriptWatchdog {
 public:
  explicit ScriptWatchdog(std::chrono::milliseconds limit);
  // Disarms the watchdog: the run ended in time.
  ~ScriptWatchdog();
  ScriptWatchdog(const ScriptWatchdog&) = delete;
  ScriptWatchdog& operator=(const ScriptWatchdog&) = delete;

 private:
  void Watch(std::chrono::milliseconds limit);

  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace wrenly
