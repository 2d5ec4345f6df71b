#include "engine/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

namespace wrenly {
namespace {

// Records which items ran, in order, and on which thread.
struct Log {
  std::mutex mutex;
  std::condition_variable changed;
  std::string order;
  std::vector<std::thread::id> threads;

  void Add(char c) {
    std::lock_guard lock(mutex);
    order += c;
    threads.push_back(std::this_thread::get_id());
    changed.notify_all();
  }
  // Waits (bounded, so a broken pool fails instead of hanging) for n entries.
  bool WaitFor(std::size_t n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return order.size() >= n; });
  }
};

struct Item {
  Log* log;
  char name;
  std::shared_future<void> gate;  // the item blocks until the gate opens
  std::promise<void>* started = nullptr;
};

void RunItem(void* parameter) {
  auto* item = static_cast<Item*>(parameter);
  if (item->started != nullptr) item->started->set_value();
  if (item->gate.valid()) item->gate.wait();
  item->log->Add(item->name);
}

TEST(ThreadPool, RunsWaitingItemsInListOrderWithFrontItemsFirst) {
  Log log;
  std::promise<void> open;
  CThreadPool pool(1);
  ASSERT_TRUE(pool.Create());
  std::promise<void> started;
  Item a{&log, 'a', open.get_future().share(), &started};
  Item b{&log, 'b', {}}, c{&log, 'c', {}}, d{&log, 'd', {}};
  pool.AddWork(RunItem, &a);
  started.get_future().wait();
  // a occupies the only worker; the others wait in the list.
  pool.AddWork(RunItem, &b);
  pool.AddWork(RunItem, &c, true);
  pool.AddWork(RunItem, &d, false);
  open.set_value();
  ASSERT_TRUE(log.WaitFor(4));
  EXPECT_EQ(log.order, "adbc");
  for (const auto& id : log.threads) EXPECT_EQ(id, log.threads[0]);
}

struct Probe : CRunObject {
  Probe(Log* log, bool destroyAfterRun, std::atomic<int>* destroyed)
      : log(log), destroyAfterRun(destroyAfterRun), destroyed(destroyed) {}
  bool Run() override {
    log->Add('r');
    return destroyAfterRun;
  }
  void OnRunEnded() override { log->Add('e'); }
  void OnRunCompleted() override { log->Add('c'); }
  void Destroy() override {
    ++*destroyed;
    CRunObject::Destroy();
  }
  Log* log;
  bool destroyAfterRun;
  std::atomic<int>* destroyed;
};

TEST(ThreadPool, RunObjectsAreNotifiedAndDestroyedOnlyWhenTheyAskForIt) {
  Log log;
  std::atomic<int> destroyed{0};
  auto* kept = new Probe(&log, false, &destroyed);
  {
    CThreadPool pool(1);
    ASSERT_TRUE(pool.Create());
    pool.AddWork(kept);
    ASSERT_TRUE(log.WaitFor(3));
    pool.AddWork(new Probe(&log, true, &destroyed));
    ASSERT_TRUE(log.WaitFor(6));
  }
  EXPECT_EQ(log.order, "recrec");
  EXPECT_EQ(destroyed.load(), 1);
  kept->Destroy();  // still ours: the pool did not free it
  EXPECT_EQ(destroyed.load(), 2);
}

TEST(ThreadPool, EveryItemRunsOnceOnAPoolOfSeveralWorkers) {
  constexpr int kItems = 2000;
  std::atomic<int> count{0};
  std::mutex mutex;
  std::condition_variable done;
  struct Counter {
    std::atomic<int>* count;
    std::mutex* mutex;
    std::condition_variable* done;
  } counter{&count, &mutex, &done};
  CThreadPool pool(3);
  ASSERT_TRUE(pool.Create());
  auto bump = [](void* p) {
    auto* c = static_cast<Counter*>(p);
    std::lock_guard lock(*c->mutex);
    ++*c->count;
    c->done->notify_all();
  };
  // Items arrive from two threads while the workers drain the list.
  std::thread other([&] {
    for (int i = 0; i < kItems / 2; ++i) pool.AddWork(bump, &counter, i % 7 != 0);
  });
  for (int i = 0; i < kItems / 2; ++i) pool.AddWork(bump, &counter);
  other.join();
  std::unique_lock lock(mutex);
  EXPECT_TRUE(done.wait_for(lock, std::chrono::seconds(20), [&] { return count.load() == kItems; }));
}

TEST(ThreadPool, ShutdownWaitsForTheRunningItemAndDropsTheWaitingOnes) {
  Log log;
  auto pool = std::make_unique<CThreadPool>(1);
  ASSERT_TRUE(pool->Create());
  std::promise<void> started;
  struct Blocking {
    Log* log;
    CThreadPool* pool;
    std::promise<void>* started;
  } blocking{&log, pool.get(), &started};
  // The item is still running when the shutdown begins and ends only after.
  pool->AddWork(
      [](void* p) {
        auto* b = static_cast<Blocking*>(p);
        b->started->set_value();
        while (!b->pool->IsShuttingDown()) std::this_thread::yield();
        b->log->Add('a');
      },
      &blocking);
  Item waiting{&log, 'b', {}};
  pool->AddWork(RunItem, &waiting);
  std::atomic<int> destroyed{0};
  pool->AddWork(new Probe(&log, true, &destroyed));
  started.get_future().wait();
  pool->ShutdownPool();
  // ShutdownPool returned: the running item has finished, the waiting ones
  // never ran (the run object is destroyed, not leaked), and releasing the
  // pool is safe.
  EXPECT_EQ(log.order, "a");
  EXPECT_EQ(destroyed.load(), 1);
  pool.reset();
  EXPECT_EQ(log.order, "a");
}

TEST(ThreadPool, IdlePoolShutsDownAndCanBeShutDownTwice) {
  CThreadPool pool(2);
  ASSERT_TRUE(pool.Create());
  pool.ShutdownPool();
  pool.ShutdownPool();
  // A pool can be started again after a shutdown.
  ASSERT_TRUE(pool.Create());
  Log log;
  Item again{&log, 'x', {}};
  pool.AddWork(RunItem, &again);
  EXPECT_TRUE(log.WaitFor(1));
}

}  // namespace
}  // namespace wrenly
