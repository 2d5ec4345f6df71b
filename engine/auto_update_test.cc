#include "engine/auto_update.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "engine/messages.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

TEST(AutoUpdateInterval, NumberPlusOneTimesTheUnit) {
  EXPECT_EQ(AutoUpdateIntervalSeconds(0, 0), 60);
  EXPECT_EQ(AutoUpdateIntervalSeconds(19, 0), 20 * 60);  // the defaults
  EXPECT_EQ(AutoUpdateIntervalSeconds(2, 1), 3 * 3600);
  EXPECT_EQ(AutoUpdateIntervalSeconds(0, 2), 86400);
  EXPECT_EQ(AutoUpdateIntervalSeconds(0, 7), 86400);
  // Damaged settings stay within 01..20.
  EXPECT_EQ(AutoUpdateIntervalSeconds(-5, 0), 60);
  EXPECT_EQ(AutoUpdateIntervalSeconds(1000, 1), 20 * 3600);

  const auto now = WallClock::time_point(std::chrono::milliseconds(1'700'000'000'750));
  EXPECT_EQ(AutoUpdateWakeupTime(now, 60), WallClock::time_point(std::chrono::seconds(1'700'000'060)));
}

TEST(ProcessTimer, SetsTheEventOfATimeThatHasPassed) {
  auto event = std::make_shared<Event>(Event::Mode::kAutoReset);
  ASSERT_TRUE(ProcessTimer().SetTimedEvent(WallClock::now() - std::chrono::seconds(1), event));
  EXPECT_TRUE(event->Wait(std::chrono::seconds(20)));
  EXPECT_FALSE(ProcessTimer().SetTimedEvent(WallClock::now(), nullptr));
}

// A notifier that the test fires by hand: it records each wake-up it is asked
// for and lets the test set the event.
class ManualNotifier : public CTimedNotifier {
 public:
  bool SetTimedEvent(WallClock::time_point when, std::shared_ptr<Event> event) override {
    std::lock_guard lock(mutex_);
    requests_.push_back({when, event});
    changed_.notify_all();
    return true;
  }
  void Withdraw(const Event*) override {}

  // Waits for the n-th request (1-based) and returns it.
  std::pair<WallClock::time_point, std::shared_ptr<Event>> Request(std::size_t n) {
    std::unique_lock lock(mutex_);
    EXPECT_TRUE(changed_.wait_for(lock, std::chrono::seconds(20), [&] { return requests_.size() >= n; }));
    return requests_.size() >= n ? requests_[n - 1] : std::pair<WallClock::time_point, std::shared_ptr<Event>>{};
  }
  std::size_t count() {
    std::lock_guard lock(mutex_);
    return requests_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<WallClock::time_point, std::shared_ptr<Event>>> requests_;
};

struct Toggles : Receiver {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  void Post(MessageId message, std::uint64_t, std::int64_t) override {
    std::lock_guard lock(mutex);
    if (message == WM_REFRESH_SCHEDULED) ++count;
    changed.notify_all();
  }
  int Get() {
    std::lock_guard lock(mutex);
    return count;
  }
};

class AutoUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSettingInt(setting::kAutoUpdateMode, kAutoUpdateTimed));
    ASSERT_TRUE(SetSettingInt(setting::kAutoUpdateTimeNum, 4));
    ASSERT_TRUE(SetSettingInt(setting::kAutoUpdateTimeUnit, 1));
  }
  // The thread must be gone before the notifier and the window it uses.
  void TearDown() override { StopAutoUpdate(); }
  testsupport::IsolatedHome home_;
  ManualNotifier notifier;
  Toggles window;
};

TEST_F(AutoUpdate, FiresAtTheIntervalAndTriggersWhileTheModeStaysTimed) {
  const auto before = WallClock::now();
  StartAutoUpdate(&window, notifier);
  auto [when, event] = notifier.Request(1);
  EXPECT_GE(when, std::chrono::floor<std::chrono::seconds>(before) + std::chrono::hours(5));
  EXPECT_LE(when, WallClock::now() + std::chrono::hours(5));
  event->Set();
  // The next cycle is set up only after the trigger went out.
  notifier.Request(2);
  EXPECT_EQ(window.Get(), 1);

  // Out of the timed mode, a wake-up does not trigger.
  ASSERT_TRUE(SetSettingInt(setting::kAutoUpdateMode, kAutoUpdateOff));
  notifier.Request(2).second->Set();
  notifier.Request(3);
  EXPECT_EQ(window.Get(), 1);
}

TEST_F(AutoUpdate, StopEndsTheThreadWithoutATriggerAndANewThreadRunsOn) {
  StartAutoUpdate(&window, notifier);
  const std::shared_ptr<Event> first = notifier.Request(1).second;
  StopAutoUpdate();
  EXPECT_EQ(window.Get(), 0);
  // The stopped thread has ended: a late wake-up of its event does nothing.
  first->Set();

  StartAutoUpdate(&window, notifier);
  const std::shared_ptr<Event> second = notifier.Request(2).second;
  EXPECT_NE(second, first);
  second->Set();
  notifier.Request(3);
  EXPECT_EQ(window.Get(), 1);
  EXPECT_EQ(notifier.count(), 3u);
}

}  // namespace
}  // namespace wrenly
