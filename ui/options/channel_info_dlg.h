// COptionChannelInfoDlg: a channel's properties as two tabs, "Info" (the
// address and title, read-only) and "Details" (the channel description built
// from the last downloaded feed, shown in the article's HTML view: it loads
// nothing the page names, and a tapped link goes to the same opener as an
// article's). The one thing it can change is the
// channel's full-text choice, a catalog attribute written through the reader
// library only when OK finds it changed; "OK" closes it, unless the choice
// could not be saved (the sheet says why and stays).
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>

#include "ui/article/html_view_dlg.h"
#include "ui/frame/page.h"
#include "ui/frame/screens.h"

namespace wrenly::ui {

class COptionChannelInfoMainDlg;

class COptionChannelInfoDlg : public CPage {
  Q_OBJECT

 public:
  explicit COptionChannelInfoDlg(const ChannelRef& channel);
  bool OnCommand(int command) override;
  void Retranslate() override;
  CHtmlViewDlg& details() { return *details_; }

 private:
  // False (after saying why) when the changed choice could not be saved.
  bool SaveFullTextChoice();

  ChannelRef channel_;
  int loadedMode_ = 0;
  QTabWidget* tabs_;
  QLabel* fullTextLabel_;
  QComboBox* fullText_;
  COptionChannelInfoMainDlg* info_;
  QWidget* detailsPage_;
  QLabel* detailsHeading_;
  CHtmlViewDlg* details_;
};

// The channel description page of the channel's last downloaded feed, its
// pictures and addresses substituted as an article's are; empty when there
// is none.
std::u16string ChannelDescriptionHtml(int channel);

}  // namespace wrenly::ui
