#include "ui/options/option_account_dlg.h"

#include <QHBoxLayout>
#include <QThread>
#include <memory>

#include "platform/text.h"
#include "reader/account_texts.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

constexpr char16_t kSecretStorePlaceText[] = u"The password is kept in the desktop's secret store.";
constexpr char16_t kPrivateFilePlaceText[] = u"The password is kept in a private file that only you can read.";

QString PlaceText(reader::PasswordPlace place) {
  return Tr(place == reader::PasswordPlace::kSecretService ? kSecretStorePlaceText : kPrivateFilePlaceText);
}

// A reader message: its first line is a key of the translation table.
QString MessageText(const std::string& message) { return Tr(Utf8ToUtf16(message)); }

QLabel* FieldLabel(QWidget* parent, QLineEdit* field) {
  auto* label = new QLabel(parent);
  label->setBuddy(field);
  label->setWordWrap(true);
  return label;
}

}  // namespace

COptionAccountDlg::COptionAccountDlg(std::string dataRoot, LoginCheck check)
    : COptionPage("accountPage"),
      root_(std::move(dataRoot)),
      check_(std::move(check)),
      server_(new QLineEdit(this)),
      user_(new QLineEdit(this)),
      password_(new QLineEdit(this)),
      allowHttp_(new QCheckBox(this)),
      allowHttpNote_(new QLabel(this)),
      save_(new QPushButton(this)),
      remove_(new QPushButton(this)),
      tryLogin_(new QPushButton(this)),
      status_(new QLabel(this)) {
  server_->setObjectName("accountServer");
  user_->setObjectName("accountUser");
  password_->setObjectName("accountPassword");
  allowHttp_->setObjectName("allowPlainHttp");
  save_->setObjectName("saveAccount");
  remove_->setObjectName("removeAccount");
  tryLogin_->setObjectName("tryLogin");
  status_->setObjectName("accountStatus");
  serverLabel_ = FieldLabel(this, server_);
  userLabel_ = FieldLabel(this, user_);
  passwordLabel_ = FieldLabel(this, password_);
  server_->setPlaceholderText("https://news.example.org/tt-rss/");
  server_->setInputMethodHints(Qt::ImhUrlCharactersOnly | Qt::ImhNoAutoUppercase);
  user_->setInputMethodHints(Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText);
  password_->setEchoMode(QLineEdit::Password);
  password_->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
  allowHttpNote_->setWordWrap(true);
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save_);
  buttons->addWidget(remove_);
  buttons->addWidget(tryLogin_);
  buttons->addStretch(1);
  for (QWidget* widget : {static_cast<QWidget*>(serverLabel_), static_cast<QWidget*>(server_),
                          static_cast<QWidget*>(userLabel_), static_cast<QWidget*>(user_),
                          static_cast<QWidget*>(passwordLabel_), static_cast<QWidget*>(password_),
                          static_cast<QWidget*>(allowHttp_), static_cast<QWidget*>(allowHttpNote_)})
    form().addWidget(widget);
  form().addSpacing(4);
  form().addLayout(buttons);
  form().addWidget(status_);

  connect(save_, &QPushButton::clicked, this, &COptionAccountDlg::SaveForm);
  connect(remove_, &QPushButton::clicked, this, &COptionAccountDlg::RemoveAccount);
  connect(tryLogin_, &QPushButton::clicked, this, &COptionAccountDlg::TryLogin);
  ShowStored();
  Retranslate();
  server_->setFocus();
}

void COptionAccountDlg::RetranslateForm() {
  serverLabel_->setText(Tr(u"Tiny Tiny RSS server address:"));
  userLabel_->setText(Tr(u"User name:"));
  passwordLabel_->setText(Tr(u"Password:"));
  password_->setPlaceholderText(stored_ ? Tr(u"Saved; type a new one to change it") : QString());
  allowHttp_->setText(Tr(u"Allow plain http:// to another computer"));
  allowHttpNote_->setText(Tr(u"Over plain http:// the password travels unencrypted; use it only on a network you trust."));
  save_->setText(Tr(u"Save"));
  remove_->setText(Tr(u"Remove"));
  tryLogin_->setText(Tr(u"Try Login"));
  if (!checking_)
    ShowStatus(stored_ ? PlaceText(stored_->place) : Tr(u"No account is set; the channels are local."), false);
}

