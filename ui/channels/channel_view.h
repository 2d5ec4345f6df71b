// The channel list, the program's home screen: the subscribed channels with
// their icons and counts under the category bar, filtered by category or by
// new headlines. It runs the first-start sequence (welcome screen, empty
// catalog, wizard), carries out every channel command of the main menu,
// starts and cancels refreshes, tells of new headlines an automatic refresh
// brought (a desktop notice), and opens a channel's headline screen.
// It follows the catalog and item files on disk, so changes made by another
// process show without a restart.
// GUI thread; the refresh works on its model from its own threads.
#pragma once

#include <QFileSystemWatcher>
#include <QLabel>
#include <QListView>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/refresh.h"
#include "reader/result.h"
#include "ui/channels/category_bar.h"
#include "ui/channels/channel_list_model.h"
#include "ui/frame/message_bridge.h"
#include "ui/frame/page.h"
#include "ui/notices/new_headlines_notice.h"

namespace wrenly::ui {

class CMainFrame;

class CChannelView : public CPage {
  Q_OBJECT

 public:
  explicit CChannelView(CMainFrame& frame);
  ~CChannelView() override;

  bool OnCommand(int command) override;
  std::vector<MenuEntry> MenuEntries() const override;
  void PrepareAction(QAction& action, int command) override;
  void OnBack() override {}
  void Retranslate() override;
  int DeleteCommand() const override { return 32831; }
  int PaneSlot() const override { return 0; }

  CChannelListModel& model() { return model_; }
  QListView& list() { return *list_; }
  CCategoryBar& categoryBar() { return *bar_; }
  reader::Refresh& refresh() { return *refresh_; }
  CNewHeadlinesNotice& notice() { return notice_; }
  bool downloading() const { return downloading_; }
  // Whether a refresh running now covers this channel: it refreshes every
  // channel or this one.
  bool RefreshIncludes(int number) const;
  bool newOnly() const { return newOnly_; }
  // The categories of the drop-down, in catalog order.
  const std::vector<std::u16string>& categories() const { return categories_; }
  // Loads the catalog into the list now.
  void Reload();
  // Chooses a drop-down entry by command (16640 all, 16641 editor, 16642+ a category).
  void ChooseCategory(int command);
  // The catalog's path.
  static std::string CatalogPath();

 signals:
  // The list shows the catalog's channels (after every reload).
  void reloaded();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Traces the list's first paint with rows (the start-up benchmark reads it).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StartUp();
  void AfterWelcome(int result);
  void RunWizard();
  // Saves an empty catalog when there is no catalog file.
  void EnsureCatalogFile();
  void ScheduleReload();
  // Loads the catalog into the list, keeping the selected channel; takes
  // the focus when asked.
  void Load(bool takeFocus);
  // Watches the data folder and the catalog file (again after a save
  // replaced it).
  void WatchDisk();
  // Reloads what another process (or a save of this one) changed on disk,
  // once no refresh runs and no title is being edited.
  void ReloadFromDisk();
  void ResetDropDown();
  void FillDropDown(QMenu* menu);
  bool MatchesFilter(const std::u16string& category) const;
  void SetDownloading(bool downloading);
  void OnEngineMessage(quint32 message, quint64 wParam, qint64 lParam);
  void OnDownloadingChanged(bool downloading);
  void ToggleRefresh(int targetRow);
  // The schedule, docking or the connection's coming up may start a
  // refresh; one the schedule or docking starts is automatic (notice).
  void OnRefreshTrigger(quint32 message, quint64 wParam, qint64 lParam);
  // The person clicked the notice of new headlines: the window comes
  // forward on this list, with the first channel it named selected.
  void ComeForwardFromNotice();
  void Mark(bool read, bool allRows);
  void DeleteSelected();
  void StartRename();
  void StoreTitle(int row);
  void ChangeCategory();
  void Export();
  void OpenPage(CPage* page, std::function<void(int)> done = {});
  void OpenSelectedSoon();
  void OpenSelected();
  // Shows counts on the channel's row, if it is listed.
  void ShowCounts(int number, int total, int unread);
  // Stores the counts the running refresh gathered so far.
  void FlushCounts();
  // True when the operation was done; else tells the person what failed.
  bool Done(const reader::Result& result);
  int SelectedRow() const;
  void SelectRow(int row);
  bool HasSelection() const { return SelectedRow() >= 0; }

  CMainFrame& frame_;
  CChannelListModel model_;
  CMessageBridge viewBridge_;
  std::unique_ptr<reader::Refresh> refresh_;
  CNewHeadlinesNotice notice_;
  CCategoryBar* bar_;
  QListView* list_;
  QLabel* loading_;
  QTimer reloadTimer_;
  QTimer openTimer_;
  QTimer countsTimer_;
  QFileSystemWatcher watcher_;
  QTimer diskTimer_;
  // The headline list this list opened, while it is open.
  QPointer<CPage> openList_;
  bool headlinesTakeKeyboard_ = false;  // side by side: Return moves on to the headlines
  int openNumber_ = 0;
  std::optional<std::u16string> filter_;  // none: drop-down not filled yet
  std::vector<std::u16string> categories_;
  bool newOnly_ = false;
  bool downloading_ = false;
  bool paintTraced_ = false;
};

}  // namespace wrenly::ui
