#include "engine/download_manager.h"

#include <algorithm>

#include "engine/messages.h"
#include "platform/trace.h"

namespace wrenly {

CDownloadManager::CDownloadManager(JobRunner runner, int workers) : runner_(std::move(runner)), pool_(workers) {
  if (!pool_.Create()) Trace("CDownloadManager: the worker thread could not be started\n");
}

CDownloadManager::~CDownloadManager() {
  ClearJobs();
  pool_.ShutdownPool();
}

void CDownloadManager::AddJob(std::u16string url, std::string fullTextFile, std::string templateFile,
                              bool skipFollowUp, int channel, std::function<bool()> abortCheck) {
  auto job = std::make_unique<FullTextJob>();
  job->url = std::move(url);
  job->fullTextFile = std::move(fullTextFile);
  job->templateFile = std::move(templateFile);
  job->channel = channel;
  job->skipFollowUp = skipFollowUp;
  job->useProxy = useProxy_;
  job->abortCheck = abortCheck ? std::move(abortCheck) : [] { return false; };
  std::lock_guard lock(lock_);
  pendingUrls_.push_back(job->url);
  queue_.push_back(std::move(job));
}

bool CDownloadManager::StartJobs() {
  {
    std::lock_guard lock(lock_);
    TraceF("CDownloadManager has %d jobs.\n", static_cast<int>(pendingUrls_.size()));
  }
  if (!CanRunJobs()) {
    Trace("CDownloadManager: no worker thread, the full-text jobs are dropped\n");
    ClearJobs();
    return false;
  }
  pool_.AddWork(&CDownloadManager::RunJobs, this, true);
  return true;
}

void CDownloadManager::RunJobs(void* manager) { static_cast<CDownloadManager*>(manager)->RunQueue(); }

void CDownloadManager::RunQueue() {
  for (;;) {
    std::unique_ptr<FullTextJob> job;
    {
      std::lock_guard lock(lock_);
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      ++running_;
    }
    runner_(*job);
    {
      std::lock_guard lock(lock_);
      const auto it = std::find(pendingUrls_.begin(), pendingUrls_.end(), job->url);
      if (it != pendingUrls_.end()) finishedUrls_.splice(finishedUrls_.end(), pendingUrls_, it);
      if (finishedUrls_.size() > kMaxFinishedUrls) finishedUrls_.pop_front();
      --running_;
    }
    job.reset();
    BroadcastRegistered(kMsgFulltextFetched);
  }
}

void CDownloadManager::ClearJobs() {
  std::deque<std::unique_ptr<FullTextJob>> dropped;
  std::lock_guard lock(lock_);
  dropped.swap(queue_);
  for (const auto& job : dropped) {
    const auto it = std::find(pendingUrls_.begin(), pendingUrls_.end(), job->url);
    if (it != pendingUrls_.end()) pendingUrls_.erase(it);
  }
}

bool CDownloadManager::PopFinishedUrl(std::u16string& url) {
  std::lock_guard lock(lock_);
  if (finishedUrls_.empty()) return false;
  url = std::move(finishedUrls_.front());
  finishedUrls_.pop_front();
  return true;
}

void CDownloadManager::ClearFinishedUrls() {
  std::lock_guard lock(lock_);
  finishedUrls_.clear();
}

bool CDownloadManager::HasPendingJob(std::u16string_view url) {
  std::lock_guard lock(lock_);
  return std::find(pendingUrls_.begin(), pendingUrls_.end(), url) != pendingUrls_.end();
}

bool CDownloadManager::IsIdle() {
  std::lock_guard lock(lock_);
  return queue_.empty();
}

bool CDownloadManager::IsDrained() {
  std::lock_guard lock(lock_);
  return queue_.empty() && running_ == 0;
}

}  // namespace wrenly
