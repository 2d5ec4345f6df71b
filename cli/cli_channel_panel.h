// The channel list of wrenly-cli: the catalog's channels (all of them or a
// chosen few) as the rows a refresh works on. It keeps each row's outcome
// and counts for the report.
// Safe for concurrent use: the refresh thread changes rows while the
// command's thread waits; the catalog is touched only by the command's thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/channel_panel.h"
#include "platform/notifier.h"

namespace wrenly::cli {

struct ChannelRow {
  int number = 0;
  std::u16string title;
  std::u16string url;
  std::u16string counts;  // "unread/total" as the refresh shows it
  std::u16string hasUnread, siteIcon;
  int icon = 0;
  std::u16string error;  // why the refresh failed
  int total = -1, unread = -1;  // from WM_CHANNEL_COUNTS; -1 when none came
};

// The catalog's channels in catalog order; empty when it cannot be read.
std::vector<ChannelRow> LoadCatalogChannels();

class CliChannelPanel : public IChannelPanel, public Receiver {
 public:
  explicit CliChannelPanel(std::vector<ChannelRow> rows);

  int RowCount() override;
  int ChannelNumber(int row) override;
  std::u16string Text(int row, int column) override;
  void SetText(int row, int column, const std::u16string& text) override;
  void SetIcon(int row, int icon) override;
  void RedrawRow(int) override {}
  int Target() override;
  void SetTarget(int row) override;
  void SetBusy(bool) override {}
  void SetLastError(int row, const std::u16string& text) override;
  // Takes WM_CHANNEL_COUNTS.
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

  std::vector<ChannelRow> Rows();

 private:
  std::mutex mutex_;
  std::vector<ChannelRow> rows_;
  int target_ = -1;
};

}  // namespace wrenly::cli
