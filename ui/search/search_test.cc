// The search screen driven by keys through its real widgets on the offscreen
// platform, over channels merged from feed documents through the store.
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QMenu>
#include <QTest>

#include "platform/text.h"
#include "reader/reader_data.h"
#include "ui/article/article_view_dlg.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tr.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/search/search_dlg.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

std::string Link(int i) { return "http://127.0.0.1/item/" + std::to_string(i); }

QStringList Titles(const CSearchResultModel& model) {
  QStringList titles;
  for (int r = 0; r < model.rowCount(); ++r) titles << model.index(r).data().toString();
  return titles;
}

// "newItemCount" of a channel as the catalog holds it.
QString StoredUnread(int channel) {
  std::vector<reader::CatalogEntry> entries;
  reader::ReaderData::Current().ListChannels(entries);
  for (const reader::CatalogEntry& entry : entries)
    if (entry.Number() == channel) return ToQString(entry.Get(u"newItemCount"));
  return "<none>";
}

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;
  std::vector<int> channels_;

  // "World" and "Local", each with a volcano among its items.
  void StartFrame() {
    channels_ = WriteCatalog({{u"News", u"World", u"http://127.0.0.1:9/world", 3, 3},
                              {u"News", u"Local", u"http://127.0.0.1:9/local", 2, 2}});
    MergeFeed(channels_[0], {{"Volcano wakes", Link(1), "Thu, 01 May 2008 10:00:00 GMT", "<p>Ash</p>"},
                             {"Markets", Link(2), "Sat, 03 May 2008 10:00:00 GMT", "<p>The volcano hurts trade</p>"},
                             {"\xE5\x8C\x97\xE4\xBA\xAC\xE6\x96\xB0\xE9\x97\xBB", Link(3),
                              "Sun, 04 May 2008 10:00:00 GMT", "<p>x</p>"}});
    MergeFeed(channels_[1], {{"Caf\xC3\xA9 by the Volcano", Link(4), "Fri, 02 May 2008 10:00:00 GMT", "<p>y</p>"},
                             {"Weather", Link(5), "Mon, 05 May 2008 10:00:00 GMT", "<p>Rain</p>"}});
    RegisterReadingScreens();
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    frame_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    QTRY_VERIFY(frame_->channelView().list().isVisible());
    QTRY_COMPARE(frame_->channelView().list().model()->rowCount(), 2);
  }

  CSearchDlg* OpenSearch(QWidget& from) {
    from.setFocus();
    QTest::keyClick(&from, Qt::Key_F, Qt::ControlModifier);
    [&] { QTRY_COMPARE(frame_->TopPage()->objectName(), QString("searchView")); }();
    return static_cast<CSearchDlg*>(frame_->TopPage());
  }

  // Back in the field (Shift+Tab from the results), new words and Return.
  void Type(CSearchDlg& page, const QString& words) {
    if (page.results().hasFocus()) QTest::keyClick(&page.results(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(page.field().hasFocus());
    page.field().clear();
    // Keys for Latin letters; other text as an input method gives it.
    if (words.toLatin1() == words.toUtf8())
      QTest::keyClicks(&page.field(), words);
    else
      page.field().insert(words);
    QTest::keyClick(&page.field(), Qt::Key_Return);
  }

 private slots:
  void init() {
    env_ = std::make_unique<UiTestEnvironment>();
    Screens() = {};
  }
  void cleanup() {
    frame_.reset();
    env_.reset();
    Screens() = {};
  }

  void fromTheChannelListEveryChannelIsSearchedAndResultsOpenAndStepLikeHeadlines() {
    StartFrame();
    CSearchDlg* page = OpenSearch(frame_->channelView().list());
    QAbstractItemModelTester tester(&page->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(page->allChannels() == nullptr);
    QCOMPARE(page->status().text(), QString("Type the words to find."));

    Type(*page, "VOLCANO");
    QCOMPARE(Titles(page->model()), QStringList({"Markets", ToQString(u"Caf\u00E9 by the Volcano"), "Volcano wakes"}));
    QCOMPARE(page->status().text(), QString("3 headlines found"));
    QVERIFY(page->results().hasFocus());
    QCOMPARE(page->results().currentIndex().row(), 0);

    // Each row reads as its title, then its channel, its state and its date.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&page->results());
    QVERIFY(list != nullptr && list->childCount() >= 3);
    QCOMPARE(list->child(1)->text(QAccessible::Name), ToQString(u"Caf\u00E9 by the Volcano"));
    const QString date = page->model().index(1).data(CSearchResultModel::kDateRole).toString();
    QCOMPARE(date.size(), 16);
    QCOMPARE(list->child(1)->text(QAccessible::Description), "Local, Unread, " + date);

    // Return opens the first result; Right steps to the next one, in
    // another channel; both are marked read in their item files.
    QTest::keyClick(&page->results(), Qt::Key_Return);
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("articleView"));
    auto* article = static_cast<CArticleViewDlg*>(frame_->TopPage());
    QCOMPARE(article->article().title, u"Markets");
    QCOMPARE(article->article().channelTitle, u"World");
    QTest::keyClick(frame_->TopPage()->focusWidget(), Qt::Key_Right);
    QTRY_COMPARE(article->article().title, u"Caf\u00E9 by the Volcano");
    QCOMPARE(ReadFlags(channels_[0]), (std::vector<unsigned>{0, kFlagRead, 0}));
    QCOMPARE(ReadFlags(channels_[1]), (std::vector<unsigned>{kFlagRead, 0}));

    QTest::keyClick(frame_->TopPage()->focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), page);
    QTRY_VERIFY(page->results().hasFocus());
    QCOMPARE(page->results().currentIndex().row(), 1);
    QVERIFY(!page->model().index(0).data(CSearchResultModel::kNewRole).toBool());
    QVERIFY(page->model().index(2).data(CSearchResultModel::kNewRole).toBool());

    // Esc goes back to the channel list, and the catalog holds the counts.
    QTest::keyClick(&page->results(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&frame_->channelView()));
    QCOMPARE(StoredUnread(channels_[0]), QString("2"));
    QCOMPARE(StoredUnread(channels_[1]), QString("1"));
  }

  void fromAHeadlineListItsChannelIsSearchedUntilWidened() {
    StartFrame();
    auto* headlines = static_cast<CHeadlinesDlg*>(Screens().headlines(*frame_, {channels_[0], "World", {}}));
    frame_->PushPage(headlines);
    QTRY_VERIFY(headlines->list().isVisible());
    bool listed = false;
    QMenu* menu = headlines->OpenMenu();
    ForEachCommandAction(*menu, [&](QAction& action, int command) {
      listed |= command == cmd::kSearch && action.isEnabled() && action.text() == "Search...";
    });
    menu->close();
    QVERIFY(listed);

    CSearchDlg* page = OpenSearch(headlines->list());
    QVERIFY(page->allChannels() != nullptr);
    Type(*page, "volcano");
    QCOMPARE(Titles(page->model()), QStringList({"Markets", "Volcano wakes"}));
    QTest::keyClick(&page->results(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(page->allChannels()->isChecked());
    QCOMPARE(page->model().rowCount(), 3);

    // What is read here shows in the headline list once the search closes.
    QTest::keyClick(&page->results(), Qt::Key_Return);
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("articleView"));
    QTest::keyClick(frame_->TopPage()->focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), page);
    QTest::keyClick(&page->results(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(headlines));
    QTRY_COMPARE(headlines->Counts().unread, 2);
  }

  void accentsAndChineseAreFoundAndEveryWordMustBeThere() {
    StartFrame();
    CSearchDlg* page = OpenSearch(frame_->channelView().list());
    Type(*page, "cafe volcano");
    QCOMPARE(Titles(page->model()), QStringList({ToQString(u"Caf\u00E9 by the Volcano")}));
    QCOMPARE(page->status().text(), QString("1 headline found"));
    QCOMPARE(page->model().index(0).data(CSearchResultModel::kChannelRole).toString(), QString("Local"));

    Type(*page, ToQString(u"\u4EAC\u65B0"));
    QCOMPARE(Titles(page->model()), QStringList({ToQString(u"\u5317\u4EAC\u65B0\u95FB")}));

    Type(*page, "volcano london");
    QCOMPARE(page->model().rowCount(), 0);
    QCOMPARE(page->status().text(), QString("No headline holds every word."));
    QVERIFY(page->field().hasFocus());
  }
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
