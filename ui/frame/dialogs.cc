#include "ui/frame/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>
#include <algorithm>

#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

class CQtDialogs : public IDialogs {
 public:
  bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    // With their mnemonics: Alt+Y and Alt+N answer.
    box.button(QMessageBox::Yes)->setText(Tr(u"&Yes"));
    box.button(QMessageBox::No)->setText(Tr(u"&No"));
    return box.exec() == QMessageBox::Yes;
  }

  void Inform(QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon) override {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(Tr(u"OK"));
    box.exec();
  }

  QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                       const QString& suffix) override {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  }

  int ChooseOne(QWidget* parent, const QString& caption, const QString& text, const QStringList& items) override {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(text);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setOkButtonText(Tr(u"OK"));
    dialog.setCancelButtonText(Tr(u"Cancel"));
    // Wide enough for the items' addresses on a phone's screen as on a desktop.
    if (parent != nullptr) dialog.resize(std::min(parent->window()->width() * 9 / 10, 720), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return -1;
    return static_cast<int>(items.indexOf(dialog.textValue()));
  }
};

IDialogs* replacement = nullptr;

}  // namespace

IDialogs& Dialogs() {
  static CQtDialogs real;
  return replacement != nullptr ? *replacement : real;
}

void SetDialogs(IDialogs* dialogs) { replacement = dialogs; }

bool ConfirmDelete(QWidget* parent, std::u16string_view question) {
  return Dialogs().AskYesNo(parent, Tr(u"Confirm Delete"), Tr(question));
}

}  // namespace wrenly::ui
