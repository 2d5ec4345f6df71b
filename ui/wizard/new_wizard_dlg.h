// CNewWizardDlg: the New Channel Wizard, one page of the frame. It shows one
// page at a time (the first page, the OPML chooser, the feed address page or
// the template chooser) and swaps them as they finish; "Download online
// channels and open" runs the download dialog first. Every page change makes
// a new page, so nothing entered survives going back. The wizard holds no
// copy of the catalog: each page adds through the reader library when it
// finishes. Closes with kResultOk when something was added, else kResultCancel.
#pragma once

#include <memory>

#include "ui/frame/page.h"
#include "ui/wizard/wizard_page.h"

namespace wrenly::ui {

class CDownloadDlg;

class CNewWizardDlg : public CPage {
  Q_OBJECT

 public:
  CNewWizardDlg();
  ~CNewWizardDlg() override;
  bool OnCommand(int command) override;
  void OnBack() override;
  void Retranslate() override;
  CWizardPage* current() const { return page_; }
  CDownloadDlg* downloadDialog() const { return download_; }

 private:
  void ShowPage(CWizardPage* page);
  void ShowFirstPage(int preselect);
  void OnFirstPageDone(bool next);
  void OnChooserDone(int choice, bool finish, bool added);
  void RunDownload();

  CWizardPage* page_ = nullptr;
  CDownloadDlg* download_ = nullptr;
};

}  // namespace wrenly::ui
