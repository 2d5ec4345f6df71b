// The process-wide transfer state: the abort flag, the use-proxy flag and the
// proxy address that every DownloadUrlToFile of the process obeys, and the
// list of running transfers that an abort wakes at once.
// Safe for concurrent use: any thread may abort while transfers run.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace wrenly {

// Implemented by a running transfer: Wake makes its wait return at once.
class TransferWaker {
 public:
  virtual ~TransferWaker() = default;
  virtual void Wake() = 0;
};

class TransferControl {
 public:
  // A local caching proxy on the standard port; callers that know better
  // (the fetcher's command line) replace it.
  static constexpr const char* kDefaultProxyAddress = "localhost:80";
  static constexpr std::chrono::milliseconds kDefaultReadLimit{50000};
  static constexpr std::chrono::milliseconds kOpenLimit{30000};

  TransferControl();

  // The abort flag stays set until cleared by the code that starts new work.
  void SetAbortFlag() { abort_.store(true); }
  void ClearAbortFlag() { abort_.store(false); }
  bool AbortFlag() const { return abort_.load(); }

  // Wakes every running transfer so that it sees the abort flag at once, also
  // one that waits on a silent connection. False when none was running (the
  // caller may then tell other processes instead).
  bool WakeRunningTransfers();
  // SetAbortFlag, then WakeRunningTransfers.
  bool AbortRunningTransfers();
  bool TransfersRunning() const;

  void SetUseProxy(bool on) { useProxy_.store(on); }
  bool UseProxy() const { return useProxy_.load(); }
  // host:port of the HTTP proxy used while UseProxy() is on.
  void SetProxyAddress(std::string address);
  std::string ProxyAddress() const;

  // How long a read may receive nothing before the transfer ends quietly.
  // Only tests shorten it.
  void SetReadLimit(std::chrono::milliseconds limit) { readLimitMs_.store(limit.count()); }
  std::chrono::milliseconds ReadLimit() const { return std::chrono::milliseconds(readLimitMs_.load()); }

  // Used by DownloadUrlToFile around its transfer loop.
  void AddRunning(TransferWaker* waker);
  void RemoveRunning(TransferWaker* waker);

 private:
  std::atomic<bool> abort_{false};
  std::atomic<bool> useProxy_{false};
  std::atomic<long long> readLimitMs_;
  mutable std::mutex mutex_;
  std::string proxyAddress_;             // guarded by mutex_
  std::vector<TransferWaker*> running_;  // guarded by mutex_
};

// The one TransferControl of the process.
TransferControl& GetTransferControl();

}  // namespace wrenly
