// COptionAccountDlg, the "Account" page: the data root's account on a Tiny
// Tiny RSS server (address, user, password, whether plain http to another
// computer is allowed), saved, removed, and its login tried. The login check
// is given to the page, so tests drive it without a server; it runs on a
// thread of its own and reports back to the page while the page lives.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>

#include "reader/account.h"
#include "reader/result.h"
#include "ui/options/option_page.h"

namespace wrenly::ui {

class COptionAccountDlg : public COptionPage {
  Q_OBJECT

 public:
  using LoginCheck = std::function<reader::Result(const reader::Account&)>;
  COptionAccountDlg(std::string dataRoot, LoginCheck check);

 signals:
  // A login check finished and its outcome is shown.
  void loginChecked();

 protected:
  std::u16string_view HeadingText() const override { return u"Account"; }
  void RetranslateForm() override;
  // OK: saves a changed form; an unchanged one closes as it is.
  bool Save() override;

 private:
  // The account the form describes; the stored password when the field is
  // left empty for the account already saved. Shows what is wrong otherwise.
  std::optional<reader::Account> FormAccount();
  bool SaveForm();
  void RemoveAccount();
  void TryLogin();
  void ShowStored();
  void ShowStatus(const QString& text, bool failed);
  bool FormChanged() const;

  std::string root_;
  LoginCheck check_;
  std::optional<reader::StoredAccount> stored_;
  bool checking_ = false;
  QLabel* serverLabel_;
  QLineEdit* server_;
  QLabel* userLabel_;
  QLineEdit* user_;
  QLabel* passwordLabel_;
  QLineEdit* password_;
  QCheckBox* allowHttp_;
  QLabel* allowHttpNote_;
  QPushButton* save_;
  QPushButton* remove_;
  QPushButton* tryLogin_;
  QLabel* status_;
};

}  // namespace wrenly::ui
