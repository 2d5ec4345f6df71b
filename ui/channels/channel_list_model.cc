#include "ui/channels/channel_list_model.h"

#include "platform/text.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

std::u16string CountText(int total, int unread) {
  return total > 0 ? Utf8ToUtf16(std::to_string(unread) + "/" + std::to_string(total)) : std::u16string();
}

CChannelListModel::CChannelListModel(QObject* parent) : QAbstractListModel(parent) {}

int CChannelListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

QVariant CChannelListModel::data(const QModelIndex& index, int role) const {
  std::lock_guard lock(mutex_);
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const ChannelRow& row = rows_[index.row()];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return ToQString(row.title);
    case kCountsRole: return ToQString(row.counts);
    case kUrlRole: return ToQString(row.url);
    case kNumberRole: return row.number;
    case kUnreadRole: return row.hasUnread == u"1";
    case kImageRole: return row.image;
    case kIconPathRole: return ToQString(row.iconPath);
    default: return {};
  }
}

bool CChannelListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const QString title = value.toString().trimmed();
  if (role != Qt::EditRole || !index.isValid() || title.isEmpty()) return false;
  {
    std::lock_guard lock(mutex_);
    if (index.row() >= static_cast<int>(rows_.size())) return false;
    if (rows_[index.row()].title == ToU16(title)) return true;
    rows_[index.row()].title = ToU16(title);
  }
  emit dataChanged(index, index);
  emit titleEdited(index.row());
  return true;
}

Qt::ItemFlags CChannelListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

void CChannelListModel::SetRows(std::vector<ChannelRow> rows) {
  beginResetModel();
  {
    std::lock_guard lock(mutex_);
    rows_ = std::move(rows);
  }
  endResetModel();
}

void CChannelListModel::RemoveRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  beginRemoveRows({}, row, row);
  {
    std::lock_guard lock(mutex_);
    rows_.erase(rows_.begin() + row);
  }
  endRemoveRows();
}

ChannelRow CChannelListModel::Row(int row) const {
  std::lock_guard lock(mutex_);
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row] : ChannelRow{};
}

int CChannelListModel::RowOfChannel(int number) const {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].number == number) return static_cast<int>(i);
  return -1;
}

void CChannelListModel::SetCounts(int row, int total, int unread) {
  {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    ChannelRow& r = rows_[row];
    r.total = total;
    r.unread = unread;
    r.counts = CountText(total, unread);
    r.hasUnread = unread >= 1 ? u"1" : u"0";
  }
  emit dataChanged(index(row), index(row));
}

int CChannelListModel::RowCount() { return rowCount(); }

int CChannelListModel::ChannelNumber(int row) { return Row(row).number; }

std::u16string CChannelListModel::Text(int row, int column) {
  const ChannelRow r = Row(row);
  switch (column) {
    case kColumnTitle: return r.title;
    case kColumnCounts: return r.counts;
    case kColumnFeedUrl: return r.url;
    case kColumnHasUnread: return r.hasUnread;
    case kColumnSiteIcon: return r.iconPath;
    default: return {};
  }
}

void CChannelListModel::SetText(int row, int column, const std::u16string& text) {
  {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    ChannelRow& r = rows_[row];
    if (column == kColumnTitle) r.title = text;
    if (column == kColumnCounts) r.counts = text;
    if (column == kColumnHasUnread) r.hasUnread = text;
    if (column == kColumnSiteIcon) r.iconPath = text;
  }
  QueueRowChanged(row);
}

void CChannelListModel::SetIcon(int row, int icon) {
  {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[row].image = icon;
  }
  QMetaObject::invokeMethod(
      this,
      [this, row, icon] {
        emit rowImageChanged(row, icon);
        if (row < rowCount()) emit dataChanged(index(row), index(row));
      },
      Qt::QueuedConnection);
}

void CChannelListModel::RedrawRow(int row) { QueueRowChanged(row); }

void CChannelListModel::QueueRowChanged(int row) {
  QMetaObject::invokeMethod(
      this,
      [this, row] {
        if (row < rowCount()) emit dataChanged(index(row), index(row));
      },
      Qt::QueuedConnection);
}

}  // namespace wrenly::ui
