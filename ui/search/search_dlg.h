// The search screen: a field for words and the headlines whose title,
// description or stored full text hold every one of them (reader::Search),
// newest first, each with its channel's name. Opened from the channel list
// over every channel, or from a headline list over that channel, with a
// check box that widens it to every channel. Return (or a click) on a result
// opens its article, which is marked read and steps through the results as
// in the headline list; the counts of every channel read from are stored
// when the screen closes. GUI thread.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTimer>
#include <set>

#include "reader/reader_data.h"
#include "ui/article/article_info.h"
#include "ui/frame/page.h"
#include "ui/frame/screens.h"
#include "ui/search/search_results.h"

namespace wrenly::ui {

class CMainFrame;

class CSearchDlg : public CPage, public IArticleSource {
  Q_OBJECT

 public:
  // within.number 0: every channel.
  CSearchDlg(CMainFrame& frame, ChannelRef within);

  bool CanMove(int direction) const override;
  ArticleInfo GetArticle(int direction) override;

  bool OnCommand(int command) override;
  void OnBack() override;
  void Retranslate() override;
  void OnExit() override;

  QLineEdit& field() { return *field_; }
  // Null when the screen searches every channel from the start.
  QCheckBox* allChannels() { return allChannels_; }
  QLabel& status() { return *status_; }
  QListView& results() { return *results_; }
  CSearchResultModel& model() { return model_; }
  // Searches for the field's words now.
  void RunSearch();
  // Opens the selected result's article now.
  void OpenArticle();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowStatus();
  void DeleteItem(const ArticleInfo& article);
  void StoreCounts();
  int SelectedRow() const;
  void SelectRow(int row);

  CMainFrame& frame_;
  const ChannelRef within_;
  reader::ReaderData data_;
  CSearchResultModel model_;
  QLineEdit* field_;
  QCheckBox* allChannels_ = nullptr;
  QLabel* status_;
  QListView* results_;
  QTimer typingTimer_;
  QTimer openTimer_;
  bool searched_ = false;   // the rows answer the field's words
  std::set<int> touched_;  // channels whose items were read or deleted here
};

// Puts the search screen into the screen table.
void RegisterSearchScreen();

}  // namespace wrenly::ui
