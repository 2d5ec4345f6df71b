#include "ui/layout/command_bar.h"

#include <QApplication>
#include <QMenu>
#include <QToolButton>
#include <algorithm>

#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/page.h"
#include "ui/frame/tr.h"
#include "ui/layout/pane_layout.h"

namespace wrenly::ui {
namespace {

bool Contains(const std::vector<int>& commands, int command) {
  return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// Whether an entry (or one in its sub-menu) runs a command not yet on the bar.
bool AddsCommand(const MenuEntry& entry, const std::vector<int>& commands) {
  if (entry.sub.empty()) return entry.command != 0 && !Contains(commands, entry.command);
  return std::any_of(entry.sub.begin(), entry.sub.end(), [&](const MenuEntry& e) { return AddsCommand(e, commands); });
}

void NoteCommands(const MenuEntry& entry, std::vector<int>& commands) {
  if (entry.command != 0) commands.push_back(entry.command);
  for (const MenuEntry& sub : entry.sub) NoteCommands(sub, commands);
}

// The window's own commands (languages, options, About, Exit), used least
// while reading: they come last, where a narrow bar folds its buttons away.
bool IsWindowCommand(const MenuEntry& entry) {
  switch (entry.command) {
    case cmd::kEnglish: case cmd::kSimplifiedChinese: case cmd::kOptionsContent: case cmd::kOptionsAutoUpdate:
    case cmd::kOptionsDataStorage: case cmd::kOptionsNetwork: case cmd::kAbout: case cmd::kExit:
      return true;
    default:
      return std::any_of(entry.sub.begin(), entry.sub.end(), IsWindowCommand);
  }
}

}  // namespace

CCommandBar::CCommandBar(CMainFrame& frame) : QToolBar(&frame), frame_(frame) {
  setObjectName("commandBar");
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
  // The bar never takes the keyboard from the pane in use.
  setFocusPolicy(Qt::NoFocus);
  connect(&frame, &CMainFrame::panesChanged, this, &CCommandBar::Rebuild);
  connect(&frame, &CMainFrame::languageChanged, this, &CCommandBar::Rebuild);
  connect(&frame, &CMainFrame::downloadingChanged, this, &CCommandBar::UpdateStates);
  connect(qApp, &QApplication::focusChanged, this, [this] {
    if (isVisible()) UpdateStates();
  });
}

void CCommandBar::Rebuild() {
  // The bar's own actions go with their drop-down buttons; deleted later,
  // as one of them may be what led here.
  for (QAction* action : actions()) {
    removeAction(action);
    if (action->parent() == this) action->deleteLater();
  }
  buttons_.clear();
  std::vector<int> commands;
  std::vector<std::u16string> dropDowns;
  for (const bool window : {false, true})
    for (int slot = 0; slot < CPaneLayout::kPanes; ++slot)
      if (CPage* page = frame_.Pane(slot)) AddPage(*page, window, commands, dropDowns);
  UpdateStates();
}

void CCommandBar::AddPage(CPage& page, bool window, std::vector<int>& commands,
                          std::vector<std::u16string>& dropDowns) {
  if (!actions().isEmpty() && !actions().back()->isSeparator()) addSeparator();
  QPointer<CPage> owner(&page);
  const auto addButton = [&](const QString& text, const std::u16string& english, int command) {
    QAction* action = addAction(text);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, owner, command] { Run(owner, command); });
    buttons_.push_back({action, owner, english});
    commands.push_back(command);
  };
  // The left soft key, unless it only goes back to the page below (the
  // panes show that page already).
  const int left = page.softKeys().leftCommand();
  if (!window && left != 0 && left != cmd::kChannels && left != cmd::kHeadlines && !Contains(commands, left))
    addButton(page.softKeys().left().text(), {}, left);
  // A command another pane's button runs already (the article's Delete is
  // the headline list's) shows once. A drop-down shows unless one of the
  // same name is there: "Mark Headline" runs the numbers of "Mark Channel"
  // on its own page.
  for (const MenuEntry& entry : page.MenuEntries()) {
    if (entry.text == nullptr || IsWindowCommand(entry) != window) continue;
    if (entry.sub.empty()) {
      if (AddsCommand(entry, commands)) addButton(Tr(entry.text), entry.text, entry.command);
    } else if (std::find(dropDowns.begin(), dropDowns.end(), entry.text) == dropDowns.end()) {
      AddDropDown(page, entry);
      dropDowns.push_back(entry.text);
      NoteCommands(entry, commands);
    }
  }
}

void CCommandBar::AddDropDown(CPage& page, const MenuEntry& entry) {
  QPointer<CPage> owner(&page);
  auto* button = new QToolButton(this);
  button->setObjectName("dropDown");
  button->setText(Tr(entry.text));
  button->setPopupMode(QToolButton::InstantPopup);
  button->setFocusPolicy(Qt::NoFocus);
  auto* menu = new QMenu(button);
  // Built afresh each time it opens, as the soft key's menu is.
  const auto fill = [menu, owner, sub = entry.sub] {
    menu->clear();
    if (owner == nullptr) return;
    AddMenuEntries(*menu, sub);
    ForEachCommandAction(*menu, [&](QAction& action, int command) { owner->PrepareAction(action, command); });
    TranslateMenu(*menu);
  };
  fill();
  connect(menu, &QMenu::aboutToShow, this, fill);
  connect(menu, &QMenu::triggered, this, [this, owner](QAction* action) { Run(owner, action->data().toInt()); });
  button->setMenu(menu);
  addWidget(button);
}

void CCommandBar::Run(const QPointer<CPage>& page, int command) {
  // After the menu or the click is done, so a command that opens a page or
  // a message box starts from a quiet screen.
  QMetaObject::invokeMethod(
      this,
      [this, page, command] {
        if (page == nullptr || !page->OnTop()) return;
        page->RunCommand(command);
        UpdateStates();
      },
      Qt::QueuedConnection);
}

void CCommandBar::UpdateStates() {
  for (Button& button : buttons_) {
    if (button.page == nullptr) continue;
    QAction& action = *button.action;
    const int command = action.data().toInt();
    if (button.english.empty()) {
      // A soft key: its page words it (Refresh or Cancel).
      action.setText(button.page->softKeys().left().text());
      action.setEnabled(button.page->softKeys().left().isEnabled());
      continue;
    }
    action.setEnabled(true);
    action.setText(ToQString(button.english));
    button.page->PrepareAction(action, command);
    action.setText(Tr(ToU16(action.text())));
  }
}

}  // namespace wrenly::ui
