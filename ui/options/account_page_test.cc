// The "Account" option page through its real widgets on the offscreen
// platform, with a login check that answers without a server and no session
// bus (so passwords go to the private file).
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <filesystem>

#include "platform/text.h"
#include "reader/account.h"
#include "reader/account_texts.h"
#include "reader/reader_data.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/screens.h"
#include "ui/frame/tr.h"
#include "ui/options/option_account_dlg.h"
#include "ui/options/register_screens.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

// A login check that notes what it was given and on which thread.
struct FakeCheck {
  reader::Result answer;
  std::shared_ptr<reader::Account> given = std::make_shared<reader::Account>();
  std::shared_ptr<std::atomic<QThread*>> thread = std::make_shared<std::atomic<QThread*>>(nullptr);

  COptionAccountDlg::LoginCheck Function() {
    return [answer = answer, given = given, thread = thread](const reader::Account& account) {
      *given = account;
      *thread = QThread::currentThread();
      return answer;
    };
  }
};

void Fill(COptionAccountDlg& page, const QString& server, const QString& user, const QString& password) {
  page.findChild<QLineEdit*>("accountServer")->setText(server);
  page.findChild<QLineEdit*>("accountUser")->setText(user);
  page.findChild<QLineEdit*>("accountPassword")->setText(password);
}

QString Status(COptionAccountDlg& page) { return page.findChild<QLabel*>("accountStatus")->text(); }
bool StatusFailed(COptionAccountDlg& page) {
  return page.findChild<QLabel*>("accountStatus")->property("failed").toBool();
}
void Click(COptionAccountDlg& page, const char* button) {
  QTest::mouseClick(page.findChild<QPushButton*>(button), Qt::LeftButton);
}

}  // namespace

class AccountPageTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<testsupport::ScopedEnv> noBus_;
  std::string Root() { return reader::ReaderData::Current().root(); }

 private slots:
  void init() {
    env_ = std::make_unique<UiTestEnvironment>();
    noBus_ = std::make_unique<testsupport::ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", "");
  }
  void cleanup() {
    noBus_.reset();
    env_.reset();
  }

  void savesShowsWhereThePasswordIsAndRemoves() {
    FakeCheck check;
    {
      COptionAccountDlg page(Root(), check.Function());
      QCOMPARE(page.findChild<QLineEdit*>("accountPassword")->echoMode(), QLineEdit::Password);
      QVERIFY(!page.findChild<QPushButton*>("removeAccount")->isEnabled());
      QVERIFY(Status(page).contains("No account"));
      Fill(page, " https://news.example.org/tt-rss/ ", "anna", "s3cret");
      Click(page, "saveAccount");
      QVERIFY2(!StatusFailed(page), qPrintable(Status(page)));
      QVERIFY(Status(page).contains("private file"));
      QVERIFY(page.findChild<QLineEdit*>("accountPassword")->text().isEmpty());
      QVERIFY(page.findChild<QPushButton*>("removeAccount")->isEnabled());
    }
    const auto loaded = reader::LoadAccount(Root());
    QVERIFY(loaded.done() && loaded.value);
    QCOMPARE(loaded.value->url, std::string("https://news.example.org/tt-rss/"));
    QCOMPARE(loaded.value->password, std::string("s3cret"));

    const std::string file = testsupport::ReadFile(reader::AccountFilePath(Root()));
    COptionAccountDlg page(Root(), check.Function());
    QCOMPARE(page.findChild<QLineEdit*>("accountServer")->text(), QString("https://news.example.org/tt-rss/"));
    QCOMPARE(page.findChild<QLineEdit*>("accountUser")->text(), QString("anna"));
    QVERIFY(page.findChild<QLineEdit*>("accountPassword")->text().isEmpty());
    QVERIFY(Status(page).contains("private file"));
    // OK on an unchanged page keeps the account as it is.
    page.RunCommand(cmd::kOk);
    QCOMPARE(testsupport::ReadFile(reader::AccountFilePath(Root())), file);

    // A new user keeps the stored password only when it is typed again.
    page.findChild<QLineEdit*>("accountUser")->setText("ben");
    Click(page, "saveAccount");
    QVERIFY(StatusFailed(page));
    QCOMPARE(testsupport::ReadFile(reader::AccountFilePath(Root())), file);

    env_->dialogs().answers = {false, true};
    Click(page, "removeAccount");
    QVERIFY(reader::ReadAccount(Root()).value.has_value());
    Click(page, "removeAccount");
    QVERIFY(!reader::ReadAccount(Root()).value.has_value());
    QVERIFY(Status(page).contains("channels stay"));
    QVERIFY(page.findChild<QLineEdit*>("accountServer")->text().isEmpty());
    QVERIFY(!page.findChild<QPushButton*>("removeAccount")->isEnabled());
  }

  void saysWhatFailedAndStoresNothing() {
    FakeCheck check;
    COptionAccountDlg page(Root(), check.Function());
    Fill(page, "http://news.example.org/", "anna", "pw");
    page.RunCommand(cmd::kOk);
    QVERIFY(StatusFailed(page));
    QVERIFY2(Status(page).startsWith(Tr(reader::kPlainHttpText)), qPrintable(Status(page)));
    Fill(page, "ftp://news.example.org/", "anna", "pw");
    Click(page, "saveAccount");
    QVERIFY(Status(page).startsWith(Tr(reader::kAddressSchemeText)));
    Fill(page, "https://news.example.org/", "anna", "");
    Click(page, "saveAccount");
    QCOMPARE(Status(page), Tr(reader::kPasswordEmptyText));
    QVERIFY(!reader::ReadAccount(Root()).value.has_value());

    // Allowed explicitly, plain http to another computer is saved.
    Fill(page, "http://news.example.org/", "anna", "pw");
    page.findChild<QCheckBox*>("allowPlainHttp")->setChecked(true);
    Click(page, "saveAccount");
    QVERIFY2(!StatusFailed(page), qPrintable(Status(page)));
    QVERIFY(reader::LoadAccount(Root()).value->allow_plain_http);
  }

  void tryLoginRunsTheCheckOffTheWindowAndSaysWhatItFound() {
    FakeCheck refused;
    refused.answer = reader::Result::Refused(reader::Refusal::kInvalid,
                                             "Sync: wrong user name or password.\nThe server said LOGIN_ERROR.");
    {
      COptionAccountDlg page(Root(), refused.Function());
      Fill(page, "https://news.example.org/", "anna", "typed");
      QSignalSpy checked(&page, &COptionAccountDlg::loginChecked);
      Click(page, "tryLogin");
      QVERIFY(checked.wait(5000));
      QVERIFY(StatusFailed(page));
      QVERIFY(Status(page).contains("LOGIN_ERROR"));
      QCOMPARE(refused.given->password, std::string("typed"));
      QVERIFY(refused.thread->load() != nullptr && refused.thread->load() != QThread::currentThread());
      // Trying changes nothing stored.
      QVERIFY(!reader::ReadAccount(Root()).value.has_value());
    }

    // With the field left empty the saved password is tried.
    reader::Account account;
    account.url = "https://news.example.org/";
    account.user = "anna";
    account.password = "stored";
    QVERIFY(reader::SaveAccount(Root(), account).done());
    FakeCheck works;
    COptionAccountDlg page(Root(), works.Function());
    QSignalSpy checked(&page, &COptionAccountDlg::loginChecked);
    Click(page, "tryLogin");
    QVERIFY(checked.wait(5000));
    QVERIFY2(!StatusFailed(page), qPrintable(Status(page)));
    QVERIFY(Status(page).contains("login works"));
    QCOMPARE(works.given->password, std::string("stored"));
  }

  void aPageClosedDuringTheCheckIsNotReached() {
    std::atomic<bool> release{false};
    std::atomic<QThread*> running{nullptr};
    {
      COptionAccountDlg page(Root(), [&release, &running](const reader::Account&) {
        running = QThread::currentThread();
        while (!release) QThread::msleep(5);
        return reader::Result::Done();
      });
      Fill(page, "https://news.example.org/", "anna", "pw");
      Click(page, "tryLogin");
      QTRY_VERIFY(running.load() != nullptr);
    }
    // The check ends after its page: its thread goes, and nothing else happens.
    bool gone = false;
    connect(running.load(), &QObject::destroyed, this, [&gone] { gone = true; });
    release = true;
    QTRY_VERIFY(gone);
  }

  void showsItsTextsInChinese() {
    const std::string folder = Utf16ToUtf8(GetSettingString(setting::kRoot)) + "/Localization/CHS";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(std::string(WRENLY_SOURCE_DIR) + "/data/Localization/CHS/Default.txt",
                               folder + "/Default.txt");
    SetSettingString(setting::kLanguage, u"CHS");
    FakeCheck check;
    COptionAccountDlg page(Root(), check.Function());
    QVERIFY(Status(page) != QString::fromStdU16String(u"No account is set; the channels are local."));
    Fill(page, "http://news.example.org/", "anna", "pw");
    Click(page, "saveAccount");
    QVERIFY(!Status(page).startsWith("Plain"));
    QCOMPARE(Status(page), QString::fromUtf8("\xE6\x98\x8E\xE6\x96\x87 http:// \xE4\xBC\x9A\xE6\x8A\x8A\xE5\xAF\x86\xE7\xA0\x81"
                                             "\xE6\x9C\xAA\xE5\x8A\xA0\xE5\xAF\x86\xE5\x9C\xB0\xE5\x8F\x91\xE9\x80\x81"
                                             "\xE5\x88\xB0\xE5\x8F\xA6\xE4\xB8\x80\xE5\x8F\xB0\xE8\xAE\xA1\xE7\xAE\x97"
                                             "\xE6\x9C\xBA\xE3\x80\x82\xE8\xAF\xB7\xE4\xBD\xBF\xE7\x94\xA8 https://\xEF\xBC\x8C"
                                             "\xE6\x88\x96\xE4\xB8\xBA\xE6\xAD\xA4\xE5\xB8\x90\xE6\x88\xB7\xE5\x85\x81"
                                             "\xE8\xAE\xB8\xE6\x98\x8E\xE6\x96\x87 http\xE3\x80\x82"));
    QVERIFY(page.findChild<QPushButton*>("tryLogin")->text() != "Try Login");
  }

  void theOptionsMenuOpensThePage() {
    RegisterSettingsScreens();
    {
      CMainFrame frame(FrameOptions{env_->root() + "/no-power"});
      frame.show();
      QTRY_VERIFY(frame.channelView().list().isVisible());
      frame.channelView().RunCommand(cmd::kOptionsAccount);
      auto* page = qobject_cast<COptionAccountDlg*>(frame.TopPage());
      QVERIFY(page != nullptr);
      page->RunCommand(cmd::kCancel);
      QTRY_COMPARE(frame.TopPage(), static_cast<CPage*>(&frame.channelView()));
    }
    Screens() = {};
  }
};

QTEST_MAIN(AccountPageTest)
#include "account_page_test.moc"
