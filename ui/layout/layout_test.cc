// The wide layout driven through the real window on the offscreen platform:
// which layout a width gets, what a switch keeps, reading side by side, and
// the command bar.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTest>
#include <QToolButton>
#include <set>

#include "platform/text.h"
#include "store/item_record.h"
#include "ui/article/article_view_dlg.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/layout/command_bar.h"
#include "ui/layout/pane_layout.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

std::string Link(const std::string& channel, int i) { return "http://127.0.0.1/" + channel + "/" + std::to_string(i); }

// Items 1..count of a channel, newest last (so the list shows count first).
std::vector<TestFeedItem> Items(const std::string& channel, int count, int paragraphs = 1) {
  std::vector<TestFeedItem> items;
  for (int i = 1; i <= count; ++i) {
    std::string body;
    for (int p = 0; p < paragraphs; ++p)
      body += "<p>Paragraph " + std::to_string(p) + " of " + channel + " item " + std::to_string(i) +
              ", long enough to wrap at least once in a narrow column of text.</p>";
    items.push_back({channel + " " + std::to_string(i), Link(channel, i),
                     "Thu, 0" + std::to_string(i) + " May 2008 10:00:00 GMT", body});
  }
  return items;
}

void AddCommands(const std::vector<MenuEntry>& entries, std::set<int>& commands) {
  for (const MenuEntry& entry : entries) {
    if (entry.command != 0) commands.insert(entry.command);
    AddCommands(entry.sub, commands);
  }
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;
  std::vector<int> channels_;

  // Alpha (three items, the newest two unread) and Beta (two unread), then
  // the window at this size.
  void StartFrame(QSize size, int alphaParagraphs = 1) {
    channels_ = WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/alpha", 3, 2},
                              {u"News", u"Beta", u"http://127.0.0.1:9/beta", 2, 2}});
    MergeFeed(channels_[0], Items("alpha", 3, alphaParagraphs));
    SetReadFlag(channels_[0], Utf8ToUtf16(Link("alpha", 1)), kFlagRead);
    MergeFeed(channels_[1], Items("beta", 2));
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->resize(size);
    frame_->show();
    QTRY_COMPARE(frame_->channelView().model().rowCount(), 2);
  }
  CHeadlinesDlg* HeadlinePane() { return qobject_cast<CHeadlinesDlg*>(frame_->Pane(1)); }
  CArticleViewDlg* ArticlePane() { return qobject_cast<CArticleViewDlg*>(frame_->Pane(2)); }
  // Waits for the headline pane of this channel with its rows.
  CHeadlinesDlg& WaitForHeadlines(int channel) {
    [&] { QTRY_VERIFY(HeadlinePane() != nullptr && HeadlinePane()->Counts().number == channel &&
                      HeadlinePane()->model().rowCount() > 0); }();
    return *HeadlinePane();
  }
  // Waits until the article pane shows this link, composed.
  CArticleViewDlg& WaitForArticle(const std::string& link) {
    [&] { QTRY_VERIFY(ArticlePane() != nullptr && ArticlePane()->article().link == Utf8ToUtf16(link) &&
                      !ArticlePane()->page().empty()); }();
    return *ArticlePane();
  }
  int ChannelUnread(int row) { return frame_->channelView().model().Row(row).unread; }

 private slots:
  void init() {
    env_ = std::make_unique<UiTestEnvironment>();
    Screens() = {};
    RegisterReadingScreens();
  }
  void cleanup() {
    frame_.reset();
    env_.reset();
    Screens() = {};
  }

  void theLayoutFollowsTheWidthAcrossTheBreakpoint() {
    StartFrame({kWideLayoutFrom - 1, 700});
    CChannelView& channels = frame_->channelView();
    QVERIFY(!frame_->wide());
    QVERIFY(frame_->Pane(0) == nullptr);
    QVERIFY(channels.softKeys().isVisible());
    QVERIFY(!frame_->commandBar()->isVisible());
    QCOMPARE(frame_->TopPage(), &channels);

    frame_->resize(kWideLayoutFrom, 700);
    QVERIFY(frame_->wide());
    QCOMPARE(frame_->Pane(0), &channels);
    QVERIFY(frame_->paneLayout()->isVisible() && frame_->paneLayout()->isAncestorOf(&channels));
    QVERIFY(!channels.softKeys().isVisible());
    QVERIFY(frame_->commandBar()->isVisible());
    // The selected channel's headlines fill the middle pane; no article is
    // opened (and none marked read) until a headline is chosen.
    CHeadlinesDlg& list = WaitForHeadlines(channels_[0]);
    QVERIFY(frame_->paneLayout()->isAncestorOf(&list));
    QVERIFY(ArticlePane() == nullptr);
    QCOMPARE(ReadFlags(channels_[0]), (std::vector<unsigned>{kFlagRead, kFlagUnread, kFlagUnread}));

    // The panes are wide enough for their rows on the narrowest wide window.
    for (int slot = 0; slot < 3; ++slot)
      QVERIFY(frame_->paneLayout()->widget(slot)->width() >= 180);

    frame_->resize(kWideLayoutFrom - 1, 700);
    QVERIFY(!frame_->wide());
    QCOMPARE(frame_->TopPage(), &list);
    QVERIFY(list.isVisible() && list.softKeys().isVisible());
    QVERIFY(!channels.isVisible());
  }

  // Narrow: Beta's list, its second headline open and scrolled; wide and
  // narrow again keep the same pages with the same channel, headline and
  // text at the top.
  void aSwitchKeepsChannelHeadlineArticleAndItsPlace() {
    StartFrame({480, 700}, 40);
    CChannelView& channels = frame_->channelView();
    channels.list().setCurrentIndex(channels.model().index(0, 0));
    QTest::keyClick(&channels.list(), Qt::Key_Return);
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("headlinesView"));
    QPointer<CHeadlinesDlg> list = static_cast<CHeadlinesDlg*>(frame_->TopPage());
    QTRY_COMPARE(list->model().rowCount(), 3);
    list->list().setCurrentIndex(list->model().index(1, 0));
    QTest::keyClick(&list->list(), Qt::Key_Return);
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("articleView"));
    QPointer<CArticleViewDlg> article = static_cast<CArticleViewDlg*>(frame_->TopPage());
    QTRY_VERIFY(!article->page().empty());
    QCOMPARE(article->article().link, Utf8ToUtf16(Link("alpha", 2)));
    QScrollBar* bar = article->viewer().verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum() / 2);
    const auto topText = [&] { return article->viewer().cursorForPosition(QPoint(0, 0)).block().text(); };
    const QString readingAt = topText();
    QVERIFY(readingAt.startsWith("Paragraph ") && !readingAt.startsWith("Paragraph 0 "));

    frame_->resize(1400, 800);
    QVERIFY(frame_->wide());
    QCOMPARE(frame_->Pane(1), list.data());
    QCOMPARE(frame_->Pane(2), article.data());
    QCOMPARE(channels.list().currentIndex().row(), 0);
    QCOMPARE(list->list().currentIndex().row(), 1);
    QCOMPARE(article->article().link, Utf8ToUtf16(Link("alpha", 2)));
    QVERIFY(article->viewer().isVisible());
    QCOMPARE(topText(), readingAt);
    // The keyboard stayed in the article.
    QCOMPARE(QApplication::focusWidget(), &article->viewer());

    frame_->resize(600, 800);
    QVERIFY(!frame_->wide());
    QCOMPARE(frame_->TopPage(), article.data());
    QVERIFY(article->isVisible() && article->softKeys().isVisible());
    QCOMPARE(topText(), readingAt);
    QCOMPARE(list->list().currentIndex().row(), 1);
    // Back as today: Headlines, then Channels.
    QTest::keyClick(&article->viewer(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), list.data());
  }

  // Choosing a headline side by side opens it as Return does on the page
  // stack: marked read in its file, and one fewer unread on the channel's row.
  void selectingAHeadlineShowsAndMarksItAndTheChannelCountsFollow() {
    StartFrame({1300, 800});
    CHeadlinesDlg& list = WaitForHeadlines(channels_[0]);
    QCOMPARE(ChannelUnread(0), 2);
    list.list().setFocus();
    QTest::keyClick(&list.list(), Qt::Key_Down);  // from Alpha 3 to Alpha 2
    CArticleViewDlg& article = WaitForArticle(Link("alpha", 2));
    QCOMPARE(ReadFlags(channels_[0]), (std::vector<unsigned>{kFlagRead, kFlagRead, kFlagUnread}));
    QTRY_COMPARE(ChannelUnread(0), 1);
    QTRY_COMPARE(frame_->channelView().model().index(0).data(CChannelListModel::kCountsRole).toString(),
                 QString("1/3"));
    // The keyboard stays in the list, and the next headline replaces the article in its pane.
    QCOMPARE(QApplication::focusWidget(), &list.list());
    QTest::keyClick(&list.list(), Qt::Key_Up);
    QCOMPARE(&WaitForArticle(Link("alpha", 3)), &article);
    QTRY_COMPARE(ChannelUnread(0), 0);

    // Left and Right step as on the page stack while the article has the keyboard.
    frame_->FocusPane(2);
    QTRY_COMPARE(QApplication::focusWidget(), &article.viewer());
    QTest::keyClick(&article.viewer(), Qt::Key_Right);
    QCOMPARE(article.article().link, Utf8ToUtf16(Link("alpha", 2)));
    QCOMPARE(list.list().currentIndex().row(), 1);
    QTest::keyClick(&article.viewer(), Qt::Key_Left);
    QCOMPARE(article.article().link, Utf8ToUtf16(Link("alpha", 3)));
  }

  void spaceAtTheEndGoesToTheNextUnreadHeadlineInTheNextChannel() {
    StartFrame({1300, 800});
    CHeadlinesDlg& alpha = WaitForHeadlines(channels_[0]);
    alpha.list().setCurrentIndex(alpha.model().index(1, 0));  // Alpha 2, the last unread one
    CArticleViewDlg& first = WaitForArticle(Link("alpha", 2));
    frame_->FocusPane(2);
    QTRY_COMPARE(QApplication::focusWidget(), &first.viewer());
    // Alpha 3 is still unread, above: the next channel comes first.
    QTest::keyClick(&first.viewer(), Qt::Key_Space);
    CHeadlinesDlg& beta = WaitForHeadlines(channels_[1]);
    CArticleViewDlg& next = WaitForArticle(Link("beta", 2));
    QCOMPARE(frame_->channelView().list().currentIndex().row(), 1);
    QCOMPARE(beta.list().currentIndex().row(), 0);
    QTRY_COMPARE(QApplication::focusWidget(), &next.viewer());
    QCOMPARE(ReadFlags(channels_[1]), (std::vector<unsigned>{kFlagUnread, kFlagRead}));
    // Within the channel: the next unread one below.
    QTest::keyClick(&next.viewer(), Qt::Key_Space);
    QCOMPARE(&WaitForArticle(Link("beta", 1)), &next);
    QCOMPARE(ReadFlags(channels_[1]), (std::vector<unsigned>{kFlagRead, kFlagRead}));
    // Beta read through: round to Alpha's last unread headline.
    QTest::keyClick(&next.viewer(), Qt::Key_Space);
    WaitForHeadlines(channels_[0]);
    WaitForArticle(Link("alpha", 3));
  }

  void tabAndEscapeMoveBetweenThePanes() {
    StartFrame({1300, 800});
    CHeadlinesDlg& list = WaitForHeadlines(channels_[0]);
    // A click on the selected headline shows it too.
    QTest::mouseClick(list.list().viewport(), Qt::LeftButton, {},
                      list.list().visualRect(list.model().index(0, 0)).center());
    CArticleViewDlg& article = WaitForArticle(Link("alpha", 3));
    QListView& channels = frame_->channelView().list();
    channels.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &channels);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &list.list());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &article.viewer());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &channels);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), &article.viewer());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), &list.list());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), &channels);
    // Nothing closed on the way.
    QCOMPARE(ArticlePane(), &article);

    // Return on a channel goes on to its headlines, whether it is open already
    // or opens with it.
    QTest::keyClick(&channels, Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), &list.list());
    channels.setFocus();
    QTest::keyClick(&channels, Qt::Key_Down);
    QTest::keyClick(&channels, Qt::Key_Return);
    CHeadlinesDlg& next = WaitForHeadlines(channels_[1]);
    QTRY_COMPARE(QApplication::focusWidget(), &next.list());
  }

  // Every command of the panes' soft keys and menus is on the bar, and runs
  // on its own page; a page that is no pane covers the panes and their bar.
  void everyCommandIsOnTheCommandBar() {
    StartFrame({1600, 1000});
    CHeadlinesDlg& list = WaitForHeadlines(channels_[0]);
    list.list().setCurrentIndex(list.model().index(1, 0));
    CArticleViewDlg& article = WaitForArticle(Link("alpha", 2));
    CCommandBar& bar = *frame_->commandBar();
    QTRY_VERIFY(bar.actions().size() > 10);

    std::set<int> expected{cmd::kRefresh};
    for (CPage* page : {frame_->Pane(0), frame_->Pane(1), frame_->Pane(2)}) AddCommands(page->MenuEntries(), expected);
    std::set<int> onBar;
    std::map<int, QAction*> byCommand;
    for (QAction* action : bar.actions()) {
      if (action->isSeparator()) continue;
      if (auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(action)); button && button->menu()) {
        emit button->menu()->aboutToShow();
        ForEachCommandAction(*button->menu(), [&](QAction& item, int command) {
          onBar.insert(command);
          byCommand[command] = &item;
        });
      } else {
        onBar.insert(action->data().toInt());
        byCommand[action->data().toInt()] = action;
      }
    }
    QCOMPARE(onBar, expected);
    QCOMPARE(byCommand[cmd::kRefresh]->text(), QString("Refresh"));
    QCOMPARE(byCommand[cmd::kExport]->text(), QString("Export..."));

    // A command runs on its own page, whichever pane has the keyboard.
    QVERIFY(byCommand[cmd::kNextArticle]->isEnabled());
    byCommand[cmd::kNextArticle]->trigger();
    QTRY_COMPARE(article.article().link, Utf8ToUtf16(Link("alpha", 1)));
    QVERIFY(!frame_->channelView().newOnly());
    // The drop-down's items (View > New Headlines) too.
    emit qobject_cast<QMenu*>(byCommand[cmd::kViewNew]->parent())->triggered(byCommand[cmd::kViewNew]);
    QTRY_VERIFY(frame_->channelView().newOnly());
    // "Mark Headline" runs the numbers of "Mark Channel" on the headline list.
    QMenu* markHeadline = nullptr;
    for (QAction* action : bar.actions())
      if (auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(action));
          button && button->text() == "Mark Headline")
        markHeadline = button->menu();
    QVERIFY(markHeadline != nullptr);
    emit markHeadline->aboutToShow();
    emit markHeadline->triggered(markHeadline->actions().at(1));  // Unread
    QTRY_COMPARE(ReadFlags(channels_[0]), (std::vector<unsigned>{kFlagUnread, kFlagRead, kFlagUnread}));
    QCOMPARE(ReadFlags(channels_[1]), (std::vector<unsigned>{kFlagUnread, kFlagUnread}));  // no channel was marked

    // About covers the window; closing it gives back the panes, the bar and
    // the keyboard where it was.
    list.list().setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &list.list());
    for (QAction* action : bar.actions())
      if (action->data().toInt() == cmd::kAbout) action->trigger();
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("aboutPage"));
    QVERIFY(!frame_->commandBar()->isVisible());
    QVERIFY(!frame_->paneLayout()->isVisible());
    QVERIFY(frame_->TopPage()->softKeys().isVisible());
    QVERIFY(!list.OnTop());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(frame_->paneLayout()->isVisible());
    QVERIFY(frame_->commandBar()->isVisible());
    QCOMPARE(QApplication::focusWidget(), &list.list());
  }

  // The panes' widths are kept between starts.
  void thePaneSizesAreKept() {
    StartFrame({1500, 900});
    WaitForHeadlines(channels_[0]);
    frame_->paneLayout()->setSizes({300, 500, 700});
    const QList<int> sizes = frame_->paneLayout()->sizes();
    frame_->Exit();
    frame_.reset();
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    QCOMPARE(frame_->size(), QSize(1500, 900));
    QTRY_VERIFY(frame_->paneLayout()->isVisible());
    QCOMPARE(frame_->paneLayout()->sizes(), sizes);
  }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
