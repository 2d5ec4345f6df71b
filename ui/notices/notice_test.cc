// Desktop notices of new headlines, on a private session bus (the test runs
// under dbus-run-session) with a stand-in notification service that records
// what it receives. The window and the refresh are the real ones, against
// feeds on 127.0.0.1.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/auto_update.h"
#include "engine/messages.h"
#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "store/settings.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/page.h"
#include "ui/notices/new_headlines_notice.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

// Warnings and errors Qt or the program log while a test runs.
QStringList* loggedProblems = nullptr;
void RecordProblems(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtDebugMsg && type != QtInfoMsg && loggedProblems != nullptr) *loggedProblems << text;
}

QDBusMessage RecorderCall(const char* method) {
  return QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/recorder", "app.wrenly.NoticeRecorder",
                                        method);
}

}  // namespace

class NoticeTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<wrenly::testing::TestSite> site_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<QProcess> service_;
  std::unique_ptr<QWidget> other_;  // another window, which takes the activation
  std::atomic<int> round_{0};       // every round, every feed has one more item

  CChannelView& View() { return frame_->channelView(); }

  // Four channels; in round r the feed of channel i has i + r + 1 items.
  void StartWithFourChannels() {
    std::vector<CatalogChannel> channels;
    const char* names[] = {"Alpha", "Beta", "Gamma", "Delta"};
    for (int i = 0; i < 4; ++i) {
      const std::string path = "/" + std::string(names[i]) + ".xml";
      site_->Handle(path, [this, i, name = std::string(names[i])](const httplib::Request&, httplib::Response& res) {
        std::vector<wrenly::testing::FeedItemSpec> items;
        for (int n = 0; n <= i + round_; ++n)
          items.push_back({name + std::to_string(n), "http://127.0.0.1:9/" + name + std::to_string(n), "x"});
        res.set_content(wrenly::testing::RssFeed(name, "http://127.0.0.1:9/", "", items), "text/xml");
      });
      channels.push_back({u"News", Utf8ToUtf16(names[i]), site_->Url(path)});
    }
    WriteCatalog(channels);
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    QTRY_COMPARE(View().model().rowCount(), 4);
  }
  void StartService() {
    service_ = std::make_unique<QProcess>();
    service_->start(QString(WRENLY_BIN_DIR) + "/notice_service_stand_in", QStringList());
    QVERIFY(service_->waitForReadyRead(10000));
    QCOMPARE(service_->readLine().trimmed(), QByteArray("ready"));
  }
  QStringList Received() {
    const QDBusReply<QStringList> reply = QDBusConnection::sessionBus().call(RecorderCall("Received"));
    return reply.isValid() ? reply.value() : QStringList{"<no answer>"};
  }
  void MakeInactive() {
    other_->show();
    other_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other_.get()));
    QVERIFY(!frame_->isActiveWindow());
  }
  void MakeActive() {
    frame_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
  }
  // Runs one refresh to its end: a new round of items first.
  void RunRefresh(const std::function<void()>& start) {
    QSignalSpy ended(frame_.get(), &CMainFrame::downloadingChanged);
    start();
    QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty() && !ended.last().first().toBool(), 30000);
    QTRY_VERIFY(!View().downloading());
    ++round_;
  }
  void Scheduled() {
    RunRefresh([this] { frame_->bridge().Post(WM_REFRESH_SCHEDULED, 0, 0); });
  }

 private slots:
  void init() {
    env_ = std::make_unique<UiTestEnvironment>();
    SetSettingInt(setting::kDownloadFulltext, 0);
    site_ = std::make_unique<wrenly::testing::TestSite>();
    other_ = std::make_unique<QWidget>();
    other_->resize(100, 100);
    round_ = 0;
  }
  void cleanup() {
    frame_.reset();
    other_.reset();
    if (service_) {
      service_->kill();
      service_->waitForFinished();
    }
    service_.reset();
    site_.reset();
    env_.reset();
    loggedProblems = nullptr;
    qInstallMessageHandler(nullptr);
  }

  void theNoticeCountsHeadlinesAndChannelsInEnglishAndChinese() {
    NoticeText one = NewHeadlinesText(1, {u"Alpha"});
    QCOMPARE(one.summary, QString("1 new headline in 1 channel"));
    QCOMPARE(one.body, QString("Alpha"));
    QCOMPARE(NewHeadlinesText(3, {u"Alpha"}).summary, QString("3 new headlines in 1 channel"));
    NoticeText many = NewHeadlinesText(9, {u"A", u"B", u"C", u"D", u"E"});
    QCOMPARE(many.summary, QString("9 new headlines in 5 channels"));
    QCOMPARE(many.body, QString("A\nB\nC\nand 2 more"));
    const std::string chinese = Utf16ToUtf8(GetSettingString(setting::kRoot)) + "/Localization/CHS";
    std::filesystem::create_directories(chinese);
    std::filesystem::copy_file(WRENLY_SOURCE_DIR "/data/Localization/CHS/Default.txt", chinese + "/Default.txt");
    SetSettingString(setting::kLanguage, u"CHS");
    many = NewHeadlinesText(9, {u"A", u"B", u"C", u"D", u"E"});
    QCOMPARE(many.summary, QString::fromUtf16(u"5 \u4E2A\u9891\u9053\u6709 9 \u6761\u65B0\u6807\u9898"));
    QCOMPARE(many.body, QString::fromUtf16(u"A\nB\nC\n\u53E6\u6709 2 \u4E2A\u9891\u9053"));
  }

  // A scheduled refresh with new headlines while another window is active:
  // one notice; its click brings the window forward on the channel list.
  void aScheduledRefreshWhileInactiveShowsOneNoticeAndItsClickBringsTheListForward() {
    StartService();
    StartWithFourChannels();
    MakeInactive();
    Scheduled();  // everything is new: 1 + 2 + 3 + 4 headlines
    QTRY_COMPARE(Received().size(), 1);
    const QStringList fields = Received().first().split('\t');
    QCOMPARE(fields[0], QString("10 new headlines in 4 channels"));
    QCOMPARE(fields[1], QString("Alpha\nBeta\nGamma\nand 1 more"));
    QCOMPARE(fields[2], QString("default,Show"));

    View().list().setCurrentIndex(View().model().index(3));
    frame_->OnCommand(cmd::kAbout);  // a screen covers the list
    QVERIFY(frame_->TopPage() != &View());
    QVERIFY(!frame_->isActiveWindow());
    QDBusMessage click = RecorderCall("Click");
    click << 1u;
    QDBusConnection::sessionBus().call(click);
    QTRY_VERIFY(frame_->isActiveWindow());
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(&View()));
    QCOMPARE(View().list().currentIndex().row(), 0);  // the first channel named
    QVERIFY(View().list().hasFocus());
  }

  // No notice for an active window, a refresh the person started, a refresh
  // with nothing new, or with the setting off; docking gives one.
  void onlyAnAutomaticRefreshWithNewHeadlinesWhileInactiveAndTurnedOnShowsANotice() {
    StartService();
    StartWithFourChannels();
    MakeActive();
    Scheduled();
    MakeInactive();
    RunRefresh([this] { View().RunCommand(cmd::kRefresh); });  // the person's Refresh
    --round_;  // the same items again: nothing new
    Scheduled();
    SetSettingInt(setting::kNewHeadlinesNotice, 0);
    Scheduled();
    QCOMPARE(Received(), QStringList());

    SetSettingInt(setting::kNewHeadlinesNotice, 1);
    SetSettingInt(setting::kAutoUpdateMode, kAutoUpdateWhenDocked);
    RunRefresh([this] { frame_->bridge().Post(WM_CRADLE_CHANGED, 1, 0); });
    QTRY_COMPARE(Received().size(), 1);
    QCOMPARE(Received().first().section('\t', 0, 0), QString("4 new headlines in 4 channels"));
  }

  void withoutANotificationServiceNothingShowsAndNothingIsLogged() {
    StartWithFourChannels();
    MakeInactive();
    QStringList problems;
    loggedProblems = &problems;
    qInstallMessageHandler(RecordProblems);
    Scheduled();
    QTest::qWait(500);  // the bus's error answer arrives
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QVERIFY(!frame_->isActiveWindow());
  }
};

QTEST_MAIN(NoticeTest)
#include "notice_test.moc"
