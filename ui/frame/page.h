// A screen of the program: one page of the frame's stack, with its content
// above its own soft-key bar. A page handles the commands it knows; any other
// command goes to the frame, which offers it to the pages below and then
// handles it itself. Closing a page hands its result to whoever opened it.
// Keys: F1 and F2 press the soft keys (while a menu shows, they close it), Esc and Alt+Left are the back action,
// F5 is Refresh and Ctrl+F Search where the page has them, Delete runs the page's Delete command.
// A page covered by another takes no keys and cannot close. In the frame's
// wide layout the channel list, the headline list and the article are panes
// side by side: each counts as on top while no other page covers them.
#pragma once

#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <vector>

#include "ui/frame/menu_builder.h"
#include "ui/frame/soft_key_bar.h"

class QMenu;
class QShortcut;

namespace wrenly::ui {

class CMainFrame;

class CPage : public QWidget {
  Q_OBJECT

 public:
  explicit CPage(QWidget* parent = nullptr);

  CSoftKeyBar& softKeys() { return *softKeys_; }
  // The frame the page lives in; set when it is pushed (none in some tests).
  CMainFrame* frame() const { return frame_; }
  void SetFrame(CMainFrame* frame) { frame_ = frame; }

  // Runs a command: the page's own handling first, else it goes on down.
  void RunCommand(int command);
  // Hands a command to the frame and the pages below without trying it here.
  void PassDown(int command) { emit unhandledCommand(command); }
  // Opens the right key's menu above the key; the menu deletes itself once
  // closed. Null when the page has no menu.
  QMenu* OpenMenu();
  // Closes the page with a result for its opener; only a page on top of
  // its frame can close (one covered by another stays).
  void Close(int result);
  // Whether the page is the top of its frame's stack (or, in the wide
  // layout, a pane no page covers), or in no frame.
  bool OnTop() const;
  // Whether the page may move the keyboard into itself: on top of the
  // stack; in the wide layout, a pane that has the keyboard already (a pane
  // never takes it from the one the person is using).
  bool HoldsKeyboard() const;
  // Notes where the keyboard is, before another page covers this one.
  void RememberFocus();
  // Gives the keyboard back where it was noted, else to the page's focus
  // proxy, else to the child that had it last, else to the page itself.
  void TakeFocus();
  // Makes the page a part of another page's content: its soft-key bar and
  // key shortcuts go, and every key it does not use goes up to the page
  // around it.
  void Embed();

  // The page's own commands; false passes the command down.
  virtual bool OnCommand(int command);
  // The menu of the "Menu" key, built afresh each time it opens.
  virtual std::vector<MenuEntry> MenuEntries() const { return {}; }
  // Sets the enabled and checked state of an action before its menu shows.
  virtual void PrepareAction(QAction& /*action*/, int /*command*/) {}
  // The back action; closes with Cancel unless the page says otherwise.
  virtual void OnBack() { Close(0); }
  // Sets every text again after a language switch.
  virtual void Retranslate() {}
  // The command the Delete key runs; 0 for none.
  virtual int DeleteCommand() const { return 0; }
  // The program ends with this page open: keeps what its closing would have.
  virtual void OnExit() {}
  // Where the page sits in the wide layout: 0 the channel list, 1 a headline
  // list, 2 an article; -1 (every other page) covers the whole window.
  virtual int PaneSlot() const { return -1; }

 signals:
  void finished(int result);
  void unhandledCommand(int command);

 protected:
  QVBoxLayout& body() { return *body_; }
  // Escape and Alt+Left are the back action (in a pane of the wide layout
  // they move the keyboard back one pane), Delete the page's Delete
  // command. They arrive here only when the focused widget (an editor in a
  // list, say) did not use them itself.
  void keyPressEvent(QKeyEvent* event) override;
  // Opens a menu built from entries at a global position (context menus).
  QMenu* PopupMenu(const std::vector<MenuEntry>& entries, const QPoint& globalPos);

 private:
  void PressKey(bool left);

  QVBoxLayout* body_;
  CSoftKeyBar* softKeys_;
  CMainFrame* frame_ = nullptr;
  std::vector<QShortcut*> shortcuts_;
  QPointer<QWidget> lastFocus_;
  bool closed_ = false;
  bool embedded_ = false;
};

}  // namespace wrenly::ui
