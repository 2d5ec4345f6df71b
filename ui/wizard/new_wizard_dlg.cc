#include "ui/wizard/new_wizard_dlg.h"

#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"
#include "ui/options/channel_info_main_dlg.h"
#include "ui/wizard/download_dlg.h"
#include "ui/wizard/new_channel_dlg.h"
#include "ui/wizard/opml_display_dlg.h"
#include "ui/wizard/templates_display_dlg.h"

namespace wrenly::ui {

CNewWizardDlg::CNewWizardDlg() {
  setObjectName("newWizard");
  body().setContentsMargins(0, 0, 0, 0);
  ShowFirstPage(kChoiceNone);
}

CNewWizardDlg::~CNewWizardDlg() = default;

void CNewWizardDlg::ShowPage(CWizardPage* page) {
  if (page_) {
    body().removeWidget(page_);
    page_->deleteLater();
  }
  page_ = page;
  page_->setMaximumWidth(FormMaxWidth(*page_));
  body().addWidget(page_, 1);
  page_->SetKeys(softKeys());
  page_->show();
  // The keyboard goes to the page (its focus proxy, where it has one), so
  // that the arrow keys work on it at once; also when the frame focuses the
  // wizard.
  setFocusProxy(page_);
  page_->setFocus();
}

void CNewWizardDlg::ShowFirstPage(int preselect) {
  auto* first = new CNewChannelDlg(preselect);
  connect(first, &CWizardPage::done, this, [this](bool next, bool) { OnFirstPageDone(next); });
  ShowPage(first);
}

void CNewWizardDlg::OnFirstPageDone(bool next) {
  if (!next) {
    Close(kResultCancel);
    return;
  }
  const int choice = static_cast<CNewChannelDlg*>(page_)->Choice();
  CWizardPage* chooser = nullptr;
  switch (choice) {
    case kChoiceOpml: chooser = new COpmlDisplayDlg; break;
    case kChoiceUrl: chooser = new COptionChannelInfoMainDlg; break;
    case kChoiceLocalTemplates: chooser = new CTemplatesDisplayDlg; break;
    case kChoiceDownload: RunDownload(); return;
    default: Close(kResultCancel); return;
  }
  connect(chooser, &CWizardPage::done, this,
          [this, choice](bool finish, bool added) { OnChooserDone(choice, finish, added); });
  ShowPage(chooser);
}

void CNewWizardDlg::OnChooserDone(int choice, bool finish, bool added) {
  if (finish)
    Close(added ? kResultOk : kResultCancel);
  else
    ShowFirstPage(choice);
}

void CNewWizardDlg::RunDownload() {
  download_ = new CDownloadDlg(this);
  connect(download_, &CDownloadDlg::ended, this, [this](int outcome) {
    download_->deleteLater();
    download_ = nullptr;
    if (outcome == CDownloadDlg::kFailed) {
      ShowFirstPage(kChoiceUrl);
    } else if (outcome == CDownloadDlg::kDownloaded) {
      auto* chooser = new CTemplatesDisplayDlg;
      connect(chooser, &CWizardPage::done, this, [this](bool finish, bool added) {
        OnChooserDone(kChoiceLocalTemplates, finish, added);
      });
      ShowPage(chooser);
    }
  });
  download_->Start();
}

bool CNewWizardDlg::OnCommand(int command) {
  if (download_) return true;
  return page_ && page_->OnCommand(command);
}

void CNewWizardDlg::OnBack() {
  if (download_) return;
  // Back on a chooser returns to the first page; on the first page it cancels.
  const int back = softKeys().leftCommand();
  if (page_ && !page_->OnCommand(back)) Close(kResultCancel);
}

void CNewWizardDlg::Retranslate() {
  if (!page_) return;
  page_->Retranslate();
  page_->SetKeys(softKeys());
}

}  // namespace wrenly::ui
