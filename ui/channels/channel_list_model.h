// The rows of the channel list: one per listed channel, with its title, the
// "unread/total" text, the feed address, the unread mark, the site icon path
// and the row image. It is also the list a refresh works on
// (IChannelPanel): refresh workers change rows from their threads, and the
// change reaches the view through a queued signal, so a worker never waits
// for the GUI thread. Rows are added and removed on the GUI thread only.
// The rows a refresh numbers are the channels listed when it began
// (SetBusy(true)); its changes go to the row that shows that channel now, or
// nowhere once the channel is no longer listed, so a reload during a refresh
// never hands one channel's results to another.
#pragma once

#include <QAbstractListModel>
#include <atomic>
#include <mutex>
#include <vector>

#include "engine/channel_panel.h"

namespace wrenly::ui {

struct ChannelRow {
  int number = 0;
  std::u16string title;
  std::u16string counts;     // "unread/total", empty without items
  std::u16string url;
  std::u16string hasUnread;  // "1" or "0"
  std::u16string iconPath;
  int image = 1;
  int total = -1, unread = -1;  // -1 until known
};

// A channel as the refresh that began with it listed sees it.
struct RefreshChannel {
  int number = 0;  // 0: none
  std::u16string url;
  std::u16string title;  // as listed when the refresh began
};

class CChannelListModel : public QAbstractListModel, public IChannelPanel {
  Q_OBJECT

 public:
  enum Role { kCountsRole = Qt::UserRole + 1, kUrlRole, kNumberRole, kUnreadRole, kImageRole, kIconPathRole };

  explicit CChannelListModel(QObject* parent = nullptr);

  // GUI thread.
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  void SetRows(std::vector<ChannelRow> rows);
  void RemoveRow(int row);
  ChannelRow Row(int row) const;
  int RowOfChannel(int number) const;
  // Sets both counts of a row and the texts derived from them.
  void SetCounts(int row, int total, int unread);

  // The channel a refresh row stands for (number 0 when there is none).
  RefreshChannel RefreshChannelAt(int refreshRow) const;
  // The channel of the single-channel refresh asked for; 0 for all.
  int TargetChannel() const { return targetChannel_; }

  // IChannelPanel, any thread. Rows are refresh rows, except SetTarget's,
  // which is a row of the list as shown.
  int RowCount() override;
  int ChannelNumber(int row) override;
  std::u16string Text(int row, int column) override;
  void SetText(int row, int column, const std::u16string& text) override;
  void SetIcon(int row, int icon) override;
  void RedrawRow(int row) override;
  int Target() override;
  void SetTarget(int row) override;
  void SetBusy(bool busy) override;
  bool busy() const { return busy_; }

 signals:
  // The user edited a title in place (the row's new title is in the model).
  void titleEdited(int row);
  // A refresh set a row's image (delivered on the GUI thread in the order
  // the refresh set them, each with the image it set).
  void rowImageChanged(int row, int image);

 private:
  // Emits dataChanged for the row on the GUI thread, from any thread.
  void QueueRowChanged(int row);
  // The row that shows a refresh row's channel now, or -1. Under mutex_.
  int ShownRowLocked(int refreshRow) const;

  mutable std::mutex mutex_;
  std::vector<ChannelRow> rows_;
  std::vector<RefreshChannel> refreshRows_;  // the channels when the refresh began
  std::atomic<int> targetChannel_{0};
  std::atomic<bool> busy_{false};
};

// The count text of a row: "unread/total", empty when there are no items.
std::u16string CountText(int total, int unread);

}  // namespace wrenly::ui
