// The wide layout's panes: the channel list, a headline list and an article
// side by side in a splitter whose sizes are kept between starts. It only
// places the frame's pages (their soft keys hidden: the command bar carries
// their commands) and moves the keyboard between them: Tab and Shift+Tab go
// to the next and the previous pane. GUI thread.
#pragma once

#include <QPointer>
#include <QSplitter>
#include <QTextBrowser>
#include <vector>

namespace wrenly::ui {

class CMainFrame;
class CPage;

class CPaneLayout : public QSplitter {
  Q_OBJECT

 public:
  static constexpr int kPanes = 3;

  explicit CPaneLayout(CMainFrame& frame);

  // Puts a page into a pane (0 channels, 1 headlines, 2 article).
  void Place(CPage* page, int slot);
  // Takes a page out of its pane, its soft keys shown again; the caller
  // puts it elsewhere or deletes it.
  void Release(CPage& page);
  // Gives the keyboard to the pane's page: where it last was in it, else
  // its largest part that takes the keyboard (the list, the article text).
  void GiveKeyboard(CPage& page);
  // Stores the splitter's sizes in the settings.
  void StoreSizes() const;

  // Notes the text at the top of each article viewer of these pages, to
  // show the same text once the pages have moved and their text has
  // wrapped anew; the restore puts it back at the top.
  void NoteReadingPositions(const std::vector<CPage*>& pages);
  void RestoreReadingPositions();

 protected:
  // Tab and Shift+Tab anywhere in the panes, before a pane's widget uses
  // them (the article text would step through its links).
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  int SlotOf(const QWidget* widget) const;
  void FocusNextPane(bool forward);

  struct ReadingPosition {
    QPointer<QTextBrowser> viewer;
    int position = 0;
  };

  CMainFrame& frame_;
  QWidget* holders_[kPanes];
  std::vector<ReadingPosition> positions_;
  bool sized_ = false;
};

}  // namespace wrenly::ui
