#include "engine/download_manager.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

#include "engine/messages.h"

namespace wrenly {
namespace {

// Records the jobs it is given; a job whose URL is in `hold` waits until the
// test releases it.
struct Runner {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<FullTextJob> ran;
  std::u16string hold;
  bool holding = false, released = false;

  void operator()(const FullTextJob& job) {
    std::unique_lock lock(mutex);
    if (job.url == hold) {
      holding = true;
      changed.notify_all();
      changed.wait(lock, [&] { return released; });
    }
    ran.push_back(job);
    changed.notify_all();
  }
  void WaitHolding() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return holding; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
  bool WaitRan(std::size_t n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return ran.size() >= n; });
  }
  std::vector<std::u16string> Urls() {
    std::lock_guard lock(mutex);
    std::vector<std::u16string> urls;
    for (const auto& j : ran) urls.push_back(j.url);
    return urls;
  }
};

struct FulltextMessages : Receiver {
  std::atomic<int> count{0};
  void Post(MessageId m, std::uint64_t, std::int64_t) override {
    if (m == RegisterMessage(kMsgFulltextFetched)) ++count;
  }
};

std::vector<std::u16string> PopAll(CDownloadManager& manager) {
  std::vector<std::u16string> urls;
  for (std::u16string url; manager.PopFinishedUrl(url);) urls.push_back(url);
  return urls;
}

TEST(DownloadManager, JobsOfASecondRefreshJoinTheRunningQueueInOrder) {
  Runner runner;
  runner.hold = u"a";
  FulltextMessages messages;
  AddBroadcastReceiver(&messages);
  {
    CDownloadManager manager([&](const FullTextJob& j) { runner(j); });
    manager.SetUseProxy(true);
    manager.AddJob(u"a", "a.htm", "t.tpl", false, 100, {});
    manager.AddJob(u"b", "b.htm", "t.tpl", false, 100, {});
    manager.StartJobs();
    runner.WaitHolding();
    // a runs: the queue is not empty yet, and a running job keeps the
    // manager from being drained even once the queue is.
    EXPECT_FALSE(manager.IsIdle());
    manager.SetUseProxy(false);
    manager.AddJob(u"c", "c.htm", "u.tpl", true, 101, [] { return true; });
    manager.AddJob(u"b", "b2.htm", "t.tpl", false, 100, {});
    manager.StartJobs();
    runner.Release();
    ASSERT_TRUE(runner.WaitRan(4));
    while (!manager.IsDrained()) std::this_thread::yield();
    EXPECT_TRUE(manager.IsIdle());
    EXPECT_EQ(runner.Urls(), (std::vector<std::u16string>{u"a", u"b", u"c", u"b"}));
    // The flags are the ones given when each job was queued.
    EXPECT_TRUE(runner.ran[0].useProxy);
    EXPECT_FALSE(runner.ran[2].useProxy);
    EXPECT_TRUE(runner.ran[2].skipFollowUp);
    EXPECT_EQ(runner.ran[2].channel, 101);
    EXPECT_TRUE(runner.ran[2].abortCheck());
    EXPECT_FALSE(runner.ran[0].abortCheck());
    // Each run moves one copy of its URL from pending to finished.
    EXPECT_EQ(PopAll(manager), (std::vector<std::u16string>{u"a", u"b", u"c", u"b"}));
    EXPECT_TRUE(PopAll(manager).empty());
  }
  RemoveBroadcastReceiver(&messages);
  EXPECT_EQ(messages.count.load(), 4);
}

TEST(DownloadManager, ClearedJobsNeverRunAndTheDestructorWaitsForTheRunningOne) {
  Runner runner;
  runner.hold = u"a";
  std::future<void> released;
  {
    CDownloadManager manager([&](const FullTextJob& j) { runner(j); });
    manager.AddJob(u"a", "a.htm", "t.tpl", false, 100, {});
    manager.AddJob(u"b", "b.htm", "t.tpl", false, 100, {});
    manager.StartJobs();
    runner.WaitHolding();
    EXPECT_TRUE(manager.HasPendingJob(u"a"));
    EXPECT_TRUE(manager.HasPendingJob(u"b"));
    EXPECT_FALSE(manager.HasPendingJob(u"c"));
    manager.ClearJobs();
    EXPECT_TRUE(manager.HasPendingJob(u"a"));  // still running
    EXPECT_FALSE(manager.HasPendingJob(u"b"));
    EXPECT_TRUE(manager.IsIdle());
    EXPECT_FALSE(manager.IsDrained());
    released = std::async(std::launch::async, [&] { runner.Release(); });
  }
  released.get();
  EXPECT_EQ(runner.Urls(), (std::vector<std::u16string>{u"a"}));
}

}  // namespace
}  // namespace wrenly
