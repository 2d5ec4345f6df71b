// Automatic update. In the timed mode a thread of its own waits for a wake-up
// event that a timed notification sets at the end of each interval, then
// sends WM_REFRESH_SCHEDULED to its window, which starts a refresh unless one
// is running (a long refresh the user started is never cancelled by it).
// The docked mode needs no thread: the channel list reacts to
// WM_CRADLE_CHANGED. Start/Stop may be called from any thread.
#pragma once

#include <cstdint>

#include "engine/timed_notifier.h"
#include "platform/notifier.h"

namespace wrenly {

// "AutoUpdateMode" values.
constexpr int kAutoUpdateOff = 0;
constexpr int kAutoUpdateWhenDocked = 1;
constexpr int kAutoUpdateTimed = 2;

// ("AutoUpdateTimeNum" + 1) minutes, hours (unit 1) or days (any other unit).
// The number is held to 0..19 (01 to 20 on the option page), so a damaged
// setting can never give an interval of zero or less.
std::int64_t AutoUpdateIntervalSeconds(int timeNum, int timeUnit);
// The next wake-up: now in whole seconds plus the interval.
WallClock::time_point AutoUpdateWakeupTime(WallClock::time_point now, std::int64_t intervalSeconds);

// Stops the running schedule, then starts a new AutoUpdateThread that reads
// the interval now and triggers `window` while "AutoUpdateMode" stays 2.
void StartAutoUpdate(Receiver* window, CTimedNotifier& notifier = ProcessTimer());
// Asks the running thread to end and waits for it. The request belongs to
// that thread alone, so a thread started afterwards runs on; once this
// returns the stopped thread sends no trigger. The window's handler runs on
// the schedule's thread and must not wait for the thread that stops it.
void StopAutoUpdate();

}  // namespace wrenly
