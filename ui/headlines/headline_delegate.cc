#include "ui/headlines/headline_delegate.h"

#include <QPainter>

#include "ui/frame/pictures.h"
#include "ui/headlines/headline_model.h"

namespace wrenly::ui {
namespace {

constexpr int kMargin = 6;
const QColor kDateColor(128, 128, 128);

}  // namespace

CHeadlineDelegate::CHeadlineDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void CHeadlineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  painter->save();
  const QRect lower =
      PaintHeadlineRow(painter, option, index.data(CHeadlineModel::kImageRole).toInt(),
                       index.data(CHeadlineModel::kNewRole).toBool(), index.data().toString());
  painter->drawText(lower, Qt::AlignRight | Qt::AlignVCenter, index.data(CHeadlineModel::kDateRole).toString());
  painter->restore();
}

QRect PaintHeadlineRow(QPainter* painter, const QStyleOptionViewItem& option, int image, bool isNew,
                       const QString& title) {
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());

  const int edge = ListImageSize(option.widget);
  const QRect box = option.rect.adjusted(kMargin, kMargin / 2, -kMargin, -kMargin / 2);
  painter->drawPixmap(QRect(box.left(), box.top() + 2, edge, edge),
                      ListImagePixmap(image, edge, painter->device()->devicePixelRatioF()));

  const QRect text = box.adjusted(edge + kMargin, 0, 0, 0);
  const int half = text.height() / 2;
  QFont titleFont = option.font;
  titleFont.setWeight(isNew ? QFont::Bold : QFont::Normal);
  painter->setFont(titleFont);
  painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
  painter->drawText(QRect(text.left(), text.top(), text.width(), half), Qt::AlignLeft | Qt::AlignVCenter,
                    QFontMetrics(titleFont).elidedText(title, Qt::ElideRight, text.width()));

  painter->setFont(option.font);
  painter->setPen(selected ? palette.highlightedText().color() : kDateColor);
  return {text.left(), text.top() + half, text.width(), text.height() - half};
}

QSize CHeadlineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return HeadlineRowSize(option);
}

QSize HeadlineRowSize(const QStyleOptionViewItem& option) {
  QFont bold = option.font;
  bold.setWeight(QFont::Bold);
  const int lines = QFontMetrics(bold).height() + QFontMetrics(option.font).height();
  return {option.rect.width(), std::max(lines + 4, ListImageSize(option.widget)) + kMargin};
}

}  // namespace wrenly::ui
