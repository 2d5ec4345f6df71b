// Menus described as data: each entry is a text and a command number, a
// separator, or a sub-menu. Pages describe their menus this way and the
// soft-key bar builds a fresh QMenu from the English texts each time one
// opens, so a language switch shows at once.
#pragma once

#include <QMenu>
#include <functional>
#include <vector>

namespace wrenly::ui {

struct MenuEntry {
  const char16_t* text = nullptr;  // nullptr: a separator
  int command = 0;
  std::vector<MenuEntry> sub;       // a sub-menu when not empty
};

inline MenuEntry Separator() { return {}; }

// Appends the entries as actions whose data() is the command number.
void AddMenuEntries(QMenu& menu, const std::vector<MenuEntry>& entries);

// Calls visit for every command action of the menu and its sub-menus.
void ForEachCommandAction(QMenu& menu, const std::function<void(QAction&, int command)>& visit);

}  // namespace wrenly::ui
