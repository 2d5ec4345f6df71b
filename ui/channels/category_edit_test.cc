// The category editor in both modes, against a real catalog file.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/text.h"
#include "store/channel_catalog.h"
#include "ui/channels/category_edit_dlg.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/tr.h"
#include "ui/test/ui_test_support.h"

using namespace wrenly;
using namespace wrenly::ui;
using namespace wrenly::ui::testing;

namespace {

std::vector<std::u16string> CatalogCategories() {
  std::vector<std::u16string> names;
  std::map<std::u16string, std::u16string> attributes;
  CChannelCatalog catalog([&](const std::u16string& category, const std::u16string& name, const std::u16string& value) {
    if (!name.empty()) {
      attributes[name] = value;
      return;
    }
    if (category.empty() && attributes[u"xmlUrl"].empty()) names.push_back(attributes[u"text"]);
    attributes.clear();
  });
  catalog.LoadAndReport(CChannelView::CatalogPath());
  return names;
}

// Types into the open in-place editor and ends the edit with Enter (the view
// takes the text a moment later).
void TypeIntoEditor(QWidget& list, const QString& text) {
  auto* editor = list.findChild<QLineEdit*>();
  QVERIFY(editor != nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
}

}  // namespace

class CategoryEditTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<UiTestEnvironment> env_;
  std::unique_ptr<CCategoryEditDlg> editor_;

  CCategoryEditDlg& OpenEditor() {
    editor_ = std::make_unique<CCategoryEditDlg>(CCategoryEditDlg::kEdit, CatalogCategories());
    editor_->show();
    return *editor_;
  }

 private slots:
  void init() {
    env_ = std::make_unique<UiTestEnvironment>();
    WriteCatalog({{u"News", u"Alpha", u"http://127.0.0.1:9/a"}, {u"Tech", u"Beta", u"http://127.0.0.1:9/b"}});
  }
  void cleanup() {
    editor_.reset();
    env_.reset();
  }

  void newAddsACategoryAlsoWhenTheNameIsLeftAsItIs() {
    CCategoryEditDlg& editor = OpenEditor();
    editor.findChild<QPushButton*>("newButton")->click();
    QTest::keyClick(editor.list().findChild<QLineEdit*>(), Qt::Key_Return);
    QTRY_COMPARE(CatalogCategories(), (std::vector<std::u16string>{u"News", u"Tech", u"New Category"}));
    editor.NewCategory();
    TypeIntoEditor(editor.list(), "Sports");
    QTRY_COMPARE(CatalogCategories().back(), std::u16string(u"Sports"));
    QCOMPARE(editor.list().item(0)->text(), QString("Sports"));
  }

  void renameChangesTheCategoryOnly() {
    CCategoryEditDlg& editor = OpenEditor();
    editor.list().setCurrentRow(1);
    editor.findChild<QPushButton*>("renameButton")->click();
    TypeIntoEditor(editor.list(), "Technology");
    QTRY_COMPARE(CatalogCategories(), (std::vector<std::u16string>{u"News", u"Technology"}));
    // An emptied name is refused and the old one stays.
    editor.RenameCategory();
    TypeIntoEditor(editor.list(), "");
    QTRY_COMPARE(editor.list().item(1)->text(), QString("Technology"));
    QCOMPARE(CatalogCategories(), (std::vector<std::u16string>{u"News", u"Technology"}));
  }

  void deleteAsksEachTimeAndNoChangesNothing() {
    CCategoryEditDlg& editor = OpenEditor();
    editor.list().setCurrentRow(0);
    env_->dialogs().answers = {false};
    editor.findChild<QPushButton*>("deleteButton")->click();
    QCOMPARE(editor.list().count(), 2);
    QCOMPARE(CatalogCategories().size(), size_t{2});
    env_->dialogs().answers = {true};
    QTest::keyClick(&editor.list(), Qt::Key_Delete);
    QCOMPARE(editor.list().count(), 1);
    QCOMPARE(CatalogCategories(), (std::vector<std::u16string>{u"Tech"}));
    QCOMPARE(env_->dialogs().asked.size(), size_t{2});
    QVERIFY(env_->dialogs().asked[0].contains("delete this category"));
  }

  void chooseModeOffersNamesThatCannotBeEdited() {
    CCategoryEditDlg editor(CCategoryEditDlg::kChoose, {u"News", u"Tech"});
    editor.show();
    QVERIFY(!editor.findChild<QPushButton*>("newButton")->isVisible());
    QVERIFY(editor.findChild<QLabel*>("prompt")->isVisible());
    QCOMPARE(editor.chosen(), std::u16string(u"News"));
    editor.RenameCategory();
    QVERIFY(editor.list().findChild<QLineEdit*>() == nullptr);
    int result = -1;
    connect(&editor, &CPage::finished, this, [&](int r) { result = r; });
    editor.list().setCurrentRow(1);
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    QTest::keyClick(&editor, Qt::Key_F2);  // Cancel
    QCOMPARE(result, kResultCancel);
    QCOMPARE(editor.chosen(), std::u16string(u"Tech"));
  }
};

QTEST_MAIN(CategoryEditTest)
#include "category_edit_test.moc"
