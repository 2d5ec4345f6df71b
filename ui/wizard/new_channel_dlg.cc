#include "ui/wizard/new_channel_dlg.h"

#include <QVBoxLayout>

#include "reader/reader_data.h"
#include "ui/frame/commands.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CNewChannelDlg::CNewChannelDlg(int preselect)
    : heading_(MakeHeading(this, "wizardHeading")), question_(new QLabel(this)) {
  setObjectName("wizardFirstPage");
  question_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(10);
  layout->addWidget(heading_);
  layout->addWidget(question_);
  static constexpr const char* kNames[] = {"choiceOpml", "choiceUrl", "choiceTemplates", "choiceDownload"};
  for (int i = 0; i < 4; ++i) {
    buttons_[i] = new QRadioButton(this);
    buttons_[i]->setObjectName(kNames[i]);
    group_.addButton(buttons_[i], i);
    layout->addWidget(buttons_[i]);
  }
  layout->addStretch(1);
  Retranslate();

  if (preselect == kChoiceNone)
    preselect = reader::ReaderData::Current().HasCatalog() ? kChoiceLocalTemplates : kChoiceDownload;
  Select(preselect);
}

void CNewChannelDlg::Retranslate() {
  heading_->setText(Tr(u"New Channel Wizard"));
  question_->setText(Tr(u"How should the Channel be created?"));
  buttons_[0]->setText(Tr(u"Choose from a list of Channels (OPML)"));
  buttons_[1]->setText(Tr(u"I know the Channel's URL (RSS)"));
  buttons_[2]->setText(Tr(u"Create from local templates"));
  buttons_[3]->setText(Tr(u"Download online channels and open"));
}

void CNewChannelDlg::SetKeys(CSoftKeyBar& keys) {
  keys.SetLeft(Tr(u"Cancel"), cmd::kCancel);
  keys.SetRight(Tr(u"Next"), cmd::kNext);
}

int CNewChannelDlg::Choice() const {
  for (int i = 0; i < 4; ++i)
    if (buttons_[i]->isChecked()) return i;
  return kChoiceNone;
}

void CNewChannelDlg::Select(int choice) {
  if (choice < 0 || choice >= 4) return;
  buttons_[choice]->setChecked(true);
  // The page is not shown yet: the wizard gives the keyboard to the choice
  // when it shows the page.
  setFocusProxy(buttons_[choice]);
}

bool CNewChannelDlg::OnCommand(int command) {
  if (command != cmd::kNext && command != cmd::kCancel) return false;
  emit done(command == cmd::kNext, false);
  return true;
}

}  // namespace wrenly::ui
