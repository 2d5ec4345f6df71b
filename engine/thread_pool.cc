#include "engine/thread_pool.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

#include "platform/trace.h"

namespace wrenly {
namespace {

// Workers get this long to leave their wait at shutdown before the pool says
// that it is waiting for one that is still inside a work item.
constexpr std::chrono::milliseconds kShutdownGrace{1000};

unsigned HandleOf(pthread_t thread) { return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(thread)); }

}  // namespace

CThreadPool::CThreadPool(int threadCount) : threadCount_(threadCount) {}

CThreadPool::~CThreadPool() { ShutdownPool(); }

bool CThreadPool::Create() {
  std::lock_guard lock(lock_);
  if (!threads_.empty()) return true;
  shutdown_ = false;
  try {
    // The lock is held while the workers start, so each one finds its record
    // in place before it looks at it.
    for (int i = 0; i < threadCount_; ++i) {
      auto record = std::make_unique<ThreadRecord>();
      ThreadRecord* raw = record.get();
      threads_.push_back(std::move(record));
      raw->thread = std::thread(&CThreadPool::WorkerMain, this, raw);
      ++running_;
    }
  } catch (const std::system_error&) {
    Trace("CThreadPool: cannot create a worker thread\n");
    if (!threads_.back()->thread.joinable()) threads_.pop_back();
    lock_.unlock();
    ShutdownPool();
    lock_.lock();
    return false;
  }
  return true;
}

void CThreadPool::AddWork(WorkFunction function, void* parameter, bool atBack) {
  if (function != nullptr) Enqueue({function, parameter}, atBack);
}

void CThreadPool::AddWork(CRunObject* runObject, bool atBack) {
  if (runObject != nullptr) Enqueue({nullptr, runObject}, atBack);
}

void CThreadPool::Enqueue(const WorkItem& item, bool atBack) {
  std::lock_guard lock(lock_);
  if (atBack)
    work_.push_back(item);
  else
    work_.push_front(item);
  for (auto& record : threads_) {
    if (!record->free) continue;
    record->free = false;
    record->event = true;
    record->wake.notify_one();
    break;
  }
}

void CThreadPool::WorkerMain(ThreadRecord* record) {
  {
    std::lock_guard lock(lock_);
    record->threadId = static_cast<std::uint32_t>(gettid());
  }
  TraceF("Thread created, handle = %08x, id = %08x\n", HandleOf(pthread_self()), record->threadId);
  for (;;) {
    WorkItem item;
    {
      std::unique_lock lock(lock_);
      record->wake.wait(lock, [&] { return shutdown_ || record->event; });
      if (shutdown_) break;
      if (!PopWork(record, &item)) continue;
    }
    MarkBusy(record);
    RunItem(item, *record);
    MarkFree(record);
  }
  std::lock_guard lock(lock_);
  --running_;
  exited_.notify_all();
}

bool CThreadPool::PopWork(ThreadRecord* record, WorkItem* item) {
  if (work_.empty()) {
    // Woken for an item that another worker took first: without this the
    // worker would stay marked busy with its event set and spin.
    record->free = true;
    record->event = false;
    return false;
  }
  *item = work_.front();
  work_.pop_front();
  return true;
}

void CThreadPool::MarkBusy(ThreadRecord* record) {
  std::lock_guard lock(lock_);
  record->free = false;
  TraceF("Thread busy, thread id = 0x%08x\n", record->threadId);
}

void CThreadPool::MarkFree(ThreadRecord* record) {
  std::lock_guard lock(lock_);
  record->free = true;
  TraceF("Thread free, thread id = 0x%08x\n", record->threadId);
  // Reset under the lock, so an item added meanwhile always finds the event
  // set or the worker free.
  if (work_.empty()) record->event = false;
}

void CThreadPool::RunItem(const WorkItem& item, const ThreadRecord& record) {
  if (item.function != nullptr) {
    item.function(item.parameter);
    return;
  }
  auto* runObject = static_cast<CRunObject*>(item.parameter);
  const bool destroy = runObject->Run();
  runObject->OnRunEnded();
  runObject->OnRunCompleted();
  const unsigned handle = HandleOf(pthread_self());
  if (destroy) {
    TraceF("Deleting Run Object of thread , handle = %08x, id = %08x\n", handle, record.threadId);
    runObject->Destroy();
  } else {
    TraceF("Not Deleted Run Object of thread , handle = %08x, id = %08x\n", handle, record.threadId);
  }
}

bool CThreadPool::IsShuttingDown() {
  std::lock_guard lock(lock_);
  return shutdown_;
}

bool CThreadPool::IsRunning() {
  std::lock_guard lock(lock_);
  return !threads_.empty() && !shutdown_;
}

void CThreadPool::ShutdownPool() {
  std::unique_lock lock(lock_);
  if (threads_.empty()) return;
  shutdown_ = true;
  for (auto& record : threads_) record->wake.notify_one();
  if (!exited_.wait_for(lock, kShutdownGrace, [&] { return running_ == 0; }))
    Trace("CThreadPool: a worker is still inside a work item, waiting for it\n");
  std::vector<std::unique_ptr<ThreadRecord>> threads = std::move(threads_);
  threads_.clear();
  lock.unlock();
  for (auto& record : threads)
    if (record->thread.joinable()) record->thread.join();
  lock.lock();
  std::deque<WorkItem> dropped;
  dropped.swap(work_);
  lock.unlock();
  // The pool owns a run object from AddWork on; one that never ran goes too.
  for (const WorkItem& item : dropped)
    if (item.function == nullptr) static_cast<CRunObject*>(item.parameter)->Destroy();
}

}  // namespace wrenly
