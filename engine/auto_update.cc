#include "engine/auto_update.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/event.h"
#include "engine/messages.h"
#include "platform/trace.h"
#include "store/settings.h"

namespace wrenly {
namespace {

// The state one AutoUpdateThread shares with StopAutoUpdate.
struct Schedule {
  // Recursive: the trigger is sent under it, and the window's handler may
  // stop the schedule on the same thread.
  std::recursive_mutex mutex;
  bool stop = false;
  std::shared_ptr<Event> wakeup = std::make_shared<Event>(Event::Mode::kAutoReset);
};

std::mutex currentMutex;
std::shared_ptr<Schedule> current;  // the running thread's schedule
std::thread currentThread;

// A schedule still running at exit is stopped and joined by an exit handler.
// It is registered after the settings and the trace sink exist, so it runs
// before they are destroyed and the thread never touches them half-gone.
void StopAtExit() {
  static const bool registered = [] {
    GetSettingInt(setting::kAutoUpdateMode);
    Trace("");
    return std::atexit([] { StopAutoUpdate(); }) == 0;
  }();
  if (!registered) Trace("The automatic update cannot be stopped at exit\n");
}

// A cycle whose notification cannot be set up waits this long before the
// next try, so a broken timer does not spin.
constexpr std::chrono::seconds kRetryPause{60};

void AutoUpdateThread(Receiver* window, CTimedNotifier* notifier, std::shared_ptr<Schedule> schedule) {
  const std::int64_t interval = AutoUpdateIntervalSeconds(GetSettingInt(setting::kAutoUpdateTimeNum),
                                                          GetSettingInt(setting::kAutoUpdateTimeUnit));
  Event& wakeup = *schedule->wakeup;
  for (;;) {
    {
      std::lock_guard lock(schedule->mutex);
      if (schedule->stop) break;
    }
    const auto when = AutoUpdateWakeupTime(WallClock::now(), interval);
    bool signalled = false;
    if (notifier->SetTimedEvent(when, schedule->wakeup)) {
      Trace("Waiting for Wrenly Event...\n");
      wakeup.Wait(kWaitForever);
      Trace("Wrenly Event signaled\n");
      signalled = true;
    } else {
      Trace("The wake-up timer could not be set\n");
      wakeup.Wait(kRetryPause);
    }
    notifier->Withdraw(&wakeup);
    std::lock_guard lock(schedule->mutex);
    if (schedule->stop) break;
    if (signalled && GetSettingInt(setting::kAutoUpdateMode) == kAutoUpdateTimed)
      PostMessageTo(window, WM_REFRESH_SCHEDULED, 0, 0);
  }
  notifier->Withdraw(&wakeup);
}

}  // namespace

std::int64_t AutoUpdateIntervalSeconds(int timeNum, int timeUnit) {
  const std::int64_t n = std::clamp(timeNum, 0, 19) + 1;
  if (timeUnit == 0) return n * 60;
  if (timeUnit == 1) return n * 3600;
  return n * 86400;
}

WallClock::time_point AutoUpdateWakeupTime(WallClock::time_point now, std::int64_t intervalSeconds) {
  return std::chrono::floor<std::chrono::seconds>(now) + std::chrono::seconds(intervalSeconds);
}

void StartAutoUpdate(Receiver* window, CTimedNotifier& notifier) {
  StopAutoUpdate();
  StopAtExit();
  auto schedule = std::make_shared<Schedule>();
  std::lock_guard lock(currentMutex);
  try {
    currentThread = std::thread(AutoUpdateThread, window, &notifier, schedule);
    current = schedule;
  } catch (const std::system_error&) {
    Trace("The automatic update thread could not be started\n");
  }
}

void StopAutoUpdate() {
  std::shared_ptr<Schedule> schedule;
  std::thread thread;
  {
    std::lock_guard lock(currentMutex);
    schedule.swap(current);
    thread.swap(currentThread);
  }
  if (!schedule) return;
  {
    std::lock_guard lock(schedule->mutex);
    schedule->stop = true;
    schedule->wakeup->Set();
  }
  // The woken thread ends at once; waiting for it means it never touches the
  // notifier or the window again. Stopped from its own trigger, it is left
  // to end by itself.
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();
  else if (thread.joinable())
    thread.join();
}

}  // namespace wrenly
