#include "ui/frame/page.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>

#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

bool MenuHasCommand(const std::vector<MenuEntry>& entries, int command) {
  for (const MenuEntry& entry : entries)
    if (entry.command == command || MenuHasCommand(entry.sub, command)) return true;
  return false;
}

}  // namespace

CPage::CPage(QWidget* parent) : QWidget(parent), body_(new QVBoxLayout), softKeys_(new CSoftKeyBar(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  body_->setContentsMargins(0, 0, 0, 0);
  body_->setSpacing(0);
  layout->addLayout(body_, 1);
  layout->addWidget(softKeys_);
  connect(softKeys_, &CSoftKeyBar::pressed, this, [this](int command) {
    if (command == cmd::kMenu)
      OpenMenu();
    else
      RunCommand(command);
  });

  const auto shortcut = [this](QKeySequence keys, auto action) {
    auto* s = new QShortcut(keys, this, action);
    s->setContext(Qt::WidgetWithChildrenShortcut);
    shortcuts_.push_back(s);
  };
  shortcut(Qt::Key_F1, [this] { PressKey(true); });
  shortcut(Qt::Key_F2, [this] { PressKey(false); });
  shortcut(Qt::Key_F5, [this] {
    if (!OnTop()) return;
    if (softKeys_->leftCommand() == cmd::kRefresh || MenuHasCommand(MenuEntries(), cmd::kRefresh))
      RunCommand(cmd::kRefresh);
  });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { PassDown(cmd::kExit); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
    if (OnTop() && MenuHasCommand(MenuEntries(), cmd::kSearch)) RunCommand(cmd::kSearch);
  });
}

void CPage::PressKey(bool left) {
  if (!OnTop()) return;
  // A menu that shows takes the key itself, so the key reaches us only
  // through the shortcut: it closes the menu (and a submenu above it), as a
  // second press of "Menu" should, instead of opening another on top.
  if (QApplication::activePopupWidget() != nullptr) {
    for (int i = 0; i < 8; ++i)
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    return;
  }
  QPushButton& key = left ? softKeys_->left() : softKeys_->right();
  if (key.isVisible() && key.isEnabled()) key.click();
}

void CPage::RememberFocus() {
  QWidget* focused = QApplication::focusWidget();
  if (focused != nullptr && isAncestorOf(focused)) lastFocus_ = focused;
}

void CPage::TakeFocus() {
  // Where the keyboard was when the page was covered; else the page's own
  // choice (its focus proxy); the child the stack may have focused on the
  // way (the first one that takes focus) comes last.
  QWidget* child = focusWidget();
  if (lastFocus_ != nullptr && lastFocus_->isEnabled())
    lastFocus_->setFocus();
  else if (focusProxy() == nullptr && child != nullptr)
    child->setFocus();
  else
    setFocus();
}

void CPage::Embed() {
  embedded_ = true;
  softKeys_->hide();
  for (QShortcut* shortcut : shortcuts_) shortcut->setEnabled(false);
}

void CPage::keyPressEvent(QKeyEvent* event) {
  if (embedded_) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (!OnTop()) {
    event->ignore();
    return;
  }
  const bool altLeft = event->key() == Qt::Key_Left && event->modifiers() == Qt::AltModifier;
  if ((event->key() == Qt::Key_Escape || altLeft) && frame_ != nullptr && frame_->IsPane(this)) {
    frame_->FocusPane(PaneSlot() - 1);
  } else if (event->key() == Qt::Key_Escape || altLeft) {
    OnBack();
  } else if (event->key() == Qt::Key_Delete && DeleteCommand() != 0) {
    RunCommand(DeleteCommand());
  } else {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

bool CPage::OnCommand(int) { return false; }

void CPage::RunCommand(int command) {
  if (!OnCommand(command)) PassDown(command);
}

QMenu* CPage::PopupMenu(const std::vector<MenuEntry>& entries, const QPoint& globalPos) {
  auto* menu = new QMenu(this);
  menu->setObjectName("popupMenu");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  AddMenuEntries(*menu, entries);
  ForEachCommandAction(*menu, [this](QAction& action, int command) { PrepareAction(action, command); });
  TranslateMenu(*menu);
  connect(menu, &QMenu::triggered, this, [this](QAction* action) {
    // Run after the menu has closed, so a command that opens a page or a
    // message box starts from a quiet screen.
    const int command = action->data().toInt();
    QMetaObject::invokeMethod(this, [this, command] { RunCommand(command); }, Qt::QueuedConnection);
  });
  menu->popup(globalPos);
  return menu;
}

QMenu* CPage::OpenMenu() {
  const std::vector<MenuEntry> entries = MenuEntries();
  if (entries.empty()) return nullptr;
  QPushButton& key = softKeys_->right();
  QMenu* menu = PopupMenu(entries, key.mapToGlobal(QPoint(key.width(), 0)));
  // Upwards from the key, right-aligned with it.
  const QSize size = menu->sizeHint();
  menu->move(key.mapToGlobal(QPoint(key.width() - size.width(), -size.height())));
  return menu;
}

bool CPage::OnTop() const { return frame_ == nullptr || frame_->Uncovered(this); }

bool CPage::HoldsKeyboard() const {
  if (!OnTop()) return false;
  if (frame_ == nullptr || !frame_->IsPane(this)) return true;
  const QWidget* focused = QApplication::focusWidget();
  return focused == this || isAncestorOf(focused);
}

void CPage::Close(int result) {
  if (closed_ || !OnTop()) return;
  closed_ = true;
  emit finished(result);
}

}  // namespace wrenly::ui