void COptionAccountDlg::ShowStored() {
  const auto stored = reader::ReadAccount(root_);
  stored_ = stored.done() ? stored.value : std::nullopt;
  server_->setText(stored_ ? QString::fromStdString(stored_->account.url) : QString());
  user_->setText(stored_ ? QString::fromStdString(stored_->account.user) : QString());
  allowHttp_->setChecked(stored_ && stored_->account.allow_plain_http);
  password_->clear();
  remove_->setEnabled(stored_.has_value());
  if (!stored.done()) ShowStatus(MessageText(stored.result.message), true);
}

void COptionAccountDlg::ShowStatus(const QString& text, bool failed) {
  status_->setText(text);
  status_->setProperty("failed", failed);
  status_->setStyleSheet(failed ? "color: #b00020;" : QString());
}

bool COptionAccountDlg::FormChanged() const {
  if (!password_->text().isEmpty()) return true;
  if (!stored_) return !server_->text().trimmed().isEmpty() || !user_->text().trimmed().isEmpty();
  return server_->text().trimmed().toStdString() != stored_->account.url ||
         user_->text().trimmed().toStdString() != stored_->account.user ||
         allowHttp_->isChecked() != stored_->account.allow_plain_http;
}

std::optional<reader::Account> COptionAccountDlg::FormAccount() {
  reader::Account account;
  account.url = server_->text().trimmed().toStdString();
  account.user = user_->text().trimmed().toStdString();
  account.password = password_->text().toStdString();
  account.allow_plain_http = allowHttp_->isChecked();
  if (account.password.empty() && stored_ && account.url == stored_->account.url &&
      account.user == stored_->account.user) {
    const auto loaded = reader::LoadAccount(root_);
    if (!loaded.done()) {
      ShowStatus(MessageText(loaded.result.message), true);
      return std::nullopt;
    }
    if (loaded.value) account.password = loaded.value->password;
  }
  if (account.password.empty()) {
    ShowStatus(Tr(reader::kPasswordEmptyText), true);
    password_->setFocus();
    return std::nullopt;
  }
  return account;
}

bool COptionAccountDlg::SaveForm() {
  const std::optional<reader::Account> account = FormAccount();
  if (!account) return false;
  const auto saved = reader::SaveAccount(root_, *account);
  if (!saved.done()) {
    ShowStatus(MessageText(saved.result.message), true);
    return false;
  }
  ShowStored();
  QString text = Tr(u"Saved.") + ' ' + PlaceText(saved.value);
  if (!saved.result.message.empty()) text += '\n' + MessageText(saved.result.message);
  ShowStatus(text, false);
  return true;
}

bool COptionAccountDlg::Save() { return !FormChanged() || SaveForm(); }

void COptionAccountDlg::RemoveAccount() {
  if (!Dialogs().AskYesNo(this, Tr(u"Account"), Tr(u"Remove the account? The channels stay on this computer.")))
    return;
  const reader::Result removed = reader::RemoveAccount(root_);
  if (!removed.done()) {
    ShowStatus(MessageText(removed.message), true);
    return;
  }
  ShowStored();
  QString text = Tr(u"The account is removed; the channels stay on this computer.");
  if (!removed.message.empty()) text += '\n' + MessageText(removed.message);
  ShowStatus(text, !removed.message.empty());
}

void COptionAccountDlg::TryLogin() {
  if (checking_) return;
  const std::optional<reader::Account> account = FormAccount();
  if (!account) return;
  checking_ = true;
  const bool focused = tryLogin_->hasFocus();
  tryLogin_->setEnabled(false);
  ShowStatus(Tr(u"Trying the login..."), false);
  // The thread owns copies of everything it uses; its end reaches the page
  // only while the page lives (the connection dies with the page).
  auto outcome = std::make_shared<reader::Result>();
  QThread* thread = QThread::create([check = check_, account = *account, outcome] { *outcome = check(account); });
  connect(thread, &QThread::finished, this, [this, outcome, focused] {
    checking_ = false;
    tryLogin_->setEnabled(true);
    if (focused) tryLogin_->setFocus();
    if (outcome->done())
      ShowStatus(Tr(u"The login works: the server answers and lets this user in."), false);
    else
      ShowStatus(MessageText(outcome->message), true);
    emit loginChecked();
  });
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

}  // namespace wrenly::ui
