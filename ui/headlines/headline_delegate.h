// Draws a headline row: the row picture at the top left, the title beside
// it (bold while the item is new), and the date right-aligned in grey in the
// lower half of the row.
#pragma once

#include <QStyledItemDelegate>

namespace wrenly::ui {

class CHeadlineDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit CHeadlineDelegate(QObject* parent = nullptr);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The height of a two-line headline row (bold title, date below, or the row
// picture when taller), which the search results share.
QSize HeadlineRowSize(const QStyleOptionViewItem& option);

}  // namespace wrenly::ui
