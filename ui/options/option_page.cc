#include "ui/options/option_page.h"

#include "ui/frame/commands.h"
#include "ui/frame/tr.h"
#include "ui/wizard/wizard_page.h"

namespace wrenly::ui {

COptionPage::COptionPage(const char* objectName)
    : heading_(MakeHeading(this, "optionHeading")), form_(new QVBoxLayout) {
  setObjectName(objectName);
  body().setContentsMargins(8, 8, 8, 8);
  body().setSpacing(10);
  body().addWidget(heading_);
  auto* fields = new QWidget(this);
  fields->setObjectName("optionFields");
  fields->setLayout(form_);
  form_->setContentsMargins(0, 0, 0, 0);
  fields->setMaximumWidth(FormMaxWidth(*this));
  body().addWidget(fields);
  body().addStretch(1);
}

void COptionPage::Retranslate() {
  heading_->setText(Tr(HeadingText()));
  softKeys().SetLeft(Tr(u"Cancel"), cmd::kCancel);
  softKeys().SetRight(Tr(u"OK"), cmd::kOk);
  RetranslateForm();
}

bool COptionPage::OnCommand(int command) {
  if (command == cmd::kCancel) {
    Close(kResultCancel);
    return true;
  }
  if (command == cmd::kOk) {
    if (Save()) Close(kResultOk);
    return true;
  }
  return false;
}

}  // namespace wrenly::ui
