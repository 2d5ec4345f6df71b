#include "ui/channels/channel_delegate.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include "ui/channels/channel_list_model.h"
#include "ui/frame/pictures.h"

namespace wrenly::ui {
namespace {

constexpr int kMargin = 6;
const QColor kCountColor(128, 128, 128);

int ImageEdge(const QStyleOptionViewItem& option) { return ListImageSize(option.widget); }

}  // namespace

bool IsStatusMark(int image) {
  return image == kImageWaiting || image == kImageDownloading || image == kImageFailed ||
         image == kImageUnreadFullText;
}

CChannelDelegate::CChannelDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QPixmap CChannelDelegate::SiteIcon(const QString& path) const {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isFile()) return {};
  auto it = icons_.find(path);
  if (it == icons_.end() || it->modified != info.lastModified()) {
    const QImage image(path);
    it = icons_.insert(path, {info.lastModified(), image.isNull() ? QPixmap() : QPixmap::fromImage(image)});
  }
  return it->pixmap;
}

void CChannelDelegate::DrawImage(QPainter* painter, const QRect& box, const QModelIndex& index,
                                 qreal ratio) const {
  const int image = index.data(CChannelListModel::kImageRole).toInt();
  const QPixmap icon = SiteIcon(index.data(CChannelListModel::kIconPathRole).toString());
  if (icon.isNull()) {
    painter->drawPixmap(box, ListImagePixmap(image, box.width(), ratio));
    return;
  }
  painter->setRenderHint(QPainter::SmoothPixmapTransform);
  painter->drawPixmap(box, icon);
  if (IsStatusMark(image)) {
    // The mark goes over the lower right of the icon, so both stay visible.
    const int edge = box.width() * 2 / 3;
    const QRect corner(box.right() - edge + 1, box.bottom() - edge + 1, edge, edge);
    painter->drawPixmap(corner, ListImagePixmap(image, edge, ratio));
  }
}

void CChannelDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  painter->save();
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());

  const int edge = ImageEdge(option);
  const QRect imageBox(option.rect.left() + kMargin, option.rect.center().y() - edge / 2 + 1, edge, edge);
  DrawImage(painter, imageBox, index, painter->device()->devicePixelRatioF());

  const QString counts = index.data(CChannelListModel::kCountsRole).toString();
  QFont countFont = option.font;
  const QFontMetrics countMetrics(countFont);
  const int countWidth = counts.isEmpty() ? 0 : countMetrics.horizontalAdvance(counts) + kMargin;
  QRect text = option.rect.adjusted(edge + 2 * kMargin, 0, -kMargin, 0);
  if (countWidth > 0) {
    painter->setFont(countFont);
    painter->setPen(selected ? palette.highlightedText().color() : kCountColor);
    painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter, counts);
    text.setRight(text.right() - countWidth);
  }

  QFont titleFont = option.font;
  titleFont.setWeight(index.data(CChannelListModel::kUnreadRole).toBool() ? QFont::Bold : QFont::Normal);
  painter->setFont(titleFont);
  painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
  const QString title = QFontMetrics(titleFont).elidedText(index.data().toString(), Qt::ElideRight, text.width());
  painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title);
  painter->restore();
}

QSize CChannelDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  const int line = QFontMetrics(option.font).height();
  return {option.rect.width(), std::max(ImageEdge(option), line) + 2 * kMargin + 4};
}

void CChannelDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
  const int edge = ImageEdge(option);
  editor->setGeometry(option.rect.adjusted(edge + 2 * kMargin - 3, 2, -kMargin, -2));
}

}  // namespace wrenly::ui
