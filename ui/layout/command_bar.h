// The wide layout's command bar: the panes' soft-key commands and their
// menus as tool buttons (a sub-menu as a drop-down button), built from the
// pages' own menus and run by the page they belong to, so each does what
// its menu item does, with the same keys on the pages. Buttons are greyed,
// checked and worded as the pages' PrepareAction says and translated like
// the menus. GUI thread.
#pragma once

#include <QPointer>
#include <QToolBar>
#include <string>
#include <vector>

#include "ui/frame/menu_builder.h"

namespace wrenly::ui {

class CMainFrame;
class CPage;

class CCommandBar : public QToolBar {
  Q_OBJECT

 public:
  explicit CCommandBar(CMainFrame& frame);

  // Builds the buttons again for the panes the frame shows now.
  void Rebuild();
  // Words, greys and checks the buttons as their pages say now.
  void UpdateStates();

 private:
  struct Button {
    QAction* action;
    QPointer<CPage> page;
    std::u16string english;
  };
  // The page's buttons: those of the window's own commands, or the others.
  void AddPage(CPage& page, bool window, std::vector<int>& commands, std::vector<std::u16string>& dropDowns);
  void AddDropDown(CPage& page, const MenuEntry& entry);
  void Run(const QPointer<CPage>& page, int command);

  CMainFrame& frame_;
  std::vector<Button> buttons_;
};

}  // namespace wrenly::ui
