// The headline list of one channel: its items newest first under the
// channel's logo (or icon) and title, with their read, full-text and queued
// marks and the last update's error entry on top. Opens the article view,
// marks, deletes, refreshes the channel (through the channel list below) and
// reloads when a download ends; full texts arriving meanwhile turn their
// rows unread. Every read and change of the channel's files goes through
// the reader library (reader/reader_data.h), which also keeps the catalog's
// counts; a refusal shows as an error box. A covered list takes no
// keyboard. GUI thread.
#pragma once

#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QTimer>

#include "reader/reader_data.h"
#include "ui/article/article_info.h"
#include "ui/frame/page.h"
#include "ui/frame/screens.h"
#include "ui/headlines/headline_model.h"

namespace wrenly::ui {

class CArticleViewDlg;
class CBusyIndicator;
class CMainFrame;

class CHeadlinesDlg : public CPage, public IArticleSource {
  Q_OBJECT

 public:
  CHeadlinesDlg(CMainFrame& frame, ChannelRef channel);

  // The counts the list shows.
  ChannelCounts Counts() const { return {channel_.number, total_, unread_}; }
  bool CanMove(int direction) const override;
  ArticleInfo GetArticle(int direction) override;

  bool OnCommand(int command) override;
  std::vector<MenuEntry> MenuEntries() const override;
  void PrepareAction(QAction& action, int command) override;
  void Retranslate() override;
  int DeleteCommand() const override;
  int PaneSlot() const override { return 1; }
  // Stores the item file's counts, which the channel list would otherwise
  // store when the list closes.
  void OnExit() override;

  CHeadlineModel& model() { return model_; }
  QListView& list() { return *list_; }
  CBusyIndicator& busy() { return *busy_; }
  // Reads the item file into the list now.
  void Reload();
  // Opens the selected headline's article now.
  void OpenArticle();
  // Side by side: the article pane shows the selected headline (opened and
  // marked read as OpenArticle does), unless it shows it already.
  void ShowSelectedArticle();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutHeader();
  void ShowList();
  void OnEngineMessage(quint32 message, quint64 wParam, qint64 lParam);
  void UpdateBusy();
  bool Downloading() const;
  void CollectFullTexts();
  // Asks, then deletes the selected row's item.
  void DeleteSelected();
  // Deletes the item with this link from the file and its row, if any.
  void DeleteItem(const std::u16string& link);
  // Whether a refresh is merging feeds now, this channel's among them.
  bool RefreshTouchesChannel() const;
  void DeleteAll();
  void OpenSearch();
  void Mark(bool read);
  void MarkAll(bool read);
  int SelectedRow() const;
  void SelectRow(int row);

  CMainFrame& frame_;
  const ChannelRef channel_;
  reader::ReaderData data_;
  CHeadlineModel model_;
  QLabel* logo_;
  QLabel* title_;
  CBusyIndicator* busy_;
  QListView* list_;
  QLabel* loading_;
  QTimer loadTimer_;
  QTimer openTimer_;
  QImage logoImage_;
  std::string logoFile_;  // as the last load found it; empty: none
  int total_ = 0;
  int unread_ = 0;
  QPointer<CArticleViewDlg> article_;  // the article this list opened, while open
  bool selectingItself_ = false;       // the list moves its own selection
};

// The logo's size in the header: at most half the window wide, scaled
// proportionally, then its height held between 23 and 34 pixels times the
// density (the width following when it is held at 34).
QSize HeaderLogoSize(QSize image, int windowWidth, double density);

// Puts the headline list and the search screen into the screen table.
void RegisterReadingScreens();

}  // namespace wrenly::ui
