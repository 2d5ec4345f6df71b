// CDownloadDlg: the small progress dialog of "Download online channels and
// open". Its worker thread fetches the sample channel list, the online
// template list and every template it names; the dialog shows the status
// texts and the byte progress. Cancel stops the transfers; after an error
// the key reads "OK" and the dialog waits to be closed. The worker talks to
// the dialog through queued calls only; the dialog waits for the worker
// before it goes.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "engine/download_dialog_worker.h"
#include "platform/notifier.h"

namespace wrenly::ui {

class CDownloadDlg : public QDialog, public IDownloadDialog, public Receiver {
  Q_OBJECT

 public:
  enum Outcome { kDownloaded, kCancelled, kFailed };

  explicit CDownloadDlg(QWidget* parent);
  ~CDownloadDlg() override;
  // Shows the dialog (window-modal, no nested event loop) and starts the worker.
  void Start();
  Outcome outcome() const { return outcome_; }
  QLabel& status() { return *status_; }
  QPushButton& button() { return *button_; }

  // IDownloadDialog, called on the worker thread.
  void ShowStatus(std::u16string_view text, std::u16string_view name) override;
  bool Cancelled() override { return cancelled_; }
  void Failed(std::u16string_view errorText) override;
  void Done() override;
  // Receiver: the fetcher's byte progress, from any thread.
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

 signals:
  void ended(int outcome);

 protected:
  void reject() override;

 private:
  void OnButton();
  void End(Outcome outcome);

  QLabel* status_;
  QPushButton* button_;
  std::atomic<bool> cancelled_{false};
  bool failed_ = false;
  bool ended_ = false;
  Outcome outcome_ = kCancelled;
  std::jthread worker_;
};

}  // namespace wrenly::ui
