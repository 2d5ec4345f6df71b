// Keyboard reach of every screen: on each page the frame can show, Tab walks
// the page's controls in reading order (top to bottom, then left to right),
// reaches every control that takes the keyboard, and comes back to where it
// began without getting stuck. Screens are found the way a person finds
// them: through the menus of the channel list and the headline list (so a
// screen added to a menu is walked too), each tab of a tabbed page, each
// page of the wizard, the welcome screen and the message boxes.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <set>

#include "platform/text.h"
#include "store/settings.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/page.h"
#include "ui/frame/screens.h"
#include "ui/frame/soft_key_bar.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/options/register_screens.h"
#include "ui/test/ui_test_support.h"
#include "ui/frame/tr.h"
#include "ui/wizard/download_dlg.h"
#include "ui/wizard/new_channel_dlg.h"
#include "ui/wizard/new_wizard_dlg.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

QString Describe(const QWidget* w) {
  QString text = QString::fromLatin1(w->metaObject()->className());
  if (!w->objectName().isEmpty()) text += " \"" + w->objectName() + '"';
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) text += " [" + button->text() + ']';
  return text;
}

QRect Place(const QWidget* w, const QWidget* window) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); }

// Reading order: a control on a line above comes first; on one line (their
// heights overlap by half of the smaller), the one further left.
bool ComesBefore(const QRect& a, const QRect& b) {
  const int overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
  if (overlap * 2 >= std::min(a.height(), b.height())) return a.left() < b.left();
  return a.top() < b.top();
}

// Controls a person works with: they must take the keyboard somehow.
bool IsControl(const QWidget* w) {
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QTextEdit*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTabBar*>(w);
}

// Inside a widget that works its parts itself (a combo box's field, a spin
// box's field, an editor in a list).
bool IsPartOfAnother(const QWidget* w, const QWidget* page) {
  for (const QWidget* p = w->parentWidget(); p != nullptr && p != page; p = p->parentWidget())
    if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
        qobject_cast<const QAbstractItemView*>(p))
      return true;
  return false;
}

// Radio buttons that exclude each other are one Tab stop: the group's key.
const QObject* TabStop(const QWidget* w) {
  const auto* radio = qobject_cast<const QRadioButton*>(w);
  if (radio == nullptr) return w;
  if (radio->group() != nullptr) return radio->group();
  return radio->autoExclusive() ? radio->parentWidget() : static_cast<const QObject*>(w);
}

}  // namespace

class TabOrderTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CMainFrame> frame_;
  QStringList walked_;  // the screens walked, for the test's own check

  CChannelView& View() { return frame_->channelView(); }

  // The language of the test's row: English, or Chinese with the program's table.
  void ChooseLanguage() {
    QFETCH_GLOBAL(bool, chinese);
    if (!chinese) return;
    const std::string folder = Utf16ToUtf8(GetSettingString(setting::kRoot)) + "/Localization/CHS";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(WRENLY_SOURCE_DIR "/data/Localization/CHS/Default.txt", folder + "/Default.txt");
    SetSettingString(setting::kLanguage, u"CHS");
  }
  void StartFrame() {
    ChooseLanguage();
    frame_ = std::make_unique<CMainFrame>(FrameOptions{env_->root() + "/no-power"});
    frame_->show();
    frame_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
  }

  // Walks the Tab chain of what the window shows now and checks it.
  void Walk(QWidget* window, const QString& screen) {
    walked_ << screen;
    if (!window->isActiveWindow()) {  // a dialog that closed leaves no window active
      window->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window));
    }
    QTest::qWait(50);  // layouts settle
    std::vector<QWidget*> focusable, controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (!w->isVisible() || !w->isEnabled() || IsPartOfAnother(w, window)) continue;
      if (w->parentWidget() != nullptr && qobject_cast<CSoftKeyBar*>(w->parentWidget())) continue;  // F1 and F2
      if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->focusProxy() == nullptr) focusable.push_back(w);
      const auto* button = qobject_cast<QAbstractButton*>(w);
      if (IsControl(w) && w->focusProxy() == nullptr && (button == nullptr || button->shortcut().isEmpty()))
        controls.push_back(w);
    }
    // Every control is a Tab stop, or one of a radio group's (its arrow
    // keys reach the others).
    std::set<const QObject*> stops;
    for (QWidget* w : focusable) stops.insert(TabStop(w));
    for (QWidget* w : controls)
      QVERIFY2(stops.count(TabStop(w)) == 1, qPrintable(screen + ": no key reaches " + Describe(w)));
    if (focusable.size() < 2) return;  // Tab has nowhere else to go
    QWidget* first = *std::min_element(focusable.begin(), focusable.end(), [&](QWidget* a, QWidget* b) {
      return ComesBefore(Place(a, window), Place(b, window));
    });
    first->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), first);
    std::vector<QWidget*> chain{first};
    for (size_t step = 0; step <= focusable.size() + 1; ++step) {
      QWidget* from = QApplication::focusWidget();
      QTest::keyClick(from, Qt::Key_Tab);
      QWidget* to = QApplication::focusWidget();
      QVERIFY2(to != nullptr && window->isAncestorOf(to), qPrintable(screen + ": Tab left the window from " + Describe(from)));
      QVERIFY2(to != from, qPrintable(screen + ": Tab stays on " + Describe(from)));
      if (to == first) break;
      chain.push_back(to);
    }
    QVERIFY2(QApplication::focusWidget() == first, qPrintable(screen + ": Tab never comes back to " + Describe(first)));
    for (size_t i = 1; i < chain.size(); ++i)
      QVERIFY2(!ComesBefore(Place(chain[i], window), Place(chain[i - 1], window)),
               qPrintable(screen + ": Tab goes from " + Describe(chain[i - 1]) + " back to " + Describe(chain[i])));
    std::set<const QObject*> reached;
    for (QWidget* w : chain) reached.insert(TabStop(w));
    for (const QObject* stop : stops)
      QVERIFY2(reached.count(stop) == 1, qPrintable(screen + ": Tab never reaches " + stop->objectName()));
  }

  // Walks the top page, and each tab of a tabbed page.
  void WalkPage(const QString& screen) {
    CPage* page = frame_->TopPage();
    Walk(frame_.get(), screen);
    for (QTabWidget* tabs : page->findChildren<QTabWidget*>()) {
      if (!tabs->isVisible()) continue;
      for (int i = 1; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Walk(frame_.get(), screen + " / " + tabs->tabText(i));
      }
      tabs->setCurrentIndex(0);
    }
  }

  // Takes the pages above `base` off the frame, as the back key does.
  void BackTo(CPage* base) {
    for (int i = 0; i < 10 && frame_->TopPage() != base; ++i) frame_->TopPage()->OnBack();
    QCOMPARE(frame_->TopPage(), base);
  }

  // Every command of a page's menu that opens a screen: the screen is walked.
  void WalkMenuScreens(CPage& page, const QString& name, const std::set<int>& skipped) {
    std::vector<std::pair<QString, int>> commands;
    std::function<void(const std::vector<MenuEntry>&)> collect = [&](const std::vector<MenuEntry>& entries) {
      for (const MenuEntry& entry : entries) {
        if (entry.command != 0 && skipped.count(entry.command) == 0)
          commands.emplace_back(QString::fromUtf16(entry.text), entry.command);
        collect(entry.sub);
      }
    };
    collect(page.MenuEntries());
    for (const auto& [text, command] : commands) {
      page.RunCommand(command);
      QTest::qWait(150);
      if (frame_->TopPage() == &page) continue;
      WalkPage(name + " > " + text);
      if (auto* wizard = qobject_cast<CNewWizardDlg*>(frame_->TopPage())) WalkWizardPages(*wizard);
      BackTo(&page);
      if (QTest::currentTestFailed()) return;
    }
  }

  // The wizard's choosers, each from its first page.
  void WalkWizardPages(CNewWizardDlg& wizard) {
    for (int choice : {kChoiceOpml, kChoiceUrl, kChoiceLocalTemplates}) {
      static_cast<CNewChannelDlg*>(wizard.current())->Select(choice);
      wizard.RunCommand(cmd::kNext);
      QTest::qWait(300);  // a chooser fills its tree
      WalkPage("Wizard page " + QString::number(choice));
      wizard.OnBack();
      QTRY_VERIFY(qobject_cast<CNewChannelDlg*>(wizard.current()) != nullptr);
      if (QTest::currentTestFailed()) return;
    }
    // The download page, once its download failed (nothing listens there).
    SetSettingString(setting::kSupportWebsite, u"http://127.0.0.1:9/support");
    static_cast<CNewChannelDlg*>(wizard.current())->Select(kChoiceDownload);
    wizard.RunCommand(cmd::kNext);
    QTRY_VERIFY(wizard.downloadDialog() != nullptr && wizard.downloadDialog()->button().text() != Tr(u"Cancel"));
    Walk(wizard.downloadDialog(), "Wizard download dialog");
    wizard.downloadDialog()->button().click();
    QTRY_VERIFY(wizard.downloadDialog() == nullptr);
  }

 private slots:
  void initTestCase_data() {
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
  }
  void init() {
    env_ = std::make_unique<UiTestEnvironment>();
    walked_.clear();
    Screens() = {};
    RegisterReadingScreens();
    RegisterSettingsScreens();
  }
  void cleanup() {
    frame_.reset();
    env_.reset();
    Screens() = {};
  }

  void theWelcomeScreenAndAMessageBoxKeepTheirTabOrder() {
    StartFrame();
    QTRY_VERIFY(frame_->TopPage() != &View());
    WalkPage("Welcome");
    // A real question box: walked while it waits for its answer.
    SetDialogs(nullptr);
    QTimer::singleShot(200, this, [this] {
      QWidget* box = QApplication::activeModalWidget();
      QVERIFY(box != nullptr);
      Walk(box, "Question box");
      qobject_cast<QMessageBox*>(box)->reject();
    });
    ConfirmDelete(frame_->TopPage(), u"Are you sure you want to delete this item?");
    QCOMPARE(walked_.size(), 2);
  }

  void everyScreenOfTheChannelListAndTheHeadlineListKeepsItsTabOrder() {
    const std::vector<int> numbers =
        WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a"}, {u"Tech", u"Beta", u"http://127.0.0.1:9/b"}});
    MergeFeed(numbers[0], {{"One", "http://127.0.0.1:9/1", "Thu, 21 Feb 2019 10:00:00 GMT", "first"},
                           {"Two", "http://127.0.0.1:9/2", "Thu, 21 Feb 2019 11:00:00 GMT", "second"}});
    StartFrame();
    QTRY_COMPARE(View().model().rowCount(), 2);
    View().list().setCurrentIndex(View().model().index(0));
    WalkPage("Channel list");
    // Commands that change data, end the program or open no screen.
    const std::set<int> skipped{cmd::kExit,     cmd::kRefreshChannel, cmd::kDelete,        cmd::kRename,
                                cmd::kMarkRead, cmd::kMarkUnread,     cmd::kMarkAllRead,   cmd::kMarkAllUnread,
                                cmd::kEnglish,  cmd::kSimplifiedChinese, cmd::kViewAll,   cmd::kViewNew,
                                cmd::kExport,   cmd::kRefresh,        cmd::kDeleteHeadline, cmd::kDeleteAllHeadlines};
    WalkMenuScreens(View(), "Channel list", skipped);
    View().ChooseCategory(cmd::kAddDeleteCategories);
    QTRY_VERIFY(frame_->TopPage() != &View());
    WalkPage("Category editor");
    BackTo(&View());

    View().list().setCurrentIndex(View().model().index(0));
    View().list().setFocus();
    QTest::keyClick(&View().list(), Qt::Key_Return);
    QTRY_VERIFY(frame_->TopPage() != &View());
    CPage* headlines = frame_->TopPage();
    QTest::qWait(200);
    WalkPage("Headline list");
    WalkMenuScreens(*headlines, "Headline list", skipped);
    auto* rows = headlines->findChild<QAbstractItemView*>();
    rows->setFocus();
    rows->setCurrentIndex(rows->model()->index(0, 0));
    QTest::keyClick(rows, Qt::Key_Return);
    QTRY_VERIFY(frame_->TopPage() != headlines);
    WalkPage("Article view");
    QVERIFY(walked_.size() >= 10);
  }
};

QTEST_MAIN(TabOrderTest)
#include "tab_order_test.moc"
