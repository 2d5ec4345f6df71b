// The rows of the headline list: one per item of the channel's item file,
// with the picture that shows its state, sorted error entry first, then
// unread, then read, newest first within each group. GUI thread only.
#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <string>
#include <vector>

namespace wrenly::ui {

struct HeadlineRow {
  std::u16string title;        // as shown; the error entry's ends in ": Tap for details."
  std::u16string date;         // the item's date text, cut to 16 characters
  std::u16string link;         // the item store's key
  std::u16string description;
  uint32_t flag = 0;           // the read flag as last known
  int image = 0;               // a ListImage
  bool isNew = false;          // bold: read flag 0 or 1
  bool isError = false;        // the last update's error entry
};

// The row picture of an item: error entry, unread, read, with or without
// full text, or full text queued (unread without full text and a job
// waiting for it).
int HeadlineImage(uint32_t flag, bool isError, bool fullTextQueued);
// The picture of a row marked read or unread (the error entry keeps its own).
int MarkedImage(int image, bool read);
// Error entry first, then unread, then read; newest date first in a group.
void SortHeadlines(std::vector<HeadlineRow>& rows);

class CHeadlineModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role { kImageRole = Qt::UserRole + 1, kDateRole, kNewRole, kLinkRole };

  explicit CHeadlineModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void SetRows(std::vector<HeadlineRow> rows);
  const HeadlineRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  int Find(std::u16string_view link) const;
  // Changes one row's state and redraws it.
  void Update(int row, uint32_t flag, int image, bool isNew);
  void Remove(int row);

 private:
  std::vector<HeadlineRow> rows_;
};

}  // namespace wrenly::ui
