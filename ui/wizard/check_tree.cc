#include "ui/wizard/check_tree.h"

#include <QHeaderView>

#include "ui/frame/pictures.h"

namespace wrenly::ui {

CCheckTreeCtrl::CCheckTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setUniformRowHeights(true);
  setRootIsDecorated(true);
  const int size = ListImageSize(this);
  setIconSize(QSize(size, size));
}

QTreeWidgetItem* CCheckTreeCtrl::AddEntry(QTreeWidgetItem* parent, const QString& text, bool feed) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, text);
  // Qt's automatic tri-state gives exactly the rules above: a parent's state
  // follows its children, and setting a parent sets all of them.
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
  item->setCheckState(0, Qt::Unchecked);
  const int size = ListImageSize(this);
  item->setIcon(0, QIcon(ListImagePixmap(feed ? kImageFeed : kImageFolder, size, devicePixelRatioF())));
  return item;
}

bool CCheckTreeCtrl::IsChecked(const QTreeWidgetItem& item) { return item.checkState(0) != Qt::Unchecked; }

}  // namespace wrenly::ui
