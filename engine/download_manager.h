// CDownloadManager holds the queue of full-text jobs that refreshes produce
// and runs them one after the other on its own one-worker pool. It keeps the
// URLs of queued jobs and of finished jobs that the headline screen has not
// collected yet. Safe for concurrent use: one lock guards the queue and both
// URL lists; a job runs outside it, so queueing never waits for a fetcher.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

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

  // Runs every job through `runner` (the full-text job in the program).
  explicit CDownloadManager(JobRunner runner);
  // Drops the queued jobs, then waits for a running one and stops the pool.
  ~CDownloadManager();
  CDownloadManager(const CDownloadManager&) = delete;
  CDownloadManager& operator=(const CDownloadManager&) = delete;

  // Queues a job with the manager's use-proxy flag; an empty abort check
  // becomes one that never aborts.
  void AddJob(std::u16string url, std::string fullTextFile, std::string templateFile,
              bool skipFollowUp, int channel, std::function<bool()> abortCheck);
  // Hands one run over the queue to the worker.
  void StartJobs();
  // Destroys every queued job; the URL lists stay.
  void ClearJobs();
  // The oldest finished URL, removed from the list; false when there is none.
  bool PopFinishedUrl(std::u16string& url);
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
  CThreadPool pool_{1};
};

}  // namespace wrenly
