// The channel list driven through its real widgets on the offscreen platform.
// The scripted backend comes before Qt, whose "signals" keyword is one of its
// field names.
#include "net/scripted_connection_backend.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <map>

#include "engine/messages.h"
#include "engine/refresh_test_support.h"
#include "net/connection_backend.h"
#include "net/network_connection.h"
#include "platform/text.h"
#include "store/channel_catalog.h"
#include "store/channel_files.h"
#include "store/item_record.h"
#include "store/paths.h"
#include "store/settings.h"
#include "ui/channels/category_edit_dlg.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/screens.h"
#include "ui/frame/tr.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

// The catalog's attribute of the first outline with this address.
QString CatalogAttribute(const std::u16string& url, const char* name) {
  CChannelCatalog catalog;
  catalog.LoadAndReport(CChannelView::CatalogPath());
  std::u16string value;
  return catalog.GetOutlineAttribute(url, name, &value) == 1 ? ToQString(value) : QString("<none>");
}

QStringList Titles(CChannelListModel& model) {
  QStringList titles;
  for (int r = 0; r < model.rowCount(); ++r) titles << model.index(r).data().toString();
  return titles;
}

// The enabled state of every command action of a menu, by command.
std::map<int, bool> EnabledCommands(QMenu& menu) {
  std::map<int, bool> enabled;
  ForEachCommandAction(menu, [&](QAction& action, int command) { enabled[command] = action.isEnabled(); });
  return enabled;
}

// Runs wrenly-cli on the test's data and returns its exit code.
int RunCli(const QStringList& arguments) {
  QProcess cli;
  cli.start(QString(WRENLY_BIN_DIR) + "/wrenly-cli", arguments);
  if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit) return -1;
  return cli.exitCode();
}

}  // namespace

class ChannelViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;

  CChannelView& View() { return frame_->channelView(); }
  void StartFrame() {
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
  }
  // Starts the frame on the catalog and waits for the first list.
  void StartWithList(int rows) {
    StartFrame();
    QTRY_COMPARE(View().model().rowCount(), rows);
    QTRY_VERIFY(View().list().isVisible());
  }
  std::vector<int> ThreeChannels() {
    return WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a", 10, 3},
                         {u"Tech", u"Beta", u"http://127.0.0.1:9/b", 0, 0},
                         {u"News", u"Gamma", u"http://127.0.0.1:9/c", 4, 0}});
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

  void firstStartShowsTheWelcomeScreenAndContinueCreatesTheCatalog() {
    bool wizardOpened = false;
    bool catalogDuringWizard = true;
    Screens().newChannelWizard = [&](CMainFrame&) {
      wizardOpened = true;
      // The wizard sees a first start: no catalog file yet.
      catalogDuringWizard = FileExists(CChannelView::CatalogPath());
      auto* page = new CPage;
      QTimer::singleShot(0, page, [page] { page->Close(kResultCancel); });
      return page;
    };
    StartFrame();
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("welcomePage"));
    QVERIFY(!FileExists(CChannelView::CatalogPath()));
    QTest::keyClick(frame_->TopPage(), Qt::Key_F2);  // "Continue >>"
    QTRY_VERIFY(wizardOpened);
    QVERIFY(!catalogDuringWizard);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&View()));
    QVERIFY(FileExists(CChannelView::CatalogPath()));
    QCOMPARE(View().model().rowCount(), 0);
  }

  void returnOnTheWelcomeScreenContinuesIntoTheWizard() {
    bool wizardOpened = false;
    Screens().newChannelWizard = [&](CMainFrame&) {
      wizardOpened = true;
      auto* page = new CPage;
      QTimer::singleShot(0, page, [page] { page->Close(kResultCancel); });
      return page;
    };
    StartFrame();
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("welcomePage"));
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(wizardOpened);
  }

  void backFromTheWelcomeScreenLeavesAnEmptyListAndNoCatalog() {
    StartFrame();
    QTRY_COMPARE(frame_->TopPage()->objectName(), QString("welcomePage"));
    QTest::keyClick(frame_->TopPage(), Qt::Key_Escape);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&View()));
    QCOMPARE(View().model().rowCount(), 0);
    QVERIFY(!FileExists(CChannelView::CatalogPath()));
  }

  void listsChannelsInCatalogOrderWithTheirCounts() {
    ThreeChannels();
    StartWithList(3);
    QAbstractItemModelTester tester(&View().model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    CChannelListModel& model = View().model();
    QCOMPARE(Titles(model), QStringList({"Alpha", "Gamma", "Beta"}));  // News first, then Tech
    QCOMPARE(model.index(0).data(CChannelListModel::kCountsRole).toString(), QString("3/10"));
    QVERIFY(model.index(0).data(CChannelListModel::kUnreadRole).toBool());
    QCOMPARE(model.index(1).data(CChannelListModel::kCountsRole).toString(), QString("0/4"));
    QVERIFY(!model.index(1).data(CChannelListModel::kUnreadRole).toBool());
    QCOMPARE(model.index(2).data(CChannelListModel::kCountsRole).toString(), QString());
    QCOMPARE(model.index(2).data(CChannelListModel::kImageRole).toInt(), 1);
    QCOMPARE(View().categories(), (std::vector<std::u16string>{u"News", u"Tech"}));

    // A screen reader reads each row as its title and its counts.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&View().list());
    QVERIFY(list != nullptr && list->childCount() >= 3);
    QCOMPARE(list->child(0)->text(QAccessible::Name), QString("Alpha"));
    QCOMPARE(list->child(0)->text(QAccessible::Description), QString("3 unread of 10"));
    QCOMPARE(list->child(2)->text(QAccessible::Description), QString());
  }

  void categoryFilterAlsoMatchesTranslatedNames() {
    WriteTranslation("CHS", u"News=\u65B0\u95FB\n");
    SetSettingString(setting::kLanguage, u"CHS");
    WriteCatalog({{u"\u65B0\u95FB", u"Alpha", u"http://127.0.0.1:9/a", 1, 1},
                  {u"Tech", u"Beta", u"http://127.0.0.1:9/b", 1, 1}});
    StartWithList(2);
    View().ChooseCategory(cmd::kFirstCategory);  // the stored "新闻"
    QTRY_COMPARE(Titles(View().model()), QStringList({"Alpha"}));
    QCOMPARE(View().categoryBar().caption(), QString::fromUtf16(u"\u65B0\u95FB"));
    View().ChooseCategory(cmd::kAllCategories);
    QTRY_COMPARE(View().model().rowCount(), 2);
    // A category stored in English matches the filter through its translation.
    WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a", 1, 1}, {u"Tech", u"Beta", u"http://127.0.0.1:9/b", 1, 1}});
    View().RunCommand(cmd::kViewNew);
    View().RunCommand(cmd::kViewAll);
    QTRY_COMPARE(View().categories().size(), size_t{2});
    View().ChooseCategory(cmd::kFirstCategory);
    QTRY_COMPARE(Titles(View().model()), QStringList({"Alpha"}));
  }

  void newHeadlinesModeHidesReadChannelsAndResetsTheFilter() {
    ThreeChannels();
    StartWithList(3);
    View().ChooseCategory(cmd::kFirstCategory + 1);  // Tech
    QTRY_COMPARE(Titles(View().model()), QStringList({"Beta"}));
    View().RunCommand(cmd::kViewNew);
    QTRY_COMPARE(Titles(View().model()), QStringList({"Alpha"}));
    QCOMPARE(View().categoryBar().caption(), QString("All Categories"));
    QMenu* menu = View().OpenMenu();
    bool newChecked = false;
    ForEachCommandAction(*menu, [&](QAction& action, int command) {
      if (command == cmd::kViewNew) newChecked = action.isChecked();
    });
    QVERIFY(newChecked);
    menu->close();
  }

  void deleteAsksAndRemovesTheChannelWithItsFiles() {
    const std::vector<int> numbers = ThreeChannels();
    WriteItems(numbers[1], {0, 2});
    WriteItems(numbers[2], {0});
    StartWithList(3);
    View().list().setCurrentIndex(View().model().index(2));
    env_->dialogs().answers = {false};
    QTest::keyClick(&View().list(), Qt::Key_Delete);
    QCOMPARE(View().model().rowCount(), 3);  // "No" changes nothing
    env_->dialogs().answers = {true};
    QTest::keyClick(&View().list(), Qt::Key_Delete);
    QCOMPARE(Titles(View().model()), QStringList({"Alpha", "Gamma"}));
    QCOMPARE(View().list().currentIndex().row(), 1);  // the new last row
    QCOMPARE(CatalogAttribute(u"http://127.0.0.1:9/b", "text"), QString("<none>"));
    QVERIFY(!FileExists(ChannelDataPath(ChannelFileName(numbers[1], ".bin"))));
    QVERIFY(FileExists(ChannelDataPath(ChannelFileName(numbers[2], ".bin"))));
    QVERIFY(env_->dialogs().asked.back().startsWith("Confirm Delete|Are you sure"));
    env_->dialogs().answers = {true, true};
    View().RunCommand(cmd::kDelete);
    View().RunCommand(cmd::kDelete);
    QCOMPARE(View().model().rowCount(), 0);
    View().RunCommand(cmd::kDelete);  // nothing selected: nothing asked
    QCOMPARE(env_->dialogs().answers.size(), size_t{0});
  }

  void renameInPlaceWritesTheCatalog() {
    ThreeChannels();
    StartWithList(3);
    View().list().setCurrentIndex(View().model().index(0));
    View().RunCommand(cmd::kRename);
    auto* editor = View().list().findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Alpha Weekly");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "text"), QString("Alpha Weekly"));
    // Escape keeps the old title.
    View().RunCommand(cmd::kRename);
    editor = View().list().findChild<QLineEdit*>();
    QTest::keyClicks(editor, "xyz");
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(View().model().index(0).data().toString(), QString("Alpha Weekly"));
    QCOMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "text"), QString("Alpha Weekly"));
  }

  void changeCategoryMovesTheChannel() {
    ThreeChannels();
    StartWithList(3);
    View().list().setCurrentIndex(View().model().index(0));
    View().RunCommand(cmd::kChangeCategory);
    auto* editor = qobject_cast<CCategoryEditDlg*>(frame_->TopPage());
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->list().count(), 2);
    QCOMPARE(editor->chosen(), std::u16string(u"News"));  // the first is preselected
    editor->list().setCurrentRow(1);
    QTest::keyClick(editor, Qt::Key_F1);  // OK
    QTRY_COMPARE(Titles(View().model()), QStringList({"Gamma", "Beta", "Alpha"}));
  }

  void markReadAndUnreadChangeTheItemFiles() {
    const std::vector<int> numbers = ThreeChannels();
    WriteItems(numbers[0], {0, 1, 2, 3});
    WriteItems(numbers[2], {0});
    StartWithList(3);
    View().list().setCurrentIndex(View().model().index(0));
    View().RunCommand(cmd::kMarkRead);
    QCOMPARE(ReadFlags(numbers[0]), (std::vector<unsigned>{2, 3, 2, 3}));
    // The counts come from the item file (4 items), not from what the
    // catalog held before (10).
    QCOMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "newItemCount"), QString("0"));
    QCOMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "itemCount"), QString("4"));
    QCOMPARE(View().model().index(0).data(CChannelListModel::kCountsRole).toString(), QString("0/4"));
    QCOMPARE(ReadFlags(numbers[2]), (std::vector<unsigned>{0}));  // another channel stays
    View().RunCommand(cmd::kMarkAllUnread);
    QCOMPARE(ReadFlags(numbers[0]), (std::vector<unsigned>{0, 1, 0, 1}));
    QCOMPARE(ReadFlags(numbers[2]), (std::vector<unsigned>{0}));
    QCOMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "newItemCount"), QString("4"));
    QVERIFY(View().model().index(0).data(CChannelListModel::kUnreadRole).toBool());
  }

  void markAfterTheCatalogTurnedUnreadableChangesNoItemAndSaysWhy() {
    const std::vector<int> numbers = ThreeChannels();
    WriteItems(numbers[0], {0, 1, 2, 3});
    StartWithList(3);
    testsupport::WriteFile(CChannelView::CatalogPath(), "<opml><body><outline text=");
    View().list().setCurrentIndex(View().model().index(0));
    View().RunCommand(cmd::kMarkRead);
    QCOMPARE(ReadFlags(numbers[0]), (std::vector<unsigned>{0, 1, 2, 3}));
    View().RunCommand(cmd::kMarkAllRead);
    QCOMPARE(ReadFlags(numbers[0]), (std::vector<unsigned>{0, 1, 2, 3}));
    QCOMPARE(testsupport::ReadFile(CChannelView::CatalogPath()), std::string("<opml><body><outline text="));
    QVERIFY(!env_->dialogs().asked.empty());
    QVERIFY(env_->dialogs().asked.back().contains("could not be read"));
  }

  void exportCopiesTheCatalog() {
    ThreeChannels();
    StartWithList(3);
    const std::string target = env_->root() + "/exported.opml";
    testsupport::WriteFile(target, "old");
    env_->dialogs().saveFileName = QString::fromStdString(target);
    View().RunCommand(cmd::kExport);
    QCOMPARE(testsupport::ReadFile(target), testsupport::ReadFile(CChannelView::CatalogPath()));
  }

  void unreadableCatalogIsShownAsSuchAndNeverOverwritten() {
    CreateFolder(ChannelDataFolder());
    testsupport::WriteFile(CChannelView::CatalogPath(), "<opml><body><outline text=");
    StartFrame();
    QTRY_VERIFY(View().findChild<QLabel*>("loadingText")->text().contains("could not be read"));
    QVERIFY(View().findChild<QLabel*>("loadingText")->isVisible());
    View().RunCommand(cmd::kMarkAllRead);
    QCOMPARE(testsupport::ReadFile(CChannelView::CatalogPath()), std::string("<opml><body><outline text="));
  }

  // Closing a channel's screen stores the counts of its item file, not any
  // the screen held.
  void closingAChannelScreenStoresTheCountsOfItsItemFile() {
    const std::vector<int> numbers = ThreeChannels();
    WriteItems(numbers[0], {0, 0, 2, 2, 2, 2, 2, 2, 2});
    QString opened;
    Screens().headlines = [&](CMainFrame&, const ChannelRef& channel) {
      opened = channel.title;
      return new CPage;
    };
    StartWithList(3);
    QTest::keyClick(&View().list(), Qt::Key_Down);
    QTest::keyClick(&View().list(), Qt::Key_Up);
    QTest::keyClick(&View().list(), Qt::Key_Return);
    QTRY_COMPARE(opened, QString("Alpha"));
    QTest::keyClick(frame_->TopPage(), Qt::Key_Escape);
    QTRY_COMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "itemCount"), QString("9"));
    QCOMPARE(CatalogAttribute(u"http://127.0.0.1:9/a", "newItemCount"), QString("2"));
    QCOMPARE(View().model().index(0).data(CChannelListModel::kCountsRole).toString(), QString("2/9"));
  }

  // Without a network the refresh only waits for the connection: Cancel
  // ends the wait without asking again, and a request that gives up ends
  // it with a message.
  void withoutANetworkCancelAndAGiveUpEndTheWait() {
    ThreeChannels();
    ScriptedConnectionBackend backend;
    backend.SetProbe({S_OK, true, kConnStatusNoPathToDestination});
    backend.SetRequest({E_FAIL, kConnStatusConnectionCanceled, true});
    TheNetworkConnection().UseBackend(backend);
    // The connection lets go of the backend however the test ends.
    const std::unique_ptr<void, void (*)(void*)> restore(
        &backend, [](void*) { TheNetworkConnection().UseBackend(AlwaysConnectedBackend()); });
    StartWithList(3);
    QTest::keyClick(&View(), Qt::Key_F5);
    QVERIFY(View().refresh().waitingForConnection());
    QCOMPARE(View().softKeys().left().text(), QString("Cancel"));
    QTRY_COMPARE(backend.requests().size(), size_t{1});
    QTest::keyClick(&View(), Qt::Key_F1);  // Cancel
    QCOMPARE(View().softKeys().left().text(), QString("Refresh"));
    QVERIFY(!View().refresh().waitingForConnection());
    QVERIFY(!TheNetworkConnection().WatcherRunning());
    QCoreApplication::processEvents();
    QCOMPARE(backend.requests().size(), size_t{1});
    QVERIFY(env_->dialogs().asked.empty());

    // The request gives up (no route within its time): the wait ends.
    backend.SetRequest({E_FAIL, kConnStatusNoPathToDestination, false});
    QTest::keyClick(&View(), Qt::Key_F5);
    QTRY_COMPARE(View().softKeys().left().text(), QString("Refresh"));
    QVERIFY(!View().refresh().waitingForConnection());
    QVERIFY(!View().categoryBar().busy().running());
    QCOMPARE(env_->dialogs().asked.size(), size_t{1});
    QVERIFY(env_->dialogs().asked.back().contains("no network"));
  }

  // A reload while the feeds download (here: "New Headlines" hides a
  // channel) leaves each channel's results with that channel.
  void aReloadDuringARefreshKeepsEachChannelsResults() {
    wrenly::testing::TestSite site;
    std::atomic<bool> release{false};
    site.Handle("/slow.xml", [&](const httplib::Request&, httplib::Response& response) {
      for (int i = 0; i < 500 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      response.set_content(wrenly::testing::RssFeed("Slow", "http://127.0.0.1/", "",
                                                    {{"S1", "http://127.0.0.1/s1", "s"},
                                                     {"S2", "http://127.0.0.1/s2", "s"},
                                                     {"S3", "http://127.0.0.1/s3", "s"}}),
                           "text/xml");
    });
    site.Serve("/x.xml", wrenly::testing::RssFeed("X", "http://127.0.0.1/", "", {{"X1", "http://127.0.0.1/x1", "x"}}));
    site.Serve("/y.xml", wrenly::testing::RssFeed("Y", "http://127.0.0.1/", "", {{"Y1", "http://127.0.0.1/y1", "y"}}));
    const std::u16string x = site.Url("/x.xml"), slow = site.Url("/slow.xml"), y = site.Url("/y.xml");
    WriteCatalog({{u"News", u"X", x, 5, 5}, {u"News", u"Slow", slow, 0, 0}, {u"News", u"Y", y, 5, 5}});
    StartWithList(3);
    QTest::keyClick(&View(), Qt::Key_F5);
    QTRY_COMPARE(CatalogAttribute(x, "itemCount"), QString("1"));
    QTRY_COMPARE(CatalogAttribute(y, "itemCount"), QString("1"));
    View().RunCommand(cmd::kViewNew);  // Slow has no new headlines: hidden
    QTRY_COMPARE(Titles(View().model()), QStringList({"X", "Y"}));
    release = true;
    QTRY_COMPARE(View().softKeys().left().text(), QString("Refresh"));
    QTest::qWait(700);  // the gathered counts are saved
    QCOMPARE(CatalogAttribute(slow, "itemCount"), QString("3"));
    QCOMPARE(CatalogAttribute(y, "itemCount"), QString("1"));
    // The saved counts reload the list: Slow has new headlines now.
    QTRY_COMPARE(Titles(View().model()), QStringList({"X", "Slow", "Y"}));
    QCOMPARE(View().model().index(2).data(CChannelListModel::kCountsRole).toString(), QString("1/1"));
  }

  void changesByAnotherProcessShowWithoutARestartKeepingTheSelection() {
    const std::vector<int> numbers = ThreeChannels();
    StartWithList(3);
    CChannelListModel& model = View().model();
    View().list().setCurrentIndex(model.index(1));  // Gamma
    View().list().setFocus();

    QCOMPARE(RunCli({"add", "http://127.0.0.1:9/d", "Delta", "--category", "News"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Titles(model), QStringList({"Alpha", "Gamma", "Delta", "Beta"}), 10000);
    QCOMPARE(View().list().currentIndex().data(CChannelListModel::kNumberRole).toInt(), numbers[2]);
    QVERIFY(View().list().hasFocus());

    // Beta (shown last) gets two new items.
    const std::string feed = env_->root() + "/feed.xml";
    testsupport::WriteFile(feed, wrenly::testing::RssFeed("Beta", "http://127.0.0.1/", "",
                                                          {{"B1", "http://127.0.0.1/b1", "b"},
                                                           {"B2", "http://127.0.0.1/b2", "b"}}));
    // A title being edited meanwhile stays open; the list reloads after it.
    View().RunCommand(cmd::kRename);
    const QPointer<QLineEdit> editor = View().list().findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Gamma 2");
    QCOMPARE(RunCli({"merge", QString::number(numbers[1]), QString::fromStdString(feed)}), 0);
    QTest::qWait(1000);
    QVERIFY(editor != nullptr);
    QCOMPARE(model.index(3).data(CChannelListModel::kCountsRole).toString(), QString());
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(model.index(3).data(CChannelListModel::kCountsRole).toString(), QString("2/2"), 10000);
    QCOMPARE(Titles(model), QStringList({"Alpha", "Gamma 2", "Delta", "Beta"}));
    QCOMPARE(View().list().currentIndex().data(CChannelListModel::kNumberRole).toInt(), numbers[2]);
  }

  void aWrenlyCliRefreshAndAddShowInTheOpenWindowWithoutARestart() {
    wrenly::testing::TestSite site;
    std::atomic<bool> release{false};
    site.Handle("/slow.xml", [&](const httplib::Request&, httplib::Response& response) {
      for (int i = 0; i < 6000 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      response.set_content(wrenly::testing::RssFeed("Slow", "http://127.0.0.1/", "",
                                                    {{"S1", "http://127.0.0.1/s1", "s"},
                                                     {"S2", "http://127.0.0.1/s2", "s"},
                                                     {"S3", "http://127.0.0.1/s3", "s"}}),
                           "text/xml");
    });
    site.Serve("/fast.xml", wrenly::testing::RssFeed("Fast", "http://127.0.0.1/", "",
                                                      {{"F1", "http://127.0.0.1/f1", "f"},
                                                       {"F2", "http://127.0.0.1/f2", "f"}}));
    WriteCatalog({{u"News", u"Fast", site.Url("/fast.xml")}, {u"News", u"Slow", site.Url("/slow.xml")}});
    StartWithList(2);
    CChannelListModel& model = View().model();

    QProcess refresh;
    refresh.start(QString(WRENLY_BIN_DIR) + "/wrenly-cli", {"refresh"});
    QVERIFY(refresh.waitForStarted());
    // The refresh holds the slow feed's answer while a channel is added.
    QTRY_COMPARE_WITH_TIMEOUT(site.Requests("/slow.xml"), 1, 30000);
    QCOMPARE(RunCli({"add", "http://127.0.0.1:9/d", "Delta", "--category", "News"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Titles(model), QStringList({"Fast", "Slow", "Delta"}), 10000);
    QCOMPARE(refresh.state(), QProcess::Running);

    release = true;
    QTRY_COMPARE_WITH_TIMEOUT(refresh.state(), QProcess::NotRunning, 60000);
    QCOMPARE(refresh.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(model.index(0).data(CChannelListModel::kCountsRole).toString(), QString("2/2"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(model.index(1).data(CChannelListModel::kCountsRole).toString(), QString("3/3"), 10000);
    QCOMPARE(Titles(model), QStringList({"Fast", "Slow", "Delta"}));
  }

  void refreshStepsTheRowsThroughTheirImagesAndCancelEndsIt() {
    wrenly::testing::TestSite site;
    std::atomic<bool> release{false};
    site.Handle("/slow.xml", [&](const httplib::Request&, httplib::Response& response) {
      for (int i = 0; i < 500 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      response.set_content(wrenly::testing::RssFeed("Slow", "http://127.0.0.1/", "", {{"S", "http://127.0.0.1/s", "s"}}),
                           "text/xml");
    });
    site.Serve("/fast.xml", wrenly::testing::RssFeed("Fast", "http://127.0.0.1/", "",
                                                      {{"One", "http://127.0.0.1/1", "a"}, {"Two", "http://127.0.0.1/2", "b"}}));
    const std::string fast = site.UrlUtf8("/fast.xml"), slow = site.UrlUtf8("/slow.xml");
    WriteCatalog({{u"News", u"Fast", Utf8ToUtf16(fast)}, {u"News", u"Slow", Utf8ToUtf16(slow)}});
    StartWithList(2);
    std::map<int, std::vector<int>> images;
    connect(&View().model(), &CChannelListModel::rowImageChanged, this,
            [&](int row, int image) { images[row].push_back(image); });
    QTest::keyClick(&View(), Qt::Key_F5);
    QCOMPARE(View().softKeys().left().text(), QString("Cancel"));
    QVERIFY(View().categoryBar().busy().running());
    QTRY_COMPARE(images[0], (std::vector<int>{2, 8, 1}));  // waiting, downloading, done
    QTRY_COMPARE(images[1], (std::vector<int>{2, 8}));
    // A scheduled update while the refresh runs leaves it running.
    frame_->bridge().Post(WM_REFRESH_SCHEDULED, 0, 0);
    QTest::qWait(300);
    QCOMPARE(View().softKeys().left().text(), QString("Cancel"));
    QCOMPARE(images[1], (std::vector<int>{2, 8}));
    QTRY_VERIFY(!View().softKeys().right().isEnabled());   // no menu while the feeds download
    View().list().setCurrentIndex(View().model().index(0));
    std::map<int, bool> enabled;
    for (int command : {cmd::kDelete, cmd::kRename, cmd::kMarkRead, cmd::kProperties, cmd::kRefreshChannel})
      enabled[command] = true;
    QMenu probe;
    AddMenuEntries(probe, View().MenuEntries());
    ForEachCommandAction(probe, [&](QAction& action, int command) { View().PrepareAction(action, command); });
    for (const auto& [command, on] : EnabledCommands(probe))
      if (enabled.count(command)) QVERIFY2(!on, qPrintable(QString::number(command)));
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5), View().mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&View(), &menuEvent);
    QVERIFY(View().findChild<QMenu*>("popupMenu") == nullptr);
    QTest::keyClick(&View(), Qt::Key_F1);  // Cancel
    release = true;
    QTRY_COMPARE(View().softKeys().left().text(), QString("Refresh"));
    QVERIFY(!View().categoryBar().busy().running());
    QTRY_COMPARE(images[1].back(), 9);  // cancelled: not updated
    QCOMPARE(ToQString(View().model().Text(0, 1)), QString("2/2"));
    QTRY_COMPARE(CatalogAttribute(Utf8ToUtf16(fast), "itemCount"), QString("2"));
    QVERIFY(View().softKeys().right().isEnabled());
  }

  void languageSwitchRelabelsKeysTitleAndMenusButNotCategories() {
    WriteTranslation("CHS", u"Refresh=\u5237\u65B0\nMenu=\u83DC\u5355\nWrenly Mobile=Wrenly \u79FB\u52A8\u7248\n"
                            u"New=\u65B0\u5EFA\nNews=\u65B0\u95FB\nAll Categories=\u6240\u6709\u5206\u7C7B\n");
    ThreeChannels();
    StartWithList(3);
    QCOMPARE(frame_->windowTitle(), QString("Wrenly Mobile"));
    frame_->OnCommand(cmd::kSimplifiedChinese);
    QCOMPARE(View().softKeys().left().text(), QString::fromUtf16(u"\u5237\u65B0"));
    QCOMPARE(View().softKeys().right().text(), QString::fromUtf16(u"\u83DC\u5355"));
    QCOMPARE(frame_->windowTitle(), QString::fromUtf16(u"Wrenly \u79FB\u52A8\u7248"));
    QMenu* menu = View().OpenMenu();
    QCOMPARE(menu->actions().first()->text(), QString::fromUtf16(u"\u65B0\u5EFA"));
    menu->close();
    QMenu& dropDown = View().categoryBar().dropDown();
    emit View().categoryBar().dropDownAboutToShow(&dropDown);
    QStringList entries;
    for (QAction* action : dropDown.actions()) entries << action->text();
    QCOMPARE(entries.mid(0, 3), QStringList({QString::fromUtf16(u"\u6240\u6709\u5206\u7C7B"), "News", "Tech"}));
    frame_->OnCommand(cmd::kEnglish);
    QCOMPARE(View().softKeys().left().text(), QString("Refresh"));
  }

  void altDownOpensTheCategoryDropDownFromTheList() {
    ThreeChannels();
    StartWithList(3);
    QApplication::setActiveWindow(frame_.get());
    View().list().setFocus();
    QMenu& dropDown = View().categoryBar().dropDown();
    QStringList shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (!dropDown.isVisible()) return;
      poll.stop();
      for (QAction* action : dropDown.actions()) shown << action->text();
      dropDown.close();
    });
    poll.start(10);
    QTest::keyClick(&View().list(), Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(!shown.isEmpty());
    QCOMPARE(shown.mid(0, 3), QStringList({"All Categories", "News", "Tech"}));
  }

  void aTranslationFileWithoutItsMarkIsIgnored() {
    WriteTranslation("CHS", u"Refresh=\u5237\u65B0\n", false);
    SetSettingString(setting::kLanguage, u"CHS");
    WriteCatalog({});
    StartFrame();
    QTRY_COMPARE(View().softKeys().left().text(), QString("Refresh"));
  }

  void simplifiedChineseIsOfferedOnlyOnAChineseLocale() {
    WriteCatalog({});
    StartFrame();
    QMenu probe;
    AddMenuEntries(probe, View().MenuEntries());
    const auto states = [&] {
      std::map<int, std::pair<bool, bool>> s;  // enabled, checked
      ForEachCommandAction(probe, [&](QAction& action, int command) {
        View().PrepareAction(action, command);
        s[command] = {action.isEnabled(), action.isChecked()};
      });
      return s;
    };
    auto s = states();
    QCOMPARE(s[cmd::kSimplifiedChinese], std::make_pair(false, false));
    QCOMPARE(s[cmd::kEnglish], std::make_pair(true, true));
    testsupport::ScopedEnv chinese("LANG", "zh_CN.UTF-8");
    s = states();
    QCOMPARE(s[cmd::kSimplifiedChinese], std::make_pair(true, true));  // "Language" absent: the locale's
    QCOMPARE(s[cmd::kEnglish], std::make_pair(true, false));
  }
};

QTEST_MAIN(ChannelViewTest)
#include "channel_view_test.moc"
