// The article page as text, the picture substitution, and the article view
// on a channel merged through the store: stepping, font size, links.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <QAccessible>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <map>

#include "platform/text.h"
#include "reader/reading.h"
#include "store/settings.h"
#include "ui/article/article_page.h"
#include "ui/article/article_view_dlg.h"
#include "ui/article/link_opener.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tr.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

const PageWords kWords{u"Read More Online", u"Published"};

ArticleInfo Article() {
  ArticleInfo a;
  a.channel = 100;
  a.channelTitle = u"Alpha";
  a.title = u"Title";
  a.body = u"Body";
  a.link = u"http://example.org/a";
  a.published = u"2008-05-02 09:00";
  return a;
}

// A loader that knows some addresses and records what it was asked.
struct FakePictures {
  std::vector<std::u16string> stored;
  std::vector<std::u16string> asked;
  std::u16string Run(std::u16string_view body) {
    return SubstitutePictures(body, [this](const std::u16string& address, int) {
      asked.push_back(address);
      return std::find(stored.begin(), stored.end(), address) != stored.end();
    });
  }
};

// The names of the pictures a page shows, in order.
QStringList PictureNames(const QString& html) {
  QTextDocument document;
  document.setHtml(html);
  QStringList names;
  for (QTextBlock block = document.begin(); block != document.end(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) names << it.fragment().charFormat().toImageFormat().name();
  return names;
}

QStringList EnabledAndChecked(QMenu& menu) {
  QStringList states;
  ForEachCommandAction(menu, [&](QAction& action, int command) {
    states << QString("%1:%2%3").arg(command).arg(action.isEnabled() ? "e" : "-").arg(action.isChecked() ? "c" : "");
  });
  return states;
}

}  // namespace

class ArticleTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;
  CHeadlinesDlg* headlines_ = nullptr;
  int channel_ = 0;

  // A channel whose newest item has two stored pictures (one named twice)
  // and one that was never stored, whose middle item has a full text in
  // UTF-16 with its byte-order mark, and whose oldest is plain.
  void OpenChannel() {
    channel_ = WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/alpha", 3, 3}})[0];
    MergeFeed(channel_,
              {{"Old", "http://127.0.0.1/1", "Thu, 01 May 2008 10:00:00 GMT", "<p>plain</p>"},
               {"Middle", "http://127.0.0.1/2", "Fri, 02 May 2008 10:00:00 GMT", "<p>short</p>"},
               {"New", "http://127.0.0.1/3", "Sat, 03 May 2008 10:00:00 GMT",
                "<img src=\"http://127.0.0.1/p1.png\"><img src='http://127.0.0.1/p2.png'>"
                "<img src=http://127.0.0.1/p3.png><img src=\"http://127.0.0.1/p1.png\">"}});
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(QString::fromStdString(StoredFilePath(channel_, u"http://127.0.0.1/p1.png", ".img")), "PNG"));
    QImage wide(2000, 100, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QVERIFY(wide.save(QString::fromStdString(StoredFilePath(channel_, u"http://127.0.0.1/p2.png", ".img")), "JPG"));
    testsupport::WriteFile(StoredFilePath(channel_, u"http://127.0.0.1/2", ".htm"),
                           "\xFF\xFE" + Utf16ToUtf16LE(u"<p>全文 full text</p>"));
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    QTRY_VERIFY(frame_->channelView().list().isVisible());
    headlines_ = new CHeadlinesDlg(*frame_, {channel_, "Alpha", "http://127.0.0.1:9/alpha"});
    frame_->PushPage(headlines_);
    QTRY_VERIFY(headlines_->list().isVisible());
  }
  CArticleViewDlg& OpenArticle() {
    headlines_->OpenArticle();
    auto* view = qobject_cast<CArticleViewDlg*>(frame_->TopPage());
    [&] {
      QVERIFY(view != nullptr);
      QTRY_VERIFY(!view->page().empty());
    }();
    return *view;
  }

 private slots:
  void init() { env_ = std::make_unique<UiTestEnvironment>(); }
  void cleanup() {
    SetLinkOpener({});
    frame_.reset();
    env_.reset();
  }

  void composedPages() {
    ArticleInfo normal = Article();
    QCOMPARE(ToQString(ComposeArticlePage(normal, true, kWords)),
             QString("<HTML><BODY style=\"word-break:break-all\"><P><img src=\"logo\"></P><b><font color=\"#000080\">"
                     "</font></b><img src=\"news-unread\">&nbsp;<B>Title</B><P>Body</P><P><a href=\"http://example.org/a\">"
                     "Read More Online...</a></P><P><font color=\"#C0C0C0\">Published: 2008-05-02 09:00"
                     "</font></P></BODY></HTML>"));
    ArticleInfo error = Article();
    error.link = kErrorMarkerLink;
    error.wasRead = true;
    QCOMPARE(ToQString(ComposeArticlePage(error, false, {u"x", u"发布时间"})),
             QString("<HTML><BODY style=\"word-break:break-all\"><b><font color=\"#000080\"><P>Alpha</P>"
                     "</font></b><img src=\"news-read\">&nbsp;<B><font color=\"#FF0000\">Title</font></B><P>Body"
                     "</P><P><font color=\"#C0C0C0\">发布时间: 2008-05-02 09:00</font></P></BODY></HTML>"));
    ArticleInfo full = Article();
    full.hasFullText = true;
    QCOMPARE(ToQString(ComposeArticlePage(full, true, kWords)),
             QString("<HTML><BODY style=\"word-break:break-all\"><P><img src=\"logo\"></P><b><font color=\"#000080\">"
                     "</font></b><img src=\"news-unread\">&nbsp;<B>Title</B><P>Body</P><P><font color=\"#C0C0C0\">"
                     "Published: 2008-05-02 09:00</font></P></BODY></HTML>"));
    // Both words are translated, also beside the link.
    const QString chinese = ToQString(ComposeArticlePage(normal, true, {u"在线阅读全文", u"发布时间"}));
    QVERIFY(chinese.contains("在线阅读全文...</a></P><P><font color=\"#C0C0C0\">发布时间: 2008-05-02"));
    QVERIFY(!chinese.contains("Published"));
    // The viewer gets the title in a paragraph of its own, which Qt's HTML
    // reader would otherwise run into the logo's.
    QTextDocument shown;
    shown.setHtml(ToQString(PageForViewer(ComposeArticlePage(normal, true, kWords))));
    QCOMPARE(shown.toPlainText().left(3), QString(QChar(0xFFFC)) + '\n' + QChar(0xFFFC));
  }

  void pictureSubstitution() {
    FakePictures pictures;
    pictures.stored = {u"http://a/1.png", u"http://a/2.png", u"http://a/4.png"};
    // Quoted with " and ', unquoted, followed by ">", a repeat, and one never stored.
    QCOMPARE(ToQString(pictures.Run(u"<img src=\"http://a/1.png\" alt=x> text <IMG SRC='http://a/2.png'>"
                                    u"<img src=http://a/3.png>after <img src=http://a/4.png alt=\"http://a/4.png\">"
                                    u"<img src=\"http://a/1.png\"> see http://a/1.png")),
             QString("<img src=\"newscontent01\" alt=x> text <IMG SRC=\"newscontent02\"><img src=\"newsfiller\">"
                     "after <img src=\"newscontent03\" alt=\"hxxp://a/4.png\"><img src=\"newscontent01\"> see "
                     "hxxp://a/1.png"));
    QCOMPARE(pictures.asked.size(), size_t{4});  // the repeat is not loaded again

    FakePictures many;
    std::u16string body;
    for (int i = 0; i < 17; ++i) {
      const std::u16string address = u"http://a/" + Utf8ToUtf16(std::to_string(i));
      many.stored.push_back(address);
      body += u"<img src=\"" + address + u"\">";
    }
    const QString page = ToQString(many.Run(body));
    QVERIFY(page.contains("\"newscontent16\""));
    QVERIFY(!page.contains("newscontent17"));
    QVERIFY(page.endsWith("<img src=\"newsfiller\">"));
    QCOMPARE(ToQString(many.Run(u"no pictures at http://x/")), QString("no pictures at hxxp://x/"));
  }

  // Titles, the channel's title, the date and the link are text: markup in
  // them shows as written and cannot add pictures or links to the page.
  void feedTextsAreEscapedInThePage() {
    ArticleInfo a = Article();
    a.channelTitle = u"A & <img src=\"/etc/c.png\">";
    a.title = u"<img src=\"/etc/t.png\">1 < 2";
    a.published = u"<img src='/etc/d.png'>";
    a.link = u"http://example.org/?\"><img src=\"/etc/l.png\"><a href=\"x";
    const QString page = ToQString(ComposeArticlePage(a, false, kWords));
    QCOMPARE(PictureNames(page), QStringList({"news-unread"}));
    QTextDocument shown;
    shown.setHtml(page);
    const QString text = shown.toPlainText();
    QVERIFY(text.contains("A & <img src=\"/etc/c.png\">"));
    QVERIFY(text.contains("<img src=\"/etc/t.png\">1 < 2"));
    QVERIFY(text.contains("<img src='/etc/d.png'>"));
    QStringList links;
    for (QTextBlock block = shown.begin(); block != shown.end(); block = block.next())
      for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isAnchor()) links << it.fragment().charFormat().anchorHref();
    QCOMPARE(links, QStringList({ToQString(a.link)}));
  }

  // Every src of a picture tag is replaced, not only the first.
  void everySourceOfAPictureIsReplaced() {
    FakePictures pictures;
    pictures.stored = {u"http://a/1.png"};
    const QString page = ToQString(pictures.Run(
        u"<img src=\"http://a/1.png\" src=\"/etc/a.png\"><img src=\"\" SRC='/etc/b.png' src=/etc/c.png>"
        u"<img alt=x src=http://a/2.png src = \"file:///etc/d.png\">"));
    QCOMPARE(PictureNames(page), QStringList({"newscontent01", "newsfiller", "newsfiller"}));
    QVERIFY2(!page.contains("/etc/"), qPrintable(page));
  }

  // The viewer draws pictures from its table only: one that a page names by
  // a file path is never read from disk.
  void theViewerDrawsNoFileThePageNames() {
    const QString picture = QString::fromStdString(env_->root() + "/red.png");
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    QVERIFY(red.save(picture, "PNG"));
    CHtmlViewDlg view;
    view.resize(300, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.ShowHtml(ToU16(QString("<p>x<img src=\"%1\"><img src=\"%2\"><table background=\"%1\"><tr><td>t</td></tr>"
                                "</table></p>")
                            .arg(picture, QUrl::fromLocalFile(picture).toString())));
    const QImage shot = view.viewer().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int redPixels = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) redPixels += (shot.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
    QCOMPARE(redPixels, 0);
    // A registered picture still shows.
    view.RegisterImage("mine", red);
    view.ShowHtml(u"<p><img src=\"mine\"></p>");
    const QImage mine = view.viewer().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int shown = 0;
    for (int y = 0; y < mine.height(); ++y)
      for (int x = 0; x < mine.width(); ++x) shown += (mine.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
    QVERIFY(shown >= 40 * 30);
  }

  void links() {
    std::vector<QUrl> opened;
    SetLinkOpener([&](const QUrl& url) { opened.push_back(url); });
    QVERIFY(OpenLink("hxxp://example.org/a?b=1"));
    QVERIFY(OpenLink("https://example.org/"));
    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x", "mailto:a@b",
                                "steam://run/1", "/relative", "http://"})
      QVERIFY2(!OpenLink(refused), refused);
    QCOMPARE(opened, (std::vector<QUrl>{QUrl("http://example.org/a?b=1"), QUrl("https://example.org/")}));
  }

  void theViewShowsStoredPicturesAndTheFullText() {
    OpenChannel();
    CArticleViewDlg& view = OpenArticle();
    const QString page = ToQString(view.page());
    QVERIFY(page.contains("<img src=\"newscontent01\"><img src=\"newscontent02\"><img src=\"newsfiller\">"
                          "<img src=\"newscontent01\">"));
    QVERIFY(page.contains("<P><b><font color=\"#000080\"><P>Alpha</P>") || page.contains("<P>Alpha</P>"));
    QVERIFY(page.contains("<a href=\"http://127.0.0.1/3\">Read More Online...</a>"));
    CHtmlViewer& viewer = view.viewer();
    QVERIFY(!viewer.loadResource(QTextDocument::ImageResource, QUrl("newscontent01")).isNull());
    QVERIFY(!viewer.loadResource(QTextDocument::ImageResource, QUrl("news-unread")).isNull());
    QVERIFY(viewer.loadResource(QTextDocument::ImageResource, QUrl("http://127.0.0.1/p1.png")).isNull());
    // Not even the stored picture itself when the page names its file.
    QVERIFY(viewer.document()
                ->resource(QTextDocument::ImageResource,
                           QUrl::fromLocalFile(QString::fromStdString(StoredFilePath(channel_, u"http://127.0.0.1/p1.png", ".img"))))
                .isNull());
    QVERIFY(viewer.isVisible());
    // A picture wider than the page is scaled to the page's width, also in
    // the first article, composed while the viewer was still hidden.
    const QImage scaled = viewer.loadResource(QTextDocument::ImageResource, QUrl("newscontent02")).value<QImage>();
    QVERIFY2(scaled.width() <= viewer.viewport()->width() && scaled.width() > viewer.viewport()->width() * 3 / 4,
             qPrintable(QString("%1 px in %2").arg(scaled.width()).arg(viewer.viewport()->width())));
    // On a wide window the text keeps to a centred column.
    const auto sideMargin = [&] { return viewer.document()->rootFrame()->frameFormat().leftMargin(); };
    frame_->resize(480, 720);
    QTRY_COMPARE(sideMargin(), 4.0);
    frame_->resize(2000, 800);
    QTRY_VERIFY(sideMargin() > 100);
    QCOMPARE(viewer.document()->rootFrame()->frameFormat().rightMargin(), sideMargin());
    QVERIFY(viewer.viewport()->width() - 2 * sideMargin() <= viewer.MaxColumnWidth());

    // A screen reader names the article, its channel and its date, and follows a step.
    QAccessibleInterface* reading = QAccessible::queryAccessibleInterface(&viewer);
    QCOMPARE(reading->text(QAccessible::Name), ToQString(view.article().title));
    QCOMPARE(reading->text(QAccessible::Description),
             "Alpha, " + ToQString(view.article().published));
    QTest::keyClick(&viewer, Qt::Key_Right);
    QCOMPARE(view.article().title, std::u16string(u"Middle"));
    QCOMPARE(reading->text(QAccessible::Name), QString("Middle"));
    QVERIFY(view.article().hasFullText);
    QVERIFY(ToQString(view.page()).contains("<P><p>全文 full text</p></P><P><font color=\"#C0C0C0\">Published: "));

    // Without a URL index every picture shows the filler.
    std::remove(ChannelFile(channel_, ".iid").c_str());
    QTest::keyClick(&viewer, Qt::Key_Left);
    QCOMPARE(view.article().title, std::u16string(u"New"));
    QVERIFY(!ToQString(view.page()).contains("newscontent"));
    QVERIFY(view.article().wasRead);
    QVERIFY(ToQString(view.page()).contains("news-read"));
  }

  void stepsStopAtBothEndsAndTheFontSizeIsStored() {
    OpenChannel();
    CArticleViewDlg& view = OpenArticle();
    QTest::keyClick(&view.viewer(), Qt::Key_Left);  // already the first
    QCOMPARE(view.article().title, std::u16string(u"New"));
    QMenu* menu = view.OpenMenu();
    QCOMPARE(EnabledAndChecked(*menu).mid(0, 2), QStringList({"32875:-", "32877:e"}));
    QVERIFY(EnabledAndChecked(*menu).contains("32856:ec"));  // Medium, the default
    menu->close();

    QTest::keyClick(&view.viewer(), Qt::Key_Right);
    QTest::keyClick(&view.viewer(), Qt::Key_Right);
    QTest::keyClick(&view.viewer(), Qt::Key_Right);  // already the last
    QCOMPARE(view.article().title, std::u16string(u"Old"));
    QCOMPARE(headlines_->Counts().unread, 0);
    menu = view.OpenMenu();
    QCOMPARE(EnabledAndChecked(*menu).mid(0, 2), QStringList({"32875:e", "32877:-"}));
    menu->close();

    view.RunCommand(cmd::kFontLargest);
    QCOMPARE(GetSettingInt(setting::kHtmlFontSize), 4);
    QTest::keyClick(&view.viewer(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(GetSettingInt(setting::kHtmlFontSize), 3);
    menu = view.OpenMenu();
    QVERIFY(EnabledAndChecked(*menu).contains("32855:ec"));
    QVERIFY(EnabledAndChecked(*menu).contains("32854:e"));
    menu->close();
  }

  void deleteAndLinksCloseTheView() {
    OpenChannel();
    CArticleViewDlg* view = &OpenArticle();
    std::vector<QUrl> opened;
    SetLinkOpener([&](const QUrl& url) { opened.push_back(url); });
    view->OnLinkClicked("file:///etc/passwd");
    QCOMPARE(frame_->TopPage(), static_cast<CPage*>(view));
    view->OnLinkClicked("hxxp://127.0.0.1/3");
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(headlines_));
    QCOMPARE(opened, std::vector<QUrl>{QUrl("http://127.0.0.1/3")});

    view = &OpenArticle();
    env_->dialogs().answers = {true};
    QTest::keyClick(&view->viewer(), Qt::Key_Delete);
    QTRY_COMPARE(frame_->TopPage(), static_cast<CPage*>(headlines_));
    QCOMPARE(headlines_->model().rowCount(), 2);
    QCOMPARE(headlines_->Counts().total, 2);
    QCOMPARE(ReadFlags(channel_).size(), size_t{2});
  }
};

int RunArticleTests(int argc, char** argv) {
  ArticleTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "article_test.moc"
