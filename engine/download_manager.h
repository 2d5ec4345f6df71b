// CDownloadManager holds the queue of full-text jobs that refreshes produce
// and runs them one after the other on its own one-worker pool. It keeps the
// URLs of queued jobs and of the last finished jobs that the headline screen
// has not collected yet (at most kMaxFinishedUrls). Safe for concurrent use: one lock guards the queue and both
// URL lists; a job runs outside it, so queueing never waits for a fetcher.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/thread_pool.h"

namespace wrenly {

struct FullTextJob {
  std::u16string url;         // the item's link
  std::string fullTextFile;   // the "Ch%03d-%08d-%03d.htm" file the fetcher writes
  std::string templateFile;   // the channel's "Ch%03d.tpl"
  int channel = 0;
  bool skipFollowUp = false;  // do not mark the item nor fetch its pictures
  bool useProxy = false;
  std::function<bool()> abortCheck;  // never empty once queued
};

class CDownloadManager {
 public:
  using JobRunner = std::function<void(const FullTextJob&)>;
  // Finished URLs nobody collects are dropped oldest first beyond this many.
  static constexpr std::size_t kMaxFinishedUrls = 1000;

  // Runs every job through `runner` (the full-text job in the program) on
  // one worker; tests pass 0 workers for a manager whose worker could not start.
  explicit CDownloadManager(JobRunner runner, int workers = 1);
  // Drops the queued jobs, then waits for a running one and stops the pool.
  ~CDownloadManager();
  CDownloadManager(const CDownloadManager&) = delete;
  CDownloadManager& operator=(const CDownloadManager&) = delete;

  // Queues a job with the manager's use-proxy flag; an empty abort check
  // becomes one that never aborts.
  void AddJob(std::u16string url, std::string fullTextFile, std::string templateFile,
              bool skipFollowUp, int channel, std::function<bool()> abortCheck);
  // Hands one run over the queue to the worker. Without a worker the queued
  // jobs are dropped (they could never run) and the result is false.
  bool StartJobs();
  // Destroys every queued job with its pending URL; the finished URLs stay.
  void ClearJobs();
  // False when the worker thread could not be started: jobs never run.
  bool CanRunJobs() { return pool_.IsRunning(); }
  // The oldest finished URL, removed from the list; false when there is none.
  bool PopFinishedUrl(std::u16string& url);
  // Forgets every finished URL nobody collected.
  void ClearFinishedUrls();
  // Whether a job for this link is queued or running.
  bool HasPendingJob(std::u16string_view url);
  // Idle: nothing queued. A job already taken off the queue may still run.
  bool IsIdle();
  // Nothing queued and no job running.
  bool IsDrained();

  void SetUseProxy(bool useProxy) { useProxy_ = useProxy; }
  bool useProxy() const { return useProxy_; }

 private:
  static void RunJobs(void* manager);
  void RunQueue();

  const JobRunner runner_;
  std::atomic<bool> useProxy_{false};
  std::mutex lock_;
  std::deque<std::unique_ptr<FullTextJob>> queue_;
  std::list<std::u16string> pendingUrls_;
  std::list<std::u16string> finishedUrls_;
  int running_ = 0;
  CThreadPool pool_;
};

}  // namespace wrenly
