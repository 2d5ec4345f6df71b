#include "ui/channels/channel_list_model.h"

#include <algorithm>

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

namespace {

// What a screen reader says after the title: "3 unread of 10".
QString AccessibleCounts(const ChannelRow& row) {
  if (row.total <= 0) return {};
  return Tr(u"%1 unread of %2").arg(std::max(row.unread, 0)).arg(row.total);
}

}  // namespace

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
    case Qt::AccessibleTextRole: return ToQString(row.title);
    case Qt::AccessibleDescriptionRole: return AccessibleCounts(row);
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

RefreshChannel CChannelListModel::RefreshChannelAt(int refreshRow) const {
  std::lock_guard lock(mutex_);
  return refreshRow >= 0 && refreshRow < static_cast<int>(refreshRows_.size()) ? refreshRows_[refreshRow]
                                                                                 : RefreshChannel{};
}

int CChannelListModel::ShownRowLocked(int refreshRow) const {
  if (refreshRow < 0 || refreshRow >= static_cast<int>(refreshRows_.size())) return -1;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].number == refreshRows_[refreshRow].number) return static_cast<int>(i);
  return -1;
}

void CChannelListModel::SetBusy(bool busy) {
  if (busy) {
    std::lock_guard lock(mutex_);
    refreshRows_.clear();
    for (const ChannelRow& row : rows_) refreshRows_.push_back({row.number, row.url, row.title});
  }
  busy_ = busy;
}

int CChannelListModel::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(refreshRows_.size());
}

int CChannelListModel::ChannelNumber(int row) { return RefreshChannelAt(row).number; }

int CChannelListModel::Target() {
  const int target = targetChannel_;
  if (target == 0) return -1;
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < refreshRows_.size(); ++i)
    if (refreshRows_[i].number == target) return static_cast<int>(i);
  // The channel is no longer listed: a row past the end, so nothing runs.
  return static_cast<int>(refreshRows_.size());
}

void CChannelListModel::SetTarget(int row) { targetChannel_ = row < 0 ? 0 : Row(row).number; }

std::u16string CChannelListModel::Text(int row, int column) {
  std::lock_guard lock(mutex_);
  if (column == kColumnFeedUrl)
    return row >= 0 && row < static_cast<int>(refreshRows_.size()) ? refreshRows_[row].url : std::u16string();
  const int shown = ShownRowLocked(row);
  if (shown < 0) return {};
  const ChannelRow& r = rows_[shown];
  switch (column) {
    case kColumnTitle: return r.title;
    case kColumnCounts: return r.counts;
    case kColumnHasUnread: return r.hasUnread;
    case kColumnSiteIcon: return r.iconPath;
    default: return {};
  }
}

void CChannelListModel::SetText(int row, int column, const std::u16string& text) {
  int shown;
  {
    std::lock_guard lock(mutex_);
    shown = ShownRowLocked(row);
    if (shown < 0) return;
    ChannelRow& r = rows_[shown];
    if (column == kColumnTitle) r.title = text;
    if (column == kColumnCounts) r.counts = text;
    if (column == kColumnHasUnread) r.hasUnread = text;
    if (column == kColumnSiteIcon) r.iconPath = text;
  }
  QueueRowChanged(shown);
}

void CChannelListModel::SetIcon(int row, int icon) {
  int shown;
  {
    std::lock_guard lock(mutex_);
    shown = ShownRowLocked(row);
    if (shown < 0) return;
    rows_[shown].image = icon;
  }
  QMetaObject::invokeMethod(
      this,
      [this, shown, icon] {
        emit rowImageChanged(shown, icon);
        if (shown < rowCount()) emit dataChanged(index(shown), index(shown));
      },
      Qt::QueuedConnection);
}

void CChannelListModel::RedrawRow(int row) {
  int shown;
  {
    std::lock_guard lock(mutex_);
    shown = ShownRowLocked(row);
  }
  if (shown >= 0) QueueRowChanged(shown);
}

void CChannelListModel::QueueRowChanged(int row) {
  QMetaObject::invokeMethod(
      this,
      [this, row] {
        if (row < rowCount()) emit dataChanged(index(row), index(row));
      },
      Qt::QueuedConnection);
}

}  // namespace wrenly::ui
