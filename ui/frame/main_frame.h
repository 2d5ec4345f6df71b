// The main window: a stack of pages with the channel list always at the
// bottom. Narrower than kWideLayoutFrom it shows the top page; from there on
// the channel list, the headline list and the article sit side by side as
// panes (ui/layout) under a command bar, and any other page covers them.
// Resizing across the breakpoint moves the same pages; none is rebuilt.
// It owns what lives as long as the program: the download manager,
// the bridge that brings engine messages to the GUI thread, the dock watch
// and the automatic-update schedule. It handles the commands no page takes
// (Exit, the two languages, About) and tracks whether a download runs.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStackedWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ui/frame/message_bridge.h"

namespace wrenly {
class CDownloadManager;
class CDockWatch;
class CTimedNotifier;
}  // namespace wrenly

namespace wrenly::ui {

class CChannelView;
class CCommandBar;
class CPage;
class CPaneLayout;
class CWideReading;

// The narrowest window, in logical pixels, that shows the three panes: the
// channel list's rows need about 220, the headline list's about 300 and an
// article's text column about 380 to stay readable.
constexpr int kWideLayoutFrom = 900;

struct FrameOptions {
  // Where the dock watch looks for power supplies (tests point it elsewhere).
  std::string powerSupplyRoot = "/sys/class/power_supply";
  // The timer of the automatic update; none: the process's own.
  CTimedNotifier* timer = nullptr;
};

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(FrameOptions options = {});
  ~CMainFrame() override;

  // Covers the top page with this one; done(result) runs when it closes,
  // after which the page is deleted and the one below shows again.
  void PushPage(CPage* page, std::function<void(int result)> done = {});
  CPage* TopPage() const;
  // Whether the window shows the panes side by side.
  bool wide() const { return wide_; }
  // Whether the page sits in a pane of the wide layout now.
  bool IsPane(const CPage* page) const;
  // Whether no page covers this one: the top page, or a pane with no page
  // over the panes.
  bool Uncovered(const CPage* page) const;
  // The page in a pane (0 channels, 1 headlines, 2 article); null when the
  // layout is narrow or the pane is empty.
  CPage* Pane(int slot) const;
  // Gives the keyboard to a pane (the nearest one below when it is empty).
  void FocusPane(int slot);
  CPaneLayout* paneLayout() const { return panes_; }
  CCommandBar* commandBar() const { return commandBar_; }
  CChannelView& channelView() { return *channelView_; }
  CDownloadManager& downloadManager() { return *downloadManager_; }
  CMessageBridge& bridge() { return bridge_; }
  // From "Wrenly.Download.Start" until a finished broadcast.
  bool downloading() const { return downloading_; }

  // The frame's own commands: Exit, English, Simplified Chinese, About.
  bool OnCommand(int command);
  // Enabled and checked states of the frame's menu items.
  void PrepareAction(QAction& action, int command) const;
  // Brings the window to the front with the channel list on top: the pages
  // above it go as their back action goes (a page may stay, as one that asks
  // first may); while a message box waits for its answer, nothing closes.
  void ComeForward();
  // The orderly shutdown: schedule, dock watch, refresh abort, close.
  void Exit();
  bool shutDown() const { return shutDown_; }

 signals:
  // Every engine message, on the GUI thread.
  void engineMessage(quint32 message, quint64 wParam, qint64 lParam);
  // "Wrenly.Download.Start" (true) and the finished broadcasts (false).
  void downloadingChanged(bool downloading);
  // The language changed: every page has set its texts again.
  void languageChanged();
  // The wide layout came or went.
  void layoutChanged(bool wide);
  // A page was placed in a pane of the wide layout, or left one.
  void panesChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Sees the window's new size before its pages take it, to note where
  // each article is read before a switch of layout wraps its text anew.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnEngineMessage(quint32 message, quint64 wParam, qint64 lParam);
  void DispatchUnhandled(CPage* from, int command);
  void SwitchLanguage(const char16_t* code);
  void Retranslate();
  // Stops the schedule and the dock watch and tells downloads to end.
  // The size and position of the last close, else a size that suits the
  // screen; Shutdown stores them.
  void RestoreGeometry();
  void Shutdown();
  // Moves the pages between the stack and the panes.
  void SetWide(bool wide);
  // How many pages from the bottom belong in panes (each in its own slot).
  int PaneCount() const;
  // Closes the panes from this slot up, the top one first.
  void ClosePanesFrom(int slot);
  void RemovePage(CPage* page);
  // Shows the top page, or the panes with their command bar.
  void ShowTop();

  QStackedWidget* stack_;
  // The pages in the order they were opened; the channel list first.
  std::vector<CPage*> pages_;
  CPaneLayout* panes_;
  CCommandBar* commandBar_;
  CWideReading* reading_;
  QPointer<QWidget> paneFocus_;  // where the keyboard was when a page covered the panes
  bool wide_ = false;
  CMessageBridge bridge_;
  std::unique_ptr<CDownloadManager> downloadManager_;
  std::unique_ptr<CDockWatch> dockWatch_;
  CChannelView* channelView_;
  bool downloading_ = false;
  bool shutDown_ = false;
};

}  // namespace wrenly::ui
