// Draws a channel row: the channel's own site icon (with the refresh's status
// mark over it) or the row image, the title, bold while the channel has
// unread items, and the "unread/total" text right-aligned in grey.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace wrenly::ui {

class CChannelDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit CChannelDelegate(QObject* parent = nullptr);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

 private:
  // The site icon file as a picture; null when missing or unreadable.
  QPixmap SiteIcon(const QString& path) const;
  void DrawImage(QPainter* painter, const QRect& box, const QModelIndex& index, qreal ratio) const;

  struct CachedIcon {
    QDateTime modified;
    QPixmap pixmap;
  };
  mutable QHash<QString, CachedIcon> icons_;
};

// Whether an image index is a status mark drawn over a site icon.
bool IsStatusMark(int image);

}  // namespace wrenly::ui
