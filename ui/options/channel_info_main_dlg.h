// COptionChannelInfoMainDlg: a channel's address and title. In the wizard it
// is the feed address page: both fields editable, Finish adds the channel to
// "Others" through the reader library (an address already subscribed is
// refused by name, and the page stays so that it can be corrected), and with
// no title it first downloads the feed for its own title
// (also offered as the "Download Default Name" button). On the channel
// properties sheet it is the read-only "Info" page. The title download runs
// on a thread of its own that reports through queued calls; the page stops
// and waits for it before it goes.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "ui/frame/screens.h"
#include "ui/wizard/wizard_page.h"

namespace wrenly::ui {

class COptionChannelInfoMainDlg : public CWizardPage {
  Q_OBJECT

 public:
  // The wizard's feed address page.
  COptionChannelInfoMainDlg();
  // The read-only "Info" page of a channel's properties.
  explicit COptionChannelInfoMainDlg(const ChannelRef& channel);
  ~COptionChannelInfoMainDlg() override;

  void SetKeys(CSoftKeyBar& keys) override;
  bool OnCommand(int command) override;
  void Retranslate() override;
  bool downloading() const { return downloading_; }

 signals:
  // The title download ended (ok: the title field holds the feed's title).
  void titleDownloaded(bool ok);

 private:
  explicit COptionChannelInfoMainDlg(bool wizard);
  // Starts the download of the typed address for its title; false (with a
  // message) when the address is not one to download.
  bool StartTitleDownload();
  void OnProgress(qint64 bytes);
  void OnTitleDownloaded(bool ok, const QString& title);
  void ShowFields(bool show);
  void StopDownload();
  // Adds the channel; emits done unless the page stays for a correction.
  void Finish();
  bool CheckAddress(const QString& url);

  bool wizard_;
  QLabel* heading_;
  QLabel* urlLabel_;
  QLineEdit* url_;
  QLabel* titleLabel_;
  QLineEdit* title_;
  QLabel* status_;
  QPushButton* defaultName_ = nullptr;
  bool downloading_ = false;
  bool finishAfterDownload_ = false;
  int generation_ = 0;
  std::jthread worker_;
};

}  // namespace wrenly::ui
