// The rows of the channel list: one per listed channel, with its title, the
// "unread/total" text, the feed address, the unread mark, the site icon path
// and the row image. It is also the list a refresh works on
// (IChannelPanel): refresh workers change rows from their threads, and the
// change reaches the view through a queued signal, so a worker never waits
// for the GUI thread. Rows are added and removed on the GUI thread only.
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

  // IChannelPanel, any thread.
  int RowCount() override;
  int ChannelNumber(int row) override;
  std::u16string Text(int row, int column) override;
  void SetText(int row, int column, const std::u16string& text) override;
  void SetIcon(int row, int icon) override;
  void RedrawRow(int row) override;
  int Target() override { return target_; }
  void SetTarget(int row) override { target_ = row; }
  void SetBusy(bool busy) override { busy_ = busy; }
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

  mutable std::mutex mutex_;
  std::vector<ChannelRow> rows_;
  std::atomic<int> target_{-1};
  std::atomic<bool> busy_{false};
};

// The count text of a row: "unread/total", empty when there are no items.
std::u16string CountText(int total, int unread);

}  // namespace wrenly::ui
