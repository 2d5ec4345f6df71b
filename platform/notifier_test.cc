#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace wrenly {
namespace {

struct Recorder : Receiver {
  struct Entry {
    MessageId message;
    std::uint64_t w;
    std::int64_t l;
  };
  std::vector<Entry> got;
  void Post(MessageId message, std::uint64_t w, std::int64_t l) override { got.push_back({message, w, l}); }
};

TEST(Notifier, RegisteredNamesKeepTheirNumbers) {
  const MessageId start = RegisterMessage("Wrenly.Download.Start");
  EXPECT_GE(start, 0xC000u);
  EXPECT_EQ(RegisterMessage("Wrenly.Download.Start"), start);
  EXPECT_NE(RegisterMessage("Wrenly.Download.Finished"), start);
  EXPECT_EQ(RegisteredMessageName(start), "Wrenly.Download.Start");
  EXPECT_EQ(RegisteredMessageName(0x401), "");
}

TEST(Notifier, PostsToTheTargetOrElseToEveryBroadcastReceiver) {
  Recorder target, a, b;
  AddBroadcastReceiver(&a);
  AddBroadcastReceiver(&b);
  PostMessageTo(&target, 0x401, 1, -2);
  PostMessageTo(nullptr, 0x402, 3, 4);
  RemoveBroadcastReceiver(&b);
  Broadcast(0x403, 0, 0);
  RemoveBroadcastReceiver(&a);
  ASSERT_EQ(target.got.size(), 1u);
  EXPECT_EQ(target.got[0].l, -2);
  ASSERT_EQ(a.got.size(), 2u);
  EXPECT_EQ(a.got[1].message, 0x403u);
  ASSERT_EQ(b.got.size(), 1u);
  EXPECT_EQ(b.got[0].w, 3u);
}

// Runs body on a thread of its own; a body still running after 10 s is a
// deadlock, and the test binary ends instead of hanging.
void WithinTenSeconds(std::function<void()> body) {
  auto done = std::async(std::launch::async, std::move(body));
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
    ADD_FAILURE() << "deadlock";
    std::_Exit(1);
  }
}

// On its first message it registers a helper, broadcasts again from inside
// the call and withdraws itself: each of these needs the notifier's lock.
struct Reentrant : Receiver {
  Recorder helper;
  int calls = 0;
  void Post(MessageId message, std::uint64_t, std::int64_t) override {
    if (++calls > 1 || message != 0x410) return;
    AddBroadcastReceiver(&helper);
    Broadcast(0x411, 0, 0);
    RemoveBroadcastReceiver(this);
  }
};

TEST(Notifier, AReceiverMayPostRegisterAndWithdrawFromItsOwnCall) {
  Reentrant reentrant;
  WithinTenSeconds([&] {
    AddBroadcastReceiver(&reentrant);
    Broadcast(0x410, 0, 0);
    Broadcast(0x412, 0, 0);
    RemoveBroadcastReceiver(&reentrant.helper);
  });
  EXPECT_EQ(reentrant.calls, 2);  // 0x410 and the nested 0x411; withdrawn before 0x412
  ASSERT_EQ(reentrant.helper.got.size(), 2u);
  EXPECT_EQ(reentrant.helper.got[0].message, 0x411u);
  EXPECT_EQ(reentrant.helper.got[1].message, 0x412u);
}

struct Slow : Receiver {
  std::atomic<bool> inside{false}, finished{false};
  void Post(MessageId, std::uint64_t, std::int64_t) override {
    inside = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    finished = true;
  }
};

TEST(Notifier, WithdrawingWaitsForACallRunningOnAnotherThread) {
  Slow slow;
  AddBroadcastReceiver(&slow);
  std::thread poster([] { Broadcast(0x420, 0, 0); });
  while (!slow.inside) std::this_thread::yield();
  RemoveBroadcastReceiver(&slow);
  EXPECT_TRUE(slow.finished);
  poster.join();
}

}  // namespace
}  // namespace wrenly
