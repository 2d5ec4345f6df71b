// The refresh as the channel list drives it: the Refresh command toggles
// between starting a refresh and aborting the running one, a refresh waits
// for the network connection when one has to be brought up, docking starts
// one in the docked auto-update mode, the automatic update starts one only
// when none runs, and the end of the full-text jobs ends the refresh
// (WM_REFRESH_DONE to the view, "Wrenly.Download.Finished"). A wait for the
// connection ends when the connection request gives up (released).
// As a Receiver it takes WM_REFRESH_TOGGLE, WM_REFRESH_SCHEDULED,
// WM_NETCONNECTION_STATE and WM_CRADLE_CHANGED. Safe for concurrent use; the
// controller's lock is never held while it calls out (the connection test,
// messages), so a receiver may call back into it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/refresh.h"

namespace wrenly {

class CRefreshController : public Receiver {
 public:
  CRefreshController(IChannelPanel& panel, CDownloadManager& manager, Receiver* view,
                     int parallelChannels = kDefaultParallelChannels);
  // Aborts a running refresh and waits for its thread.
  ~CRefreshController() override;

  // The Refresh command: aborts the running refresh, else starts one.
  void ToggleRefresh();
  // Cancel: aborts the running refresh, or ends the wait for the connection
  // and its request; otherwise nothing (it never starts a refresh).
  void Abort();
  // The automatic update: starts a refresh only when none runs or waits.
  void StartScheduledRefresh();
  void OnNetConnectionState(std::uint64_t state);
  void OnCradleChanged(std::uint64_t cradled);
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

  // The sync a refresh runs first (RefreshContext::sync); set before the
  // first refresh.
  void SetSync(std::function<std::optional<std::u16string>()> sync) { context_.sync = std::move(sync); }

  bool running();
  bool waitingForConnection();
  // Blocks until no refresh runs (the feed phase and the full-text queue).
  void WaitUntilDone();

 private:
  // Tests the connection with the lock released, then starts the refresh or
  // leaves it waiting for the connection.
  void RequestStart();
  void StartLocked();
  void AbortLocked();
  void JoinRetiredLocked();
  void ThreadMain();

  RefreshContext context_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool waiting_ = false;
  int ending_ = 0;  // refresh threads still sending their end messages
  bool closing_ = false;
  std::thread thread_;
  // Earlier refresh threads that were still ending when the next one
  // started; joined once no thread is ending any more.
  std::vector<std::thread> retired_;
};

}  // namespace wrenly
