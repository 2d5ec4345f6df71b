// The message boxes and file dialogs the screens show, behind one small
// interface so tests can answer them. The real ones are Qt's own.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <string_view>

namespace wrenly::ui {

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // A Yes/No question with a question icon; true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
  // A message with an OK key.
  virtual void Inform(QWidget* parent, const QString& caption, const QString& text,
                      QMessageBox::Icon icon) = 0;
  // A file name to save to; empty when the user cancelled.
  virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                               const QString& suffix) = 0;
  // One of the items, by its index; -1 when the user cancelled.
  virtual int ChooseOne(QWidget* parent, const QString& caption, const QString& text, const QStringList& items) = 0;
};

IDialogs& Dialogs();
// Replaces the dialogs (tests); nullptr brings back the real ones.
void SetDialogs(IDialogs* dialogs);

// "Confirm Delete" with the translated question; true for Yes.
bool ConfirmDelete(QWidget* parent, std::u16string_view question);

}  // namespace wrenly::ui
