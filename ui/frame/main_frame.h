// The main window: a stack of pages with the channel list always at the
// bottom. It owns what lives as long as the program: the download manager,
// the bridge that brings engine messages to the GUI thread, the dock watch
// and the automatic-update schedule. It handles the commands no page takes
// (Exit, the two languages, About) and tracks whether a download runs.
#pragma once

#include <QMainWindow>
#include <QStackedWidget>
#include <functional>
#include <memory>

#include "ui/frame/message_bridge.h"

namespace wrenly {
class CDownloadManager;
class CDockWatch;
class CTimedNotifier;
}  // namespace wrenly

namespace wrenly::ui {

class CChannelView;
class CPage;

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

 protected:
  void closeEvent(QCloseEvent* event) override;

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

  QStackedWidget* stack_;
  CMessageBridge bridge_;
  std::unique_ptr<CDownloadManager> downloadManager_;
  std::unique_ptr<CDockWatch> dockWatch_;
  CChannelView* channelView_;
  bool downloading_ = false;
  bool shutDown_ = false;
};

}  // namespace wrenly::ui
