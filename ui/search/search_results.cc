#include "ui/search/search_results.h"

#include <QPainter>

#include "reader/reading.h"
#include "ui/frame/tr.h"
#include "ui/headlines/headline_delegate.h"
#include "ui/headlines/headline_model.h"

namespace wrenly::ui {
namespace {

constexpr int kMargin = 6;

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
  const QRect lower =
      PaintHeadlineRow(painter, option, index.data(CSearchResultModel::kImageRole).toInt(),
                       index.data(CSearchResultModel::kNewRole).toBool(), index.data().toString());
  // The date keeps its room; the channel's name takes what is left.
  const QFontMetrics metrics(option.font);
  const QString date = index.data(CSearchResultModel::kDateRole).toString();
  const int dateWidth = metrics.horizontalAdvance(date);
  painter->drawText(lower, Qt::AlignRight | Qt::AlignVCenter, date);
  const QString channel = index.data(CSearchResultModel::kChannelRole).toString();
  const int room = std::max(0, lower.width() - dateWidth - 2 * kMargin);
  painter->drawText(lower.adjusted(0, 0, -dateWidth - 2 * kMargin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    metrics.elidedText(channel, Qt::ElideRight, room));
  painter->restore();
}

QSize CSearchResultDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return HeadlineRowSize(option);
}

}  // namespace wrenly::ui
