// CCheckTreeCtrl: a two-level tree whose entries carry tri-state check
// boxes. A tap on a box or the space key toggles an entry (checked becomes
// unchecked, anything else checked); the new state goes down to every
// descendant, and each parent shows checked, unchecked or mixed after its
// children. Used by the OPML chooser and the template chooser.
#pragma once

#include <QTreeWidget>

namespace wrenly::ui {

class CCheckTreeCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CCheckTreeCtrl(QWidget* parent = nullptr);

  // Appends an unchecked entry under parent (top level when null); `feed`
  // chooses the feed picture, otherwise the group picture.
  QTreeWidgetItem* AddEntry(QTreeWidgetItem* parent, const QString& text, bool feed);
  // Checked or mixed.
  static bool IsChecked(const QTreeWidgetItem& item);
};

}  // namespace wrenly::ui
