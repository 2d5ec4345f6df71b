// What the wide layout adds to reading: the channel list's counts follow the
// headline pane as its articles are read or marked, and Space at the end of
// an article goes on to the next unread headline, in the next channel with
// unread headlines when this one has none left. GUI thread.
#pragma once

#include <QObject>
#include <QPointer>

namespace wrenly::ui {

class CArticleViewDlg;
class CHeadlinesDlg;
class CMainFrame;

class CWideReading : public QObject {
  Q_OBJECT

 public:
  explicit CWideReading(CMainFrame& frame);

  // Shows the next unread headline after the one shown.
  void ReadOn();

 private:
  void OnPanesChanged();
  // Shows the headline list's counts on its channel's row.
  void ShowCounts(CHeadlinesDlg& list);
  // Selects (and so shows) the first unread headline after row `after`.
  static bool SelectUnread(CHeadlinesDlg& list, int after);

  CMainFrame& frame_;
  QPointer<CHeadlinesDlg> list_;
  QPointer<CArticleViewDlg> article_;
  int readOnChannel_ = 0;  // the channel Space went on to, until its list has loaded
  bool focusArticle_ = false;
};

}  // namespace wrenly::ui
