// The frame: pages and command routing, the download broadcasts, the about
// screen, the translations the program ships, and the built program itself.
#include <QApplication>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QGuiApplication>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "engine/messages.h"
#include "engine/refresh.h"
#include "engine/timed_notifier.h"
#include "net/internet_error.h"
#include "store/settings.h"
#include "platform/text.h"
#include "store/channel_store.h"
#include "store/paths.h"
#include "store/translation.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/page.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

// Switches the program to the Chinese table it ships.
void UseShippedChinese() {
  const std::string folder = Utf16ToUtf8(GetSettingString(setting::kRoot)) + "/Localization/CHS";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::string(WRENLY_SOURCE_DIR) + "/data/Localization/CHS/Default.txt",
                             folder + "/Default.txt");
  SetSettingString(setting::kLanguage, u"CHS");
}

// The number of a process that has ended.
pid_t DeadProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// A page that records the commands it is offered and handles one of them.
class RecordingPage : public CPage {
 public:
  explicit RecordingPage(int handled) : handled_(handled) {}
  bool OnCommand(int command) override {
    seen.push_back(command);
    return command == handled_;
  }
  std::vector<int> seen;

 private:
  int handled_;
};

// Every text the program's sources hand to the translation table: Tr(u"..."),
// Translate(u"..."), ConfirmDelete(..., u"..."), menu entries {u"...", cmd::...},
// both texts of Tr(x ? u"..." : u"..."), table rows {"name", u"..."}, and the
// named texts kSomethingText[]
// (error texts that travel up from the transfer layer, the fetcher and the
// engine and are translated where they are shown).
std::set<QString> TranslatedTexts() {
  // A u"..." literal with its text in the first group.
  const QString literal = QStringLiteral("u\"((?:[^\"\\\\]|\\\\.)*)\"");
  const QList<QRegularExpression> patterns = {
      QRegularExpression("(?:\\bTr|\\bTranslate)\\(\\s*" + literal),
      QRegularExpression("ConfirmDelete\\([^,]+,\\s*" + literal),
      QRegularExpression("\\{" + literal + ",\\s*(?:cmd::|0,)"),
      QRegularExpression("\\bTr\\([^;]*?\\?\\s*" + literal + "\\s*:\\s*" + literal),
      QRegularExpression("\\bk(?:\\w*Text|CatalogUnreadable)\\[\\]\\s*=\\s*" + literal),
      QRegularExpression("\\{\"\\w+\",\\s*" + literal + "\\}"),
  };
  std::set<QString> texts;
  for (const char* folder : {"ui", "store", "engine", "net", "fetcher", "reader"}) {
    QDirIterator files(QString(WRENLY_SOURCE_DIR) + "/" + folder, {"*.cc", "*.h"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
      const QString path = files.next();
      if (path.endsWith("_test.cc")) continue;
      QFile file(path);
      file.open(QIODevice::ReadOnly);
      // Adjacent literals are one text.
      const QString source = QString::fromUtf8(file.readAll()).remove(QRegularExpression("\"\\s*u\""));
      for (const QRegularExpression& pattern : patterns)
        for (auto it = pattern.globalMatch(source); it.hasNext();) {
          const QRegularExpressionMatch match = it.next();
          for (int group = 1; group <= match.lastCapturedIndex(); ++group) texts.insert(match.captured(group));
        }
    }
  }
  return texts;
}

TranslationTable ShippedChineseTable() {
  std::ifstream in(std::string(WRENLY_SOURCE_DIR) + "/data/Localization/CHS/Default.txt", std::ios::binary);
  return ParseTranslationFile(std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
}

// Counts the wake-ups the automatic update asks for.
class RecordingTimer : public CTimedNotifier {
 public:
  bool SetTimedEvent(WallClock::time_point, std::shared_ptr<Event>) override {
    ++requests;
    return true;
  }
  void Withdraw(const Event*) override {}
  std::atomic<int> requests{0};
};

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;

  void StartFrame() {
    WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a"}});
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    QTRY_COMPARE(frame_->channelView().model().rowCount(), 1);
  }

 private slots:
  void init() { env_ = std::make_unique<UiTestEnvironment>(); }
  void cleanup() {
    frame_.reset();
    env_.reset();
  }

  void commandsAPageLeavesGoToThePagesBelowThenToTheFrame() {
    StartFrame();
    auto* lower = new RecordingPage(4242);
    auto* upper = new RecordingPage(0);
    frame_->PushPage(lower);
    int result = -1;
    frame_->PushPage(upper, [&](int r) { result = r; });
    QCOMPARE(frame_->TopPage(), static_cast<CPage*>(upper));
    upper->RunCommand(4242);
    QCOMPARE(upper->seen, (std::vector<int>{4242}));
    QCOMPARE(lower->seen, (std::vector<int>{4242}));
    upper->RunCommand(cmd::kAbout);  // nobody's but the frame's
    QCOMPARE(frame_->TopPage()->objectName(), QString("aboutPage"));
    QVERIFY(frame_->TopPage()->findChild<QLabel*>("aboutText")->text().contains("for Linux"));
    QTest::keyClick(frame_->TopPage(), Qt::Key_F1);  // OK
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(upper));
    QTest::keyClick(upper, Qt::Key_Escape);
    QCOMPARE(result, kResultCancel);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(lower));
  }

  void theMenuKeyIsOffFromDownloadStartToTheFinishedBroadcast() {
    StartFrame();
    CChannelView& view = frame_->channelView();
    QVERIFY(view.softKeys().right().isEnabled());
    BroadcastRegistered(kMsgDownloadStart);
    QTRY_VERIFY(!view.softKeys().right().isEnabled());
    QVERIFY(!view.categoryBar().isEnabled());
    QVERIFY(frame_->downloading());
    BroadcastRegistered(kMsgHeadlinesFinished);
    QTRY_VERIFY(view.softKeys().right().isEnabled());
    QVERIFY(view.categoryBar().isEnabled());
  }

  void aPushedPageGivesTheKeyboardToItsChoice() {
    StartFrame();
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    auto* page = new RecordingPage(0);
    auto* first = new QLineEdit;
    auto* chosen = new QLineEdit;
    page->layout()->addWidget(first);
    page->layout()->addWidget(chosen);
    page->setFocusProxy(chosen);
    frame_->PushPage(page);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(chosen));
    auto* upper = new RecordingPage(0);
    frame_->PushPage(upper);
    chosen->setFocusProxy(nullptr);
    page->setFocusProxy(nullptr);
    upper->Close(kResultOk);
    // Back on top: the keyboard is where it was.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(chosen));
  }

  void theMenuKeyOpensOneMenuAndAgainClosesIt() {
    StartFrame();
    CPage& view = frame_->channelView();
    const auto menus = view.findChildren<QMenu*>().size();
    QTest::keyClick(&view, Qt::Key_F2);
    QWidget* menu = QApplication::activePopupWidget();
    QVERIFY(qobject_cast<QMenu*>(menu) != nullptr);
    // The menu has the keyboard; pressed again, the key closes it rather
    // than stacking a second menu on the first.
    QTest::keyClick(menu, Qt::Key_F2);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QTRY_COMPARE(view.findChildren<QMenu*>().size(), menus);
    frame_->activateWindow();  // what the window manager does once the menu is gone
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    QTest::keyClick(&view, Qt::Key_F2);
    QVERIFY(QApplication::activePopupWidget() != nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_F1);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  }

  void theScheduleStartsOnlyInTheTimedMode() {
    WriteCatalog({});
    RecordingTimer timer;
    SetSettingInt(setting::kAutoUpdateMode, 1);
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power", &timer});
    QTest::qWait(200);
    QCOMPARE(timer.requests.load(), 0);
    frame_.reset();
    SetSettingInt(setting::kAutoUpdateMode, 2);
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power", &timer});
    QTRY_COMPARE(timer.requests.load(), 1);
    frame_.reset();  // stops the schedule before the timer goes
  }

  void exitShutsDownAndClosesTheWindow() {
    StartFrame();
    QVERIFY(frame_->isVisible());
    frame_->channelView().RunCommand(cmd::kExit);
    QVERIFY(frame_->shutDown());
    QVERIFY(!frame_->isVisible());
  }

  void theShippedChineseTableTranslatesEveryTextTheProgramShows() {
    const TranslationTable table = ShippedChineseTable();
    QVERIFY(table.size() > 50);
    const std::set<QString> texts = TranslatedTexts();
    QVERIFY(texts.count("Loading, please waiting...") == 1);
    QVERIFY(texts.count(QString::fromStdU16String(kNotAFeedText)) == 1);
    QVERIFY(texts.count(QString::fromStdU16String(kResponseTooLargeText)) == 1);
    QStringList missing;
    for (const QString& text : texts) {
      // Lines and tab-separated pieces are looked up one by one.
      for (const QString& line : QString(text).replace("\\n", "\n").replace("\\t", "\t").split('\n'))
        for (const QString& piece : line.split('\t'))
          if (!piece.trimmed().isEmpty() && piece.trimmed() != ":" && !table.count(piece.trimmed().toStdU16String()))
            missing << piece;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(" | ")));
  }

  void theWindowFitsTheScreenFirstAndThenKeepsItsSizeAndPlace() {
    StartFrame();
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    QVERIFY(frame_->width() <= screen.width() && frame_->height() <= screen.height());
    QVERIFY(frame_->width() >= std::min(480, screen.width()));
    frame_->setGeometry(40, 50, 530, 470);
    frame_->Exit();
    frame_.reset();
    StartFrame();
    QCOMPARE(frame_->size(), QSize(530, 470));
  }

  // The question box answers to Alt+Y and Alt+N, in English and in Chinese.
  void yesAndNoKeepTheirMnemonicsInEveryLanguage() {
    SetDialogs(nullptr);
    // Presses Alt+key on the box once it shows and notes its Yes button's
    // text; "stuck" when the key left the box open.
    const auto answer = [](Qt::Key key, QString* yesText) -> QString {
      QTimer poll;
      bool stuck = false;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
          auto* box = qobject_cast<QMessageBox*>(widget);
          if (box == nullptr || !box->isVisible()) continue;
          poll.stop();
          *yesText = box->button(QMessageBox::Yes)->text();
          QApplication::setActiveWindow(box);
          QTest::keyClick(box, key, Qt::AltModifier);
          QTimer::singleShot(2000, box, [box, &stuck] {
            stuck = true;
            box->reject();
          });
        }
      });
      poll.start(10);
      const bool yes = Dialogs().AskYesNo(nullptr, "Question", "Go on?");
      return stuck ? "stuck" : yes ? "yes" : "no";
    };
    QString yes;
    QCOMPARE(answer(Qt::Key_Y, &yes), QString("yes"));
    QCOMPARE(yes, QString("&Yes"));
    QCOMPARE(answer(Qt::Key_N, &yes), QString("no"));

    UseShippedChinese();
    QCOMPARE(answer(Qt::Key_N, &yes), QString("no"));
    QCOMPARE(yes, QString::fromUtf8("\xE6\x98\xAF(&Y)"));
    QCOMPARE(answer(Qt::Key_Y, &yes), QString("yes"));
  }

  void transferErrorsShowInChinese() {
    const TranslationTable table = ShippedChineseTable();
    QStringList missing;
    for (std::uint32_t code = 0; code < 20000; ++code) {
      const std::u16string text = InternetErrorText(code);
      if (!text.empty() && !table.count(text)) missing << QString::fromStdU16String(text);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(" | ")));

    // The error entry of a channel's headlines is written in the language of
    // the moment, its reason included.
    UseShippedChinese();
    CreateFolder(ChannelDataFolder());
    const std::string items = ChannelDataPath("Ch100.bin");
    for (const std::u16string& reason : {InternetErrorText(ERROR_INTERNET_NAME_NOT_RESOLVED),
                                         std::u16string(kNotAFeedText)}) {
      QVERIFY(WriteErrorRecord(items, reason));
      CChannelStore store(items, false);
      std::u16string description;
      while (store.ReadNext())
        if (store.current().type == kItemTypeError) description = store.current().description;
      const std::u16string expected =
          table.find(u"An error occured while attempting to download the channel data:")->second +
          table.find(reason)->second;
      QCOMPARE(QString::fromStdU16String(description), QString::fromStdU16String(expected));
    }
  }

  // Start-up also removes the temporary files a killed process left in the
  // data and settings folders, and nothing else.
  void theProgramRunsOnceCleansUpAfterAKilledProcessAndEndsOnSigterm() {
    const std::string data = env_->root() + "/data/Wrenly Mobile/ChannelData/";
    const std::string config = env_->root() + "/config/Dalwick Software Lab/";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(config);
    const std::string dead = std::to_string(DeadProcessId());
    const std::vector<std::string> stale = {data + "Ch001.bin.tmp-" + dead + "-1", data + "Ch001~.xml.part" + dead + "-2",
                                            config + "Wrenly Mobile.conf.tmp-" + dead + "-3"};
    for (const std::string& path : stale) std::ofstream(path) << "left over";
    std::ofstream(data + "Ch001.bin") << "kept";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(env_->root() + "/config"));
    environment.insert("XDG_DATA_HOME", QString::fromStdString(env_->root() + "/data"));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(env_->root()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QString(WRENLY_BIN_DIR) + "/Wrenly", {});
    QVERIFY(first.waitForStarted());
    // Up: the single-instance lock is held once the clean-up ran.
    for (const std::string& path : stale) QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QString::fromStdString(path)), 10000);
    QVERIFY(QFileInfo::exists(QString::fromStdString(data + "Ch001.bin")));
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QString(WRENLY_BIN_DIR) + "/Wrenly", {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
  }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
