#include "ui/channels/welcome_dlg.h"

#include <QKeyEvent>
#include <QLabel>

#include "ui/frame/commands.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CWelcomeDlg::CWelcomeDlg() : heading_(new QLabel(this)), text_(new QLabel(this)) {
  setObjectName("welcomePage");
  heading_->setObjectName("welcomeHeading");
  setFocusPolicy(Qt::StrongFocus);
  text_->setObjectName("welcomeText");
  QFont font = heading_->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  heading_->setFont(font);
  heading_->setWordWrap(true);
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  body().setContentsMargins(12, 16, 12, 8);
  body().setSpacing(16);
  body().addWidget(heading_);
  body().addWidget(text_, 1);
  Retranslate();
}

void CWelcomeDlg::Retranslate() {
  heading_->setText(Tr(u"Welcome to Wrenly!"));
  text_->setText(Tr(u"Wrenly helps you stay up-to-date by downloading the latest newsheadlines from the "
                    u"Internet.") +
                 "\n\n" +
                 Tr(u"To get started with Wrenly, add some news channels using the New Channel Wizard.  "
                    u"Tap the Continue button below to start the New Channel Wizard."));
  softKeys().SetLeft(Tr(u"Back"), cmd::kBack);
  softKeys().SetRight(Tr(u"Continue >>"), cmd::kNext);
  softKeys().right().setObjectName("continueKey");
}

bool CWelcomeDlg::OnCommand(int command) {
  if (command == cmd::kNext) {
    Close(kResultOk);
    return true;
  }
  if (command == cmd::kBack) {
    Close(kResultCancel);
    return true;
  }
  return false;
}

void CWelcomeDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() == Qt::NoModifier && OnTop())
    RunCommand(cmd::kNext);
  else
    CPage::keyPressEvent(event);
}

}  // namespace wrenly::ui
