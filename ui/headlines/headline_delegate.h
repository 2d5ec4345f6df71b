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

// Paints what every headline row has: its background, its picture and its
// title (bold while new) in the upper half. Returns the lower half beside the
// picture, for the date and what else the row shows, with the painter set to
// the row's font and its quiet colour; the caller saves and restores it.
QRect PaintHeadlineRow(QPainter* painter, const QStyleOptionViewItem& option, int image, bool isNew,
                       const QString& title);

// The height of a two-line headline row (bold title, date below, or the row
// picture when taller), which the search results share.
QSize HeadlineRowSize(const QStyleOptionViewItem& option);

}  // namespace wrenly::ui
