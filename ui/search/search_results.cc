#include "ui/search/search_results.h"

#include <QPainter>

#include "reader/reading.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"
#include "ui/headlines/headline_delegate.h"
#include "ui/headlines/headline_model.h"

namespace wrenly::ui {
namespace {

constexpr int kMargin = 6;
const QColor kQuietColor(128, 128, 128);

bool IsUnread(uint32_t flag) { return flag == reader::kFlagUnread || flag == reader::kFlagUnreadFullText; }

// What a screen reader says after the title: "World, Unread, 2026-12-04 10:00".
QString AccessibleState(const SearchRow& row) {
  return ToQString(row.channelTitle) + ", " + Tr(IsUnread(row.flag) ? u"Unread" : u"Read") + ", " +
         ToQString(row.date);
}

}  // namespace

CSearchResultModel::CSearchResultModel(QObject* parent) : QAbstractListModel(parent) {}

int CSearchResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant CSearchResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const SearchRow& row = Row(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: return ToQString(row.title);
    case Qt::AccessibleDescriptionRole: return AccessibleState(row);
    case kImageRole: return HeadlineImage(row.flag, false, false);
    case kDateRole: return ToQString(row.date);
    case kNewRole: return IsUnread(row.flag);
    case kChannelRole: return ToQString(row.channelTitle);
    default: return {};
  }
}

void CSearchResultModel::SetRows(std::vector<SearchRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void CSearchResultModel::SetFlag(int row, uint32_t flag) {
  rows_[static_cast<size_t>(row)].flag = flag;
  emit dataChanged(index(row), index(row));
}

void CSearchResultModel::Remove(int row) {
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void CSearchResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  painter->save();
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());

  const int edge = ListImageSize(option.widget);
  const QRect box = option.rect.adjusted(kMargin, kMargin / 2, -kMargin, -kMargin / 2);
  painter->drawPixmap(QRect(box.left(), box.top() + 2, edge, edge),
                      ListImagePixmap(index.data(CSearchResultModel::kImageRole).toInt(), edge,
                                      painter->device()->devicePixelRatioF()));

  const QRect text = box.adjusted(edge + kMargin, 0, 0, 0);
  const int half = text.height() / 2;
  QFont titleFont = option.font;
  titleFont.setWeight(index.data(CSearchResultModel::kNewRole).toBool() ? QFont::Bold : QFont::Normal);
  painter->setFont(titleFont);
  painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
  painter->drawText(QRect(text.left(), text.top(), text.width(), half), Qt::AlignLeft | Qt::AlignVCenter,
                    QFontMetrics(titleFont).elidedText(index.data().toString(), Qt::ElideRight, text.width()));

  // The date keeps its room; the channel's name takes what is left.
  painter->setFont(option.font);
  painter->setPen(selected ? palette.highlightedText().color() : kQuietColor);
  const QFontMetrics metrics(option.font);
  const QString date = index.data(CSearchResultModel::kDateRole).toString();
  const int dateWidth = metrics.horizontalAdvance(date);
  const QRect lower(text.left(), text.top() + half, text.width(), text.height() - half);
  painter->drawText(lower, Qt::AlignRight | Qt::AlignVCenter, date);
  const QString channel = index.data(CSearchResultModel::kChannelRole).toString();
  painter->drawText(lower.adjusted(0, 0, -dateWidth - 2 * kMargin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    metrics.elidedText(channel, Qt::ElideRight, std::max(0, lower.width() - dateWidth - 2 * kMargin)));
  painter->restore();
}

QSize CSearchResultDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return HeadlineRowSize(option);
}

}  // namespace wrenly::ui
