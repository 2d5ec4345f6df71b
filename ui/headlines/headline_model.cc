#include "ui/headlines/headline_model.h"

#include <algorithm>

#include "reader/reading.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

// Sorting groups: the error entry, then unread, then read.
int Group(int image) {
  switch (image) {
    case kImageError: return 0;
    case kImageUnread: case kImageUnreadFullText: case kImageQueued: return 1;
    default: return 2;
  }
}

// What a screen reader says after the title: "Unread, 2026-12-04 10:00".
QString AccessibleState(const HeadlineRow& row) {
  if (row.isError) return {};
  return Tr(row.isNew ? u"Unread" : u"Read") + ", " + ToQString(row.date);
}

}  // namespace

int HeadlineImage(uint32_t flag, bool isError, bool fullTextQueued) {
  if (isError) return kImageError;
  switch (flag) {
    case kFlagUnreadFullText: return kImageUnreadFullText;
    case kFlagRead: return kImageRead;
    case kFlagReadFullText: return kImageReadFullText;
    default: return fullTextQueued ? kImageQueued : kImageUnread;
  }
}

int MarkedImage(int image, bool read) {
  if (image == kImageError) return image;
  if (image == kImageUnreadFullText || image == kImageReadFullText)
    return read ? kImageReadFullText : kImageUnreadFullText;
  return read ? kImageRead : kImageUnread;
}

void SortHeadlines(std::vector<HeadlineRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const HeadlineRow& a, const HeadlineRow& b) {
    const int ga = Group(a.image), gb = Group(b.image);
    return ga != gb ? ga < gb : a.date > b.date;
  });
}

CHeadlineModel::CHeadlineModel(QObject* parent) : QAbstractListModel(parent) {}

int CHeadlineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant CHeadlineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const HeadlineRow& row = Row(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return ToQString(row.title);
    case kImageRole: return row.image;
    case kDateRole: return ToQString(row.date);
    case kNewRole: return row.isNew;
    case kLinkRole: return ToQString(row.link);
    case Qt::AccessibleTextRole: return ToQString(row.title);
    case Qt::AccessibleDescriptionRole: return AccessibleState(row);
    default: return {};
  }
}

void CHeadlineModel::SetRows(std::vector<HeadlineRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int CHeadlineModel::Find(std::u16string_view link) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].link == link) return static_cast<int>(i);
  return -1;
}

void CHeadlineModel::Update(int row, uint32_t flag, int image, bool isNew) {
  HeadlineRow& r = rows_[static_cast<size_t>(row)];
  r.flag = flag;
  r.image = image;
  r.isNew = isNew;
  emit dataChanged(index(row), index(row));
}

void CHeadlineModel::Remove(int row) {
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

}  // namespace wrenly::ui
