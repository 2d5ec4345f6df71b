// The headline list driven through its real widgets on the offscreen
// platform, on channels merged from feed documents through the store.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QAccessible>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/download_manager.h"
#include "engine/messages.h"
#include "platform/notifier.h"
#include "platform/text.h"
#include "reader/reader_data.h"
#include "ui/article/article_view_dlg.h"
#include "ui/channels/category_bar.h"
#include "ui/channels/channel_view.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

int RunArticleTests(int argc, char** argv);

namespace {

constexpr char16_t kUrl[] = u"http://127.0.0.1:9/alpha";

QString CatalogAttribute(const char16_t* name) {
  std::vector<reader::CatalogEntry> entries;
  reader::ReaderData::Current().ListChannels(entries);
  for (const reader::CatalogEntry& entry : entries)
    if (entry.Get(u"xmlUrl") == kUrl && entry.attributes.count(name) != 0) return ToQString(entry.Get(name));
  return "<none>";
}

std::string Link(int i) { return "http://127.0.0.1/item/" + std::to_string(i); }
std::u16string Link16(int i) { return Utf8ToUtf16(Link(i)); }

// Pixels of exactly this colour in a widget's picture.
int PixelsOfColour(QWidget& widget, QRgb colour) {
  const QImage shot = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) count += (shot.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
  return count;
}

// The enabled state of a page's menu items, by command.
std::map<int, bool> EnabledCommands(CPage& page) {
  std::map<int, bool> enabled;
  QMenu* menu = page.OpenMenu();
  ForEachCommandAction(*menu, [&](QAction& action, int command) { enabled[command] = action.isEnabled(); });
  menu->close();
  return enabled;
}

// Three unread items, newest first: 3, 2, 1.
std::vector<TestFeedItem> ThreeItems() {
  return {{"One", Link(1), "Thu, 01 May 2008 10:00:00 GMT", "<p>first</p>"},
          {"Two", Link(2), "Fri, 02 May 2008 09:00:00 GMT", "<p>second</p>"},
          {"Three", Link(3), "Sat, 03 May 2008 08:00:00 GMT", "<p>third</p>"}};
}

}  // namespace

class HeadlinesTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;
  int channel_ = 0;

  // A catalog of one channel, then the frame on it.
  void StartFrame(int total, int unread) {
    channel_ = WriteCatalog({{u"News", u"Alpha", kUrl, total, unread}})[0];
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    QTRY_VERIFY(frame_->channelView().list().isVisible());
  }
  CHeadlinesDlg& OpenHeadlines() {
    auto* page = new CHeadlinesDlg(*frame_, {channel_, "Alpha", ToQString(kUrl)});
    frame_->PushPage(page);
    [&] { QTRY_VERIFY(page->list().isVisible()); }();
    return *page;
  }
  QStringList Titles(CHeadlineModel& model) {
    QStringList titles;
    for (int r = 0; r < model.rowCount(); ++r) titles << model.index(r).data().toString();
    return titles;
  }
  std::vector<int> Images(CHeadlineModel& model) {
    std::vector<int> images;
    for (int r = 0; r < model.rowCount(); ++r) images.push_back(model.Row(r).image);
    return images;
  }

  // Opens the first channel's headline list from the channel list with
  // Return, then its first headline the same way.
  CHeadlinesDlg* OpenFirstArticleFromChannelList() {
    QListView& channels = frame_->channelView().list();
    CHeadlinesDlg* page = nullptr;
    [&] {
      QTRY_COMPARE(channels.model()->rowCount(), 1);
      channels.setCurrentIndex(channels.model()->index(0, 0));
      QTest::keyClick(&channels, Qt::Key_Return);
      QTRY_COMPARE(frame_->TopPage()->objectName(), QString("headlinesView"));
      page = static_cast<CHeadlinesDlg*>(frame_->TopPage());
      QTRY_VERIFY(page->list().isVisible());
      QTest::keyClick(&page->list(), Qt::Key_Return);
      QTRY_COMPARE(frame_->TopPage()->objectName(), QString("articleView"));
    }();
    return QTest::currentTestFailed() ? nullptr : page;
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

  void rowsAreSortedWithTheirPicturesAndCounted() {
    StartFrame(0, 0);
    MergeFeed(channel_, {{"May 1", Link(1), "Thu, 01 May 2008 10:00:00 GMT", "a"},
                         {"May 2", Link(2), "Fri, 02 May 2008 09:00:00 GMT", "b"},
                         {"April", Link(3), "Tue, 01 Apr 2008 10:00:00 GMT", "c"},
                         {"June", Link(4), "Sun, 01 Jun 2008 10:00:00 GMT", "d"},
                         {"March", Link(5), "Sat, 01 Mar 2008 10:00:00 GMT", "e"},
                         {"January", Link(6), "Tue, 01 Jan 2008 10:00:00 GMT", "f"}});
    SetReadFlag(channel_, Link16(3), kFlagRead);
    SetReadFlag(channel_, Link16(4), kFlagReadFullText);
    SetReadFlag(channel_, Link16(5), kFlagUnreadFullText);
    WriteErrorEntry(channel_, u"The server did not answer");
    frame_->downloadManager().AddJob(Link16(6), "none.htm", "none.tpl", false, channel_, {});

    CHeadlinesDlg& page = OpenHeadlines();
    QAbstractItemModelTester tester(&page.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QStringList titles = Titles(page.model());
    QCOMPARE(titles.mid(1), QStringList({"May 2", "May 1", "March", "January", "June", "April"}));
    QVERIFY(titles[0].startsWith("Error occured on last update"));
    QVERIFY(titles[0].endsWith(": Tap for details."));
    QCOMPARE(Images(page.model()), (std::vector<int>{kImageError, kImageUnread, kImageUnread, kImageUnreadFullText,
                                                     kImageQueued, kImageReadFullText, kImageRead}));
    QCOMPARE(page.model().index(1).data(CHeadlineModel::kDateRole).toString().size(), 16);
    const ChannelCounts counts = page.Counts();
    QCOMPARE(counts.total, 6);
    QCOMPARE(counts.unread, 4);
    QCOMPARE(page.list().currentIndex().row(), 0);
    frame_->downloadManager().ClearJobs();

    // A screen reader reads each row as its title, then whether it is read and its date.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&page.list());
    QVERIFY(list != nullptr && list->childCount() >= 7);
    QCOMPARE(list->child(1)->text(QAccessible::Name), QString("May 2"));
    const QString date = page.model().index(1).data(CHeadlineModel::kDateRole).toString();
    QCOMPARE(list->child(1)->text(QAccessible::Description), "Unread, " + date);
    QVERIFY(list->child(6)->text(QAccessible::Description).startsWith("Read, "));
  }

  void refreshReadsCancelWhileDownloadingAndTheEndReloads() {
    StartFrame(0, 0);
    MergeFeed(channel_, ThreeItems());
    CHeadlinesDlg& page = OpenHeadlines();
    const auto firstMenuText = [&] {
      QMenu* menu = page.OpenMenu();
      const QString text = menu->actions().first()->text();
      menu->close();
      return text;
    };
    QCOMPARE(firstMenuText(), QString("Refresh"));
    QVERIFY(!page.busy().running());

    Broadcast(RegisterMessage(kMsgDownloadStart), 0, 0);
    QTRY_VERIFY(page.busy().running());
    QCOMPARE(firstMenuText(), QString("Cancel"));
    MergeFeed(channel_, {{"Four", Link(4), "Sun, 04 May 2008 08:00:00 GMT", "x"}});
    Broadcast(RegisterMessage(kMsgDownloadFinished), 0, 0);
    QTRY_COMPARE(page.model().rowCount(), 4);
    QTRY_VERIFY(!page.busy().running());
    QCOMPARE(page.Counts().unread, 4);
  }

  void openingAHeadlineFromTheChannelListMarksItReadAndLowersTheCount() {
    RegisterReadingScreens();
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    CHeadlinesDlg* opened = OpenFirstArticleFromChannelList();
    QVERIFY(opened != nullptr);
    CHeadlinesDlg& page = *opened;
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{0, 0, 2}));  // "Three" is the newest
    QCOMPARE(page.model().Row(0).image, int(kImageRead));
    QTest::keyClick(frame_->TopPage(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&page));
    QTest::keyClick(&page.list(), Qt::Key_F1);  // "Channels"
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&frame_->channelView()));
    QTRY_COMPARE(CatalogAttribute(u"newItemCount"), QString("2"));
    QCOMPARE(CatalogAttribute(u"itemCount"), QString("3"));

    // The program ending with an article open keeps the lowered count too.
    QVERIFY(OpenFirstArticleFromChannelList() != nullptr);
    frame_->Exit();
    QCOMPARE(CatalogAttribute(u"newItemCount"), QString("1"));
  }

  void deleteOneAndDeleteAll() {
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    for (const char* kept : {"-Logo.img", "-Fav.ico", ".tpl"})
      testsupport::WriteFile(ChannelFile(channel_, kept), "kept");
    CHeadlinesDlg& page = OpenHeadlines();
    env_->dialogs().answers = {false};
    QTest::keyClick(&page.list(), Qt::Key_Delete);
    QCOMPARE(page.model().rowCount(), 3);

    env_->dialogs().answers = {true};
    QTest::keyClick(&page.list(), Qt::Key_Delete);
    QCOMPARE(env_->dialogs().asked.back(), QString("Confirm Delete|Are you sure you want to delete this item?"));
    QCOMPARE(Titles(page.model()), QStringList({"Two", "One"}));
    QCOMPARE(page.list().currentIndex().row(), 0);
    QCOMPARE(page.Counts().total, 2);
    QCOMPARE(page.Counts().unread, 2);
    QCOMPARE(ReadFlags(channel_).size(), size_t{2});
    QCOMPARE(CatalogAttribute(u"itemCount"), QString("2"));

    env_->dialogs().answers = {true};
    page.RunCommand(cmd::kDeleteAllHeadlines);
    QCOMPARE(page.model().rowCount(), 0);
    QCOMPARE(page.Counts().total, 0);
    QCOMPARE(CatalogAttribute(u"newItemCount"), QString("0"));
    QVERIFY(!std::filesystem::exists(ChannelFile(channel_, ".bin")));
    for (const char* kept : {"-Logo.img", "-Fav.ico", ".tpl"})
      QVERIFY(std::filesystem::exists(ChannelFile(channel_, kept)));
  }

  void markOneMarkAllAndAFullTextArrival() {
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    CHeadlinesDlg& page = OpenHeadlines();
    page.RunCommand(cmd::kMarkRead);  // "Three", the selected row
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{0, 0, 2}));
    QCOMPARE(page.model().Row(0).image, int(kImageRead));
    QCOMPARE(page.Counts().unread, 2);
    QCOMPARE(CatalogAttribute(u"newItemCount"), QString("2"));
    page.RunCommand(cmd::kMarkRead);  // already read: nothing to count
    QCOMPARE(page.Counts().unread, 2);
    page.RunCommand(cmd::kMarkUnread);
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{0, 0, 0}));
    QCOMPARE(page.Counts().unread, 3);

    page.RunCommand(cmd::kMarkAllRead);
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{2, 2, 2}));
    QCOMPARE(page.Counts().unread, 0);
    QCOMPARE(Images(page.model()), (std::vector<int>{kImageRead, kImageRead, kImageRead}));

    // The full text of "Two" arrives while the screen is open: the row turns
    // unread with the full-text picture.
    const std::string text = StoredFilePath(channel_, Link16(2), ".htm");
    QVERIFY(!text.empty());
    testsupport::WriteFile(text, "<p>the whole story</p>");
    CDownloadManager& downloads = frame_->downloadManager();
    downloads.AddJob(Link16(2), text, "none.tpl", false, channel_, [] { return true; });
    downloads.StartJobs();
    QTRY_COMPARE(page.model().Row(1).image, int(kImageUnreadFullText));
    QVERIFY(page.model().Row(1).isNew);
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{2, 0, 2}));
    QCOMPARE(page.Counts().unread, 1);

    page.RunCommand(cmd::kMarkAllUnread);
    QCOMPARE(page.Counts().unread, 3);
    QCOMPARE(Images(page.model()), (std::vector<int>{kImageUnread, kImageUnreadFullText, kImageUnread}));
  }

  // A reload of the covered list leaves the keyboard with the article, and
  // keys that reach the covered list anyway neither close it nor delete.
  void aCoveredListNeitherTakesTheKeyboardNorCloses() {
    RegisterReadingScreens();
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    QPointer<CHeadlinesDlg> page = OpenFirstArticleFromChannelList();
    QVERIFY(page != nullptr);
    CPage* article = frame_->TopPage();
    frame_->activateWindow();
    article->TakeFocus();
    page->Reload();
    QVERIFY(!page->list().hasFocus());
    QVERIFY(!page->isAncestorOf(QApplication::focusWidget()));

    env_->dialogs().answers = {true};
    QTest::keyClick(&page->list(), Qt::Key_Delete);
    QTest::keyClick(&page->list(), Qt::Key_Escape);
    page->Close(kResultOk);
    QTest::qWait(50);
    QVERIFY(page != nullptr);
    QCOMPARE(frame_->TopPage(), article);
    QCOMPARE(ReadFlags(channel_).size(), size_t{3});
    QVERIFY(env_->dialogs().asked.empty());

    // The article still steps through the list below it.
    QVERIFY(page->CanMove(-1));
    const std::u16string previous = page->model().Row(page->list().currentIndex().row() - 1).title;
    QTest::keyClick(&static_cast<CArticleViewDlg*>(article)->viewer(), Qt::Key_Left);
    QCOMPARE(static_cast<CArticleViewDlg*>(article)->article().title, previous);
    QTest::keyClick(article, Qt::Key_F1);  // "Headlines"
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(page.data()));
  }

  // The article's Delete removes the item it shows, also after a reload
  // lost its row and the selection fell back to the first one.
  void theArticlesDeleteRemovesOnlyItsOwnItem() {
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    CHeadlinesDlg& page = OpenHeadlines();
    page.list().setCurrentIndex(page.model().index(1));
    page.OpenArticle();
    auto* view = qobject_cast<CArticleViewDlg*>(frame_->TopPage());
    QVERIFY(view != nullptr);
    QCOMPARE(view->article().title, std::u16string(u"Two"));
    QVERIFY(reader::ReaderData::Current().DeleteItem(channel_, Link16(2)).done());  // gone meanwhile
    page.Reload();
    env_->dialogs().answers = {true};
    view->RunCommand(cmd::kDeleteHeadline);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&page));
    QCOMPARE(Titles(page.model()), QStringList({"Three", "One"}));
    QCOMPARE(ReadFlags(channel_).size(), size_t{2});
  }

  // A list closed while a refresh merged writes the item file's counts, not
  // the ones it loaded.
  void closingTheListKeepsTheCountsOfTheItemFile() {
    RegisterReadingScreens();
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    QListView& channels = frame_->channelView().list();
    QTRY_COMPARE(channels.model()->rowCount(), 1);
    channels.setCurrentIndex(channels.model()->index(0, 0));
    QTest::keyClick(&channels, Qt::Key_Return);
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("headlinesView"));
    auto* page = static_cast<CHeadlinesDlg*>(frame_->TopPage());
    QTRY_VERIFY(page->list().isVisible());
    page->RunCommand(cmd::kMarkRead);
    std::vector<TestFeedItem> more;
    for (int i = 4; i < 14; ++i) more.push_back({"More", Link(i), "Sun, 04 May 2008 08:00:00 GMT", "x"});
    MergeFeed(channel_, more);  // the refresh merges, and stores its counts
    QTest::keyClick(&page->list(), Qt::Key_F1);  // "Channels"
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&frame_->channelView()));
    QTRY_COMPARE(CatalogAttribute(u"itemCount"), QString("13"));
    QCOMPARE(CatalogAttribute(u"newItemCount"), QString("12"));
    QCOMPARE(frame_->channelView().model().index(0).data(CChannelListModel::kCountsRole).toString(),
             QString("12/13"));
  }

  // Full texts that arrived while no list was open do not turn items unread
  // that were read since, when the next full text arrives.
  void fullTextsFinishedBeforeTheListOpenedAreNotAppliedLater() {
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    CDownloadManager& downloads = frame_->downloadManager();
    const auto arrive = [&](int item) {
      const std::string text = StoredFilePath(channel_, Link16(item), ".htm");
      testsupport::WriteFile(text, "<p>the whole story</p>");
      downloads.AddJob(Link16(item), text, "none.tpl", false, channel_, [] { return true; });
      downloads.StartJobs();
      QTRY_VERIFY(downloads.IsDrained());
    };
    arrive(2);  // no list open
    QTest::qWait(50);
    CHeadlinesDlg& page = OpenHeadlines();
    page.RunCommand(cmd::kMarkAllRead);
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{2, 2, 2}));
    arrive(3);
    QTRY_VERIFY(page.model().Row(0).isNew);  // "Three" turned unread
    QTest::qWait(50);
    QCOMPARE(ReadFlags(channel_)[1], 2u);    // "Two" stays read
    QVERIFY(!page.model().Row(1).isNew);
    QCOMPARE(page.Counts().unread, 1);
  }

  // During a refresh the properties cannot open and Delete All would be
  // undone by the running merge: both are greyed.
  void whatCannotRunDuringARefreshIsGreyed() {
    Screens().channelProperties = [](CMainFrame&, const ChannelRef&) -> CPage* { return new CPage; };
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    CHeadlinesDlg& page = OpenHeadlines();
    QVERIFY(EnabledCommands(page)[cmd::kProperties]);
    QVERIFY(EnabledCommands(page)[cmd::kDeleteAllHeadlines]);
    Broadcast(RegisterMessage(kMsgDownloadStart), 0, 0);
    QTRY_VERIFY(page.busy().running());
    QVERIFY(!EnabledCommands(page)[cmd::kProperties]);
    QVERIFY(!EnabledCommands(page)[cmd::kDeleteAllHeadlines]);
    env_->dialogs().answers = {true};
    page.RunCommand(cmd::kDeleteAllHeadlines);
    QCOMPARE(page.model().rowCount(), 3);
    Broadcast(RegisterMessage(kMsgDownloadFinished), 0, 0);
    QTRY_VERIFY(!page.busy().running());
    QVERIFY(EnabledCommands(page)[cmd::kProperties]);
    QVERIFY(EnabledCommands(page)[cmd::kDeleteAllHeadlines]);
  }

  // A catalog that cannot be read refuses marking, deleting and opening:
  // each says so in an error box, and the items and rows stay as they are.
  void anUnreadableCatalogIsShownAndChangesNothing() {
    StartFrame(3, 3);
    MergeFeed(channel_, ThreeItems());
    CHeadlinesDlg& page = OpenHeadlines();
    testsupport::WriteFile(CChannelView::CatalogPath(), "not a catalog");
    const QString refused = "Error|" + Tr(kCatalogUnreadable);
    const auto& asked = env_->dialogs().asked;
    page.RunCommand(cmd::kMarkRead);
    QCOMPARE(std::count(asked.begin(), asked.end(), refused), 1);
    page.RunCommand(cmd::kMarkAllRead);
    env_->dialogs().answers = {true};
    page.RunCommand(cmd::kDeleteHeadline);
    page.OpenArticle();
    auto* view = qobject_cast<CArticleViewDlg*>(frame_->TopPage());
    QVERIFY(view != nullptr);
    QCOMPARE(view->article().title, std::u16string(u"Three"));
    QCOMPARE(std::count(asked.begin(), asked.end(), refused), 4);
    QCOMPARE(ReadFlags(channel_), (std::vector<unsigned>{0, 0, 0}));
    QCOMPARE(page.model().rowCount(), 3);
    QVERIFY(page.model().Row(0).isNew);
    QCOMPARE(page.Counts().unread, 3);
  }

  // The channel title in the header is plain text: markup in it shows as
  // written, and no picture it names is drawn.
  void theHeaderShowsTheChannelTitleAsPlainText() {
    StartFrame(0, 0);
    const QString picture = QString::fromStdString(env_->root() + "/red.png");
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    QVERIFY(red.save(picture, "PNG"));
    auto* page = new CHeadlinesDlg(*frame_, {channel_, "<img src=\"" + picture + "\">Alpha", ToQString(kUrl)});
    frame_->PushPage(page);
    QTRY_VERIFY(page->list().isVisible());
    auto* title = page->findChild<QLabel*>("channelTitle");
    QVERIFY(title != nullptr);
    QCOMPARE(PixelsOfColour(*title, qRgb(255, 0, 0)), 0);
    QCOMPARE(title->textFormat(), Qt::PlainText);
  }

  void headerLogoSize() {
    QCOMPARE(HeaderLogoSize({100, 30}, 480, 1.0), QSize(100, 30));
    QCOMPARE(HeaderLogoSize({400, 40}, 480, 1.0), QSize(240, 24));  // half the width
    QCOMPARE(HeaderLogoSize({100, 68}, 480, 1.0), QSize(50, 34));   // held at 34, width follows
    QCOMPARE(HeaderLogoSize({100, 10}, 480, 1.0), QSize(100, 23));  // held at 23
    QCOMPARE(HeaderLogoSize({100, 100}, 480, 2.0), QSize(68, 68));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failures = 0;
  {
    HeadlinesTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  failures += RunArticleTests(argc, argv);
  return failures;
}

#include "headlines_test.moc"
