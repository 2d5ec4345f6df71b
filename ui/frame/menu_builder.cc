#include "ui/frame/menu_builder.h"

#include "ui/frame/tr.h"

namespace wrenly::ui {

void AddMenuEntries(QMenu& menu, const std::vector<MenuEntry>& entries) {
  for (const MenuEntry& entry : entries) {
    if (entry.text == nullptr) {
      menu.addSeparator();
    } else if (!entry.sub.empty()) {
      QMenu* sub = menu.addMenu(ToQString(entry.text));
      AddMenuEntries(*sub, entry.sub);
    } else {
      menu.addAction(ToQString(entry.text))->setData(entry.command);
    }
  }
}

void ForEachCommandAction(QMenu& menu, const std::function<void(QAction&, int)>& visit) {
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) continue;
    if (QMenu* sub = action->menu())
      ForEachCommandAction(*sub, visit);
    else
      visit(*action, action->data().toInt());
  }
}

}  // namespace wrenly::ui
