// The option pages and the channel properties, driven through their real
// widgets on the offscreen platform.
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextFrame>
#include <QTextDocument>
#include <filesystem>

#include "engine/messages.h"
#include "engine/refresh_test_support.h"
#include "platform/notifier.h"
#include "platform/text.h"
#include "store/full_text_mode.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"
#include "ui/article/link_opener.h"
#include "ui/channels/channel_view.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/screens.h"
#include "ui/frame/tr.h"
#include "ui/options/channel_info_dlg.h"
#include "ui/options/option_auto_update_dlg.h"
#include "ui/options/option_download_dlg.h"
#include "ui/options/option_network_dlg.h"
#include "ui/options/option_storage_dlg.h"
#include "ui/options/register_screens.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

void TypeInto(QWidget* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, text);
}

StorageCard Card(const std::string& path, std::uint64_t mib) {
  return {path, mib * 1024 * 1024, mib * 512 * 1024, true};
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;

 private slots:
  void init() { env_ = std::make_unique<UiTestEnvironment>(); }
  void cleanup() { env_.reset(); }

  void contentPageKeepsTheLimitBetweenOneAndHundred() {
    SetSettingInt(setting::kArticlesNumber, 250);
    {
      COptionDownloadDlg page;
      auto* limit = page.findChild<QSpinBox*>("articleLimit");
      QCOMPARE(limit->value(), 100);
      TypeInto(limit, "7");
      page.RunCommand(cmd::kOk);
    }
    QCOMPARE(GetSettingInt(setting::kArticlesNumber), 7);
    {
      // Letters and values out of range never reach the setting.
      COptionDownloadDlg page;
      auto* limit = page.findChild<QSpinBox*>("articleLimit");
      TypeInto(limit, "abc");
      page.RunCommand(cmd::kOk);
      QCOMPARE(GetSettingInt(setting::kArticlesNumber), 7);
      COptionDownloadDlg second;
      TypeInto(second.findChild<QSpinBox*>("articleLimit"), "0");
      second.RunCommand(cmd::kOk);
      QVERIFY(GetSettingInt(setting::kArticlesNumber) >= 1);
    }
    {
      COptionDownloadDlg page;
      page.findChild<QCheckBox*>("downloadImages")->setChecked(true);
      page.RunCommand(cmd::kCancel);  // Cancel stores nothing
    }
    QCOMPARE(GetSettingInt(setting::kDownloadImage), 0);
  }

  void autoUpdatePageRestartsOrStopsTheSchedule() {
    std::vector<bool> calls;
    const auto record = [&](bool start) { calls.push_back(start); };
    {
      COptionAutoUpdateDlg page(record);
      auto* notice = page.findChild<QCheckBox*>("newHeadlinesNotice");
      QVERIFY(notice->isChecked());  // on unless turned off
      notice->setChecked(false);
      page.findChild<QComboBox*>("updateMode")->setCurrentIndex(2);
      page.findChild<QComboBox*>("updateCount")->setCurrentIndex(4);
      page.findChild<QComboBox*>("updateUnit")->setCurrentIndex(1);
      page.RunCommand(cmd::kOk);
    }
    QCOMPARE(GetSettingInt(setting::kAutoUpdateMode), 2);
    QCOMPARE(GetSettingInt(setting::kAutoUpdateTimeNum), 4);
    QCOMPARE(GetSettingInt(setting::kAutoUpdateTimeUnit), 1);
    QCOMPARE(GetSettingInt(setting::kNewHeadlinesNotice), 0);
    {
      COptionAutoUpdateDlg page(record);
      QCOMPARE(page.findChild<QComboBox*>("updateCount")->currentText(), QString("05"));
      QVERIFY(!page.findChild<QCheckBox*>("newHeadlinesNotice")->isChecked());
      page.findChild<QComboBox*>("updateMode")->setCurrentIndex(0);
      page.RunCommand(cmd::kOk);
    }
    QCOMPARE(calls, (std::vector<bool>{true, false}));
  }

  void networkPageEnablesTheProxyField() {
    COptionNetworkDlg page;
    auto* use = page.findChild<QCheckBox*>("useProxy");
    auto* proxy = page.findChild<QLineEdit*>("proxyAddress");
    QVERIFY(!proxy->isEnabled());
    use->click();
    QVERIFY(proxy->isEnabled());
    proxy->setText("  proxy.example.com:80 ");
    page.RunCommand(cmd::kOk);
    QCOMPARE(GetSettingInt(setting::kUseNetAgency), 1);
    QCOMPARE(GetSettingString(setting::kNetAgencyIP), u"proxy.example.com:80");

    // A settings file that cannot be replaced: the page says so and stays open.
    std::filesystem::remove(SettingsFilePath());
    std::filesystem::create_directories(SettingsFilePath());
    COptionNetworkDlg failing;
    QSignalSpy closed(&failing, &CPage::finished);
    failing.RunCommand(cmd::kOk);
    QCOMPARE(closed.count(), 0);
    QVERIFY(!env_->dialogs().asked.empty() && env_->dialogs().asked.back().contains("settings file"));
  }

  void storagePageOffersLargeCardsAndMovesTheData() {
    testsupport::TempDir cards;
    const std::string big = cards.path() + "/big", small = cards.path() + "/small";
    CreateFolder(big);
    CreateFolder(small);
    {
      // The environment's folders stand for the mount folders; each folder in them is a card.
      testsupport::ScopedEnv folders("WRENLY_CARD_FOLDERS", "/nonexistent:" + cards.path());
      const std::vector<StorageCard> found = EnumerateStorageCards();
      QCOMPARE(found.size(), 2u);
      QCOMPARE(found[0].path, big);
      QVERIFY(found[0].spaceKnown && found[0].totalBytes >= found[0].freeBytes);
    }
    const auto source = [&] { return std::vector<StorageCard>{Card(small, 32), Card(big, 128)}; };
    WriteCatalog({{u"News", u"A", u"http://a"}});
    testsupport::WriteFile(ChannelDataPath("Ch100.tpl"), "script");
    {
      COptionStorageDlg page(source);
      auto* list = page.findChild<QComboBox*>("cardList");
      QCOMPARE(list->count(), 1);
      QCOMPARE(list->itemText(0), QString::fromStdString(big));
      QCOMPARE(page.findChild<QLabel*>("cardTotal")->text(), QString("128 MB"));
      page.findChild<QCheckBox*>("useCard")->setChecked(true);
      page.RunCommand(cmd::kOk);
    }
    const std::string cardData = big + "/Program Files/Wrenly Mobile/ChannelData";
    QCOMPARE(GetDataRoot(), big + "/Program Files/Wrenly Mobile");
    QVERIFY(FileExists(cardData + "/Channels.opml"));
    QVERIFY(FileExists(cardData + "/Ch100.tpl"));

    // Back home, with a file of that name already there: nothing is
    // overwritten, the moved files come back, and the root stays on the card.
    SetSettingInt(setting::kUseStorageCard, 0);
    const std::string home = GetDataRoot() + "/ChannelData";
    SetSettingInt(setting::kUseStorageCard, 1);
    testsupport::WriteFile(home + "/Ch100.tpl", "other");
    {
      COptionStorageDlg page(source);
      page.findChild<QCheckBox*>("useCard")->setChecked(false);
      page.RunCommand(cmd::kOk);
      QVERIFY(env_->dialogs().asked.back().contains("Ch100.tpl"));
    }
    QCOMPARE(GetDataRoot(), big + "/Program Files/Wrenly Mobile");
    QCOMPARE(testsupport::ReadFile(cardData + "/Ch100.tpl"), std::string("script"));
    QVERIFY(FileExists(cardData + "/Channels.opml"));
    QCOMPARE(testsupport::ReadFile(home + "/Ch100.tpl"), std::string("other"));
    QVERIFY(!FileExists(home + "/Channels.opml"));
  }

  // No move starts while a refresh runs, and a move takes everything the
  // data root holds: the channel data, downloaded templates and lists.
  void storageMoveWaitsForTheRefreshAndTakesTheWholeRoot() {
    testsupport::TempDir cards;
    const std::string big = cards.path() + "/big";
    CreateFolder(big);
    testsupport::ScopedEnv folders("WRENLY_CARD_FOLDERS", cards.path());
    WriteCatalog({{u"News", u"A", u"http://a"}});
    const std::string home = GetDataRoot();
    CreateFolder(home + "/Templates");
    testsupport::WriteFile(home + "/Templates/site.tpl", "template");
    testsupport::WriteFile(home + "/SampleChannels.opml", "<opml/>");
    testsupport::WriteFile(home + "/OnlineTemplates.txt", "list");
    RegisterSettingsScreens();
    {
      CMainFrame frame(FrameOptions{env_->root() + "/no-power"});
      frame.show();
      QTRY_VERIFY(frame.channelView().list().isVisible());
      Broadcast(RegisterMessage(kMsgDownloadStart), 0, 0);
      QTRY_VERIFY(frame.downloading());
      frame.channelView().RunCommand(cmd::kOptionsDataStorage);
      auto* page = qobject_cast<COptionStorageDlg*>(frame.TopPage());
      QVERIFY(page != nullptr);
      page->findChild<QCheckBox*>("useCard")->setChecked(true);
      page->RunCommand(cmd::kOk);
      QCOMPARE(frame.TopPage(), static_cast<CPage*>(page));
      QVERIFY(!env_->dialogs().asked.empty() && env_->dialogs().asked.back().contains("refresh"));
      QCOMPARE(GetDataRoot(), home);
      QVERIFY(FileExists(home + "/ChannelData/Channels.opml"));

      Broadcast(RegisterMessage(kMsgDownloadFinished), 0, 0);
      QTRY_VERIFY(!frame.downloading());
      page->RunCommand(cmd::kOk);
      QTRY_COMPARE(frame.TopPage(), static_cast<CPage*>(&frame.channelView()));
    }
    Screens() = {};
    const std::string card = big + "/Program Files/Wrenly Mobile";
    QCOMPARE(GetDataRoot(), card);
    for (const char* file : {"/ChannelData/Channels.opml", "/Templates/site.tpl", "/SampleChannels.opml",
                             "/OnlineTemplates.txt"}) {
      QVERIFY2(FileExists(card + file), file);
      QVERIFY2(!FileExists(home + file), file);
    }
  }

  void propertiesShowTheStoredDescriptionAndChangeNothing() {
    const std::vector<int> numbers = WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a"}});
    testsupport::WriteFile(ChannelDataPath("Ch100.xml"),
                           wrenly::testing::RssFeed("Alpha feed", "http://alpha.example", "", {}));
    const std::string before = testsupport::ReadFile(ChannelDataPath("Channels.opml"));
    COptionChannelInfoDlg sheet({numbers[0], "Alpha", "http://127.0.0.1:9/a"});
    sheet.show();
    auto* url = sheet.findChild<QLineEdit*>("urlField");
    QVERIFY(url->isReadOnly());
    QCOMPARE(url->text(), QString("http://127.0.0.1:9/a"));
    QCOMPARE(sheet.findChild<CHtmlViewDlg*>("channelDescription"), &sheet.details());
    QVERIFY(sheet.details().viewer().toPlainText().contains("Alpha feed"));
    sheet.RunCommand(cmd::kOk);
    QCOMPARE(testsupport::ReadFile(ChannelDataPath("Channels.opml")), before);

    // The full-text choice is the one thing the sheet writes, and only that attribute.
    {
      COptionChannelInfoDlg again({numbers[0], "Alpha", "http://127.0.0.1:9/a"});
      again.findChild<QComboBox*>("fullTextChoice")->setCurrentIndex(2);
      again.RunCommand(cmd::kOk);
    }
    CChannelCatalog catalog;
    catalog.LoadAndReport(ChannelDataPath("Channels.opml"));
    QVERIFY(GetFullTextMode(catalog, u"http://127.0.0.1:9/a") == FullTextMode::kOff);
    std::string after = testsupport::ReadFile(ChannelDataPath("Channels.opml"));
    const std::size_t attribute = after.find(" fulltext=\"off\"");
    QVERIFY(attribute != std::string::npos);
    QCOMPARE(after.erase(attribute, std::string(" fulltext=\"off\"").size()), before);

    COptionChannelInfoDlg missing({101, "None", "http://none"});
    QVERIFY(missing.details().viewer().toPlainText().isEmpty());
  }

  // The full-text choice is saved only to a catalog that can be read: else
  // the sheet says what failed and leaves the file alone.
  void propertiesSayWhenTheFullTextChoiceCannotBeSaved() {
    const std::vector<int> numbers = WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a"}});
    COptionChannelInfoDlg sheet({numbers[0], "Alpha", "http://127.0.0.1:9/a"});
    const std::string broken = "<opml><body>";
    testsupport::WriteFile(ChannelDataPath("Channels.opml"), broken);
    sheet.findChild<QComboBox*>("fullTextChoice")->setCurrentIndex(2);
    sheet.RunCommand(cmd::kOk);
    QCOMPARE(env_->dialogs().asked.size(), 1u);
    QCOMPARE(env_->dialogs().asked.back(), "Error|" + Tr(kCatalogUnreadable));
    QCOMPARE(testsupport::ReadFile(ChannelDataPath("Channels.opml")), broken);
  }

  void propertiesLoadNothingTheDescriptionNames() {
    wrenly::testing::TestSite site;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    red.save(&buffer, "PNG");
    site.Serve("/pic.png", png.toStdString(), "image/png");
    const std::string localPicture = ChannelDataPath("local.png");
    testsupport::WriteFile(localPicture, png.toStdString());
    const QString remote = ToQString(site.Url("/pic.png"));
    const QString local = QUrl::fromLocalFile(QString::fromStdString(localPicture)).toString();
    // Pictures by address, by file address, by path, and by a second src.
    const std::string description = "<img src=\"" + remote.toStdString() + "\"><img src=\"" + local.toStdString() +
                                    "\"><img src=\"" + localPicture + "\"><img src=\"x.png\" src=\"" + localPicture +
                                    "\"><a href=\"file:///etc/passwd\">local</a> <a href=\"hxxp://127.0.0.1/s\">site</a>";
    const std::vector<int> numbers = WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a"}});
    testsupport::WriteFile(ChannelDataPath("Ch100.xml"),
                           "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Alpha feed</title>"
                           "<description><![CDATA[" + description + "]]></description></channel></rss>");

    COptionChannelInfoDlg sheet({numbers[0], "Alpha", "http://127.0.0.1:9/a"});
    sheet.resize(480, 720);
    sheet.show();
    sheet.findChild<QTabWidget*>("propertyTabs")->setCurrentIndex(1);
    CHtmlViewer& viewer = sheet.details().viewer();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QVERIFY(viewer.isVisible());
    const QString shown = viewer.toHtml();
    QVERIFY(!shown.contains(remote) && !shown.contains(local) && !shown.contains(QString::fromStdString(localPicture)));
    const QImage shot = viewer.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int redPixels = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) redPixels += (shot.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
    QCOMPARE(redPixels, 0);
    QVERIFY(viewer.document()->resource(QTextDocument::ImageResource, QUrl(remote)).isNull());
    QVERIFY(viewer.document()->resource(QTextDocument::ImageResource, QUrl(local)).isNull());
    QCOMPARE(site.Requests("/pic.png"), 0);

    // On a wide sheet the text column starts at the left, under the heading.
    sheet.resize(2000, 720);
    const auto rootFormat = [&] { return viewer.document()->rootFrame()->frameFormat(); };
    QTRY_VERIFY(rootFormat().rightMargin() > 500);
    QCOMPARE(rootFormat().leftMargin(), 4.0);

    // Links go to the article's opener, which takes http and https only.
    std::vector<QUrl> opened;
    SetLinkOpener([&](const QUrl& url) { opened.push_back(url); });
    emit viewer.anchorClicked(QUrl("file:///etc/passwd"));
    emit viewer.anchorClicked(QUrl("hxxp://127.0.0.1/s"));
    SetLinkOpener({});
    QCOMPARE(opened, std::vector<QUrl>{QUrl("http://127.0.0.1/s")});
    QVERIFY(env_->dialogs().asked.empty());

    // The view is part of the sheet: F1 in it presses the sheet's OK.
    QSignalSpy finished(&sheet, &CPage::finished);
    viewer.setFocus();
    QTest::keyClick(&viewer, Qt::Key_F1);
    QCOMPARE(finished.count(), 1);
  }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
