#include "ui/wizard/chooser_page.h"

#include <QTimer>
#include <QVBoxLayout>

#include "ui/frame/commands.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CChooserPage::CChooserPage(const char* objectName, const char* treeName, std::u16string_view prompt)
    : promptText_(prompt),
      heading_(MakeHeading(this, "wizardHeading")),
      prompt_(new QLabel(this)),
      loading_(new QLabel(this)),
      tree_(new CCheckTreeCtrl(this)) {
  setObjectName(objectName);
  tree_->setObjectName(treeName);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(heading_);
  layout->addWidget(prompt_);
  layout->addWidget(loading_);
  layout->addWidget(tree_, 1);
  prompt_->hide();
  tree_->hide();
  Retranslate();
  // Fill is virtual: it runs once the chooser is fully made.
  QTimer::singleShot(0, this, &CChooserPage::Load);
}

void CChooserPage::Retranslate() {
  heading_->setText(Tr(u"New Channel Wizard"));
  prompt_->setText(Tr(promptText_));
  loading_->setText(Tr(u"Loading, please waiting..."));
}

void CChooserPage::SetKeys(CSoftKeyBar& keys) {
  keys.SetLeft(Tr(u"Back"), cmd::kBack);
  keys.SetRight(Tr(u"Finish"), cmd::kFinish);
}

void CChooserPage::Load() {
  tree_->setUpdatesEnabled(false);
  Fill();
  tree_->setUpdatesEnabled(true);
  if (tree_->topLevelItemCount() > 0) {
    tree_->setCurrentItem(tree_->topLevelItem(0));
    tree_->scrollToTop();
  }
  loading_->hide();
  prompt_->show();
  tree_->show();
  tree_->setFocus();
  emit loaded();
}

bool CChooserPage::OnCommand(int command) {
  if (command == cmd::kBack) {
    emit done(false, false);
    return true;
  }
  if (command == cmd::kFinish) {
    if (const std::optional<bool> added = Finish()) emit done(true, *added);
    return true;
  }
  return false;
}

}  // namespace wrenly::ui
