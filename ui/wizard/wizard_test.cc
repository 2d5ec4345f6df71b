// The New Channel Wizard, its choosers and the download dialog, driven
// through their real widgets on the offscreen platform.
#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "engine/refresh_test_support.h"
#include "platform/text.h"
#include "reader/reader_data.h"
#include "store/channel_catalog.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/temp_dir.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/commands.h"
#include "ui/frame/tr.h"
#include "ui/options/channel_info_main_dlg.h"
#include "ui/test/ui_test_support.h"
#include "ui/wizard/download_dlg.h"
#include "ui/wizard/new_channel_dlg.h"
#include "ui/wizard/new_wizard_dlg.h"
#include "ui/wizard/opml_display_dlg.h"
#include "ui/wizard/templates_display_dlg.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

struct Added {
  std::u16string category, title, url;
  bool operator==(const Added&) const = default;
};

// Every outline of the saved catalog as (category, title, url), in order.
std::vector<Added> SavedCatalog() {
  std::vector<Added> all;
  Added pending;
  CChannelCatalog catalog([&](const std::u16string& category, const std::u16string& name,
                              const std::u16string& value) {
    if (name == u"text") pending.title = value;
    if (name == u"xmlUrl") pending.url = value;
    if (name.empty() && value.empty()) {
      pending.category = category;
      all.push_back(pending);
      pending = {};
    }
  });
  catalog.LoadAndReport(ChannelDataPath("Channels.opml"));
  return all;
}

QTreeWidgetItem* Find(QTreeWidget& tree, const QString& text) {
  const auto found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.first();
}

QRadioButton* Choice(CNewWizardDlg& wizard, const char* name) {
  return wizard.current()->findChild<QRadioButton*>(name);
}

// Takes the wizard from its first page to the page of a choice; a chooser
// has filled its tree on return.
void Open(CNewWizardDlg& wizard, const char* choice) {
  Choice(wizard, choice)->setChecked(true);
  wizard.RunCommand(cmd::kNext);
  if (auto* chooser = qobject_cast<CChooserPage*>(wizard.current())) {
    QSignalSpy loaded(chooser, &CChooserPage::loaded);
    QTRY_COMPARE(loaded.count(), 1);
  }
}

// Types an address and a title on the feed address page.
void TypeChannel(CNewWizardDlg& wizard, const QString& url, const QString& title) {
  wizard.current()->findChild<QLineEdit*>("urlField")->setText(url);
  wizard.current()->findChild<QLineEdit*>("titleField")->setText(title);
}

void Check(CNewWizardDlg& wizard, const QString& entry) {
  Find(static_cast<CChooserPage*>(wizard.current())->tree(), entry)->setCheckState(0, Qt::Checked);
}

// The channels of the catalog on disk as "category/title url", in order.
std::vector<std::string> Subscribed() {
  std::vector<reader::CatalogEntry> entries;
  reader::ReaderData::Current().ListChannels(entries);
  std::vector<std::string> names;
  for (const reader::CatalogEntry& e : entries)
    if (!e.Get(u"xmlUrl").empty())
      names.push_back(Utf16ToUtf8(e.category + u"/" + e.Get(u"text") + u" " + e.Get(u"xmlUrl")));
  return names;
}

// Counts stored in the catalog for the channel with that address, as "total/unread".
std::string StoredCounts(std::u16string_view url) {
  std::vector<reader::CatalogEntry> entries;
  reader::ReaderData::Current().ListChannels(entries);
  for (const reader::CatalogEntry& e : entries)
    if (e.Get(u"xmlUrl") == url) return Utf16ToUtf8(e.Get(u"itemCount") + u"/" + e.Get(u"newItemCount"));
  return "missing";
}

}  // namespace

class WizardTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;

 private slots:
  void init() { env_ = std::make_unique<UiTestEnvironment>(); }
  void cleanup() { env_.reset(); }

  void checkTreeAndOpmlChooserAddWhatIsChecked() {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.path() + "/list.opml",
                           "<opml><body>"
                           "<outline text=\"Top\" type=\"rss\" xmlUrl=\"http://top\"/>"
                           "<outline text=\"News\"><outline text=\"A\" xmlUrl=\"http://a\"/>"
                           "<outline text=\"Deep\"><outline text=\"B\" xmlUrl=\"http://b\"/></outline></outline>"
                           "<outline text=\"Empty\"/>"
                           "</body></opml>");
    COpmlDisplayDlg page(dir.path() + "/list.opml");
    QSignalSpy loaded(&page, &COpmlDisplayDlg::loaded);
    page.show();
    QTRY_COMPARE(loaded.count(), 1);
    CCheckTreeCtrl& tree = page.tree();
    QCOMPARE(tree.topLevelItemCount(), 3);

    tree.setCurrentItem(Find(tree, "News"));
    QTest::keyClick(tree.viewport(), Qt::Key_Space);
    QCOMPARE(Find(tree, "A")->checkState(0), Qt::Checked);
    QCOMPARE(Find(tree, "B")->checkState(0), Qt::Checked);
    tree.setCurrentItem(Find(tree, "B"));
    QTest::keyClick(tree.viewport(), Qt::Key_Space);
    QCOMPARE(Find(tree, "News")->checkState(0), Qt::PartiallyChecked);
    QTest::keyClick(tree.viewport(), Qt::Key_Space);
    QCOMPARE(Find(tree, "News")->checkState(0), Qt::Checked);
    tree.setCurrentItem(Find(tree, "Top"));
    QTest::keyClick(tree.viewport(), Qt::Key_Space);

    QSignalSpy done(&page, &CWizardPage::done);
    QVERIFY(page.OnCommand(cmd::kFinish));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done[0][1].toBool(), true);
    QCOMPARE(SavedCatalog(), (std::vector<Added>{{u"", u"Others", u""},
                                                  {u"Others", u"Top", u"http://top"},
                                                  {u"", u"News", u""},
                                                  {u"News", u"A", u"http://a"},
                                                  {u"News", u"B", u"http://b"}}));
  }

  void templateChooserAssignsScriptsAndWritesCopies() {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.path() + "/a.xml",
                           "<template name=\"G\"><channel><name>A</name><url>http://a</url></channel>"
                           "<channel><name>B</name><url>http://b</url></channel>"
                           "<parse_article>P \xE4\xB8\xAD</parse_article>"
                           "<channel><name>C</name><url>http://c</url></channel>"
                           "<parse_article>Q</parse_article>"
                           "<channel><name>D</name><url>http://d</url></channel></template>");
    testsupport::WriteFile(dir.path() + "/b.xml",
                           "<TEMPLATE><Channel><Name>Loose</Name><URL>http://loose</URL></Channel>"
                           "<channel><name>NoUrl</name></channel><parse_article>R</parse_article></TEMPLATE>");
    testsupport::WriteFile(dir.path() + "/broken.xml", "<template name=\"X\"><channel>");
    CTemplatesDisplayDlg page({dir.path()});
    QSignalSpy loaded(&page, &CTemplatesDisplayDlg::loaded);
    page.show();
    QTRY_COMPARE(loaded.count(), 1);
    CCheckTreeCtrl& tree = page.tree();
    QCOMPARE(tree.topLevelItemCount(), 3);  // group G, then Loose and NoUrl at the top
    QCOMPARE(tree.topLevelItem(0)->childCount(), 4);
    for (const char* entry : {"G", "Loose", "NoUrl"}) Find(tree, entry)->setCheckState(0, Qt::Checked);

    QSignalSpy done(&page, &CWizardPage::done);
    page.OnCommand(cmd::kFinish);
    QCOMPARE(done[0][1].toBool(), true);
    const std::vector<Added> saved = SavedCatalog();
    QCOMPARE(saved, (std::vector<Added>{{u"", u"Others", u""},
                                         {u"Others", u"G - A", u"http://a"},
                                         {u"Others", u"G - B", u"http://b"},
                                         {u"Others", u"G - C", u"http://c"},
                                         {u"Others", u"G - D", u"http://d"},
                                         {u"Others", u"Loose", u"http://loose"},
                                         {u"", u"NoUrl", u""}}));
    const std::string bom = "\xEF\xBB\xBF";
    const auto copy = [](int n) { return testsupport::ReadFile(ChannelDataPath("Ch" + std::to_string(n) + ".tpl")); };
    QCOMPARE(copy(100), bom + "P \xE4\xB8\xAD");
    QCOMPARE(copy(101), bom + "P \xE4\xB8\xAD");
    QCOMPARE(copy(102), bom + "Q");
    QCOMPARE(copy(103), bom);  // no script follows D
    QCOMPARE(copy(104), bom + "R");
  }

  void firstPagePreselectsAndBackReturnsToTheChoice() {
    {
      CNewWizardDlg wizard;  // no catalog file yet: the download is offered
      QVERIFY(Choice(wizard, "choiceDownload")->isChecked());
    }
    WriteCatalog({});
    CNewWizardDlg wizard;
    wizard.show();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    QVERIFY(Choice(wizard, "choiceTemplates")->isChecked());
    for (const char* name : {"choiceOpml", "choiceUrl", "choiceTemplates"}) {
      Choice(wizard, name)->setChecked(true);
      wizard.RunCommand(cmd::kNext);
      QVERIFY(!qobject_cast<CNewChannelDlg*>(wizard.current()));
      QTest::keyClick(&wizard, Qt::Key_Escape);  // Back
      QVERIFY(qobject_cast<CNewChannelDlg*>(wizard.current()));
      QVERIFY2(Choice(wizard, name)->isChecked(), name);
      // The keyboard is on the choice, so the arrow keys move it at once.
      QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Choice(wizard, name)));
    }
    QSignalSpy finished(&wizard, &CPage::finished);
    auto* first = static_cast<CNewChannelDlg*>(wizard.current());
    for (auto* button : first->findChildren<QRadioButton*>()) {
      button->group()->setExclusive(false);
      button->setChecked(false);
    }
    QCOMPARE(first->Choice(), int(kChoiceNone));
    wizard.RunCommand(cmd::kNext);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toInt(), kResultCancel);
  }

  void downloadDialogOutcomes() {
    WriteCatalog({});
    wrenly::testing::TestSite site;
    SetSettingString(setting::kSupportWebsite, site.Url("/support"));
    site.Serve("/support/SampleChannels.xml", "<opml><body/></opml>");
    site.Serve("/support/OnlineTemplates.txt", "Online.xml\n");
    site.Serve("/support/Online.xml",
               "<template name=\"Online group\"><channel><name>O</name><url>http://o</url></channel></template>");
    {
      CNewWizardDlg wizard;
      Choice(wizard, "choiceDownload")->setChecked(true);
      wizard.RunCommand(cmd::kNext);
      QTRY_VERIFY(qobject_cast<CTemplatesDisplayDlg*>(wizard.current()));
      auto* chooser = static_cast<CTemplatesDisplayDlg*>(wizard.current());
      QTRY_VERIFY(Find(chooser->tree(), "Online group"));
    }

    // A failed download: the error is shown, Cancel reads OK, and closing it
    // offers the address page.
    site.Handle("/support/OnlineTemplates.txt", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
    });
    {
      CNewWizardDlg wizard;
      Choice(wizard, "choiceDownload")->setChecked(true);
      wizard.RunCommand(cmd::kNext);
      QVERIFY(wizard.downloadDialog());
      CDownloadDlg& dialog = *wizard.downloadDialog();
      QTRY_COMPARE(dialog.button().text(), QString("OK"));
      QVERIFY(dialog.status().text().startsWith("Error: "));
      QTest::mouseClick(&dialog.button(), Qt::LeftButton);
      QTRY_VERIFY(!wizard.downloadDialog());
      QVERIFY(Choice(wizard, "choiceUrl")->isChecked());
      QVERIFY(!Choice(wizard, "choiceDownload")->isChecked());
    }

    // Cancel while the template list is on its way: no template is fetched.
    std::atomic<bool> release{false};
    site.Handle("/support/OnlineTemplates.txt", [&](const httplib::Request&, httplib::Response& res) {
      for (int i = 0; i < 500 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      res.set_content("Online.xml\n", "text/plain");
    });
    const int templatesBefore = site.Requests("/support/Online.xml");
    {
      CNewWizardDlg wizard;
      Choice(wizard, "choiceDownload")->setChecked(true);
      wizard.RunCommand(cmd::kNext);
      QTRY_VERIFY(wizard.downloadDialog() &&
                  wizard.downloadDialog()->status().text() == "Download online template list file...");
      QTest::mouseClick(&wizard.downloadDialog()->button(), Qt::LeftButton);
      release = true;
      QTRY_VERIFY(!wizard.downloadDialog());
      QVERIFY(Choice(wizard, "choiceDownload")->isChecked());
    }
    QCOMPARE(site.Requests("/support/Online.xml"), templatesBefore);
  }

  void feedAddressPage() {
    WriteCatalog({{u"Others", u"Taken", u"http://127.0.0.1:9/taken"}});
    wrenly::testing::TestSite site;
    site.Serve("/feed", wrenly::testing::RssFeed("Feed's own title", "http://x", "", {}));
    site.Serve("/untitled", wrenly::testing::RssFeed("", "http://x", "", {}));
    COptionChannelInfoMainDlg page;
    page.show();
    auto* url = page.findChild<QLineEdit*>("urlField");
    auto* title = page.findChild<QLineEdit*>("titleField");
    QCOMPARE(url->text(), QString("http://"));
    QSignalSpy done(&page, &CWizardPage::done);

    // No address, or not a web address: say so and stay.
    page.OnCommand(cmd::kFinish);
    url->setText("  ftp://example.com/feed ");
    page.OnCommand(cmd::kFinish);
    QCOMPARE(env_->dialogs().asked.size(), 2u);
    QCOMPARE(done.count(), 0);

    // A failed download: the message, and the page stays.
    url->setText(ToQString(site.Url("/missing")));
    page.OnCommand(cmd::kFinish);
    QTRY_VERIFY(!page.downloading());
    QTRY_COMPARE(env_->dialogs().asked.size(), 3u);
    QVERIFY(env_->dialogs().asked.back().contains("Download failed."));
    QCOMPARE(done.count(), 0);

    // The button fetches the feed's own title; without one, the address.
    url->setText(ToQString(site.Url("/untitled")));
    page.findChild<QPushButton*>("defaultNameButton")->click();
    QTRY_COMPARE(title->text(), ToQString(site.Url("/untitled")));

    // An existing title in "Others": the error box, and the wizard ends without OK.
    url->setText(ToQString(site.Url("/feed")));
    title->setText("Taken");
    page.OnCommand(cmd::kFinish);
    QCOMPARE(done.count(), 1);
    QCOMPARE(done[0][1].toBool(), false);
    QVERIFY(env_->dialogs().asked.back().contains("Insert Channel failed."));

    // Finish without a title takes the feed's own.
    title->clear();
    page.OnCommand(cmd::kFinish);
    QTRY_COMPARE(done.count(), 2);
    QCOMPARE(done[1][1].toBool(), true);
    QCOMPARE(SavedCatalog().back(), (Added{u"Others", u"Feed's own title", site.Url("/feed")}));
  }

  // A web page's address is enough: the feed it names is added with the
  // feed's own address and title, or chosen from those it offers.
  void aSitesAddressFindsItsFeed() {
    wrenly::testing::TestSite site;
    site.Serve("/news.rss", wrenly::testing::RssFeed("Daily News", "http://x", "", {}));
    site.Serve("/blog.rss", wrenly::testing::RssFeed("The Blog", "http://x", "", {}));
    const auto page = [](const std::string& links) { return "<html><head>" + links + "</head><body></body></html>"; };
    const std::string news = R"(<link rel="alternate" type="application/rss+xml" href="/news.rss">)";
    site.Serve("/", page(news), "text/html");
    site.Serve("/two/", page(news + R"(<link rel="alternate" type="application/rss+xml" href="/blog.rss">)"),
               "text/html");
    site.Serve("/none/", page(""), "text/html");
    COptionChannelInfoMainDlg wizardPage;
    wizardPage.show();
    auto* url = wizardPage.findChild<QLineEdit*>("urlField");
    QSignalSpy done(&wizardPage, &CWizardPage::done);

    url->setText(ToQString(site.Url("/none/")));
    wizardPage.OnCommand(cmd::kFinish);
    QTRY_COMPARE(env_->dialogs().asked.size(), 1u);
    QVERIFY(env_->dialogs().asked.back().contains("No feed was found at " + ToQString(site.Url("/none/"))));
    QVERIFY(env_->dialogs().asked.back().endsWith("/index.xml, /feed.json"));
    QCOMPARE(done.count(), 0);

    url->setText(ToQString(site.Url("/two/")));
    env_->dialogs().choices = {1};
    wizardPage.OnCommand(cmd::kFinish);
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(env_->dialogs().offered.size(), 2);
    QVERIFY(env_->dialogs().offered[0].startsWith("Daily News"));
    QCOMPARE(SavedCatalog().back(), (Added{u"Others", u"The Blog", site.Url("/blog.rss")}));

    COptionChannelInfoMainDlg second;
    second.show();
    QSignalSpy secondDone(&second, &CWizardPage::done);
    second.findChild<QLineEdit*>("urlField")->setText(ToQString(site.Url("/")));
    second.OnCommand(cmd::kFinish);
    QTRY_COMPARE(secondDone.count(), 1);
    QCOMPARE(SavedCatalog().back(), (Added{u"Others", u"Daily News", site.Url("/news.rss")}));
  }

  // The wizard changes the catalog as it is on disk when it finishes: a
  // channel and counts that another program stored while it was open stay.
  void finishKeepsWhatChangedOnDiskMeanwhile() {
    WriteCatalog({{u"News", u"A", u"http://127.0.0.1:9/a", 5, 2}});
    testsupport::WriteFile(GetDataRoot() + "/SampleChannels.opml",
                           "<opml><body><outline text=\"Sample\" xmlUrl=\"http://127.0.0.1:9/sample\"/></body></opml>");
    reader::ReaderData other = reader::ReaderData::Current();
    {
      CNewWizardDlg wizard;
      Open(wizard, "choiceUrl");
      QVERIFY(other.Subscribe(u"News", u"B", u"http://127.0.0.1:9/b").done());
      QVERIFY(other.StoreCounts({{u"http://127.0.0.1:9/a", {9, 7}}}).done());
      TypeChannel(wizard, "http://127.0.0.1:9/typed", "Typed");
      QSignalSpy finished(&wizard, &CPage::finished);
      wizard.RunCommand(cmd::kFinish);
      QCOMPARE(finished.count(), 1);
      QCOMPARE(finished[0][0].toInt(), kResultOk);
    }
    {
      CNewWizardDlg wizard;
      Open(wizard, "choiceOpml");
      QVERIFY(other.Subscribe(u"News", u"C", u"http://127.0.0.1:9/c").done());
      QVERIFY(other.StoreCounts({{u"http://127.0.0.1:9/b", {4, 1}}}).done());
      Check(wizard, "Sample");
      wizard.RunCommand(cmd::kFinish);
    }
    QCOMPARE(Subscribed(), (std::vector<std::string>{"News/A http://127.0.0.1:9/a", "News/B http://127.0.0.1:9/b",
                                                      "News/C http://127.0.0.1:9/c",
                                                      "Others/Typed http://127.0.0.1:9/typed",
                                                      "Others/Sample http://127.0.0.1:9/sample"}));
    QCOMPARE(StoredCounts(u"http://127.0.0.1:9/a"), std::string("9/7"));
    QCOMPARE(StoredCounts(u"http://127.0.0.1:9/b"), std::string("4/1"));
  }

  // A catalog that exists but cannot be read: every Finish says so, the
  // file stays as it is and no channel file is made.
  void finishOnAnUnreadableCatalogSaysWhatFailed() {
    CreateFolder(ChannelDataFolder());
    const std::string broken = "<opml><body><outline text=\"A\"";
    testsupport::WriteFile(ChannelDataPath("Channels.opml"), broken);
    testsupport::WriteFile(GetDataRoot() + "/SampleChannels.opml",
                           "<opml><body><outline text=\"Sample\" xmlUrl=\"http://127.0.0.1:9/sample\"/></body></opml>");
    CreateFolder(GetDataRoot() + "/Templates");
    testsupport::WriteFile(GetDataRoot() + "/Templates/t.xml",
                           "<template name=\"G\"><channel><name>T</name><url>http://127.0.0.1:9/t</url></channel>"
                           "<parse_article>P</parse_article></template>");
    const QString unreadable = "Error|" + Tr(kCatalogUnreadable);
    for (const char* choice : {"choiceUrl", "choiceOpml", "choiceTemplates"}) {
      CNewWizardDlg wizard;
      Open(wizard, choice);
      if (std::string(choice) == "choiceUrl")
        TypeChannel(wizard, "http://127.0.0.1:9/typed", "Typed");
      else
        Check(wizard, std::string(choice) == "choiceOpml" ? "Sample" : "G");
      const std::size_t before = env_->dialogs().asked.size();
      QSignalSpy finished(&wizard, &CPage::finished);
      wizard.RunCommand(cmd::kFinish);
      QVERIFY2(env_->dialogs().asked.size() == before + 1 && env_->dialogs().asked.back() == unreadable, choice);
      QVERIFY2(finished.isEmpty() || finished[0][0].toInt() == kResultCancel, choice);
    }
    QCOMPARE(testsupport::ReadFile(ChannelDataPath("Channels.opml")), broken);
    QCOMPARE(static_cast<int>(FindFiles(ChannelDataPath("*")).size()), 1);  // the catalog alone
  }

  // An address already subscribed is not added again, on every page that
  // adds channels, and the message names it and the channel that has it.
  void duplicateAddressesAreRefusedByName() {
    WriteCatalog({{u"News", u"Existing", u"http://127.0.0.1:9/feed"}});
    testsupport::WriteFile(GetDataRoot() + "/SampleChannels.opml",
                           "<opml><body><outline text=\"Again\" xmlUrl=\"HTTP://127.0.0.1:9/feed\"/>"
                           "<outline text=\"Fresh\" xmlUrl=\"http://127.0.0.1:9/fresh\"/>"
                           "<outline text=\"Twice\" xmlUrl=\"http://127.0.0.1:9/fresh\"/></body></opml>");
    CreateFolder(GetDataRoot() + "/Templates");
    testsupport::WriteFile(GetDataRoot() + "/Templates/t.xml",
                           "<template name=\"G\"><channel><name>T</name><url>http://127.0.0.1:9/feed</url></channel>"
                           "<channel><name>U</name><url>http://127.0.0.1:9/u</url></channel>"
                           "<parse_article>P</parse_article></template>");
    const auto named = [&](const char* url, const char* title) {
      const QString last = env_->dialogs().asked.back();
      return last.contains(url) && last.contains(title);
    };
    {
      // The address page stays, so that the address can be corrected.
      CNewWizardDlg wizard;
      Open(wizard, "choiceUrl");
      TypeChannel(wizard, " http://127.0.0.1:9/feed ", "Other title");
      QSignalSpy finished(&wizard, &CPage::finished);
      wizard.RunCommand(cmd::kFinish);
      QVERIFY(!env_->dialogs().asked.empty());
      QVERIFY(named("http://127.0.0.1:9/feed", "Existing"));
      QCOMPARE(finished.count(), 0);
      QVERIFY(qobject_cast<COptionChannelInfoMainDlg*>(wizard.current()));
    }
    {
      // The choosers add the rest and name what they left out.
      CNewWizardDlg wizard;
      Open(wizard, "choiceOpml");
      for (const char* entry : {"Again", "Fresh", "Twice"}) Check(wizard, entry);
      const std::size_t before = env_->dialogs().asked.size();
      wizard.RunCommand(cmd::kFinish);
      QCOMPARE(env_->dialogs().asked.size(), before + 1);
      QVERIFY(named("HTTP://127.0.0.1:9/feed", "Existing"));
      QVERIFY(named("http://127.0.0.1:9/fresh", "Fresh"));
    }
    {
      CNewWizardDlg wizard;
      Open(wizard, "choiceTemplates");
      Check(wizard, "G");
      const std::size_t before = env_->dialogs().asked.size();
      wizard.RunCommand(cmd::kFinish);
      QCOMPARE(env_->dialogs().asked.size(), before + 1);
      QVERIFY(named("http://127.0.0.1:9/feed", "Existing"));
    }
    QCOMPARE(Subscribed(), (std::vector<std::string>{"News/Existing http://127.0.0.1:9/feed",
                                                      "Others/Fresh http://127.0.0.1:9/fresh",
                                                      "Others/G - U http://127.0.0.1:9/u"}));
    // The refused template wrote no copy over the existing channel's.
    QVERIFY(!FileExists(ChannelDataPath("Ch100.tpl")));
    QCOMPARE(testsupport::ReadFile(ChannelDataPath("Ch102.tpl")), std::string("\xEF\xBB\xBFP"));
  }
};

QTEST_MAIN(WizardTest)
#include "wizard_test.moc"
