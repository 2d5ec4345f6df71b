// The refresh as the channel list drives it: the Refresh command toggles
// between starting a refresh and aborting the running one, a refresh waits
// for the network connection when one has to be brought up, docking starts
// one in the docked auto-update mode, and the end of the full-text jobs ends
// the refresh (WM_REFRESH_DONE to the view, "Wrenly.Download.Finished").
// As a Receiver it takes WM_REFRESH_TOGGLE, WM_NETCONNECTION_STATE and
// WM_CRADLE_CHANGED. Safe for concurrent use.
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

  void ToggleRefresh();
  void OnNetConnectionState(std::uint64_t state);
  void OnCradleChanged(std::uint64_t cradled);
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

  bool running();
  bool waitingForConnection();
  // Blocks until no refresh runs (the feed phase and the full-text queue).
  void WaitUntilDone();

 private:
  void StartLocked();
  void AbortLocked();
  void ThreadMain();

  RefreshContext context_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool waiting_ = false;
  bool ending_ = false;  // the end messages are on their way
  bool closing_ = false;
  std::thread thread_;
  std::vector<std::thread> retired_;  // earlier refresh threads still ending
};

}  // namespace wrenly
