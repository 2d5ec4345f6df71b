// The channel list as a refresh sees it: one row per channel with the
// channel number as its data and the texts of its columns, an icon, a busy
// mark and a target row. The channel screen and wrenly-cli implement it.
// The refresh thread calls it while the owner's thread may read it, so an
// implementation guards its rows itself.
#pragma once

#include <string>

namespace wrenly {

// Row icons set by a refresh (indices into the channel list's images).
constexpr int kIconUpdated = 1;
constexpr int kIconQueued = 2;
constexpr int kIconInProgress = 8;
constexpr int kIconNotUpdated = 9;

// Columns of a row.
constexpr int kColumnTitle = 0;
constexpr int kColumnCounts = 1;     // "unread/total", empty without items
constexpr int kColumnFeedUrl = 2;
constexpr int kColumnHasUnread = 3;  // "1" or "0"
constexpr int kColumnSiteIcon = 4;   // path of the web site icon

class IChannelPanel {
 public:
  virtual ~IChannelPanel() = default;

  virtual int RowCount() = 0;
  virtual int ChannelNumber(int row) = 0;
  virtual std::u16string Text(int row, int column) = 0;
  virtual void SetText(int row, int column, const std::u16string& text) = 0;
  virtual void SetIcon(int row, int icon) = 0;
  virtual void RedrawRow(int row) = 0;

  // The single row to refresh, or -1 for all rows.
  virtual int Target() = 0;
  virtual void SetTarget(int row) = 0;
  virtual void SetBusy(bool busy) = 0;
  // Why the row's refresh failed (the download's error text); empty when it
  // was cancelled. A panel that shows errors from the item store ignores it.
  virtual void SetLastError(int /*row*/, const std::u16string& /*text*/) {}
};

}  // namespace wrenly
