// The refresh as a front end runs it (the window's channel list, wrenly-cli's
// refresh and auto commands): the channels on a panel, all of them or one,
// on the data root the settings name. It owns the refresh controller, and
// the queue of full-text jobs unless the front end shares one with its other
// screens. The engine holds the data root's lock per merge, error record and
// full-text record only, so the other program stays usable meanwhile. The
// counts each channel ends with are gathered and stored in the catalog
// (ReaderData::StoreCounts) in one save when the refresh ends, when asked,
// and when this object goes.
// Safe for concurrent use: the panel and the view get calls from the
// refresh's threads.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/channel_panel.h"
#include "engine/download_manager.h"
#include "engine/refresh_controller.h"
#include "platform/notifier.h"
#include "reader/result.h"
#include "store/channel_counts.h"

namespace wrenly::reader {

class Refresh : public Receiver {
 public:
  // `view` gets every message of the refresh (WM_CHANNEL_COUNTS,
  // WM_REFRESH_DONE, ...), after the counts were noted; it may be null.
  // With its own queue of full-text jobs.
  Refresh(IChannelPanel& panel, Receiver* view);
  // With the caller's queue, which must outlive this object.
  Refresh(IChannelPanel& panel, Receiver* view, CDownloadManager& downloads);
  // Aborts a running refresh, waits for its thread and stores the counts
  // gathered so far.
  ~Refresh() override;
  Refresh(const Refresh&) = delete;
  Refresh& operator=(const Refresh&) = delete;

  // The Refresh command: starts a refresh of every row of the panel (-1) or
  // of one row, or aborts the running refresh.
  void Toggle(int row = -1);
  // Cancel: aborts the running refresh or the wait for the connection.
  void Abort();
  bool running() { return controller_.running(); }
  bool waitingForConnection() { return controller_.waitingForConnection(); }
  // Blocks until the refresh and every full-text job it queued have ended.
  void Wait();
  // Stores the counts gathered since the last save in the catalog; when
  // that fails they are kept for the next save.
  Result StoreCounts();

  // The connection, docking and schedule messages (WM_NETCONNECTION_STATE,
  // WM_CRADLE_CHANGED, WM_REFRESH_SCHEDULED, WM_REFRESH_TOGGLE).
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

  CDownloadManager& downloads() { return downloads_; }
  // For the automatic update and the dock watch, which start refreshes.
  CRefreshController& controller() { return controller_; }

 private:
  // The controller's view: notes the counts, stores them at the end, and
  // passes every message on.
  class CountsTap : public Receiver {
   public:
    CountsTap(Refresh& owner, Receiver* view) : owner_(owner), view_(view) {}
    void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

   private:
    Refresh& owner_;
    Receiver* view_;
  };

  IChannelPanel& panel_;
  std::unique_ptr<CDownloadManager> ownDownloads_;
  CDownloadManager& downloads_;
  CountsTap tap_;
  std::mutex mutex_;
  std::map<std::u16string, ChannelCountValues> counts_;  // by feed address, not stored yet
  CRefreshController controller_;
};

}  // namespace wrenly::reader
