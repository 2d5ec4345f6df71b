// CThreadPool runs queued work items on a fixed set of worker threads. A work
// item is a function with a parameter or a run object. Wake-ups are directed:
// adding an item wakes one free worker; a worker keeps draining the list
// before it sleeps again. Thread-safe; one lock guards the list and the
// worker records, and work items run outside it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace wrenly {

using WorkFunction = void (*)(void* parameter);

// Work handed to the pool as an object. After Run() the pool calls
// OnRunEnded() and OnRunCompleted(); it calls Destroy() only when Run()
// returned true, so an object that returns false stays the caller's.
class CRunObject {
 public:
  virtual void OnRunEnded() {}
  virtual void OnRunCompleted() {}
  virtual bool Run() = 0;
  virtual void Destroy() { delete this; }

 protected:
  virtual ~CRunObject() = default;
};

class CThreadPool {
 public:
  explicit CThreadPool(int threadCount);
  virtual ~CThreadPool();
  CThreadPool(const CThreadPool&) = delete;
  CThreadPool& operator=(const CThreadPool&) = delete;

  // Starts the workers; false when a thread cannot be created (the workers
  // already started are shut down again).
  bool Create();
  // atBack appends; otherwise the item goes in front of the waiting ones.
  void AddWork(WorkFunction function, void* parameter, bool atBack = true);
  void AddWork(CRunObject* runObject, bool atBack = true);
  // Stops every worker. Waiting functions are dropped and waiting run objects
  // destroyed without running (Destroy()); a worker inside an item is waited
  // for, so nothing runs against a released pool. Idempotent.
  void ShutdownPool();

  // True from the start of a shutdown: a long work item may end early.
  bool IsShuttingDown();
  // True while the workers run (after a successful Create, before shutdown).
  bool IsRunning();
  int threadCount() const { return threadCount_; }

 private:
  struct WorkItem {
    WorkFunction function = nullptr;
    void* parameter = nullptr;  // the run object when function is empty
  };
  struct ThreadRecord {
    bool free = true;
    bool event = false;  // the worker's wake-up event (manual reset)
    std::uint32_t threadId = 0;
    std::condition_variable wake;
    std::thread thread;
  };

  void Enqueue(const WorkItem& item, bool atBack);
  void WorkerMain(ThreadRecord* record);
  // Takes the front item, or marks the worker free when the list is empty.
  bool PopWork(ThreadRecord* record, WorkItem* item);
  void MarkBusy(ThreadRecord* record);
  void MarkFree(ThreadRecord* record);
  static void RunItem(const WorkItem& item, const ThreadRecord& record);

  const int threadCount_;
  std::mutex lock_;
  std::deque<WorkItem> work_;
  std::vector<std::unique_ptr<ThreadRecord>> threads_;  // in creation order
  bool shutdown_ = false;
  int running_ = 0;  // workers that have not left their loop yet
  std::condition_variable exited_;
};

}  // namespace wrenly
