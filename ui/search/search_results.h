// The rows of the search screen: one per headline found, newest first, with
// its channel's name, its date and the picture of its read state; and the
// delegate that draws them (title above, channel and date below). GUI thread.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <cstdint>
#include <string>
#include <vector>

namespace wrenly::ui {

struct SearchRow {
  int channel = 0;
  std::u16string channelTitle;
  std::u16string title;
  std::u16string link;
  std::u16string date;  // cut to 16 characters, as the headline list shows it
  uint32_t flag = 0;    // the read flag as last known
};

class CSearchResultModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role { kImageRole = Qt::UserRole + 1, kDateRole, kNewRole, kChannelRole };

  explicit CSearchResultModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void SetRows(std::vector<SearchRow> rows);
  const SearchRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  void SetFlag(int row, uint32_t flag);
  void Remove(int row);

 private:
  std::vector<SearchRow> rows_;
};

class CSearchResultDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace wrenly::ui
