#include "ui/wizard/download_dlg.h"

#include <QFrame>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/refresh_abort.h"
#include "net/messages.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CDownloadDlg::CDownloadDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      status_(new QLabel(this)),
      button_(new QPushButton(this)) {
  setObjectName("downloadDialog");
  status_->setObjectName("downloadStatus");
  button_->setObjectName("downloadButton");
  setModal(true);
  // Without a title bar the dialog draws its own edge; room for three lines
  // of status keeps an error text from being cut off.
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Raised);
  status_->setWordWrap(true);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 3 + 4);
  button_->setText(Tr(u"Cancel"));
  auto* inner = new QVBoxLayout(frame);
  inner->addWidget(status_);
  inner->addWidget(button_, 0, Qt::AlignHCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frame);
  setFixedWidth(parent ? std::min(360, parent->width() - 24) : 360);
  connect(button_, &QPushButton::clicked, this, &CDownloadDlg::OnButton);
}

CDownloadDlg::~CDownloadDlg() {
  if (worker_.joinable()) {
    cancelled_ = true;
    AbortTransfers();
    worker_.join();
  }
  RemoveBroadcastReceiver(this);
}

void CDownloadDlg::Start() {
  AddBroadcastReceiver(this);
  open();
  worker_ = std::jthread([this] { RunDownloadDialogWorker(*this); });
}

void CDownloadDlg::ShowStatus(std::u16string_view text, std::u16string_view name) {
  const QString shown = name.empty() ? Tr(text) : Tr(text) + " " + ToQString(name) + "...";
  QMetaObject::invokeMethod(this, [this, shown] { status_->setText(shown); }, Qt::QueuedConnection);
}

void CDownloadDlg::Failed(std::u16string_view errorText) {
  const QString text = Tr(u"Error") + ": " + Tr(errorText);
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        failed_ = true;
        status_->setText(text);
        button_->setText(Tr(u"OK"));
      },
      Qt::QueuedConnection);
}

void CDownloadDlg::Done() {
  QMetaObject::invokeMethod(this, [this] { End(kDownloaded); }, Qt::QueuedConnection);
}

void CDownloadDlg::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  if (message != WM_DOWNLOAD_PROGRESS || lParam != 0) return;
  const QString text = Tr(u"Download %d bytes...").replace("%d", QString::number(wParam));
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        if (!failed_ && !cancelled_) status_->setText(text);
      },
      Qt::QueuedConnection);
}

void CDownloadDlg::reject() { OnButton(); }

void CDownloadDlg::OnButton() {
  if (failed_) {
    End(kFailed);
    return;
  }
  cancelled_ = true;
  AbortTransfers();
  End(kCancelled);
}

void CDownloadDlg::End(Outcome outcome) {
  if (ended_) return;
  ended_ = true;
  outcome_ = outcome;
  if (worker_.joinable()) worker_.join();
  RemoveBroadcastReceiver(this);
  done(outcome == kDownloaded ? Accepted : Rejected);
  emit ended(outcome);
}

}  // namespace wrenly::ui
